#include "app/AppTestSupport.h"

namespace kivform::test {
namespace {

struct BadForm {
  const char* what;
  std::string json;
  std::vector<std::string> mentions;  // every one must appear in the error
};

std::string Form(const std::string& controls, const std::string& connection = "sqlite:orders.db",
                 const std::string& extra = "") {
  return R"({"caption": "T", "connections": {"main": ")" + connection + R"("}, "controls": [)" +
         controls + "]" + extra + "}";
}

const std::string kCtl =
    R"({"type": "KivFormControl", "name": "ctlForm", "properties": {"Source_Connection": )"
    R"({"$connection": "main"}, "Source_Table": "Customers", "Source_Fields": "*", )"
    R"("SecurityLevel": 2}})";

// Each malformed form file gives one error naming the file and what is wrong
// (the control and property, or the event and action), status 2, and nothing
// runs (no transcript is printed).
TEST_F(AppTest, MalformedFormFilesGiveOneClearErrorAndStatusTwo) {
  const std::string deep = std::string(50000, '[') + std::string(50000, ']');
  const std::string open = R"({"open": "grdOrders", "sql": "SELECT * FROM Orders WHERE 1 = ?", )";
  const std::vector<BadForm> cases = {
      {"nested 50,000 deep",
       Form(R"({"type": "TextBox", "name": "txtA", "properties": {"Text": )" + deep + "}}"),
       {"control 'txtA', property 'Text': ", "nested more than"}},
      {"number beyond a double",
       Form("", "sqlite:orders.db", R"(, "width": 1e400)"),
       {"'width'", "1e400"}},
      {"property overflow",
       Form(R"({"type": "KivUni", "name": "uniName", "properties": {"MaxLength": 1e10}})"),
       {"control 'uniName', property 'MaxLength': Overflow (6)"}},
      {"JSON syntax",
       "{\"caption\": \"T\",\n \"controls\": [,]}",
       {"JSON syntax error at line 2, column"}},
      {"not an object", "[1, 2]", {"a form file holds one JSON object"}},
      {"unknown top-level key",
       Form("", "sqlite:orders.db", R"(, "colour": 1)"),
       {"unknown key 'colour'"}},
      {"unknown control type",
       Form(R"({"type": "KivGrid", "name": "grdX"})"),
       {"control 'grdX'", "unknown control type 'KivGrid'", "KivUni"}},
      {"control without a name", Form(R"({"type": "KivUni"})"), {"control #1", "'name'"}},
      {"two controls of one name",
       Form(R"({"type": "KivUni", "name": "uniA"}, {"type": "TextBox", "name": "UNIA"})"),
       {"control 'UNIA'", "same name"}},
      {"unknown control key",
       Form(R"({"type": "KivUni", "name": "uniA", "colour": 5})"),
       {"control 'uniA'", "unknown key 'colour'"}},
      {"geometry of the wrong kind",
       Form(R"({"type": "KivUni", "name": "uniA", "left": "x"})"),
       {"control 'uniA'", "'left' must be a number"}},
      {"unknown bag property",
       Form(R"({"type": "KivUni", "name": "uniA", "properties": {"Colour": 5}})"),
       {"control 'uniA'", "property 'Colour'", "unknown property"}},
      {"bag value of the wrong type",
       Form(R"({"type": "KivUni", "name": "uniA", "properties": {"Required_Field": "maybe"}})"),
       {"control 'uniA'", "property 'Required_Field'"}},
      {"reference to no connection",
       Form(R"({"type": "KivUni", "name": "uniA", "properties": {"Source_Connection": )"
            R"({"$connection": "other"}}})"),
       {"control 'uniA'", "property 'Source_Connection'"}},
      {"reference to no control",
       Form(R"({"type": "KivFormControl", "name": "ctlForm", "properties": {"SearchControl": )"
            R"({"$control": "srchNone"}}})"),
       {"control 'ctlForm'", "property 'SearchControl'"}},
      {"unknown widget property",
       Form(R"({"type": "Label", "name": "lblA", "properties": {"Text": "x"}})"),
       {"control 'lblA'", "property 'Text'", "unknown property"}},
      {"bad widget value",
       Form(R"({"type": "TextBox", "name": "txtA", "properties": {"MaxLength": -1}})"),
       {"control 'txtA'", "property 'MaxLength'"}},
      {"negative width",
       Form(R"({"type": "TextBox", "name": "txtA", "width": -5})"),
       {"control 'txtA'", "Width cannot be negative"}},
      {"binding on a label",
       Form(R"({"type": "Label", "name": "lblA", "dataField": "Name"})"),
       {"control 'lblA'", "dataField"}},
      {"missing database file",
       Form(kCtl, "sqlite:missing.db"),
       {"connection 'main'", "missing.db", "does not exist"}},
      {"unknown database scheme", Form(kCtl, "oracle://x"), {"connection 'main'", "oracle://x"}},
      {"load action on no control",
       Form(kCtl, "sqlite:orders.db", R"(, "onLoad": ["call ctlNone.OpenRecordset"])"),
       {"onLoad:1", "no control named 'ctlNone'"}},
      {"malformed load action",
       Form(kCtl, "sqlite:orders.db", R"(, "onLoad": ["open ctlForm"])"),
       {"onLoad:1", "unknown action 'open'"}},
      {"load action that fails",
       Form(R"({"type": "KivFormControl", "name": "ctlForm", "properties": {"Source_Connection": )"
            R"({"$connection": "main"}, "Source_Table": "Nowhere", "Source_Fields": "*", )"
            R"("SecurityLevel": 2}})",
            "sqlite:orders.db", R"(, "onLoad": ["call ctlForm.OpenRecordset \"\""])"),
       {"onLoad:1", "returned False", "Nowhere"}},
      // Master-detail: links and event actions.
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
       DetailForm(R"({"ctlForm.Moved": []})"),
       {"event 'ctlForm.Moved'", "no event 'Moved'", "AfterMove"}},
      {"unknown verb",
       DetailForm(R"({"ctlForm.AfterMove": [{"run": "x"}]})"),
       {"event 'ctlForm.AfterMove': action #1", "an action is"}},
      {"open on no grid",
       DetailForm(R"({"ctlForm.AfterMove": [{"open": "uniCode", "sql": "SELECT 1"}]})"),
       {"action #1", "needs a KivDetGrid", "KivUni"}},
      {"placeholders and parameters differ",
       DetailForm(R"({"ctlForm.AfterMove": [)" + open + R"("parameters": []}]})"),
       {"action #1", "1 placeholders", "0 parameters"}},
      {"unknown value kind",
       DetailForm(R"({"ctlForm.AfterMove": [)" + open + R"("parameters": [{"sql": "1"}]}]})"),
       {"parameters #1", "unknown key 'sql'"}},
      {"controller that is none",
       DetailForm(R"({"ctlForm.AfterMove": [)" + open +
                  R"("parameters": [{"field": "Code", "controller": "uniCode"}]}]})"),
       {"parameters #1", "no form controller"}},
      {"unknown connection",
       DetailForm(R"({"ctlForm.AfterMove": [{"open": "grdOrders", "sql": "SELECT 1", )"
                  R"("connection": "other"}]})"),
       {"action #1", "no connection named 'other'"}},
      {"set of no member",
       DetailForm(R"({"cmdFind.Click": [{"set": "txtName.Colour", "value": {"value": 1}}]})"),
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

struct BadScript {
  const char* what;
  std::string line;
  std::string mention;
};

// A malformed script line, or one naming what is not on the form, is
// reported with its file and line before anything runs: the delete on the
// first line never happens.
TEST_F(AppTest, MalformedScriptLinesNameTheLineAndChangeNothing) {
  const std::vector<BadScript> cases = {
      {"unknown action", "jump ctlForm", "unknown action 'jump'"},
      {"open quote", "type uniName \"Smith", "not closed"},
      {"unquoted text", "type uniName Smith", "must be quoted"},
      {"unknown key", "key uniName Ctrl+Banana", "unknown key 'Ctrl+Banana'"},
      {"key number out of range", "key uniName F99999999999", "unknown key"},
      {"unknown answer", "answer Maybe", "unknown answer 'Maybe'"},
      {"bad date", "calendar pick 2024-02-30", "not a date"},
      {"bad value", "set uniName.Text Smith", "is not a value"},
      {"unknown control", "click ctlNone.cmdNext", "no control named 'ctlNone'"},
      {"unknown inner widget", "click ctlForm.cmdJump", "no inner widget named 'cmdJump'"},
      {"unknown member", "expect uniName.Colour 5", "has no member 'Colour'"},
      {"tick on a text", "tick uniName", "'uniName' is not a check box"},
      {"sql unquoted", "sql SELECT 1", "'sql' is written: sql \"SELECT ...\""},
      {"unknown search action", "search jump", "'search' is written"},
      {"unquoted search column", "search column Name", "must be quoted"},
      {"bad search row", "search row 0", "'0' is not a row number"},
      {"unknown search widget", "click frmSearch.cmdJump", "no inner widget named 'cmdJump'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto script =
        file("bad.script", "answer Yes\nclick ctlForm.cmdDelete\n# a comment\n" + c.line + "\n");
    EXPECT_EQ(run({(dir / "customers.json").string(), "--script", script}), kExitBadInput) << out;
    EXPECT_NE(err.find(script + ":4"), std::string::npos) << err;
    EXPECT_NE(err.find(c.mention), std::string::npos) << err;
    EXPECT_EQ(out.find("cmdDelete"), std::string::npos) << out;
  }
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM Customers"), "5");
}

// A call that raises stops the run with the line named and status 2; the
// command line is checked before anything loads.
TEST_F(AppTest, FailingCallsAndBadOptionsGiveStatusTwo) {
  const auto script = file("call.script", "call ctlForm.MoveRecordset \"sideways\"\n");
  EXPECT_EQ(run({(dir / "customers.json").string(), "--script", script}), kExitBadInput);
  EXPECT_NE(err.find(script + ":1: error 13"), std::string::npos) << err;

  EXPECT_EQ(run({(dir / "customers.json").string(), "--frobnicate"}), kExitBadInput);
  EXPECT_NE(err.find("unknown option --frobnicate"), std::string::npos);
  EXPECT_EQ(run({(dir / "customers.json").string(), "--locale", "xx-YY"}), kExitBadInput);
  EXPECT_NE(err.find("--locale xx-YY"), std::string::npos);
  EXPECT_EQ(run({(dir / "customers.json").string(), "--script", (dir / "none.script").string()}),
            kExitBadInput);
  EXPECT_NE(err.find("none.script: cannot open"), std::string::npos);
  EXPECT_EQ(run({(dir / "customers.json").string(), "--script", dir.string()}), kExitBadInput);
  EXPECT_NE(err.find("is a folder"), std::string::npos) << err;
  EXPECT_EQ(run({}), kExitBadInput);
  EXPECT_EQ(run({(dir / "customers.json").string(), "--db", "a=b", "--db"}), kExitBadInput);
  EXPECT_NE(err.find("--db needs a value"), std::string::npos);
}

}  // namespace
}  // namespace kivform::test
