#include "kiv/qt/FocusFrame.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>

namespace kiv::qt {

namespace {
constexpr int kRing = 2;  // pixels: one outside the widget, one over its edge
}

FocusFrame::FocusFrame(QWidget* window) : QWidget(window) {
  setObjectName(QStringLiteral("focusFrame"));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
  setFocusPolicy(Qt::NoFocus);
  hide();
  connect(qApp, &QApplication::focusChanged, this,
          [this](QWidget*, QWidget* now) { focusMoved(now); });
}

void FocusFrame::focusMoved(QWidget* now) {
  for (const auto& w : watched_)
    if (w) w->removeEventFilter(this);
  watched_.clear();
  target_ = nullptr;
  // Only a widget of this window, not the window itself. Moving any of its
  // parents moves it too.
  if (now && now != parentWidget() && parentWidget()->isAncestorOf(now)) {
    target_ = now;
    for (QWidget* w = now; w && w != parentWidget(); w = w->parentWidget()) {
      w->installEventFilter(this);
      watched_.emplace_back(w);
    }
  }
  place();
}

void FocusFrame::place() {
  if (!target_ || !target_->isVisible()) {
    hide();
    return;
  }
  const QRect shown(target_->mapTo(parentWidget(), QPoint(0, 0)), target_->size());
  setGeometry(shown.adjusted(-kRing / 2, -kRing / 2, kRing / 2, kRing / 2));
  raise();
  show();
  update();
}

bool FocusFrame::eventFilter(QObject* watched, QEvent* event) {
  if (target_ && watched->isWidgetType() &&
      (watched == target_ || static_cast<QWidget*>(watched)->isAncestorOf(target_))) {
    switch (event->type()) {
      case QEvent::Move:
      case QEvent::Resize:
      case QEvent::Show:
      case QEvent::Hide:
        place();
        break;
      default:
        break;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void FocusFrame::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QPen pen(palette().color(QPalette::Active, QPalette::Highlight));
  pen.setWidth(kRing);
  pen.setJoinStyle(Qt::MiterJoin);
  painter.setPen(pen);
  painter.drawRect(QRectF(rect()).adjusted(kRing / 2.0, kRing / 2.0, -kRing / 2.0, -kRing / 2.0));
}

}  // namespace kiv::qt
