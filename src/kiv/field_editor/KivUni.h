#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "kiv/host/UserControl.h"
#include "kiv/runtime/Dispatch.h"
#include "kiv/runtime/Event.h"
#include "kiv/runtime/Variant.h"

namespace kiv {

class CheckBox;
class CommandButton;
class Connection;
class PropertyBag;
class TextBox;

// The kind of field a field editor shows. Stored as a plain 32-bit value: a
// value outside the enumeration is kept as passed and shows as a text type.
enum Type_Of_Control : std::int32_t { tocText = 0, tocNumber = 1, tocDate = 2, tocCheck = 3 };

// Whether a field editor holds a code that must exist in a reference table.
enum Type_Of_LookUp : std::int32_t { tolNo_LookUp = 0, tolLookUp_Code = 1 };

// The field editor: shows and edits one field of a record as a text box (text,
// number or date) or as a check box, with an optional lookup button at its
// right edge (a code lookup through a search launcher, or a calendar for
// dates). It validates what the user typed, colours itself by state (normal,
// required, read-only, error), persists its settings in the host's property
// bag and answers the form controller's field-control contract (Text,
// BlankControl, Read_Only, Locked, AddNew_Mode, Invalid_Data, Data_Field).
//
// Inner widgets: txtText1 (text box), cmdFunction (lookup button),
// chkCheck1 (check box).
//
// Choices worth knowing:
// - The code check places the typed code in its statement safely: a text
//   code between quotes with every quote doubled; a number code only when
//   the text reads as a number, written in canonical form ('.' decimals),
//   otherwise the code is invalid without a query. No typed text can change
//   the statement.
// - A lookup started by the editor's own widgets (the button, Ctrl+F, leaving
//   the box after a press on the button) that fails is reported in a message
//   box titled "KivUni" and leaves Text unchanged; host code calling
//   cmdFunction_Click receives the kiv::Error itself.
// - The calendar closed in any way other than a pick or Escape leaves Text
//   unchanged.
// - A loaded editor shows its stored text (or check state) and password mask.
class KivUni : public UserControl {
 public:
  // Dispatch numbers of the events, as the event interface numbers them.
  enum EventId : std::int32_t {
    idKeyDown = 1,
    idChange = 2,
    idClick = 3,
    idDblClick = 4,
    idKeyPress = 5,
    idKeyUp = 6,
    idMouseDown = 7,
    idMouseUp = 8,
    idDataChanged = 9,
    idLookUp = 10,
  };

  // Default colours.
  static constexpr std::int32_t kDefaultReadOnlyColour = static_cast<std::int32_t>(0x8000000F);
  static constexpr std::int32_t kDefaultRequiredColour = 0xFFFF00;
  static constexpr std::int32_t kDefaultNormalColour = static_cast<std::int32_t>(0x80000005);
  static constexpr std::int32_t kDefaultErrorColour = 255;

  KivUni();
  ~KivUni() override;
  KivUni(const KivUni&) = delete;
  KivUni& operator=(const KivUni&) = delete;

  // A new editor as the host places it: the inner widgets, then InitProperties.
  static std::shared_ptr<KivUni> Create();

  std::string_view TypeName() const override { return "KivUni"; }
  const MemberTable& memberTable() const override;
  static const MemberTable& Members();

  // ---- Properties, in the order of the type library ----

  // Write only: sets the extender's DataSource (the host's own data binding).
  void DataSource_Uni(const std::shared_ptr<Dispatch>& source);

  std::int32_t Type_Of_Control() const { return m_Type_Of_Control; }
  void Type_Of_Control(std::int32_t value);

  // Reading recomputes validity (and paints the error colour when invalid).
  bool Invalid_Data();
  void Invalid_Data(bool value);

  bool Required_Field() const { return m_Required_Field; }
  void Required_Field(bool value);

  bool Read_Only() const { return m_Read_Only; }
  void Read_Only(bool value);

  bool Locked() const { return m_Locked; }
  void Locked(bool value);

  bool Primary_Key_Field() const { return m_Primary_Key_Field; }
  void Primary_Key_Field(bool value);

  bool AddNew_Mode() const { return m_AddNew_Mode; }
  void AddNew_Mode(bool value);

  const std::string& Password_Chr() const { return m_Password_Chr; }
  void Password_Chr(std::string value);

  std::int32_t Type_Of_LookUp() const { return m_Type_Of_LookUp; }
  void Type_Of_LookUp(std::int32_t value);

  const std::string& Text() const { return m_Text; }
  void Text(std::string value);

  std::int32_t Read_Only_Field_Colour() const { return m_Read_Only_Field_Colour; }
  void Read_Only_Field_Colour(std::int32_t value);
  std::int32_t Required_Field_Colour() const { return m_Required_Field_Colour; }
  void Required_Field_Colour(std::int32_t value);
  std::int32_t Normal_Field_Colour() const { return m_Normal_Field_Colour; }
  void Normal_Field_Colour(std::int32_t value);
  std::int32_t Error_Field_Colour() const { return m_Error_Field_Colour; }
  void Error_Field_Colour(std::int32_t value);

  bool Use_Internal_LookUp_Form() const { return m_Use_Internal_LookUp_Form; }
  void Use_Internal_LookUp_Form(bool value);

