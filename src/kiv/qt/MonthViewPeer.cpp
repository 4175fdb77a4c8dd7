#include "kiv/qt/MonthViewPeer.h"

#include <cmath>

#include <QAbstractItemView>
#include <QMouseEvent>

#include "kiv/host/MonthView.h"

namespace kiv::qt {

namespace {
const QDate kEpoch(1899, 12, 30);
}

QDate ToQDate(DateTime date) {
  return kEpoch.addDays(static_cast<qint64>(std::floor(date.serial)));
}

DateTime FromQDate(const QDate& date) {
  return DateTime{static_cast<double>(kEpoch.daysTo(date))};
}

MonthViewPeer::MonthViewPeer(MonthView& view, QWidget* parent)
    : ControlPeer(view, new QCalendarWidget(parent)) {
  QCalendarWidget* cal = calendar();
  cal->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
  cal->setGridVisible(true);
  // The day grid takes the keys and clicks; both go through the model.
  if (auto* grid = cal->findChild<QAbstractItemView*>()) {
    watch(grid);
    watch(grid->viewport());
  }
  connect(cal, &QCalendarWidget::clicked, this, &MonthViewPeer::userClicked);
  refresh();
}

void MonthViewPeer::showProperty(std::string_view name) {
  auto* view = static_cast<MonthView*>(control());
  if (name.empty() || name == "Value") {
    const QDate date = ToQDate(view->Value());
    if (calendar()->selectedDate() != date) calendar()->setSelectedDate(date);
  }
}

void MonthViewPeer::userClicked(const QDate& date) {
  if (mirroring() || !control()) return;
  auto* view = static_cast<MonthView*>(control());
  const DateTime picked = FromQDate(date);
  if (doubleClicked_) {
    doubleClicked_ = false;
    fromUser([&] { view->dblPickDate(picked); });
  } else {
    fromUser([&] { view->pickDate(picked); });
  }
  if (control()) {
    Mirror mirror(*this);
    showProperty("Value");
  }
}

// The calendar's own signal reports the day clicked; the model's mouse
// events are not raised for the calendar.
bool MonthViewPeer::mousePressed(QMouseEvent&) {
  return false;
}

bool MonthViewPeer::mouseReleased(QMouseEvent&) {
  return false;
}

bool MonthViewPeer::mouseDoubleClicked(QMouseEvent&) {
  // The release that follows reports the day again: as a double pick.
  doubleClicked_ = true;
  return false;
}

}  // namespace kiv::qt
