#include "kiv/qt/CheckBoxPeer.h"

#include "kiv/host/CheckBox.h"

namespace kiv::qt {

CheckBoxPeer::CheckBoxPeer(CheckBox& box, QWidget* parent)
    : ControlPeer(box, new QCheckBox(parent)) {
  checkBox()->setTristate(true);
  refresh();
}

void CheckBoxPeer::showProperty(std::string_view name) {
  auto* box = static_cast<CheckBox*>(control());
  const bool all = name.empty();
  if (all || name == "Value") {
    const Qt::CheckState states[] = {Qt::Unchecked, Qt::Checked, Qt::PartiallyChecked};
    checkBox()->setCheckState(states[std::clamp<int>(box->Value(), 0, 2)]);
  }
  if (all || name == "Caption") checkBox()->setText(QString::fromStdString(box->Caption()));
  if (all || name == "BackColor") {
    showColours(box->BackColor(), colour::ButtonText, QPalette::Window, QPalette::WindowText);
  }
}

// The model toggles the box; Qt's own toggling would run ahead of its events.
bool CheckBoxPeer::mousePressed(QMouseEvent& event) {
  ControlPeer::mousePressed(event);
  return true;
}

bool CheckBoxPeer::mouseReleased(QMouseEvent& event) {
  ControlPeer::mouseReleased(event);
  return true;
}

bool CheckBoxPeer::mouseDoubleClicked(QMouseEvent& event) {
  ControlPeer::mouseDoubleClicked(event);
  return true;
}

}  // namespace kiv::qt
