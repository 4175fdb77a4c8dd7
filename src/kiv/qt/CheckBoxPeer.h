#pragma once

#include <QCheckBox>

#include "kiv/qt/ControlPeer.h"

namespace kiv {
class CheckBox;
}

namespace kiv::qt {

// Shows a model CheckBox as a QCheckBox (Value 2 as the partly checked
// state). A click or Space toggles the model, which the box then shows.
class CheckBoxPeer : public ControlPeer {
  Q_OBJECT
 public:
  explicit CheckBoxPeer(CheckBox& box, QWidget* parent = nullptr);
  QCheckBox* checkBox() const { return static_cast<QCheckBox*>(widget()); }

 protected:
  void showProperty(std::string_view name) override;
  bool mousePressed(QMouseEvent& event) override;
  bool mouseReleased(QMouseEvent& event) override;
  bool mouseDoubleClicked(QMouseEvent& event) override;
};

}  // namespace kiv::qt
