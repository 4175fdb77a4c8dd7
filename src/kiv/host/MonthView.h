#pragma once

#include <cstdint>
#include <string>

#include "kiv/host/Control.h"
#include "kiv/runtime/Event.h"
#include "kiv/runtime/Variant.h"

namespace kiv {

// The month calendar. Value is a date (the time part is dropped). A user's
// pick of a day (pickDate) focuses the calendar, sets Value and raises
// DateClick with the date; dblPickDate then raises DateDblClick as well.
// The arrow keys and PageUp/PageDown move the highlighted day; Enter picks
// it (DateClick), as a click on it does, so a keyboard alone can choose.
// Its design size is 2820 x 2370 twips; a form that loads it makes it at
// least as large as the host's calendar needs (Host::MonthViewSize), as the
// platform's calendar sizes itself to its font.
class MonthView : public Control {
 public:
  static constexpr double kDesignWidth = 2820;
  static constexpr double kDesignHeight = 2370;

  explicit MonthView(std::string name = "");

  // Grows the calendar to the size the current host's calendar needs.
  void fitToHost();

  DateTime Value() const { return value_; }
  void Value(DateTime value);

  bool pickDate(DateTime date);
  bool dblPickDate(DateTime date);

  struct Events {
    Event<DateTime> DateClick;     // DateClicked
    Event<DateTime> DateDblClick;  // DateDblClicked
    Event<> Click;
    Event<> GotFocus;
    Event<> LostFocus;
    Event<std::int16_t, std::int16_t> KeyDown;
    Event<std::int16_t> KeyPress;
    Event<std::int16_t, std::int16_t> KeyUp;
  } events;

  std::string_view TypeName() const override { return "MonthView"; }
  const MemberTable& memberTable() const override { return Members(); }
  static const MemberTable& Members();

 protected:
  void raiseGotFocus() override { events.GotFocus.raise(); }
  void raiseLostFocus() override { events.LostFocus.raise(); }
  void raiseClick() override { events.Click.raise(); }
  void raiseKeyDown(std::int16_t& k, std::int16_t& s) override { events.KeyDown.raise(k, s); }
  void raiseKeyPress(std::int16_t& a) override { events.KeyPress.raise(a); }
  void raiseKeyUp(std::int16_t& k, std::int16_t& s) override { events.KeyUp.raise(k, s); }
  void applyKeyDown(std::int16_t keyCode, std::int16_t shift) override;

 private:
  DateTime value_{};
};

}  // namespace kiv
