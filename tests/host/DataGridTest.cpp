// The data grid over a real SQLite record set: columns from the fields, the
// current row shared with the record set both ways, cell text, sorting and
// refresh, and the grid's simulated input.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "kiv/data/Connection.h"
#include "kiv/data/Field.h"
#include "kiv/data/Fields.h"
#include "kiv/data/Recordset.h"
#include "kiv/host/DataGrid.h"
#include "kiv/host/Form.h"
#include "kiv/host/TextBox.h"
#include "kiv/runtime/Error.h"
#include "support/HostedTest.h"

namespace kiv {
namespace {

std::shared_ptr<Recordset> Customers(const std::shared_ptr<Connection>& db) {
  auto rs = std::make_shared<Recordset>();
  rs->CursorLocation(adUseClient);
  rs->Open("SELECT Code, Name, City FROM Customers ORDER BY Code", db, adOpenKeyset,
           adLockReadOnly);
  return rs;
}

class DataGridTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db->Execute(
        "CREATE TABLE Customers (Code TEXT PRIMARY KEY, Name TEXT, City TEXT);"
        "INSERT INTO Customers VALUES ('C1', 'Smith', 'Leeds'), ('C2', 'O''Brien', NULL), "
        "('C3', 'Adams', 'York')");
  }
  std::shared_ptr<Connection> db = Connection::OpenNew("sqlite::memory:");
};

std::vector<std::string> Captions(const DataGrid& grid) {
  std::vector<std::string> out;
  for (const auto& c : grid.columns().items())
    out.push_back(c->Caption() + "/" + c->DataField());
  return out;
}

TEST_F(DataGridTest, BindingMakesOneColumnPerFieldAndSharesTheCurrentRow) {
  DataGrid grid("dbgData");
  // Without a data source: two empty, unbound columns.
  EXPECT_EQ(Captions(grid), (std::vector<std::string>{"/", "/"}));
  EXPECT_EQ(grid.Row(), -1);
  EXPECT_THROW(grid.Text(), Error);

  auto rs = Customers(db);
  grid.DataSource(Variant(rs));
  EXPECT_EQ(Captions(grid), (std::vector<std::string>{"Code/Code", "Name/Name", "City/City"}));
  EXPECT_EQ(grid.RowCount(), 3);
  EXPECT_EQ(grid.Row(), 0);
  EXPECT_EQ(grid.Text(), "C1");

  // Grid -> record set.
  grid.Row(1);
  EXPECT_EQ(rs->Fields().Item("Code").Value(), Variant("C2"));
  grid.Col(2);
  EXPECT_EQ(grid.Text(), "");  // Null shows as ""
  // Record set -> grid.
  rs->MoveLast();
  EXPECT_EQ(grid.Row(), 2);
  EXPECT_EQ(grid.Text(), "York");
  rs->MoveNext();  // EOF
  EXPECT_EQ(grid.Row(), -1);
  EXPECT_EQ(grid.cellText(1, 1), "O'Brien");
  EXPECT_THROW(grid.Row(3), Error);
  EXPECT_THROW(grid.Col(3), Error);

  // Late-bound, as the search dialog reaches its grid.
  auto columns = grid.get("Columns").object();
  EXPECT_EQ(columns->get("Count"), Variant(3));
  auto second = grid.get("Columns", {Variant(1)}).object();
  EXPECT_EQ(second->get("DataField"), Variant("Name"));
  second->let("Caption", Variant("Customer name"));
  EXPECT_EQ(grid.columns().Item(1).Caption(), "Customer name");
  EXPECT_EQ(grid.columns().Item("customer name").DataField(), "Name");

  // Nothing unbinds the grid again.
  grid.set("DataSource", Variant::Nothing());
  EXPECT_EQ(Captions(grid), (std::vector<std::string>{"/", "/"}));
  EXPECT_THROW(grid.DataSource(Variant(std::make_shared<DataGrid>("other"))), Error);
}

TEST_F(DataGridTest, RowsFollowTheRecordSetsSortAndInputMovesTheCurrentCell) {
  auto form = std::make_shared<Form>("frmSearch");
  auto txt = test::AddTo<TextBox>(*form, "txt");
  auto grid = test::AddTo<DataGrid>(*form, "dbgData");
  auto rs = Customers(db);
  grid->DataSource(Variant(rs));

  // A header click sorts the record set (as the search dialog does); after
  // Refresh the rows follow the new order.
  grid->events.HeadClick.connect([&](std::int16_t& k) {
    rs->Sort(grid->columns().Item(k).DataField() + " DESC");
    grid->Refresh();
  });
  EXPECT_TRUE(grid->headClick(1));
  EXPECT_EQ(grid->cellText(0, 1), "Smith");
  EXPECT_EQ(grid->cellText(2, 1), "Adams");
  EXPECT_FALSE(grid->headClick(5));

  // Clicking a cell focuses the grid and moves the current cell.
  std::vector<std::string> seen;
  grid->events.RowColChange.connect([&](Variant& lastRow, std::int16_t& lastCol) {
    seen.push_back("RowColChange " + std::to_string(lastRow.lng()) + "," + std::to_string(lastCol));
  });
  grid->events.Click.connect([&] { seen.push_back("Click " + grid->Text()); });
  txt->SetFocus();
  EXPECT_TRUE(grid->clickCell(2, 0));
  EXPECT_EQ(form->ActiveControl(), grid.get());
  EXPECT_EQ(seen, (std::vector<std::string>{"RowColChange 0,0", "Click C3"}));
  EXPECT_EQ(rs->Fields().Item("Name").Value(), Variant("Adams"));

  // Arrow keys move through the rows; a KeyDown handler can stop them.
  grid->pressKey(key::Up);
  EXPECT_EQ(grid->Row(), 1);
  grid->pressKey(key::Home, key::CtrlMask);
  EXPECT_EQ(grid->Row(), 0);
  grid->events.KeyDown.connect([](std::int16_t& k, std::int16_t&) {
    if (k == key::Down) k = 0;
  });
  grid->pressKey(key::Down);
  EXPECT_EQ(grid->Row(), 0);

  // A double click reaches the grid after its click.
  int dbl = 0;
  grid->events.DblClick.connect([&] { ++dbl; });
  grid->dblClick();
  EXPECT_EQ(dbl, 1);
}

}  // namespace
}  // namespace kiv
