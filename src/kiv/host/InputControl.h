#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "kiv/host/Control.h"

namespace kiv {

// A control whose public `events` member (a struct deriving from
// InputEvents) carries its focus, click, key and mouse events: raises them
// for the input Control simulates. Widget derives from InputControl<Widget>;
// DblClick and MouseMove are raised when its Events has them.
template <class Widget>
class InputControl : public Control {
 public:
  explicit InputControl(std::string name = "") : Control(std::move(name)) {}

 protected:
  void raiseGotFocus() override { widgetEvents().GotFocus.raise(); }
  void raiseLostFocus() override { widgetEvents().LostFocus.raise(); }
  void raiseClick() override { widgetEvents().Click.raise(); }
  void raiseDblClick() override {
    if constexpr (requires(Widget & w) { w.events.DblClick; }) widgetEvents().DblClick.raise();
  }
  void raiseMouseDown(std::int16_t& b, std::int16_t& s, float& x, float& y) override {
    widgetEvents().MouseDown.raise(b, s, x, y);
  }
  void raiseMouseUp(std::int16_t& b, std::int16_t& s, float& x, float& y) override {
    widgetEvents().MouseUp.raise(b, s, x, y);
  }
  void raiseMouseMove([[maybe_unused]] std::int16_t& b, [[maybe_unused]] std::int16_t& s,
                      [[maybe_unused]] float& x, [[maybe_unused]] float& y) override {
    if constexpr (requires(Widget & w) { w.events.MouseMove; })
      widgetEvents().MouseMove.raise(b, s, x, y);
  }
  void raiseKeyDown(std::int16_t& k, std::int16_t& s) override {
    widgetEvents().KeyDown.raise(k, s);
  }
  void raiseKeyPress(std::int16_t& a) override { widgetEvents().KeyPress.raise(a); }
  void raiseKeyUp(std::int16_t& k, std::int16_t& s) override { widgetEvents().KeyUp.raise(k, s); }

 private:
  auto& widgetEvents() { return static_cast<Widget&>(*this).events; }
};

}  // namespace kiv
