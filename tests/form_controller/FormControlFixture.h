#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <deque>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "kiv/data/Connection.h"
#include "kiv/data/Field.h"
#include "kiv/data/Recordset.h"
#include "kiv/field_editor/KivUni.h"
#include "kiv/form_controller/KivFormControl.h"
#include "kiv/host/CheckBox.h"
#include "kiv/host/ComboBox.h"
#include "kiv/host/CommandButton.h"
#include "kiv/host/Form.h"
#include "kiv/host/HeadlessHost.h"
#include "kiv/host/Label.h"
#include "kiv/host/TextBox.h"
#include "kiv/runtime/Conversions.h"
#include "support/HostedTest.h"

namespace kiv::test {

using Lines = std::vector<std::string>;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A message box as the host describes it: title, buttons, icon and prompt.
inline std::string Box(std::string_view title, int buttons, std::string_view prompt) {
  return HeadlessHost::DescribeMsgBox(prompt, buttons, title);
}

// A client maintenance screen over a real SQLite table: a controller, field
// editors for the code, amount and join date, a text box and a combo box, two
// check boxes (a BOOLEAN and an INTEGER field), an unbound text box tagged
// "Locked" and an unbound label. Every message box and controller event is
// recorded; message boxes are answered from `answers` (else their default),
// events as `flip` says.
class FormControlTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    host.setAnswerCallback([this](std::string_view prompt, int buttons, std::string_view title) {
      boxes.push_back(Box(title, buttons, prompt));
      if (answers.empty()) return HeadlessHost::DefaultAnswer(buttons);
      const int answer = answers.front();
      answers.pop_front();
      return answer;
    });
    // A database file, so that a second connection can share it.
    dbPath = std::filesystem::temp_directory_path() /
             ("kiv_form_" + std::to_string(::getpid()) + "_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".db");
    std::filesystem::remove(dbPath);
    db = Connection::OpenNew("sqlite:" + dbPath.string());
    db->Execute(
        "CREATE TABLE Clients (Code VARCHAR(10) PRIMARY KEY, Name VARCHAR(40), Amount DOUBLE, "
        "Joined DATE, Active BOOLEAN, Flag INTEGER, Category VARCHAR(10));"
        "INSERT INTO Clients VALUES ('A', 'Alpha', 5, '2024-01-15', 1, -1, 'X');"
        "INSERT INTO Clients VALUES ('B', NULL, NULL, NULL, 0, 5, 'Y');"
        "INSERT INTO Clients VALUES ('C', 'Gamma', 7.5, '2024-03-01', 1, 0, 'Z');"
        "CREATE TABLE Empty (Code VARCHAR(10) PRIMARY KEY, Name VARCHAR(40));"
        "CREATE TABLE FieldNames (TableName VARCHAR(40), FieldName VARCHAR(40), "
        "FriendlyName VARCHAR(40));"
        "INSERT INTO FieldNames VALUES ('Clients', 'Code', 'Client code');"
        "INSERT INTO FieldNames VALUES ('Clients', 'Name', NULL);"
        "INSERT INTO FieldNames VALUES ('O''Brien', 'Code', 'Quoted');");

    form = std::make_shared<Form>("frmClients");
    ctl = KivFormControl::Create();
    ctl->Name("ctlForm");
    form->Add(ctl);
    uniCode = addEditor("uniCode", "Code", tocText);
    uniAmount = addEditor("uniAmount", "Amount", tocNumber);
    uniJoined = addEditor("uniJoined", "Joined", tocDate);
    txtName = bound<TextBox>("txtName", "Name");
    cmbCategory = bound<ComboBox>("cmbCategory", "Category");
    for (const char* item : {"X", "Y", "Z"})
      cmbCategory->AddItem(item);
    chkActive = bound<CheckBox>("chkActive", "Active");
    chkFlag = bound<CheckBox>("chkFlag", "Flag");
    txtTagged = std::make_shared<TextBox>("txtTagged");
    txtTagged->Tag("LoCkEd");
    form->Add(txtTagged);
    form->Add(std::make_shared<Label>("lblNote"));

    ctl->Source_Connection(db);
    ctl->Source_Table("Clients");
    ctl->Source_Fields("*");
    ctl->SearchReturnFields("Code");
    ctl->FieldNameTranslatorTable("FieldNames");
    ctl->SecurityLevel(scEdit);
    watch();
  }

