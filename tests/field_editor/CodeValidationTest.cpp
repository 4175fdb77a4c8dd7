// Code editors against a real SQLite reference table: validation of typed
// codes, its messages, safe quoting, and the lookup through a launcher.

#include <gtest/gtest.h>

#include "FieldEditorFixture.h"
#include "kiv/data/Connection.h"
#include "kiv/data/Field.h"
#include "kiv/data/Recordset.h"
#include "kiv/runtime/Error.h"

namespace kiv::test {
namespace {

const std::string kPrefix =
    "The following occurred while checking code data (funCode_Not_OK): \r\n";

class CodeEditorTest : public FieldEditorTest {
 protected:
  void SetUp() override {
    FieldEditorTest::SetUp();
    db = Connection::OpenNew("sqlite::memory:");
    // The code column ignores case, so a code in other letters is found by
    // the query and must fail the exact comparison.
    db->Execute(
        "CREATE TABLE Customers (CustCode TEXT COLLATE NOCASE PRIMARY KEY, Name TEXT, "
        "Active INTEGER);"
        "INSERT INTO Customers VALUES ('A7', 'Acme', 1), ('B2', 'Bolt', 0), "
        "('O''Hara', 'O''Hara Ltd', 1);"
        "CREATE TABLE Products (ProdNo INTEGER PRIMARY KEY, Name TEXT);"
        "INSERT INTO Products VALUES (5, 'Nut'), (12, 'Bolt');");
    uni->Type_Of_LookUp(tolLookUp_Code);
    uni->Source_Connection(db);
    uni->Source_Table("Customers");
    uni->Data_Field("CustCode");
  }

  std::int32_t rows(const std::string& table) {
    Recordset rs;
    rs.Open("SELECT COUNT(*) AS n FROM " + table, db);
    return CLng(rs["n"].Value());
  }

  // Validates a text as the form controller does after filling the editor.
  bool invalidAfterWriting(const std::string& text) {
    uni->Text(text);
    return uni->Invalid_Data();
  }

  std::shared_ptr<Connection> db;
};

TEST_F(CodeEditorTest, TextCodeFoundOnlyByExactMatchWithinTheFilter) {
  EXPECT_FALSE(invalidAfterWriting("A7"));
  EXPECT_EQ(uni->txtText1().BackColor(), KivUni::kDefaultNormalColour);
  EXPECT_EQ(log.back(), "DataChanged A7 False");
  EXPECT_TRUE(invalidAfterWriting("a7"));  // found by the query, not the same text
  EXPECT_EQ(uni->txtText1().BackColor(), KivUni::kDefaultErrorColour);
  EXPECT_TRUE(invalidAfterWriting("A7 "));
  EXPECT_TRUE(invalidAfterWriting("Z9"));
  EXPECT_FALSE(invalidAfterWriting("B2"));
  uni->Filter("Active = 1");
  EXPECT_TRUE(invalidAfterWriting("B2"));
  EXPECT_FALSE(invalidAfterWriting("A7"));
  // An empty code is valid without a query, unless the editor is required.
  EXPECT_FALSE(invalidAfterWriting(""));
  uni->Required_Field(true);
  EXPECT_TRUE(invalidAfterWriting(""));
  // A date editor with a code lookup cannot match.
  uni->Required_Field(false);
  uni->Type_Of_Control(tocDate);
  EXPECT_TRUE(invalidAfterWriting("5/17/2024"));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(CodeEditorTest, NumberCodesCompareAsText) {
  uni->Type_Of_Control(tocNumber);
  uni->Source_Table("Products");
  uni->Source_Code_Field("ProdNo");
  EXPECT_FALSE(invalidAfterWriting("5"));
  EXPECT_TRUE(invalidAfterWriting("5.0"));  // the row is found, its text is "5"
  EXPECT_TRUE(invalidAfterWriting("6"));
  EXPECT_TRUE(invalidAfterWriting("12a"));  // not a number: no query at all
  EXPECT_TRUE(boxes.empty());
}

TEST_F(CodeEditorTest, FailuresShowTheMessageAndCountAsInvalid) {
  // No source table: the library's error and an empty statement.
  auto bare = std::make_shared<KivUni>();
  bare->Type_Of_LookUp(tolLookUp_Code);
  bare->Source_Connection(db);
  bare->Text("A7");
  EXPECT_TRUE(bare->Invalid_Data());
  ASSERT_EQ(boxes.size(), 2u);  // leaving the box, then reading validity
  EXPECT_EQ(boxes[0].prompt, kPrefix +
                                 "-2147221503 - Reference source table has not been set (or "
                                 "could not be determined).\r\nSQL: ");
  EXPECT_EQ(boxes[0].title, "KivUni");
  EXPECT_EQ(boxes[0].buttons, vb::vbCritical | vb::vbOKOnly);

  // No code field (neither Source_Code_Field nor Data_Field).
  boxes.clear();
  bare->Source_Table("Customers");
  bare->Text("B2");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].prompt, kPrefix +
                                 "-2147221503 - Reference source field has not been set (or "
                                 "could not be determined).\r\nSQL: ");

