#include "kiv/qt/LabelPeer.h"

#include "kiv/host/Label.h"
#include "kiv/qt/AccessibleNames.h"

namespace kiv::qt {

LabelPeer::LabelPeer(Label& label, QWidget* parent) : ControlPeer(label, new QLabel(parent)) {
  this->label()->setTextFormat(Qt::PlainText);
  refresh();
}

void LabelPeer::showProperty(std::string_view name) {
  auto* model = static_cast<Label*>(control());
  const bool all = name.empty();
  if (all || name == "Caption") {
    // With a buddy, Qt shows the access key underlined and takes it to the
    // buddy; without one the marks are dropped.
    label()->setText(label()->buddy() ? QString::fromStdString(model->Caption())
                                      : ShownCaption(model->Caption()));
    fitCaption();
  }
  if (all || name == "Alignment") {
    const Qt::Alignment horizontal = model->Alignment() == 1   ? Qt::AlignRight
                                     : model->Alignment() == 2 ? Qt::AlignHCenter
                                                               : Qt::AlignLeft;
    label()->setAlignment(horizontal | Qt::AlignTop);
  }
  if (all || name == "BackColor" || name == "ForeColor") {
    showColours(model->BackColor(), model->ForeColor(), QPalette::Window, QPalette::WindowText);
  }
}

void LabelPeer::fitCaption() {
  // A caption laid out for a narrower font than the screen's is shown a
  // little smaller rather than cut off (down to 7 points).
  QFont font = label()->parentWidget() ? label()->parentWidget()->font() : label()->font();
  const int width = label()->width();
  const QString text = label()->text();
  if (width > 0 && font.pointSizeF() > 0 && !text.contains(QLatin1Char('\n'))) {
    while (font.pointSizeF() > 7 && QFontMetrics(font).horizontalAdvance(text) > width)
      font.setPointSizeF(font.pointSizeF() - 0.5);
  }
  label()->setFont(font);
}

bool LabelPeer::mousePressed(QMouseEvent& event) {
  ControlPeer::mousePressed(event);
  return true;
}

bool LabelPeer::mouseReleased(QMouseEvent& event) {
  ControlPeer::mouseReleased(event);
  return true;
}

}  // namespace kiv::qt