  void TearDown() override {
    HostTest::TearDown();
    ctl.reset();
    form.reset();
    db.reset();
    std::error_code ignored;
    std::filesystem::remove(dbPath, ignored);
  }

  template <class T>
  std::shared_ptr<T> bound(const std::string& name, const std::string& field) {
    auto control = std::make_shared<T>(name);
    control->DataField(field);
    form->Add(control);
    return control;
  }
  std::shared_ptr<KivUni> addEditor(const std::string& name, const std::string& field,
                                    std::int32_t type) {
    auto editor = KivUni::Create();
    editor->Name(name);
    editor->Type_Of_Control(type);
    editor->Data_Field(field);
    form->Add(editor);
    return editor;
  }

  // Logs the event; whether it is one the test asked to flip.
  bool noted(const std::string& name) {
    log.push_back(name);
    return flip.count(name) > 0;
  }
  void watch() {
    auto& e = ctl->events;
    e.BeforeMove.connect([this](bool& cancel) { cancel |= noted("BeforeMove"); });
    e.RecordWillChange.connect([this](bool& prompt) { prompt &= !noted("RecordWillChange"); });
    e.DataIsInvalid.connect([this](bool& ignore) { ignore |= noted("DataIsInvalid"); });
    e.Save.connect([this](bool& cancel, bool& validate) {
      cancel |= noted("Save");
      validate &= !flip.count("Validate");
    });
    e.AfterSave.connect([this] { noted("AfterSave"); });
    e.AfterMove.connect([this] { noted(ctl->AddNewMode() ? "AfterMove adding" : "AfterMove"); });
    e.Add.connect([this](bool& cancel) { cancel |= noted("Add"); });
    e.AfterAdd.connect([this] { noted("AfterAdd"); });
    e.UndoAdd.connect([this](bool&) { noted("UndoAdd"); });
    e.AfterUndoAdd.connect([this] { noted("AfterUndoAdd"); });
    e.Delete.connect([this](bool&) { noted("Delete"); });
    e.AfterDelete.connect([this] { noted("AfterDelete"); });
    e.Search.connect([this](bool& cancel) { cancel |= noted("Search"); });
    e.AfterSearch.connect([this] { noted("AfterSearch"); });
  }

  bool open() {
    std::string error;
    const bool ok = ctl->OpenRecordset(error);
    EXPECT_EQ(error, "");
    log.clear();
    boxes.clear();
    return ok;
  }

  // The enabled state of the bar as a string in bar order, add and undo add
  // as "a"/"u" when visible: e.g. "1111a111".
  std::string bar() const {
    std::string s;
    auto bit = [](const CommandButton& b) { return b.Enabled() ? '1' : '0'; };
    s += bit(ctl->cmdFirst());
    s += bit(ctl->cmdPrevious());
    s += bit(ctl->cmdNext());
    s += bit(ctl->cmdLast());
    const CommandButton& shown = ctl->cmdAdd().Visible() ? ctl->cmdAdd() : ctl->cmdUndoAdd();
    s += bit(shown);
    s += ctl->cmdAdd().Visible() ? 'a' : 'u';
    s += bit(ctl->cmdDelete());
    s += bit(ctl->cmdSave());
    s += bit(ctl->cmdSearch());
    return s;
  }

  std::string code() { return TextOf((*ctl->Form_Recordset())["Code"].Value()); }

  std::string dbValue(const std::string& sql) {
    Recordset rs;
    rs.Open(sql, db);
    return rs.EOF() ? "<none>" : TextOf(rs[0].Value());
  }

  std::deque<int> answers;
  Lines boxes, log;
  // Events the handlers answer against the controller's default: cancelled
  // (BeforeMove, Save, Add, Search), no save prompt (RecordWillChange),
  // invalid data ignored (DataIsInvalid), no validation on saving (Validate).
  std::set<std::string> flip;

  std::filesystem::path dbPath;
  std::shared_ptr<Connection> db;
  std::shared_ptr<Form> form;
  std::shared_ptr<KivFormControl> ctl;
  std::shared_ptr<KivUni> uniCode, uniAmount, uniJoined;
  std::shared_ptr<TextBox> txtName, txtTagged;
  std::shared_ptr<ComboBox> cmbCategory;
  std::shared_ptr<CheckBox> chkActive, chkFlag;
};

}  // namespace kiv::test
