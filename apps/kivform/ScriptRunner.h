#pragma once

#include <deque>
#include <ostream>
#include <string>
#include <vector>

#include "kiv/host/HeadlessHost.h"
#include "kiv/runtime/Variant.h"
#include "kivform/Script.h"

namespace kiv {
class Control;
class Dispatch;
}  // namespace kiv

namespace kivform {

class Screen;

// The headless host of a scripted run: a HeadlessHost that also keeps the
// prompts of the message boxes shown since the last `expect message`.
class RunnerHost : public kiv::HeadlessHost {
 public:
  int MsgBox(std::string_view prompt, int buttons = 0, std::string_view title = "") override;

  std::vector<std::string> prompts;     // since the last message check
  std::deque<std::string> answerLines;  // where each queued answer came from
};

// Runs script lines against a loaded screen on the headless host, printing
// the transcript as it goes: each line as "> line", then, indented, every
// message box, beep, modal form and control event it caused.
//
// A search dialog shown modally takes the script's next lines: they run while
// it is open (`search column "Name"`, `search find "Sm"`, `search ok`, or any
// other line); when the lines run out it is closed as a user would close it.
//
// A failed expectation (or an `answer` or `calendar` line that no message box
// or calendar used) is printed as "FAILED FILE:LINE: ..." and counted; the
// run goes on. A line that cannot be carried out as written (a name that is
// no control, a member the control lacks, a method that raises) raises a
// kiv::Error naming the line.
class ScriptRunner {
 public:
  ScriptRunner(Screen& screen, RunnerHost& host, std::ostream& out);

  // Traces the controls' events to the current host from now on (the
  // transcript of a scripted run).
  void watchEvents();
  // Checks every name and member a script uses before anything runs.
  void check(const std::vector<ScriptLine>& lines);
  // Runs the form's load actions; a call that returns False fails the load.
  void runLoadActions();
  void run(const std::vector<ScriptLine>& lines);
  // Reports answers and calendar actions that nothing used.
  void finish();

  // Where the transcript goes from now on.
  void setOutput(std::ostream& out) { out_ = &out; }

  int checks() const { return checks_; }
  int failures() const { return failures_; }

 private:
  struct Target {
    kiv::Dispatch* object = nullptr;
    std::string member;
  };
  void runLine(const ScriptLine& line);
  // Runs the script's next lines while a search dialog shown modally is open.
  void driveSearchDialog(kiv::Form& form);
  void searchAction(const ScriptLine& line);
  void flush();
  void fail(const ScriptLine& line, const std::string& what);
  void expectValue(const ScriptLine& line);
  void expectMessage(const ScriptLine& line, bool none);
  void expectSql(const ScriptLine& line);
  void printSql(const ScriptLine& line);
  kiv::Variant callMember(const ScriptLine& line, bool loadAction);

  kiv::Dispatch* object(const std::string& path, const ScriptLine& line) const;
  kiv::Control& control(const std::string& path, const ScriptLine& line) const;
  // The widget that takes typed input for a control (a user control's
  // first focusable inner widget).
  kiv::Control& inputWidget(const std::string& path, const ScriptLine& line) const;
  Target member(const std::string& path, const ScriptLine& line) const;
  kiv::Variant value(const Token& token, const ScriptLine& line) const;

  Screen& screen_;
  RunnerHost& host_;
  std::ostream* out_;
  std::size_t printed_ = 0;
  std::deque<std::string> calendarLines_;
  const std::vector<ScriptLine>* lines_ = nullptr;  // the lines run() is carrying out
  std::size_t next_ = 0;                            // ... and the next of them
  int checks_ = 0;
  int failures_ = 0;
};

// The printable form of a value: "text" quoted, Null, Nothing, Empty, True...
std::string Describe(const kiv::Variant& v);

}  // namespace kivform
