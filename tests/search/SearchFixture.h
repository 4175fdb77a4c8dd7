#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kiv/data/Connection.h"
#include "kiv/data/Field.h"
#include "kiv/data/Recordset.h"
#include "kiv/host/ComboBox.h"
#include "kiv/host/CommandButton.h"
#include "kiv/host/DataGrid.h"
#include "kiv/host/Form.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"
#include "kiv/search/KivSearch.h"
#include "kiv/search/frmSearch.h"
#include "support/HostedTest.h"

namespace kiv::test {

// A search launcher on a form over a real SQLite table of people.
class SearchTest : public HostedTest {
 protected:
  void SetUp() override {
    HostedTest::SetUp();
    db = Connection::OpenNew("sqlite::memory:");
    db->Execute(
        "CREATE TABLE People (Code VARCHAR(10) PRIMARY KEY, Name VARCHAR(40), Qty INTEGER, "
        "Due DATE, Active BOOLEAN, Photo BLOB);"
        "INSERT INTO People VALUES ('C1', 'Smith', 5, '2004-01-02', 1, x'00');"
        "INSERT INTO People VALUES ('C2', 'Jones', 3, '2004-02-01', 0, NULL);"
        "INSERT INTO People VALUES ('C3', 'O''Brien', 5, '2004-03-01', 1, NULL);"
        "INSERT INTO People VALUES ('C4', 'Smythe', NULL, NULL, NULL, NULL);"
        "INSERT INTO People VALUES ('C5', 'Brown', 8, '2005-01-01', 0, NULL);");
    launcher = KivSearch::Create();
    launcher->Name("ctlSearch");
    form.Add(launcher);
    // The dialog outlives every test on the thread: start each one afresh.
    frmSearch& dialog = frmSearch::Instance();
    dialog.m_FriendlyNames = Variant("");
    dialog.strReturn_Fields = "Code";
    dialog.varReturn_Value = Variant("");
  }

  void TearDown() override {
    frmSearch::Instance().Unload();
    HostedTest::TearDown();
  }

  std::shared_ptr<Recordset> open(const std::string& sql = "SELECT * FROM People ORDER BY Code") {
    auto rs = std::make_shared<Recordset>();
    rs->CursorLocation(adUseClient);
    rs->Open(sql, db, adOpenKeyset, adLockReadOnly);
    return rs;
  }

  // Shows the dialog modally over the record set; the driver acts in it.
  void search(std::shared_ptr<Recordset> rs, std::function<void(frmSearch&)> driver) {
    launcher->Search_RecordSource(std::move(rs));
    auto& current = dynamic_cast<HeadlessHost&>(Host::Current());
    const std::size_t drivers = current.pendingModalDrivers();
    current.pushModalDriver([driver](Form& form) { driver(static_cast<frmSearch&>(form)); });
    launcher->ShowSearch(1, Variant(std::shared_ptr<Dispatch>(launcher)));
    EXPECT_EQ(current.pendingModalDrivers(), drivers) << "the dialog was not shown";
  }

  // The returned texts.
  std::vector<std::string> returned() const {
    std::vector<std::string> out;
    const Variant value = launcher->Return_Value();
    for (const Variant& v : value.array().items())
      out.push_back(CStr(v));
    return out;
  }

  // Types a value and presses Find / Find Next.
  static void find(frmSearch& f, const std::string& value) {
    if (f.cmbFind().Text() != value) f.cmbFind().Text(value);
    f.cmdFindNext().click();
  }

  static std::string current(frmSearch& f, const char* field = "Code") {
    Recordset& rs = *f.arsSearch_RecordSource;
    return rs.EOF() ? "EOF" : CStr(rs[field].Value());
  }

  std::shared_ptr<Connection> db;
  Form form{"frmScreen"};
  std::shared_ptr<KivSearch> launcher;
};

}  // namespace kiv::test
