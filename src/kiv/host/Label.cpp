#include "kiv/host/Label.h"

#include "kiv/host/ColourValue.h"
#include "kiv/runtime/Conversions.h"

namespace kiv {

Label::Label(std::string name) : Control(std::move(name)) {}

void Label::Caption(std::string value) {
  if (value == caption_) return;
  caption_ = std::move(value);
  notify("Caption");
}

void Label::BackColor(std::int32_t value) {
  if (value == backColor_) return;
  backColor_ = value;
  notify("BackColor");
}

void Label::ForeColor(std::int32_t value) {
  if (value == foreColor_) return;
  foreColor_ = value;
  notify("ForeColor");
}

void Label::Alignment(std::int16_t value) {
  if (value == alignment_) return;
  alignment_ = value;
  notify("Alignment");
}

const MemberTable& Label::Members() {
  using B = MemberTable::Builder<Label>;
  static const MemberTable table =
      B(&Control::Members())
          .property(
              "Caption", [](Label& l) { return Variant(l.Caption()); },
              [](Label& l, const Variant& v) { l.Caption(TextOf(v)); })
          .property(
              "BackColor", [](Label& l) { return Variant(l.BackColor()); },
              [](Label& l, const Variant& v) { l.BackColor(ColourValue(v)); })
          .property(
              "ForeColor", [](Label& l) { return Variant(l.ForeColor()); },
              [](Label& l, const Variant& v) { l.ForeColor(ColourValue(v)); })
          .property(
              "Alignment", [](Label& l) { return Variant(l.Alignment()); },
              [](Label& l, const Variant& v) { l.Alignment(CInt(v)); })
          .build();
  return table;
}

}  // namespace kiv
