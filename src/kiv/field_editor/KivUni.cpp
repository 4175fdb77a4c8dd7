#include "kiv/field_editor/KivUni.h"

#include "kiv/data/AdoTypes.h"
#include "kiv/data/Connection.h"
#include "kiv/data/Field.h"
#include "kiv/data/Recordset.h"
#include "kiv/field_editor/DefaultSizeFlag.h"
#include "kiv/field_editor/frmCalendar.h"
#include "kiv/host/CheckBox.h"
#include "kiv/host/CommandButton.h"
#include "kiv/host/Host.h"
#include "kiv/host/TextBox.h"
#include "kiv/host/Utf8Text.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"
#include "kiv/runtime/PropertyBag.h"
#include "kiv/shared/Functions.h"
#include "kiv/shared/SqlLiteral.h"

namespace kiv {

namespace {

constexpr double kDefaultWidth = 1800;
constexpr double kDefaultHeight = 285;
constexpr double kMinimumWidth = 300;
constexpr double kMinimumHeight = 285;
constexpr double kButtonGap = 50;

// Keeps a flag set for the lifetime of the guard.
class FlagGuard {
 public:
  explicit FlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagGuard() { flag_ = false; }
  FlagGuard(const FlagGuard&) = delete;
  FlagGuard& operator=(const FlagGuard&) = delete;

