#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "kiv/runtime/Locale.h"
#include "kiv/runtime/Variant.h"

namespace kiv {

class Control;
class Dispatch;
class Form;

// Message box styles and results, numbered as the host numbers them.
namespace vb {
// Buttons (the low four bits of the style).
inline constexpr int vbOKOnly = 0;
inline constexpr int vbOKCancel = 1;
inline constexpr int vbAbortRetryIgnore = 2;
inline constexpr int vbYesNoCancel = 3;
inline constexpr int vbYesNo = 4;
inline constexpr int vbRetryCancel = 5;
// Icons.
inline constexpr int vbCritical = 16;
inline constexpr int vbQuestion = 32;
inline constexpr int vbExclamation = 48;
inline constexpr int vbInformation = 64;
// Default button.
inline constexpr int vbDefaultButton1 = 0;
inline constexpr int vbDefaultButton2 = 256;
inline constexpr int vbDefaultButton3 = 512;
// Results.
inline constexpr int vbOK = 1;
inline constexpr int vbCancel = 2;
inline constexpr int vbAbort = 3;
inline constexpr int vbRetry = 4;
inline constexpr int vbIgnore = 5;
inline constexpr int vbYes = 6;
inline constexpr int vbNo = 7;
// Mouse pointers.
inline constexpr int vbDefault = 0;
inline constexpr int vbHourglass = 11;
// Show styles.
inline constexpr int vbModeless = 0;
inline constexpr int vbModal = 1;
}  // namespace vb

// The container's runtime: message boxes, beep, mouse pointer, per-user
// settings, the clock, the user's locale and modal forms. One host is current
// per user-interface thread; library code reaches it through Host::Current().
class Host {
 public:
  Host();
  virtual ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // The calling thread's current host. When none was set this is a
  // thread-local HeadlessHost, so there is always one.
  static Host& Current();
  // Makes host current on the calling thread (nullptr: back to the default).
  // The caller keeps the host alive while it is current; a host that is
  // destroyed while current is unset automatically.
  static void SetCurrent(Host* host);

  // Shows a message box and returns the button pressed (vb::vbOK ...).
  // An empty title shows AppTitle().
  virtual int MsgBox(std::string_view prompt, int buttons = 0, std::string_view title = "") = 0;
  virtual void Beep() = 0;

  // Screen.MousePointer: 0 default, 11 busy.
  int MousePointer() const { return mousePointer_; }
  virtual void SetMousePointer(int pointer);

  // Per-user stored strings.
  virtual std::string GetSetting(std::string_view app, std::string_view section,
                                 std::string_view key, std::string_view defaultValue = "") = 0;
  virtual void SaveSetting(std::string_view app, std::string_view section, std::string_view key,
                           std::string_view value) = 0;

  // The host clock: Now() with the time of day, Today() without.
  virtual DateTime Now();
  DateTime Today();

  // App.Title.
  virtual std::string AppTitle() const { return appTitle_; }
  void SetAppTitle(std::string title) { appTitle_ = std::move(title); }

  // The user's regional settings. Setting them also makes them the calling
  // thread's current Locale.
  const Locale& locale() const { return locale_; }
  virtual void setLocale(const Locale& locale);

  // Shows a loaded form modally; returns when the form has unloaded. Called
  // by Form::Show(vbModal, owner), which loads the form first.
  virtual void ShowModal(Form& form, Dispatch* owner) = 0;

  // The size, in twips, of a month calendar on this host's screen: the
  // platform's calendar sizes itself so its month and day names show whole
  // at the screen's font. A form makes its calendars at least this large
  // when it loads. The base gives the calendar's design size.
  virtual std::pair<double, double> MonthViewSize() const;

  // A control told the host that one of its persisted properties changed.
  virtual void PropertyChanged(Control& control, std::string_view name);
  // A line for the host's trace of events (the headless transcript records it).
  virtual void Trace(std::string line);

 protected:
  int mousePointer_ = 0;

 private:
  std::string appTitle_ = "KivControls";
  Locale locale_;
};

// The system clock's local date and time as a host date serial.
DateTime SystemNow();

}  // namespace kiv
