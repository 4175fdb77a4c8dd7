#include "description_grid/DescriptionGridFixture.h"
#include "kiv/data/Field.h"
#include "kiv/data/Recordset.h"
#include "kiv/description_grid/KivDetGrid.h"
#include "kiv/host/Column.h"
#include "kiv/host/Columns.h"
#include "kiv/host/DataGrid.h"
#include "kiv/host/Font.h"

namespace kiv::test {
namespace {

class DetailGridTest : public DescriptionGridTest {
 protected:
  void SetUp() override {
    DescriptionGridTest::SetUp();
    db->Execute(
        "CREATE TABLE Custs (CUST_NO INTEGER, Name VARCHAR(20), CITY VARCHAR(20));"
        "INSERT INTO Custs VALUES (1, 'Ann', 'Oslo');"
        "INSERT INTO Custs VALUES (2, 'Bob', NULL);"
        "INSERT INTO Custs VALUES (3, 'Cy', 'Rome');"
        "INSERT INTO Custs VALUES (4, 'Di', 'Kyiv');");
    grid = KivDetGrid::Create();
    grid->Name("grdCusts");
    form.Add(grid);
  }

  std::shared_ptr<Recordset> rows() {
    auto rs = std::make_shared<Recordset>();
    rs->CursorLocation(adUseClient);
    rs->Open("SELECT CUST_NO, Name, CITY FROM Custs ORDER BY CUST_NO", db, adOpenStatic,
             adLockReadOnly);
    return rs;
  }
  std::vector<std::string> headers() const {
    std::vector<std::string> out;
    for (const auto& c : grid->Columns().items())
      out.push_back(c->Caption());
    return out;
  }

