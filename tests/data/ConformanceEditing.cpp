// Conformance: types and Null, and writes (add, update, cancel, delete, the
// optimistic conflict, duplicate keys, record sets that cannot be written).

#include <cmath>
#include <string>

#include "Backend.h"
#include "support/ErrorChecks.h"

namespace kivtest {
namespace {

using namespace kiv;

const char* kTypesTable =
    "CREATE TABLE Items (id INTEGER PRIMARY KEY, qty INTEGER, name VARCHAR(40), "
    "ratio DOUBLE PRECISION, price NUMERIC(10,2), active BOOLEAN, due DATE, stamp TIMESTAMP)";

DateTime Stamp() {
  return DateTime{DateSerial(2024, 1, 31).serial + TimeSerial(10, 20, 30).serial};
}

void ExpectSampleRow(Recordset& rs) {
  Fields& f = rs.Fields();
  EXPECT_EQ(f["qty"].Value(), Variant(std::int32_t{42}));
  EXPECT_EQ(f["name"].Value(), Variant("O'Hara"));
  EXPECT_EQ(f["ratio"].Value(), Variant(2.5));
  EXPECT_EQ(f["price"].Value(), Variant(Currency{12345600}));
  EXPECT_EQ(f["active"].Value(), Variant(true));
  EXPECT_EQ(f["due"].Value(), Variant(DateSerial(2024, 1, 31)));
  ASSERT_EQ(f["stamp"].Value().type(), VarType::Date);
  EXPECT_NEAR(f["stamp"].Value().date().serial, Stamp().serial, 1e-9);
}

TEST_P(Conformance, EveryTypeAndNullReadAndWrittenAsTheControlsExpect) {
  exec(kTypesTable);
  exec(
      "INSERT INTO Items VALUES (1, 42, 'O''Hara', 2.5, 1234.56, TRUE, '2024-01-31', "
      "'2024-01-31 10:20:30'), (2, NULL, NULL, NULL, NULL, NULL, NULL, NULL)");
  const std::string all = "SELECT id, qty, name, ratio, price, active, due, stamp FROM Items";
  auto rs = open(all + " ORDER BY id");
  Fields& f = rs->Fields();
  const std::int32_t types[] = {adInteger, adInteger, adVarWChar, adDouble,
                                adNumeric, adBoolean, adDBDate,   adDBTimeStamp};
  for (int i = 0; i < f.Count(); ++i)
    EXPECT_EQ(f[i].Type(), types[i]) << f[i].Name();
  EXPECT_EQ(f["price"].NumericScale(), 2);
  ExpectSampleRow(*rs);
  rs->MoveNext();
  for (int i = 1; i < f.Count(); ++i)
    EXPECT_TRUE(f[i].Value().isNull()) << f[i].Name();
  EXPECT_EQ(Text(*rs, "name"), "");

  rs->AddNew();
  EXPECT_EQ(rs->EditMode(), adEditAdd);
  EXPECT_TRUE(f["name"].Value().isNull());
  f["id"].Value(Variant(3));
  f["qty"].Value(Variant("42"));  // converted to the field's type
  f["name"].Value(Variant("O'Hara"));
  f["ratio"].Value(Variant(2.5));
  f["price"].Value(Variant(123456.0 / 100));
  f["active"].Value(Variant(true));
  f["due"].Value(Variant(DateSerial(2024, 1, 31)));
  f["stamp"].Value(Variant(Stamp()));
  EXPECT_KIV_ERROR(f["qty"].Value(Variant("many")), err::TypeMismatch);
  rs->Update();
  EXPECT_EQ(rs->EditMode(), adEditNone);
  EXPECT_EQ(rs->RecordCount(), 3);
  ExpectSampleRow(*rs);
  auto check = peek(all + " WHERE id = 3");
  ASSERT_EQ(check->RecordCount(), 1);
  ExpectSampleRow(*check);

  // Nulls written back.
  f["name"].Value(Variant(kNull));
  f["due"].Value(Variant());  // Empty is stored as Null
  rs->Update();
  check->Requery();
  EXPECT_TRUE(check->Fields()["name"].Value().isNull());
  EXPECT_TRUE(check->Fields()["due"].Value().isNull());
  EXPECT_EQ(check->Fields()["qty"].Value(), Variant(std::int32_t{42}));
}

TEST_P(Conformance, UpdateCancelAndDeleteRoundTrips) {
  exec("CREATE TABLE People (id INTEGER PRIMARY KEY, name VARCHAR(30), city VARCHAR(30))");
  exec("INSERT INTO People VALUES (1, 'Ann', 'Oslo'), (2, 'Bob', 'Rome'), (3, 'Cy', 'Oslo')");
  auto rs = open("SELECT id, name, city FROM People ORDER BY id");
  auto other = another();
  auto nameOf = [&](int id) {
    auto r =
        open("SELECT name FROM People WHERE id = " + std::to_string(id), adLockReadOnly, other);
    return r->EOF() ? std::string("<none>") : Text(*r, "name");
  };
  Fields& f = rs->Fields();

  // Edit and save.
  rs->MoveNext();
  f["name"].Value(Variant("Bea"));
  EXPECT_EQ(rs->EditMode(), adEditInProgress);
  EXPECT_EQ(TextOf(f["name"].OriginalValue()), "Bob");
  EXPECT_EQ(nameOf(2), "Bob");  // nothing written before Update
  rs->Update();
  EXPECT_EQ(nameOf(2), "Bea");
  EXPECT_EQ(TextOf(f["name"].OriginalValue()), "Bea");

  // Edit and cancel.
  f["name"].Value(Variant("Zed"));
  rs->CancelUpdate();
  EXPECT_EQ(Text(*rs, "name"), "Bea");
  EXPECT_EQ(nameOf(2), "Bea");

  // AddNew then CancelUpdate returns to the row that was current before.
  rs->AddNew();
  f["id"].Value(Variant(9));
  rs->CancelUpdate();
  EXPECT_EQ(Id(*rs), 2);
  rs->Move(0);
  EXPECT_EQ(rs->RecordCount(), 3);
  EXPECT_EQ(nameOf(9), "<none>");

  // AddNew on a set at EOF, saved: the new row is current and last.
  rs->MoveLast();
  rs->MoveNext();
  rs->AddNew();
  f["id"].Value(Variant(4));
  f["name"].Value(Variant("Dee"));
  rs->Update();
  EXPECT_EQ(Id(*rs), 4);
  EXPECT_TRUE(f["city"].Value().isNull());
  EXPECT_EQ(rs->RecordCount(), 4);
  EXPECT_EQ(nameOf(4), "Dee");

  // Delete: the deleted row stays current but cannot be read; moves skip it.
  rs->MoveFirst();
  rs->MoveNext();  // id 2
  rs->Delete(adAffectCurrent);
  EXPECT_EQ(nameOf(2), "<none>");
  EXPECT_FALSE(rs->BOF());
  EXPECT_FALSE(rs->EOF());
  EXPECT_KIV_ERROR(f["name"].Value(), err::NoCurrentRecord);
  EXPECT_EQ(rs->RecordCount(), 3);
  rs->UpdateBatch(adAffectAll);
  rs->MoveNext();
  EXPECT_EQ(Id(*rs), 3);
  rs->MovePrevious();
  EXPECT_EQ(Id(*rs), 1);

  // Deleting the last row and moving on reaches EOF; the previous row is then last.
  rs->MoveLast();
  rs->Delete(adAffectCurrent);
  rs->MoveNext();
  EXPECT_TRUE(rs->EOF());
  rs->MoveLast();
  EXPECT_EQ(Id(*rs), 3);

  // A pending edit is saved by a move.
  f["city"].Value(Variant("Bern"));
  rs->MoveFirst();
  EXPECT_EQ(Text(*open("SELECT city FROM People WHERE id = 3", adLockReadOnly, other), "city"),
            "Bern");
}

TEST_P(Conformance, DeletingEveryRowLeavesAnEmptySet) {
  people(1);
  auto rs = open("SELECT id, name FROM People");
  rs->Delete(adAffectCurrent);
  rs->UpdateBatch(adAffectAll);
  rs->MoveNext();
  EXPECT_TRUE(rs->EOF());
  EXPECT_TRUE(rs->BOF());
  EXPECT_KIV_ERROR(rs->MoveLast(), err::NoCurrentRecord);
  EXPECT_EQ(rs->RecordCount(), 0);
}

TEST_P(Conformance, SecondWriterOfAChangedRowGetsTheConflict) {
  exec("CREATE TABLE People (id INTEGER PRIMARY KEY, name VARCHAR(30), city VARCHAR(30))");
  exec("INSERT INTO People VALUES (1, 'Ann', 'Oslo')");
  auto first = open("SELECT id, name, city FROM People");
  auto second = open("SELECT id, name, city FROM People", adLockOptimistic, another());
  first->Fields()["name"].Value(Variant("Anna"));
  first->Update();
  second->Fields()["name"].Value(Variant("Annie"));
  EXPECT_EQ(ErrorDescription([&] { second->Update(); }),
            "Row cannot be located for updating. Some values may have been changed since it "
            "was last read.");
  // The database keeps the first writer's data; the second keeps its pending edit.
  EXPECT_EQ(Text(*peek("SELECT name FROM People"), "name"), "Anna");
  EXPECT_EQ(second->EditMode(), adEditInProgress);
  EXPECT_EQ(Text(*second, "name"), "Annie");
  // The row was read again at the conflict: the edit is measured against
  // what the other writer left.
  EXPECT_EQ(TextOf(second->Fields()["name"].OriginalValue()), "Anna");
  second->CancelUpdate();
  EXPECT_EQ(Text(*second, "name"), "Anna");

  // A change to a column the other writer did not touch goes through.
  second->Fields()["city"].Value(Variant("Rome"));
  second->Update();
  auto both = peek("SELECT name, city FROM People");
  EXPECT_EQ(Text(*both, "name"), "Anna");
  EXPECT_EQ(Text(*both, "city"), "Rome");

  // Deleting a row another writer deleted is refused too; the row stays.
  exec("DELETE FROM People");
  EXPECT_KIV_ERROR(first->Delete(adAffectCurrent), -2147217864);
  EXPECT_EQ(first->RecordCount(), 1);
  EXPECT_EQ(Text(*first, "name"), "Anna");
}

TEST_P(Conformance, DuplicateKeysAreReportedAndTheEditKeptForCorrection) {
  exec("CREATE TABLE People (id INTEGER PRIMARY KEY, code VARCHAR(10) UNIQUE, name VARCHAR(30))");
  exec("INSERT INTO People VALUES (1, 'A1', 'Ann')");
  auto rs = open("SELECT id, code, name FROM People");
  rs->AddNew();
  rs->Fields()["id"].Value(Variant(1));
  rs->Fields()["code"].Value(Variant("B2"));
  const std::string pk = ErrorDescription([&] { rs->Update(); });
  EXPECT_EQ(pk.rfind("Cannot insert duplicate key", 0), 0u) << pk;
  EXPECT_GT(pk.size(), std::string("Cannot insert duplicate key").size());
  EXPECT_EQ(rs->EditMode(), adEditAdd);
  EXPECT_EQ(Id(*rs), 1);
  auto count = [&] { return peek("SELECT id FROM People")->RecordCount(); };
  EXPECT_EQ(count(), 1);
  // Corrected and saved again.
  rs->Fields()["id"].Value(Variant(2));
  rs->Update();
  EXPECT_EQ(count(), 2);

  // A unique column violated by an edit.
  rs->Fields()["code"].Value(Variant("A1"));
  const std::string unique = ErrorDescription([&] { rs->Update(); });
  EXPECT_EQ(unique.rfind("Cannot insert duplicate key", 0), 0u) << unique;
  EXPECT_EQ(rs->EditMode(), adEditInProgress);
  rs->CancelUpdate();
  EXPECT_EQ(Text(*rs, "code"), "B2");
}

TEST_P(Conformance, ATextHoldingASecondStatementIsRefusedWhole) {
  people(1);
  for (const std::string tail : {"; DELETE FROM People", ";DROP TABLE People;",
                                 " WHERE id = 1; DELETE FROM People -- the rest"}) {
    const std::string error = ErrorDescription([&] { open("SELECT * FROM People" + tail); });
    EXPECT_EQ(error.rfind("Only one statement can be run at a time", 0), 0u)
        << tail << ": " << error;
  }
  const std::string ph = conn().driver().placeholder(1);
  EXPECT_FALSE(ErrorDescription([&] {
                 conn().Execute("DELETE FROM People WHERE id = " + ph + "; DELETE FROM People",
                                {Param{Variant(2), adInteger}});
               }).empty());
  // Blanks, comments and semicolons may follow the end.
  auto rs = open("SELECT * FROM People ; -- done\n /* really */ ;", adLockReadOnly);
  EXPECT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(peek("SELECT * FROM People")->RecordCount(), 1);
}

TEST_P(Conformance, RecordSetsWithoutOneKeyedTableRefuseUpdate) {
  exec("CREATE TABLE A (id INTEGER PRIMARY KEY, name VARCHAR(30))");
  exec("CREATE TABLE B (id INTEGER PRIMARY KEY, a_id INTEGER, note VARCHAR(30))");
  exec("INSERT INTO A VALUES (1, 'Ann')");
  exec("INSERT INTO B VALUES (10, 1, 'first')");

  auto join = open("SELECT A.id, A.name, B.note FROM A JOIN B ON B.a_id = A.id");
  join->Fields()["name"].Value(Variant("Zed"));
  const std::string two = ErrorDescription([&] { join->Update(); });
  EXPECT_NE(two.find("more than one table"), std::string::npos) << two;
  EXPECT_EQ(join->EditMode(), adEditInProgress);  // the edit stays for the user

  auto expr = open("SELECT COUNT(*) AS n FROM A");
  expr->Fields()["n"].Value(Variant(5));
  EXPECT_FALSE(ErrorDescription([&] { expr->Update(); }).empty());

  auto noKey = open("SELECT name FROM A");
  noKey->Fields()["name"].Value(Variant("Zed"));
  const std::string missing = ErrorDescription([&] { noKey->Update(); });
  EXPECT_NE(missing.find("key column"), std::string::npos) << missing;

  auto computed = open("SELECT id, name, id * 2 AS twice FROM A");
  computed->Fields()["twice"].Value(Variant(7));
  const std::string notColumn = ErrorDescription([&] { computed->Update(); });
  EXPECT_NE(notColumn.find("twice"), std::string::npos) << notColumn;

  EXPECT_EQ(Text(*open("SELECT name FROM A", adLockReadOnly), "name"), "Ann");
}

}  // namespace
}  // namespace kivtest
