// The SQLite driver: declared types, stored forms, row locators, the
// statement cache and connection strings.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "kiv/data/Connection.h"
#include "kiv/data/Field.h"
#include "kiv/data/Fields.h"
#include "kiv/data/Recordset.h"
#include "kiv/data/sqlite/SqliteDriver.h"
#include "kiv/runtime/Conversions.h"
#include "support/ErrorChecks.h"
#include "support/TempDir.h"

namespace kiv {
namespace {

std::shared_ptr<Recordset> OpenRs(std::shared_ptr<Connection> c, const std::string& sql,
                                  std::int32_t lock = adLockOptimistic) {
  auto rs = std::make_shared<Recordset>();
  rs->CursorLocation(adUseClient);
  rs->Open(sql, std::move(c), adOpenKeyset, lock);
  return rs;
}

// Each test gets a database of its own in memory.
class SqliteDriver : public ::testing::Test {
 protected:
  std::shared_ptr<Connection> c = Connection::OpenNew("sqlite::memory:");
};

// The stored text of a column, as SQLite holds it.
std::string Raw(const std::shared_ptr<Connection>& c, const std::string& expr) {
  auto rs = OpenRs(c, "SELECT " + expr + " || '' AS raw FROM T", adLockReadOnly);
  return TextOf(rs->Fields()[0].Value());
}

TEST_F(SqliteDriver, DeclaredTypesMapToEveryCategory) {
  using sqlite::MapDeclaredType;
  struct Case {
    const char* declared;
    std::int32_t type;
  };
  const Case cases[] = {{"INTEGER", adInteger},
                        {"int", adInteger},
                        {"BIGINT", adBigInt},
                        {"INT8", adBigInt},
                        {"SMALLINT", adSmallInt},
                        {"TINYINT", adTinyInt},
                        {"REAL", adDouble},
                        {"DOUBLE PRECISION", adDouble},
                        {"FLOAT", adDouble},
                        {"SINGLE", adSingle},
                        {"NUMERIC(10,2)", adNumeric},
                        {"DECIMAL", adNumeric},
                        {"MONEY", adCurrency},
                        {"BOOLEAN", adBoolean},
                        {"BIT", adBoolean},
                        {"DATE", adDBDate},
                        {"TIME", adDBTime},
                        {"DATETIME", adDBTimeStamp},
                        {"TIMESTAMP", adDBTimeStamp},
                        {"TEXT", adVarWChar},
                        {"VARCHAR(40)", adVarWChar},
                        {"CHARACTER VARYING(5)", adVarWChar},
                        {"CHAR(3)", adWChar},
                        {"NCHAR(2)", adWChar},
                        {"CLOB", adLongVarWChar},
                        {"BLOB", adLongVarBinary},
                        {"VARBINARY(8)", adVarBinary},
                        {"BINARY(16)", adBinary},
                        {"UUID", adGUID},
                        {"JSON", adVariant},
                        {"", adVariant}};
  for (const auto& c : cases)
    EXPECT_EQ(MapDeclaredType(c.declared).type, c.type) << c.declared;
  const auto n = MapDeclaredType("numeric( 12 , 3 )");
  EXPECT_EQ(n.precision, 12);
  EXPECT_EQ(n.scale, 3);
  EXPECT_EQ(MapDeclaredType("VARCHAR(40)").size, 40);
}

TEST_F(SqliteDriver, ValuesReadByTheirColumnTypeAndStoredForm) {
  c->Execute(
      "CREATE TABLE T (id INTEGER PRIMARY KEY, s SMALLINT, b BIGINT, m MONEY, n NUMERIC(20,6), "
      "f BOOLEAN, d DATE, t TIME, ts DATETIME, g GUID, x BLOB, j JSON)");
  c->Execute(
      "INSERT INTO T VALUES (1, 7, 9007199254740993, 12.3456, 1.5, 'true', '2024-02-29', "
      "'13:45:30', '2024-02-29T13:45:30', '{0A}', x'0102', 5)");
  c->Execute(
      "INSERT INTO T VALUES (2, 70000, 5, 1, 2, 0, 'not a date', '25:00', 45000, 'g', 'txt', 'j')");
  auto rs = OpenRs(c, "SELECT * FROM T ORDER BY id", adLockReadOnly);
  Fields& f = rs->Fields();
  EXPECT_EQ(f["s"].Value(), Variant(std::int16_t{7}));
  EXPECT_EQ(f["b"].Value(), Variant(9007199254740993.0));  // beyond 32 bits: Double
  EXPECT_EQ(f["m"].Value(), Variant(Currency{123456}));
  EXPECT_EQ(f["n"].Value(), Variant(1.5));  // scale 6: Double
  EXPECT_EQ(f["f"].Value(), Variant(true));
  EXPECT_EQ(f["d"].Value(), Variant(DateSerial(2024, 2, 29)));
  EXPECT_NEAR(f["t"].Value().date().serial, TimeSerial(13, 45, 30).serial, 1e-9);
  EXPECT_NEAR(f["ts"].Value().date().serial,
              DateSerial(2024, 2, 29).serial + TimeSerial(13, 45, 30).serial, 1e-9);
  EXPECT_EQ(f["g"].Value(), Variant("{0A}"));
  EXPECT_EQ(f["x"].Value(), Variant(Bytes{1, 2}));
  EXPECT_EQ(f["j"].Value(), Variant(std::int32_t{5}));
  rs->MoveNext();
  // Values that do not fit their column come back as stored, never lost.
  EXPECT_EQ(f["s"].Value(), Variant(std::int32_t{70000}));
  EXPECT_EQ(f["f"].Value(), Variant(false));
  EXPECT_EQ(f["d"].Value(), Variant("not a date"));
  EXPECT_EQ(f["t"].Value(), Variant("25:00"));
  EXPECT_EQ(f["ts"].Value(), Variant(std::int32_t{45000}));
  EXPECT_EQ(f["x"].Value(), Variant(Bytes{'t', 'x', 't'}));
}

TEST_F(SqliteDriver, ExpressionColumnsTakeTheTypeOfTheFirstValue) {
  c->Execute("CREATE TABLE T (id INTEGER PRIMARY KEY, name TEXT)");
  c->Execute("INSERT INTO T VALUES (1, 'a')");
  auto rs = OpenRs(c,
                   "SELECT COUNT(*) AS n, 1.5 AS r, 'x' || name AS s, x'00' AS b, NULL AS z, "
                   "4294967296 AS big FROM T",
                   adLockReadOnly);
  Fields& f = rs->Fields();
  EXPECT_EQ(f["n"].Type(), adInteger);
  EXPECT_EQ(f["r"].Type(), adDouble);
  EXPECT_EQ(f["s"].Type(), adVarWChar);
  EXPECT_EQ(f["b"].Type(), adLongVarBinary);
  EXPECT_EQ(f["z"].Type(), adVariant);
  EXPECT_EQ(f["big"].Type(), adBigInt);
  auto none = OpenRs(c, "SELECT MAX(id) + 1 AS next FROM T WHERE id > 5", adLockReadOnly);
  EXPECT_EQ(none->Fields()["next"].Type(), adVariant);  // Null first value
}

TEST_F(SqliteDriver, DatesAndBooleansAreStoredInTheirCanonicalForms) {
  c->Execute("CREATE TABLE T (id INTEGER PRIMARY KEY, d DATE, t TIME, ts TIMESTAMP, f BOOLEAN)");
  // Another program's spelling: the optimistic check compares dates as instants.
  c->Execute("INSERT INTO T (id, ts) VALUES (1, '2024-01-02T10:00')");
  auto rs = OpenRs(c, "SELECT id, d, t, ts, f FROM T");
  const DateTime when{DateSerial(1899, 12, 29).serial - TimeSerial(6, 0, 0).serial};
  rs->Fields()["d"].Value(Variant(DateSerial(2024, 3, 1)));
  rs->Fields()["t"].Value(Variant(TimeSerial(8, 5, 9)));
  rs->Fields()["ts"].Value(Variant(when));
  rs->Fields()["f"].Value(Variant(true));
  rs->Update();
  EXPECT_EQ(Raw(c, "d"), "2024-03-01");
  EXPECT_EQ(Raw(c, "t"), "08:05:09");
  EXPECT_EQ(Raw(c, "ts"), "1899-12-29 06:00:00");  // before the epoch: time still forward
  EXPECT_EQ(Raw(c, "f"), "1");
  auto again = OpenRs(c, "SELECT ts FROM T", adLockReadOnly);
  EXPECT_NEAR(again->Fields()[0].Value().date().serial, when.serial, 1e-9);
}

TEST_F(SqliteDriver, TablesWithoutADeclaredKeyAreLocatedByRowid) {
  c->Execute("CREATE TABLE T (name TEXT, qty INTEGER)");
  c->Execute("INSERT INTO T VALUES ('a', 1), ('a', 1), ('b', 2)");
  auto rs = OpenRs(c, "SELECT * FROM T");
  EXPECT_EQ(rs->Fields().Count(), 2);  // the locator is not a field
  rs->MoveNext();                      // the second of two equal rows
  rs->Fields()["qty"].Value(Variant(5));
  rs->Update();
  auto check = OpenRs(c, "SELECT rowid AS r, qty FROM T ORDER BY rowid", adLockReadOnly);
  EXPECT_EQ(CLng(check->Fields()["qty"].Value()), 1);
  check->MoveNext();
  EXPECT_EQ(CLng(check->Fields()["qty"].Value()), 5);
  rs->Delete(adAffectCurrent);
  rs->AddNew();
  rs->Fields()["name"].Value(Variant("c"));
  rs->Update();
  rs->Fields()["qty"].Value(Variant(9));  // the new row is located by its new rowid
  rs->Update();
  auto after = OpenRs(c, "SELECT name, qty FROM T ORDER BY rowid", adLockReadOnly);
  EXPECT_EQ(after->RecordCount(), 3);
  after->MoveLast();
  EXPECT_EQ(TextOf(after->Fields()["name"].Value()), "c");
  EXPECT_EQ(CLng(after->Fields()["qty"].Value()), 9);

  // Grouped rows are not rows of the table: no locator, so no writes.
  auto grouped = OpenRs(c, "SELECT name FROM T GROUP BY name");
  grouped->Fields()["name"].Value(Variant("z"));
  EXPECT_FALSE(ErrorDescription([&] { grouped->Update(); }).empty());
}

TEST_F(SqliteDriver, NewRowsReadBackDefaultsAndGeneratedKeys) {
  c->Execute(
      "CREATE TABLE T (id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT, "
      "status TEXT DEFAULT 'new', made DATE DEFAULT '2020-05-06')");
  auto rs = OpenRs(c, "SELECT id, name, status, made FROM T");
  rs->AddNew();
  rs->Fields()["name"].Value(Variant("x"));
  rs->Update();
  EXPECT_EQ(rs->Fields()["id"].Value(), Variant(std::int32_t{1}));
  EXPECT_EQ(rs->Fields()["status"].Value(), Variant("new"));
  EXPECT_EQ(rs->Fields()["made"].Value(), Variant(DateSerial(2020, 5, 6)));
  rs->AddNew();  // nothing set: all defaults
  rs->Update();
  EXPECT_EQ(rs->Fields()["id"].Value(), Variant(std::int32_t{2}));
  EXPECT_EQ(rs->RecordCount(), 2);
}

TEST_F(SqliteDriver, RepeatedStatementsAreServedFromTheCache) {
  c->Execute("CREATE TABLE T (id INTEGER PRIMARY KEY, code TEXT)");
  auto& driver = dynamic_cast<sqlite::SqliteDriver&>(c->driver());
  OpenRs(c, "SELECT TOP 1 code FROM T WHERE code = 'A'", adLockReadOnly);
  const auto before = driver.statementsPrepared();
  for (int i = 0; i < 5; ++i)
    OpenRs(c, "SELECT TOP 1 code FROM T WHERE code = 'A'", adLockReadOnly);
  EXPECT_EQ(driver.statementsPrepared(), before);
  OpenRs(c, "SELECT TOP 1 code FROM T WHERE code = 'B'", adLockReadOnly);
  EXPECT_EQ(driver.statementsPrepared(), before + 1);
  // A schema change under a cached statement is picked up.
  c->Execute("ALTER TABLE T ADD COLUMN extra TEXT");
  auto rs = OpenRs(c, "SELECT * FROM T", adLockReadOnly);
  EXPECT_EQ(rs->Fields().Count(), 3);
}

// The catalog's view of a table: declared types, NOT NULL, the key's order,
// and names that need quotes; a name is data, never SQL text.
TEST_F(SqliteDriver, DescribeTableReadsTheDeclaredSchema) {
  c->Execute(
      "CREATE TABLE Lines (Qty INTEGER NOT NULL, OrderNo INTEGER, \"Line No\" INTEGER, "
      "Note VARCHAR(40), Price NUMERIC(10,2), Due DATE, Done BOOLEAN NOT NULL DEFAULT 0, "
      "Blob, \"order\" TEXT, PRIMARY KEY (OrderNo, \"Line No\"));"
      "CREATE TABLE \"My Table\" (x TEXT);"
      "CREATE VIEW Late AS SELECT Qty FROM Lines");
  Driver& driver = c->driver();
  const TableSchema lines = driver.describeTable("LINES");
  ASSERT_TRUE(lines.exists);
  EXPECT_EQ(lines.reference, "LINES");  // the name as typed reads as the table
  ASSERT_EQ(lines.columns.size(), 9u);
  const TableColumn& qty = lines.columns[0];
  EXPECT_EQ(qty.info.name, "Qty");
  EXPECT_EQ(qty.info.type, adInteger);
  EXPECT_TRUE(qty.notNull);
  EXPECT_EQ(qty.keyPosition, 0);
  EXPECT_EQ(lines.columns[1].keyPosition, 1);
  EXPECT_EQ(lines.columns[2].keyPosition, 2);
  EXPECT_FALSE(lines.columns[2].plainName);
  EXPECT_EQ(lines.columns[3].info.type, adVarWChar);
  EXPECT_EQ(lines.columns[3].info.definedSize, 40);
  EXPECT_EQ(lines.columns[3].declaredType, "VARCHAR(40)");
  EXPECT_EQ(lines.columns[4].info.numericScale, 2);
  EXPECT_EQ(lines.columns[5].info.type, adDBDate);
  EXPECT_EQ(lines.columns[6].info.type, adBoolean);
  EXPECT_EQ(lines.columns[7].info.type, adVariant);  // no declared type
  EXPECT_FALSE(lines.columns[8].plainName);          // a keyword
  EXPECT_TRUE(lines.columns[3].plainName);

  EXPECT_EQ(driver.describeTable("My Table").reference, "\"My Table\"");
  EXPECT_TRUE(driver.describeTable("late").exists);
  EXPECT_FALSE(driver.describeTable("Missing").exists);
  EXPECT_FALSE(driver.describeTable("Lines'); DROP TABLE Lines; --").exists);
  EXPECT_TRUE(driver.describeTable("Lines").exists);
}

TEST_F(SqliteDriver, ClosingTheConnectionLetsReadsUnderWayFinish) {
  c->Execute(
      "CREATE TABLE T (id INTEGER PRIMARY KEY); INSERT INTO T WITH RECURSIVE n(i) AS "
      "(SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 10000) SELECT i FROM n");
  // Closing the connection lets reads under way finish: record sets keep
  // every row.
  auto all = OpenRs(c, "SELECT id FROM T ORDER BY id", adLockReadOnly);
  c->Close();
  EXPECT_EQ(all->RecordCount(), 10000);
  all->MoveLast();
  EXPECT_EQ(TextOf((*all)["id"].Value()), "10000");
}

TEST_F(SqliteDriver, ConnectionStringsAndErrors) {
  const test::TempDir dir("kiv-sqlite-conn");
  const auto file = dir.path / "made.sqlite";
  c = Connection::OpenNew("sqlite:" + file.string());
  EXPECT_EQ(c->State(), adStateOpen);
  EXPECT_EQ(c->ConnectionString(), "sqlite:" + file.string());
  EXPECT_KIV_ERROR(c->ConnectionString("sqlite::memory:"), err::ObjectOpen);
  EXPECT_KIV_ERROR(c->Open("sqlite::memory:"), err::ObjectOpen);
  c->Execute("CREATE TABLE T (a INTEGER)");
  EXPECT_EQ(c->Execute("INSERT INTO T VALUES (1); INSERT INTO T VALUES (2)"), 2);
  EXPECT_EQ(c->Execute("UPDATE T SET a = a + 1"), 2);
  EXPECT_EQ(c->Execute("CREATE TABLE U (b INTEGER)"), 0);
  const std::string bad = ErrorDescription([&] { c->Execute("SELEKT 1"); });
  EXPECT_NE(bad.find("syntax error"), std::string::npos) << bad;
  c->Close();
  EXPECT_EQ(c->State(), adStateClosed);
  c->Open();  // the same string again
  EXPECT_EQ(c->State(), adStateOpen);
  EXPECT_TRUE(std::filesystem::exists(file));
  EXPECT_TRUE(Connection::OpenNew("sqlite://" + file.string())->State() == adStateOpen);

  const std::string unknown = ErrorDescription([] { Connection::OpenNew("mysql://x/y"); });
  EXPECT_NE(unknown.find("mysql://x/y"), std::string::npos) << unknown;
  EXPECT_FALSE(ErrorDescription([] { Connection::OpenNew("sqlite:"); }).empty());
  const std::string missing = ErrorDescription(
      [&] { Connection::OpenNew("sqlite:" + (dir.path / "no" / "such" / "dir.db").string()); });
  EXPECT_NE(missing.find("Cannot open"), std::string::npos) << missing;
  EXPECT_FALSE(ErrorDescription([] { Connection().Open(); }).empty());
}

}  // namespace
}  // namespace kiv
