// Conformance: a record set opened from a statement with "?" placeholders and
// bound values.

#include <string>

#include "Backend.h"
#include "support/ErrorChecks.h"

namespace kivtest {
namespace {

using namespace kiv;

std::shared_ptr<Recordset> OpenWith(const std::shared_ptr<Connection>& conn, const std::string& sql,
                                    std::vector<Variant> values) {
  auto rs = std::make_shared<Recordset>();
  rs->CursorLocation(adUseClient);
  rs->Parameters(std::move(values));
  rs->Open(sql, conn, adOpenStatic, adLockReadOnly);
  return rs;
}

// Values are bound, never spliced: a quote, a hostile text and a Null are
// compared as values; "?" inside a quoted text or a comment is no
// placeholder; Requery binds the same values again; a wrong count is refused.
TEST_P(Conformance, ParametersAreBoundAsValues) {
  exec(
      "CREATE TABLE Lines (orderno INTEGER, lineno INTEGER, note VARCHAR(40));"
      "INSERT INTO Lines VALUES (1, 1, 'O''Hara'), (1, 2, 'what?'), (2, 1, 'x'' OR ''1''=''1')");

  auto rs = OpenWith(connPtr(), "SELECT lineno FROM Lines WHERE orderno = ? ORDER BY lineno",
                     {Variant(std::int32_t{1})});
  EXPECT_EQ(rs->RecordCount(), 2);

  rs = OpenWith(connPtr(), "SELECT lineno FROM Lines WHERE note = ?", {Variant("O'Hara")});
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(CLng(rs->Fields()[0].Value()), 1);
  rs = OpenWith(connPtr(), "SELECT lineno FROM Lines WHERE note = ?", {Variant("x' OR '1'='1")});
  EXPECT_EQ(rs->RecordCount(), 1);  // the stored text itself, not every row
  rs = OpenWith(connPtr(), "SELECT lineno FROM Lines WHERE orderno = ?", {Variant(kNull)});
  EXPECT_EQ(rs->RecordCount(), 0);

  rs = OpenWith(connPtr(),
                "SELECT lineno FROM Lines WHERE note <> 'what?' /* ? */ AND orderno = ? -- ?\n",
                {Variant(std::int32_t{1})});
  EXPECT_EQ(rs->RecordCount(), 1);
  exec("INSERT INTO Lines (orderno, lineno, note) VALUES (1, 3, 'later')");
  rs->Requery();
  EXPECT_EQ(rs->RecordCount(), 2);

  // Without values the text goes to the database as it is, which refuses the "?".
  EXPECT_NE(ErrorDescription(
                [&] { OpenWith(connPtr(), "SELECT lineno FROM Lines WHERE orderno = ?", {}); }),
            "");
  EXPECT_KIV_ERROR(OpenWith(connPtr(), "SELECT lineno FROM Lines WHERE orderno = ?",
                            {Variant(std::int32_t{1}), Variant(std::int32_t{2})}),
                   err::BadArguments);
  Recordset open;
  EXPECT_KIV_ERROR(open.Parameters({Variant(connPtr())}), err::TypeMismatch);
}

}  // namespace
}  // namespace kivtest
