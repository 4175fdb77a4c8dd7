#include "kiv/host/DataFormat.h"

#include "kiv/runtime/Conversions.h"

namespace kiv {

const MemberTable& DataFormat::memberTable() const {
  using B = MemberTable::Builder<DataFormat>;
  static const MemberTable table =
      B().property(
             "Format", [](DataFormat& f) { return Variant(f.Format); },
             [](DataFormat& f, const Variant& v) { f.Format = TextOf(v); })
          .build();
  return table;
}

}  // namespace kiv
