#pragma once

#include "kiv/qt/ControlPeer.h"

namespace kiv {
class UserControl;
}

namespace kiv::qt {

// Shows a user control as a plain container widget holding the peers of its
// constituent widgets at their places (their geometry is relative to the
// user control, as the container's is).
class UserControlPeer : public ControlPeer {
  Q_OBJECT
 public:
  explicit UserControlPeer(UserControl& control, QWidget* parent = nullptr);

 signals:
  // A property of the control changed (its name; "" when all are shown
  // again): what sits around the control (a status bar, accessible names)
  // follows it.
  void propertyShown(const QString& name);

 protected:
  void showProperty(std::string_view name) override;
};

}  // namespace kiv::qt
