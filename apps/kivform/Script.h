#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kivform {

// One word of a script line: a bare word, or a "quoted" text (quoted words
// may hold spaces; \" \\ \n and \t are escapes).
struct Token {
  std::string text;
  bool quoted = false;
};

// One action or check of a script, already checked for its form:
//   focus NAME                      give NAME the focus
//   type NAME "text"                type the text into NAME, key by key
//   click NAME                      click NAME (ctlForm.cmdNext: an inner button)
//   key NAME Ctrl+F                 press a key with modifiers on NAME
//   tick NAME / untick NAME         check or clear a check box (a click when needed)
//   answer Yes                      the answer to the next message box
//   calendar pick 2024-02-29        pick that date in the next calendar shown
//   calendar escape                 press Escape in the next calendar shown
//   call NAME.Method [args]         call a public method
//   set NAME.Property value         write a property
//   expect NAME.Property value      check a property's value (its text)
//   expect message "text"           check the last message box's prompt
//   expect no message               no message box since the last check
//   sql "SELECT ..."                print the rows of a query
//   expect sql "SELECT ..." "text"  check the first value of a query
//   today 2024-03-01                fix the host's date
//   # comment, or a blank line
// Values (set, call, expect): a "quoted" text, a number, True, False, Null,
// Nothing, or @NAME for a control.
struct ScriptLine {
  std::string origin;  // file name
  int number = 0;      // 1-based line number
  std::string text;    // the line as written, trimmed
  std::string verb;    // "focus", "type", ... ("expect message" is verb "expect")
  std::vector<Token> args;

  // "FILE:LINE" for messages.
  std::string where() const;
};

class Script {
 public:
  // Parses a whole script; a malformed line raises a kiv::Error naming the
  // file and the line. Comments and blank lines are dropped.
  static Script Parse(std::string_view text, const std::string& origin);
  // Parses one line (used for a form's load actions).
  static ScriptLine ParseLine(std::string_view text, const std::string& origin, int number);

  const std::vector<ScriptLine>& lines() const { return lines_; }

 private:
  std::vector<ScriptLine> lines_;
};

// Splits a line into tokens; raises for an unterminated quote.
std::vector<Token> Tokenize(std::string_view line, const std::string& where);

}  // namespace kivform

namespace kivform {
// A key as a script writes it ("Ctrl+F", "Shift+Tab", "Enter", "F4", "A"):
// the key code and the shift state. Returns false for an unknown key.
bool ParseKey(std::string_view spec, std::int16_t& keyCode, std::int16_t& shift);
// A message box answer by name ("Yes", "ok"): the result number, or 0.
int ParseAnswer(std::string_view name);
}  // namespace kivform
