#include "kivform/ScriptRunner.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>

#include "kiv/data/AdoTypes.h"
#include "kiv/data/Connection.h"
#include "kiv/data/Field.h"
#include "kiv/data/Fields.h"
#include "kiv/data/Recordset.h"
#include "kiv/description_grid/KivDesc.h"
#include "kiv/description_grid/KivDetGrid.h"
#include "kiv/field_editor/KivUni.h"
#include "kiv/field_editor/frmCalendar.h"
#include "kiv/form_controller/KivFormControl.h"
#include "kiv/host/CheckBox.h"
#include "kiv/host/Column.h"
#include "kiv/host/Columns.h"
#include "kiv/host/ComboBox.h"
#include "kiv/host/CommandButton.h"
#include "kiv/host/DataGrid.h"
#include "kiv/host/Form.h"
#include "kiv/host/MonthView.h"
#include "kiv/host/UserControl.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"
#include "kiv/search/frmSearch.h"
#include "kivform/Screen.h"

namespace kivform {

using kiv::Variant;

namespace {

[[noreturn]] void Fail(const ScriptLine& line, const std::string& what) {
  throw kiv::Error(kiv::kLibraryError, "kivform", line.where() + ": " + what);
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out.push_back('\\');
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out.push_back(c);
  }
  return out + "\"";
}

std::string ErrorText(const kiv::Error& e) {
  return "error " + std::to_string(e.number()) + ": " + e.description();
}

}  // namespace

std::string Describe(const Variant& v) {
  if (v.isEmpty()) return "Empty";
  if (v.isNull()) return "Null";
  if (v.isNothing()) return "Nothing";
  if (v.isObject()) return std::string(v.object()->TypeName());
  if (v.isString()) return Quote(v.string());
  if (v.isArray()) return "(array)";
  return kiv::TextOf(v);
}

// ---- host

int RunnerHost::MsgBox(std::string_view prompt, int buttons, std::string_view title) {
  prompts.emplace_back(prompt);
  if (pendingAnswers() > 0 && !answerLines.empty()) answerLines.pop_front();
  return HeadlessHost::MsgBox(prompt, buttons, title);
}

// ---- runner

ScriptRunner::ScriptRunner(Screen& screen, RunnerHost& host, std::ostream& out)
    : screen_(screen), host_(host), out_(&out) {}

void ScriptRunner::flush() {
  const auto& entries = host_.transcript();
  for (; printed_ < entries.size(); ++printed_) {
    const auto& e = entries[printed_];
    *out_ << "  " << (e.kind == "Trace" ? e.text : e.line()) << "\n";
  }
  out_->flush();
}

void ScriptRunner::fail(const ScriptLine& line, const std::string& what) {
  ++failures_;
  flush();
  *out_ << "FAILED " << line.where() << ": " << line.text << ": " << what << "\n";
}

void ScriptRunner::watchEvents() {
  // The screen's host, current for its whole life (a window's host in a
  // window run).
  kiv::Host& host = kiv::Host::Current();
  for (const auto& c : screen_.form().Controls()) {
    const std::string n = c->Name();
    auto trace = [&host, n](const char* event) {
      return [&host, n, event](auto&...) { host.Trace("Event " + n + "." + event); };
    };
    if (auto* f = dynamic_cast<kiv::KivFormControl*>(c.get())) {
      auto& e = f->events;
      e.BeforeMove.connect(trace("BeforeMove"));
      e.RecordWillChange.connect(trace("RecordWillChange"));
      e.DataIsInvalid.connect(trace("DataIsInvalid"));
      e.Save.connect(trace("Save"));
      e.AfterSave.connect(trace("AfterSave"));
      e.AfterMove.connect(trace("AfterMove"));
      e.Add.connect(trace("Add"));
      e.AfterAdd.connect(trace("AfterAdd"));
      e.UndoAdd.connect(trace("UndoAdd"));
      e.AfterUndoAdd.connect(trace("AfterUndoAdd"));
      e.Delete.connect(trace("Delete"));
      e.AfterDelete.connect(trace("AfterDelete"));
      e.Search.connect(trace("Search"));
      e.AfterSearch.connect(trace("AfterSearch"));
    } else if (auto* u = dynamic_cast<kiv::KivUni*>(c.get())) {
      u->events.DataChanged.connect([&host, n](std::string& value, bool& invalid) {
        host.Trace("Event " + n + ".DataChanged " + Quote(value) + (invalid ? " True" : " False"));
      });
      u->events.LookUp.connect(trace("LookUp"));
    } else if (auto* d = dynamic_cast<kiv::KivDesc*>(c.get())) {
      d->events.Change.connect(trace("Change"));
    } else if (auto* g = dynamic_cast<kiv::KivDetGrid*>(c.get())) {
      g->events.Click.connect(trace("Click"));
      g->events.DblClick.connect(trace("DblClick"));
    } else if (auto* b = dynamic_cast<kiv::CommandButton*>(c.get())) {
      b->events.Click.connect(trace("Click"));
    } else if (auto* k = dynamic_cast<kiv::CheckBox*>(c.get())) {
      k->events.Click.connect(trace("Click"));
    }
  }
}

