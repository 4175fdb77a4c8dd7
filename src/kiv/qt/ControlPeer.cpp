#include "kiv/qt/ControlPeer.h"

#include <algorithm>

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QTimer>

#include "kiv/host/Form.h"
#include "kiv/host/Host.h"
#include "kiv/qt/KeyMap.h"
#include "kiv/qt/Units.h"

namespace kiv::qt {

namespace {
constexpr const char* kPeerProperty = "kivPeer";
}

ControlPeer::ControlPeer(Control& control, QWidget* widget)
    : QObject(widget), control_(&control), widget_(widget), basePalette_(widget->palette()) {
  widget->setProperty(kPeerProperty, QVariant::fromValue(static_cast<QObject*>(this)));
  widget->setObjectName(QString::fromStdString(control.Name()));
  widget->installEventFilter(this);
  control.attachPeer(this);
}

ControlPeer::~ControlPeer() {
  if (control_) {
    Control* c = control_;
    control_ = nullptr;
    if (c->peer() == this) c->detachPeer();
  }
}

ControlPeer* ControlPeer::of(const QWidget* widget) {
  if (!widget) return nullptr;
  return qobject_cast<ControlPeer*>(widget->property(kPeerProperty).value<QObject*>());
}

void ControlPeer::refresh() {
  if (!control_ || !widget_) return;
  Mirror mirror(*this);
  widget_->setEnabled(control_->Enabled());
  showGeometry();
  showProperty("");
  showVisible();
}

void ControlPeer::propertyChanged(Control&, std::string_view name) {
  if (!widget_ || !control_) return;
  Mirror mirror(*this);
  if (name == "Enabled") {
    widget_->setEnabled(control_->Enabled());
    keepFocus();
  } else if (name == "Visible") {
    showVisible();
  } else if (name == "Name") {
    widget_->setObjectName(QString::fromStdString(control_->Name()));
  } else {
    showProperty(name);
  }
}

void ControlPeer::geometryChanged(Control&) {
  if (!widget_ || !control_) return;
  Mirror mirror(*this);
  showGeometry();
}

void ControlPeer::showGeometry() {
  // A widget embedded in an application's own layout is placed by the layout.
  if (!widget_->parentWidget() || widget_->parentWidget()->layout()) return;
  widget_->setGeometry(TwipsToPixels(control_->Left(), control_->Top(), control_->Width(),
                                     control_->Height(), widget_));
}

int& ControlPeer::MirroringAny() {
  thread_local int depth = 0;
  return depth;
}

void ControlPeer::showVisible() {
  // A widget without a parent would become a window of its own: only hide it.
  if (widget_->parentWidget() || !control_->Visible()) widget_->setVisible(control_->Visible());
  keepFocus();
}

void ControlPeer::keepFocus() {
  // A control that re-lays itself out keeps the focus: Qt moved it off the
  // widget while it was hidden or disabled, so it comes back.
  if (control_->HasFocus() && widget_->isVisible() && widget_->isEnabled() &&
      !widget_->hasFocus()) {
    focusing_ = true;
    widget_->setFocus(Qt::OtherFocusReason);
    focusing_ = false;
  }
}

void ControlPeer::visibilityChanged(Control&, bool) {
  if (!widget_ || !control_) return;
  Mirror mirror(*this);
  showVisible();
}

void ControlPeer::focusChanged(Control&, bool hasFocus) {
  if (!widget_ || !hasFocus || focusing_) return;
  if (widget_->hasFocus()) return;
  focusing_ = true;
  widget_->setFocus(Qt::OtherFocusReason);
  focusing_ = false;
}

void ControlPeer::detached(Control&) {
  control_ = nullptr;
  if (widget_) {
    widget_->hide();
    widget_->deleteLater();
  }
}

void ControlPeer::ReportError(const kiv::Error& error) {
  try {
    Host::Current().MsgBox(error.description(), vb::vbCritical,
                           "Run-time error '" + std::to_string(error.number()) + "'");
  } catch (...) {
    // A failing message box must not take the event loop down with it.
  }
}

void ControlPeer::showColours(std::int32_t back, std::int32_t fore, QPalette::ColorRole backRole,
                              QPalette::ColorRole foreRole) {
  QPalette palette = basePalette_;
  palette.setColor(backRole, ToQColor(back, basePalette_));
  palette.setColor(foreRole, ToQColor(fore, basePalette_));
  widget_->setPalette(palette);
  widget_->setAutoFillBackground(backRole == QPalette::Window || backRole == QPalette::Button);
}

float ControlPeer::twipsX(const QMouseEvent& event) const {
  return static_cast<float>(PixelsToTwips(event.position().toPoint().x(), widget_));
}

float ControlPeer::twipsY(const QMouseEvent& event) const {
  return static_cast<float>(PixelsToTwips(event.position().toPoint().y(), widget_));
}

// ---- Real input

bool ControlPeer::keyPressed(QKeyEvent& event) {
  const std::int16_t code = KeyCodeOf(event);
  const std::int16_t shift = ShiftOf(event.modifiers());
  const QString text = event.text();
  if (code == key::Shift || code == key::Control || code == 18) {
    if (!event.isAutoRepeat()) fromUser([&] { control_->keyDown(code, shift); });
    return true;
  }
  if (code == key::Tab) {
    Form* form = control_->Parent();
    if (!form || (shift & key::CtrlMask)) return false;  // Qt moves the focus
    fromUser([&] { form->tab((shift & key::ShiftMask) != 0); });
    return true;
  }
  const bool printable = !text.isEmpty() && text.at(0).unicode() >= 0x20 &&
                         text.at(0).unicode() != 0x7F &&
                         (shift & (key::CtrlMask | key::AltMask)) == 0;
  if (printable) {
    const std::string typed = text.toStdString();
    fromUser([&] { control_->type(typed); });
    return true;
  }
  if (code == 0) return false;
  fromUser([&] { control_->pressKey(code, shift); });
  return true;
}

bool ControlPeer::keyReleased(QKeyEvent& event) {
  const std::int16_t code = KeyCodeOf(event);
  if (code == key::Shift || code == key::Control || code == 18) {
    if (!event.isAutoRepeat()) {
      const std::int16_t shift = ShiftOf(event.modifiers());
      fromUser([&] { control_->keyUp(code, shift); });
    }
    return true;
  }
  // The key's KeyUp was raised with its press.
  return code != 0 && code != key::Tab;
}

bool ControlPeer::mousePressed(QMouseEvent& event) {
  const std::int16_t button = ButtonOf(event.button());
  const std::int16_t shift = ShiftOf(event.modifiers());
  const float x = twipsX(event), y = twipsY(event);
  fromUser([&] { control_->mouseDown(button, shift, x, y); });
  return false;
}

bool ControlPeer::mouseReleased(QMouseEvent& event) {
  const std::int16_t button = ButtonOf(event.button());
  const std::int16_t shift = ShiftOf(event.modifiers());
  const float x = twipsX(event), y = twipsY(event);
  if (button == 1) {
    fromUser([&] { control_->mouseRelease(x, y); });
  } else {
    fromUser([&] { control_->mouseUp(button, shift, x, y); });
  }
  return false;
}

bool ControlPeer::mouseDoubleClicked(QMouseEvent& event) {
  if (event.button() != Qt::LeftButton) return mousePressed(event);
  const float x = twipsX(event), y = twipsY(event);
  fromUser([&] { control_->dblClick(x, y); });
  // The release that follows belongs to the double click.
  swallowRelease_ = true;
  return false;
}

void ControlPeer::watch(QWidget* part) {
  if (!part) return;
  parts_.emplace_back(part);
  part->installEventFilter(this);
}

bool ControlPeer::eventFilter(QObject* watched, QEvent* event) {
  const bool mine =
      watched == widget_ ||
      std::any_of(parts_.begin(), parts_.end(), [&](const auto& p) { return p.data() == watched; });
  if (!mine || !control_) return QObject::eventFilter(watched, event);
  QPointer<ControlPeer> self(this);
  bool used = false;
  switch (event->type()) {
    case QEvent::ShortcutOverride: {
      // Plain keys belong to the control, not to the window's shortcuts.
      auto* key = static_cast<QKeyEvent*>(event);
      if ((key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) == 0 && KeyCodeOf(*key)) {
        key->accept();
        return true;
      }
      break;
    }
    case QEvent::KeyPress:
      used = keyPressed(*static_cast<QKeyEvent*>(event));
      break;
    case QEvent::KeyRelease:
      used = keyReleased(*static_cast<QKeyEvent*>(event));
      break;
    case QEvent::MouseButtonPress:
      swallowRelease_ = false;
      used = mousePressed(*static_cast<QMouseEvent*>(event));
      break;
    case QEvent::MouseButtonRelease:
      if (swallowRelease_) {
        swallowRelease_ = false;
        return false;
      }
      used = mouseReleased(*static_cast<QMouseEvent*>(event));
      break;
    case QEvent::MouseButtonDblClick:
      used = mouseDoubleClicked(*static_cast<QMouseEvent*>(event));
      break;
    case QEvent::FocusIn: {
      const auto reason = static_cast<QFocusEvent*>(event)->reason();
      // The window coming back or a popup closing does not move the form's focus.
      if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) break;
      // Qt moved the focus off a widget a peer hid or disabled: the form's
      // focus stays where it is, as the model keeps it.
      if (MirroringAny() > 0) break;
      if (focusing_ || control_->HasFocus() || !control_->CanFocus()) break;
      if (reason == Qt::MouseFocusReason) {
        // Qt focuses before it delivers the press; the press's MouseDown comes
        // first and moves the model's focus itself. Catch up if it did not.
        QTimer::singleShot(0, this, [this] {
          if (control_ && widget_ && widget_->hasFocus() && !control_->HasFocus() &&
              control_->CanFocus()) {
            fromUser([&] { control_->SetFocus(); });
          }
        });
        break;
      }
      focusing_ = true;
      fromUser([&] { control_->SetFocus(); });
      if (self) focusing_ = false;
      break;
    }
    case QEvent::Resize:
      // Embedded in a layout, the widget is sized by the layout: the control follows.
      if (watched == widget_ && !mirroring() && widget_->parentWidget() &&
          widget_->parentWidget()->layout()) {
        const QSize size = static_cast<QResizeEvent*>(event)->size();
        Mirror mirror(*this);
        fromUser([&] {
          control_->Move(control_->Left(), control_->Top(), PixelsToTwips(size.width(), widget_),
                         PixelsToTwips(size.height(), widget_));
        });
      }
      break;
    default:
      break;
  }
  if (!self) return true;  // a handler removed the widget
  if (used) {
    event->accept();
    return true;
  }
  return false;
}

}  // namespace kiv::qt
