// kivform --new over PostgreSQL: a screen made from a table's catalog saves
// and finds a record; a missing table is an error naming it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "kiv/data/Connection.h"
#include "kivform/Runner.h"
#include "postgres/PgTestSupport.h"
#include "support/TempDir.h"

namespace kivtest::pg {
namespace {

namespace fs = std::filesystem;

TEST(PgNewForm, AScreenFromTheCatalogSavesAndFindsARecord) {
  const Schema schema;
  {
    auto db = kiv::Connection::OpenNew(schema.uri);
    db->Execute(
        "CREATE TABLE customers (code varchar(10) PRIMARY KEY, name varchar(60) NOT NULL, "
        "credit numeric(10,2), since date, active boolean NOT NULL DEFAULT true, pic bytea);"
        "INSERT INTO customers VALUES ('C1', 'Smith', 10, '2024-01-02', true, NULL)");
  }
  const kiv::test::TempDir temp("kiv-pg-new");
  const fs::path& dir = temp.path;
  std::ostringstream out, err;
  ASSERT_EQ(kivform::Run({"--new", schema.uri, "Customers"}, out, err), kivform::kExitOk)
      << err.str();
  EXPECT_NE(err.str().find("column 'pic' of Customers has the type 'bytea'"), std::string::npos)
      << err.str();
  std::ofstream(dir / "customers.json") << out.str();
  std::ofstream(dir / "add.script")
      << "click ctlForm.cmdAdd\n"
         "focus unicode\ntype unicode \"C2\"\nfocus uniname\ntype uniname \"O'Brien\"\n"
         "focus unicredit\ntype unicredit \"12.5\"\ntick uniactive\nclick ctlForm.cmdSave\n"
         "expect no message\n"
         "expect sql \"SELECT name FROM customers WHERE code = 'C2' AND credit = 12.50\" "
         "\"O'Brien\"\n"
         "click ctlForm.cmdFirst\nclick ctlForm.cmdSearch\nsearch column \"name\"\n"
         "search find \"o'brien\"\nsearch ok\nexpect unicode.Text \"C2\"\n";
  std::ostringstream run, runErr;
  EXPECT_EQ(
      kivform::Run({(dir / "customers.json").string(), "--script", (dir / "add.script").string()},
                   run, runErr),
      kivform::kExitOk)
      << run.str() << runErr.str();

  std::ostringstream none, noneErr;
  EXPECT_EQ(kivform::Run({"--new", schema.uri, "invoices"}, none, noneErr), kivform::kExitBadInput);
  EXPECT_NE(noneErr.str().find("'invoices'"), std::string::npos) << noneErr.str();
}

}  // namespace
}  // namespace kivtest::pg
