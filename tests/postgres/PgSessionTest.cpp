// What a PostgreSQL session may do to the library and what the library does
// when the session goes: a database whose default quoting treats backslashes
// as escapes, a backend ended by an administrator, a server restarted while a
// user had unsaved work on the screen.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "kiv/data/Connection.h"
#include "kiv/data/Field.h"
#include "kiv/data/Recordset.h"
#include "kiv/field_editor/KivUni.h"
#include "kiv/form_controller/KivFormControl.h"
#include "kiv/host/Form.h"
#include "kiv/host/HeadlessHost.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"
#include "postgres/PgTestSupport.h"
#include "support/ErrorChecks.h"
#include "support/HostedTest.h"

namespace kivtest::pg {
namespace {

using namespace kiv;

using Session = kiv::test::HostedTest;

TEST_F(Session, BackslashesStayCharactersWhateverTheServersQuotingDefault) {
  // Every session of this database starts with backslash escapes on.
  const Schema schema;
  const std::string uri = schema.uri + "%20-cstandard_conforming_strings%3Doff";
  ASSERT_EQ(Scalar(Connect(uri).get(), "SHOW standard_conforming_strings"), "off");
  auto db = Connection::OpenNew(uri);
  db->Execute(
      "CREATE TABLE codes (code varchar(60) PRIMARY KEY);"
      "CREATE TABLE secret (value text);"
      "INSERT INTO secret VALUES ('TOP SECRET');"
      "CREATE TABLE fieldnames (tablename text, fieldname text, friendlyname text)");
  db->Execute("INSERT INTO codes VALUES ($1)", {Param{Variant("B\\1"), adVarWChar}});
  db->Execute("INSERT INTO fieldnames VALUES ('t', $1, 'Back slash')",
              {Param{Variant("B\\1"), adVarWChar}});

  auto uni = KivUni::Create();
  uni->Type_Of_LookUp(tolLookUp_Code);
  uni->Source_Connection(db);
  uni->Source_Table("codes");
  uni->Data_Field("code");
  auto validFor = [&](const std::string& text) {
    uni->Text(text);
    return !uni->Invalid_Data();
  };
  // A code that tries to end its literal at a backslash and show another
  // table's contents in the error box stays one text, and is not found.
  const std::string payload = "x\\' AND 1 = CAST((SELECT value FROM secret) AS integer) --";
  EXPECT_FALSE(validFor(payload));
  EXPECT_TRUE(validFor("B\\1"));
  EXPECT_TRUE(boxes.empty()) << boxes[0].prompt;

  auto ctl = KivFormControl::Create();
  ctl->Source_Connection(db);
  ctl->FieldNameTranslatorTable("fieldnames");
  EXPECT_EQ(ctl->GetFriendlyFieldNames("t", "B\\1"), Variant("Back slash"));
  const std::string leak = "x\\' UNION SELECT value, value, value FROM secret --";
  EXPECT_EQ(ctl->GetFriendlyFieldNames("t", leak), Variant(leak));

  // A statement that switches the setting off again does not last.
  db->Execute("SET standard_conforming_strings = off");
  EXPECT_TRUE(validFor("B\\1"));
  EXPECT_FALSE(validFor(payload));
  EXPECT_TRUE(boxes.empty()) << boxes[0].prompt;
}

TEST_F(Session, AnEndedSessionIsOpenedAgainWithItsSettingsByTheNextStatement) {
  const Schema schema;
  auto db = Connection::OpenNew(schema.uri);
  db->LockTimeout(1.5);
  db->Execute("CREATE TABLE t (id integer PRIMARY KEY, name text); INSERT INTO t VALUES (1, 'a')");
  auto rs = std::make_shared<Recordset>();
  rs->Open("SELECT id, name FROM t", db, adOpenKeyset, adLockOptimistic);
  const std::string before = TextOf(db->driver().query("SELECT pg_backend_pid()").values[0]);
  Scalar(Connect(ServerUri()).get(), "SELECT pg_terminate_backend(" + before + ")");

  (*rs)["name"].Value(Variant("b"));
  rs->Update();  // on a new session
  const ResultSet now = db->driver().query(
      "SELECT pg_backend_pid()::text, current_setting('standard_conforming_strings'),"
      " current_setting('lock_timeout'), current_setting('DateStyle'),"
      " (SELECT name FROM t WHERE id = 1)");
  EXPECT_NE(TextOf(now.at(0, 0)), before);
  EXPECT_EQ(TextOf(now.at(0, 1)), "on");
  EXPECT_EQ(TextOf(now.at(0, 2)), "1500ms");
  EXPECT_EQ(TextOf(now.at(0, 3)), "ISO, MDY");
  EXPECT_EQ(TextOf(now.at(0, 4)), "b");

  // Inside a transaction the application began, the loss is reported once
  // (the server rolled the transaction back) rather than the rest of it
  // running on its own.
  db->Execute("BEGIN; INSERT INTO t VALUES (2, 'in the transaction')");
  Scalar(Connect(ServerUri()).get(), "SELECT pg_terminate_backend(" + TextOf(now.at(0, 0)) + ")");
  const Error lost =
      CaughtError([&] { db->Execute("INSERT INTO t VALUES (3, 'after the loss')"); });
  EXPECT_EQ(lost.number(), err::ConnectionUnusable);
  EXPECT_NE(lost.description().find("inside a transaction"), std::string::npos)
      << lost.description();
  EXPECT_EQ(TextOf(db->driver().query("SELECT count(*) FROM t").values[0]), "1");
}

TEST_F(Session, ARestartedServerIsReachedAgainAndThePendingEditSaved) {
  PrivateServer server;
  auto db = Connection::OpenNew(server.uri());
  db->Execute(
      "CREATE TABLE clients (code varchar(10) PRIMARY KEY, name varchar(40));"
      "INSERT INTO clients VALUES ('A', 'Alpha'), ('B', 'Beta')");
  auto form = std::make_shared<Form>("frmClients");
  auto ctl = KivFormControl::Create();
  form->Add(ctl);
  auto uniName = KivUni::Create();
  uniName->Data_Field("name");
  form->Add(uniName);
  ctl->Source_Connection(db);
  ctl->Source_Table("clients");
  ctl->Source_Fields("*");
  ctl->SearchReturnFields("code");
  ctl->SecurityLevel(scEdit);
  std::string error;
  ASSERT_TRUE(ctl->OpenRecordset(error)) << error;
  auto storedName = [&](const std::string& code) {
    return Scalar(Connect(server.uri()).get(),
                  "SELECT name FROM clients WHERE code = '" + code + "'");
  };

  uniName->Text("Changed while the server was down");
  server.down();
  ctl->Save();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].prompt.find("The connection to the database was lost"), std::string::npos)
      << boxes[0].prompt;
  EXPECT_EQ(uniName->Text(), "Changed while the server was down");
  EXPECT_EQ(ctl->Form_Recordset()->EditMode(), adEditInProgress);

  server.up();
  ctl->Save();
  EXPECT_EQ(boxes.size(), 1u) << boxes.back().prompt;
  EXPECT_EQ(storedName("A"), "Changed while the server was down");

  // A restart while the screen sat idle: the next action just works.
  server.down();
  server.up();
  ctl->MoveRecordset(mvNext);
  uniName->Text("After the restart");
  ctl->Save();
  EXPECT_EQ(boxes.size(), 1u) << boxes.back().prompt;
  EXPECT_EQ(storedName("B"), "After the restart");
}

}  // namespace
}  // namespace kivtest::pg
