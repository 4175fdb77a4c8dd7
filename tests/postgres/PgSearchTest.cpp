// The search dialog over a PostgreSQL record set: the criteria it builds
// find text with a quote, numbers, dates and booleans, a header click sorts,
// and the accepted row's values come back as text.
#include <gtest/gtest.h>

#include "kiv/data/AdoTypes.h"
#include "kiv/data/Connection.h"
#include "kiv/data/Field.h"
#include "kiv/data/Recordset.h"
#include "kiv/host/ComboBox.h"
#include "kiv/host/CommandButton.h"
#include "kiv/host/DataGrid.h"
#include "kiv/host/HeadlessHost.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/search/KivSearch.h"
#include "kiv/search/frmSearch.h"
#include "postgres/PgTestSupport.h"

namespace kivtest {
namespace {

using namespace kiv;

TEST(PgSearch, TheDialogFindsSortsAndReturnsOverPostgres) {
  const std::string uri = pg::FreshSchema();
  HeadlessHost host;
  Host::SetCurrent(&host);
  int boxes = 0;
  host.setAnswerCallback([&](std::string_view, int, std::string_view) {
    ++boxes;
    return vb::vbOK;
  });
  {
    auto db = Connection::OpenNew(uri);
    db->Execute(
        "CREATE TABLE people (code VARCHAR(10) PRIMARY KEY, name VARCHAR(40), qty INTEGER, "
        "due DATE, active BOOLEAN);"
        "INSERT INTO people VALUES ('C1', 'Smith', 5, '2004-01-02', true), "
        "('C2', 'Jones', 3, '2004-02-01', false), ('C3', 'O''Brien', 5, '2004-03-01', true), "
        "('C4', 'Smythe', NULL, NULL, NULL)");
    auto rs = std::make_shared<Recordset>();
    rs->CursorLocation(adUseClient);
    rs->Open("SELECT * FROM people ORDER BY code", db, adOpenKeyset, adLockReadOnly);
    auto launcher = KivSearch::Create();
    launcher->Search_RecordSource(rs);
    launcher->Return_Fields("code,due,active");
    launcher->FriendlyNames(Variant(""));
    host.pushModalDriver([&](Form& form) {
      auto& f = dynamic_cast<frmSearch&>(form);
      const auto find = [&](const char* column, const char* type, const char* value) {
        f.cmbField().pick(column);
        f.cmbSearchType().pick(type);
        f.cmbFind().Text(value);
        f.cmdFindNext().click();
        return rs->EOF() ? std::string("EOF") : CStr((*rs)["code"].Value());
      };
      EXPECT_EQ(find("name", "Containing", "'b"), "C3");
      EXPECT_EQ(find("qty", "Equal to", "5"), "C1");
      f.cmdFindNext().click();
      EXPECT_EQ(CStr((*rs)["code"].Value()), "C3");
      EXPECT_EQ(find("due", "Less than or equal to", "2004-02-01"), "C1");
      EXPECT_EQ(find("active", "Equal to", "0"), "C2");
      EXPECT_EQ(find("name", "Equal to", "nobody"), "EOF");
      f.dbgData().headClick(1);
      EXPECT_EQ(rs->Sort(), "name DESC");
      EXPECT_EQ(f.dbgData().cellText(0, 1), "Smythe");
      f.dbgData().Row(3);  // Jones, last when sorted descending
      f.cmdOK().click();
    });
    launcher->ShowSearch(1, Variant());
    EXPECT_EQ(launcher->Return_Value(),
              Variant(Array::Of({Variant("C2"), Variant(CStr(Variant(DateSerial(2004, 2, 1)))),
                                 Variant("False")})));
    EXPECT_EQ(boxes, 0);
    db->Close();
  }
  Host::SetCurrent(nullptr);
  pg::DropSchema(uri);
}

}  // namespace
}  // namespace kivtest
