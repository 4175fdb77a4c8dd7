#include <nlohmann/json.hpp>

#include "app/AppTestSupport.h"

namespace kivform::test {
namespace {

using Json = nlohmann::json;

// The orders tour: the customer's name beside the code, the lines following
// the current order through moves, an edit, an add and a delete.
TEST_F(AppTest, OrdersTourFollowsTheCurrentOrder) {
  const int status = run(
      {(dir / "orders.json").string(), "--script", (samples() / "orders-tour.script").string()});
  EXPECT_EQ(status, kExitOk) << out << err;
  EXPECT_EQ(out.find("FAILED"), std::string::npos) << out;
  EXPECT_NE(out.find("Action ctlForm.AfterMove: open grdLines: 2 rows"), std::string::npos);
  EXPECT_NE(out.find("Action ctlForm.AfterSave: open grdLines: 0 rows"), std::string::npos);
  EXPECT_NE(out.find("Event desCustomerName.Change"), std::string::npos);
}

// A screen of customers and a grid of their orders, re-opened from a
// statement whose values come from a text box and from the current record.
std::string DetailForm(const std::string& events) {
  return R"({"caption": "T", "connections": {"main": "sqlite:orders.db"}, "controls": [
    {"type": "KivFormControl", "name": "ctlForm", "properties": {
       "Source_Connection": {"$connection": "main"}, "Source_Table": "Customers",
       "Source_Fields": "*", "SecurityLevel": 2}},
    {"type": "KivUni", "name": "uniCode", "properties": {"Data_Field": "Code"}},
    {"type": "TextBox", "name": "txtName"},
    {"type": "KivDetGrid", "name": "grdOrders"},
    {"type": "CommandButton", "name": "cmdFind"}],
    "events": )" +
         events + R"(, "onLoad": ["call ctlForm.OpenRecordset \"\""]})";
}

// Values reach the statement as bound parameters: a name with a quote is
// found, a hostile text finds nothing and changes nothing; a failing action
// is reported in a box and the event's other actions and the controller go
// on; an action that raises its own event does not run again inside itself.
TEST_F(AppTest, EventActionsBindValuesAndReportFailures) {
  const auto form = file("detail.json", DetailForm(R"({
    "ctlForm.AfterMove": [
      {"open": "grdOrders", "sql": "SELECT OrderNo FROM Orders WHERE CustomerCode = ?",
       "parameters": [{"field": "Code"}]},
      {"call": "ctlForm.MoveRecordset", "arguments": [{"value": 2}]}],
    "ctlForm.AfterDelete": [
      {"open": "grdOrders", "sql": "SELECT * FROM NoSuchTable"},
      {"set": "txtName.Text", "value": {"value": "after delete"}}],
    "cmdFind.Click": [
      {"open": "grdOrders",
       "sql": "SELECT c.Code FROM Customers c WHERE c.Name = ? AND c.Code <> '?' -- ?",
       "parameters": [{"text": "txtName"}]}]})"));
  const auto script = file("detail.script", R"S(expect uniCode.Text "C2"
expect grdOrders.DataGrid1.ApproxCount 2
set txtName.Text "O'Brien Hardware"
click cmdFind
expect grdOrders.DataGrid1.ApproxCount 1
expect grdOrders.CellText "C3"
set txtName.Text "x' OR '1'='1"
click cmdFind
expect grdOrders.DataGrid1.ApproxCount 0
answer Yes
click ctlForm.cmdDelete
expect message "ctlForm.AfterDelete: open grdOrders: no such table: NoSuchTable (-2147467259)"
expect txtName.Text "after delete"
)S");
  ASSERT_EQ(run({form, "--script", script}), kExitOk) << out << err;
  EXPECT_EQ(out.find("FAILED"), std::string::npos) << out;
  // The move inside AfterMove ran once per move, not without end: the screen
  // opened on C1, showed its two orders and moved on to C2.
  EXPECT_NE(out.find("Action ctlForm.AfterMove: open grdOrders: 2 rows"), std::string::npos);
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM Customers"), "4");
}

