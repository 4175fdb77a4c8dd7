#pragma once

#include <QLabel>

#include "kiv/qt/ControlPeer.h"

namespace kiv {
class Label;
}

namespace kiv::qt {

// Shows a model Label as a QLabel: caption ("&&" shows one "&", a single "&"
// marks the access key and is not shown), alignment and colours. A caption
// wider than the label is shown in a slightly smaller font, not cut off.
class LabelPeer : public ControlPeer {
  Q_OBJECT
 public:
  explicit LabelPeer(Label& label, QWidget* parent = nullptr);
  QLabel* label() const { return static_cast<QLabel*>(widget()); }

 protected:
  void showProperty(std::string_view name) override;
  bool mousePressed(QMouseEvent& event) override;
  bool mouseReleased(QMouseEvent& event) override;

 private:
  void fitCaption();
};

}  // namespace kiv::qt
