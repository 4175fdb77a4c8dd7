#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "kiv/host/UserControl.h"
#include "kiv/runtime/Dispatch.h"
#include "kiv/runtime/Event.h"
#include "kiv/runtime/Variant.h"

namespace kiv {

class CommandButton;
class Connection;
class Control;
class Error;
class Field;
class PropertyBag;
class Recordset;

// The direction of a move of the form's record set.
enum MoveEnum : std::int32_t { mvFirst = 0, mvPrevious = 1, mvNext = 2, mvLast = 3 };

// What the user may do on a screen.
enum SecurityEnum : std::int32_t { scNoView = 0, scViewOnly = 1, scEdit = 2 };

// The form controller: turns the host form it sits on into a record
// maintenance screen. It builds the form's SELECT statement from a table, a
// field list, a filter and an order, opens the record set on the connection
// the application hands it, and fills the form's bound controls from the
// current record. Its bar of picture buttons (first, previous, next, last,
// add or undo add, delete, save, search) and their Ctrl shortcuts drive
// navigation and editing; around every action it raises cancellable events,
// asks whether to save changed data, refuses invalid data and follows the
// security level (no view, view only, edit).
//
// The controller keeps no list of fields: whenever it needs them it walks the
// controls of its parent form in the form's order, and talks to each one by
// member name (field editors through Text, BlankControl, Read_Only, Locked,
// AddNew_Mode and Invalid_Data; text boxes, combo boxes and check boxes
// through their own members). A control is bound when it names a field
// (Data_Field, else DataField).
//
// Check boxes: a box is checked for a non-zero field value and cleared for
// zero (or Null). Saving writes a check-box field only when the box's state
// differs from the state its value maps to, so a stored -1 or 5 survives a
// load and an unchanged save; a new record takes every box as shown (a
// cleared box is 0, never Null).
//
// Saving writes only what the user changed: the controller remembers the
// text each bound control showed when it last filled or blanked the
// controls, and a control still showing it leaves its field alone, so an
// untouched field keeps its stored value exactly (all its decimals, a Null,
// the time of day) however the control shows it. Such a control also does
// not count as a change when leaving the record.
//
// Leaving a record: when the user chooses not to save (or the data needs no
// saving), any edit still pending in the record set is dropped, so the record
// set never saves it behind the user's back; when a save on leaving fails,
// the user stays on the record with the typed values, and the failed edit
// counts as a change until it is saved or dropped.
//
// Values placed in SQL text or find criteria are quoted safely (a quote is
// doubled, a number written in its canonical form); a search with several
// return fields locates the record that matches all of them.
//
// Every button click and shortcut is an event boundary: a kiv::Error raised
// by an action is reported in a message box (critical icon, title "Error",
// the description followed by " (" number ")."), never passed to the host.
//
// Inner widgets: cmdFirst, cmdPrevious, cmdNext, cmdLast, cmdAdd, cmdUndoAdd,
// cmdDelete, cmdSave, cmdSearch (graphical buttons whose Picture names a
// resource: "kiv/first.png", ...).
class KivFormControl : public UserControl {
 public:
  // The fixed ratio of the bar's width to its height (square buttons).
  static constexpr double kWidthPerHeight = 9.1954;
  // A new control's height, in twips.
  static constexpr double kInitialHeight = 365;

  KivFormControl();
  ~KivFormControl() override;
  KivFormControl(const KivFormControl&) = delete;
  KivFormControl& operator=(const KivFormControl&) = delete;

  // A new controller as the host places it: the buttons, then InitProperties.
  static std::shared_ptr<KivFormControl> Create();

  std::string_view TypeName() const override { return "KivFormControl"; }
  const MemberTable& memberTable() const override;
  static const MemberTable& Members();

  // ---- Properties ----
  const std::string& Source_Table() const { return m_Source_Table; }
  void Source_Table(std::string value);
  const std::string& Source_Fields() const { return m_Source_Fields; }
  void Source_Fields(std::string value);
  const std::string& Filter() const { return m_Filter; }
  void Filter(std::string value);
  const std::string& SearchReturnFields() const { return m_SearchReturnFields; }
  void SearchReturnFields(std::string value);
  const std::string& Search_RecordSource() const { return m_Search_RecordSource; }
  void Search_RecordSource(std::string value);
  const std::string& FieldNameTranslatorTable() const { return m_FieldNameTranslatorTable; }
  void FieldNameTranslatorTable(std::string value);
  // Stored only: no change notification, no other effect.
  std::int32_t SecurityLevel() const { return m_SecurityLevel; }
  void SecurityLevel(std::int32_t value);
  bool AddNewMode() const { return m_AddNewMode; }
  void AddNewMode(bool value);
  std::int32_t CursorLocation() const { return m_CursorLocation; }
  void CursorLocation(std::int32_t value);
  std::int32_t LockType() const { return m_LockType; }
  void LockType(std::int32_t value);
  std::int32_t CursorType() const { return m_CursorType; }
  void CursorType(std::int32_t value);
  const std::shared_ptr<Connection>& Source_Connection() const { return m_Source_Connection; }
  void Source_Connection(std::shared_ptr<Connection> value);
  // The search launcher (a KivSearch), reached by member name.
  const std::shared_ptr<Dispatch>& SearchControl() const { return m_SearchControl; }
  void SearchControl(std::shared_ptr<Dispatch> value);
  const std::shared_ptr<Recordset>& Form_Recordset() const { return m_Form_Recordset; }
  void Form_Recordset(std::shared_ptr<Recordset> value);

  // ---- Record source ----
  // The form's SELECT statement.
  std::string SourceSQL() const;
  // Opens the form's record set; true when it reached the open state. The
  // overload with strError writes the reason of a failure into it.
  bool OpenRecordset();
  bool OpenRecordset(std::string& strError);

