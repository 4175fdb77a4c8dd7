#pragma once

#include <cstdint>
#include <string>

#include "kiv/host/Control.h"
#include "kiv/host/InputControl.h"
#include "kiv/host/InputEvents.h"
#include "kiv/runtime/Event.h"

namespace kiv {

// The intrinsic command button. A user's click, Space, or Enter while it has
// the focus raise Click. Default marks the button Enter clicks on its form,
// Cancel the one Escape clicks. Picture names a resource ("" for none).
class CommandButton : public InputControl<CommandButton> {
 public:
  explicit CommandButton(std::string name = "");

  const std::string& Caption() const { return caption_; }
  void Caption(std::string value);
  const std::string& Picture() const { return picture_; }
  void Picture(std::string value);
  const std::string& ToolTipText() const { return toolTipText_; }
  void ToolTipText(std::string value);
  bool Default() const { return default_; }
  void Default(bool value);
  bool Cancel() const { return cancel_; }
  void Cancel(bool value);
  std::int16_t Style() const { return style_; }  // 0 standard, 1 graphical
  void Style(std::int16_t value);
  std::int32_t BackColor() const { return backColor_; }
  void BackColor(std::int32_t value);

  // Value = True in code clicks the button (raises Click).
  void Value(bool value);

  struct Events : InputEvents {
    // The focus, click, key and mouse events only.
  } events;

  std::string_view TypeName() const override { return "CommandButton"; }
  const MemberTable& memberTable() const override { return Members(); }
  static const MemberTable& Members();

 protected:
  void applyChar(std::int16_t keyAscii, std::string_view original) override;
  void applyKeyUp(std::int16_t keyCode, std::int16_t shift) override;

 private:
  std::string caption_;
  std::string picture_;
  std::string toolTipText_;
  bool default_ = false;
  bool cancel_ = false;
  std::int16_t style_ = 0;
  std::int32_t backColor_ = colour::ButtonFace;
};

}  // namespace kiv
