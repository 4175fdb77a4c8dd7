// Conformance: results larger than the first block of rows, which a record
// set holds before the rest is read (navigation, find, sort, bookmarks,
// record sets sharing rows, writes to rows not read at open, other users
// saving meanwhile).

#include <string>

#include "Backend.h"
#include "support/ErrorChecks.h"

namespace kivtest {
namespace {

using namespace kiv;

constexpr int kRows = 10000;  // two blocks and a half

std::string MakeBig() {
  return "CREATE TABLE Big (id INTEGER PRIMARY KEY, name VARCHAR(20), amount NUMERIC(10,2));"
         "INSERT INTO Big (id, name, amount) WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
         "SELECT i + 1 FROM n WHERE i < " +
         std::to_string(kRows) + ") SELECT i, 'Name ' || i, i * 0.25 FROM n";
}

TEST_P(Conformance, LargeResultsAreReadAsOperationsReachTheirRows) {
  exec(MakeBig());

  // Find and a bookmark reach rows past the first block; the values read
  // there are the stored ones.
  auto rs = open("SELECT id, name, amount FROM Big ORDER BY id", adLockReadOnly);
  rs->Find("name = 'NAME 9000'");
  ASSERT_FALSE(rs->EOF());
  EXPECT_EQ(Text(*rs, "id"), "9000");
  EXPECT_EQ(rs->AbsolutePosition(), 9000);
  EXPECT_EQ((*rs)["amount"].Value(), Variant(Currency{22500000}));
  const Variant late = rs->Bookmark();
  rs->MoveFirst();
  rs->Bookmark(late);
  EXPECT_EQ(Text(*rs, "name"), "Name 9000");
  EXPECT_EQ(rs->RecordCount(), kRows);
  rs->Find("id = 1", 0, adSearchBackward);
  EXPECT_EQ(rs->AbsolutePosition(), 1);

  // Sort, MoveLast, a walk and a grid read every row.
  auto sorted = open("SELECT id, name FROM Big ORDER BY id", adLockReadOnly);
  sorted->Sort("id DESC");
  EXPECT_EQ(Text(*sorted, "id"), std::to_string(kRows));
  sorted->Sort("");
  EXPECT_EQ(Text(*sorted, "id"), "1");
  auto last = open("SELECT id FROM Big ORDER BY id", adLockReadOnly);
  last->MoveLast();
  EXPECT_EQ(Text(*last, "id"), std::to_string(kRows));
  last->MoveNext();
  EXPECT_TRUE(last->EOF());
  auto walked = open("SELECT id FROM Big ORDER BY id", adLockReadOnly);
  int count = 0;
  for (; !walked->EOF(); walked->MoveNext())
    ++count;
  EXPECT_EQ(count, kRows);
  auto grid = open("SELECT id, name FROM Big ORDER BY id", adLockReadOnly);
  EXPECT_EQ(TextOf(grid->ValueAt(kRows - 1, 1)), "Name 10000");
  EXPECT_EQ(grid->VisibleRowCount(), kRows);

  // A record set over the same rows moves and sorts on its own.
  auto clone = std::make_shared<Recordset>();
  clone->LockType(adLockReadOnly);
  clone->OpenClone(*rs);
  EXPECT_EQ(clone->Source(), rs->Source());
  EXPECT_EQ(clone->AbsolutePosition(), 1);
  clone->Sort("name DESC");
  EXPECT_EQ(Text(*clone, "name"), "Name 9999");
  clone->MoveNext();
  rs->Move(4999, rs->Bookmark());
  EXPECT_EQ(Text(*rs, "id"), "5000");
  EXPECT_EQ(rs->Sort(), "");
  EXPECT_EQ(Text(*clone, "name"), "Name 9998");
  rs->Close();
  EXPECT_EQ(clone->RecordCount(), kRows);  // the rows stay while a record set holds them
  EXPECT_KIV_ERROR(clone->Delete(), err::NotUpdatable);

  // A record set closed before its rows were read leaves the connection usable.
  auto dropped = open("SELECT id, name FROM Big", adLockReadOnly);
  dropped->Close();
  EXPECT_EQ(open("SELECT count(*) AS n FROM Big", adLockReadOnly)->Fields()[0].Value(),
            Variant(std::int32_t{kRows}));
}

TEST_P(Conformance, RowsNotReadAtOpenAreWrittenAndCheckedLikeOthers) {
  exec(MakeBig());
  auto rs = open("SELECT id, name, amount FROM Big ORDER BY id");

  // Another user saves rows this record set has not read yet: the save goes
  // through at once (the set holds no lock for its unread rows), and the set
  // keeps the rows as they were when it opened.
  auto other = another();
  other->LockTimeout(2);
  EXPECT_EQ(other->Execute("UPDATE Big SET name = 'Theirs' WHERE id = 9000"), 1);
  EXPECT_EQ(other->Execute("DELETE FROM Big WHERE id = 9500"), 1);

  // A record set on the same connection writes while the first one's rows
  // are still coming: the first one still gets every row.
  auto same = open("SELECT id, name FROM Big WHERE id = 8000");
  same->Fields()["name"].Value("Mine");
  same->Update();

  // The changed row is a conflict, read again so the edit can be saved over it.
  rs->Find("id = 9000");
  EXPECT_EQ(Text(*rs, "name"), "Name 9000");
  (*rs)["name"].Value("Ours");
  EXPECT_EQ(ErrorDescription([&] { rs->Update(); }).substr(0, 26), "Row cannot be located for ");
  EXPECT_EQ(TextOf((*rs)["name"].OriginalValue()), "Theirs");
  rs->Update();
  EXPECT_EQ(TextOf(other->driver().query("SELECT name FROM Big WHERE id = 9000").at(0, 0)), "Ours");

  // The row deleted meanwhile is a conflict too; the row written through the
  // other record set shows as it was read.
  rs->Find("id = 9500");
  EXPECT_KIV_ERROR(rs->Delete(), -2147217864);
  rs->Find("id = 8000", 0, adSearchBackward);
  EXPECT_EQ(Text(*rs, "name"), "Name 8000");
  rs->Delete();
  rs->MoveNext();
  EXPECT_EQ(Text(*rs, "id"), "8001");

  // A new row comes after every row of the result.
  rs->AddNew();
  (*rs)["id"].Value(kRows + 1);
  (*rs)["name"].Value("New");
  rs->Update();
  EXPECT_EQ(rs->AbsolutePosition(), kRows);  // one deleted, one added
  rs->MoveLast();
  EXPECT_EQ(Text(*rs, "name"), "New");
  EXPECT_EQ(rs->RecordCount(), kRows);
}

// abs() of the smallest integer overflows on both databases: the statement
// fails at row 6000, past the first block.
TEST_P(Conformance, AReadFailingPastTheFirstBlockKeepsTheRowsReadBefore) {
  exec(MakeBig());
  auto rs = open(
      "SELECT id, CASE WHEN abs(6000 - id - 9223372036854775807 - 1) > 0 THEN id END AS v "
      "FROM Big",
      adLockReadOnly);
  EXPECT_EQ(Text(*rs, "v"), "1");
  const std::string error = ErrorDescription([&] { rs->MoveLast(); });
  EXPECT_NE(error.find("the 5999 rows read before"), std::string::npos) << error;
  EXPECT_EQ(rs->AbsolutePosition(), 1);
  EXPECT_KIV_ERROR(rs->RecordCount(), err::ProviderError);
  rs->Move(5998);
  EXPECT_EQ(Text(*rs, "v"), "5999");
  EXPECT_KIV_ERROR(rs->MoveNext(), err::ProviderError);
  EXPECT_EQ(Text(*rs, "v"), "5999");
  EXPECT_EQ(rs->VisibleRowCount(), 5999);  // a grid shows what was read
  // The connection goes on with the next statement; a failure within the
  // first block fails the open.
  EXPECT_EQ(open("SELECT id FROM Big WHERE id = 7", adLockReadOnly)->RecordCount(), 1);
  Recordset early;
  EXPECT_KIV_ERROR(early.Open("SELECT abs(60 - id - 9223372036854775807 - 1) FROM Big", connPtr(),
                              adOpenKeyset, adLockReadOnly),
                   err::ProviderError);
  EXPECT_EQ(early.State(), adStateClosed);
}

}  // namespace
}  // namespace kivtest