  // A filter the database rejects: its message and the statement as built.
  boxes.clear();
  uni->Filter("Bogus = 1");
  EXPECT_TRUE(invalidAfterWriting("A7"));
  ASSERT_EQ(boxes.size(), 2u);  // shown again on every validation of the same value
  const std::string& prompt = boxes[0].prompt;
  EXPECT_EQ(prompt.rfind(kPrefix, 0), 0u) << prompt;
  const std::string sql =
      "\r\nSQL: SELECT TOP 1 CustCode FROM Customers  WHERE Bogus = 1  AND CustCode = 'A7' ";
  ASSERT_GE(prompt.size(), sql.size());
  EXPECT_EQ(prompt.substr(prompt.size() - sql.size()), sql) << prompt;
  EXPECT_NE(prompt.find("Bogus"), std::string::npos);
  EXPECT_EQ(boxes[1].prompt, prompt);
}

TEST_F(CodeEditorTest, WithoutAnOpenConnectionEveryCodeIsSilentlyInvalid) {
  auto unconnected = std::make_shared<KivUni>();
  unconnected->Type_Of_LookUp(tolLookUp_Code);
  unconnected->Source_Table("Customers");
  unconnected->Data_Field("CustCode");
  unconnected->Text("A7");
  EXPECT_TRUE(unconnected->Invalid_Data());
  unconnected->Text("");
  EXPECT_FALSE(unconnected->Invalid_Data());

  auto closed = Connection::OpenNew("sqlite::memory:");
  closed->Close();
  uni->Source_Connection(closed);
  EXPECT_TRUE(invalidAfterWriting("A7"));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(CodeEditorTest, TypedCodesCannotChangeTheStatement) {
  EXPECT_TRUE(invalidAfterWriting("x' OR '1'='1"));
  EXPECT_TRUE(invalidAfterWriting("x'; DELETE FROM Customers; --"));
  EXPECT_TRUE(invalidAfterWriting("' OR CustCode LIKE '%"));
  EXPECT_TRUE(boxes.empty());  // every statement was well formed
  EXPECT_EQ(rows("Customers"), 3);
  // A real code holding a quote is found.
  EXPECT_FALSE(invalidAfterWriting("O'Hara"));
  EXPECT_TRUE(boxes.empty());

  // A number editor only ever puts a number into the statement.
  uni->Type_Of_Control(tocNumber);
  uni->Source_Table("Products");
  uni->Source_Code_Field("ProdNo");
  EXPECT_TRUE(invalidAfterWriting("5 OR 1=1"));
  EXPECT_TRUE(invalidAfterWriting("0; DROP TABLE Products"));
  EXPECT_TRUE(invalidAfterWriting(" 12"));  // the query finds 12, but the text differs
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(rows("Products"), 2);
}

// A stand-in for the search launcher: records what the editor hands it and
// returns a scripted code.
class FakeLauncher : public Dispatch {
 public:
  std::string_view TypeName() const override { return "KivSearch"; }
  const MemberTable& memberTable() const override {
    using B = MemberTable::Builder<FakeLauncher>;
    static const MemberTable table =
        B().let("FriendlyNames", [](FakeLauncher& f, const Variant& v) { f.friendlyNames = v; })
            .set("Search_RecordSource",
                 [](FakeLauncher& f, const Variant& v) { f.list = ObjectAs<Recordset>(v); })
            .let("Return_Fields",
                 [](FakeLauncher& f, const Variant& v) { f.returnFields = CStr(v); })
            .method("ShowSearch",
                    [](FakeLauncher& f, B::Args& args) {
                      f.modal = CInt(Arg(args, 0));
                      f.owner = ObjectAs<Dispatch>(Arg(args, 1)).get();
                      ++f.shown;
                      return Variant();
                    })
            .get("Return_Value",
                 [](FakeLauncher& f) { return Variant(Array::Of({Variant(f.answer)})); })
            .build();
    return table;
  }

  Variant friendlyNames;
  std::shared_ptr<Recordset> list;
  std::string returnFields;
  int modal = 0;
  Dispatch* owner = nullptr;  // not owned: the editor holds the launcher
  int shown = 0;
  std::string answer;
};

TEST_F(CodeEditorTest, LookUpThroughTheLauncherWritesThePickedCode) {
  auto launcher = std::make_shared<FakeLauncher>();
  uni->Search_Control(launcher);
  uni->FriendlyNames(Variant("names"));
  uni->Filter("Active = 1");
  uni->Text("Z9");
  log.clear();

  // Cancelled: nothing changes.
  uni->cmdFunction().click();
  EXPECT_EQ(launcher->shown, 1);
  EXPECT_EQ(launcher->modal, 1);
  EXPECT_EQ(launcher->owner, uni.get());
  EXPECT_EQ(launcher->returnFields, "CustCode");
  EXPECT_EQ(launcher->friendlyNames, Variant("names"));
  ASSERT_TRUE(launcher->list);
  EXPECT_EQ(launcher->list->Source(),
            "SELECT * FROM Customers WHERE Active = 1  ORDER BY CustCode ASC");
  EXPECT_EQ(uni->Text(), "Z9");
  EXPECT_EQ(uni->txtText1().BackColor(), KivUni::kDefaultErrorColour);
  for (const auto& line : log)
    EXPECT_EQ(line.rfind("DataChanged", 0), std::string::npos);

  // A pick writes the code, which is validated and announced.
  launcher->answer = "O'Hara";
  uni->cmdFunction_Click();
  EXPECT_EQ(uni->Text(), "O'Hara");
  EXPECT_EQ(log.back(), "DataChanged O'Hara False");
  EXPECT_EQ(uni->txtText1().BackColor(), KivUni::kDefaultNormalColour);

  // A statement of its own is used exactly, without the filter.
  uni->Search_RecordSource("SELECT CustCode, Name FROM Customers");
  uni->cmdFunction_Click();
  EXPECT_EQ(launcher->list->Source(), "SELECT CustCode, Name FROM Customers");
  EXPECT_TRUE(boxes.empty());

  // A list the database rejects: reported from the button, Text unchanged.
  uni->Search_RecordSource("SELECT * FROM NoSuchTable");
  launcher->answer = "A7";
  uni->cmdFunction().click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "KivUni");
  EXPECT_EQ(uni->Text(), "O'Hara");
}

}  // namespace
}  // namespace kiv::test