kiv::Dispatch* ScriptRunner::object(const std::string& path, const ScriptLine& line) const {
  const auto dot = path.find('.');
  const std::string head = path.substr(0, dot);
  auto ctl = screen_.control(head);
  kiv::Dispatch* current = ctl.get();
  if (!current && Lower(head) == "form") current = &screen_.form();
  if (!current && Lower(head) == "frmsearch") current = &kiv::frmSearch::Instance();
  if (!current) Fail(line, "no control named '" + head + "' on the form");
  if (dot == std::string::npos) return current;
  std::string rest = path.substr(dot + 1);
  while (!rest.empty()) {
    const auto next = rest.find('.');
    const std::string part = rest.substr(0, next);
    auto* user = dynamic_cast<kiv::UserControl*>(current);
    auto* form = dynamic_cast<kiv::Form*>(current);
    kiv::Control* inner = user ? user->constituent(part) : form ? form->control(part) : nullptr;
    if (!inner) Fail(line, "'" + path + "': no inner widget named '" + part + "'");
    current = inner;
    rest = next == std::string::npos ? std::string() : rest.substr(next + 1);
  }
  return current;
}

kiv::Control& ScriptRunner::control(const std::string& path, const ScriptLine& line) const {
  auto* c = dynamic_cast<kiv::Control*>(object(path, line));
  if (!c) Fail(line, "'" + path + "' is the form, not a control");
  return *c;
}

kiv::Control& ScriptRunner::inputWidget(const std::string& path, const ScriptLine& line) const {
  kiv::Control& c = control(path, line);
  auto* user = dynamic_cast<kiv::UserControl*>(&c);
  if (!user || user->constituents().empty()) return c;
  std::vector<kiv::Control*> inner;
  for (const auto& w : user->constituents())
    inner.push_back(w.get());
  std::stable_sort(inner.begin(), inner.end(),
                   [](auto* a, auto* b) { return a->TabIndex() < b->TabIndex(); });
  for (auto* w : inner)
    if (w->CanFocus()) return *w;
  return c;
}

ScriptRunner::Target ScriptRunner::member(const std::string& path, const ScriptLine& line) const {
  const auto dot = path.rfind('.');
  Target t{object(path.substr(0, dot), line), path.substr(dot + 1)};
  if (!t.object->hasMember(t.member))
    Fail(line, "'" + path.substr(0, dot) + "' (a " + std::string(t.object->TypeName()) +
                   ") has no member '" + t.member + "'");
  return t;
}

Variant ScriptRunner::value(const Token& token, const ScriptLine& line) const {
  if (token.quoted) return Variant(token.text);
  const std::string w = Lower(token.text);
  if (w == "true") return Variant(true);
  if (w == "false") return Variant(false);
  if (w == "null") return Variant(kiv::kNull);
  if (w == "nothing") return Variant::Nothing();
  if (w[0] == '@')
    return Variant(
        std::shared_ptr<kiv::Dispatch>(control(token.text.substr(1), line).shared_from_this()));
  const std::string& s = token.text;
  if (s.find_first_of(".eE") == std::string::npos) {
    long long n = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
    if (ec == std::errc() && p == s.data() + s.size() &&
        n >= std::numeric_limits<std::int32_t>::min() &&
        n <= std::numeric_limits<std::int32_t>::max())
      return Variant(static_cast<std::int32_t>(n));
  }
  double d = 0;
  std::from_chars(s.data(), s.data() + s.size(), d);
  return Variant(d);
}

