// The controller's actions: navigation with the leave-record confirmation,
// add, undo add, delete, save, and the search through a search launcher.

#include <charconv>
#include <string>
#include <vector>

#include "kiv/data/AdoTypes.h"
#include "kiv/data/Field.h"
#include "kiv/data/Recordset.h"
#include "kiv/form_controller/KivFormControl.h"
#include "kiv/host/CommandButton.h"
#include "kiv/host/Host.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"
#include "kiv/shared/Functions.h"

namespace kiv {

namespace {

constexpr char kSaveTitle[] = "Save";

std::string Quoted(std::string_view value) {
  std::string out;
  for (char c : value) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

// Splits at every comma, keeping the parts as they are.
std::vector<std::string> SplitAtCommas(const std::string& text) {
  std::vector<std::string> parts;
  std::string::size_type start = 0;
  for (;;) {
    const auto comma = text.find(',', start);
    parts.push_back(text.substr(start, comma == std::string::npos ? comma : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return parts;
}

// A number as a find criterion writes it: "." decimals, shortest exact form.
std::string CanonicalNumber(double number) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
  return std::string(buffer, result.ptr);
}

}  // namespace

// ---------------------------------------------------------------- navigation

void KivFormControl::MoveRecordset(std::int32_t mvDirection) {
  if (noCurrentRecord()) return;
  CancelMove = false;
  events.BeforeMove.raise(CancelMove);
  if (CancelMove) return;
  if (!ConfirmLeaveRecord()) return;
  runMoveStep(mvDirection);
  PopulateControls();
  events.AfterMove.raise();
  AddNewMode(false);
  lockByCurrentRecord();
}

// Drops an edit of the current record that the user chose not to keep, so
// that the record set's move does not save it behind the user's back.
void KivFormControl::discardPendingEdit() {
  saveFailed_ = false;
  if (!m_Form_Recordset) return;
  IgnoreErrors([&] {
    if (m_Form_Recordset->EditMode() != adEditNone) m_Form_Recordset->CancelUpdate();
  });
}

bool KivFormControl::ConfirmLeaveRecord() {
  if (m_SecurityLevel == scViewOnly) {
    discardPendingEdit();
    return true;
  }
  if (!DataIsValid()) {
    IgnoreInvalidData = false;
    events.DataIsInvalid.raise(IgnoreInvalidData);
    if (!IgnoreInvalidData) {
      const int answer =
          Host::Current().MsgBox("You have entered invalid data, do you want discard all changes?",
                                 vb::vbYesNo, kSaveTitle);
      if (answer != vb::vbYes) return false;
    }
    discardPendingEdit();
    return true;
  }
  bool changed = DataHasChanged();
  // An edit whose save failed is still the user's unsaved work.
  if (!changed && saveFailed_) {
    IgnoreErrors([&] { changed = recordset()->EditMode() != adEditNone; });
  }
  if (!changed) {
    discardPendingEdit();
    return true;
  }
  PromptForSave = true;
  events.RecordWillChange.raise(PromptForSave);
  if (PromptForSave) {
    const int answer =
        Host::Current().MsgBox("Do you want to save your changes?", vb::vbYesNo, kSaveTitle);
    if (answer != vb::vbYes) {
      discardPendingEdit();
      return true;
    }
  }
  CancelSave = false;
  ValidateData = true;
  events.Save.raise(CancelSave, ValidateData);
  if (CancelSave) return false;
  // A failed save has shown its message; the user stays on the record with
  // the typed values, which a move would otherwise overwrite.
  return UpdateRecordset();
}

void KivFormControl::runMoveStep(std::int32_t mvDirection) {
  switch (mvDirection) {
    case mvFirst:
      moveFirstStep();
      break;
    case mvPrevious:
      movePreviousStep();
      break;
    case mvNext:
      moveNextStep();
      break;
    case mvLast:
      moveLastStep();
      break;
    default:
      break;
  }
}

// Each step moves, then clamps the record set back onto its first or last
// record, passing over failing calls.
void KivFormControl::moveFirstStep() {
  const std::shared_ptr<Recordset> keep = recordset();
  Recordset& rs = *keep;
  IgnoreErrors([&] { rs.MoveFirst(); });
  IgnoreErrors([&] {
    if (rs.BOF()) {
      rs.MoveFirst();
    } else if (rs.EOF()) {
      rs.MoveLast();
    }
  });
}

void KivFormControl::movePreviousStep() {
  const std::shared_ptr<Recordset> keep = recordset();
  Recordset& rs = *keep;
  IgnoreErrors([&] { rs.MovePrevious(); });
  IgnoreErrors([&] {
    if (rs.BOF()) {
      rs.MoveFirst();
    } else if (rs.EOF()) {
      rs.MoveLast();
    }
  });
}

void KivFormControl::moveNextStep() {
  const std::shared_ptr<Recordset> keep = recordset();
  Recordset& rs = *keep;
  IgnoreErrors([&] { rs.MoveNext(); });
  IgnoreErrors([&] {
    if (rs.BOF()) {
      rs.MoveFirst();
    } else if (rs.EOF()) {
      if (!IgnoreErrors([&] { rs.MoveLast(); })) moveFirstStep();
    }
  });
}

void KivFormControl::moveLastStep() {
  const std::shared_ptr<Recordset> keep = recordset();
  Recordset& rs = *keep;
  IgnoreErrors([&] { rs.MoveLast(); });
  IgnoreErrors([&] {
    if (rs.BOF()) {
      rs.MoveFirst();
    } else if (rs.EOF()) {
      rs.MoveLast();
    }
  });
}

// ------------------------------------------------------------------- editing

void KivFormControl::Add() {
  CancelAdd = false;
  events.Add.raise(CancelAdd);
  if (CancelAdd) return;
  const std::shared_ptr<Recordset> keep = recordset();
  Recordset& rs = *keep;
  if (!noCurrentRecord()) {
    if (!ConfirmLeaveRecord()) return;
  }
  AddNewMode(true);
  try {
    rs.AddNew();
  } catch (const Error& e) {
    // The record set refused the new record: say so and stay where we were.
    AddNewMode(false);
    ReportError(e);
    return;
  }
  LockUnlockControls(false);
  BlankControls();
  cmdAdd().Visible(false);
  cmdUndoAdd().Visible(true);
  EnableDisableButtons("00001010");
  events.AfterAdd.raise();
  events.AfterMove.raise();
}

void KivFormControl::UndoAdd() {
  CancelUndoAdd = false;
  events.UndoAdd.raise(CancelUndoAdd);
  if (CancelUndoAdd) return;
  IgnoreErrors([&] { AddNewMode(false); });
  saveFailed_ = false;
  IgnoreErrors([&] { recordset()->CancelUpdate(); });
  IgnoreErrors([&] { recordset()->Move(0); });
  IgnoreErrors([&] { PopulateControls(); });
  IgnoreErrors([&] { cmdAdd().Visible(true); });
  IgnoreErrors([&] { cmdUndoAdd().Visible(false); });
  IgnoreErrors([&] { EnableDisableButtons("11111111"); });
  IgnoreErrors([&] { events.AfterUndoAdd.raise(); });
  IgnoreErrors([&] { events.AfterMove.raise(); });
  IgnoreErrors([&] { LockUnlockControls(noCurrentRecord()); });
}

void KivFormControl::Delete() {
  if (noCurrentRecord()) return;
  CancelDelete = false;
  events.Delete.raise(CancelDelete);
  if (CancelDelete) return;
  if (Host::Current().MsgBox("Do you want to delete this record", vb::vbYesNo, "Delete") !=
      vb::vbYes) {
    return;
  }
  const std::shared_ptr<Recordset> keep = recordset();
  Recordset& rs = *keep;
  try {
    // Unsaved changes to the record being deleted do not matter any more.
    if (rs.EditMode() == adEditInProgress) rs.CancelUpdate();
    saveFailed_ = false;
    rs.Delete(adAffectCurrent);
  } catch (const Error& e) {
    // The record set refused: the record stays, and so does the screen.
    ReportError(e);
    return;
  }
  IgnoreErrors([&] { rs.UpdateBatch(adAffectAll); });
  IgnoreErrors([&] { moveNextStep(); });
  IgnoreErrors([&] { AddNewMode(false); });
  IgnoreErrors([&] { LockUnlockControls(noCurrentRecord()); });
  IgnoreErrors([&] { PopulateControls(); });
  events.AfterDelete.raise();
  events.AfterMove.raise();
}

void KivFormControl::Save() {
  if (noCurrentRecord()) return;
  CancelSave = false;
  ValidateData = true;
  events.Save.raise(CancelSave, ValidateData);
  if (CancelSave) return;
  if (ValidateData && !DataIsValid()) {
    Host::Current().MsgBox("You have entered invalid data, the record was not saved.",
                           vb::vbExclamation | vb::vbOKOnly, kSaveTitle);
    return;
  }
  if (!UpdateRecordset()) return;
  cmdAdd().Visible(true);
  cmdUndoAdd().Visible(false);
  EnableDisableButtons("11111111");
  events.AfterSave.raise();
  AddNewMode(false);
  LockUnlockControls(false);
}

// -------------------------------------------------------------------- search

void KivFormControl::Search() {
  try {
    if (noCurrentRecord()) return;
    CancelSearch = false;
    events.Search.raise(CancelSearch);
    if (CancelSearch) return;
    if (ConfirmLeaveRecord()) {
      const std::shared_ptr<Recordset> keep = recordset();
      Recordset& rs = *keep;
      auto search = std::make_shared<Recordset>();
      search->CursorLocation(m_CursorLocation);
      search->CursorType(adOpenKeyset);
      search->LockType(adLockReadOnly);
      search->ActiveConnection(m_Source_Connection);
      if (m_Search_RecordSource.empty() && rs.ActiveConnection() == m_Source_Connection) {
        // The form's own statement: the dialog browses the rows the form
        // holds (as the form has saved them) instead of a second copy.
        search->OpenClone(rs);
      } else {
        search->Open(m_Search_RecordSource.empty() ? rs.Source() : m_Search_RecordSource, nullptr,
                     adOpenUnspecified, adLockUnspecified, adCmdUnspecified);
      }
      if (!m_SearchControl) {
        throw Error(err::ObjectNotSet, "KivFormControl",
                    std::string(StandardErrorText(err::ObjectNotSet)));
      }
      Dispatch& launcher = *m_SearchControl;
      launcher.let("FriendlyNames", GetFriendlyFieldNames(m_Source_Table, m_Source_Fields));
      launcher.let("Return_Fields", Variant(m_SearchReturnFields));
      launcher.set("Search_RecordSource", Variant(search));
      launcher.call("ShowSearch", {Variant(std::int16_t{1}), Variant(weak_from_this().lock())});
      const Variant values = launcher.get("Return_Value");
      const Array& array = values.array();
      if (TextOf(array.at(array.lbound())) != "") {
        FindSearchRecord(values, m_SearchReturnFields);
        PopulateControls();
        events.AfterSearch.raise();
        events.AfterMove.raise();
      }
    }
    AddNewMode(false);
    lockByCurrentRecord();
  } catch (const Error& e) {
    ReportError(e);
  }
}

void KivFormControl::FindSearchRecord(const Variant& varSearchValues,
                                      const std::string& strSearchFields) {
  std::string criteria;
  try {
    const std::shared_ptr<Recordset> keep = recordset();
    Recordset& rs = *keep;
    const std::vector<std::string> names = SplitAtCommas(strSearchFields);
    const Array& values = varSearchValues.array();
    for (std::size_t i = 0; i < names.size(); ++i) {
      Field& field = rs[names[i]];
      const std::string value = TextOf(values.at(values.lbound() + static_cast<std::int32_t>(i)));
      std::string condition;
      switch (FieldTypeCategory(field)) {
        case kCategoryNumber:
        case kCategoryBoolean: {
          // A number goes in its canonical form; a text that is none cannot match.
          // A Boolean shown as "True" or "False" is -1 or 0.
          double number = 0;
          const std::string word = UCase(Trim(value));
          if (word == "TRUE" || word == "FALSE") {
            number = word == "TRUE" ? -1 : 0;
          } else if (!ParseNumber(Trim(value), number)) {
            throw Error(err::TypeMismatch, "KivFormControl",
                        "'" + value + "' is not a number for the field " + names[i] + ".");
          }
          condition = names[i] + " = " + CanonicalNumber(number);
          break;
        }
        case kCategoryDate:
          if (!IsDate(Variant(value)) || value.find('#') != std::string::npos) {
            throw Error(err::TypeMismatch, "KivFormControl",
                        "'" + value + "' is not a date for the field " + names[i] + ".");
          }
          condition = names[i] + " = #" + value + "#";
          break;
        default:
          condition = names[i] + " = '" + Quoted(value) + "'";
          break;
      }
      // Every return field takes part: the record must match them all.
      criteria += condition + " AND ";
    }
    criteria.resize(criteria.size() >= 4 ? criteria.size() - 4 : 0);
  } catch (const Error& e) {
    Host::Current().MsgBox("Error moving to record.\r\n" + e.description(),
                           vb::vbCritical | vb::vbOKOnly, "Error");
    return;
  }
  const std::shared_ptr<Recordset> keep = recordset();
  Recordset& rs = *keep;
  IgnoreErrors([&] { moveFirstStep(); });
  // A find that fails has found nothing: it is not taken for a match.
  const bool searched = IgnoreErrors([&] { rs.Find(criteria, 0, adSearchForward); });
  AddNewMode(false);
  bool notFound = true;
  IgnoreErrors([&] { notFound = !searched || rs.EOF(); });
  if (notFound) {
    Host::Current().Beep();
    IgnoreErrors([&] { moveFirstStep(); });
    LockUnlockControls(true);
  } else {
    LockUnlockControls(m_SecurityLevel != scEdit);
  }
}

}  // namespace kiv
