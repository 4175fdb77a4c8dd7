#include "kivform/Script.h"

#include <cctype>
#include <charconv>

#include "kiv/host/Control.h"
#include "kiv/host/Host.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"

namespace kivform {

namespace {

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  throw kiv::Error(kiv::kLibraryError, "kivform", where + ": " + what);
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string_view TrimView(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
    s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
    s.remove_suffix(1);
  return s;
}

bool IsName(const Token& t) {
  if (t.quoted || t.text.empty()) return false;
  for (char c : t.text)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '.') return false;
  return std::isalpha(static_cast<unsigned char>(t.text.front())) != 0;
}

// NAME.Member: a control path and a member.
bool IsMemberPath(const Token& t) {
  return IsName(t) && t.text.find('.') != std::string::npos && t.text.back() != '.';
}

bool IsNumber(std::string_view s) {
  double d = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), d);
  return ec == std::errc() && p == s.data() + s.size();
}

bool IsValue(const Token& t) {
  if (t.quoted) return true;
  const std::string w = Lower(t.text);
  if (w == "true" || w == "false" || w == "null" || w == "nothing") return true;
  if (w.size() > 1 && w[0] == '@') return IsName(Token{t.text.substr(1), false});
  return IsNumber(t.text);
}

bool IsIsoDate(std::string_view s) {
  if (s.size() != 10 || s[4] != '-' || s[7] != '-') return false;
  for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
  return kiv::IsDate(kiv::Variant(std::string(s)));
}

const char* kValueHelp =
    "a value is a \"quoted\" text, a number, True, False, Null, Nothing or @control";

}  // namespace

std::string ScriptLine::where() const {
  return origin + ":" + std::to_string(number);
}

std::vector<Token> Tokenize(std::string_view line, const std::string& where) {
  std::vector<Token> out;
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
      continue;
    }
    Token t;
    if (c == '"') {
      t.quoted = true;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        char d = line[i++];
        if (d == '"') {
          closed = true;
          break;
        }
        if (d == '\\' && i < line.size()) {
          const char e = line[i++];
          switch (e) {
            case 'n':
              d = '\n';
              break;
            case 't':
              d = '\t';
              break;
            case '"':
              d = '"';
              break;
            case '\\':
              d = '\\';
              break;
            default:
              Fail(where, std::string("unknown escape \\") + e + " in a quoted text");
          }
        }
        t.text.push_back(d);
      }
      if (!closed) Fail(where, "a quoted text is not closed");
      if (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))
        Fail(where, "a quoted text must be followed by a space");
    } else {
      while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) {
        if (line[i] == '"') Fail(where, "a quote in the middle of a word");
        t.text.push_back(line[i++]);
      }
    }
    out.push_back(std::move(t));
  }
  return out;
}

bool ParseKey(std::string_view spec, std::int16_t& keyCode, std::int16_t& shift) {
  shift = 0;
  std::string rest = Lower(spec);
  for (;;) {
    const auto plus = rest.find('+');
    if (plus == std::string::npos || plus + 1 == rest.size()) break;
    const std::string mod = rest.substr(0, plus);
    if (mod == "ctrl" || mod == "control")
      shift |= kiv::key::CtrlMask;
    else if (mod == "shift")
      shift |= kiv::key::ShiftMask;
    else if (mod == "alt")
      shift |= kiv::key::AltMask;
    else
      return false;
    rest = rest.substr(plus + 1);
  }
  static const std::pair<const char*, std::int16_t> named[] = {
      {"enter", kiv::key::Return},  {"return", kiv::key::Return},    {"escape", kiv::key::Escape},
      {"esc", kiv::key::Escape},    {"tab", kiv::key::Tab},          {"backspace", kiv::key::Back},
      {"space", kiv::key::Space},   {"delete", kiv::key::Delete},    {"del", kiv::key::Delete},
      {"left", kiv::key::Left},     {"right", kiv::key::Right},      {"up", kiv::key::Up},
      {"down", kiv::key::Down},     {"home", kiv::key::Home},        {"end", kiv::key::End},
      {"pageup", kiv::key::PageUp}, {"pagedown", kiv::key::PageDown}};
  for (const auto& [name, code] : named) {
    if (rest == name) {
      keyCode = code;
      return true;
    }
  }
  if (rest.size() >= 2 && rest[0] == 'f' && IsNumber(rest.substr(1))) {
    int n = 0;
    const std::string digits = rest.substr(1);
    auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (ec != std::errc() || p != digits.data() + digits.size() || n < 1 || n > 12) return false;
    keyCode = static_cast<std::int16_t>(111 + n);  // F1 is 112
    return true;
  }
  if (rest.size() == 1 && std::isalnum(static_cast<unsigned char>(rest[0]))) {
    keyCode = static_cast<std::int16_t>(std::toupper(static_cast<unsigned char>(rest[0])));
    return true;
  }
  return false;
}

