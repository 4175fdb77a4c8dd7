// The button bar: clicks, shortcuts, layout; friendly field names; search
// through a launcher.

#include "form_controller/FormControlFixture.h"
#include "kiv/host/DataGrid.h"
#include "kiv/runtime/Error.h"
#include "kiv/search/KivSearch.h"
#include "kiv/search/frmSearch.h"

namespace kiv::test {
namespace {

using Lines = std::vector<std::string>;

TEST_F(FormControlTest, ButtonsCarryTheirToolTipsAndPicturesAndRunTheirActions) {
  EXPECT_EQ(ctl->cmdFirst().ToolTipText(), "Move to the first record");
  EXPECT_EQ(ctl->cmdUndoAdd().ToolTipText(), "Undo add new record");
  EXPECT_EQ(ctl->cmdSearch().ToolTipText(), "Search for a record");
  EXPECT_EQ(ctl->cmdSave().Picture(), "kiv/save.png");
  EXPECT_EQ(ctl->cmdNext().Caption(), "");
  ASSERT_TRUE(open());
  EXPECT_TRUE(ctl->cmdNext().click());
  EXPECT_EQ(code(), "B");
  EXPECT_TRUE(ctl->cmdLast().click());
  EXPECT_EQ(code(), "C");
  EXPECT_TRUE(ctl->cmdPrevious().click());
  EXPECT_TRUE(ctl->cmdFirst().click());
  EXPECT_EQ(code(), "A");
  EXPECT_TRUE(ctl->cmdAdd().click());
  EXPECT_TRUE(ctl->AddNewMode());
  EXPECT_TRUE(ctl->cmdUndoAdd().click());
  EXPECT_FALSE(ctl->AddNewMode());
  txtName->Text("Clicked");
  EXPECT_TRUE(ctl->cmdSave().click());
  EXPECT_EQ(dbValue("SELECT Name FROM Clients WHERE Code = 'A'"), "Clicked");
}

TEST_F(FormControlTest, AFailingActionIsReportedAtTheClickAndNeverReachesTheHost) {
  // Never opened: there is no record set to move.
  EXPECT_NO_THROW(ctl->cmdNext().click());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Error");
  EXPECT_EQ(boxes[0].buttons, vb::vbCritical);
  EXPECT_EQ(boxes[0].prompt.substr(boxes[0].prompt.size() - 6), " (91).");

  // A bound field that vanished from the record set fails the refill.
  ASSERT_TRUE(open());
  auto stray = std::make_shared<TextBox>("txtStray");
  stray->DataField("NoSuchField");
  form->Add(stray);
  EXPECT_NO_THROW(ctl->cmdNext().click());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].prompt.find("(3265)."), std::string::npos) << boxes[0].prompt;
}

TEST_F(FormControlTest, ShortcutsRunEnabledVisibleButtonsOnlyWithCtrlAlone) {
  ASSERT_TRUE(open());
  std::vector<std::string> keys;
  bool zeroKey = false;
  ctl->events.KeyDown.connect([&](std::int16_t& keyCode, std::int16_t& shift) {
    keys.push_back(std::to_string(keyCode) + "/" + std::to_string(shift));
    if (zeroKey) keyCode = 0;
  });
  CommandButton& next = ctl->cmdNext();
  ASSERT_TRUE(next.keyDown(78, key::CtrlMask));  // Ctrl+N
  EXPECT_EQ(code(), "B");
  EXPECT_TRUE(next.HasFocus());
  next.keyDown(76, key::CtrlMask);  // Ctrl+L
  EXPECT_EQ(code(), "C");
  next.keyDown(82, key::CtrlMask);  // Ctrl+R
  EXPECT_EQ(code(), "A");
  next.keyDown(78, 0);  // plain N: KeyDown only
  next.keyDown(78, key::CtrlMask | key::ShiftMask);
  EXPECT_EQ(code(), "A");
  EXPECT_EQ(keys, (Lines{"78/2", "76/2", "82/2", "78/0", "78/3"}));

  // Ctrl+S saves; Ctrl+Shift+S and a disabled save button do nothing.
  txtName->Text("By key");
  next.keyDown(83, key::CtrlMask | key::ShiftMask);
  EXPECT_EQ(dbValue("SELECT Name FROM Clients WHERE Code = 'A'"), "Alpha");
  ctl->cmdSave().Enabled(false);
  next.keyDown(83, key::CtrlMask);
  EXPECT_EQ(dbValue("SELECT Name FROM Clients WHERE Code = 'A'"), "Alpha");
  ctl->cmdSave().Enabled(true);
  zeroKey = true;  // a host that zeroes the key code suppresses the shortcut
  next.keyDown(83, key::CtrlMask);
  EXPECT_EQ(dbValue("SELECT Name FROM Clients WHERE Code = 'A'"), "Alpha");
  zeroKey = false;
  next.keyDown(83, key::CtrlMask);
  EXPECT_EQ(dbValue("SELECT Name FROM Clients WHERE Code = 'A'"), "By key");

  // Ctrl+A hides the add button it stands for: the focus cannot go back to
  // it and nothing fails. Ctrl+A again: the add button is hidden, so no.
  ctl->cmdAdd().SetFocus();
  EXPECT_NO_THROW(ctl->cmdAdd().keyDown(65, key::CtrlMask));
  EXPECT_TRUE(ctl->AddNewMode());
  EXPECT_FALSE(ctl->cmdAdd().Visible());
  log.clear();
  ctl->cmdSave().SetFocus();
  ctl->cmdSave().keyDown(65, key::CtrlMask);
  EXPECT_TRUE(log.empty());
  ctl->cmdSave().keyDown(85, key::CtrlMask);  // Ctrl+U: undo add
  EXPECT_FALSE(ctl->AddNewMode());
  EXPECT_TRUE(boxes.empty());
}

