#pragma once

#include <memory>
#include <vector>

#include <QLabel>
#include <QPointer>

#include "kiv/runtime/Event.h"

namespace kiv {
class Dispatch;
class KivFormControl;
class Recordset;
}  // namespace kiv

namespace kiv::qt {

// Where a form controller's record set stands, as a status bar shows it:
// "Record 3 of 120", "New record" while a record is being added, "No
// records" when the set is empty (or not open), "No current record (120
// records)" between records. It reads the record set (RecordCount,
// AbsolutePosition) and never moves it.
//
// It follows the controller's events (AfterMove, AfterSave, AfterAdd,
// AfterUndoAdd, AfterDelete, AfterSearch), the record set's notifications
// (moves, rows added or removed, whichever record set the controller holds
// now) and the controller's AddNewMode and Form_Recordset as its peer shows
// them. The label's accessible name is its text, so a screen reader reads
// the position and hears each change.
//
// FormWindow puts one in its status bar; an application that embeds the
// controls in its own window can put one in its own.
class RecordPosition : public QLabel {
  Q_OBJECT
 public:
  explicit RecordPosition(KivFormControl& controller, QWidget* parent = nullptr);
  ~RecordPosition() override;

  // The text for the controller's present state.
  static QString TextFor(KivFormControl& controller);

  // Reads the controller again.
  void refresh();

 signals:
  // The text changed.
  void positionChanged(const QString& text);

 private:
  KivFormControl* controller() const;
  void watchRecordset();
  void forgetRecordset();

  std::weak_ptr<Dispatch> controllerRef_;
  KivFormControl* controller_;
  std::vector<Event<>::Id> controllerEvents_;
  std::weak_ptr<Dispatch> recordsetRef_;
  Recordset* recordset_ = nullptr;
  std::vector<Event<>::Id> recordsetEvents_;
  QPointer<QObject> peer_;
};

}  // namespace kiv::qt