 private:
  bool& flag_;
};

}  // namespace

KivUni::KivUni() : UserControl("KivUni1") {
  createWidgets();
  applyState();
}

KivUni::~KivUni() = default;

std::shared_ptr<KivUni> KivUni::Create() {
  auto uni = std::make_shared<KivUni>();
  uni->InitProperties();
  uni->layout();
  return uni;
}

void KivUni::createWidgets() {
  m_txtText1 = std::make_shared<TextBox>("txtText1");
  m_txtText1->TabIndex(0);
  m_cmdFunction = std::make_shared<CommandButton>("cmdFunction");
  m_cmdFunction->Caption("");
  m_cmdFunction->Picture("kiv/dropdown");
  m_cmdFunction->Width(255);
  m_cmdFunction->Height(240);
  m_cmdFunction->TabIndex(1);
  m_chkCheck1 = std::make_shared<CheckBox>("chkCheck1");
  m_chkCheck1->Caption("");
  m_chkCheck1->Move(0, 0, 405, 285);
  m_chkCheck1->TabIndex(2);
  addConstituent(m_txtText1);
  addConstituent(m_cmdFunction);
  addConstituent(m_chkCheck1);

  auto& t = m_txtText1->events;
  t.Change.connect([this] { txtText1_Change(); });
  t.GotFocus.connect([this] { txtText1_GotFocus(); });
  t.KeyDown.connect([this](std::int16_t& k, std::int16_t& s) { txtText1_KeyDown(k, s); });
  t.LostFocus.connect([this] { txtText1_LostFocus(); });
  t.Click.connect([this] { events.Click.raise(); });
  t.DblClick.connect([this] { events.DblClick.raise(); });
  t.KeyPress.connect([this](std::int16_t& a) { events.KeyPress.raise(a); });
  t.KeyUp.connect([this](std::int16_t& k, std::int16_t& s) { events.KeyUp.raise(k, s); });
  t.MouseDown.connect([this](std::int16_t& b, std::int16_t& s, float& x, float& y) {
    events.MouseDown.raise(b, s, x, y);
  });
  t.MouseUp.connect([this](std::int16_t& b, std::int16_t& s, float& x, float& y) {
    events.MouseUp.raise(b, s, x, y);
  });

  auto& c = m_chkCheck1->events;
  c.Click.connect([this] { chkCheck1_Click(); });
  c.LostFocus.connect([this] { chkCheck1_LostFocus(); });
  c.KeyPress.connect([this](std::int16_t& a) { events.KeyPress.raise(a); });
  c.KeyUp.connect([this](std::int16_t& k, std::int16_t& s) { events.KeyUp.raise(k, s); });
  c.MouseDown.connect([this](std::int16_t& b, std::int16_t& s, float& x, float& y) {
    events.MouseDown.raise(b, s, x, y);
  });
  c.MouseUp.connect([this](std::int16_t& b, std::int16_t& s, float& x, float& y) {
    events.MouseUp.raise(b, s, x, y);
  });

  auto& b = m_cmdFunction->events;
  b.MouseDown.connect(
      [this](std::int16_t&, std::int16_t&, float&, float&) { cmdFunction_MouseDown(); });
  b.MouseUp.connect([this](std::int16_t&, std::int16_t&, float&, float&) {
    // The press already ran its lookup from the text box's lost focus: the
    // click that ends the same press must not run it a second time.
    m_skipNextClick = m_pressLookedUp;
    m_pressLookedUp = false;
  });
  b.Click.connect([this] {
    if (m_skipNextClick) {
      m_skipNextClick = false;
      return;
    }
    lookUpFromEvent();
  });
}

// ---------------------------------------------------------------- properties

void KivUni::DataSource_Uni(const std::shared_ptr<Dispatch>& source) {
  Extender().DataSource(Variant(source));
}

void KivUni::Type_Of_Control(std::int32_t value) {
  m_Type_Of_Control = value;
  PropertyChanged("Type_Of_Control");
  Refresh_Control_State();
}

bool KivUni::Invalid_Data() {
  m_Invalid_Data = funData_Invalid();
  if (m_Invalid_Data) m_txtText1->BackColor(m_Error_Field_Colour);
  return m_Invalid_Data;
}

void KivUni::Invalid_Data(bool value) {
  m_Invalid_Data = value;
  PropertyChanged("Invalid_Data");
  if (value) {
    m_txtText1->BackColor(m_Error_Field_Colour);
  } else {
    Refresh_Control_State();
  }
}

void KivUni::Required_Field(bool value) {
  m_Required_Field = value;
  PropertyChanged("Required_Field");
  Refresh_Control_State();
}

void KivUni::Read_Only(bool value) {
  m_Read_Only = value;
  PropertyChanged("Read_Only");
  Refresh_Control_State();
}

void KivUni::Locked(bool value) {
  m_Locked = value;
  PropertyChanged("Locked");
  Refresh_Control_State();
}

void KivUni::Primary_Key_Field(bool value) {
  m_Primary_Key_Field = value;
  PropertyChanged("Primary_Key_Field");
  Refresh_Control_State();
}

void KivUni::AddNew_Mode(bool value) {
  m_AddNew_Mode = value;
  PropertyChanged("AddNew_Mode");
  Refresh_Control_State();
}

void KivUni::Password_Chr(std::string value) {
  m_txtText1->PasswordChar(value);  // refuses more than one character
  m_Password_Chr = std::move(value);
  PropertyChanged("Password_Chr");
}

void KivUni::Type_Of_LookUp(std::int32_t value) {
  m_Type_Of_LookUp = value;
  PropertyChanged("Type_Of_LookUp");
  Refresh_Control_State();
}

void KivUni::Text(std::string value) {
  m_Text = std::move(value);
  PropertyChanged("Text");
  if (m_Type_Of_Control != tocCheck) {
    m_txtText1->Text(m_Text);  // the change handler runs when the text differs
    txtText1_LostFocus();
    return;
  }
  const std::string trimmed = Trim(m_Text);
  const std::string upper = UCase(trimmed);
  m_Text = (trimmed == "0" || upper == "FALSE" || upper == "N") ? "0" : "1";
  m_chkCheck1->Value(static_cast<std::int16_t>(m_Text == "0" ? 0 : 1));
}

void KivUni::Read_Only_Field_Colour(std::int32_t value) {
  m_Read_Only_Field_Colour = value;
  PropertyChanged("Read_Only_Field_Colour");
}

void KivUni::Required_Field_Colour(std::int32_t value) {
  m_Required_Field_Colour = value;
  PropertyChanged("Required_Field_Colour");
}

void KivUni::Normal_Field_Colour(std::int32_t value) {
  m_Normal_Field_Colour = value;
  PropertyChanged("Normal_Field_Colour");
}

void KivUni::Error_Field_Colour(std::int32_t value) {
  m_Error_Field_Colour = value;
  PropertyChanged("Error_Field_Colour");
}

void KivUni::Use_Internal_LookUp_Form(bool value) {
  m_Use_Internal_LookUp_Form = value;
  PropertyChanged("Use_Internal_LookUp_Form");
}

void KivUni::Filter(std::string value) {
  m_Filter = std::move(value);
  PropertyChanged("Filter");
}

void KivUni::Search_RecordSource(std::string value) {
  m_Search_RecordSource = std::move(value);
  PropertyChanged("Search_Recordsource");
}

void KivUni::Data_Field(std::string value) {
  m_Data_Field = std::move(value);
  PropertyChanged("Data_Field");
}

void KivUni::Search_Control(std::shared_ptr<Dispatch> value) {
  m_Search_Control = std::move(value);
  PropertyChanged("Search_Control");
}

std::string KivUni::Source_Code_Field() const {
  return m_Source_Code_Field.empty() ? m_Data_Field : m_Source_Code_Field;
}

void KivUni::refuseUnlessLookUp(const char* description) const {
  if (m_Type_Of_LookUp != tolLookUp_Code) throw Error(kLibraryError, "KivUni", description);
}

void KivUni::Source_Code_Field(std::string value) {
  refuseUnlessLookUp("Source Code Field property cannot be set for a non-LookUp control.");
  m_Source_Code_Field = std::move(value);
  PropertyChanged("Source_Code_Field");
}

void KivUni::Source_Table(std::string value) {
  refuseUnlessLookUp("Source Table property cannot be set for a non-LookUp control.");
  m_Source_Table = std::move(value);
  PropertyChanged("Source_Table");
}

void KivUni::Source_Connection(std::shared_ptr<Connection> value) {
  refuseUnlessLookUp("Source Connection property cannot be set for a non-LookUp control.");
  m_Source_Connection = std::move(value);
  PropertyChanged("Source_Connection");
}

std::int32_t KivUni::MaxLength() const {
  return m_txtText1->MaxLength();
}

void KivUni::MaxLength(std::int32_t value) {
  m_txtText1->MaxLength(value);  // refuses a negative length
  PropertyChanged("MaxLength");
}

void KivUni::FriendlyNames(Variant value) {
  m_FriendlyNames = std::move(value);
  PropertyChanged("FriendlyNames");
}

// ---------------------------------------------------------------- methods

void KivUni::raiseDataChanged(std::string value) {
  bool invalid = false;
  events.DataChanged.raise(value, invalid);
}

void KivUni::BlankControl() {
  m_chkCheck1->Value(0);
  m_txtText1->Text(m_Type_Of_Control == tocCheck ? "0" : "");
  raiseDataChanged("");
}

void KivUni::cmdFunction_Click() {
  booLookUp_Pending = false;

  if (m_Type_Of_Control == tocDate) {
    frmCalendar& calendar = frmCalendar::Instance();
    calendar.Show(vb::vbModal, this);
    // Closed without a pick or Escape: the editor keeps what it holds.
    if (!calendar.DateChosen()) return;
    Text(CStr(Variant(calendar.datCalendar_Date)));
    return;
  }

  if (!m_Use_Internal_LookUp_Form) {
    events.LookUp.raise();
    return;
  }

  // The search dialog runs through the launcher the application assigned.
  if (!m_Search_Control) {
    throw Error(kLibraryError, "KivUni", "The search launcher (Search_Control) is not available.");
  }
  std::string sql;
  if (!m_Search_RecordSource.empty()) {
    sql = m_Search_RecordSource;
  } else {
    sql = "SELECT * FROM " + m_Source_Table;
    sql = AddWhereCondition(sql, m_Filter);
    sql += " ORDER BY " + Source_Code_Field() + " ASC";
  }
  auto list = std::make_shared<Recordset>();
  list->CursorLocation(adUseClient);
  list->Open(sql, m_Source_Connection, adOpenKeyset, adLockReadOnly, adCmdUnspecified);

  const std::shared_ptr<Dispatch> launcher = m_Search_Control;  // kept alive while it runs
  launcher->let("FriendlyNames", m_FriendlyNames);
  launcher->set("Search_RecordSource", Variant(std::shared_ptr<Dispatch>(list)));
  launcher->let("Return_Fields", Variant(Source_Code_Field()));
  launcher->call("ShowSearch",
                 {Variant(std::int16_t{vb::vbModal}), Variant(weak_from_this().lock())});
  const Variant returned = launcher->get("Return_Value");
  if (!returned.isArray()) return;
  const Array& values = returned.array();
  if (values.size() == 0 || values.lbound() > 0 || values.ubound() < 0) return;
  const std::string code = TextOf(values.at(0));
  if (!code.empty()) Text(code);
}

void KivUni::lookUpFromEvent() {
  try {
    cmdFunction_Click();
  } catch (const Error& e) {
    Host::Current().MsgBox(e.description() + " (" + std::to_string(e.number()) + ")",
                           vb::vbCritical | vb::vbOKOnly, "KivUni");
  }
}

// ---------------------------------------------------------------- state

void KivUni::Refresh_Control_State() {
  applyState();
  Resize();
}

void KivUni::applyState() {
  TextBox& t = *m_txtText1;
  CheckBox& c = *m_chkCheck1;
  CommandButton& b = *m_cmdFunction;

  t.BackColor(m_Normal_Field_Colour);
  t.Visible(false);
  c.Visible(false);
  b.Visible(false);
  b.Enabled(false);
  c.Enabled(false);
  t.Locked(true);

  if (m_Type_Of_Control == tocCheck) {
    c.Visible(true);
  } else {
    t.Visible(true);
    if (m_Type_Of_Control == tocDate || m_Type_Of_LookUp == tolLookUp_Code) b.Visible(true);
  }

  if (m_Locked || m_Read_Only) {
    t.BackColor(m_Read_Only_Field_Colour);
    c.BackColor(m_Read_Only_Field_Colour);
  } else {
    b.Enabled(true);
    c.Enabled(true);
    t.Locked(false);
    t.BackColor(m_Required_Field ? m_Required_Field_Colour : m_Normal_Field_Colour);
  }

  // A primary key can be typed only while a new record is being added.
  if (m_Primary_Key_Field && !m_AddNew_Mode) {
    t.BackColor(m_Read_Only_Field_Colour);
    b.Enabled(false);
    c.Enabled(false);
    t.Locked(true);
  }
}

bool KivUni::funData_Invalid() {
  bool invalid = false;
  const bool blank = Trim(m_Text).empty();
  switch (m_Type_Of_Control) {
    case tocText:
      invalid = m_Required_Field && blank;
      break;
    case tocNumber:
      invalid =
          m_Required_Field ? !IsNumeric(Variant(m_Text)) : (!blank && !IsNumeric(Variant(m_Text)));
      break;
    case tocDate:
      invalid = m_Required_Field ? !IsDate(Variant(m_Text)) : (!blank && !IsDate(Variant(m_Text)));
      break;
    default:
      break;
  }
  if (m_Type_Of_LookUp == tolLookUp_Code && !invalid && !m_Text.empty()) invalid = funCode_Not_OK();
  return invalid;
}

bool KivUni::funCode_Not_OK() {
  bool notOk = true;
  std::string sql;
  try {
    if (!m_Source_Connection || m_Source_Connection->State() != adStateOpen) return true;
    if (m_Source_Table.empty()) {
      throw Error(kLibraryError, "LookUp Control",
                  "Reference source table has not been set (or could not be determined).");
    }
    const std::string codeField = Source_Code_Field();
    if (codeField.empty()) {
      throw Error(kLibraryError, "LookUp Control",
                  "Reference source field has not been set (or could not be determined).");
    }
    sql = "SELECT TOP 1 " + codeField + " FROM " + m_Source_Table;
    sql = AddWhereCondition(sql, m_Filter);

    std::string condition;
    if (m_Type_Of_Control == tocText) {
      condition = codeField + " = " + SqlQuotedText(m_Text);
    } else if (m_Type_Of_Control == tocNumber) {
      // Only a text that reads as a number goes into the statement.
      const auto number = SqlNumber(m_Text);
      if (!number) return true;
      condition = codeField + " = " + *number;
    } else {
      return true;
    }
    sql = AddWhereCondition(sql, condition);

    auto rs = std::make_shared<Recordset>();
    rs->CursorLocation(adUseClient);
    rs->Open(sql, m_Source_Connection, adOpenKeyset, adLockReadOnly, adCmdUnspecified);
    if (!rs->EOF()) {
      const Variant value = (*rs)[codeField].Value();
      if (!value.isNull() && TextOf(value) == m_Text) notOk = false;
    }
    rs->Close();
    return notOk;
  } catch (const Error& e) {
    Host::Current().MsgBox(
        "The following occurred while checking code data (funCode_Not_OK): \r\n" +
            std::to_string(e.number()) + " - " + e.description() + "\r\nSQL: " + sql,
        vb::vbCritical | vb::vbOKOnly, "KivUni");
    return true;
  }
}

// ---------------------------------------------------------------- handlers

void KivUni::txtText1_Change() {
  m_Text = m_txtText1->Text();
  if (m_loading) return;
  PropertyChanged("Text");
  events.Change.raise();
}

void KivUni::txtText1_GotFocus() {
  if (m_Read_Only) return;
  m_txtText1->SelStart(0);
  m_txtText1->SelLength(utf8::Length(m_txtText1->Text()));
}

void KivUni::txtText1_KeyDown(std::int16_t& keyCode, std::int16_t& shift) {
  events.KeyDown.raise(keyCode, shift);
  if (shift == key::CtrlMask && keyCode == 70 && m_cmdFunction->Enabled() &&
      m_cmdFunction->Visible()) {
    lookUpFromEvent();
  }
}

void KivUni::txtText1_LostFocus() {
  if (!m_Locked) {
    const bool invalid = funData_Invalid();
    Invalid_Data(invalid);
    std::string newValue = m_txtText1->Text();
    // The flag goes by reference: a handler that changes it changes the
    // stored validity (without a repaint).
    events.DataChanged.raise(newValue, m_Invalid_Data);
    if (booLookUp_Pending) {
      booLookUp_Pending = false;
      m_pressLookedUp = true;
      lookUpFromEvent();
    }
  }
  IgnoreErrors([this] {
    const std::string format = Extender().DataFormatString();
    if (!format.empty()) m_txtText1->Text(Format(Variant(m_txtText1->Text()), format));
  });
}

void KivUni::chkCheck1_Click() {
  m_Text = m_chkCheck1->Value() == 1 ? "1" : "0";
  if (m_loading) return;
  events.Click.raise();
}

void KivUni::chkCheck1_LostFocus() {
  Text(std::to_string(m_chkCheck1->Value()));
  Invalid_Data(false);
}

void KivUni::cmdFunction_MouseDown() {
  booLookUp_Pending = true;
  m_pressLookedUp = false;
  m_skipNextClick = false;
}

// ---------------------------------------------------------------- life cycle

void KivUni::InitProperties() {
  m_Type_Of_Control = tocText;
  m_Invalid_Data = false;
  m_Required_Field = false;
  m_Read_Only = false;
  m_Locked = false;
  m_Primary_Key_Field = false;
  m_AddNew_Mode = false;
  m_Password_Chr.clear();
  m_Type_Of_LookUp = tolNo_LookUp;
  m_Text.clear();
  m_Read_Only_Field_Colour = kDefaultReadOnlyColour;
  m_Required_Field_Colour = kDefaultRequiredColour;
  m_Normal_Field_Colour = kDefaultNormalColour;
  m_Error_Field_Colour = kDefaultErrorColour;
  m_Use_Internal_LookUp_Form = true;
  m_Filter.clear();
  m_Search_RecordSource.clear();
  m_Data_Field.clear();
  m_Search_Control.reset();
  m_Source_Code_Field.clear();
  m_Source_Table.clear();
  m_Source_Connection.reset();
  m_FriendlyNames = Variant(std::int16_t{0});
  m_txtText1->MaxLength(0);
  Refresh_Control_State();
  DefaultSizeFlag::Set();
}

namespace {
const Variant kNoObject = Variant::Nothing();
const Variant kFalse = Variant(false);
const Variant kTrue = Variant(true);
const Variant kEmptyText = Variant(std::string());
const Variant kZeroLong = Variant(std::int32_t{0});
const Variant kZeroInteger = Variant(std::int16_t{0});
}  // namespace

void KivUni::ReadProperties(PropertyBag& bag) {
  auto colour = [&](const char* name, std::int32_t def) {
    return CLng(bag.ReadProperty(name, Variant(def)));
  };
  auto flag = [&](const char* name, const Variant& def) {
    return CBool(bag.ReadProperty(name, def));
  };
  auto text = [&](const char* name) { return TextOf(bag.ReadProperty(name, kEmptyText)); };

  m_Read_Only_Field_Colour = colour("Read_Only_Field_Colour", kDefaultReadOnlyColour);
  m_Required_Field_Colour = colour("Required_Field_Colour", kDefaultRequiredColour);
  m_Normal_Field_Colour = colour("Normal_Field_Colour", kDefaultNormalColour);
  m_Error_Field_Colour = colour("Error_Field_Colour", kDefaultErrorColour);
  m_Text = text("Text");
  m_Read_Only = flag("Read_Only", kFalse);
  m_Type_Of_Control = CLng(bag.ReadProperty("Type_Of_Control", kZeroLong));
  m_Required_Field = flag("Required_Field", kFalse);
  m_Type_Of_LookUp = CLng(bag.ReadProperty("Type_Of_LookUp", kZeroLong));
  m_Source_Code_Field = text("Source_Code_Field");
  m_Source_Table = text("Source_Table");
  {
    const Variant connection = bag.ReadProperty("Source_Connection", kNoObject);
    m_Source_Connection = ObjectAs<Connection>(connection);
    if (!m_Source_Connection && connection.isObject() && !connection.isNothing()) {
      throw Error(err::TypeMismatch, "KivUni",
                  Extender().Name() + ": property 'Source_Connection' does not hold a connection.");
    }
  }
  m_txtText1->MaxLength(CLng(bag.ReadProperty("MaxLength", kZeroLong)));
  m_Use_Internal_LookUp_Form = flag("Use_Internal_LookUp_Form", kTrue);
  m_FriendlyNames = bag.ReadVariantProperty("FriendlyNames", kZeroInteger);
  m_Filter = text("Filter");
  m_Search_Control = ObjectAs<Dispatch>(bag.ReadProperty("Search_Control", kNoObject));
  m_Locked = flag("Locked", kFalse);
  m_Data_Field = text("Data_Field");
  m_Primary_Key_Field = flag("Primary_Key_Field", kFalse);
  m_AddNew_Mode = flag("AddNew_Mode", kFalse);
  m_Password_Chr = text("Password_Chr");
  m_Search_RecordSource = text("Search_Recordsource");
  m_Invalid_Data = false;

  // The widgets show what was loaded: the text (or the box's state) and the
  // mask, without announcing a change the user did not make.
  {
    FlagGuard loading(m_loading);
    if (m_Type_Of_Control == tocCheck) {
      const std::string upper = UCase(Trim(m_Text));
      m_Text = (upper == "0" || upper == "FALSE" || upper == "N") ? "0" : "1";
      m_chkCheck1->Value(static_cast<std::int16_t>(m_Text == "0" ? 0 : 1));
    } else {
      m_txtText1->Text(m_Text);
    }
  }
  try {
    m_txtText1->PasswordChar(m_Password_Chr);
  } catch (const Error& e) {
    throw Error(e.number(), "KivUni",
                Extender().Name() + ": property 'Password_Chr': " + e.description());
  }
  Refresh_Control_State();
}

void KivUni::WriteProperties(PropertyBag& bag) {
  auto object = [](const auto& ptr) {
    return ptr ? Variant(std::shared_ptr<Dispatch>(ptr)) : Variant::Nothing();
  };
  bag.WriteProperty("Read_Only_Field_Colour", Variant(m_Read_Only_Field_Colour),
                    Variant(kDefaultReadOnlyColour));
  bag.WriteProperty("Required_Field_Colour", Variant(m_Required_Field_Colour),
                    Variant(kDefaultRequiredColour));
  bag.WriteProperty("Normal_Field_Colour", Variant(m_Normal_Field_Colour),
                    Variant(kDefaultNormalColour));
  bag.WriteProperty("Error_Field_Colour", Variant(m_Error_Field_Colour),
                    Variant(kDefaultErrorColour));
  bag.WriteProperty("Text", Variant(m_Text), kEmptyText);
  bag.WriteProperty("Read_Only", Variant(m_Read_Only), kFalse);
  bag.WriteProperty("Type_Of_Control", Variant(m_Type_Of_Control), kZeroLong);
  bag.WriteProperty("Required_Field", Variant(m_Required_Field), kFalse);
  bag.WriteProperty("Type_Of_LookUp", Variant(m_Type_Of_LookUp), kZeroLong);
  bag.WriteProperty("Source_Code_Field", Variant(m_Source_Code_Field), kEmptyText);
  bag.WriteProperty("Source_Table", Variant(m_Source_Table), kEmptyText);
  bag.WriteProperty("Source_Connection", object(m_Source_Connection), kNoObject);
  bag.WriteProperty("MaxLength", Variant(m_txtText1->MaxLength()), kZeroLong);
  bag.WriteProperty("Use_Internal_LookUp_Form", Variant(m_Use_Internal_LookUp_Form), kTrue);
  bag.WriteProperty("FriendlyNames", m_FriendlyNames, kZeroInteger);
  bag.WriteProperty("Filter", Variant(m_Filter), kEmptyText);
  bag.WriteProperty("Search_Control", object(m_Search_Control), kNoObject);
  bag.WriteProperty("Locked", Variant(m_Locked), kFalse);
  bag.WriteProperty("Data_Field", Variant(m_Data_Field), kEmptyText);
  bag.WriteProperty("Primary_Key_Field", Variant(m_Primary_Key_Field), kFalse);
  bag.WriteProperty("AddNew_Mode", Variant(m_AddNew_Mode), kFalse);
  bag.WriteProperty("Password_Chr", Variant(m_Password_Chr), kEmptyText);
  bag.WriteProperty("Search_Recordsource", Variant(m_Search_RecordSource), kEmptyText);
}

void KivUni::Resize() {
  if (m_inResize) return;  // our own size changes below re-enter; this run goes on with them
  FlagGuard guard(m_inResize);
  TextBox& t = *m_txtText1;
  CommandButton& b = *m_cmdFunction;

  IgnoreErrors([&] {
    if (DefaultSizeFlag::Take()) {
      Width(kDefaultWidth);
      Height(kDefaultHeight);
    }
  });
  IgnoreErrors([&] {
    if (Height() < kMinimumHeight) Height(kMinimumHeight);
    if (Width() < kMinimumWidth) Width(kMinimumWidth);
  });
  IgnoreErrors([&] {
    t.Top(0);
    t.Left(0);
  });
  IgnoreErrors([&] {
    b.Left(Width() - b.Width());
    b.Top(t.Top());
  });
  IgnoreErrors([&] {
    if (m_Type_Of_Control == tocDate || m_Type_Of_LookUp == tolLookUp_Code) {
      t.Width(Width() - (b.Width() + kButtonGap));
    } else {
      t.Width(Width());
    }
  });
  IgnoreErrors([&] {
    t.Height(Height());
    b.Height(t.Height());
  });
}

// ---------------------------------------------------------------- late binding

const MemberTable& KivUni::memberTable() const {
  return Members();
}

const MemberTable& KivUni::Members() {
  using B = MemberTable::Builder<KivUni>;
  static const MemberTable table =
      B(&UserControl::Members())
          .set("DataSource_Uni",
               [](KivUni& u, const Variant& v) { u.DataSource_Uni(ObjectAs<Dispatch>(v)); })
          .property(
              "Type_Of_Control", [](KivUni& u) { return Variant(u.Type_Of_Control()); },
              [](KivUni& u, const Variant& v) { u.Type_Of_Control(CLng(v)); })
          .property(
              "Invalid_Data", [](KivUni& u) { return Variant(u.Invalid_Data()); },
              [](KivUni& u, const Variant& v) { u.Invalid_Data(CBool(v)); })
          .property(
              "Required_Field", [](KivUni& u) { return Variant(u.Required_Field()); },
              [](KivUni& u, const Variant& v) { u.Required_Field(CBool(v)); })
          .property(
              "Read_Only", [](KivUni& u) { return Variant(u.Read_Only()); },
              [](KivUni& u, const Variant& v) { u.Read_Only(CBool(v)); })
          .property(
              "Locked", [](KivUni& u) { return Variant(u.Locked()); },
              [](KivUni& u, const Variant& v) { u.Locked(CBool(v)); })
          .property(
              "Primary_Key_Field", [](KivUni& u) { return Variant(u.Primary_Key_Field()); },
              [](KivUni& u, const Variant& v) { u.Primary_Key_Field(CBool(v)); })
          .property(
              "AddNew_Mode", [](KivUni& u) { return Variant(u.AddNew_Mode()); },
              [](KivUni& u, const Variant& v) { u.AddNew_Mode(CBool(v)); })
          .property(
              "Password_Chr", [](KivUni& u) { return Variant(u.Password_Chr()); },
              [](KivUni& u, const Variant& v) { u.Password_Chr(CStr(v)); })
          .property(
              "Type_Of_LookUp", [](KivUni& u) { return Variant(u.Type_Of_LookUp()); },
              [](KivUni& u, const Variant& v) { u.Type_Of_LookUp(CLng(v)); })
          .property(
              "Text", [](KivUni& u) { return Variant(u.Text()); },
              [](KivUni& u, const Variant& v) { u.Text(CStr(v)); })
          .property(
              "Read_Only_Field_Colour",
              [](KivUni& u) { return Variant(u.Read_Only_Field_Colour()); },
              [](KivUni& u, const Variant& v) { u.Read_Only_Field_Colour(CLng(v)); })
          .property(
              "Required_Field_Colour", [](KivUni& u) { return Variant(u.Required_Field_Colour()); },
              [](KivUni& u, const Variant& v) { u.Required_Field_Colour(CLng(v)); })
          .property(
              "Normal_Field_Colour", [](KivUni& u) { return Variant(u.Normal_Field_Colour()); },
              [](KivUni& u, const Variant& v) { u.Normal_Field_Colour(CLng(v)); })
          .property(
              "Error_Field_Colour", [](KivUni& u) { return Variant(u.Error_Field_Colour()); },
              [](KivUni& u, const Variant& v) { u.Error_Field_Colour(CLng(v)); })
          .property(
              "Use_Internal_LookUp_Form",
              [](KivUni& u) { return Variant(u.Use_Internal_LookUp_Form()); },
              [](KivUni& u, const Variant& v) { u.Use_Internal_LookUp_Form(CBool(v)); })
          .property(
              "Filter", [](KivUni& u) { return Variant(u.Filter()); },
              [](KivUni& u, const Variant& v) { u.Filter(CStr(v)); })
          .property(
              "Search_RecordSource", [](KivUni& u) { return Variant(u.Search_RecordSource()); },
              [](KivUni& u, const Variant& v) { u.Search_RecordSource(CStr(v)); })
          .property(
              "Data_Field", [](KivUni& u) { return Variant(u.Data_Field()); },
              [](KivUni& u, const Variant& v) { u.Data_Field(CStr(v)); })
          .objectProperty(
              "Search_Control", [](KivUni& u) { return Variant(u.Search_Control()); },
              [](KivUni& u, const Variant& v) { u.Search_Control(ObjectAs<Dispatch>(v)); })
          .property(
              "Source_Code_Field", [](KivUni& u) { return Variant(u.Source_Code_Field()); },
              [](KivUni& u, const Variant& v) { u.Source_Code_Field(CStr(v)); })
          .property(
              "Source_Table", [](KivUni& u) { return Variant(u.Source_Table()); },
              [](KivUni& u, const Variant& v) { u.Source_Table(CStr(v)); })
          .objectProperty(
              "Source_Connection",
              [](KivUni& u) {
                return u.Source_Connection() ? Variant(u.Source_Connection()) : Variant::Nothing();
              },
              [](KivUni& u, const Variant& v) {
                auto connection = ObjectAs<Connection>(v);
                if (!connection && !v.isEmpty() && !v.isNothing()) {
                  throw Error(err::TypeMismatch, "KivUni");
                }
                u.Source_Connection(std::move(connection));
              })
          .property(
              "MaxLength", [](KivUni& u) { return Variant(u.MaxLength()); },
              [](KivUni& u, const Variant& v) { u.MaxLength(CLng(v)); })
          .property(
              "FriendlyNames", [](KivUni& u) { return u.FriendlyNames(); },
              [](KivUni& u, const Variant& v) { u.FriendlyNames(v); })
          .method("BlankControl",
                  [](KivUni& u, B::Args&) {
                    u.BlankControl();
                    return Variant();
                  })
          .method("cmdFunction_Click",
                  [](KivUni& u, B::Args&) {
                    u.cmdFunction_Click();
                    return Variant();
                  })
          .build();
  return table;
}

}  // namespace kiv
