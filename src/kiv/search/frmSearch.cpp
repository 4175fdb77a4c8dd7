#include "kiv/search/frmSearch.h"

#include <charconv>
#include <cmath>
#include <vector>

#include "kiv/data/Field.h"
#include "kiv/data/Fields.h"
#include "kiv/data/Recordset.h"
#include "kiv/host/Column.h"
#include "kiv/host/Columns.h"
#include "kiv/host/ComboBox.h"
#include "kiv/host/CommandButton.h"
#include "kiv/host/DataGrid.h"
#include "kiv/host/Host.h"
#include "kiv/host/Label.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"
#include "kiv/shared/Functions.h"

namespace kiv {

namespace {

constexpr char kTitle[] = "Search";
constexpr char kFind[] = "&Find";
constexpr char kFindNext[] = "&Find Next";
constexpr char kSettingsApp[] = "KivControls";
constexpr char kSettingsSection[] = "Search";
constexpr int kRecentValues = 10;

// The dialog's starting size: the design client area with the room the
// layout rule keeps for the window's frame.
constexpr double kStartWidth = 7840;
constexpr double kStartHeight = 5180;

std::string FindKey(int i) {
  return "Find" + std::to_string(i);
}

// Text placed between quotes in a criterion: every quote doubled.
std::string QuoteText(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

// A number typed in the user's locale, as the criterion language writes it.
std::string NumberText(std::string_view value) {
  const double number = CDbl(Variant(value));
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
  return std::string(buffer, result.ptr);
}

// The typed value rounded to a whole number (halves to even) without sign.
double WholeWithoutSign(std::string_view value) {
  return std::fabs(std::nearbyint(CDbl(Variant(value))));
}

void Warn(const std::string& prompt) {
  Host::Current().MsgBox(prompt, vb::vbExclamation | vb::vbOKOnly, kTitle);
}

void Report(const std::string& prompt) {
  Host::Current().MsgBox(prompt, vb::vbCritical | vb::vbOKOnly, kTitle);
}

std::string Described(const Error& e) {
  return e.description() + " (" + std::to_string(e.number()) + ")";
}

// Whether a friendly-name value is a table of (field, friendly) rows.
bool IsNameTable(const Variant& names) {
  return names.isArray() && names.array().dimensions() == 2;
}

// A cell of the friendly-name table as text; false when it cannot be read.
bool TableText(const Array& table, std::int32_t row, std::int32_t col, std::string& out) {
  try {
    out = TextOf(table.at(row, col));
    return true;
  } catch (const Error&) {
    return false;
  }
}

}  // namespace

std::shared_ptr<Recordset> RecordSourceOf(const Variant& value) {
  if (value.isEmpty() || value.isNothing()) return nullptr;
  auto rs = value.isObject() ? std::dynamic_pointer_cast<Recordset>(value.object()) : nullptr;
  if (!rs) {
    throw Error(
        err::TypeMismatch, kTitle,
        "Type mismatch: the search's record source must be a record set, not " + value.typeName());
  }
  return rs;
}

frmSearch::frmSearch() : Form("frmSearch") {
  Caption(kTitle);
  createWidgets();
  Width(kStartWidth);
  Height(kStartHeight);
}

frmSearch::~frmSearch() = default;

frmSearch& frmSearch::Instance() {
  thread_local const std::shared_ptr<frmSearch> instance = std::make_shared<frmSearch>();
  return *instance;
}

void frmSearch::createWidgets() {
  const auto label = [this](const char* name, const char* caption, double top) {
    auto l = std::make_shared<Label>(name);
    l->Caption(caption);
    l->Move(60, top, 1215, 255);
    Add(l);
    return l;
  };
  const auto combo = [this](const char* name, std::int16_t style, double top, std::int16_t tab) {
    auto c = std::make_shared<ComboBox>(name);
    c->Style(style);
    c->Move(1320, top, 2535, 315);
    c->TabIndex(tab);
    Add(c);
    return c;
  };
  const auto button = [this](const char* name, const char* caption, double left, double top,
                             std::int16_t tab) {
    auto b = std::make_shared<CommandButton>(name);
    b->Caption(caption);
    b->Move(left, top, 1100, 365);
    b->TabIndex(tab);
    Add(b);
    return b;
  };
  m_Label2 = label("Label2", "Search Column:", 90);
  m_cmbField = combo("cmbField", 2, 60, 0);
  m_Label3 = label("Label3", "Type of Search:", 450);
  m_cmbSearchType = combo("cmbSearchType", 2, 420, 1);
  m_Label1 = label("Label1", "Find:", 810);
  m_cmbFind = combo("cmbFind", 0, 780, 2);
  m_cmdFindNext = button("cmdFindNext", kFind, 3960, 720, 3);
  m_dbgData = std::make_shared<DataGrid>("dbgData");
  m_dbgData->Move(60, 1200, 7635, 2970);
  m_dbgData->TabIndex(4);
  Add(m_dbgData);
  m_cmdOK = button("cmdOK", "&OK", 5400, 4260, 5);
  m_cmdOK->Default(true);
  m_cmdCancel = button("cmdCancel", "&Cancel", 6600, 4260, 6);
  m_cmdCancel->Cancel(true);

  m_cmbField->events.Click.connect([this] { cmbField_Click(); });
  m_cmbFind->events.Change.connect([this] { cmbFind_Change(); });
  m_cmdFindNext->events.Click.connect([this] { cmdFindNext_Click(); });
  m_cmdOK->events.Click.connect([this] { cmdOK_Click(); });
  m_cmdCancel->events.Click.connect([this] { cmdCancel_Click(); });
  m_dbgData->events.HeadClick.connect([this](std::int16_t& col) { dbgData_HeadClick(col); });
  m_dbgData->events.DblClick.connect([this] { dbgData_DblClick(); });
  m_dbgData->events.KeyDown.connect(
      [this](std::int16_t& keyCode, std::int16_t& shift) { dbgData_KeyDown(keyCode, shift); });
}

// ------------------------------------------------------------------ set-up

void frmSearch::Form_Load() {
  varReturn_Value = Variant(Array::Of({Variant("")}));
  m_dbgData->DataSource(arsSearch_RecordSource ? Variant(arsSearch_RecordSource)
                                               : Variant::Nothing());
  GetFriendlyColumnNames();

  m_cmbField->Clear();
  const Columns& columns = m_dbgData->columns();
  // A record set without fields has nothing to search either.
  bool failed = columns.Count() == 0;
  for (std::int32_t i = 0; i < columns.Count(); ++i) {
    const std::string& caption = columns.Item(i).Caption();
    m_cmbField->AddItem(caption);
    if (Trim(caption).empty()) failed = true;
  }
  if (failed) {
    Report("Search data could not be retrieved.");
    return;
  }
  {
    // The column change the selection raises is the set-up's own next steps.
    m_settingUp = true;
    struct Done {
      bool& flag;
      ~Done() { flag = false; }
    } done{m_settingUp};
    if (m_cmbField->ListCount() > 0) m_cmbField->ListIndex(0);
  }
  LoadFindHistory();
  std::string field;
  try {
    FillSearchTypes(selectedCategory(field));
  } catch (const Error& e) {
    Report("The search column '" + m_cmbField->Text() + "' cannot be used.\r\n" + Described(e));
  }
  if (m_cmbSearchType->ListCount() > 0) m_cmbSearchType->ListIndex(0);
  m_cmdFindNext->Caption(kFind);
}

void frmSearch::GetFriendlyColumnNames() {
  if (!IsNameTable(m_FriendlyNames)) return;
  const Array& table = m_FriendlyNames.array();
  const Columns& columns = m_dbgData->columns();
  for (std::int32_t c = 0; c < columns.Count(); ++c) {
    Column& column = columns.Item(c);
    for (std::int32_t i = 0; i <= table.ubound(1); ++i) {
      // A later row is compared with the caption as an earlier row left it.
      std::string field, friendly;
      if (!TableText(table, i, 0, field) || !TableText(table, i, 1, friendly)) continue;
      // A blank friendly name (a Null in the translation table) renames
      // nothing: a blank caption would make the whole dialog unusable.
      if (Trim(friendly).empty()) continue;
      if (UCase(field) == UCase(column.Caption())) column.Caption(friendly);
    }
  }
}

std::string frmSearch::GetFieldNameFromCaption(const std::string& caption) const {
  std::string result = caption;
  if (!IsNameTable(m_FriendlyNames)) return result;
  const Array& table = m_FriendlyNames.array();
  const std::string wanted = UCase(caption);
  // Every row is tested: the last match wins.
  for (std::int32_t i = 0; i <= table.ubound(1); ++i) {
    std::string field, friendly;
    if (!TableText(table, i, 0, field) || !TableText(table, i, 1, friendly)) continue;
    if (UCase(friendly) == wanted) result = field;
  }
  return result;
}

std::int32_t frmSearch::selectedCategory(std::string& fieldName) const {
  if (!arsSearch_RecordSource) {
    throw Error(err::ObjectNotSet, kTitle, "There is no record source to search.");
  }
  fieldName = GetFieldNameFromCaption(m_cmbField->Text());
  Field& field = arsSearch_RecordSource->Fields().Item(fieldName);
  return FieldTypeCategory(field);
}

void frmSearch::FillSearchTypes(std::int32_t category) {
  const std::int32_t position = m_cmbSearchType->ListIndex();
  m_cmbSearchType->Clear();
  if (category == kCategoryText) {
    for (const char* item : {"Equal to", "Starting with", "Ending with", "Containing"})
      m_cmbSearchType->AddItem(item);
  } else {
    for (const char* item :
         {"Equal to", "Greater than or equal to", "Less than or equal to", "Not equal to"})
      m_cmbSearchType->AddItem(item);
  }
  // A list filled for the first time (set-up could not fill it) starts on
  // "Equal to": a search always has a type, never an empty criterion.
  m_cmbSearchType->ListIndex(position < 0 ? 0 : position);
}

void frmSearch::LoadFindHistory() {
  m_cmbFind->Clear();
  try {
    Host& host = Host::Current();
    for (int i = 1; i <= kRecentValues; ++i) {
      const std::string value = host.GetSetting(kSettingsApp, kSettingsSection, FindKey(i), "");
      if (!value.empty()) m_cmbFind->AddItem(value);
    }
  } catch (const Error& e) {
    Warn("The recent search values could not be read.\r\n" + Described(e));
  }
}

void frmSearch::cmbField_Click() {
  if (m_settingUp) return;
  try {
    std::string field;
    FillSearchTypes(selectedCategory(field));
  } catch (const Error& e) {
    Report("The search column '" + m_cmbField->Text() + "' cannot be used.\r\n" + Described(e));
  }
  m_cmdFindNext->Caption(kFind);
}

void frmSearch::cmbFind_Change() {
  m_cmdFindNext->Caption(kFind);
}

// ------------------------------------------------------------------ layout

void frmSearch::Form_Resize() {
  IgnoreErrors([this] {
    if (Width() < kMinimumWidth) Width(kMinimumWidth);
  });
  IgnoreErrors([this] {
    if (Height() < kMinimumHeight) Height(kMinimumHeight);
  });
  IgnoreErrors([this] {
    m_cmdOK->Top(Height() - 920);
    m_cmdCancel->Top(m_cmdOK->Top());
  });
  IgnoreErrors([this] {
    m_cmdCancel->Left(Width() - 1240);
    m_cmdOK->Left(m_cmdCancel->Left() - 1200);
  });
  IgnoreErrors([this] { m_dbgData->Height(m_cmdOK->Top() - m_dbgData->Top() - 80); });
  IgnoreErrors([this] { m_dbgData->Width(Width() - 220); });
}

void frmSearch::Form_Unload() {
  arsSearch_RecordSource.reset();
  // The grid lets go of the records too, so they are freed with the dialog's.
  IgnoreErrors([this] { m_dbgData->DataSource(Variant::Nothing()); });
}

// -------------------------------------------------------------- searching

std::string frmSearch::SearchCriterion(std::string_view field, std::int32_t category,
                                       std::int32_t position, std::string_view value) {
  if (position < 0 || position > 3) return "";
  const std::string f(field);
  switch (category) {
    case kCategoryText: {
      const std::string v = QuoteText(value);
      switch (position) {
        case 0:
          return f + " = '" + v + "'";
        case 1:
          return f + " LIKE '" + v + "*'";
        case 2:
          return f + " LIKE '*" + v + "'";
        default:
          return f + " LIKE '*" + v + "*'";
      }
    }
    case kCategoryNumber: {
      static constexpr const char* kOps[] = {" = ", " >= ", " <= ", " <> "};
      return f + kOps[position] + NumberText(value);
    }
    case kCategoryBoolean: {
      const std::string b = WholeWithoutSign(value) == 0 ? "0" : "1";
      switch (position) {
        case 0:
          return f + (b == "0" ? " = 0" : " <> 0");
        case 1:
          return f + " >= " + b;
        case 2:
          return f + " <= " + b;
        default:
          return b == "0" ? f + " <> " + NumberText(value) : f + " = 0 ";
      }
    }
    case kCategoryDate: {
      static constexpr const char* kOps[] = {" = #", " >= #", " <= #", " <> #"};
      return f + kOps[position] + std::string(value) + "#";
    }
    default:
      return "";
  }
}

bool frmSearch::SearchValueIsValid() {
  const std::string value = m_cmbFind->Text();
  if (value.empty()) return false;
  std::string field;
  switch (selectedCategory(field)) {
    case kCategoryNumber:
      if (IsNumeric(Variant(value))) return true;
      Warn("Search value must be numeric.");
      return false;
    case kCategoryBoolean:
      if (IsNumeric(Variant(value)) && WholeWithoutSign(value) <= 1) return true;
      Warn("Search value must be 0 or 1.");
      return false;
    case kCategoryDate:
      if (IsDate(Variant(value))) return true;
      Warn("Search value must be numeric.");
      return false;
    default:
      return true;
  }
}

void frmSearch::storeFindHistory(const std::string& value) {
  Host& host = Host::Current();
  try {
    for (int i = 1; i <= kRecentValues; ++i) {
      // Compared exactly: the same value in other letters is a new entry.
      if (host.GetSetting(kSettingsApp, kSettingsSection, FindKey(i), "") == value) return;
    }
    for (int i = kRecentValues; i >= 2; --i) {
      host.SaveSetting(kSettingsApp, kSettingsSection, FindKey(i),
                       host.GetSetting(kSettingsApp, kSettingsSection, FindKey(i - 1), ""));
    }
    host.SaveSetting(kSettingsApp, kSettingsSection, FindKey(1), value);
  } catch (const Error& e) {
    Warn("The search value could not be added to the recent search values.\r\n" + Described(e));
    return;
  }
  LoadFindHistory();
  if (m_cmbFind->ListCount() > 0) m_cmbFind->ListIndex(0);
}

void frmSearch::cmdFindNext_Click() {
  Host& host = Host::Current();
  try {
    if (!SearchValueIsValid()) return;
  } catch (const Error& e) {
    Report("The search column '" + m_cmbField->Text() + "' cannot be used.\r\n" + Described(e));
    return;
  }
  host.SetMousePointer(vb::vbHourglass);
  const std::string value = m_cmbFind->Text();
  storeFindHistory(value);
  Recordset* rs = arsSearch_RecordSource.get();
  const bool fromStart = m_cmdFindNext->Caption() == kFind;
  IgnoreErrors([&] {
    if (fromStart) {
      rs->MoveFirst();
    } else {
      rs->MoveNext();
    }
  });
  if (funSearch()) {
    IgnoreErrors([&] {
      if (m_cmdFindNext->Caption() == kFind) m_cmdFindNext->Caption(kFindNext);
    });
  } else {
    host.Beep();
    // Past the last record: no current row, and the next press starts over.
    IgnoreErrors([&] { rs->MoveLast(); });
    IgnoreErrors([&] { rs->MoveNext(); });
    IgnoreErrors([&] { m_cmdFindNext->Caption(kFind); });
  }
  host.SetMousePointer(vb::vbDefault);
}

bool frmSearch::funSearch() {
  const std::string value = m_cmbFind->Text();
  if (value.empty()) return false;
  Host& host = Host::Current();
  std::string criterion;
  try {
    host.SetMousePointer(vb::vbHourglass);
    std::string field;
    const std::int32_t category = selectedCategory(field);
    criterion = SearchCriterion(field, category, m_cmbSearchType->ListIndex(), value);
    if (!criterion.empty()) arsSearch_RecordSource->Find(criterion, 0, adSearchForward);
    const bool found = !arsSearch_RecordSource->EOF();
    host.SetMousePointer(vb::vbDefault);
    return found;
  } catch (const Error& e) {
    host.SetMousePointer(vb::vbDefault);
    host.MsgBox("The following error occurred while searching (funSearch): \r\n" +
                    std::to_string(e.number()) + " - " + e.description() + "\r\nSQL: " + criterion,
                vb::vbCritical | vb::vbOKOnly, "Search Error");
    return false;
  }
}

// ------------------------------------------------------- sorting, returning

void frmSearch::sortByColumn(std::int16_t colIndex) {
  Recordset* rs = arsSearch_RecordSource.get();
  std::string sort, base, field, direction = " DESC";
  IgnoreErrors([&] {
    if (!rs) throw Error(err::ObjectNotSet, kTitle);
    sort = rs->Sort();
  });
  const auto removeAll = [](std::string text, std::string_view word) {
    for (auto at = text.find(word); at != std::string::npos; at = text.find(word, at))
      text.erase(at, word.size());
    return text;
  };
  base = UCase(removeAll(removeAll(sort, " DESC"), " ASC"));
  IgnoreErrors([&] { field = m_dbgData->columns().Item(colIndex).DataField(); });
  if (base == UCase(field)) {
    const std::string tail = sort.size() >= 4 ? UCase(sort.substr(sort.size() - 4)) : UCase(sort);
    direction = tail == "DESC" ? " ASC" : " DESC";
  }
  IgnoreErrors([&] {
    if (!rs) throw Error(err::ObjectNotSet, kTitle);
    rs->Sort(field + direction);
  });
  IgnoreErrors([&] { m_dbgData->Refresh(); });
}

void frmSearch::accept() {
  const std::shared_ptr<Recordset> rs = arsSearch_RecordSource;
  bool atEnd = true;
  IgnoreErrors([&] { atEnd = !rs || rs->EOF(); });
  if (atEnd || Trim(strReturn_Fields).empty()) {
    Unload();
    return;
  }
  std::vector<std::string> names;
  for (std::string::size_type start = 0;;) {
    const auto comma = strReturn_Fields.find(',', start);
    names.push_back(
        strReturn_Fields.substr(start, comma == std::string::npos ? comma : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  Array values(0, static_cast<std::int32_t>(names.size()) - 1);
  for (std::size_t i = 0; i < names.size(); ++i) {
    try {
      values.at(static_cast<std::int32_t>(i)) =
          Variant(TextOf(rs->Fields().Item(names[i]).Value()));
    } catch (const Error& e) {
      Report("The search could not return the field '" + names[i] + "'.\r\n" + Described(e));
      Unload();
      return;
    }
  }
  varReturn_Value = Variant(std::move(values));
  Unload();
}

// ---------------------------------------------------------------- handlers

void frmSearch::cmdOK_Click() {
  accept();
}

void frmSearch::cmdCancel_Click() {
  Unload();
}

void frmSearch::dbgData_HeadClick(std::int16_t colIndex) {
  sortByColumn(colIndex);
}

void frmSearch::dbgData_DblClick() {
  accept();
}

void frmSearch::dbgData_KeyDown(std::int16_t keyCode, std::int16_t) {
  if (keyCode == key::Return) accept();
}

// ------------------------------------------------------------ late binding

const MemberTable& frmSearch::memberTable() const {
  using B = MemberTable::Builder<frmSearch>;
  static const MemberTable table =
      B(&Form::Members())
          .property(
              "varReturn_Value", [](frmSearch& f) { return f.varReturn_Value; },
              [](frmSearch& f, const Variant& v) { f.varReturn_Value = v; })
          .objectProperty(
              "arsSearch_RecordSource",
              [](frmSearch& f) { return Variant(f.arsSearch_RecordSource); },
              [](frmSearch& f, const Variant& v) { f.arsSearch_RecordSource = RecordSourceOf(v); })
          .property(
              "strReturn_Fields", [](frmSearch& f) { return Variant(f.strReturn_Fields); },
              [](frmSearch& f, const Variant& v) { f.strReturn_Fields = CStr(v); })
          .property(
              "m_FriendlyNames", [](frmSearch& f) { return f.m_FriendlyNames; },
              [](frmSearch& f, const Variant& v) { f.m_FriendlyNames = v; })
          .build();
  return table;
}

}  // namespace kiv
