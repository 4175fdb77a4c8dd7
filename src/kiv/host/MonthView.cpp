#include "kiv/host/MonthView.h"

#include <algorithm>
#include <cmath>

#include "kiv/host/Host.h"
#include "kiv/runtime/Conversions.h"

namespace kiv {

MonthView::MonthView(std::string name) : Control(std::move(name)), value_(Host::Current().Today()) {
  Move(0, 0, kDesignWidth, kDesignHeight);
}

void MonthView::fitToHost() {
  const auto [width, height] = Host::Current().MonthViewSize();
  if (width > Width() || height > Height())
    Move(Left(), Top(), std::max(width, Width()), std::max(height, Height()));
}

void MonthView::Value(DateTime value) {
  const DateTime day{std::floor(value.serial)};
  if (day == value_) return;
  value_ = day;
  notify("Value");
}

bool MonthView::pickDate(DateTime date) {
  if (!mouseDown(1, 0, 0, 0)) return false;
  auto keep = weak_from_this().lock();
  if (!mouseRelease(0, 0)) return true;  // a modal form took the mouse
  Value(date);
  DateTime picked = value_;
  events.DateClick.raise(picked);
  return true;
}

bool MonthView::dblPickDate(DateTime date) {
  if (!pickDate(date)) return false;
  if (!canTakeInput()) return true;
  DateTime picked = value_;
  events.DateDblClick.raise(picked);
  return true;
}

// The arrow keys move the highlighted day; PageUp and PageDown a month;
// Enter picks the highlighted day.
void MonthView::applyKeyDown(std::int16_t keyCode, std::int16_t shift) {
  double step = 0;
  switch (keyCode) {
    case key::Return: {
      if (shift != 0) return;
      DateTime picked = value_;
      events.DateClick.raise(picked);
      return;
    }
    case key::Left:
      step = -1;
      break;
    case key::Right:
      step = 1;
      break;
    case key::Up:
      step = -7;
      break;
    case key::Down:
      step = 7;
      break;
    case key::PageUp:
    case key::PageDown: {
      int y, m, d;
      DateParts(value_, y, m, d);
      m += keyCode == key::PageUp ? -1 : 1;
      if (m < 1) {
        m = 12;
        --y;
      }
      if (m > 12) {
        m = 1;
        ++y;
      }
      static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
      const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
      const int last = m == 2 && leap ? 29 : kDays[m - 1];
      Value(DateSerial(y, m, d > last ? last : d));
      return;
    }
    default:
      return;
  }
  Value(DateTime{value_.serial + step});
}

const MemberTable& MonthView::Members() {
  using B = MemberTable::Builder<MonthView>;
  static const MemberTable table =
      B(&Control::Members())
          .property(
              "Value", [](MonthView& m) { return Variant(m.Value()); },
              [](MonthView& m, const Variant& v) { m.Value(CDate(v)); })
          .build();
  return table;
}

}  // namespace kiv
