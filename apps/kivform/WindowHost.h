#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "kiv/qt/QtHost.h"

namespace kiv::qt {
class FormWindow;
}

namespace kivform {

// The host of a screen shown in a window: the desktop's message boxes,
// settings, clock and regional settings (QtHost), writing the transcript of
// the run as it happens, one flushed line at a time, so a user debugging a
// screen or a test driving it sees what happened:
//
//   Window frmScreen "Customers" id=2097158 at 0,0 size 480x326 widgets 31
//   Widget ctlForm.cmdNext at 61,8 size 24x24
//   ...
//   Status "Record 1 of 5"
//   Event ctlForm.BeforeMove
//   Window MsgBox "Save" id=2097170 at 288,308 size 429x72
//   MsgBox title="Save" buttons=YesNo icon=Question prompt="Do you want..." -> Yes
//   Modal show frmCalendar
//   Event frmCalendar.mnvMonth_View.DateClick 2024-03-13
//   Modal closed frmCalendar
//
// A Window line comes once the window is on the screen, with its X window id
// and place; for a form, the given number of Widget lines after it give each
// visible control's place in that window (an inner widget as control.widget).
// A Status line gives the record position the window's status bar shows,
// once the window is on the screen and again whenever it changes.
class WindowHost : public kiv::qt::QtHost {
 public:
  explicit WindowHost(std::ostream& out);

  // Where the transcript goes from now on.
  void setOutput(std::ostream& out) { out_ = &out; }
  // Fixes the clock at midnight of the given date.
  void setToday(kiv::DateTime today);

  // Writes the Window and Widget lines of a form's window.
  void windowShown(kiv::qt::FormWindow& window);

  int MsgBox(std::string_view prompt, int buttons = 0, std::string_view title = "") override;
  void Beep() override;
  void ShowModal(kiv::Form& form, kiv::Dispatch* owner) override;
  void Trace(std::string line) override;
  kiv::DateTime Now() override;

 private:
  void write(const std::string& line);
  std::string windowLine(const std::string& kind, const std::string& caption, QWidget& window);

  std::ostream* out_;
  std::optional<kiv::DateTime> today_;
};

}  // namespace kivform
