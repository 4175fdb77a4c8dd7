#include "kiv/description_grid/KivDesc.h"

#include "kiv/data/AdoTypes.h"
#include "kiv/data/Connection.h"
#include "kiv/data/Field.h"
#include "kiv/data/Recordset.h"
#include "kiv/field_editor/DefaultSizeFlag.h"
#include "kiv/field_editor/KivUni.h"
#include "kiv/host/ColourValue.h"
#include "kiv/host/Host.h"
#include "kiv/host/TextBox.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"
#include "kiv/runtime/PropertyBag.h"
#include "kiv/shared/Functions.h"
#include "kiv/shared/SqlLiteral.h"

namespace kiv {

namespace {

constexpr const char* kLookUpSource = "LookUp Control";

const Variant kEmptyText = Variant(std::string());
const Variant kTrue = Variant(true);
const Variant kDefaultColour = Variant(KivDesc::kDefaultFieldColour);

}  // namespace

KivDesc::KivDesc() : UserControl("KivDesc1") {
  m_txtText1 = std::make_shared<TextBox>("txtText1");
  m_txtText1->TabIndex(0);
  addConstituent(m_txtText1);

  auto& t = m_txtText1->events;
  t.Change.connect([this] { events.Change.raise(); });
  t.Click.connect([this] { events.Click.raise(); });
  t.DblClick.connect([this] { events.DblClick.raise(); });
  t.KeyDown.connect([this](std::int16_t& k, std::int16_t& s) { events.KeyDown.raise(k, s); });
  t.KeyPress.connect([this](std::int16_t& a) { events.KeyPress.raise(a); });
  t.KeyUp.connect([this](std::int16_t& k, std::int16_t& s) { events.KeyUp.raise(k, s); });
  t.MouseDown.connect([this](std::int16_t& b, std::int16_t& s, float& x, float& y) {
    events.MouseDown.raise(b, s, x, y);
  });
  t.MouseUp.connect([this](std::int16_t& b, std::int16_t& s, float& x, float& y) {
    events.MouseUp.raise(b, s, x, y);
  });
  Apply_Field_Appearance();
}

KivDesc::~KivDesc() {
  // The editor may outlive the display: its event must not call back here.
  unlink();
}

std::shared_ptr<KivDesc> KivDesc::Create() {
  auto desc = std::make_shared<KivDesc>();
  desc->InitProperties();
  desc->layout();
  return desc;
}

// ---------------------------------------------------------------- properties

void KivDesc::unlink() {
  if (m_Linked_LookUp_Control) {
    m_Linked_LookUp_Control->events.DataChanged.disconnect(m_linkSubscription);
  }
  m_Linked_LookUp_Control.reset();
  m_linkSubscription = 0;
}

void KivDesc::Linked_LookUp_Control(std::shared_ptr<KivUni> editor) {
  unlink();
  m_Linked_LookUp_Control = std::move(editor);
  if (m_Linked_LookUp_Control) {
    m_linkSubscription = m_Linked_LookUp_Control->events.DataChanged.connect(
        [this](std::string& value, bool& invalid) {
          m_Linked_LookUp_Control_DataChanged(value, invalid);
        });
  }
  PropertyChanged("Linked_LookUp_Control");
  Description_Field("");
  Description_Table("");
  Source_Code_Field("");
  Filter("");
  Text("");
}

void KivDesc::Description_Table(std::string value) {
  m_Description_Table = std::move(value);
  PropertyChanged("Description_Table");
}

void KivDesc::Description_Field(std::string value) {
  m_Description_Field = std::move(value);
  PropertyChanged("Description_Field");
}

void KivDesc::Source_Code_Field(std::string value) {
  m_Source_Code_Field = std::move(value);
  PropertyChanged("Source_Code_Field");
}

void KivDesc::Filter(std::string value) {
  m_Filter = std::move(value);
  PropertyChanged("Filter");
}

const std::string& KivDesc::Text() const {
  return m_txtText1->Text();
}

void KivDesc::Text(std::string value) {
  m_txtText1->Text(value);
  PropertyChanged("Text");
}

void KivDesc::Field_Colour(std::int32_t value) {
  m_Field_Colour = value;
  PropertyChanged("Field_Colour");
  Apply_Field_Appearance();
}

void KivDesc::Field_Locked(bool value) {
  m_Field_Locked = value;
  PropertyChanged("Field_Locked");
  Apply_Field_Appearance();
}

void KivDesc::Apply_Field_Appearance() {
  m_txtText1->BackColor(m_Field_Colour);
  m_txtText1->Locked(m_Field_Locked);
}

// ---------------------------------------------------------------- lookup

void KivDesc::m_Linked_LookUp_Control_DataChanged(const std::string& strNew_Value,
                                                  bool booInvalid_Data) {
  // Either way the text box raises Change when the shown text changes.
  m_txtText1->Text(booInvalid_Data ? std::string() : funDescription_Text(strNew_Value));
}

std::string KivDesc::funDescription_Text(const std::string& strCode) {
  std::string sql;
  // The editor stays alive while the lookup runs, even if a handler unlinks it.
  const std::shared_ptr<KivUni> editor = m_Linked_LookUp_Control;
  if (!editor) return {};
  try {
    const auto& connection = editor->Source_Connection();
    if (!connection || connection->State() != adStateOpen) return {};

    const std::string codeField = editor->Source_Code_Field();  // else its Data_Field
    if (codeField.empty()) {
      throw Error(kLibraryError, kLookUpSource,
                  "Reference source code field has not been set (or could not be determined).");
    }
    if (editor->Source_Table().empty()) {
      throw Error(kLibraryError, kLookUpSource,
                  "Reference source table has not been set (or could not be determined).");
    }
    if (m_Description_Table.empty()) Description_Table(editor->Source_Table());
    sql = "SELECT " + m_Description_Field + " FROM " + m_Description_Table;
    if (m_Source_Code_Field.empty()) Source_Code_Field(codeField);

    // An empty code, a number code that is no number, and the other kinds of
    // editor show nothing, without a query.
    if (strCode.empty()) return {};
    std::string condition;
    switch (editor->Type_Of_Control()) {
      case tocText:
        condition = m_Source_Code_Field + " = " + SqlQuotedText(strCode);
        break;
      case tocNumber: {
        const auto number = SqlNumber(strCode);
        if (!number) return {};
        condition = m_Source_Code_Field + " = " + *number;
        break;
      }
      default:
        return {};
    }
    sql = AddWhereCondition(sql, condition);
    sql = AddWhereCondition(sql, m_Filter);

    auto rs = std::make_shared<Recordset>();
    rs->CursorLocation(adUseClient);
    rs->Open(sql, connection, adOpenKeyset, adLockReadOnly, adCmdUnspecified);
    if (rs->EOF()) return {};
    return TextOf((*rs)[m_Description_Field].Value());
  } catch (const Error& e) {
    Host::Current().MsgBox(
        "The following occurred while fetching description data (funDescription_Text): \r\n" +
            std::to_string(e.number()) + " - " + e.description() + "\r\nSQL: " + sql +
            "\r\nControl: " + Extender().Name(),
        vb::vbCritical | vb::vbOKOnly, "KivUni");
    return {};
  }
}

// ---------------------------------------------------------------- life cycle

void KivDesc::InitProperties() {
  m_Field_Locked = true;
  m_Field_Colour = kDefaultFieldColour;
  m_Source_Code_Field.clear();
  m_Description_Field.clear();
  m_Description_Table.clear();
  m_Filter.clear();
  m_txtText1->Text("");
  Apply_Field_Appearance();
  DefaultSizeFlag::Set();
}

void KivDesc::ReadProperties(PropertyBag& bag) {
  auto text = [&](const char* name) { return TextOf(bag.ReadProperty(name, kEmptyText)); };
  m_Field_Colour = CLng(bag.ReadProperty("Field_Colour", kDefaultColour));
  m_Field_Locked = CBool(bag.ReadProperty("Field_Locked", kTrue));
  m_Source_Code_Field = text("Source_Code_Field");
  m_Description_Field = text("Description_Field");
  m_Description_Table = text("Description_Table");
  m_Filter = text("Filter");
  m_txtText1->Text(text("Text"));
  Apply_Field_Appearance();
}

void KivDesc::WriteProperties(PropertyBag& bag) {
  bag.WriteProperty("Field_Colour", Variant(m_Field_Colour), kDefaultColour);
  bag.WriteProperty("Field_Locked", Variant(m_Field_Locked), kTrue);
  bag.WriteProperty("Source_Code_Field", Variant(m_Source_Code_Field), kEmptyText);
  bag.WriteProperty("Description_Field", Variant(m_Description_Field), kEmptyText);
  bag.WriteProperty("Description_Table", Variant(m_Description_Table), kEmptyText);
  bag.WriteProperty("Filter", Variant(m_Filter), kEmptyText);
  bag.WriteProperty("Text", Variant(m_txtText1->Text()), kEmptyText);
  Apply_Field_Appearance();
}

void KivDesc::Resize() {
  if (m_inResize) return;  // our own size changes below re-enter; this run goes on with them
  m_inResize = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{m_inResize};
  IgnoreErrors([&] {
    if (DefaultSizeFlag::Take()) {
      Width(kDefaultWidth);
      Height(kMinimumHeight);
    }
  });
  IgnoreErrors([&] {
    if (Height() < kMinimumHeight) Height(kMinimumHeight);
    if (Width() < kMinimumWidth) Width(kMinimumWidth);
  });
  IgnoreErrors([&] { m_txtText1->Move(0, 0, Width(), Height()); });
}

// ---------------------------------------------------------------- late binding

const MemberTable& KivDesc::memberTable() const {
  return Members();
}

const MemberTable& KivDesc::Members() {
  using B = MemberTable::Builder<KivDesc>;
  static const MemberTable table =
      B(&UserControl::Members())
          .objectProperty(
              "Linked_LookUp_Control",
              [](KivDesc& d) {
                return d.Linked_LookUp_Control() ? Variant(d.Linked_LookUp_Control())
                                                 : Variant::Nothing();
              },
              [](KivDesc& d, const Variant& v) {
                auto editor = ObjectAs<KivUni>(v);
                if (!editor && !v.isEmpty() && !v.isNothing()) {
                  throw Error(err::TypeMismatch, "KivDesc",
                              "Type mismatch: Linked_LookUp_Control needs a field editor "
                              "(KivUni), not a " +
                                  std::string(v.object()->TypeName()));
                }
                d.Linked_LookUp_Control(std::move(editor));
              })
          .property(
              "Description_Table", [](KivDesc& d) { return Variant(d.Description_Table()); },
              [](KivDesc& d, const Variant& v) { d.Description_Table(CStr(v)); })
          .property(
              "Description_Field", [](KivDesc& d) { return Variant(d.Description_Field()); },
              [](KivDesc& d, const Variant& v) { d.Description_Field(CStr(v)); })
          .property(
              "Source_Code_Field", [](KivDesc& d) { return Variant(d.Source_Code_Field()); },
              [](KivDesc& d, const Variant& v) { d.Source_Code_Field(CStr(v)); })
          .property(
              "Filter", [](KivDesc& d) { return Variant(d.Filter()); },
              [](KivDesc& d, const Variant& v) { d.Filter(CStr(v)); })
          .property(
              "Text", [](KivDesc& d) { return Variant(d.Text()); },
              [](KivDesc& d, const Variant& v) { d.Text(CStr(v)); })
          .property(
              "Field_Colour", [](KivDesc& d) { return Variant(d.Field_Colour()); },
              [](KivDesc& d, const Variant& v) { d.Field_Colour(ColourValue(v)); })
          .property(
              "Field_Locked", [](KivDesc& d) { return Variant(d.Field_Locked()); },
              [](KivDesc& d, const Variant& v) { d.Field_Locked(CBool(v)); })
          .build();
  return table;
}

}  // namespace kiv
