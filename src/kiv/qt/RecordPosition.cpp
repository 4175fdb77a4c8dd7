#include "kiv/qt/RecordPosition.h"

#include <QLocale>

#include "kiv/data/AdoTypes.h"
#include "kiv/data/Recordset.h"
#include "kiv/form_controller/KivFormControl.h"
#include "kiv/qt/UserControlPeer.h"
#include "kiv/runtime/Error.h"

namespace kiv::qt {

namespace {

// The controller's events after which the position may have changed.
std::vector<Event<>*> PositionEvents(KivFormControl& controller) {
  auto& e = controller.events;
  return {&e.AfterMove, &e.AfterSave, &e.AfterAdd, &e.AfterUndoAdd, &e.AfterDelete, &e.AfterSearch};
}

std::vector<Event<>*> RecordsetEvents(Recordset& rs) {
  return {&rs.events.MoveComplete, &rs.events.RecordsetChangeComplete,
          &rs.events.RecordChangeComplete};
}

}  // namespace

RecordPosition::RecordPosition(KivFormControl& controller, QWidget* parent)
    : QLabel(parent), controllerRef_(controller.weak_from_this()), controller_(&controller) {
  setObjectName(QStringLiteral("recordPosition"));
  setAccessibleDescription(QStringLiteral("Record position"));
  setTextFormat(Qt::PlainText);
  for (Event<>* event : PositionEvents(controller))
    controllerEvents_.push_back(event->connect([this] { refresh(); }));
  // AddNewMode and the record set itself change without an event of their
  // own; the controller's peer shows every change of them.
  if (auto* peer = dynamic_cast<UserControlPeer*>(controller.peer())) {
    peer_ = peer;
    connect(peer, &UserControlPeer::propertyShown, this, [this](const QString& name) {
      if (name.isEmpty() || name == QLatin1String("AddNewMode") ||
          name == QLatin1String("Form_Recordset"))
        refresh();
    });
  }
  refresh();
}

RecordPosition::~RecordPosition() {
  forgetRecordset();
  if (KivFormControl* c = controller()) {
    const auto events = PositionEvents(*c);
    for (std::size_t i = 0; i < events.size() && i < controllerEvents_.size(); ++i)
      events[i]->disconnect(controllerEvents_[i]);
  }
}

KivFormControl* RecordPosition::controller() const {
  return controllerRef_.expired() ? nullptr : controller_;
}

QString RecordPosition::TextFor(KivFormControl& controller) {
  if (controller.AddNewMode()) return QStringLiteral("New record");
  const std::shared_ptr<Recordset> rs = controller.Form_Recordset();
  std::int32_t count = 0, position = adPosUnknown;
  IgnoreErrors([&] {
    if (!rs || rs->State() != adStateOpen) return;
    count = rs->RecordCount();
    position = rs->AbsolutePosition();
  });
  if (count <= 0) return QStringLiteral("No records");
  const QLocale locale;
  if (position >= 1 && position <= count)
    return QStringLiteral("Record %1 of %2").arg(locale.toString(position), locale.toString(count));
  return count == 1 ? QStringLiteral("No current record (1 record)")
                    : QStringLiteral("No current record (%1 records)").arg(locale.toString(count));
}

void RecordPosition::refresh() {
  KivFormControl* c = controller();
  if (!c) return;
  watchRecordset();
  const QString shown = TextFor(*c);
  if (shown == text()) return;
  setText(shown);
  emit positionChanged(shown);
}

void RecordPosition::watchRecordset() {
  const std::shared_ptr<Recordset> rs = controller()->Form_Recordset();
  if (rs.get() == recordset_ && !recordsetRef_.expired()) return;
  forgetRecordset();
  if (!rs) return;
  recordsetRef_ = rs;
  recordset_ = rs.get();
  for (Event<>* event : RecordsetEvents(*rs))
    recordsetEvents_.push_back(event->connect([this] { refresh(); }));
}

void RecordPosition::forgetRecordset() {
  if (recordset_ && !recordsetRef_.expired()) {
    const auto events = RecordsetEvents(*recordset_);
    for (std::size_t i = 0; i < events.size() && i < recordsetEvents_.size(); ++i)
      events[i]->disconnect(recordsetEvents_[i]);
  }
  recordset_ = nullptr;
  recordsetRef_.reset();
  recordsetEvents_.clear();
}

}  // namespace kiv::qt