void ScriptRunner::check(const std::vector<ScriptLine>& lines) {
  for (const auto& line : lines) {
    const auto& a = line.args;
    const std::string& v = line.verb;
    if (v == "focus" || v == "click" || v == "type" || v == "key") {
      control(a[0].text, line);
    } else if (v == "tick" || v == "untick") {
      if (!dynamic_cast<kiv::CheckBox*>(&inputWidget(a[0].text, line)))
        Fail(line, "'" + a[0].text + "' is not a check box");
    } else if (v == "call" || v == "set") {
      member(a[0].text, line);
      for (std::size_t i = 1; i < a.size(); ++i)
        value(a[i], line);
    } else if (v == "expect" && a.size() == 2 && !a[0].quoted && Lower(a[0].text) != "message" &&
               Lower(a[0].text) != "no") {
      member(a[0].text, line);
      value(a[1], line);
    } else if ((v == "sql" || (v == "expect" && Lower(a[0].text) == "sql")) &&
               !screen_.connection()) {
      Fail(line, "the form has no connection to run SQL on");
    }
  }
}

Variant ScriptRunner::callMember(const ScriptLine& line, bool loadAction) {
  const Target t = member(line.args[0].text, line);
  std::vector<Variant> args;
  for (std::size_t i = 1; i < line.args.size(); ++i)
    args.push_back(value(line.args[i], line));
  const std::vector<Variant> before = args;
  Variant result;
  try {
    result = t.object->call(t.member, args);
  } catch (const kiv::Error& e) {
    Fail(line, ErrorText(e));
  }
  flush();
  std::string shown;
  if (!result.isEmpty()) shown = "-> " + Describe(result);
  for (std::size_t i = 0; i < args.size(); ++i)
    if (!(args[i] == before[i]))
      shown += (shown.empty() ? "" : ", ") + std::string("argument ") + std::to_string(i + 1) +
               " = " + Describe(args[i]);
  if (!shown.empty()) *out_ << "  " << shown << "\n";
  if (loadAction && result.type() == kiv::VarType::Boolean && !result.boolean())
    Fail(line, line.args[0].text + " returned False" +
                   (args.empty() ? std::string() : ": " + kiv::TextOf(args[0])));
  return result;
}

void ScriptRunner::runLoadActions() {
  int number = 0;
  for (const auto& text : screen_.loadActions()) {
    const ScriptLine line = Script::ParseLine(text, screen_.origin() + " onLoad", ++number);
    check({line});
    *out_ << "> " << line.text << "\n";
    if (line.verb == "call") {
      callMember(line, true);
    } else {
      runLine(line);
    }
    flush();
  }
}

void ScriptRunner::run(const std::vector<ScriptLine>& lines) {
  flush();
  lines_ = &lines;
  next_ = 0;
  host_.setModalFallback([this](kiv::Form& form) { driveSearchDialog(form); });
  while (next_ < lines.size()) {
    const ScriptLine& line = lines[next_++];
    *out_ << "> " << line.text << "\n";
    runLine(line);
    flush();
  }
  lines_ = nullptr;
}

void ScriptRunner::driveSearchDialog(kiv::Form& form) {
  if (!dynamic_cast<kiv::frmSearch*>(&form) || !lines_) return;
  flush();
  while (form.IsLoaded() && form.Visible() && next_ < lines_->size()) {
    const ScriptLine& line = (*lines_)[next_++];
    *out_ << "> " << line.text << "\n";
    runLine(line);
    flush();
  }
}

