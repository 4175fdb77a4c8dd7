// kivform --new: a form file made from a table's schema opens, adds, saves
// and finds a record without editing; what cannot be made is a clear error.
#include <nlohmann/json.hpp>

#include "app/AppTestSupport.h"

namespace kivform::test {
namespace {

using Json = nlohmann::ordered_json;

struct TableCase {
  std::string table;
  // What the user types into a new record, field by field.
  std::vector<std::pair<std::string, std::string>> typed;
  std::string savedWhere;  // finds the saved row
  // The search: the column's caption, the value, the field it shows then.
  std::string searchColumn, searchValue, shownField, shownText;
};

const std::vector<TableCase>& SampleTables() {
  static const std::vector<TableCase> cases = {
      {"Customers",
       {{"Code", "C9"}, {"Name", "O'Neill & Co"}, {"CreditLimit", "12.5"}, {"Since", "3/1/2024"}},
       "Code = 'C9' AND Name = 'O''Neill & Co' AND CreditLimit = 12.5 AND Active = 0",
       "Customer name",
       "O'Neill & Co",
       "Code",
       "C9"},
      {"Orders",
       {{"OrderNo", "2001"}, {"CustomerCode", "C2"}, {"OrderDate", "2/29/2024"}},
       "OrderNo = 2001 AND OrderDate = '2024-02-29'",
       "Order number",
       "2001",
       "CustomerCode",
       "C2"},
      {"OrderLines",
       {{"OrderNo", "1003"},
        {"LineNo", "2"},
        {"ProductCode", "P4"},
        {"Quantity", "3"},
        {"UnitPrice", "24"}},
       "OrderNo = 1003 AND LineNo = 2 AND ProductCode = 'P4'",
       "Product code",
       "P4",
       "LineNo",
       "2"},
  };
  return cases;
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

class NewForm : public AppTest {
 protected:
  std::string db() const { return "sqlite:" + (dir / "orders.db").string(); }
  const Json* control(const Json& form, const std::string& name) {
    for (const auto& c : form["controls"])
      if (c["name"] == name) return &c;
    ADD_FAILURE() << "no control " << name;
    return nullptr;
  }
};

// Sample tables keyed by a text, a number and two fields: the file opens, a
// record typed into a new row is saved, and the search finds it again.
TEST_F(NewForm, SampleTablesMakeScreensThatAddSaveAndFind) {
  for (const TableCase& t : SampleTables()) {
    SCOPED_TRACE(t.table);
    freshDatabase();
    ASSERT_EQ(run({"--new", db(), t.table, "--friendly-names", "FieldNames"}), kExitOk) << err;
    EXPECT_EQ(err, "");
    const std::string form = file(t.table + ".json", out);
    std::string script = "click ctlForm.cmdAdd\nexpect ctlForm.AddNewMode True\n";
    for (const auto& [field, value] : t.typed)
      script += "focus uni" + field + "\ntype uni" + field + " " + Quoted(value) + "\n";
    script += "click ctlForm.cmdSave\nexpect no message\nexpect ctlForm.AddNewMode False\n";
    script += "expect sql " + Quoted("SELECT COUNT(*) FROM " + t.table + " WHERE " + t.savedWhere) +
              " \"1\"\n";
    script += "click ctlForm.cmdFirst\nclick ctlForm.cmdSearch\nsearch column " +
              Quoted(t.searchColumn) + "\nsearch find " + Quoted(t.searchValue) +
              "\nsearch ok\nexpect uni" + t.shownField + ".Text " + Quoted(t.shownText) + "\n";
    EXPECT_EQ(run({form, "--script", file(t.table + ".script", script)}), kExitOk) << out << err;
    EXPECT_NE(out.find(" 0 failed"), std::string::npos) << out;
  }
}

// The form's shape: editors by type, the key, NOT NULL and lengths, friendly
// captions, the search wired to the key, and the tab order down the rows.
TEST_F(NewForm, EditorsFollowTheSchemaAndTheTabOrderRunsDownTheRows) {
  ASSERT_EQ(run({"--new", db(), "customers", "--friendly-names", "FieldNames"}), kExitOk) << err;
  const Json form = Json::parse(out);
  EXPECT_EQ(form["connections"]["main"], db());
  const Json* bar = control(form, "ctlForm");
  ASSERT_TRUE(bar);
  EXPECT_EQ((*bar)["properties"]["Source_Table"], "customers");
  EXPECT_EQ((*bar)["properties"]["SearchReturnFields"], "Code");
  EXPECT_EQ((*bar)["properties"]["FieldNameTranslatorTable"], "FieldNames");
  EXPECT_EQ((*bar)["properties"]["SearchControl"]["$control"], "ctlSearch");
  const Json& code = (*control(form, "uniCode"))["properties"];
  EXPECT_EQ(code["Primary_Key_Field"], true);
  EXPECT_EQ(code["Required_Field"], true);
  EXPECT_EQ(code["MaxLength"], 10);
  EXPECT_FALSE((*control(form, "uniEmail"))["properties"].contains("Required_Field"));
  EXPECT_EQ((*control(form, "uniCreditLimit"))["dataFormat"], "0.00");
  EXPECT_EQ((*control(form, "uniCreditLimit"))["properties"]["Type_Of_Control"], 1);
  EXPECT_EQ((*control(form, "uniSince"))["properties"]["Type_Of_Control"], 2);
  EXPECT_EQ((*control(form, "uniActive"))["properties"]["Type_Of_Control"], 3);
  EXPECT_EQ((*control(form, "lblCreditLimit"))["properties"]["Caption"], "Credit limit");
  EXPECT_EQ((*control(form, "lblEmail"))["properties"]["Caption"], "Email");
  int lastTab = 0;
  double lastTop = 0;
  for (const auto& c : form["controls"]) {
    if (c["type"] != "KivUni") continue;
    EXPECT_GT(c["tabIndex"].get<int>(), lastTab);
    EXPECT_GT(c["top"].get<double>(), lastTop);
    lastTab = c["tabIndex"];
    lastTop = c["top"];
  }
  EXPECT_EQ(lastTab, 8);
}

// A wide table: columns of fields side by side, the tab order down each in
// turn; a type no editor shows gets a text editor and a note; names that
// need quotes, a keyless table and '&' in a caption.
TEST_F(NewForm, WideTablesOddTypesAndNamesStillMakeAWorkingForm) {
  std::string ddl = "CREATE TABLE \"Odd Things\" (Id INTEGER PRIMARY KEY, Picture BLOB, Misc";
  for (int i = 1; i <= 14; ++i)
    ddl += ", F" + std::to_string(i) + " VARCHAR(20)";
  ddl +=
      "); CREATE TABLE NoKey (A TEXT); INSERT INTO FieldNames VALUES ('Odd Things', 'F1', "
      "'Fish & Chips')";
  {
    auto c = kiv::Connection::OpenNew(db());
    c->Execute(ddl);
  }
  ASSERT_EQ(run({"--new", db(), "Odd Things", "--friendly-names", "FieldNames"}), kExitOk) << err;
  EXPECT_NE(err.find("column 'Picture' of Odd Things has the type 'BLOB'"), std::string::npos)
      << err;
  EXPECT_NE(err.find("column 'Misc' of Odd Things has the type (none declared)"), std::string::npos)
      << err;
  const Json form = Json::parse(out);
  EXPECT_EQ((*control(form, "ctlForm"))["properties"]["Source_Table"], "\"Odd Things\"");
  EXPECT_EQ((*control(form, "lblF1"))["properties"]["Caption"], "Fish && Chips");
  EXPECT_FALSE((*control(form, "uniPicture"))["properties"].contains("Type_Of_Control"));
  // 17 fields: two columns of nine, the second to the right of the first.
  const Json* f7 = control(form, "uniF7");
  const Json* f6 = control(form, "uniF6");
  ASSERT_TRUE(f7 && f6);
  EXPECT_GT((*f7)["left"].get<double>(), (*f6)["left"].get<double>());
  EXPECT_EQ((*f7)["top"], (*control(form, "uniId"))["top"]);
  EXPECT_EQ((*f7)["tabIndex"].get<int>(), (*f6)["tabIndex"].get<int>() + 1);
  const std::string form1 = file("odd.json", out);
  EXPECT_EQ(run({form1, "--script",
                 file("odd.script",
                      "click ctlForm.cmdAdd\nfocus uniId\ntype uniId \"5\"\nfocus uniMisc\n"
                      "type uniMisc \"anything\"\nclick ctlForm.cmdSave\nexpect no message\n"
                      "expect sql \"SELECT Misc FROM \\\"Odd Things\\\" WHERE Id = 5\" "
                      "\"anything\"\n")}),
            kExitOk)
      << out << err;

  ASSERT_EQ(run({"--new", db(), "NoKey"}), kExitOk) << err;
  EXPECT_NE(err.find("NoKey has no primary key"), std::string::npos) << err;
  EXPECT_FALSE(Json::parse(out)["controls"][0]["properties"].contains("SearchControl"));
}

// What cannot be made is an error naming it, with status 2 and nothing on
// the standard output.
TEST_F(NewForm, AMissingTableOrDatabaseIsAClearError) {
  EXPECT_EQ(run({"--new", db(), "Invoices"}), kExitBadInput);
  EXPECT_NE(err.find("no table or view named 'Invoices'"), std::string::npos) << err;
  EXPECT_EQ(out, "");
  EXPECT_EQ(run({"--new", db(), "Customers", "--friendly-names", "Captions"}), kExitBadInput);
  EXPECT_NE(err.find("--friendly-names Captions"), std::string::npos) << err;
  EXPECT_EQ(run({"--new", db(), "Customers", "--friendly-names", "Products"}), kExitBadInput);
  EXPECT_NE(err.find("TableName, FieldName and FriendlyName"), std::string::npos) << err;
  EXPECT_EQ(run({"--new", "sqlite:" + (dir / "none.db").string(), "Customers"}), kExitBadInput);
  EXPECT_NE(err.find("does not exist"), std::string::npos) << err;
  EXPECT_FALSE(std::filesystem::exists(dir / "none.db"));
  EXPECT_EQ(run({"--new", db()}), kExitBadInput);
  EXPECT_EQ(run({"--new", db(), "Customers", "--script", "x"}), kExitBadInput);
  EXPECT_EQ(run({(dir / "customers.json").string(), "--friendly-names", "FieldNames"}),
            kExitBadInput);
}

}  // namespace
}  // namespace kivform::test
