// Conformance: Find and Sort over the cached rows.

#include <string>
#include <vector>

#include "Backend.h"
#include "support/ErrorChecks.h"

namespace kivtest {
namespace {

using namespace kiv;

const char* kOrders =
    "CREATE TABLE Orders (id INTEGER PRIMARY KEY, customer VARCHAR(30), qty INTEGER, due DATE, "
    "paid BOOLEAN); INSERT INTO Orders VALUES (1, 'Smith', 5, '2004-01-02', TRUE), "
    "(2, 'O''Brien', 10, '2004-02-01', FALSE), (3, 'smythe', 5, '2003-12-31', TRUE), "
    "(4, 'Jones', NULL, NULL, FALSE), (5, 'Smith', 7, '2004-01-02', FALSE)";

// The ids a forward walk of Find visits from the first row.
std::vector<int> FindAll(Recordset& rs, const std::string& criteria) {
  std::vector<int> ids;
  rs.MoveFirst();
  rs.Find(criteria);
  while (!rs.EOF()) {
    ids.push_back(Id(rs));
    rs.Find(criteria, 1);
  }
  return ids;
}

TEST_P(Conformance, FindWalksEitherWayAndRefusesMalformedCriteria) {
  exec(kOrders);
  auto rs = open("SELECT id, customer, qty, due, paid FROM Orders ORDER BY id", adLockReadOnly);
  using V = std::vector<int>;
  EXPECT_EQ(FindAll(*rs, "customer = 'smith'"), (V{1, 5}));  // case ignored
  EXPECT_EQ(FindAll(*rs, "customer <> 'Smith'"), (V{2, 3, 4}));
  EXPECT_EQ(FindAll(*rs, "qty > 5"), (V{2, 5}));
  EXPECT_EQ(FindAll(*rs, "qty = NULL"), (V{4}));
  EXPECT_EQ(FindAll(*rs, "customer LIKE 'Sm*'"), (V{1, 3, 5}));
  EXPECT_EQ(FindAll(*rs, "customer LIKE '%th'"), (V{1, 5}));
  EXPECT_EQ(FindAll(*rs, "customer = 'O''Brien'"), (V{2}));
  EXPECT_EQ(FindAll(*rs, "due = #1/2/2004#"), (V{1, 5}));
  EXPECT_EQ(FindAll(*rs, "due < #2004-01-01#"), (V{3}));
  EXPECT_EQ(FindAll(*rs, "paid <> 0"), (V{1, 3}));
  EXPECT_EQ(FindAll(*rs, "paid = 0 "), (V{2, 4, 5}));  // trailing blank as the dialog writes it
  EXPECT_EQ(FindAll(*rs, "customer = 'Smith' AND qty = 7"), (V{5}));

  // The current row itself is the first candidate; skip 1 starts after it.
  rs->MoveFirst();
  rs->Find("customer = 'Smith'");
  EXPECT_EQ(Id(*rs), 1);
  rs->Find("customer = 'Smith'");
  EXPECT_EQ(Id(*rs), 1);
  rs->Find("customer = 'Smith'", 1);
  EXPECT_EQ(Id(*rs), 5);
  // A start bookmark.
  rs->MoveFirst();
  const Variant first = rs->Bookmark();
  rs->MoveLast();
  rs->Find("qty = 5", 1, adSearchForward, first);
  EXPECT_EQ(Id(*rs), 3);

  // Backward, and misses at either end.
  rs->MoveLast();
  rs->Find("qty = 5", 0, adSearchBackward);
  EXPECT_EQ(Id(*rs), 3);
  rs->Find("qty = 5", 1, adSearchBackward);
  EXPECT_EQ(Id(*rs), 1);
  rs->Find("qty = 5", 1, adSearchBackward);
  EXPECT_TRUE(rs->BOF());
  EXPECT_FALSE(rs->EOF());

  rs->MoveFirst();
  rs->Find("customer = 'Nobody'");
  EXPECT_TRUE(rs->EOF());
  rs->Find("customer = 'Smith'");  // from EOF: nothing more, no error
  EXPECT_TRUE(rs->EOF());

  // Malformed criteria are refused without moving.
  rs->MoveFirst();
  rs->Move(2);
  for (const char* bad : {"customer = 'O'Brien'", "qty ==", "qty = 5 AND"})
    EXPECT_KIV_ERROR(rs->Find(bad), err::BadArguments);
  EXPECT_KIV_ERROR(rs->Find("nosuch = 1"), err::ItemNotFound);
  EXPECT_KIV_ERROR(rs->Find("qty = 1", 0, 5), err::BadArguments);
  EXPECT_EQ(Id(*rs), 3);
}

TEST_P(Conformance, SortIsStableDirectedAndRestorable) {
  exec(kOrders);
  auto rs = open("SELECT id, customer, qty, due, paid FROM Orders ORDER BY id", adLockReadOnly);
  auto ids = [&] {
    std::vector<int> out;
    for (rs->MoveFirst(); !rs->EOF(); rs->MoveNext())
      out.push_back(Id(*rs));
    return out;
  };
  using V = std::vector<int>;
  rs->MoveLast();
  rs->Sort("customer");
  EXPECT_EQ(Id(*rs), 4);  // sorting moves to the first row
  EXPECT_EQ(rs->Sort(), "customer");
  EXPECT_EQ(ids(), (V{4, 2, 1, 5, 3}));  // Smith 1 before Smith 5: stable
  rs->Sort("customer DESC");
  EXPECT_EQ(ids(), (V{3, 1, 5, 2, 4}));
  rs->Sort("qty ASC");
  EXPECT_EQ(ids(), (V{4, 1, 3, 5, 2}));  // Null first
  rs->Sort("qty DESC, id DESC");
  EXPECT_EQ(ids(), (V{2, 5, 3, 1, 4}));
  rs->Sort("due, customer DESC");
  EXPECT_EQ(ids(), (V{4, 3, 1, 5, 2}));
  EXPECT_KIV_ERROR(rs->Sort("nosuch"), err::ItemNotFound);
  EXPECT_KIV_ERROR(rs->Sort("qty SIDEWAYS"), err::BadArguments);
  EXPECT_EQ(ids(), (V{4, 3, 1, 5, 2}));  // a refused sort keeps the order
  rs->Sort("");
  EXPECT_EQ(rs->Sort(), "");
  EXPECT_EQ(ids(), (V{1, 2, 3, 4, 5}));

  // Find follows the sorted order.
  rs->Sort("customer DESC");
  rs->MoveFirst();
  rs->Find("customer = 'Smith'");
  EXPECT_EQ(Id(*rs), 1);
  rs->Find("customer = 'Smith'", 1);
  EXPECT_EQ(Id(*rs), 5);
  EXPECT_EQ(rs->AbsolutePosition(), 3);
}

}  // namespace
}  // namespace kivtest
