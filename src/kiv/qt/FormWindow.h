#pragma once

#include <memory>

#include <QWidget>

#include "kiv/runtime/Event.h"

namespace kiv {
class Control;
class Dispatch;
class Form;
}  // namespace kiv

class QStatusBar;

namespace kiv::qt {

class FocusFrame;
class RecordPosition;

// Shows a whole form: every control's peer at its place, the tab order by
// TabIndex, the caption as the window title, an accessible name and role for
// every control (NameControls) and a ring around the focused widget
// (FocusFrame). Resizing the window sets the form's Width and Height (which
// runs its Resize); closing it unloads the form.
//
// A form with a form controller gets a status bar below the form showing
// where the controller's record set stands ("Record 3 of 120",
// RecordPosition); the form's size is the window's client area above it. An
// application that embeds the window in its own (and shows the position
// itself, or not at all) passes StatusBar::Hidden.
class FormWindow : public QWidget {
  Q_OBJECT
 public:
  enum class StatusBar { Shown, Hidden };

  explicit FormWindow(Form& form, QWidget* parent = nullptr,
                      StatusBar statusBar = StatusBar::Shown);
  ~FormWindow() override;

  // The form, or nullptr once it has gone away.
  Form* form() const;
  // The widget showing a control of the form (at any depth), or nullptr.
  QWidget* widgetOf(const Control& control) const;
  // The record position in the status bar, or nullptr when there is none.
  RecordPosition* recordPosition() const { return position_; }
  QStatusBar* statusBar() const { return statusBar_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void formChanged(const std::string& property);
  void showSize();
  void orderTabs();
  void placeStatusBar();
  int statusHeight() const;

  std::weak_ptr<kiv::Dispatch> formRef_;
  bool watched_ = false;  // the form is held by a shared pointer: formRef_ tells when it goes
  Form* form_;
  Event<std::string>::Id changeId_ = 0;
  Event<>::Id unloadId_ = 0;
  bool sizing_ = false;
  QStatusBar* statusBar_ = nullptr;
  RecordPosition* position_ = nullptr;
  FocusFrame* focusFrame_ = nullptr;
};

}  // namespace kiv::qt