void ScriptRunner::searchAction(const ScriptLine& line) {
  kiv::frmSearch& dialog = kiv::frmSearch::Instance();
  if (!dialog.IsLoaded() || !dialog.Visible()) {
    fail(line, "no search dialog is open");
    return;
  }
  const std::string sub = Lower(line.args[0].text);
  const std::string text = line.args.size() > 1 ? line.args[1].text : std::string();
  const auto listOf = [](const std::vector<std::string>& items) {
    std::string out;
    for (const auto& item : items)
      out += (out.empty() ? "" : ", ") + Quote(item);
    return out;
  };
  if (sub == "column" || sub == "type") {
    kiv::ComboBox& box = sub == "column" ? dialog.cmbField() : dialog.cmbSearchType();
    const auto& items = box.items();
    if (std::find(items.begin(), items.end(), text) == items.end()) {
      fail(line, "the dialog offers no " +
                     std::string(sub == "column" ? "column" : "type of search") + " " +
                     Quote(text) + " (it offers " + listOf(items) + ")");
      return;
    }
    box.pick(text);
  } else if (sub == "find") {
    if (line.args.size() > 1) dialog.cmbFind().userSetText(text);
    if (!dialog.cmdFindNext().click()) fail(line, "the Find button takes no input");
  } else if (sub == "sort") {
    kiv::Columns& columns = dialog.dbgData().columns();
    std::vector<std::string> captions;
    for (std::int32_t i = 0; i < columns.Count(); ++i) {
      captions.push_back(columns.Item(i).Caption());
      if (captions.back() == text) {
        dialog.dbgData().headClick(static_cast<std::int16_t>(i));
        return;
      }
    }
    fail(line, "the grid has no column " + Quote(text) + " (it has " + listOf(captions) + ")");
  } else if (sub == "row") {
    const std::int32_t row = std::stoi(text) - 1;
    kiv::DataGrid& grid = dialog.dbgData();
    if (!grid.clickCell(row, std::max(0, grid.Col())))
      fail(line,
           "the grid has no row " + text + " (it has " + std::to_string(grid.RowCount()) + ")");
  } else if (sub == "ok") {
    dialog.cmdOK().click();
  } else {
    dialog.cmdCancel().click();
  }
}

void ScriptRunner::finish() {
  flush();
  for (const auto& where : host_.answerLines) {
    ++failures_;
    *out_ << "FAILED " << where << ": no message box took this answer\n";
  }
  host_.answerLines.clear();
  for (const auto& where : calendarLines_) {
    ++failures_;
    *out_ << "FAILED " << where << ": no calendar was shown for this action\n";
  }
  calendarLines_.clear();
}

void ScriptRunner::runLine(const ScriptLine& line) {
  const auto& a = line.args;
  const std::string& v = line.verb;
  auto noInput = [&](const std::string& name) {
    fail(line, name + " takes no input (it is disabled or hidden)");
  };
  try {
    if (v == "focus") {
      kiv::Control& c = control(a[0].text, line);
      if (!c.CanFocus()) return noInput(a[0].text);
      c.SetFocus();
    } else if (v == "click") {
      if (!control(a[0].text, line).click()) noInput(a[0].text);
    } else if (v == "type") {
      if (!inputWidget(a[0].text, line).type(a[1].text)) noInput(a[0].text);
    } else if (v == "key") {
      std::int16_t code = 0, shift = 0;
      ParseKey(a[1].text, code, shift);
      if (!inputWidget(a[0].text, line).pressKey(code, shift)) noInput(a[0].text);
    } else if (v == "tick" || v == "untick") {
      auto* box = dynamic_cast<kiv::CheckBox*>(&inputWidget(a[0].text, line));
      if (!box) Fail(line, "'" + a[0].text + "' is not a check box");
      const std::int16_t want = v == "tick" ? 1 : 0;
      if (box->Value() != want && !box->click()) noInput(a[0].text);
    } else if (v == "answer") {
      host_.queueAnswer(ParseAnswer(a[0].text));
      host_.answerLines.push_back(line.where());
    } else if (v == "calendar") {
      const bool pick = Lower(a[0].text) == "pick";
      const kiv::DateTime date = pick ? kiv::CDate(Variant(a[1].text)) : kiv::DateTime{};
      calendarLines_.push_back(line.where());
      host_.pushModalDriver([this, pick, date, line](kiv::Form& form) {
        if (!calendarLines_.empty()) calendarLines_.pop_front();
        auto* cal = dynamic_cast<kiv::frmCalendar*>(&form);
        if (!cal) {
          fail(line,
               "the modal form shown was " + std::string(form.TypeName()) + ", not the calendar");
          return;
        }
        if (pick)
          cal->mnvMonth_View().pickDate(date);
        else
          cal->mnvMonth_View().pressKey(kiv::key::Escape);
      });
    } else if (v == "search") {
      searchAction(line);
    } else if (v == "call") {
      callMember(line, false);
    } else if (v == "set") {
      const Target t = member(a[0].text, line);
      const Variant val = value(a[1], line);
      if (val.isObject())
        t.object->set(t.member, val);
      else
        t.object->let(t.member, val);
    } else if (v == "expect") {
      const std::string sub = Lower(a[0].text);
      if (!a[0].quoted && sub == "message") {
        expectMessage(line, false);
      } else if (!a[0].quoted && sub == "no") {
        expectMessage(line, true);
      } else if (!a[0].quoted && sub == "sql") {
        expectSql(line);
      } else {
        expectValue(line);
      }
    } else if (v == "sql") {
      printSql(line);
    } else if (v == "today") {
      host_.setToday(kiv::CDate(Variant(a[0].text)));
    }
  } catch (const kiv::Error& e) {
    if (e.source() == "kivform") throw;
    Fail(line, ErrorText(e));
  }
}

