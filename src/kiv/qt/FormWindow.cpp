#include "kiv/qt/FormWindow.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <QCloseEvent>
#include <QResizeEvent>
#include <QStatusBar>

#include "kiv/form_controller/KivFormControl.h"
#include "kiv/host/Control.h"
#include "kiv/host/Form.h"
#include "kiv/qt/AccessibleNames.h"
#include "kiv/qt/ControlPeer.h"
#include "kiv/qt/FocusFrame.h"
#include "kiv/qt/PeerFactory.h"
#include "kiv/qt/RecordPosition.h"
#include "kiv/qt/Units.h"
#include "kiv/qt/UserControlPeer.h"

namespace kiv::qt {

FormWindow::FormWindow(Form& form, QWidget* parent, StatusBar statusBar)
    : QWidget(parent),
      formRef_(form.weak_from_this()),
      watched_(!formRef_.expired()),
      form_(&form) {
  setObjectName(QString::fromStdString(form.Name()));
  setWindowTitle(QString::fromStdString(form.Caption()));
  setAccessibleName(QString::fromStdString(form.Caption()));
  setAutoFillBackground(true);
  KivFormControl* controller = nullptr;
  for (const auto& control : form.Controls()) {
    ControlPeer* peer = CreatePeer(*control, this);
    if (!controller) controller = dynamic_cast<KivFormControl*>(control.get());
    // A field editor that changes its kind gets new names for its widgets.
    if (auto* user = qobject_cast<UserControlPeer*>(peer)) {
      connect(user, &UserControlPeer::propertyShown, this, [this](const QString& name) {
        if (name == QLatin1String("Type_Of_Control") || name == QLatin1String("Type_Of_LookUp")) {
          if (Form* f = this->form()) NameControls(*f);
        }
      });
    }
  }
  orderTabs();
  NameControls(form);
  if (controller && statusBar == StatusBar::Shown) {
    statusBar_ = new QStatusBar(this);
    statusBar_->setObjectName(QStringLiteral("statusBar"));
    statusBar_->setSizeGripEnabled(false);
    position_ = new RecordPosition(*controller, statusBar_);
    statusBar_->addWidget(position_, 1);
  }
  focusFrame_ = new FocusFrame(this);
  showSize();
  changeId_ = form.events.PropertyChanged.connect([this](std::string& name) { formChanged(name); });
  // A form unloaded by its own code closes its window.
  unloadId_ = form.events.Unload.connect([this] {
    if (isWindow()) hide();
  });
  // The focused control shows the focus.
  if (Control* active = form.ActiveControl()) {
    if (QWidget* w = WidgetOf(*active)) w->setFocus(Qt::OtherFocusReason);
  }
}

FormWindow::~FormWindow() {
  if (Form* f = form()) {
    f->events.PropertyChanged.disconnect(changeId_);
    f->events.Unload.disconnect(unloadId_);
  }
}

Form* FormWindow::form() const {
  if (watched_ && formRef_.expired()) return nullptr;
  return form_;
}

QWidget* FormWindow::widgetOf(const Control& control) const {
  return WidgetOf(control);
}

void FormWindow::formChanged(const std::string& property) {
  if (property == "Caption") {
    setWindowTitle(QString::fromStdString(form_->Caption()));
    setAccessibleName(QString::fromStdString(form_->Caption()));
  } else if ((property == "Width" || property == "Height") && !sizing_) {
    showSize();
  } else if (property == "Visible" && !form_->Visible() && isWindow()) {
    hide();
  }
}

void FormWindow::showSize() {
  sizing_ = true;
  resize(TwipsToPixels(form_->Width(), this),
         TwipsToPixels(form_->Height(), this) + statusHeight());
  sizing_ = false;
  placeStatusBar();
}

int FormWindow::statusHeight() const {
  return statusBar_ ? statusBar_->sizeHint().height() : 0;
}

void FormWindow::placeStatusBar() {
  if (!statusBar_) return;
  const int h = statusHeight();
  statusBar_->setGeometry(0, height() - h, width(), h);
  statusBar_->raise();
}

void FormWindow::orderTabs() {
  // Qt's own focus chain follows TabIndex too (for focus moves Qt makes itself).
  std::vector<Control*> order;
  for (const auto& control : form_->Controls())
    order.push_back(control.get());
  std::stable_sort(order.begin(), order.end(),
                   [](Control* a, Control* b) { return a->TabIndex() < b->TabIndex(); });
  QWidget* previous = nullptr;
  for (Control* control : order) {
    QWidget* w = WidgetOf(*control);
    if (!w) continue;
    if (previous) setTabOrder(previous, w);
    previous = w;
  }
}

void FormWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  placeStatusBar();
  if (sizing_ || !form()) return;
  sizing_ = true;
  const double width = PixelsToTwips(event->size().width(), this);
  const double height = PixelsToTwips(std::max(0, event->size().height() - statusHeight()), this);
  try {
    if (std::abs(width - form_->Width()) >= 1) form_->Width(width);
    if (std::abs(height - form_->Height()) >= 1) form_->Height(height);
  } catch (const kiv::Error& error) {
    ControlPeer::ReportError(error);
  }
  sizing_ = false;
}

void FormWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // A form that is shown with nothing focused gives the focus to the first
  // control in its tab order, so the keyboard works from the start.
  Form* f = form();
  if (!f || !f->IsLoaded() || f->ActiveControl()) return;
  try {
    f->tab();
  } catch (const kiv::Error& error) {
    ControlPeer::ReportError(error);
  }
}

void FormWindow::closeEvent(QCloseEvent* event) {
  if (Form* f = form(); f && f->IsLoaded()) {
    try {
      f->Unload();
    } catch (const kiv::Error& error) {
      ControlPeer::ReportError(error);
    }
  }
  event->accept();
}

}  // namespace kiv::qt
