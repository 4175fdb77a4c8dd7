#include "app/AppTestSupport.h"

namespace kivform::test {
namespace {

// Every tour script runs green on a fresh database, and prints the
// transcript of what it did.
TEST_F(AppTest, TourScriptsPassOnTheCustomersScreen) {
  int scripts = 0;
  for (const auto& entry : std::filesystem::directory_iterator(samples() / "tour")) {
    if (entry.path().extension() != ".script") continue;
    ++scripts;
    freshDatabase();
    const int status = run({(dir / "customers.json").string(), "--script", entry.path().string()});
    EXPECT_EQ(status, kExitOk) << entry.path() << "\n" << out << err;
    EXPECT_NE(out.find(" 0 failed"), std::string::npos) << out;
    EXPECT_EQ(out.find("FAILED"), std::string::npos) << out;
    EXPECT_EQ(err, "");
  }
  EXPECT_GE(scripts, 5);
}

TEST_F(AppTest, OrdersScriptPassesAndTranscriptShowsBoxesAndEvents) {
  const int status =
      run({(dir / "orders.json").string(), "--script", (samples() / "orders.script").string()});
  EXPECT_EQ(status, kExitOk) << out << err;
  EXPECT_NE(out.find("MsgBox title=\"Save\" buttons=OKOnly icon=Exclamation prompt=\"You have "
                     "entered invalid data, the record was not saved.\" -> OK"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("Event ctlForm.AfterMove"), std::string::npos);
  EXPECT_NE(out.find("Event uniCustomerCode.DataChanged \"C9\" True"), std::string::npos) << out;
}

// The customer-code editor's lookup opens the search dialog on the orders
// screen; search lines with no dialog open, or naming what the dialog does
// not offer, fail their line and the run goes on.
TEST_F(AppTest, OrdersLookupScriptDrivesTheSearchDialog) {
  EXPECT_EQ(run({(dir / "orders.json").string(), "--script",
                 (samples() / "orders-lookup.script").string()}),
            kExitOk)
      << out << err;
  EXPECT_NE(out.find(" 0 failed"), std::string::npos) << out;
  EXPECT_EQ(scalar("SELECT CustomerCode FROM Orders WHERE OrderNo = 1001"), "C5");

  const auto script = file("search.script",
                           "search ok\n"
                           "click ctlForm.cmdSearch\n"
                           "search column \"Colour\"\n"
                           "search sort \"Colour\"\n"
                           "search row 99\n"
                           "expect frmSearch.cmdFindNext.Caption \"&Find\"\n");
  EXPECT_EQ(run({(dir / "customers.json").string(), "--script", script}), kExitFailed);
  EXPECT_NE(out.find(script + ":1: search ok: no search dialog is open"), std::string::npos) << out;
  EXPECT_NE(out.find(":3: search column \"Colour\": the dialog offers no column \"Colour\" "
                     "(it offers \"Customer code\", \"Customer name\""),
            std::string::npos)
      << out;
  EXPECT_NE(out.find(":4: search sort \"Colour\": the grid has no column"), std::string::npos);
  EXPECT_NE(out.find(":5: search row 99: the grid has no row 99 (it has 5)"), std::string::npos);
  // The lines ran in the open dialog, which the user closes when they run out.
  EXPECT_NE(out.find("Modal frmSearch closed by the user"), std::string::npos) << out;
  EXPECT_NE(out.find("1 checks, 4 failed"), std::string::npos) << out;
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
// an answer nobody used counts as a failure too.
TEST_F(AppTest, FailedExpectationsNameTheirLineAndGiveStatusOne) {
  const auto script = file("bad.script",
                           "expect uniCode.Text \"C2\"\n"
                           "click ctlForm.cmdNext\n"
                           "expect uniCode.Text \"C2\"\n"
                           "answer Yes\n"
                           "expect message \"Hello\"\n");
  EXPECT_EQ(run({(dir / "customers.json").string(), "--script", script}), kExitFailed);
  EXPECT_NE(out.find("FAILED " + script + ":1: expect uniCode.Text \"C2\": the value is \"C1\""),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find(script + ":3"), std::string::npos) << out;
  EXPECT_NE(out.find(script + ":5: expect message \"Hello\": no message box was shown"),
            std::string::npos);
  EXPECT_NE(out.find("FAILED " + script + ":4: no message box took this answer"),
            std::string::npos);
  EXPECT_NE(out.find("3 checks, 3 failed"), std::string::npos) << out;
}

}  // namespace
}  // namespace kivform::test
