#include "kiv/qt/UserControlPeer.h"

#include "kiv/host/UserControl.h"
#include "kiv/qt/AccessibleNames.h"
#include "kiv/qt/PeerFactory.h"

namespace kiv::qt {

UserControlPeer::UserControlPeer(UserControl& control, QWidget* parent)
    : ControlPeer(control, new QWidget(parent)) {
  widget()->setFocusPolicy(Qt::NoFocus);
  // A group of widgets to a screen reader (NameControls names it).
  SetAccessibleRole(*widget(), QAccessible::Grouping);
  for (const auto& constituent : control.constituents())
    CreatePeer(*constituent, widget());
  refresh();
}

void UserControlPeer::showProperty(std::string_view name) {
  // The constituents show themselves; the container only has a place.
  emit propertyShown(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}

}  // namespace kiv::qt
