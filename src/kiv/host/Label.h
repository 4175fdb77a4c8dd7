#pragma once

#include <cstdint>
#include <string>

#include "kiv/host/Control.h"
#include "kiv/runtime/Event.h"

namespace kiv {

// The intrinsic label: a caption that never takes the focus.
class Label : public Control {
 public:
  explicit Label(std::string name = "");

  const std::string& Caption() const { return caption_; }
  void Caption(std::string value);
  std::int32_t BackColor() const { return backColor_; }
  void BackColor(std::int32_t value);
  std::int32_t ForeColor() const { return foreColor_; }
  void ForeColor(std::int32_t value);
  std::int16_t Alignment() const { return alignment_; }  // 0 left, 1 right, 2 centre
  void Alignment(std::int16_t value);

  struct Events {
    Event<> Click;
    Event<> DblClick;
    Event<std::int16_t, std::int16_t, float, float> MouseDown;
    Event<std::int16_t, std::int16_t, float, float> MouseUp;
  } events;

  std::string_view TypeName() const override { return "Label"; }
  const MemberTable& memberTable() const override { return Members(); }
  static const MemberTable& Members();

 protected:
  bool takesFocus() const override { return false; }
  void raiseClick() override { events.Click.raise(); }
  void raiseDblClick() override { events.DblClick.raise(); }
  void raiseMouseDown(std::int16_t& b, std::int16_t& s, float& x, float& y) override {
    events.MouseDown.raise(b, s, x, y);
  }
  void raiseMouseUp(std::int16_t& b, std::int16_t& s, float& x, float& y) override {
    events.MouseUp.raise(b, s, x, y);
  }

 private:
  std::string caption_;
  std::int32_t backColor_ = colour::ButtonFace;
  std::int32_t foreColor_ = colour::ButtonText;
  std::int16_t alignment_ = 0;
};

}  // namespace kiv
