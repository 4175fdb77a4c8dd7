#include "kiv/qt/MonthViewPeer.h"

#include <algorithm>
#include <cmath>

#include <QAbstractItemView>
#include <QEvent>
#include <QFontMetrics>
#include <QMouseEvent>

#include "kiv/host/MonthView.h"

namespace kiv::qt {

namespace {
const QDate kEpoch(1899, 12, 30);
}  // namespace

QDate ToQDate(DateTime date) {
  return kEpoch.addDays(static_cast<qint64>(std::floor(date.serial)));
}

DateTime FromQDate(const QDate& date) {
  return DateTime{static_cast<double>(kEpoch.daysTo(date))};
}

namespace {

// Room a header cell needs besides its text (its margins and grid line).
constexpr int kCellMargins = 8;

void Configure(QCalendarWidget& cal) {
  cal.setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
  cal.setGridVisible(true);
}

// The width of the widest short day name in the calendar's font and locale.
int WidestDayName(const QCalendarWidget& cal) {
  const QFontMetrics metrics(cal.font());
  int widest = 0;
  for (int day = 1; day <= 7; ++day) {
    widest = std::max(widest,
                      metrics.horizontalAdvance(cal.locale().dayName(day, QLocale::ShortFormat)));
  }
  return widest;
}

}  // namespace

QSize MonthViewPeer::FittedSize() {
  QCalendarWidget cal;
  Configure(cal);
  cal.setHorizontalHeaderFormat(QCalendarWidget::ShortDayNames);
  const QSize hint = cal.sizeHint();
  // Seven columns wide enough for the widest name, plus the frame around them.
  int frame = 0;
  if (const auto* grid = cal.findChild<QAbstractItemView*>()) frame = grid->frameWidth() * 2;
  return QSize(std::max(hint.width(), 7 * (WidestDayName(cal) + kCellMargins) + frame),
               hint.height());
}

MonthViewPeer::MonthViewPeer(MonthView& view, QWidget* parent)
    : ControlPeer(view, new QCalendarWidget(parent)) {
  QCalendarWidget* cal = calendar();
  Configure(*cal);
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

bool MonthViewPeer::eventFilter(QObject* watched, QEvent* event) {
  if (watched == widget() && event->type() == QEvent::Resize) fitDayNames();
  return ControlPeer::eventFilter(watched, event);
}

// Day names wider than the columns would show as "..." (a calendar placed
// small on a form): such a calendar names each day by one letter instead.
// The pop-up is sized so the short names fit (FittedSize).
void MonthViewPeer::fitDayNames() {
  QCalendarWidget* cal = calendar();
  int columns = cal->width();
  if (const auto* grid = cal->findChild<QAbstractItemView*>())
    columns = cal->width() - 2 * grid->frameWidth();
  const auto format = WidestDayName(*cal) + kCellMargins <= columns / 7
                          ? QCalendarWidget::ShortDayNames
                          : QCalendarWidget::SingleLetterDayNames;
  if (cal->horizontalHeaderFormat() != format) cal->setHorizontalHeaderFormat(format);
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
