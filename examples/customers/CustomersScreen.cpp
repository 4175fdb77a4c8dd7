#include "CustomersScreen.h"

#include "kiv/data/Field.h"
#include "kiv/data/Recordset.h"
#include "kiv/host/DataFormat.h"
#include "kiv/host/Host.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"

void CustomersScreen::CreateSampleData(const std::shared_ptr<kiv::Connection>& db) {
  try {
    kiv::Recordset probe;
    probe.Open("SELECT COUNT(*) FROM Customers", db);
    return;  // the table is there: keep what the user stored
  } catch (const kiv::Error&) {
  }
  // Plain SQL that SQLite and PostgreSQL both read.
  db->Execute(
      "CREATE TABLE Customers (Code VARCHAR(10) NOT NULL PRIMARY KEY,"
      " Name VARCHAR(60) NOT NULL, CreditLimit NUMERIC(12, 2), Since DATE,"
      " Active BOOLEAN NOT NULL DEFAULT TRUE);"
      "INSERT INTO Customers VALUES ('C1', 'Smith & Sons', 5000, '2019-03-14', TRUE);"
      "INSERT INTO Customers VALUES ('C2', 'Jones Ltd', 2500.5, '2020-11-02', TRUE);"
      "INSERT INTO Customers VALUES ('C3', 'O''Brien Hardware', 1200, '2021-06-30', TRUE);"
      "INSERT INTO Customers VALUES ('C4', 'Nguyen Imports', NULL, NULL, FALSE);"
      "INSERT INTO Customers VALUES ('C5', 'Zeta Trading', 750.25, '2023-01-09', TRUE);"
      "CREATE TABLE FieldNames (TableName VARCHAR(40) NOT NULL, FieldName VARCHAR(40) NOT NULL,"
      " FriendlyName VARCHAR(60), PRIMARY KEY (TableName, FieldName));"
      "INSERT INTO FieldNames VALUES ('Customers', 'Code', 'Customer code');"
      "INSERT INTO FieldNames VALUES ('Customers', 'Name', 'Customer name');"
      "INSERT INTO FieldNames VALUES ('Customers', 'CreditLimit', 'Credit limit');"
      "INSERT INTO FieldNames VALUES ('Customers', 'Since', 'Customer since');");
}

CustomersScreen::CustomersScreen(std::shared_ptr<kiv::Connection> db)
    : db_(std::move(db)), form_(std::make_shared<kiv::Form>("frmCustomers")) {
  form_->Caption("Customers");
  form_->Width(7200);
  form_->Height(3960);

  // The controller reads the form's controls in the order they were added.
  controller_ = kiv::KivFormControl::Create();
  controller_->Name("ctlForm");
  controller_->Move(120, 120, 3356, 365);
  form_->Add(controller_);

  // The search launcher is never seen: it lends the controller its dialog.
  search_ = kiv::KivSearch::Create();
  search_->Name("ctlSearch");
  search_->Move(6480, 120, kiv::KivSearch::kWidth, kiv::KivSearch::kHeight);
  search_->Visible(false);
  form_->Add(search_);

  code_ = addEditor("uniCode", "Code", "Customer code", 720, 1500);
  code_->Required_Field(true);
  code_->Primary_Key_Field(true);
  code_->MaxLength(10);
  name_ = addEditor("uniName", "Name", "Name", 1080, 4000);
  name_->Required_Field(true);
  name_->MaxLength(60);
  creditLimit_ = addEditor("uniCreditLimit", "CreditLimit", "Credit limit", 1440, 1500);
  creditLimit_->Type_Of_Control(kiv::tocNumber);
  creditLimit_->extender().DataFormat(std::make_shared<kiv::DataFormat>("0.00"));
  since_ = addEditor("uniSince", "Since", "Customer since", 1800, 1500);
  since_->Type_Of_Control(kiv::tocDate);

  active_ = std::make_shared<kiv::CheckBox>("chkActive");
  active_->Caption("Active");
  active_->DataField("Active");
  active_->Move(2040, 2160, 1500, 285);
  active_->TabIndex(5);
  form_->Add(active_);

  status_ = std::make_shared<kiv::Label>("lblStatus");
  status_->Move(120, 2880, 6000, 285);
  form_->Add(status_);

  controller_->Source_Connection(db_);
  controller_->Source_Table("Customers");
  controller_->Source_Fields("*");
  controller_->SearchReturnFields("Code");
  controller_->FieldNameTranslatorTable("FieldNames");
  controller_->SearchControl(search_);
  controller_->SecurityLevel(kiv::scEdit);
  handleEvents();
}

std::shared_ptr<kiv::KivUni> CustomersScreen::addEditor(const std::string& name,
                                                        const std::string& field,
                                                        const std::string& caption, double top,
                                                        double width) {
  auto label = std::make_shared<kiv::Label>("lbl" + field);
  label->Caption(caption);
  label->Move(120, top, 1800, 285);
  form_->Add(label);

  auto editor = kiv::KivUni::Create();
  editor->Name(name);
  editor->Data_Field(field);
  editor->Move(2040, top, width, 285);
  editor->TabIndex(static_cast<std::int16_t>(form_->Controls().size()));
  form_->Add(editor);
  return editor;
}

void CustomersScreen::handleEvents() {
  auto& events = controller_->events;
  events.AfterMove.connect([this] {
    const kiv::Recordset& rs = *controller_->Form_Recordset();
    if (controller_->AddNewMode())
      status_->Caption("New customer");
    else
      status_->Caption("Customer " + code_->Text() + " (" + std::to_string(rs.AbsolutePosition()) +
                       " of " + std::to_string(rs.RecordCount()) + ")");
  });
  events.Save.connect(
      [this](bool& /*cancel*/, bool& /*validate*/) { code_->Text(kiv::UCase(code_->Text())); });
  events.AfterSave.connect([this] { status_->Caption("Saved customer " + code_->Text()); });
  events.Delete.connect([this](bool& cancel) {
    if (active_->Value() == 0) return;
    kiv::Host::Current().MsgBox("Clear Active before deleting a customer.", kiv::vb::vbExclamation,
                                "Delete");
    cancel = true;
  });
}

bool CustomersScreen::Open(std::string& error) {
  form_->Show();  // loads the form: the controls lay themselves out
  return controller_->OpenRecordset(error);
}
