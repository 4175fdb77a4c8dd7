// Navigation with its events and prompts, add, undo add, delete and save.

#include "form_controller/FormControlFixture.h"
#include "kiv/runtime/Error.h"

namespace kiv::test {
namespace {

using Lines = std::vector<std::string>;

TEST_F(FormControlTest, MovesClampAtBothEndsAndRaiseTheirEvents) {
  ASSERT_TRUE(open());
  ctl->MoveRecordset(mvPrevious);
  EXPECT_EQ(code(), "A");
  EXPECT_EQ(log, (Lines{"BeforeMove", "AfterMove"}));
  ctl->MoveRecordset(mvLast);
  EXPECT_EQ(code(), "C");
  ctl->MoveRecordset(mvNext);
  EXPECT_EQ(code(), "C");
  EXPECT_EQ(uniCode->Text(), "C");
  ctl->MoveRecordset(mvFirst);
  EXPECT_EQ(uniCode->Text(), "A");
  ctl->MoveRecordset(7);  // an unknown direction stays put
  EXPECT_EQ(code(), "A");
  EXPECT_TRUE(boxes.empty());

  log.clear();
  cancelMove = true;
  uniAmount->Text("99");
  ctl->MoveRecordset(mvNext);
  EXPECT_EQ(code(), "A");
  EXPECT_EQ(log, Lines{"BeforeMove"});  // no RecordWillChange after a cancel
  EXPECT_EQ(uniAmount->Text(), "99");
  cancelMove = false;  // and the flag is reset before the next raise
  answers = {vb::vbNo};
  ctl->MoveRecordset(mvNext);
  EXPECT_EQ(code(), "B");
}

TEST_F(FormControlTest, LeavingAChangedRecordAsksAndFollowsTheAnswer) {
  ASSERT_TRUE(open());
  // No: moves on, the edit is lost.
  uniAmount->Text("42");
  answers = {vb::vbNo};
  ctl->MoveRecordset(mvNext);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].prompt, "Do you want to save your changes?");
  EXPECT_EQ(boxes[0].buttons, vb::vbYesNo);
  EXPECT_EQ(boxes[0].title, "Save");
  EXPECT_EQ(log, (Lines{"BeforeMove", "RecordWillChange", "AfterMove"}));
  EXPECT_EQ(code(), "B");
  EXPECT_EQ(dbValue("SELECT Amount FROM Clients WHERE Code = 'A'"), "5");

  // Yes: Save is raised, then the record is written and the move goes on.
  log.clear();
  boxes.clear();
  txtName->Text("Beta");
  answers = {vb::vbYes};
  ctl->MoveRecordset(mvNext);
  EXPECT_EQ(log, (Lines{"BeforeMove", "RecordWillChange", "Save", "AfterMove"}));
  EXPECT_EQ(dbValue("SELECT Name FROM Clients WHERE Code = 'B'"), "Beta");
  EXPECT_EQ(code(), "C");

  // Yes, but the host cancels the save: stay.
  log.clear();
  txtName->Text("Gamma2");
  answers = {vb::vbYes};
  cancelSave = true;
  ctl->MoveRecordset(mvPrevious);
  EXPECT_EQ(code(), "C");
  EXPECT_EQ(txtName->Text(), "Gamma2");
  cancelSave = false;

  // A host that turns the prompt off gets a silent save.
  log.clear();
  boxes.clear();
  silentSave = true;
  ctl->MoveRecordset(mvPrevious);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(log, (Lines{"BeforeMove", "RecordWillChange", "Save", "AfterMove"}));
  EXPECT_EQ(dbValue("SELECT Name FROM Clients WHERE Code = 'C'"), "Gamma2");
  EXPECT_EQ(code(), "B");

  // Unchanged data: no question, no RecordWillChange.
  log.clear();
  ctl->MoveRecordset(mvNext);
  EXPECT_EQ(log, (Lines{"BeforeMove", "AfterMove"}));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(FormControlTest, InvalidDataOnLeavingAsksToDiscard) {
  ASSERT_TRUE(open());
  uniAmount->Text("abc");
  answers = {vb::vbNo};
  ctl->MoveRecordset(mvNext);
  EXPECT_EQ(code(), "A");
  EXPECT_EQ(uniAmount->Text(), "abc");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].prompt, "You have entered invalid data, do you want discard all changes?");
  EXPECT_EQ(boxes[0].buttons, vb::vbYesNo);
  EXPECT_EQ(log, (Lines{"BeforeMove", "DataIsInvalid"}));

  answers = {vb::vbYes};
  ctl->MoveRecordset(mvNext);
  EXPECT_EQ(code(), "B");
  EXPECT_EQ(dbValue("SELECT Amount FROM Clients WHERE Code = 'A'"), "5");

  // The host may ignore invalid data: no question at all.
  boxes.clear();
  ignoreInvalid = true;
  uniAmount->Text("xyz");
  ctl->MoveRecordset(mvNext);
  EXPECT_EQ(code(), "C");
  EXPECT_TRUE(boxes.empty());
}