void ScriptRunner::expectValue(const ScriptLine& line) {
  ++checks_;
  const Target t = member(line.args[0].text, line);
  const Variant actual = t.object->get(t.member);
  const Variant expected = value(line.args[1], line);
  bool same;
  if (expected.isNull() || expected.isObject())
    same = actual == expected;
  else if (actual.isObject() || actual.isArray())
    same = false;
  else
    same = !actual.isNull() && kiv::TextOf(actual) == kiv::TextOf(expected);
  if (!same) fail(line, "the value is " + Describe(actual));
}

void ScriptRunner::expectMessage(const ScriptLine& line, bool none) {
  ++checks_;
  auto prompts = std::move(host_.prompts);
  host_.prompts.clear();
  if (none) {
    if (!prompts.empty()) fail(line, "a message box was shown: " + Quote(prompts.back()));
    return;
  }
  if (prompts.empty())
    fail(line, "no message box was shown");
  else if (prompts.back() != line.args[1].text)
    fail(line, "the last message box said " + Quote(prompts.back()));
}

namespace {
std::shared_ptr<kiv::Recordset> Query(kiv::Connection& connection, const std::string& sql) {
  auto rs = std::make_shared<kiv::Recordset>();
  rs->Open(sql, std::static_pointer_cast<kiv::Connection>(connection.shared_from_this()),
           kiv::adOpenStatic, kiv::adLockReadOnly);
  return rs;
}
}  // namespace

void ScriptRunner::printSql(const ScriptLine& line) {
  auto rs = Query(*screen_.connection(), line.args[0].text);
  auto& fields = rs->Fields();
  std::string header;
  for (std::int32_t i = 0; i < fields.Count(); ++i)
    header += (i ? " | " : "") + fields[i].Name();
  *out_ << "  " << header << "\n";
  int rows = 0;
  for (; !rs->EOF(); rs->MoveNext()) {
    std::string row;
    for (std::int32_t i = 0; i < fields.Count(); ++i)
      row += (i ? " | " : "") + kiv::TextOf(fields[i].Value());
    *out_ << "  " << row << "\n";
    ++rows;
  }
  *out_ << "  (" << rows << (rows == 1 ? " row)\n" : " rows)\n");
}

void ScriptRunner::expectSql(const ScriptLine& line) {
  ++checks_;
  auto rs = Query(*screen_.connection(), line.args[1].text);
  if (rs->EOF()) {
    fail(line, "the query returned no rows");
    return;
  }
  const std::string actual = kiv::TextOf((*rs)[0].Value());
  if (actual != line.args[2].text) fail(line, "the query gave " + Quote(actual));
}

}  // namespace kivform
