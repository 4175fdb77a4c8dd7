// The button bar: clicks, shortcuts, layout; friendly field names; search
// through a launcher.

#include "form_controller/FormControlFixture.h"
#include "kiv/host/DataGrid.h"
#include "kiv/runtime/Error.h"
#include "kiv/search/KivSearch.h"
#include "kiv/search/frmSearch.h"

namespace kiv::test {
namespace {

// A click or Ctrl with the shortcut's letter (alone: not with Shift) runs a
// button's action; a host that zeroes the key code, or a disabled or hidden
// button, suppresses it.
TEST_F(FormControlTest, ButtonsRunTheirActionsByClickAndByShortcut) {
  ASSERT_TRUE(open());
  Lines keys;
  bool zeroKey = false;
  ctl->events.KeyDown.connect([&](std::int16_t& keyCode, std::int16_t& shift) {
    keys.push_back(std::to_string(keyCode) + "/" + std::to_string(shift));
    if (zeroKey) keyCode = 0;
  });
  const std::tuple<CommandButton*, std::int16_t, const char*> moves[] = {
      {&ctl->cmdNext(), 'N', "B"},
      {&ctl->cmdLast(), 'L', "C"},
      {&ctl->cmdPrevious(), 'P', "B"},
      {&ctl->cmdFirst(), 'R', "A"}};
  for (const auto& [button, letter, expected] : moves) {
    EXPECT_TRUE(button->click());
    EXPECT_EQ(code(), expected);
  }
  CommandButton& next = ctl->cmdNext();
  for (const auto& [button, letter, expected] : moves) {
    next.keyDown(letter, key::CtrlMask);
    EXPECT_EQ(code(), expected) << static_cast<char>(letter);
    EXPECT_TRUE(button->HasFocus());  // as if the user pressed it
  }
  next.keyDown('N', 0);  // plain N: KeyDown only
  next.keyDown('N', key::CtrlMask | key::ShiftMask);
  EXPECT_EQ(code(), "A");
  EXPECT_EQ(keys, (Lines{"78/2", "76/2", "80/2", "82/2", "78/0", "78/3"}));

  // Ctrl+S saves; Ctrl+Shift+S, a disabled save button and a zeroed key code
  // do nothing.
  const auto saved = [&] { return dbValue("SELECT Name FROM Clients WHERE Code = 'A'"); };
  txtName->Text("By key");
  next.keyDown('S', key::CtrlMask | key::ShiftMask);
  ctl->cmdSave().Enabled(false);
  next.keyDown('S', key::CtrlMask);
  ctl->cmdSave().Enabled(true);
  zeroKey = true;
  next.keyDown('S', key::CtrlMask);
  EXPECT_EQ(saved(), "Alpha");
  zeroKey = false;
  next.keyDown('S', key::CtrlMask);
  EXPECT_EQ(saved(), "By key");
  txtName->Text("Clicked");
  EXPECT_TRUE(ctl->cmdSave().click());
  EXPECT_EQ(saved(), "Clicked");

  // Ctrl+A hides the add button it stands for: the focus cannot go back to
  // it and nothing fails. Ctrl+A again: the add button is hidden, so no.
  ctl->cmdAdd().SetFocus();
  EXPECT_NO_THROW(ctl->cmdAdd().keyDown('A', key::CtrlMask));
  EXPECT_TRUE(ctl->AddNewMode());
  EXPECT_FALSE(ctl->cmdAdd().Visible());
  log.clear();
  ctl->cmdSave().SetFocus();
  ctl->cmdSave().keyDown('A', key::CtrlMask);
  EXPECT_TRUE(log.empty());
  ctl->cmdSave().keyDown('U', key::CtrlMask);
  EXPECT_FALSE(ctl->AddNewMode());
  EXPECT_TRUE(ctl->cmdAdd().click());
  EXPECT_TRUE(ctl->AddNewMode());
  EXPECT_TRUE(ctl->cmdUndoAdd().click());
  EXPECT_FALSE(ctl->AddNewMode());
  EXPECT_TRUE(boxes.empty());
}

// A failing action is reported in a box at the click, never passed to the
// host: with no record set to move, and with a bound field that vanished
// from the record set.
TEST_F(FormControlTest, AFailingActionIsReportedAtTheClickAndNeverReachesTheHost) {
  EXPECT_NO_THROW(ctl->cmdNext().click());
  EXPECT_THAT(boxes, ElementsAre(::testing::AllOf(
                         HasSubstr(R"(title="Error" buttons=OKOnly icon=Critical)"),
                         ::testing::EndsWith(" (91).\""))));
  ASSERT_TRUE(open());
  auto stray = std::make_shared<TextBox>("txtStray");
  stray->DataField("NoSuchField");
  form->Add(stray);
  EXPECT_NO_THROW(ctl->cmdNext().click());
  EXPECT_THAT(boxes, ElementsAre(HasSubstr("(3265).")));
}

// The bar is as wide as its height allows for nine square buttons with gaps
// of a hundredth of its width; add and undo add share a place.
TEST_F(FormControlTest, LayoutKeepsTheButtonsSquare) {
  for (const double height : {365.0, 500.0}) {
    ctl->Height(height);
    EXPECT_NEAR(ctl->Width(), height * 9.1954, 1e-6);
    const double b = ctl->cmdFirst().Width(), u = ctl->Width() * 0.01;
    EXPECT_NEAR(b, height, 1.0);
    EXPECT_EQ(ctl->cmdFirst().Height(), height);
    EXPECT_NEAR(ctl->cmdAdd().Left(), 4 * b + 7 * u, 1e-6);
    EXPECT_EQ(ctl->cmdUndoAdd().Left(), ctl->cmdAdd().Left());
    EXPECT_NEAR(ctl->cmdSearch().Left(), 7 * b + 13 * u, 1e-6);
    EXPECT_EQ(ctl->cmdSearch().Top(), 0);
  }
}

TEST_F(FormControlTest, FriendlyNamesForOneFieldAndForAllFields) {
  ASSERT_TRUE(open());
  EXPECT_EQ(ctl->GetFriendlyFieldNames("Clients", "Code"), Variant("Client code"));
  EXPECT_EQ(ctl->GetFriendlyFieldNames("Clients", "Name"), Variant(""));  // stored Null
  EXPECT_EQ(ctl->GetFriendlyFieldNames("Clients", "Amount"), Variant("Amount"));
  EXPECT_EQ(ctl->GetFriendlyFieldNames("O'Brien", "Code"), Variant("Quoted"));
  EXPECT_EQ(ctl->GetFriendlyFieldNames("Clients", "x' OR '1'='1"), Variant("x' OR '1'='1"));

  EXPECT_EQ(ctl->GetFriendlyFieldNames("Clients", "*"),
            FriendlyNameTable({{"Code", "Client code"}, {"Name", ""}}));
  const Variant none = FriendlyNameTable({{"", ""}});
  EXPECT_EQ(ctl->GetFriendlyFieldNames("Nobody", "*"), none);

  // Without a translation table everything falls back silently.
  ctl->FieldNameTranslatorTable("");
  EXPECT_EQ(ctl->GetFriendlyFieldNames("Clients", "Code"), Variant("Code"));
  EXPECT_EQ(ctl->GetFriendlyFieldNames("Clients", "*"), none);
  ctl->FieldNameTranslatorTable("NoSuchTable");
  EXPECT_EQ(ctl->GetFriendlyFieldNames("Clients", "Code"), Variant("Code"));
  EXPECT_TRUE(boxes.empty());

  // Row counts are not limited to 16 bits.
  db->Execute(
      "CREATE TABLE Many (TableName VARCHAR(10), FieldName VARCHAR(10), FriendlyName VARCHAR(10));"
      "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 33000) "
      "INSERT INTO Many SELECT 'Big', 'F' || i, 'Field ' || i FROM n");
  ctl->FieldNameTranslatorTable("Many");
  const Variant many = ctl->GetFriendlyFieldNames("Big", "*");
  ASSERT_TRUE(many.isArray());
  EXPECT_EQ(many.array().ubound(1), 33000);
  EXPECT_EQ(many.array().at(33000, 1), Variant("Field 33000"));
}

// What the controller's search showed in the dialog.
struct DialogSeen {
  Lines columns;
  std::string returnFields;
};

// Drives the next search dialog: finds the code in its Code column and
// presses OK, or presses Cancel for an empty code.
void PickCode(HeadlessHost& host, const std::string& code, DialogSeen* seen = nullptr) {
  host.pushModalDriver([code, seen](Form& form) {
    auto& f = dynamic_cast<frmSearch&>(form);
    if (seen) {
      seen->columns = f.cmbField().items();
      seen->returnFields = f.strReturn_Fields;
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
  flip = {"Search"};
  ctl->Search();
  EXPECT_EQ(code(), "B");
  EXPECT_EQ(host.pendingModalDrivers(), 0u);
  flip.clear();
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
  EXPECT_EQ(boxes, Lines{});
}

// The search browses the rows the form holds, edits included, read-only.
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

// Without a launcher the search fails at the click; on an empty set it does
// nothing at all; a bad search source, or a closed connection, is reported,
// not raised.
TEST_F(FormControlTest, SearchWithoutALauncherOrOnAnEmptySet) {
  ASSERT_TRUE(open());
  ctl->cmdSearch().click();
  EXPECT_THAT(boxes, ElementsAre(HasSubstr(" (91).")));

  auto launcher = KivSearch::Create();
  ctl->SearchControl(launcher);
  ctl->Filter("Code = 'nobody'");
  ASSERT_TRUE(open());
  ctl->Search();
  EXPECT_TRUE(log.empty());  // not even the Search event

  ctl->Filter("");
  ctl->Search_RecordSource("SELECT * FROM NoSuchTable");
  ASSERT_TRUE(open());
  ctl->Search();
  EXPECT_THAT(boxes, ElementsAre(HasSubstr(R"(title="Error")")));
  ctl->Search_RecordSource("");
  db->Close();
  ctl->Search();
  EXPECT_THAT(boxes, ElementsAre(HasSubstr(R"(title="Error")"), HasSubstr(R"(title="Error")")));
  EXPECT_TRUE(host.lines("Modal").empty());
}

// The returned values are matched by their fields' types, all of them; no
// match beeps and shows the first record; an unknown field is reported.
TEST_F(FormControlTest, ReturnedValuesAreMatchedByTheirFieldsTypes) {
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
  EXPECT_THAT(
      boxes,
      ElementsAre(::testing::StartsWith(
          R"(title="Error" buttons=OKOnly icon=Critical prompt="Error moving to record.\r\n)")));

  // From the dialog: a date, and a number with a text.
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
  EXPECT_EQ(boxes, Lines{});
}

}  // namespace
}  // namespace kiv::test