TEST_F(FormControlTest, ViewOnlyUserIsNeverAskedToSave) {
  ctl->SecurityLevel(scViewOnly);
  ASSERT_TRUE(open());
  txtName->Text("typed anyway");
  ctl->MoveRecordset(mvNext);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(code(), "B");
  EXPECT_TRUE(txtName->Locked());
  EXPECT_EQ(dbValue("SELECT Name FROM Clients WHERE Code = 'A'"), "Alpha");
}

TEST_F(FormControlTest, AddAndUndoAddOnANonEmptySet) {
  ASSERT_TRUE(open());
  ctl->MoveRecordset(mvNext);
  log.clear();
  ctl->Add();
  EXPECT_EQ(log, (Lines{"Add", "AfterAdd", "AfterMove adding"}));
  EXPECT_TRUE(ctl->AddNewMode());
  EXPECT_TRUE(uniCode->AddNew_Mode());
  EXPECT_FALSE(uniCode->Locked());
  EXPECT_EQ(uniCode->Text(), "");
  EXPECT_EQ(bar(), "00001u010");

  log.clear();
  ctl->UndoAdd();
  EXPECT_EQ(log, (Lines{"UndoAdd", "AfterUndoAdd", "AfterMove"}));
  EXPECT_FALSE(ctl->AddNewMode());
  EXPECT_EQ(uniCode->Text(), "B");
  EXPECT_EQ(bar(), "11111a111");
  EXPECT_EQ(dbValue("SELECT COUNT(*) FROM Clients"), "3");

  // A cancelled Add changes nothing.
  cancelAdd = true;
  ctl->Add();
  EXPECT_FALSE(ctl->AddNewMode());
  EXPECT_EQ(bar(), "11111a111");
  cancelAdd = false;

  // Add with unsaved changes asks first; No starts the new record unsaved.
  txtName->Text("Changed");
  answers = {vb::vbNo};
  ctl->Add();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].prompt, "Do you want to save your changes?");
  EXPECT_TRUE(ctl->AddNewMode());
  EXPECT_EQ(txtName->Text(), "");

  // Saving the new record inserts it and leaves add mode.
  uniCode->Text("D");
  txtName->Text("Delta");
  uniAmount->Text("1.25");
  uniJoined->Text("2024-02-29");
  chkActive->Value(1);
  log.clear();
  ctl->Save();
  EXPECT_EQ(log, (Lines{"Save", "AfterSave"}));
  EXPECT_FALSE(ctl->AddNewMode());
  EXPECT_EQ(bar(), "11111a111");
  EXPECT_FALSE(txtName->Locked());
  EXPECT_EQ(dbValue("SELECT Name FROM Clients WHERE Code = 'D'"), "Delta");
  EXPECT_EQ(dbValue("SELECT Amount FROM Clients WHERE Code = 'D'"), "1.25");
  EXPECT_EQ(dbValue("SELECT Name FROM Clients WHERE Code = 'B'"), "");  // No: not saved
}

TEST_F(FormControlTest, AddOnAnEmptySetSkipsThePromptAndUndoLocksAgain) {
  ctl->Source_Table("Empty");
  ctl->Source_Fields("Code, Name");
  form->Remove(*uniAmount);
  form->Remove(*uniJoined);
  form->Remove(*cmbCategory);
  form->Remove(*chkActive);
  form->Remove(*chkFlag);
  ctl->SecurityLevel(scViewOnly);
  ASSERT_TRUE(open());
  EXPECT_TRUE(uniCode->Locked());
  ctl->SecurityLevel(scEdit);
  uniCode->Read_Only(false);
  ctl->Add();
  EXPECT_TRUE(boxes.empty());
  EXPECT_FALSE(uniCode->Locked());
  EXPECT_FALSE(txtName->Locked());
  EXPECT_FALSE(ctl->cmdAdd().Visible());
  EXPECT_TRUE(ctl->cmdUndoAdd().Visible());
  ctl->UndoAdd();
  EXPECT_TRUE(uniCode->Locked());  // no current record after the undo
  EXPECT_TRUE(ctl->cmdAdd().Visible());
  EXPECT_EQ(dbValue("SELECT COUNT(*) FROM Empty"), "0");

  // Add then move away without typing: nothing is written.
  ctl->Add();
  uniCode->Text("N1");
  txtName->Text("New");
  ctl->Save();
  EXPECT_EQ(dbValue("SELECT Name FROM Empty WHERE Code = 'N1'"), "New");
  ctl->Add();
  log.clear();
  ctl->MoveRecordset(mvFirst);
  // AfterMove comes before add mode is cleared.
  EXPECT_EQ(log, (Lines{"BeforeMove", "AfterMove adding"}));
  EXPECT_FALSE(ctl->AddNewMode());
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(dbValue("SELECT COUNT(*) FROM Empty"), "1");
  EXPECT_EQ(uniCode->Text(), "N1");
}

