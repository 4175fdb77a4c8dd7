#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QLocale>
#include <QString>

#include "kiv/host/Host.h"

class QMessageBox;
class QSettings;

namespace kiv::qt {

// The host on a Qt display: message boxes as QMessageBox with the host's
// buttons, icons, default button and return codes; the beep; the mouse
// pointer as an application override cursor; per-user settings in QSettings
// under the application "KivControls"; the system clock; the system locale;
// a modally shown form as a modal dialog that returns when the form unloads.
//
// A screen keeps one host for its whole life: make the QtHost current (and
// set another locale, if wanted) before the screen is loaded, so what its
// controls show is read back in the same regional settings.
class QtHost : public Host {
 public:
  // settingsFile: an INI file for the settings instead of the user's native
  // store (tests use one so they do not touch the user's settings).
  explicit QtHost(QString settingsFile = QString());
  ~QtHost() override;

  int MsgBox(std::string_view prompt, int buttons = 0, std::string_view title = "") override;
  void Beep() override;
  void SetMousePointer(int pointer) override;
  std::string GetSetting(std::string_view app, std::string_view section, std::string_view key,
                         std::string_view defaultValue = "") override;
  void SaveSetting(std::string_view app, std::string_view section, std::string_view key,
                   std::string_view value) override;
  // A drop-down form (Form::DropsDown) opens without a frame below the
  // control that opened it (above it when there is no room), on the screen.
  void ShowModal(Form& form, Dispatch* owner) override;
  // A calendar as large as its month and day names need at the desktop's
  // font (never smaller than its design size).
  std::pair<double, double> MonthViewSize() const override;
  // Qt's own widgets (the calendar's month and day names and its first day
  // of the week) take the same regional settings.
  void setLocale(const Locale& locale) override;

  // Called with each message box once it is on the screen (a test answers it
  // by clicking one of its buttons); nullptr: the user answers.
  void onMessageBox(std::function<void(QMessageBox&)> driver) {
    messageBoxDriver_ = std::move(driver);
  }
  // Called with each modally shown form's window once it is on the screen.
  void onModalForm(std::function<void(Form&, QWidget&)> driver) {
    modalDriver_ = std::move(driver);
  }

  // The library's regional settings for a Qt locale.
  static Locale LocaleOf(const QLocale& locale);

 private:
  std::unique_ptr<QSettings> settings_;
  std::function<void(QMessageBox&)> messageBoxDriver_;
  std::function<void(Form&, QWidget&)> modalDriver_;
  bool overrideCursor_ = false;
  std::string systemLocaleName_;
};

}  // namespace kiv::qt