TEST_F(FormControlTest, LayoutKeepsTheButtonsSquare) {
  auto check = [&](double height) {
    ctl->Height(height);
    EXPECT_NEAR(ctl->Width(), height * 9.1954, 1e-6);
    const double w = ctl->Width(), u = w * 0.01;
    const double b = ctl->cmdFirst().Width();
    EXPECT_NEAR(b, height, 1.0);
    EXPECT_EQ(ctl->cmdFirst().Height(), height);
    EXPECT_EQ(ctl->cmdFirst().Left(), 0);
    EXPECT_NEAR(ctl->cmdPrevious().Left(), b + u, 1e-6);
    EXPECT_NEAR(ctl->cmdAdd().Left(), 4 * b + 7 * u, 1e-6);
    EXPECT_EQ(ctl->cmdUndoAdd().Left(), ctl->cmdAdd().Left());
    EXPECT_EQ(ctl->cmdUndoAdd().Width(), b);
    EXPECT_NEAR(ctl->cmdSearch().Left(), 7 * b + 13 * u, 1e-6);
    EXPECT_EQ(ctl->cmdSearch().Top(), 0);
  };
  check(365);
  check(500);
}

TEST_F(FormControlTest, FriendlyNamesForOneFieldAndForAllFields) {
  ASSERT_TRUE(open());
  EXPECT_EQ(ctl->GetFriendlyFieldNames("Clients", "Code"), Variant("Client code"));
  EXPECT_EQ(ctl->GetFriendlyFieldNames("Clients", "Name"), Variant(""));  // stored Null
  EXPECT_EQ(ctl->GetFriendlyFieldNames("Clients", "Amount"), Variant("Amount"));
  EXPECT_EQ(ctl->GetFriendlyFieldNames("O'Brien", "Code"), Variant("Quoted"));
  EXPECT_EQ(ctl->GetFriendlyFieldNames("Clients", "x' OR '1'='1"), Variant("x' OR '1'='1"));

  const Variant all = ctl->GetFriendlyFieldNames("Clients", "*");
  ASSERT_TRUE(all.isArray());
  const Array& table = all.array();
  EXPECT_EQ(table.dimensions(), 2);
  EXPECT_EQ(table.ubound(1), 1);
  EXPECT_EQ(table.ubound(2), 1);
  EXPECT_EQ(table.at(0, 0), Variant("Code"));
  EXPECT_EQ(table.at(0, 1), Variant("Client code"));
  EXPECT_EQ(table.at(1, 0), Variant("Name"));
  EXPECT_EQ(table.at(1, 1), Variant(""));

  Array none(0, 0, 0, 1);
  none.at(0, 0) = Variant("");
  none.at(0, 1) = Variant("");
  EXPECT_EQ(ctl->GetFriendlyFieldNames("Nobody", "*"), Variant(none));

  // Without a translation table everything falls back silently.
  ctl->FieldNameTranslatorTable("");
  EXPECT_EQ(ctl->GetFriendlyFieldNames("Clients", "Code"), Variant("Code"));
  EXPECT_EQ(ctl->GetFriendlyFieldNames("Clients", "*"), Variant(none));
  ctl->FieldNameTranslatorTable("NoSuchTable");
  EXPECT_EQ(ctl->GetFriendlyFieldNames("Clients", "Code"), Variant("Code"));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(FormControlTest, FriendlyNamesAreNotLimitedToSixteenBitRowCounts) {
  db->Execute(
      "CREATE TABLE Many (TableName VARCHAR(10), FieldName VARCHAR(10), "
      "FriendlyName VARCHAR(10))");
  db->Execute(
      "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 33000) "
      "INSERT INTO Many SELECT 'Big', 'F' || i, 'Field ' || i FROM n");
  ctl->FieldNameTranslatorTable("Many");
  const Variant all = ctl->GetFriendlyFieldNames("Big", "*");
  ASSERT_TRUE(all.isArray());
  EXPECT_EQ(all.array().ubound(1), 33000);
  EXPECT_EQ(all.array().at(33000, 1), Variant("Field 33000"));
}

// What the controller's search showed in the dialog.
struct DialogSeen {
  std::vector<std::string> columns;
  std::int32_t rows = -1;
  std::string returnFields;
  bool modal = false;
};

// Drives the next search dialog: finds the code in its Code column and
// presses OK, or presses Cancel for an empty code.
void PickCode(HeadlessHost& host, const std::string& code, DialogSeen* seen = nullptr) {
  host.pushModalDriver([code, seen](Form& form) {
    auto& f = dynamic_cast<frmSearch&>(form);
    if (seen) {
      seen->columns = f.cmbField().items();
      seen->rows = f.dbgData().RowCount();
      seen->returnFields = f.strReturn_Fields;
      seen->modal = f.IsModal();
    }
    if (code.empty()) {
      f.cmdCancel().click();
      return;
    }
    f.cmbField().pick(0);
    f.cmbFind().Text(code);
    f.cmdFindNext().click();
    f.cmdOK().click();
  });
}

TEST_F(FormControlTest, SearchPositionsTheFormOnTheChosenRecord) {
  db->Execute("INSERT INTO Clients (Code, Name) VALUES ('O''Brien', 'Quoted')");
  auto launcher = KivSearch::Create();
  form->Add(launcher);
  ctl->SearchControl(launcher);
  ASSERT_TRUE(open());

  // The friendly names come from the translation table ("Name" has a Null one).
  DialogSeen seen;
  PickCode(host, "C", &seen);
  ctl->cmdSearch().click();
  EXPECT_EQ(code(), "C");
  EXPECT_EQ(uniCode->Text(), "C");
  EXPECT_EQ(log, (Lines{"Search", "AfterSearch", "AfterMove"}));
  EXPECT_EQ(seen.returnFields, "Code");
  EXPECT_TRUE(seen.modal);
  EXPECT_EQ(seen.rows, 4);
  EXPECT_EQ(seen.columns,
            (Lines{"Client code", "Name", "Amount", "Joined", "Active", "Flag", "Category"}));
  EXPECT_FALSE(txtName->Locked());
  EXPECT_TRUE(launcher->get("Search_RecordSource").isNothing());

  // A name with a quote is found, not failed or mistaken for a match.
  PickCode(host, "O'Brien");
  ctl->Search();
  EXPECT_EQ(code(), "O'Brien");
  EXPECT_EQ(txtName->Text(), "Quoted");
  EXPECT_TRUE(host.lines("Beep").empty());

  // No match in the form's records: a beep and the first record; the search
  // then sets the lock state for the record it ends on.
  ctl->Search_RecordSource("SELECT 'Nobody' AS Code");
  PickCode(host, "Nobody");
  ctl->Search();
  EXPECT_EQ(host.lines("Beep").size(), 1u);
  EXPECT_EQ(code(), "A");
  EXPECT_EQ(uniCode->Text(), "A");
  EXPECT_FALSE(txtName->Locked());
  ctl->Search_RecordSource("");

  // Cancelled dialog: stays, still resets add mode and locks; no AfterSearch.
  ctl->MoveRecordset(mvNext);
  log.clear();
  PickCode(host, "");
  ctl->Search();
  EXPECT_EQ(code(), "B");
  EXPECT_EQ(log, Lines{"Search"});
  EXPECT_FALSE(txtName->Locked());

  // A host that cancels one search does not cancel the next.
  cancelSearch = true;
  ctl->Search();
  EXPECT_EQ(code(), "B");
  EXPECT_EQ(host.pendingModalDrivers(), 0u);
  cancelSearch = false;
  PickCode(host, "C");
  ctl->Search();
  EXPECT_EQ(code(), "C");

  // A field list is looked up as one name: the dialog gets it back as text
  // and renames nothing.
  ctl->Source_Fields("Code, Name");
  PickCode(host, "B", &seen);
  ctl->Search();
  EXPECT_EQ(launcher->FriendlyNames(), Variant("Code, Name"));
  EXPECT_EQ(seen.columns[0], "Code");
  EXPECT_EQ(code(), "B");
  EXPECT_TRUE(boxes.empty()) << boxes[0].prompt;
}

TEST_F(FormControlTest, SearchReturnsDatesAndNumbersByTheirFields) {
  auto launcher = KivSearch::Create();
  ctl->SearchControl(launcher);
  ctl->SearchReturnFields("Joined");
  ASSERT_TRUE(open());
  host.pushModalDriver([](Form& form) {
    auto& f = dynamic_cast<frmSearch&>(form);
    f.dbgData().Row(2);
    f.dbgData().dblClick();
  });
  ctl->Search();
  EXPECT_EQ(code(), "C");
  ctl->SearchReturnFields("Amount,Name");
  ctl->Search_RecordSource("SELECT Amount, Name FROM Clients WHERE Code = 'A'");
  ASSERT_TRUE(open());
  ctl->MoveRecordset(mvLast);
  host.pushModalDriver([](Form& form) { dynamic_cast<frmSearch&>(form).cmdOK().click(); });
  ctl->Search();
  EXPECT_EQ(code(), "A");
  EXPECT_TRUE(boxes.empty()) << boxes[0].prompt;
}

TEST_F(FormControlTest, SearchOverTheFormsStatementBrowsesTheRowsTheFormHolds) {
  auto launcher = KivSearch::Create();
  form->Add(launcher);
  ctl->SearchControl(launcher);
  ASSERT_TRUE(open());
  Recordset& rs = *ctl->Form_Recordset();
  rs["Name"].Value("Renamed");
  rs.Update();
  // A client another user adds now is not offered: the form could not go to it.
  Connection::OpenNew("sqlite:" + dbPath.string())
      ->Execute("INSERT INTO Clients (Code) VALUES ('D')");
  std::int32_t rows = -1;
  std::string name;
  host.pushModalDriver([&](Form& shown) {
    auto& f = dynamic_cast<frmSearch&>(shown);
    rows = f.dbgData().RowCount();
    name = f.dbgData().cellText(0, 1);
    EXPECT_EQ(f.arsSearch_RecordSource->LockType(), adLockReadOnly);
    f.cmdCancel().click();
  });
  ctl->Search();
  EXPECT_EQ(rows, 3);
  EXPECT_EQ(name, "Renamed");
  EXPECT_TRUE(boxes.empty());
}

TEST_F(FormControlTest, SearchWithoutALauncherOrOnAnEmptySet) {
  ASSERT_TRUE(open());
  ctl->cmdSearch().click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Error");
  EXPECT_EQ(boxes[0].buttons, vb::vbCritical);
  EXPECT_EQ(boxes[0].prompt.substr(boxes[0].prompt.size() - 6), " (91).");

  auto launcher = KivSearch::Create();
  ctl->SearchControl(launcher);
  ctl->Filter("Code = 'nobody'");
  ASSERT_TRUE(open());
  log.clear();
  ctl->Search();
  EXPECT_TRUE(log.empty());  // not even the Search event
  EXPECT_TRUE(host.lines("Modal").empty());

  // A bad search source, or a closed connection, is reported, not raised;
  // nothing in the database changes.
  ctl->Filter("");
  ctl->Search_RecordSource("SELECT * FROM NoSuchTable");
  ASSERT_TRUE(open());
  ctl->Search();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Error");
  ctl->Search_RecordSource("");
  boxes.clear();
  db->Close();
  ctl->Search();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Error");
  EXPECT_TRUE(host.lines("Modal").empty());
}

TEST_F(FormControlTest, FindSearchRecordMatchesByTypeAndReportsUnknownFields) {
  ASSERT_TRUE(open());
  ctl->FindSearchRecord(Variant(Array::Of({Variant("7.5")})), "Amount");
  EXPECT_EQ(code(), "C");
  ctl->FindSearchRecord(Variant(Array::Of({Variant("1/15/2024")})), "Joined");
  EXPECT_EQ(code(), "A");
  ctl->FindSearchRecord(Variant(Array::Of({Variant("False")})), "Active");
  EXPECT_EQ(code(), "B");
  ctl->FindSearchRecord(Variant(Array::Of({Variant("Gamma"), Variant("7.5")})), "Name,Amount");
  EXPECT_EQ(code(), "C");
  ctl->FindSearchRecord(Variant(Array::Of({Variant("Gamma"), Variant("5")})), "Name,Amount");
  EXPECT_EQ(code(), "A");  // both must match
  EXPECT_EQ(host.lines("Beep").size(), 1u);
  EXPECT_TRUE(txtName->Locked());  // no match: first record, locked
  EXPECT_TRUE(boxes.empty());

  ctl->FindSearchRecord(Variant(Array::Of({Variant("x")})), "NoSuchField");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].prompt.rfind("Error moving to record.\r\n", 0), 0u) << boxes[0].prompt;
  EXPECT_EQ(boxes[0].title, "Error");
}

}  // namespace
}  // namespace kiv::test
