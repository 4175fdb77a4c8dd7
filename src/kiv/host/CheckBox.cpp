#include "kiv/host/CheckBox.h"

#include "kiv/host/ColourValue.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"

namespace kiv {

CheckBox::CheckBox(std::string name) : InputControl(std::move(name)) {}

void CheckBox::Value(std::int16_t value) {
  if (value < 0 || value > 2) {
    throw Error(380, Name(), "Invalid property value: a check box's Value is 0, 1 or 2");
  }
  if (value == value_) return;
  value_ = value;
  notify("Value");
  events.Click.raise();
}

void CheckBox::Caption(std::string value) {
  if (value == caption_) return;
  caption_ = std::move(value);
  notify("Caption");
}

void CheckBox::BackColor(std::int32_t value) {
  if (value == backColor_) return;
  backColor_ = value;
  notify("BackColor");
}

void CheckBox::DataField(std::string value) {
  if (value == dataField_) return;
  dataField_ = std::move(value);
  notify("DataField");
}

// A user's click toggles the box (a grayed box becomes unchecked); the new
// value raises Click.
void CheckBox::performClick() {
  Value(value_ == 0 ? std::int16_t{1} : std::int16_t{0});
}

void CheckBox::performDblClick() {
  performClick();
}

void CheckBox::applyKeyUp(std::int16_t keyCode, std::int16_t shift) {
  if (keyCode == key::Space && shift == 0) performClick();
}

const MemberTable& CheckBox::Members() {
  using B = MemberTable::Builder<CheckBox>;
  static const MemberTable table =
      B(&Control::Members())
          .property(
              "Value", [](CheckBox& c) { return Variant(c.Value()); },
              [](CheckBox& c, const Variant& v) { c.Value(CInt(v)); })
          .property(
              "Caption", [](CheckBox& c) { return Variant(c.Caption()); },
              [](CheckBox& c, const Variant& v) { c.Caption(CStr(v)); })
          .property(
              "BackColor", [](CheckBox& c) { return Variant(c.BackColor()); },
              [](CheckBox& c, const Variant& v) { c.BackColor(ColourValue(v)); })
          .property(
              "DataField", [](CheckBox& c) { return Variant(c.DataField()); },
              [](CheckBox& c, const Variant& v) { c.DataField(CStr(v)); })
          .build();
  return table;
}

}  // namespace kiv
