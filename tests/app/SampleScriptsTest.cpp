#include "app/AppTestSupport.h"

namespace kivform::test {
namespace {

// Every sample script runs green on a fresh database with its screen; the
// transcript shows the boxes, events and actions of the run.
TEST_F(AppTest, EverySampleScriptPasses) {
  std::vector<std::pair<std::string, std::filesystem::path>> runs;
  for (const auto& entry : std::filesystem::directory_iterator(samples() / "tour"))
    if (entry.path().extension() == ".script") runs.emplace_back("customers.json", entry.path());
  for (const char* script : {"orders.script", "orders-tour.script", "orders-lookup.script"})
    runs.emplace_back("orders.json", samples() / script);
  EXPECT_GE(runs.size(), 9u);
  std::string all;
  for (const auto& [form, script] : runs) {
    SCOPED_TRACE(script);
    freshDatabase();
    EXPECT_EQ(run({(dir / form).string(), "--script", script.string()}), kExitOk) << out << err;
    EXPECT_NE(out.find(" 0 failed"), std::string::npos) << out;
    EXPECT_EQ(err, "");
    all += out;
  }
  EXPECT_NE(all.find("MsgBox title=\"Save\" buttons=OKOnly icon=Exclamation prompt=\"You have "
                     "entered invalid data, the record was not saved.\" -> OK"),
            std::string::npos);
  EXPECT_NE(all.find("Event uniCustomerCode.DataChanged \"C9\" True"), std::string::npos);
  EXPECT_NE(all.find("Action ctlForm.AfterSave: open grdLines: 0 rows"), std::string::npos);
}

// A script run shows the invariant locale unless --locale names another, even
// right after a German run in the same process; what is stored is the same
// in either. --transcript sends the transcript to a file.
TEST_F(AppTest, ScriptRunsHaveOneLocaleFromLoadToSaveAndTheTranscriptGoesWhereAsked) {
  const auto german = file("german.script",
                           "expect uniDiscount.Text \"0,05\"\n"
                           "expect uniSince.Text \"14.03.2019\"\n"
                           "focus uniCreditLimit\n"
                           "type uniCreditLimit \"1.234,5\"\n"
                           "click ctlForm.cmdSave\n"
                           "expect no message\n"
                           "expect sql \"SELECT CAST(CreditLimit * 10 AS INTEGER) FROM Customers "
                           "WHERE Code = 'C1'\" \"12345\"\n");
  const auto transcript = (dir / "german.txt").string();
  EXPECT_EQ(run({(dir / "customers.json").string(), "--locale", "de-DE", "--script", german,
                 "--transcript", transcript}),
            kExitOk)
      << ReadText(transcript) << err;
  EXPECT_EQ(out, "");
  EXPECT_NE(ReadText(transcript).find("Script " + german + ": 4 checks, 0 failed"),
            std::string::npos)
      << ReadText(transcript);

  const auto invariant = file("invariant.script",
                              "expect uniDiscount.Text \"0.05\"\n"
                              "expect uniSince.Text \"3/14/2019\"\n"
                              "expect uniCreditLimit.Text \"1234.50\"\n"
                              "click ctlForm.cmdNext\n"
                              "expect no message\n");
  EXPECT_EQ(run({(dir / "customers.json").string(), "--script", invariant}), kExitOk) << out;

  EXPECT_EQ(run({(dir / "customers.json").string(), "--script", invariant, "--transcript",
                 (dir / "no" / "such" / "folder" / "t.txt").string()}),
            kExitBadInput);
  EXPECT_NE(err.find("--transcript"), std::string::npos) << err;
}

// A failed expectation names its line, the run goes on, and the status is 1;
// an answer nobody used counts as a failure too, and so do search lines with
// no dialog open or naming what the dialog does not offer.
TEST_F(AppTest, FailingLinesNameTheirLineAndGiveStatusOne) {
  const auto script = file("bad.script",
                           "expect uniCode.Text \"C2\"\n"
                           "click ctlForm.cmdNext\n"
                           "expect uniCode.Text \"C2\"\n"
                           "answer Yes\n"
                           "expect message \"Hello\"\n"
                           "search ok\n"
                           "click ctlForm.cmdSearch\n"
                           "search column \"Colour\"\n"
                           "search sort \"Colour\"\n"
                           "search row 99\n"
                           "expect frmSearch.cmdFindNext.Caption \"&Find\"\n");
  EXPECT_EQ(run({(dir / "customers.json").string(), "--script", script}), kExitFailed);
  for (const std::string& failure :
       {"FAILED " + script + ":1: expect uniCode.Text \"C2\": the value is \"C1\"",
        "FAILED " + script + ":4: no message box took this answer",
        script + ":5: expect message \"Hello\": no message box was shown",
        script + ":6: search ok: no search dialog is open",
        script + ":8: search column \"Colour\": the dialog offers no column \"Colour\" "
                 "(it offers \"Customer code\", \"Customer name\"",
        script + ":9: search sort \"Colour\": the grid has no column",
        script + ":10: search row 99: the grid has no row 99 (it has 5)",
        // The lines ran in the open dialog, which the user closes when they run out.
        std::string("Modal frmSearch closed by the user"), std::string("4 checks, 7 failed")})
    EXPECT_NE(out.find(failure), std::string::npos) << failure << " not in:\n" << out;
  EXPECT_EQ(out.find(script + ":3"), std::string::npos) << out;
}

// Values reach the statement as bound parameters: a name with a quote is
// found, a hostile text finds nothing and changes nothing; a failing action
// is reported in a box and the event's other actions and the controller go
// on; an action that raises its own event does not run again inside itself.
TEST_F(AppTest, EventActionsBindValuesAndReportFailures) {
  const auto form = file("detail.json", DetailForm(R"({
    "ctlForm.AfterMove": [
      {"open": "grdOrders", "sql": "SELECT OrderNo FROM Orders WHERE CustomerCode = ?",
       "parameters": [{"field": "Code"}]},
      {"call": "ctlForm.MoveRecordset", "arguments": [{"value": 2}]}],
    "ctlForm.AfterDelete": [
      {"open": "grdOrders", "sql": "SELECT * FROM NoSuchTable"},
      {"set": "txtName.Text", "value": {"value": "after delete"}}],
    "cmdFind.Click": [
      {"open": "grdOrders",
       "sql": "SELECT c.Code FROM Customers c WHERE c.Name = ? AND c.Code <> '?' -- ?",
       "parameters": [{"text": "txtName"}]}]})"));
  const auto script = file("detail.script", R"S(expect uniCode.Text "C2"
expect grdOrders.DataGrid1.ApproxCount 2
set txtName.Text "O'Brien Hardware"
click cmdFind
expect grdOrders.DataGrid1.ApproxCount 1
expect grdOrders.CellText "C3"
set txtName.Text "x' OR '1'='1"
click cmdFind
expect grdOrders.DataGrid1.ApproxCount 0
answer Yes
click ctlForm.cmdDelete
expect message "ctlForm.AfterDelete: open grdOrders: no such table: NoSuchTable (-2147467259)"
expect txtName.Text "after delete"
)S");
  ASSERT_EQ(run({form, "--script", script}), kExitOk) << out << err;
  EXPECT_EQ(out.find("FAILED"), std::string::npos) << out;
  // The move inside AfterMove ran once per move, not without end: the screen
  // opened on C1, showed its two orders and moved on to C2.
  EXPECT_NE(out.find("Action ctlForm.AfterMove: open grdOrders: 2 rows"), std::string::npos);
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM Customers"), "4");
}

}  // namespace
}  // namespace kivform::test
