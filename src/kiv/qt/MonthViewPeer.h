#pragma once

#include <QCalendarWidget>
#include <QDate>

#include "kiv/qt/ControlPeer.h"
#include "kiv/runtime/Variant.h"

namespace kiv {
class MonthView;
}

namespace kiv::qt {

// Host dates (days since 30 December 1899) and QDate.
QDate ToQDate(DateTime date);
DateTime FromQDate(const QDate& date);

// Shows a model MonthView as a QCalendarWidget. A click on a day is the
// model's pickDate (DateClick), a double click its dblPickDate; keys (arrows,
// Enter, Escape) go to the model, which moves Value or lets its form react.
class MonthViewPeer : public ControlPeer {
  Q_OBJECT
 public:
  explicit MonthViewPeer(MonthView& view, QWidget* parent = nullptr);
  QCalendarWidget* calendar() const { return static_cast<QCalendarWidget*>(widget()); }

  // The size, in pixels, a calendar needs to show its month and its day
  // names whole ("Mon", "Di.") at the application's font and the default
  // locale: what the host reports as a month calendar's size.
  static QSize FittedSize();

 protected:
  void showProperty(std::string_view name) override;
  bool mousePressed(QMouseEvent& event) override;
  bool mouseReleased(QMouseEvent& event) override;
  bool mouseDoubleClicked(QMouseEvent& event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void userClicked(const QDate& date);
  void fitDayNames();
  bool doubleClicked_ = false;
};

}  // namespace kiv::qt
