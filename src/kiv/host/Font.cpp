#include "kiv/host/Font.h"

#include "kiv/runtime/Conversions.h"

namespace kiv {

const MemberTable& Font::memberTable() const {
  using B = MemberTable::Builder<Font>;
  static const MemberTable table = B().property(
                                          "Name", [](Font& f) { return Variant(f.Name); },
                                          [](Font& f, const Variant& v) { f.Name = CStr(v); })
                                       .property(
                                           "Size", [](Font& f) { return Variant(f.Size); },
                                           [](Font& f, const Variant& v) { f.Size = CDbl(v); })
                                       .property(
                                           "Bold", [](Font& f) { return Variant(f.Bold); },
                                           [](Font& f, const Variant& v) { f.Bold = CBool(v); })
                                       .property(
                                           "Italic", [](Font& f) { return Variant(f.Italic); },
                                           [](Font& f, const Variant& v) { f.Italic = CBool(v); })
                                       .build();
  return table;
}

}  // namespace kiv
