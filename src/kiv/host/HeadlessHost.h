#pragma once

#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kiv/host/Host.h"

namespace kiv {

// One line of the headless transcript: what happened (kind) and its details.
struct TranscriptEntry {
  std::string kind;  // "MsgBox", "Beep", "MousePointer", "PropertyChanged", "Modal", "Trace"
  std::string text;  // details, "" for a Beep
  // The printable form, e.g.
  //   MsgBox title="Save" buttons=YesNo icon=Question prompt="Do you want to save?" -> Yes
  //   Beep
  //   MousePointer 11
  //   PropertyChanged ctlUni1.Text
  std::string line() const;
};

// A host without a display: it records a transcript, answers message boxes
// from a script, keeps settings in memory or in a JSON file, has a settable
// clock and locale, and hands modal forms to drivers.
//
// Message boxes are answered, in this order of preference, by the next queued
// answer, by the answer callback, or by the box's default button (the first,
// or the second/third with vbDefaultButton2/3). Every box is recorded with
// the answer it got. A scripted answer that is not one of the box's buttons
// is refused with an Error (a real user cannot press a button that is not
// there); the refusal is recorded too.
//
// A modal form is handed to the next queued one-shot driver, or else to the
// fallback driver. A driver acts on the form (picks a date, presses OK) and
// returns; if the form is still shown afterwards, or there was no driver,
// the host unloads it as a user closing the window would, and records that.
// A driver that hides the form ends the modal showing and leaves it loaded.
class HeadlessHost : public Host {
 public:
  using AnswerCallback =
      std::function<int(std::string_view prompt, int buttons, std::string_view title)>;
  using ModalDriver = std::function<void(Form&)>;

  HeadlessHost();
  ~HeadlessHost() override;

  // ---- Host
  int MsgBox(std::string_view prompt, int buttons = 0, std::string_view title = "") override;
  void Beep() override;
  void SetMousePointer(int pointer) override;
  std::string GetSetting(std::string_view app, std::string_view section, std::string_view key,
                         std::string_view defaultValue = "") override;
  void SaveSetting(std::string_view app, std::string_view section, std::string_view key,
                   std::string_view value) override;
  DateTime Now() override;
  void ShowModal(Form& form, Dispatch* owner) override;
  void PropertyChanged(Control& control, std::string_view name) override;
  void Trace(std::string line) override;

  // ---- Transcript
  const std::vector<TranscriptEntry>& transcript() const { return transcript_; }
  std::vector<std::string> lines() const;
  // The entries of one kind, as printable lines.
  std::vector<std::string> lines(std::string_view kind) const;
  void clearTranscript() { transcript_.clear(); }
  // Property-changed notifications are recorded unless switched off.
  void recordPropertyChanges(bool on) { recordPropertyChanges_ = on; }

  // ---- Scripted message box answers
  void queueAnswer(int answer) { answers_.push_back(answer); }
  std::size_t pendingAnswers() const { return answers_.size(); }
  void setAnswerCallback(AnswerCallback callback) { answerCallback_ = std::move(callback); }

  // ---- Settings
  // Keeps settings in a JSON file {"app": {"section": {"key": "value"}}}: the
  // file is read now (a missing file is an empty store; a malformed one raises
  // an Error naming the file) and written after every SaveSetting.
  void useSettingsFile(std::filesystem::path path);
  const std::optional<std::filesystem::path>& settingsFile() const { return settingsFile_; }

  // ---- Clock: fixes Now() (Today() is its date part); std::nullopt: the system clock.
  void setNow(std::optional<DateTime> now) { fixedNow_ = now; }
  // Fixes the clock at midnight of the given date.
  void setToday(DateTime today);

  // ---- Modal forms
  void pushModalDriver(ModalDriver driver) { drivers_.push_back(std::move(driver)); }
  std::size_t pendingModalDrivers() const { return drivers_.size(); }
  void setModalFallback(ModalDriver driver) { fallback_ = std::move(driver); }
  // Forms currently shown modally, innermost last.
  const std::vector<Form*>& modalStack() const { return modalStack_; }

  // The printable names the transcript uses.
  static std::string ButtonsName(int buttons);  // "YesNo", "OKOnly", ...
  static std::string IconName(int buttons);     // "none", "Critical", ...
  static std::string ResultName(int result);    // "Yes", "OK", ...
  // The buttons of a style, in order (vbYes, vbNo, vbCancel for vbYesNoCancel).
  static std::vector<int> ButtonsOf(int buttons);
  // The answer an unscripted box gets: its default button.
  static int DefaultAnswer(int buttons);
  // A message box as the transcript shows it, without the answer:
  //   title="Save" buttons=YesNo icon=Question prompt="Do you want to save?"
  static std::string DescribeMsgBox(std::string_view prompt, int buttons,
                                    std::string_view shownTitle);

 private:
  void record(std::string kind, std::string text);
  void saveSettingsFile() const;

  std::vector<TranscriptEntry> transcript_;
  bool recordPropertyChanges_ = true;
  std::deque<int> answers_;
  AnswerCallback answerCallback_;
  std::map<std::string, std::map<std::string, std::map<std::string, std::string>>> settings_;
  std::optional<std::filesystem::path> settingsFile_;
  std::optional<DateTime> fixedNow_;
  std::deque<ModalDriver> drivers_;
  ModalDriver fallback_;
  std::vector<Form*> modalStack_;
};

}  // namespace kiv
