// Saving from a screen on each backend: only what the user changed is
// written, conflicts and locks leave the user able to go on, and a refused
// delete keeps the record.

#include <chrono>
#include <map>

#include "form_controller/ScreenConformance.h"

namespace kivtest {
namespace {

using namespace kiv;

constexpr const char* kConflict =
    "Row cannot be located for updating. Some values may have been changed since it was last "
    "read.";

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class Accounts : public ScreenConformance {
 protected:
  void SetUp() override {
    ScreenConformance::SetUp();
    // Values the screen cannot show exactly: four and five decimals, a
    // 17-digit double, a time of day under a date format, microseconds, an
    // unscaled numeric; and Null e-mails under a unique index.
    exec(postgres() ? "CREATE TABLE accounts (id INTEGER PRIMARY KEY, name VARCHAR(40),"
                      " email VARCHAR(80) UNIQUE, credit NUMERIC(18,4), ratio DOUBLE PRECISION,"
                      " seen TIMESTAMP, stamp TIMESTAMP, exact NUMERIC, fine NUMERIC(18,5),"
                      " active BOOLEAN NOT NULL, flag INTEGER)"
                    : "CREATE TABLE accounts (id INTEGER PRIMARY KEY, name VARCHAR(40),"
                      " email VARCHAR(80) UNIQUE, credit CURRENCY, ratio DOUBLE PRECISION,"
                      " seen TIMESTAMP, stamp TIMESTAMP, exact NUMERIC, fine CURRENCY,"
                      " active BOOLEAN NOT NULL, flag INTEGER)");
    exec(
        "INSERT INTO accounts VALUES (1, 'Ann', NULL, 1234.5678, 0.30000000000000004,"
        " '2024-01-31 10:20:30', '2024-01-31 10:20:30.123456', "
        "0.1000000000000000055511151231257827,"
        " 1.23456, TRUE, 5)");
    exec(
        "INSERT INTO accounts VALUES (2, 'Bob', NULL, 10, 1.2345678901234567,"
        " '2024-02-01 08:00:00', '2024-02-01 08:00:00.5', 2, 2.5, FALSE, -1)");
    uniId = editor("id", tocNumber);
    uniName = editor("name", tocText);
    txtEmail = textBox("email");
    editor("credit", tocNumber, "0.00");
    editor("ratio", tocNumber);
    editor("seen", tocDate, "Short Date");
    uniStamp = editor("stamp", tocDate);
    editor("exact", tocNumber);
    uniFine = editor("fine", tocNumber);
    chkActive = checkBox("active");
    editor("flag", tocCheck);
    open("accounts", "id");
  }

  std::map<std::string, std::string> row(int id) {
    std::map<std::string, std::string> values;
    for (const char* c :
         {"name", "email", "credit", "ratio", "seen", "stamp", "exact", "fine", "active", "flag"})
      values[c] = exact("accounts", c, "id = " + std::to_string(id));
    return values;
  }

  std::shared_ptr<KivUni> uniId, uniName, uniStamp, uniFine;
  std::shared_ptr<TextBox> txtEmail;
  std::shared_ptr<CheckBox> chkActive;
};

TEST_P(Accounts, SavingWritesOnlyWhatTheUserChanged) {
  for (int id : {1, 2}) {
    SCOPED_TRACE(id);
    auto before = row(id);
    uniName->Text("Renamed " + std::to_string(id));
    ctl->Save();
    EXPECT_TRUE(boxes.empty()) << boxes.front();  // no "This record already exists."
    auto after = row(id);
    EXPECT_TRUE(Contains(after["name"], "Renamed")) << after["name"];
    before.erase("name");
    after.erase("name");
    EXPECT_EQ(after, before);
    ctl->MoveRecordset(mvNext);
    EXPECT_TRUE(boxes.empty());  // nothing counts as changed: no save prompt
  }

  // Editing a value the screen showed inexactly finds its row: no false
  // conflict when nobody else changed it.
  ctl->MoveRecordset(mvFirst);
  uniFine->Text("7.5");
  uniStamp->Text("2/2/2024 9:00:00 AM");
  ctl->Save();
  EXPECT_TRUE(boxes.empty()) << boxes.front();
  EXPECT_EQ(stored("SELECT fine FROM accounts WHERE id = 1"), "7.5");
  EXPECT_TRUE(Contains(exact("accounts", "stamp", "id = 1"), "2024-02-02 09:00:00"))
      << exact("accounts", "stamp", "id = 1");

  // A new record: a cleared box (and check editor) is stored as 0; untouched
  // fields keep the table's defaults (Null), so two records without an
  // e-mail can be saved.
  for (int id : {3, 4}) {
    ctl->Add();
    uniId->Text(std::to_string(id));
    uniName->Text("New");
    EXPECT_EQ(chkActive->Value(), 0);
    ctl->Save();
    EXPECT_TRUE(boxes.empty()) << boxes.front();
    const std::string where = "id = " + std::to_string(id);
    EXPECT_TRUE(Contains(exact("accounts", "active", where), postgres() ? "false" : "integer:0"))
        << exact("accounts", "active", where);
    EXPECT_EQ(exact("accounts", "email", where), "null");
    EXPECT_EQ(stored("SELECT flag FROM accounts WHERE " + where), "0");
  }
}

TEST_P(Accounts, AConflictIsReadAgainSoTheUserCanRecover) {
  auto other = another();
  other->Execute("UPDATE accounts SET name = 'Other', fine = 9, active = FALSE WHERE id = 1");
  uniName->Text("Mine");
  ctl->Save();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(Contains(boxes[0], kConflict)) << boxes[0];
  EXPECT_EQ(uniName->Text(), "Mine");  // the typed value stays
  EXPECT_EQ(uniFine->Text(), "9");     // what the other user wrote shows at once
  EXPECT_EQ(chkActive->Value(), 0);
  EXPECT_EQ(stored("SELECT name FROM accounts WHERE id = 1"), "Other");

  // The failed edit is still unsaved work when leaving; dropping it and
  // coming back shows the other user's values.
  boxes.clear();
  answers = {vb::vbNo};
  ctl->MoveRecordset(mvNext);
  EXPECT_EQ(boxes, std::vector<std::string>{"Do you want to save your changes?"});
  ctl->MoveRecordset(mvFirst);
  EXPECT_EQ(uniName->Text(), "Other");
  EXPECT_EQ(uniFine->Text(), "9");

  // A save made after being told goes through, over the other user's name
  // and keeping what the user did not touch.
  other->Execute("UPDATE accounts SET name = 'Other again' WHERE id = 1");
  uniName->Text("Mine");
  boxes.clear();
  ctl->Save();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(Contains(boxes[0], kConflict)) << boxes[0];
  boxes.clear();
  ctl->Save();
  EXPECT_TRUE(boxes.empty()) << boxes.front();
  EXPECT_EQ(stored("SELECT name FROM accounts WHERE id = 1"), "Mine");
  EXPECT_EQ(stored("SELECT fine FROM accounts WHERE id = 1"), "9");
}

TEST_P(Accounts, ASaveUnderAnotherSessionsLockEndsInTheLockedMessage) {
  EXPECT_EQ(db->LockTimeout(), 5.0);  // a few seconds unless the application says otherwise
  db->LockTimeout(0.5);
  auto other = another();
  // The other session holds the row (PostgreSQL) or the database (SQLite)
  // in an open transaction; PostgreSQL ends it on its own after a while, so
  // a save that waited without limit would still come back.
  other->Execute(postgres() ? "SET idle_in_transaction_session_timeout = '20s'; BEGIN;"
                              " SELECT id FROM accounts WHERE id = 1 FOR UPDATE"
                            : "BEGIN IMMEDIATE");
  uniName->Text("Mine");
  const auto start = std::chrono::steady_clock::now();
  ctl->Save();
  const auto waited = std::chrono::steady_clock::now() - start;
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(Contains(boxes[0], "The record is locked by another user")) << boxes[0];
  EXPECT_LT(waited, std::chrono::seconds(4));
  EXPECT_EQ(uniName->Text(), "Mine");
  EXPECT_EQ(rs().EditMode(), adEditInProgress);

  other->Execute("COMMIT");
  boxes.clear();
  ctl->Save();
  EXPECT_TRUE(boxes.empty()) << boxes.front();
  EXPECT_EQ(stored("SELECT name FROM accounts WHERE id = 1"), "Mine");
}

TEST_P(ScreenConformance, ADeleteRefusedByAForeignKeyKeepsTheRecord) {
  exec("CREATE TABLE customers (code VARCHAR(10) PRIMARY KEY, name VARCHAR(40))");
  exec(
      "CREATE TABLE orders (orderno INTEGER PRIMARY KEY,"
      " customer VARCHAR(10) NOT NULL REFERENCES customers (code))");
  exec("INSERT INTO customers VALUES ('C1', 'Ordering'), ('C2', 'Idle')");
  exec("INSERT INTO orders VALUES (1, 'C1')");
  auto uniCode = editor("code", tocText);
  open("customers", "code");

  answers = {vb::vbYes};
  ctl->Delete();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_TRUE(Contains(boxes[1], "The record cannot be deleted: other records refer to it"))
      << boxes[1];
  EXPECT_EQ(uniCode->Text(), "C1");
  EXPECT_EQ(field("code"), "C1");
  EXPECT_EQ(rs().RecordCount(), 2);
  EXPECT_EQ(stored("SELECT COUNT(*) FROM customers"), "2");

  // A record nothing refers to goes.
  ctl->MoveRecordset(mvNext);
  boxes.clear();
  answers = {vb::vbYes};
  ctl->Delete();
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_EQ(rs().RecordCount(), 1);
  EXPECT_EQ(stored("SELECT COUNT(*) FROM customers"), "1");
}

INSTANTIATE_TEST_SUITE_P(Screen, Accounts, ::testing::Values(ScreenBackend()), BackendName);

}  // namespace

INSTANTIATE_TEST_SUITE_P(Screen, ScreenConformance, ::testing::Values(ScreenBackend()),
                         BackendName);

}  // namespace kivtest