TEST_F(FormControlTest, UndoAddUnlocksEvenForAViewOnlyUser) {
  ASSERT_TRUE(open());
  ctl->Add();
  ctl->SecurityLevel(scViewOnly);
  ctl->UndoAdd();
  EXPECT_FALSE(txtName->Locked());
  EXPECT_EQ(bar(), "11110a001");

  // Reopening in the middle of an add starts afresh, add button back.
  ctl->SecurityLevel(scEdit);
  ctl->Add();
  ASSERT_TRUE(open());
  EXPECT_FALSE(ctl->AddNewMode());
  EXPECT_EQ(bar(), "11111a111");
  EXPECT_EQ(uniCode->Text(), "A");
}

TEST_F(FormControlTest, DeleteOfTheLastAndOfTheOnlyRecord) {
  ASSERT_TRUE(open());
  ctl->MoveRecordset(mvLast);
  log.clear();
  answers = {vb::vbNo};
  ctl->Delete();
  EXPECT_EQ(log, Lines{"Delete"});
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].prompt, "Do you want to delete this record");
  EXPECT_EQ(boxes[0].title, "Delete");
  EXPECT_EQ(dbValue("SELECT COUNT(*) FROM Clients"), "3");

  log.clear();
  answers = {vb::vbYes};
  ctl->Delete();
  EXPECT_EQ(log, (Lines{"Delete", "AfterDelete", "AfterMove"}));
  EXPECT_EQ(code(), "B");  // the new last record
  EXPECT_EQ(uniCode->Text(), "B");
  EXPECT_FALSE(txtName->Locked());
  EXPECT_EQ(dbValue("SELECT COUNT(*) FROM Clients WHERE Code = 'C'"), "0");

  ctl->Filter("Code = 'A'");
  ASSERT_TRUE(open());
  answers = {vb::vbYes};
  ctl->Delete();
  EXPECT_EQ(uniCode->Text(), "");
  EXPECT_EQ(txtName->Text(), "");
  EXPECT_TRUE(txtName->Locked());
  EXPECT_TRUE(uniCode->Locked());
  EXPECT_EQ(dbValue("SELECT COUNT(*) FROM Clients"), "1");
}

TEST_F(FormControlTest, RefusedAddNewAndDeleteAreReportedAndLeaveTheScreenUsable) {
  ctl->LockType(adLockReadOnly);
  ASSERT_TRUE(open());
  ctl->Add();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Error");
  EXPECT_EQ(boxes[0].buttons, vb::vbCritical);
  EXPECT_NE(boxes[0].prompt.find("(3251)."), std::string::npos) << boxes[0].prompt;
  EXPECT_FALSE(ctl->AddNewMode());
  EXPECT_EQ(uniCode->Text(), "A");
  EXPECT_TRUE(ctl->cmdAdd().Visible());

  boxes.clear();
  answers = {vb::vbYes};
  ctl->Delete();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].title, "Error");
  EXPECT_EQ(uniCode->Text(), "A");
  EXPECT_EQ(dbValue("SELECT COUNT(*) FROM Clients"), "3");
  ctl->MoveRecordset(mvNext);
  EXPECT_EQ(uniCode->Text(), "B");
}

TEST_F(FormControlTest, SaveRefusesInvalidDataUnlessTheHostSkipsValidation) {
  ASSERT_TRUE(open());
  uniAmount->Text("abc");
  ctl->Save();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].prompt, "You have entered invalid data, the record was not saved.");
  EXPECT_EQ(boxes[0].buttons, vb::vbExclamation);
  EXPECT_EQ(boxes[0].title, "Save");
  EXPECT_EQ(log, Lines{"Save"});

  // Skipping validation lets the conversion fail instead: its own message,
  // the typed text stays and nothing is written.
  boxes.clear();
  skipValidation = true;
  txtName->Text("Renamed");
  ctl->Save();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Error");
  EXPECT_NE(boxes[0].prompt.find("(13)."), std::string::npos) << boxes[0].prompt;
  EXPECT_EQ(uniAmount->Text(), "abc");
  EXPECT_EQ(txtName->Text(), "Renamed");
  EXPECT_EQ(dbValue("SELECT Name FROM Clients WHERE Code = 'A'"), "Alpha");

  // Corrected, the record is saved on leaving it.
  boxes.clear();
  skipValidation = false;
  answers = {vb::vbYes};
  uniAmount->Text("12");
  txtName->Text("Renamed");
  ctl->MoveRecordset(mvNext);
  EXPECT_EQ(code(), "B");
  EXPECT_EQ(dbValue("SELECT Name FROM Clients WHERE Code = 'A'"), "Renamed");
  EXPECT_EQ(dbValue("SELECT Amount FROM Clients WHERE Code = 'A'"), "12");
}

