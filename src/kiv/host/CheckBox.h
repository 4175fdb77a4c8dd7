#pragma once

#include <cstdint>
#include <string>

#include "kiv/host/Control.h"
#include "kiv/host/InputControl.h"
#include "kiv/host/InputEvents.h"
#include "kiv/runtime/Event.h"

namespace kiv {

// The intrinsic check box. Value is 0 unchecked, 1 checked, 2 grayed.
// Writing a new Value raises Click (nothing when the value is the same); a
// user's click or Space toggles it (grayed goes to unchecked), raising Click.
class CheckBox : public InputControl<CheckBox> {
 public:
  explicit CheckBox(std::string name = "");

  std::int16_t Value() const { return value_; }
  void Value(std::int16_t value);  // raises 380 outside 0..2
  const std::string& Caption() const { return caption_; }
  void Caption(std::string value);
  std::int32_t BackColor() const { return backColor_; }
  void BackColor(std::int32_t value);
  const std::string& DataField() const { return dataField_; }
  void DataField(std::string value);

  struct Events : InputEvents {
    // The focus, click, key and mouse events only.
  } events;

  std::string_view TypeName() const override { return "CheckBox"; }
  const MemberTable& memberTable() const override { return Members(); }
  static const MemberTable& Members();

 protected:
  void performClick() override;
  void performDblClick() override;
  void applyKeyUp(std::int16_t keyCode, std::int16_t shift) override;

 private:
  std::int16_t value_ = 0;
  std::string caption_;
  std::int32_t backColor_ = colour::ButtonFace;
  std::string dataField_;
};

}  // namespace kiv