int ParseAnswer(std::string_view name) {
  const std::string w = Lower(name);
  if (w == "ok") return kiv::vb::vbOK;
  if (w == "cancel") return kiv::vb::vbCancel;
  if (w == "abort") return kiv::vb::vbAbort;
  if (w == "retry") return kiv::vb::vbRetry;
  if (w == "ignore") return kiv::vb::vbIgnore;
  if (w == "yes") return kiv::vb::vbYes;
  if (w == "no") return kiv::vb::vbNo;
  return 0;
}

ScriptLine Script::ParseLine(std::string_view text, const std::string& origin, int number) {
  ScriptLine line;
  line.origin = origin;
  line.number = number;
  line.text = std::string(TrimView(text));
  const std::string where = line.where();
  auto tokens = Tokenize(line.text, where);
  if (tokens.empty()) Fail(where, "an empty action");
  if (tokens[0].quoted) Fail(where, "a line starts with an action word, not a quoted text");
  line.verb = Lower(tokens[0].text);
  line.args.assign(tokens.begin() + 1, tokens.end());
  const auto& a = line.args;
  const std::string& verb = line.verb;
  auto count = [&](std::size_t n, const char* form) {
    if (a.size() != n) Fail(where, "'" + verb + "' is written: " + form);
  };
  auto name = [&](std::size_t i, const char* form) {
    if (!IsName(a[i])) Fail(where, "'" + a[i].text + "' is not a control name; write " + form);
  };
  auto value = [&](std::size_t i) {
    if (!IsValue(a[i])) Fail(where, "'" + a[i].text + "' is not a value: " + kValueHelp);
  };
  if (verb == "focus" || verb == "click" || verb == "tick" || verb == "untick") {
    const std::string form = verb + " NAME";
    count(1, form.c_str());
    name(0, form.c_str());
  } else if (verb == "type") {
    count(2, "type NAME \"text\"");
    name(0, "type NAME \"text\"");
    if (!a[1].quoted) Fail(where, "the text to type must be quoted: type NAME \"text\"");
  } else if (verb == "key") {
    count(2, "key NAME KEY (for example key txtName Ctrl+F)");
    name(0, "key NAME KEY");
    std::int16_t code = 0, shift = 0;
    if (a[1].quoted || !ParseKey(a[1].text, code, shift))
      Fail(where, "unknown key '" + a[1].text +
                      "' (keys: A-Z, 0-9, F1-F12, Enter, Escape, Tab, Backspace, Space, Delete, "
                      "Left, Right, Up, Down, Home, End, PageUp, PageDown, with Ctrl+, Shift+, "
                      "Alt+)");
  } else if (verb == "answer") {
    count(1, "answer Yes|No|OK|Cancel|Abort|Retry|Ignore");
    if (ParseAnswer(a[0].text) == 0)
      Fail(where, "unknown answer '" + a[0].text + "' (Yes, No, OK, Cancel, Abort, Retry, Ignore)");
  } else if (verb == "calendar") {
    const std::string sub = a.empty() ? "" : Lower(a[0].text);
    if (sub == "pick") {
      count(2, "calendar pick yyyy-mm-dd");
      if (!IsIsoDate(a[1].text)) Fail(where, "'" + a[1].text + "' is not a date (yyyy-mm-dd)");
    } else if (sub == "escape") {
      count(1, "calendar escape");
    } else {
      Fail(where, "'calendar' is written: calendar pick yyyy-mm-dd, or calendar escape");
    }
  } else if (verb == "search") {
    const std::string sub = a.empty() ? "" : Lower(a[0].text);
    const auto quoted = [&](const char* form) {
      count(2, form);
      if (!a[1].quoted) Fail(where, std::string("the text must be quoted: ") + form);
    };
    if (sub == "column") {
      quoted("search column \"caption\"");
    } else if (sub == "type") {
      quoted("search type \"Containing\"");
    } else if (sub == "sort") {
      quoted("search sort \"caption\"");
    } else if (sub == "find") {
      if (a.size() == 2)
        quoted("search find [\"value\"]");
      else
        count(1, "search find [\"value\"]");
    } else if (sub == "row") {
      count(2, "search row N");
      int n = 0;
      const auto [p, ec] =
          std::from_chars(a[1].text.data(), a[1].text.data() + a[1].text.size(), n);
      if (a[1].quoted || ec != std::errc() || p != a[1].text.data() + a[1].text.size() || n < 1)
        Fail(where, "'" + a[1].text + "' is not a row number (1 is the first row)");
    } else if (sub == "ok" || sub == "cancel") {
      count(1, "search ok, or search cancel");
    } else {
      Fail(where,
           "'search' is written: search column \"caption\", search type \"text\", search find "
           "[\"value\"], search sort \"caption\", search row N, search ok, or search cancel");
    }
  } else if (verb == "call") {
    if (a.empty() || !IsMemberPath(a[0]))
      Fail(where, "'call' is written: call NAME.Method [values]");
    for (std::size_t i = 1; i < a.size(); ++i)
      value(i);
  } else if (verb == "set") {
    count(2, "set NAME.Property value");
    if (!IsMemberPath(a[0])) Fail(where, "'set' is written: set NAME.Property value");
    value(1);
  } else if (verb == "expect") {
    const std::string sub = a.empty() ? "" : Lower(a[0].text);
    if (!a.empty() && !a[0].quoted && sub == "message") {
      count(2, "expect message \"text\"");
      if (!a[1].quoted) Fail(where, "the message must be quoted: expect message \"text\"");
    } else if (!a.empty() && !a[0].quoted && sub == "no") {
      if (a.size() != 2 || Lower(a[1].text) != "message")
        Fail(where, "'expect no' is written: expect no message");
    } else if (!a.empty() && !a[0].quoted && sub == "sql") {
      count(3, "expect sql \"SELECT ...\" \"text\"");
      if (!a[1].quoted || !a[2].quoted)
        Fail(where, "the query and the text must be quoted: expect sql \"SELECT ...\" \"text\"");
    } else {
      if (a.size() != 2 || !IsMemberPath(a[0]))
        Fail(where,
             "'expect' is written: expect NAME.Property value, expect message \"text\", expect "
             "no message, or expect sql \"SELECT ...\" \"text\"");
      value(1);
    }
  } else if (verb == "sql") {
    count(1, "sql \"SELECT ...\"");
    if (!a[0].quoted) Fail(where, "the query must be quoted: sql \"SELECT ...\"");
  } else if (verb == "today") {
    count(1, "today yyyy-mm-dd");
    if (!IsIsoDate(a[0].text)) Fail(where, "'" + a[0].text + "' is not a date (yyyy-mm-dd)");
  } else {
    Fail(where,
         "unknown action '" + tokens[0].text +
             "' (focus, type, click, key, tick, untick, answer, calendar, search, call, set, "
             "expect, sql, today)");
  }
  return line;
}

Script Script::Parse(std::string_view text, const std::string& origin) {
  Script script;
  int number = 0;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    const auto end = text.find('\n', pos);
    std::string_view raw =
        text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
    ++number;
    const std::string_view trimmed = TrimView(raw);
    if (!trimmed.empty() && trimmed.front() != '#')
      script.lines_.push_back(ParseLine(trimmed, origin, number));
    if (end == std::string_view::npos) break;
    pos = end + 1;
  }
  return script;
}

}  // namespace kivform
