#include "kiv/qt/UserControlPeer.h"

#include "kiv/host/UserControl.h"
#include "kiv/qt/PeerFactory.h"

namespace kiv::qt {

UserControlPeer::UserControlPeer(UserControl& control, QWidget* parent)
    : ControlPeer(control, new QWidget(parent)) {
  widget()->setFocusPolicy(Qt::NoFocus);
  for (const auto& constituent : control.constituents())
    CreatePeer(*constituent, widget());
  refresh();
}

void UserControlPeer::showProperty(std::string_view) {
  // The constituents show themselves; the container only has a place.
}

}  // namespace kiv::qt