TEST_F(FormControlTest, DuplicateKeyShowsOnePlainMessage) {
  ASSERT_TRUE(open());
  ctl->Add();
  uniCode->Text("B");
  txtName->Text("Second B");
  ctl->Save();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].prompt, "This record already exists.");
  EXPECT_EQ(boxes[0].title, "Error");
  EXPECT_TRUE(ctl->AddNewMode());  // still adding, values kept
  EXPECT_EQ(txtName->Text(), "Second B");
  EXPECT_EQ(bar(), "00001u010");
  // Correcting the key and saving again works.
  uniCode->Text("E");
  ctl->Save();
  EXPECT_EQ(dbValue("SELECT Name FROM Clients WHERE Code = 'E'"), "Second B");
  EXPECT_EQ(dbValue("SELECT Name FROM Clients WHERE Code = 'B'"), "");
}

TEST_F(FormControlTest, DuplicateKeyWordsAreFoundInAnyLetterCase) {
  // A record source whose refusal speaks of a "Violation Of PRIMARY key".
  ASSERT_TRUE(open());
  db->Execute(
      "CREATE TRIGGER refuse BEFORE UPDATE ON Clients BEGIN "
      "SELECT RAISE(ABORT, 'Violation Of PRIMARY key in object Clients'); END;");
  txtName->Text("Changed");
  ctl->Save();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].prompt, "This record already exists.");
  db->Execute("DROP TRIGGER refuse");
  db->Execute(
      "CREATE TRIGGER refuse BEFORE UPDATE ON Clients BEGIN "
      "SELECT RAISE(ABORT, 'Something else went wrong'); END;");
  boxes.clear();
  ctl->Save();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].prompt.find("Something else went wrong"), std::string::npos);
  EXPECT_EQ(boxes[0].prompt.substr(boxes[0].prompt.size() - 2), ").");
}

TEST_F(FormControlTest, UnchangedCheckBoxesKeepTheirFieldValues) {
  ASSERT_TRUE(open());  // A: Flag -1
  ctl->Save();
  EXPECT_EQ(dbValue("SELECT Flag FROM Clients WHERE Code = 'A'"), "-1");
  ctl->MoveRecordset(mvNext);  // B: Flag 5
  EXPECT_EQ(chkFlag->Value(), 1);
  ctl->Save();
  EXPECT_EQ(dbValue("SELECT Flag FROM Clients WHERE Code = 'B'"), "5");
  // A box the user changes writes 0 or 1.
  chkFlag->Value(0);
  ctl->Save();
  EXPECT_EQ(dbValue("SELECT Flag FROM Clients WHERE Code = 'B'"), "0");
  chkFlag->Value(1);
  ctl->Save();
  EXPECT_EQ(dbValue("SELECT Flag FROM Clients WHERE Code = 'B'"), "1");
  EXPECT_TRUE(boxes.empty());
}

TEST_F(FormControlTest, ButtonStatesAfterEveryActionUnderEachLevel) {
  ASSERT_TRUE(open());
  EXPECT_EQ(bar(), "11111a111");
  ctl->Add();
  EXPECT_EQ(bar(), "00001u010");
  ctl->UndoAdd();
  EXPECT_EQ(bar(), "11111a111");
  ctl->EnableDisableButtons("1");
  EXPECT_EQ(bar(), "10000a000");
  ctl->MoveRecordset(mvNext);  // moves leave the bar alone
  EXPECT_EQ(bar(), "10000a000");
  ctl->Save();
  EXPECT_EQ(bar(), "11111a111");
  ctl->EnableDisableButtons("0101x121");
  EXPECT_EQ(bar(), "01010a111");

  ctl->SecurityLevel(scViewOnly);
  ctl->EnableDisableButtons("11111111");
  EXPECT_EQ(bar(), "11110a001");
  ctl->SecurityLevel(scNoView);
  ctl->EnableDisableButtons("11111111");
  EXPECT_EQ(bar(), "00000a000");
  ctl->SecurityLevel(7);  // any other level restricts nothing
  ctl->EnableDisableButtons("11111111");
  EXPECT_EQ(bar(), "11111a111");
}

}  // namespace
}  // namespace kiv::test
