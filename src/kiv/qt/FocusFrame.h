#pragma once

#include <vector>

#include <QPointer>
#include <QWidget>

namespace kiv::qt {

// A ring in the highlight colour around the widget that has the keyboard
// focus in a window, over whatever the widget's style draws: a check box
// without a caption, a picture button or a calendar shows its focus as
// plainly as a line edit does. It ignores the mouse and follows the focused
// widget as it moves, resizes or hides.
class FocusFrame : public QWidget {
  Q_OBJECT
 public:
  explicit FocusFrame(QWidget* window);

  // The widget the ring is around, or nullptr when it is hidden.
  QWidget* target() const { return target_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void focusMoved(QWidget* now);
  void place();

  QPointer<QWidget> target_;
  std::vector<QPointer<QWidget>> watched_;  // the target and its parents in the window
};

}  // namespace kiv::qt