  std::shared_ptr<KivDetGrid> grid;
};

// Setting DataSource applies the friendly names: matched on the current
// caption without regard to case, the first matching entry wins, unmatched
// columns keep theirs. FriendlyNames alone re-labels nothing, and running
// the procedure again over friendly captions changes nothing.
TEST_F(DetailGridTest, FriendlyHeaders) {
  grid->FriendlyNames(
      FriendlyNameTable({{"CUST_NO", "Customer"}, {"NAME", "Name"}, {"name", "Second"}}));
  grid->DataSource(Variant(rows()));
  EXPECT_EQ(headers(), (std::vector<std::string>{"Customer", "Name", "CITY"}));
  EXPECT_EQ(grid->Columns().Item(0).DataField(), "CUST_NO");

  grid->FriendlyNames(FriendlyNameTable({{"city", "Town"}, {"Customer", "Client"}}));
  EXPECT_EQ(headers(), (std::vector<std::string>{"Customer", "Name", "CITY"}));
  grid->GetFriendlyColumnNames();
  // A friendly caption that is itself listed as a field name is renamed again.
  EXPECT_EQ(headers(), (std::vector<std::string>{"Client", "Name", "Town"}));
  grid->GetFriendlyColumnNames();
  EXPECT_EQ(headers(), (std::vector<std::string>{"Client", "Name", "Town"}));

  // No array, a one-dimensional one, Null entries: nothing changes, nothing raises.
  grid->FriendlyNames(Variant(""));
  grid->DataSource(Variant(rows()));
  EXPECT_EQ(headers(), (std::vector<std::string>{"CUST_NO", "Name", "CITY"}));
  grid->FriendlyNames(Variant(Array::Of({Variant("CUST_NO"), Variant("X")})));
  grid->GetFriendlyColumnNames();
  grid->FriendlyNames(FriendlyNameTable({{kNull, "Never"}, {"CITY", "City"}}));
  grid->GetFriendlyColumnNames();
  EXPECT_EQ(headers(), (std::vector<std::string>{"CUST_NO", "Name", "City"}));
}

// CellText reads one cell and leaves the current cell where it was; -1 (or
// an omitted argument) means the current row or column and comes back in the
// caller's variable; any failure gives "" with the steps after it not run.
TEST_F(DetailGridTest, CellTextReadsOneCell) {
  EXPECT_EQ(grid->CellText(), "");  // no data source
  auto rs = rows();
  grid->DataSource(Variant(rs));
  grid->Row(1);
  grid->Col(2);
  EXPECT_EQ(grid->CellText(), "");  // Bob's city is Null
  std::int32_t row = 2, col = 1;
  EXPECT_EQ(grid->CellText(row, col), "Cy");
  EXPECT_EQ(grid->Row(), 1);
  EXPECT_EQ(grid->Col(), 2);
  EXPECT_EQ(CLng((*rs)[0].Value()), 2);  // the record set is back too

  row = -1;
  col = 0;
  EXPECT_EQ(grid->CellText(row, col), "2");
  EXPECT_EQ(row, 1);
  std::vector<Variant> args{Variant(std::int32_t{3}), Variant(std::int32_t{-1})};
  EXPECT_EQ(grid->call("CellText", args), Variant("Kyiv"));
  EXPECT_EQ(args[1], Variant(std::int32_t{2}));
  std::vector<Variant> none;
  EXPECT_EQ(grid->get("CellText", none), Variant(""));

  // Out of range: the column was already moved when the row failed.
  row = 99;
  col = 0;
  EXPECT_EQ(grid->CellText(row, col), "");
  EXPECT_EQ(grid->Col(), 0);
  EXPECT_EQ(grid->Row(), 1);
  col = 7;
  EXPECT_EQ(grid->CellText(row, col), "");
}

// The grid's events are raised as the control's own, arguments by reference:
// a KeyCode set to 0 keeps the current row where it is.
TEST_F(DetailGridTest, EventsOfTheGridFlowBothWays) {
  grid->DataSource(Variant(rows()));
  std::vector<std::string> log;
  LogInputEvents(grid->events, log);
  grid->events.KeyDown.connect([&](std::int16_t& k, std::int16_t&) {
    if (k == key::Down && log.size() > 4) k = 0;
  });
  DataGrid& inner = grid->DataGrid1();
  inner.clickCell(2, 1);
  EXPECT_EQ(grid->Row(), 2);
  inner.pressKey(key::Down);
  EXPECT_EQ(grid->Row(), 3);
  inner.pressKey(key::Down);  // swallowed by the handler
  EXPECT_EQ(grid->Row(), 3);
  inner.mouseMove(0, 0, 120, 5);
  inner.dblClick();
  EXPECT_EQ(log, (std::vector<std::string>{"MouseDown 1", "MouseUp", "Click", "KeyDown 40",
                                           "KeyUp 40", "KeyDown 40", "KeyUp 40", "MouseMove 120",
                                           "MouseDown 1", "MouseUp", "Click", "DblClick"}))
      << ::testing::PrintToString(log);
}

// Persistence: the names in order with their defaults (the container's font,
// the number 0 for FriendlyNames and Caption); a new grid stores nothing; the
// caption comes back as the text "0" into the member only; a record set is
// stored as the object it is.
TEST_F(DetailGridTest, PersistenceRoundTrip) {
  const std::vector<std::string> order = {"DataSource", "DataMember", "FriendlyNames", "BackColor",
                                          "ForeColor",  "Enabled",    "Font",          "BackStyle",
                                          "Caption",    "BorderStyle"};
  RecordingBag fresh;
  grid->WriteProperties(fresh);
  EXPECT_EQ(fresh.writes, order);
  EXPECT_TRUE(fresh.values.empty());
  EXPECT_EQ(fresh.defaults["Caption"], Variant(std::int16_t{0}));
  EXPECT_EQ(fresh.defaults["FriendlyNames"], Variant(std::int16_t{0}));
  EXPECT_EQ(fresh.defaults["BackColor"], Variant(static_cast<std::int32_t>(0x80000005)));
  EXPECT_EQ(fresh.defaults["ForeColor"], Variant(static_cast<std::int32_t>(0x80000008)));
  EXPECT_EQ(fresh.defaults["BorderStyle"], Variant(std::int32_t{1}));
  EXPECT_EQ(fresh.defaults["BackStyle"], Variant(std::int16_t{0}));
  EXPECT_EQ(fresh.defaults["Enabled"], Variant(true));
  auto defFont = ObjectAs<Font>(fresh.defaults["Font"]);
  ASSERT_TRUE(defFont);
  EXPECT_EQ(*defFont, grid->Ambient().Font);

  RecordingBag empty;
  auto loaded = std::make_shared<KivDetGrid>();
  loaded->ReadProperties(empty);
  EXPECT_EQ(empty.reads, order);
  EXPECT_EQ(loaded->Caption(), "0");
  EXPECT_EQ(loaded->DataGrid1().Caption(), "");  // the member only

  // The appearance lives in the inner grid, and each write but Caption's
  // notifies the host; the grid fills the control.
  auto rs = rows();
  const Variant names = FriendlyNameTable({{"CUST_NO", "Customer"}});
  host.clearTranscript();
  grid->FriendlyNames(names);
  grid->DataSource(Variant(rs));
  grid->DataMember("Lines");
  grid->BackColor(1);
  grid->ForeColor(2);
  grid->Enabled(false);
  grid->Font(std::make_shared<Font>("Arial", 10, true));
  grid->BackStyle(1);
  grid->Caption("Order lines");
  grid->BorderStyle(0);
  grid->Move(100, 200, 5000, 2000);
  EXPECT_EQ(propertyChanges(),
            (std::vector<std::string>{
                "PropertyChanged grdCusts.FriendlyNames", "PropertyChanged grdCusts.DataSource",
                "PropertyChanged grdCusts.DataMember", "PropertyChanged grdCusts.BackColor",
                "PropertyChanged grdCusts.ForeColor", "PropertyChanged grdCusts.Enabled",
                "PropertyChanged grdCusts.Font", "PropertyChanged grdCusts.BackStyle",
                "PropertyChanged grdCusts.BorderStyle"}));
  const DataGrid& inner = grid->DataGrid1();
  EXPECT_EQ(inner.BackColor(), 1);
  EXPECT_FALSE(inner.Enabled());
  EXPECT_TRUE(grid->Control::Enabled());
  EXPECT_EQ(inner.Caption(), "Order lines");
  EXPECT_EQ(inner.Left(), 0);
  EXPECT_EQ(inner.Width(), 5000);
  EXPECT_EQ(inner.Height(), 2000);
  RecordingBag bag;
  grid->WriteProperties(bag);
  EXPECT_EQ(bag.values.size(), order.size());

  auto restored = std::make_shared<KivDetGrid>();
  host.clearTranscript();
  restored->Name("grdRestored");
  restored->ReadProperties(bag);
  RecordingBag again;
  restored->WriteProperties(again);
  EXPECT_EQ(again.values, bag.values);
  // The control's getters read the inner grid.
  EXPECT_EQ(restored->DataSource(), Variant(rs));
  EXPECT_EQ(std::tuple(restored->DataMember(), restored->BackColor(), restored->ForeColor(),
                       restored->Enabled(), restored->Font()->Name, restored->BorderStyle()),
            std::tuple("Lines", 1, 2, false, "Arial", 0));
  EXPECT_EQ(restored->Columns().Item(0).Caption(), "CUST_NO");  // names read after the source
  EXPECT_EQ(restored->DataGrid1().Caption(), "");
  // Only the DataSource setter notifies while loading.
  EXPECT_EQ(propertyChanges(),
            (std::vector<std::string>{"PropertyChanged grdRestored.DataSource"}));
}

}  // namespace
}  // namespace kiv::test