  // ---- The form's field controls ----
  void PopulateControls();
  void BlankControls();
  void ForceControlsReadOnly();
  void LockUnlockControls(bool booLock);
  bool DataHasChanged();
  bool DataIsValid();

  // ---- Navigation and editing ----
  void MoveRecordset(std::int32_t mvDirection);
  void Add();
  void UndoAdd();
  void Delete();
  void Save();
  bool UpdateRecordset();

  // ---- Button bar ----
  // One character per position (1 first ... 8 search; 5 drives add and undo
  // add): a non-zero digit enables, anything else disables. The security
  // level's restrictions are applied afterwards.
  void EnableDisableButtons(std::string_view strBitSwitch);

  // ---- Search ----
  void Search();
  void FindSearchRecord(const Variant& varSearchValues, const std::string& strSearchFields);
  // The friendly name of one field (a text), or for "*" the friendly-name
  // table of the whole table (rows of field name, friendly name).
  Variant GetFriendlyFieldNames(const std::string& strTable, const std::string& strField);

  // ---- Life cycle ----
  void InitProperties() override;
  void ReadProperties(PropertyBag& bag) override;
  void WriteProperties(PropertyBag& bag) override;
  void Resize() override;

  // ---- Events ----
  struct Events {
    Event<bool> BeforeMove;        // CancelMove
    Event<bool> RecordWillChange;  // PromptForSave
    Event<bool> DataIsInvalid;     // IgnoreInvalidData
    Event<bool, bool> Save;        // CancelSave, ValidateData
    Event<> AfterSave;
    Event<> AfterMove;
    Event<bool> Add;  // CancelAdd
    Event<> AfterAdd;
    Event<bool> UndoAdd;  // CancelUndoAdd
    Event<> AfterUndoAdd;
    Event<bool> Delete;  // CancelDelete
    Event<> AfterDelete;
    Event<bool> Search;  // CancelSearch
    Event<> AfterSearch;
    Event<std::int16_t, std::int16_t> KeyDown;  // KeyCode, Shift
  } events;

  // ---- Inner widgets ----
  CommandButton& cmdFirst() const { return *buttons_[0]; }
  CommandButton& cmdPrevious() const { return *buttons_[1]; }
  CommandButton& cmdNext() const { return *buttons_[2]; }
  CommandButton& cmdLast() const { return *buttons_[3]; }
  CommandButton& cmdAdd() const { return *buttons_[4]; }
  CommandButton& cmdUndoAdd() const { return *buttons_[5]; }
  CommandButton& cmdDelete() const { return *buttons_[6]; }
  CommandButton& cmdSave() const { return *buttons_[7]; }
  CommandButton& cmdSearch() const { return *buttons_[8]; }

  // Conversions between a control's text and a field's value, by the field's
  // type category (exposed for tests and for the host's own screens).
  static bool TextDiffersFromField(Field& field, const std::string& text);
  static Variant TextToFieldValue(Field& field, const std::string& text);

 private:
  enum class Kind { FieldEditor, TextBox, ComboBox, CheckBox, Other };
  static Kind KindOf(Control& control);
  template <class F>
  void walk(F&& visit);

  bool openRecordset(std::string* strError);
  // The form's record set, error 91 when there is none. Callers hold the
  // reference while they work: an event handler may replace the record set.
  std::shared_ptr<Recordset> recordset() const;
  bool noCurrentRecord() const;
  void lockByCurrentRecord();  // locks unless scEdit and a current record

  // Remembers the text of every bound control but check boxes (see the
  // class comment); whether a control's text is no longer what it showed.
  void rememberShownTexts();
  // After a conflict: the values the record set read again, in the controls
  // the user did not change.
  void showValuesReadAgain();
  bool userChanged(Control& control, const std::string& text) const;

  bool ConfirmLeaveRecord();
  void discardPendingEdit();
  void runMoveStep(std::int32_t mvDirection);
  void moveFirstStep();
  void movePreviousStep();
  void moveNextStep();
  void moveLastStep();

  void createButtons();
  void buttonClick(int index);
  void buttonKeyDown(int index, std::int16_t& keyCode, std::int16_t& shift);
  void runAction(int index);
  static void ReportError(const Error& error);

  std::array<std::shared_ptr<CommandButton>, 9> buttons_;

  std::string m_Source_Table;
  std::string m_Source_Fields;
  std::string m_Filter;
  std::string m_SearchReturnFields;
  std::string m_Search_RecordSource;
  std::string m_FieldNameTranslatorTable;
  std::int32_t m_SecurityLevel = scNoView;
  bool m_AddNewMode = false;
  std::int32_t m_CursorLocation = 3;
  std::int32_t m_LockType = 3;
  std::int32_t m_CursorType = 3;
  std::shared_ptr<Connection> m_Source_Connection;
  std::shared_ptr<Dispatch> m_SearchControl;
  std::shared_ptr<Recordset> m_Form_Recordset;

  // By-reference event arguments, set just before each raise.
  bool CancelMove = false;
  bool PromptForSave = true;
  bool IgnoreInvalidData = false;
  bool ValidateData = true;
  bool CancelSave = false;
  bool CancelAdd = false;
  bool CancelUndoAdd = false;
  bool CancelDelete = false;
  bool CancelSearch = false;

  // A save of the current record failed and its edit is still pending: the
  // record counts as changed until it is saved or discarded.
  bool saveFailed_ = false;

  std::map<std::weak_ptr<Dispatch>, std::string, std::owner_less<std::weak_ptr<Dispatch>>>
      shownTexts_;
};

}  // namespace kiv