  const std::string& Filter() const { return m_Filter; }
  void Filter(std::string value);

  const std::string& Search_RecordSource() const { return m_Search_RecordSource; }
  void Search_RecordSource(std::string value);

  const std::string& Data_Field() const { return m_Data_Field; }
  void Data_Field(std::string value);

  // The search launcher (a KivSearch) that runs the lookup dialog.
  const std::shared_ptr<Dispatch>& Search_Control() const { return m_Search_Control; }
  void Search_Control(std::shared_ptr<Dispatch> value);

  // Reads as Data_Field when never set. The three Source_ writes are refused
  // (kLibraryError, source "KivUni") unless Type_Of_LookUp is tolLookUp_Code.
  std::string Source_Code_Field() const;
  void Source_Code_Field(std::string value);
  const std::string& Source_Table() const { return m_Source_Table; }
  void Source_Table(std::string value);
  const std::shared_ptr<Connection>& Source_Connection() const { return m_Source_Connection; }
  void Source_Connection(std::shared_ptr<Connection> value);

  // The text box's maximum length (0: no limit); the value lives in the text box.
  std::int32_t MaxLength() const;
  void MaxLength(std::int32_t value);

  // Column captions for the lookup dialog: no array, or a 2-D array of texts.
  const Variant& FriendlyNames() const { return m_FriendlyNames; }
  void FriendlyNames(Variant value);

  // ---- Methods ----

  // Back to the empty state; raises DataChanged("", False).
  void BlankControl();
  // The lookup: the calendar for a date editor, the LookUp event or the
  // search launcher for a code editor. Also the lookup button's click.
  void cmdFunction_Click();

  // ---- Life cycle (host notifications) ----
  void InitProperties() override;
  void ReadProperties(PropertyBag& bag) override;
  void WriteProperties(PropertyBag& bag) override;
  void Resize() override;

  // ---- Events ----
  struct Events {
    Event<std::int16_t, std::int16_t> KeyDown;  // KeyCode, Shift
    Event<> Change;
    Event<> Click;
    Event<> DblClick;
    Event<std::int16_t> KeyPress;                               // KeyAscii
    Event<std::int16_t, std::int16_t> KeyUp;                    // KeyCode, Shift
    Event<std::int16_t, std::int16_t, float, float> MouseDown;  // Button, Shift, X, Y
    Event<std::int16_t, std::int16_t, float, float> MouseUp;    // Button, Shift, X, Y
    Event<std::string, bool> DataChanged;                       // strNew_Value, booInvalid_Data
    Event<> LookUp;
  } events;

  // ---- Inner widgets (for the host's peers and for driving input) ----
  TextBox& txtText1() const { return *m_txtText1; }
  CommandButton& cmdFunction() const { return *m_cmdFunction; }
  CheckBox& chkCheck1() const { return *m_chkCheck1; }

 private:
  void createWidgets();
  void Refresh_Control_State();
  // The widgets' visibility, colours and locks for the current state (the
  // refresh without its layout).
  void applyState();
  bool funData_Invalid();
  bool funCode_Not_OK();
  void refuseUnlessLookUp(const char* description) const;
  void raiseDataChanged(std::string value);

  // Widget handlers.
  void txtText1_Change();
  void txtText1_GotFocus();
  void txtText1_KeyDown(std::int16_t& keyCode, std::int16_t& shift);
  void txtText1_LostFocus();
  void chkCheck1_Click();
  void chkCheck1_LostFocus();
  void cmdFunction_MouseDown();
  // Runs a lookup started by a widget event: a failure is reported in a
  // message box and never reaches the host's event loop.
  void lookUpFromEvent();

  std::shared_ptr<TextBox> m_txtText1;
  std::shared_ptr<CommandButton> m_cmdFunction;
  std::shared_ptr<CheckBox> m_chkCheck1;

  std::int32_t m_Type_Of_Control = tocText;
  bool m_Invalid_Data = false;
  bool m_Required_Field = false;
  bool m_Read_Only = false;
  bool m_Locked = false;
  bool m_Primary_Key_Field = false;
  bool m_AddNew_Mode = false;
  std::string m_Password_Chr;
  std::int32_t m_Type_Of_LookUp = tolNo_LookUp;
  std::string m_Text;
  std::int32_t m_Read_Only_Field_Colour = kDefaultReadOnlyColour;
  std::int32_t m_Required_Field_Colour = kDefaultRequiredColour;
  std::int32_t m_Normal_Field_Colour = kDefaultNormalColour;
  std::int32_t m_Error_Field_Colour = kDefaultErrorColour;
  bool m_Use_Internal_LookUp_Form = true;
  std::string m_Filter;
  std::string m_Search_RecordSource;
  std::string m_Data_Field;
  std::shared_ptr<Dispatch> m_Search_Control;
  std::string m_Source_Code_Field;
  std::string m_Source_Table;
  std::shared_ptr<Connection> m_Source_Connection;
  Variant m_FriendlyNames = Variant(std::int16_t{0});

  bool booLookUp_Pending = false;
  bool m_inResize = false;
  bool m_loading = false;
  bool m_pressLookedUp = false;  // the button press's lookup ran from the lost focus
  bool m_skipNextClick = false;  // ... so the click ending that press is passed over  // restoring
                                 // from a bag: widget changes are not announced
};

}  // namespace kiv