// Each malformed master-detail form gives one error naming the file and what
// is wrong (the event and action, or the control and property), status 2.
TEST_F(AppTest, MalformedEventsAndLinksGiveOneClearError) {
  struct Case {
    const char* what;
    std::string json;
    std::vector<std::string> mentions;
  };
  auto withEvents = [](const std::string& events) { return DetailForm(events); };
  const std::string open = R"({"open": "grdOrders", "sql": "SELECT * FROM Orders WHERE 1 = ?", )";
  const std::vector<Case> cases = {
      {"link to a text box",
       R"({"connections": {"main": "sqlite:orders.db"}, "controls": [
          {"type": "TextBox", "name": "txtCode"},
          {"type": "KivDesc", "name": "desName",
           "properties": {"Linked_LookUp_Control": {"$control": "txtCode"}}}]})",
       {"control 'desName'", "property 'Linked_LookUp_Control'", "needs a field editor",
        "TextBox"}},
      {"link as a text",
       R"({"controls": [{"type": "KivDesc", "name": "desName",
           "properties": {"Linked_LookUp_Control": "uniCode"}}]})",
       {"control 'desName'", "property 'Linked_LookUp_Control'"}},
      {"unknown event",
       withEvents(R"({"ctlForm.Moved": []})"),
       {"event 'ctlForm.Moved'", "no event 'Moved'", "AfterMove"}},
      {"unknown verb",
       withEvents(R"({"ctlForm.AfterMove": [{"run": "x"}]})"),
       {"event 'ctlForm.AfterMove': action #1", "an action is"}},
      {"open on no grid",
       withEvents(R"({"ctlForm.AfterMove": [{"open": "uniCode", "sql": "SELECT 1"}]})"),
       {"action #1", "needs a KivDetGrid", "KivUni"}},
      {"placeholders and parameters differ",
       withEvents(R"({"ctlForm.AfterMove": [)" + open + R"("parameters": []}]})"),
       {"action #1", "1 placeholders", "0 parameters"}},
      {"unknown value kind",
       withEvents(R"({"ctlForm.AfterMove": [)" + open + R"("parameters": [{"sql": "1"}]}]})"),
       {"parameters #1", "unknown key 'sql'"}},
      {"controller that is none",
       withEvents(R"({"ctlForm.AfterMove": [)" + open +
                  R"("parameters": [{"field": "Code", "controller": "uniCode"}]}]})"),
       {"parameters #1", "no form controller"}},
      {"unknown connection",
       withEvents(R"({"ctlForm.AfterMove": [{"open": "grdOrders", "sql": "SELECT 1", )"
                  R"("connection": "other"}]})"),
       {"action #1", "no connection named 'other'"}},
      {"set of no member",
       withEvents(R"({"cmdFind.Click": [{"set": "txtName.Colour", "value": {"value": 1}}]})"),
       {"event 'cmdFind.Click'", "no member 'Colour'"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto form = file("bad.json", c.json);
    EXPECT_EQ(run({form}), kExitBadInput) << out;
    EXPECT_EQ(out.find("> "), std::string::npos) << out;
    EXPECT_NE(err.find(form), std::string::npos) << err;
    for (const auto& m : c.mentions)
      EXPECT_NE(err.find(m), std::string::npos) << m << " not in: " << err;
  }
}

// The orders screen saved after a run keeps its events, the display's link
// and the grid's captions (but not the record set it showed); a grid font is
// written as a font reference. The saved file runs the tour again.
TEST_F(AppTest, SavedOrdersScreenKeepsEventsAndLinks) {
  Json original = Json::parse(ReadText(dir / "orders.json"));
  for (auto& c : original["controls"])
    if (c["name"] == "grdLines") c["properties"]["Font"] = {{"$font", "Arial, 9.5, bold"}};
  const auto withFont = file("orders2.json", original.dump(2));
  const auto saved = (dir / "saved.json").string();
  ASSERT_EQ(run({withFont, "--save", saved}), kExitOk) << err;
  const Json back = Json::parse(ReadText(saved));
  EXPECT_EQ(back["events"], original["events"]);
  auto named = [](const Json& screen, const std::string& name) {
    for (const auto& c : screen["controls"])
      if (c["name"] == name) return c;
    return Json();
  };
  for (const auto& c : back["controls"]) {
    if (c["name"] == "desCustomerName") {
      EXPECT_EQ(c["properties"]["Linked_LookUp_Control"], Json({{"$control", "uniCustomerCode"}}));
      EXPECT_EQ(c["properties"]["Text"], "Smith & Sons");
    }
    if (c["name"] == "grdLines") {
      EXPECT_FALSE(c["properties"].contains("DataSource")) << c.dump();
      EXPECT_EQ(c["properties"]["Font"], Json({{"$font", "Arial, 9.5, bold"}}));
      EXPECT_EQ(c["properties"]["FriendlyNames"],
                named(original, "grdLines")["properties"]["FriendlyNames"]);
    }
  }
  EXPECT_EQ(run({saved, "--script", (samples() / "orders-tour.script").string()}), kExitOk)
      << out << err;
}

}  // namespace
}  // namespace kivform::test
