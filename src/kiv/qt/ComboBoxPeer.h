#pragma once

#include <QComboBox>

#include "kiv/qt/ControlPeer.h"

namespace kiv {
class ComboBox;
}

namespace kiv::qt {

// Shows a model ComboBox as a QComboBox: editable for Style 0, a list to
// choose from for Style 2. A pick from the drop-down goes to the model's
// pick (Click); typed keys edit the model's text or choose by first letter.
class ComboBoxPeer : public ControlPeer {
  Q_OBJECT
 public:
  explicit ComboBoxPeer(ComboBox& box, QWidget* parent = nullptr);
  QComboBox* comboBox() const { return static_cast<QComboBox*>(widget()); }

 protected:
  void showProperty(std::string_view name) override;
  bool keyPressed(QKeyEvent& event) override;

 private:
  void showItems();
  void showText();
  void userPicked(int index);
  void widgetEdited(const QString& text);
};

}  // namespace kiv::qt
