#pragma once

#include <string_view>

#include <QIcon>
#include <QToolButton>

#include "kiv/qt/ControlPeer.h"

namespace kiv {
class CommandButton;
}

namespace kiv::qt {

// The icon for a button's Picture: a picture name such as "kiv/next.png"
// names one of the library's icons (":/kiv/icons/next.png"); anything else is
// read as an image file. A null icon when neither exists.
QIcon IconForPicture(std::string_view picture);

// Shows a model CommandButton as a QToolButton: the caption, the icon named
// by Picture, the tool tip. A click, Space or Enter reaches the model, which
// raises Click.
class CommandButtonPeer : public ControlPeer {
  Q_OBJECT
 public:
  explicit CommandButtonPeer(CommandButton& button, QWidget* parent = nullptr);
  QToolButton* toolButton() const { return static_cast<QToolButton*>(widget()); }

 protected:
  void showProperty(std::string_view name) override;
  bool mousePressed(QMouseEvent& event) override;
  bool mouseReleased(QMouseEvent& event) override;
  bool mouseDoubleClicked(QMouseEvent& event) override;
};

}  // namespace kiv::qt
