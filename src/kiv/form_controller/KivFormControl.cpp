// The form controller: properties, persistence, the record source, the
// button bar with its shortcuts and layout, and the friendly field names.

#include "kiv/form_controller/KivFormControl.h"

#include <cmath>
#include <string>
#include <vector>

#include "kiv/data/AdoTypes.h"
#include "kiv/data/Connection.h"
#include "kiv/data/Field.h"
#include "kiv/data/Recordset.h"
#include "kiv/host/CommandButton.h"
#include "kiv/host/Host.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"
#include "kiv/runtime/PropertyBag.h"
#include "kiv/shared/Functions.h"

namespace kiv {

namespace {

struct ButtonSpec {
  const char* name;
  const char* toolTip;
  const char* picture;
};

// In bar order; cmdUndoAdd shares position 5 with cmdAdd.
constexpr ButtonSpec kButtons[9] = {
    {"cmdFirst", "Move to the first record", "kiv/first.png"},
    {"cmdPrevious", "Move to the previous record", "kiv/previous.png"},
    {"cmdNext", "Move to the next record", "kiv/next.png"},
    {"cmdLast", "Move to the last record", "kiv/last.png"},
    {"cmdAdd", "Add a new record", "kiv/add.png"},
    {"cmdUndoAdd", "Undo add new record", "kiv/undoadd.png"},
    {"cmdDelete", "Delete the current record", "kiv/delete.png"},
    {"cmdSave", "Save the current record", "kiv/save.png"},
    {"cmdSearch", "Search for a record", "kiv/search.png"},
};

enum ButtonIndex { bFirst, bPrevious, bNext, bLast, bAdd, bUndoAdd, bDelete, bSave, bSearch };

constexpr char kNoPermission[] = "You do not have permission to view this screen.";
constexpr char kNotOpened[] = "Unknown error, recordset not opened";

// A value placed between single quotes in SQL text or a find criterion: every
// quote doubled, so the value cannot end the literal.
std::string Quoted(std::string_view value) {
  std::string out;
  out.reserve(value.size() + 2);
  for (char c : value) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

std::string ErrorText(const Error& e) {
  return e.description() + " (" + std::to_string(e.number()) + ")";
}

}  // namespace

KivFormControl::KivFormControl() : UserControl("KivFormControl1") {
  createButtons();
}

KivFormControl::~KivFormControl() = default;

std::shared_ptr<KivFormControl> KivFormControl::Create() {
  auto control = std::make_shared<KivFormControl>();
  control->InitProperties();
  return control;
}

void KivFormControl::createButtons() {
  for (int i = 0; i < 9; ++i) {
    auto button = std::make_shared<CommandButton>(kButtons[i].name);
    button->Style(1);  // graphical: a picture, no caption
    button->Picture(kButtons[i].picture);
    button->ToolTipText(kButtons[i].toolTip);
    button->events.Click.connect([this, i] { buttonClick(i); });
    button->events.KeyDown.connect([this, i](std::int16_t& keyCode, std::int16_t& shift) {
      buttonKeyDown(i, keyCode, shift);
    });
    buttons_[static_cast<std::size_t>(i)] = button;
    addConstituent(button);
  }
  cmdUndoAdd().Visible(false);
}

// ---------------------------------------------------------------- properties

void KivFormControl::Source_Table(std::string value) {
  m_Source_Table = std::move(value);
  PropertyChanged("Source_Table");
}

void KivFormControl::Source_Fields(std::string value) {
  m_Source_Fields = std::move(value);
  PropertyChanged("Source_Fields");
}

void KivFormControl::Filter(std::string value) {
  m_Filter = std::move(value);
  PropertyChanged("Filter");
}

void KivFormControl::SearchReturnFields(std::string value) {
  m_SearchReturnFields = std::move(value);
  PropertyChanged("SearchReturnFields");
}

void KivFormControl::Search_RecordSource(std::string value) {
  m_Search_RecordSource = std::move(value);
  PropertyChanged("Search_Recordsource");
}

void KivFormControl::FieldNameTranslatorTable(std::string value) {
  m_FieldNameTranslatorTable = std::move(value);
  PropertyChanged("FieldNameTranslatorTable");
}

void KivFormControl::SecurityLevel(std::int32_t value) {
  m_SecurityLevel = value;
}

void KivFormControl::AddNewMode(bool value) {
  m_AddNewMode = value;
  PropertyChanged("AddNewMode");
}

void KivFormControl::CursorLocation(std::int32_t value) {
  m_CursorLocation = value;
  PropertyChanged("CursorLocation");
}

void KivFormControl::LockType(std::int32_t value) {
  m_LockType = value;
  PropertyChanged("LockType");
}

void KivFormControl::CursorType(std::int32_t value) {
  m_CursorType = value;
  PropertyChanged("CursorType");
}

void KivFormControl::Source_Connection(std::shared_ptr<Connection> value) {
  m_Source_Connection = std::move(value);
  PropertyChanged("Source_Connection");
}

void KivFormControl::SearchControl(std::shared_ptr<Dispatch> value) {
  m_SearchControl = std::move(value);
  PropertyChanged("SearcControl");
}

void KivFormControl::Form_Recordset(std::shared_ptr<Recordset> value) {
  m_Form_Recordset = std::move(value);
  PropertyChanged("Form_Recordset");
}

// ------------------------------------------------------------- record source

std::string KivFormControl::SourceSQL() const {
  std::string sql = "SELECT " + m_Source_Fields + " FROM " + m_Source_Table;
  sql = AddWhereCondition(sql, m_Filter);
  if (!m_SearchReturnFields.empty()) sql += " ORDER BY " + m_SearchReturnFields + " ASC";
  return sql;
}

bool KivFormControl::OpenRecordset() {
  return openRecordset(nullptr);
}

bool KivFormControl::OpenRecordset(std::string& strError) {
  return openRecordset(&strError);
}

bool KivFormControl::openRecordset(std::string* strError) {
  bool result = false;
  try {
    EnableDisableButtons("11111111");
    if (m_SecurityLevel == scViewOnly) ForceControlsReadOnly();
    if (m_SecurityLevel == scNoView) {
      if (strError) *strError = kNoPermission;
      return false;
    }
    const auto rs = std::make_shared<Recordset>();
    Form_Recordset(rs);
    rs->Open(SourceSQL(), m_Source_Connection, m_CursorType, m_LockType, adCmdUnspecified);
    saveFailed_ = false;
    if (rs->State() == adStateOpen) {
      result = true;
    } else if (strError) {
      *strError = kNotOpened;
    }
    PopulateControls();
    AddNewMode(false);
    // A fresh record set is never being added to: the add button is back.
    cmdAdd().Visible(true);
    cmdUndoAdd().Visible(false);
    if (noCurrentRecord()) {
      LockUnlockControls(true);
    } else {
      LockUnlockControls(m_SecurityLevel != scEdit);
    }
    events.AfterMove.raise();
    return result;
  } catch (const Error& e) {
    if (strError) *strError = ErrorText(e);
    return false;
  }
}

std::shared_ptr<Recordset> KivFormControl::recordset() const {
  if (!m_Form_Recordset) {
    throw Error(err::ObjectNotSet, "KivFormControl",
                std::string(StandardErrorText(err::ObjectNotSet)));
  }
  return m_Form_Recordset;
}

bool KivFormControl::noCurrentRecord() const {
  const std::shared_ptr<Recordset> keep = recordset();
  Recordset& rs = *keep;
  return rs.BOF() || rs.EOF();
}

void KivFormControl::lockByCurrentRecord() {
  if (noCurrentRecord()) {
    LockUnlockControls(true);
  } else {
    LockUnlockControls(m_SecurityLevel != scEdit);
  }
}

// ---------------------------------------------------------------- button bar

void KivFormControl::EnableDisableButtons(std::string_view strBitSwitch) {
  for (std::size_t position = 0; position < 8; ++position) {
    const char c = position < strBitSwitch.size() ? strBitSwitch[position] : '0';
    const bool enabled = c >= '1' && c <= '9';
    if (position < 4) {
      buttons_[position]->Enabled(enabled);
    } else if (position == 4) {
      cmdAdd().Enabled(enabled);
      cmdUndoAdd().Enabled(enabled);
    } else {
      buttons_[position + 1]->Enabled(enabled);
    }
  }
  switch (m_SecurityLevel) {
    case scNoView:
      for (auto& button : buttons_)
        button->Enabled(false);
      break;
    case scViewOnly:
      cmdAdd().Enabled(false);
      cmdUndoAdd().Enabled(false);
      cmdDelete().Enabled(false);
      cmdSave().Enabled(false);
      break;
    default:
      break;
  }
}

void KivFormControl::ReportError(const Error& error) {
  Host::Current().MsgBox(ErrorText(error) + ".", vb::vbCritical | vb::vbOKOnly, "Error");
}

void KivFormControl::runAction(int index) {
  switch (index) {
    case bFirst:
      MoveRecordset(mvFirst);
      break;
    case bPrevious:
      MoveRecordset(mvPrevious);
      break;
    case bNext:
      MoveRecordset(mvNext);
      break;
    case bLast:
      MoveRecordset(mvLast);
      break;
    case bAdd:
      Add();
      break;
    case bUndoAdd:
      UndoAdd();
      break;
    case bDelete:
      Delete();
      break;
    case bSave:
      Save();
      break;
    case bSearch:
      Search();
      break;
    default:
      break;
  }
}

// A click is an event boundary: nothing the action raises reaches the host.
void KivFormControl::buttonClick(int index) {
  try {
    runAction(index);
  } catch (const Error& e) {
    ReportError(e);
  }
}

void KivFormControl::buttonKeyDown(int index, std::int16_t& keyCode, std::int16_t& shift) {
  (void)index;
  try {
    events.KeyDown.raise(keyCode, shift);
    if (shift != key::CtrlMask) return;
    int target = -1;
    switch (keyCode) {
      case 82:
        target = bFirst;
        break;  // R
      case 80:
        target = bPrevious;
        break;  // P
      case 78:
        target = bNext;
        break;  // N
      case 76:
        target = bLast;
        break;  // L
      case 65:
        target = bAdd;
        break;  // A
      case 85:
        target = bUndoAdd;
        break;  // U
      case 68:
        target = bDelete;
        break;  // D
      case 83:
        target = bSave;
        break;  // S
      case 70:
        target = bSearch;
        break;  // F
      default:
        return;
    }
    CommandButton& button = *buttons_[static_cast<std::size_t>(target)];
    if (!button.Enabled()) return;
    if ((target == bAdd || target == bUndoAdd) && !button.Visible()) return;
    runAction(target);
    // The focus goes back to the button the shortcut stands for, when it can
    // still take it (after add, that button is hidden).
    if (button.CanFocus()) IgnoreErrors([&] { button.SetFocus(); });
  } catch (const Error& e) {
    ReportError(e);
  }
}

// -------------------------------------------------------------------- layout

void KivFormControl::Resize() {
  IgnoreErrors([&] { Width(Height() * kWidthPerHeight); });
  const double w = Width();
  const double u = w * 0.01;
  const double b = std::nearbyint((w - 13 * u) / 8);
  const double h = std::nearbyint(Height());
  const double lefts[9] = {0,
                           b + u,
                           2 * b + 2 * u,
                           3 * b + 3 * u,
                           4 * b + 7 * u,
                           4 * b + 7 * u,
                           5 * b + 9 * u,
                           6 * b + 11 * u,
                           7 * b + 13 * u};
  for (std::size_t i = 0; i < 9; ++i) {
    IgnoreErrors([&] { buttons_[i]->Move(lefts[i], 0, b, h); });
  }
}

// ---------------------------------------------------------------- life cycle

void KivFormControl::InitProperties() {
  m_Source_Table.clear();
  m_Source_Fields.clear();
  m_Filter.clear();
  m_SearchReturnFields.clear();
  m_Search_RecordSource.clear();
  m_FieldNameTranslatorTable.clear();
  m_SecurityLevel = scNoView;
  m_AddNewMode = false;
  m_CursorLocation = adUseClient;
  m_LockType = adLockOptimistic;
  m_CursorType = adOpenStatic;
  m_SearchControl.reset();
  cmdAdd().Visible(true);
  cmdUndoAdd().Visible(false);
  Height(kInitialHeight);
}

void KivFormControl::ReadProperties(PropertyBag& bag) {
  const Variant nothing = Variant::Nothing();
  m_Form_Recordset = ObjectAs<Recordset>(bag.ReadProperty("Form_Recordset", nothing));
  m_SearchControl = ObjectAs<Dispatch>(bag.ReadProperty("SearchControl", nothing));
  m_Source_Connection = ObjectAs<Connection>(bag.ReadProperty("Source_Connection", nothing));
  m_CursorLocation = CLng(bag.ReadProperty("CursorLocation", Variant(std::int32_t{3})));
  m_LockType = CLng(bag.ReadProperty("LockType", Variant(std::int32_t{3})));
  m_CursorType = CLng(bag.ReadProperty("CursorType", Variant(std::int32_t{3})));
  m_Source_Table = CStr(bag.ReadProperty("Source_Table", Variant("")));
  m_Source_Fields = CStr(bag.ReadProperty("Source_Fields", Variant("")));
  m_Filter = CStr(bag.ReadProperty("Filter", Variant("")));
  m_FieldNameTranslatorTable = CStr(bag.ReadProperty("FieldNameTranslatorTable", Variant("")));
  m_SearchReturnFields = CStr(bag.ReadProperty("SearchReturnFields", Variant("")));
  m_SecurityLevel = CLng(bag.ReadVariantProperty("SecurityLevel", Variant("0")));
  m_AddNewMode = CBool(bag.ReadProperty("AddNewMode", Variant(false)));
  m_Search_RecordSource = CStr(bag.ReadProperty("Search_Recordsource", Variant("")));
}

void KivFormControl::WriteProperties(PropertyBag& bag) {
  const Variant nothing = Variant::Nothing();
  bag.WriteProperty("Form_Recordset", Variant(m_Form_Recordset), nothing);
  bag.WriteProperty("SearchControl", Variant(m_SearchControl), nothing);
  bag.WriteProperty("Source_Connection", Variant(m_Source_Connection), nothing);
  bag.WriteProperty("CursorLocation", Variant(m_CursorLocation), Variant(std::int32_t{3}));
  bag.WriteProperty("LockType", Variant(m_LockType), Variant(std::int32_t{3}));
  bag.WriteProperty("CursorType", Variant(m_CursorType), Variant(std::int32_t{3}));
  bag.WriteProperty("Source_Table", Variant(m_Source_Table), Variant(""));
  bag.WriteProperty("Source_Fields", Variant(m_Source_Fields), Variant(""));
  bag.WriteProperty("Filter", Variant(m_Filter), Variant(""));
  bag.WriteProperty("SearchReturnFields", Variant(m_SearchReturnFields), Variant(""));
  bag.WriteProperty("FieldNameTranslatorTable", Variant(m_FieldNameTranslatorTable), Variant(""));
  bag.WriteProperty("SecurityLevel", Variant(m_SecurityLevel), Variant(std::int32_t{0}));
  bag.WriteProperty("AddNewMode", Variant(m_AddNewMode), Variant(false));
  bag.WriteProperty("Search_Recordsource", Variant(m_Search_RecordSource), Variant(""));
}

// ------------------------------------------------------------ friendly names

Variant KivFormControl::GetFriendlyFieldNames(const std::string& strTable,
                                              const std::string& strField) {
  const bool all = strField == "*";
  try {
    auto rs = std::make_shared<Recordset>();
    std::string sql = "SELECT * FROM " + m_FieldNameTranslatorTable + " WHERE TableName = '" +
                      Quoted(strTable) + "' ";
    if (!all) {
      sql += "AND FieldName = '" + Quoted(strField) + "'";
    } else {
      rs->CursorLocation(adUseClient);
    }
    rs->Open(sql, m_Source_Connection, adOpenKeyset, adLockReadOnly, adCmdUnspecified);
    if (!all) {
      if (rs->EOF()) return Variant(strField);
      return Variant(TextOf((*rs)["FriendlyName"].Value()));
    }
    std::vector<std::pair<std::string, std::string>> rows;
    while (!rs->EOF()) {
      rows.emplace_back(TextOf((*rs)["FieldName"].Value()), TextOf((*rs)["FriendlyName"].Value()));
      rs->MoveNext();
    }
    if (rows.empty()) rows.emplace_back("", "");
    Array table(0, static_cast<std::int32_t>(rows.size()) - 1, 0, 1);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const auto row = static_cast<std::int32_t>(i);
      table.at(row, 0) = Variant(rows[i].first);
      table.at(row, 1) = Variant(rows[i].second);
    }
    return Variant(std::move(table));
  } catch (const Error&) {
    if (!all) return Variant(strField);
    Array table(0, 0, 0, 1);
    table.at(0, 0) = Variant("");
    table.at(0, 1) = Variant("");
    return Variant(std::move(table));
  }
}

// ------------------------------------------------------------- late binding

const MemberTable& KivFormControl::memberTable() const {
  return Members();
}

const MemberTable& KivFormControl::Members() {
  using Args = std::vector<Variant>;
  using K = KivFormControl;
  static const MemberTable table =
      MemberTable::Builder<K>(&UserControl::Members())
          .property(
              "Source_Table", [](K& c) { return Variant(c.Source_Table()); },
              [](K& c, const Variant& v) { c.Source_Table(CStr(v)); })
          .property(
              "Source_Fields", [](K& c) { return Variant(c.Source_Fields()); },
              [](K& c, const Variant& v) { c.Source_Fields(CStr(v)); })
          .property(
              "Filter", [](K& c) { return Variant(c.Filter()); },
              [](K& c, const Variant& v) { c.Filter(CStr(v)); })
          .property(
              "SearchReturnFields", [](K& c) { return Variant(c.SearchReturnFields()); },
              [](K& c, const Variant& v) { c.SearchReturnFields(CStr(v)); })
          .property(
              "Search_RecordSource", [](K& c) { return Variant(c.Search_RecordSource()); },
              [](K& c, const Variant& v) { c.Search_RecordSource(CStr(v)); })
          .property(
              "FieldNameTranslatorTable",
              [](K& c) { return Variant(c.FieldNameTranslatorTable()); },
              [](K& c, const Variant& v) { c.FieldNameTranslatorTable(CStr(v)); })
          .property(
              "SecurityLevel", [](K& c) { return Variant(c.SecurityLevel()); },
              [](K& c, const Variant& v) { c.SecurityLevel(CLng(v)); })
          .property(
              "AddNewMode", [](K& c) { return Variant(c.AddNewMode()); },
              [](K& c, const Variant& v) { c.AddNewMode(CBool(v)); })
          .property(
              "CursorLocation", [](K& c) { return Variant(c.CursorLocation()); },
              [](K& c, const Variant& v) { c.CursorLocation(CLng(v)); })
          .property(
              "LockType", [](K& c) { return Variant(c.LockType()); },
              [](K& c, const Variant& v) { c.LockType(CLng(v)); })
          .property(
              "CursorType", [](K& c) { return Variant(c.CursorType()); },
              [](K& c, const Variant& v) { c.CursorType(CLng(v)); })
          .objectProperty(
              "Source_Connection", [](K& c) { return Variant(c.Source_Connection()); },
              [](K& c, const Variant& v) {
                auto connection = ObjectAs<Connection>(v);
                if (!connection && !v.isNothing()) throw Error(err::TypeMismatch, "KivFormControl");
                c.Source_Connection(std::move(connection));
              })
          .objectProperty(
              "SearchControl", [](K& c) { return Variant(c.SearchControl()); },
              [](K& c, const Variant& v) { c.SearchControl(ObjectAs<Dispatch>(v)); })
          .objectProperty(
              "Form_Recordset", [](K& c) { return Variant(c.Form_Recordset()); },
              [](K& c, const Variant& v) {
                auto rs = ObjectAs<Recordset>(v);
                if (!rs && !v.isNothing()) throw Error(err::TypeMismatch, "KivFormControl");
                c.Form_Recordset(std::move(rs));
              })
          .method("SourceSQL", [](K& c, Args&) { return Variant(c.SourceSQL()); })
          .method("OpenRecordset",
                  [](K& c, Args& a) {
                    if (a.empty()) return Variant(c.OpenRecordset());
                    std::string error = TextOf(a[0]);
                    const bool ok = c.OpenRecordset(error);
                    a[0] = Variant(error);
                    return Variant(ok);
                  })
          .method("PopulateControls",
                  [](K& c, Args&) {
                    c.PopulateControls();
                    return Variant();
                  })
          .method("BlankControls",
                  [](K& c, Args&) {
                    c.BlankControls();
                    return Variant();
                  })
          .method("ForceControlsReadOnly",
                  [](K& c, Args&) {
                    c.ForceControlsReadOnly();
                    return Variant();
                  })
          .method("LockUnlockControls",
                  [](K& c, Args& a) {
                    c.LockUnlockControls(CBool(Arg(a, 0)));
                    return Variant();
                  })
          .method("DataHasChanged", [](K& c, Args&) { return Variant(c.DataHasChanged()); })
          .method("DataIsValid", [](K& c, Args&) { return Variant(c.DataIsValid()); })
          .method("MoveRecordset",
                  [](K& c, Args& a) {
                    c.MoveRecordset(CLng(Arg(a, 0)));
                    return Variant();
                  })
          .method("Add",
                  [](K& c, Args&) {
                    c.Add();
                    return Variant();
                  })
          .method("UndoAdd",
                  [](K& c, Args&) {
                    c.UndoAdd();
                    return Variant();
                  })
          .method("Delete",
                  [](K& c, Args&) {
                    c.Delete();
                    return Variant();
                  })
          .method("Save",
                  [](K& c, Args&) {
                    c.Save();
                    return Variant();
                  })
          .method("UpdateRecordset", [](K& c, Args&) { return Variant(c.UpdateRecordset()); })
          .method("EnableDisableButtons",
                  [](K& c, Args& a) {
                    c.EnableDisableButtons(TextOf(Arg(a, 0)));
                    return Variant();
                  })
          .method("Search",
                  [](K& c, Args&) {
                    c.Search();
                    return Variant();
                  })
          .method("FindSearchRecord",
                  [](K& c, Args& a) {
                    c.FindSearchRecord(Arg(a, 0), TextOf(Arg(a, 1)));
                    return Variant();
                  })
          .method("GetFriendlyFieldNames",
                  [](K& c, Args& a) {
                    return c.GetFriendlyFieldNames(TextOf(Arg(a, 0)), TextOf(Arg(a, 1)));
                  })
          .build();
  return table;
}

}  // namespace kiv
