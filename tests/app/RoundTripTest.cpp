#include <algorithm>
#include <nlohmann/json.hpp>

#include "app/AppTestSupport.h"

namespace kivform::test {
namespace {

using Json = nlohmann::json;

// A screen whose every persisted property has a value other than its default.
const char* kFullForm = R"({
  "caption": "Everything",
  "width": 9000,
  "height": 6000,
  "connections": { "main": "sqlite:orders.db" },
  "controls": [
    { "type": "KivFormControl", "name": "ctlForm", "left": 100, "top": 50, "tabIndex": 0,
      "tag": "bar",
      "properties": {
        "SearchControl": { "$control": "cmdHelp" },
        "Source_Connection": { "$connection": "main" },
        "CursorLocation": 2, "LockType": 4, "CursorType": 1,
        "Source_Table": "Customers", "Source_Fields": "Code, Name",
        "Filter": "Active = 1", "SearchReturnFields": "Code",
        "FieldNameTranslatorTable": "FieldNames", "SecurityLevel": 1, "AddNewMode": true,
        "Search_Recordsource": "SELECT Code, Name FROM Customers"
      } },
    { "type": "KivUni", "name": "uniCode", "left": 2000, "top": 700, "width": 1500,
      "height": 285, "tabIndex": 1, "dataFormat": "0.00",
      "properties": {
        "Read_Only_Field_Colour": 12632256, "Required_Field_Colour": 65535,
        "Normal_Field_Colour": 16777215, "Error_Field_Colour": 8421631,
        "Text": "C1", "Read_Only": true, "Type_Of_Control": 1, "Required_Field": true,
        "Type_Of_LookUp": 1, "Source_Code_Field": "Code", "Source_Table": "Customers",
        "Source_Connection": { "$connection": "main" }, "MaxLength": 12,
        "Use_Internal_LookUp_Form": false,
        "FriendlyNames": { "$array": { "bounds": [[0, 1], [0, 1]],
                                       "items": ["Code", "Customer code", "Name", "Name"] } },
        "Filter": "Active = 1", "Search_Control": { "$control": "cmdHelp" }, "Locked": true,
        "Data_Field": "Code", "Primary_Key_Field": true, "AddNew_Mode": true,
        "Password_Chr": "*", "Search_Recordsource": "SELECT * FROM Customers"
      } },
    { "type": "KivUni", "name": "uniPlain", "left": 2000, "top": 1100, "width": 1500,
      "height": 285, "tabIndex": 2 },
    { "type": "TextBox", "name": "txtEmail", "left": 2000, "top": 1500, "width": 3000,
      "height": 285, "tabIndex": 3, "dataField": "Email", "tag": "Locked",
      "properties": { "MaxLength": 80, "Text": "x@y", "Locked": true, "PasswordChar": "#" } },
    { "type": "ComboBox", "name": "cmbKind", "left": 2000, "top": 1900, "width": 1500,
      "height": 315, "tabIndex": 4, "dataField": "Kind", "list": ["A", "B"],
      "properties": { "ListIndex": 1 } },
    { "type": "CheckBox", "name": "chkActive", "left": 2000, "top": 2300, "width": 1500,
      "height": 285, "tabIndex": 5, "dataField": "Active", "enabled": false,
      "properties": { "Caption": "Active", "Value": 1 } },
    { "type": "Label", "name": "lblNote", "left": 100, "top": 2700, "width": 3000,
      "height": 285, "visible": false, "properties": { "Caption": "Note" } },
    { "type": "CommandButton", "name": "cmdHelp", "left": 100, "top": 3100, "width": 1200,
      "height": 375, "tabIndex": 6, "properties": { "Caption": "Help" } }
  ],
  "onLoad": []
})";

Json ControlNamed(const Json& form, const std::string& name) {
  for (const auto& c : form["controls"])
    if (c["name"] == name) return c;
  return Json();
}

