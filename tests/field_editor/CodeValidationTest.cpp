// Code editors against a real SQLite reference table: validation of typed
// codes, its messages, safe quoting, and the lookup through a launcher.

#include <gtest/gtest.h>

#include "FieldEditorFixture.h"
#include "kiv/data/Connection.h"
#include "kiv/data/Field.h"
#include "kiv/data/Recordset.h"
#include "kiv/host/ComboBox.h"
#include "kiv/host/DataGrid.h"
#include "kiv/runtime/Error.h"
#include "kiv/search/KivSearch.h"
#include "kiv/search/frmSearch.h"

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

// Typed codes never change the statement: a text code is bound as a value
// (a real code holding a quote is found), and a number code is compared as
// text with the row found, only a number ever going into the statement.
TEST_F(CodeEditorTest, TypedCodesCannotChangeTheStatement) {
  for (const char* code :
       {"x' OR '1'='1", "x'; DELETE FROM Customers; --", "' OR CustCode LIKE '%"})
    EXPECT_TRUE(invalidAfterWriting(code)) << code;
  EXPECT_EQ(rows("Customers"), 3);
  EXPECT_FALSE(invalidAfterWriting("O'Hara"));

  uni->Type_Of_Control(tocNumber);
  uni->Source_Table("Products");
  uni->Source_Code_Field("ProdNo");
  EXPECT_FALSE(invalidAfterWriting("5"));
  // "5.0" and " 12" find their rows, whose text differs; "12a" is no number.
  for (const char* code : {"5.0", " 12", "6", "12a", "5 OR 1=1", "0; DROP TABLE Products"})
    EXPECT_TRUE(invalidAfterWriting(code)) << code;
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(rows("Products"), 2);
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
  uni->Source_Connection(nullptr);
  EXPECT_TRUE(invalidAfterWriting("A7"));
  EXPECT_FALSE(invalidAfterWriting(""));

  auto closed = Connection::OpenNew("sqlite::memory:");
  closed->Close();
  uni->Source_Connection(closed);
  EXPECT_TRUE(invalidAfterWriting("A7"));
  EXPECT_TRUE(boxes.empty());
}

// What the editor's lookup showed in the search dialog.
struct Shown {
  std::string source;
  std::string returnFields;
  std::vector<std::string> columns;
  std::int32_t rows = -1;
  bool modal = false;
  Dispatch* owner = nullptr;
};

TEST_F(CodeEditorTest, LookUpThroughTheSearchDialogWritesThePickedCode) {
  auto launcher = KivSearch::Create();
  form.Add(launcher);
  uni->Search_Control(launcher);
  uni->FriendlyNames(FriendlyNameTable({{"CustCode", "Customer"}}));
  uni->Filter("Active = 1");
  uni->Text("Z9");
  log.clear();
  Shown shown;
  // Finds the code in the dialog and accepts it (or cancels for "").
  const auto pick = [&](const std::string& code) {
    host.pushModalDriver([&, code](Form& form) {
      auto& f = dynamic_cast<frmSearch&>(form);
      shown.source = f.arsSearch_RecordSource->Source();
      shown.returnFields = f.strReturn_Fields;
      shown.columns = f.cmbField().items();
      shown.rows = f.dbgData().RowCount();
      shown.modal = f.IsModal();
      shown.owner = f.Owner();
      if (code.empty()) {
        f.cmdCancel().click();
        return;
      }
      f.cmbFind().Text(code);
      f.cmdFindNext().click();
      f.dbgData().pressKey(key::Return);
    });
  };

  // Cancelled: nothing changes.
  pick("");
  uni->cmdFunction().click();
  EXPECT_TRUE(shown.modal);
  EXPECT_EQ(shown.owner, uni.get());
  EXPECT_EQ(shown.returnFields, "CustCode");
  EXPECT_EQ(shown.columns, (std::vector<std::string>{"Customer", "Name", "Active"}));
  EXPECT_EQ(shown.rows, 2);
  EXPECT_EQ(shown.source, "SELECT * FROM Customers WHERE Active = 1  ORDER BY CustCode ASC");
  EXPECT_EQ(uni->Text(), "Z9");
  EXPECT_EQ(uni->txtText1().BackColor(), KivUni::kDefaultErrorColour);
  for (const auto& line : log)
    EXPECT_EQ(line.rfind("DataChanged", 0), std::string::npos);

  // A pick writes the code, which is validated and announced.
  pick("o'hara");
  uni->cmdFunction_Click();
  EXPECT_EQ(uni->Text(), "O'Hara");
  EXPECT_EQ(log.back(), "DataChanged O'Hara False");
  EXPECT_EQ(uni->txtText1().BackColor(), KivUni::kDefaultNormalColour);

  // Ctrl+F opens it too; a statement of its own is used exactly, without the filter.
  uni->Search_RecordSource("SELECT CustCode, Name FROM Customers ORDER BY Name");
  pick("B2");
  uni->txtText1().keyDown(70, key::CtrlMask);
  EXPECT_EQ(shown.source, "SELECT CustCode, Name FROM Customers ORDER BY Name");
  EXPECT_EQ(shown.rows, 3);
  EXPECT_EQ(uni->Text(), "B2");
  EXPECT_TRUE(boxes.empty()) << boxes[0].prompt;

  // A list the database rejects: reported from the button, Text unchanged.
  uni->Search_RecordSource("SELECT * FROM NoSuchTable");
  uni->cmdFunction().click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "KivUni");
  EXPECT_EQ(uni->Text(), "B2");
}

}  // namespace
}  // namespace kiv::test
