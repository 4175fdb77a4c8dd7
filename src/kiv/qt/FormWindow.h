#pragma once

#include <memory>

#include <QWidget>

#include "kiv/runtime/Event.h"

namespace kiv {
class Control;
class Dispatch;
class Form;
}  // namespace kiv

namespace kiv::qt {

// Shows a whole form: every control's peer at its place, the tab order by
// TabIndex, the caption as the window title. Resizing the window sets the
// form's Width and Height (which runs its Resize); closing it unloads the
// form. The form's size is the window's client area.
class FormWindow : public QWidget {
  Q_OBJECT
 public:
  explicit FormWindow(Form& form, QWidget* parent = nullptr);
  ~FormWindow() override;

  // The form, or nullptr once it has gone away.
  Form* form() const;
  // The widget showing a control of the form (at any depth), or nullptr.
  QWidget* widgetOf(const Control& control) const;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void formChanged(const std::string& property);
  void showSize();
  void orderTabs();

  std::weak_ptr<kiv::Dispatch> formRef_;
  bool watched_ = false;  // the form is held by a shared pointer: formRef_ tells when it goes
  Form* form_;
  Event<std::string>::Id changeId_ = 0;
  Event<>::Id unloadId_ = 0;
  bool sizing_ = false;
};

}  // namespace kiv::qt