// Loading a form file and saving it gives back every property, reference,
// binding and data format; a second round trip changes nothing.
TEST_F(AppTest, RoundTripPreservesEveryProperty) {
  const auto form = file("full.json", kFullForm);
  const auto saved = (dir / "saved.json").string();
  ASSERT_EQ(run({form, "--save", saved}), kExitOk) << err;
  const Json original = Json::parse(kFullForm);
  const Json first = Json::parse(ReadText(saved));
  EXPECT_EQ(first["caption"], "Everything");
  EXPECT_EQ(first["connections"], original["connections"]);
  for (const auto& c : original["controls"]) {
    SCOPED_TRACE(c["name"].get<std::string>());
    const Json back = ControlNamed(first, c["name"]);
    ASSERT_FALSE(back.is_null());
    EXPECT_EQ(back["type"], c["type"]);
    for (const char* key : {"properties", "dataField", "dataFormat", "tag", "list", "visible",
                            "enabled", "tabIndex", "left", "top"})
      if (c.contains(key)) {
        EXPECT_EQ(back[key], c[key]) << key;
      }
  }
  // A control without a bag writes none of its defaults.
  EXPECT_EQ(ControlNamed(first, "uniPlain")["properties"], Json::object());

  const auto again = (dir / "again.json").string();
  ASSERT_EQ(run({saved, "--save", again}), kExitOk) << err;
  EXPECT_EQ(ReadText(again), ReadText(saved));
}

// A running master-detail screen saved: the controller's record set is left
// out (the load action opens it again) and so is the grid's; the form's own
// connection URI is kept rather than a --db override; the events, the
// display's link, the grid's captions and a grid font (as a font reference)
// are kept. The saved file runs the tour again.
TEST_F(AppTest, SavedRunningScreenKeepsItsSettingsAndRunsAgain) {
  Json original = Json::parse(ReadText(dir / "orders.json"));
  for (auto& c : original["controls"])
    if (c["name"] == "grdLines") c["properties"]["Font"] = {{"$font", "Arial, 9.5, bold"}};
  const auto form = file("orders2.json", original.dump(2));
  const auto copy = (dir / "copy.db").string();
  std::filesystem::copy_file(dir / "orders.db", copy);
  const auto saved = (dir / "saved.json").string();
  ASSERT_EQ(run({form, "--db", "sqlite:" + copy, "--save", saved}), kExitOk) << err;
  const Json back = Json::parse(ReadText(saved));
  EXPECT_EQ(back["connections"], original["connections"]);
  EXPECT_EQ(back["events"], original["events"]);
  for (const char* name : {"ctlForm", "grdLines"})
    EXPECT_EQ(ControlNamed(back, name)["properties"], ControlNamed(original, name)["properties"])
        << name;
  // Field editors and displays also store the text they showed.
  Json code = ControlNamed(back, "uniCustomerCode")["properties"];
  EXPECT_EQ(code["Text"], "C1");
  code.erase("Text");
  EXPECT_EQ(code, ControlNamed(original, "uniCustomerCode")["properties"]);
  const Json description = ControlNamed(back, "desCustomerName")["properties"];
  EXPECT_EQ(description["Linked_LookUp_Control"], Json({{"$control", "uniCustomerCode"}}));
  EXPECT_EQ(description["Text"], "Smith & Sons");

  EXPECT_EQ(run({saved, "--script", (samples() / "orders-tour.script").string()}), kExitOk)
      << out << err;
}

// --save replaces the file through a new temporary file of its own: a link
// planted where a fixed temporary name would be is not followed, and a file
// readable only by its owner (it may hold a database password) stays so.
TEST_F(AppTest, SavingFollowsNoPlantedLinkAndKeepsThePermissions) {
  const auto target = dir / "private.json";
  WriteText(target, "{}");
  std::filesystem::permissions(
      target, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  WriteText(dir / "victim", "keep");
  std::filesystem::create_symlink(dir / "victim", dir / "private.json.tmp");
  ASSERT_EQ(run({(dir / "customers.json").string(), "--save", target.string()}), kExitOk) << err;
  EXPECT_EQ(ReadText(dir / "victim"), "keep");
  EXPECT_EQ(std::filesystem::status(target).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_EQ(Json::parse(ReadText(target))["caption"], "Customers");
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"customers.json", "orders.db", "orders.json",
                                             "private.json", "private.json.tmp", "victim"}));
}

}  // namespace
}  // namespace kivform::test
