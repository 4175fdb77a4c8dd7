// Navigation with its events and prompts, add, undo add, delete and save.

#include "form_controller/FormControlFixture.h"
#include "kiv/runtime/Error.h"

namespace kiv::test {
namespace {

const std::string kSavePrompt = Box("Save", vb::vbYesNo, "Do you want to save your changes?");

TEST_F(FormControlTest, MovesClampAtBothEndsAndRaiseTheirEvents) {
  ASSERT_TRUE(open());
  ctl->MoveRecordset(mvPrevious);
  EXPECT_EQ(code(), "A");
  EXPECT_EQ(log, (Lines{"BeforeMove", "AfterMove"}));
  ctl->MoveRecordset(mvLast);
  ctl->MoveRecordset(mvNext);
  EXPECT_EQ(code(), "C");
  EXPECT_EQ(uniCode->Text(), "C");
  ctl->MoveRecordset(mvFirst);
  EXPECT_EQ(uniCode->Text(), "A");
  ctl->MoveRecordset(7);  // an unknown direction stays put
  EXPECT_EQ(code(), "A");
  EXPECT_TRUE(boxes.empty());

  // A cancelled move asks nothing and keeps the edit.
  log.clear();
  flip = {"BeforeMove"};
  uniAmount->Text("99");
  ctl->MoveRecordset(mvNext);
  EXPECT_EQ(code(), "A");
  EXPECT_EQ(log, Lines{"BeforeMove"});
  EXPECT_EQ(uniAmount->Text(), "99");
  EXPECT_TRUE(boxes.empty());
  flip.clear();  // the flag is reset before the next raise
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
  EXPECT_EQ(boxes, Lines{kSavePrompt});
  EXPECT_EQ(log, (Lines{"BeforeMove", "RecordWillChange", "AfterMove"}));
  EXPECT_EQ(code(), "B");
  EXPECT_EQ(dbValue("SELECT Amount FROM Clients WHERE Code = 'A'"), "5");

  // Yes: Save is raised, then the record is written and the move goes on.
  log.clear();
  txtName->Text("Beta");
  answers = {vb::vbYes};
  ctl->MoveRecordset(mvNext);
  EXPECT_EQ(log, (Lines{"BeforeMove", "RecordWillChange", "Save", "AfterMove"}));
  EXPECT_EQ(dbValue("SELECT Name FROM Clients WHERE Code = 'B'"), "Beta");
  EXPECT_EQ(code(), "C");

  // Yes, but the host cancels the save: stay.
  txtName->Text("Gamma2");
  answers = {vb::vbYes};
  flip = {"Save"};
  ctl->MoveRecordset(mvPrevious);
  EXPECT_EQ(code(), "C");
  EXPECT_EQ(txtName->Text(), "Gamma2");
  flip.clear();

  // A host that turns the prompt off gets a silent save.
  log.clear();
  boxes.clear();
  flip = {"RecordWillChange"};
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

// Invalid data: a save refuses it; leaving asks to discard it (No stays, Yes
// drops it) unless the host ignores it; a host that skips validation gets
// the conversion's own message and nothing written.
TEST_F(FormControlTest, InvalidDataIsRefusedOrDiscarded) {
  ASSERT_TRUE(open());
  uniAmount->Text("abc");
  ctl->Save();
  EXPECT_EQ(boxes, Lines{Box("Save", vb::vbExclamation,
                             "You have entered invalid data, the record was not saved.")});
  EXPECT_EQ(log, Lines{"Save"});

  boxes.clear();
  log.clear();
  answers = {vb::vbNo, vb::vbYes};
  ctl->MoveRecordset(mvNext);
  EXPECT_EQ(code(), "A");
  EXPECT_EQ(uniAmount->Text(), "abc");
  EXPECT_EQ(log, (Lines{"BeforeMove", "DataIsInvalid"}));
  EXPECT_EQ(boxes, Lines{Box("Save", vb::vbYesNo,
                             "You have entered invalid data, do you want discard all changes?")});
  ctl->MoveRecordset(mvNext);
  EXPECT_EQ(code(), "B");
  EXPECT_EQ(dbValue("SELECT Amount FROM Clients WHERE Code = 'A'"), "5");

  boxes.clear();
  flip = {"DataIsInvalid"};
  uniAmount->Text("xyz");
  ctl->MoveRecordset(mvNext);
  EXPECT_EQ(code(), "C");
  EXPECT_TRUE(boxes.empty());

  flip = {"Validate"};
  uniAmount->Text("abc");
  txtName->Text("Renamed");
  ctl->Save();
  EXPECT_THAT(boxes, ElementsAre(HasSubstr("(13).")));
  EXPECT_EQ(uniAmount->Text(), "abc");
  EXPECT_EQ(txtName->Text(), "Renamed");
  EXPECT_EQ(dbValue("SELECT Name FROM Clients WHERE Code = 'C'"), "Gamma");

  // Corrected, the record is saved on leaving it.
  boxes.clear();
  flip.clear();
  answers = {vb::vbYes};
  uniAmount->Text("12");
  ctl->MoveRecordset(mvPrevious);
  EXPECT_EQ(code(), "B");
  EXPECT_EQ(dbValue("SELECT Name FROM Clients WHERE Code = 'C'"), "Renamed");
  EXPECT_EQ(dbValue("SELECT Amount FROM Clients WHERE Code = 'C'"), "12");
}

TEST_F(FormControlTest, AddUndoAddAndSavingANewRecord) {
  ASSERT_TRUE(open());
  ctl->MoveRecordset(mvNext);
  log.clear();
  ctl->Add();
  EXPECT_EQ(log, (Lines{"Add", "AfterAdd", "AfterMove adding"}));
  EXPECT_TRUE(ctl->AddNewMode());
  EXPECT_TRUE(uniCode->AddNew_Mode());
  EXPECT_FALSE(uniCode->Locked());
  EXPECT_EQ(uniCode->Text(), "");

  log.clear();
  ctl->UndoAdd();
  EXPECT_EQ(log, (Lines{"UndoAdd", "AfterUndoAdd", "AfterMove"}));
  EXPECT_FALSE(ctl->AddNewMode());
  EXPECT_EQ(uniCode->Text(), "B");
  EXPECT_EQ(dbValue("SELECT COUNT(*) FROM Clients"), "3");

  // A cancelled Add changes nothing.
  flip = {"Add"};
  ctl->Add();
  EXPECT_FALSE(ctl->AddNewMode());
  flip.clear();

  // Add with unsaved changes asks first; No starts the new record unsaved.
  txtName->Text("Changed");
  answers = {vb::vbNo};
  ctl->Add();
  EXPECT_EQ(boxes, Lines{kSavePrompt});
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
  EXPECT_EQ(dbValue("SELECT Name || Amount || Joined || Active FROM Clients WHERE Code = 'D'"),
            "Delta1.252024-02-291");
  EXPECT_EQ(dbValue("SELECT Name FROM Clients WHERE Code = 'B'"), "");  // No: not saved

  // Undoing an add unlocks the controls even for a view-only user, who
  // keeps only navigation and search.
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
  EXPECT_EQ(boxes, Lines{Box("Delete", vb::vbYesNo, "Do you want to delete this record")});
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

// (A refused delete is the screens' test on each backend.)
TEST_F(FormControlTest, ARefusedAddNewIsReportedAndLeavesTheScreenUsable) {
  ctl->LockType(adLockReadOnly);
  ASSERT_TRUE(open());
  ctl->Add();
  EXPECT_THAT(boxes, ElementsAre(HasSubstr("(3251).")));
  EXPECT_THAT(boxes[0], HasSubstr(R"(title="Error" buttons=OKOnly icon=Critical)"));
  EXPECT_FALSE(ctl->AddNewMode());
  EXPECT_EQ(uniCode->Text(), "A");
  EXPECT_TRUE(ctl->cmdAdd().Visible());
  ctl->MoveRecordset(mvNext);
  EXPECT_EQ(uniCode->Text(), "B");
}

// A refusal that speaks of a duplicate key, in any letter case, shows one
// plain message and keeps the user's values; any other refusal shows its own.
TEST_F(FormControlTest, ADuplicateKeyShowsOnePlainMessage) {
  const std::string exists = Box("Error", vb::vbCritical, "This record already exists.");
  ASSERT_TRUE(open());
  ctl->Add();
  uniCode->Text("B");
  txtName->Text("Second B");
  ctl->Save();
  EXPECT_EQ(boxes, Lines{exists});
  EXPECT_TRUE(ctl->AddNewMode());  // still adding, values kept
  EXPECT_EQ(txtName->Text(), "Second B");
  EXPECT_EQ(bar(), "00001u010");
  // Correcting the key and saving again works.
  uniCode->Text("E");
  ctl->Save();
  EXPECT_EQ(dbValue("SELECT Name FROM Clients WHERE Code = 'E'"), "Second B");
  EXPECT_EQ(dbValue("SELECT Name FROM Clients WHERE Code = 'B'"), "");

  const auto refuseUpdates = [&](const std::string& why) {
    db->Execute("DROP TRIGGER IF EXISTS refuse");
    db->Execute("CREATE TRIGGER refuse BEFORE UPDATE ON Clients BEGIN SELECT RAISE(ABORT, '" + why +
                "'); END;");
    boxes.clear();
    ctl->Save();
  };
  txtName->Text("Changed");
  refuseUpdates("Violation Of PRIMARY key in object Clients");
  EXPECT_EQ(boxes, Lines{exists});
  refuseUpdates("Something else went wrong");
  EXPECT_THAT(boxes, ElementsAre(::testing::ContainsRegex("Something else went wrong.*\\)\\.\"$")));
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

// The bar as "first previous next last add-or-undo delete save search", add
// and undo add as "a"/"u" for the one shown.
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

  // Any level but these two restricts nothing.
  const std::pair<std::int32_t, const char*> levels[] = {
      {scViewOnly, "11110a001"}, {scNoView, "00000a000"}, {7, "11111a111"}};
  for (const auto& [level, expected] : levels) {
    ctl->SecurityLevel(level);
    ctl->EnableDisableButtons("11111111");
    EXPECT_EQ(bar(), expected) << level;
  }
}

}  // namespace
}  // namespace kiv::test
