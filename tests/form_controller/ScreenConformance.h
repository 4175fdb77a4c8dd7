#pragma once

// A maintenance screen (a form controller and its bound controls, in the
// headless host) over each database backend: the tests in
// ScreenConformance*.cpp run once on SQLite (kiv_controls_tests) and once on
// PostgreSQL (kiv_postgres_tests), each on a fresh database, with the
// backend the binary's ScreenBackend() gives.

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "data/Backend.h"
#include "kiv/data/Connection.h"
#include "kiv/data/Field.h"
#include "kiv/data/Recordset.h"
#include "kiv/field_editor/KivUni.h"
#include "kiv/form_controller/KivFormControl.h"
#include "kiv/host/CheckBox.h"
#include "kiv/host/DataFormat.h"
#include "kiv/host/Form.h"
#include "kiv/host/HeadlessHost.h"
#include "kiv/host/TextBox.h"
#include "kiv/runtime/Conversions.h"

namespace kivtest {

// The backend of the test binary (SQLite in kiv_controls_tests, PostgreSQL
// in kiv_postgres_tests).
Backend ScreenBackend();

class ScreenConformance : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    kiv::Host::SetCurrent(&host);
    host.setAnswerCallback([this](std::string_view prompt, int buttons, std::string_view) {
      boxes.emplace_back(prompt);
      if (answers.empty()) return kiv::HeadlessHost::DefaultAnswer(buttons);
      const int answer = answers.front();
      answers.pop_front();
      return answer;
    });
    connectionString_ = GetParam().freshDatabase();
    db = kiv::Connection::OpenNew(connectionString_);
    form = std::make_shared<kiv::Form>("frmScreen");
    ctl = kiv::KivFormControl::Create();
    ctl->Name("ctlForm");
    form->Add(ctl);
  }

  void TearDown() override {
    kiv::Host::SetCurrent(nullptr);
    ctl.reset();
    form.reset();
    for (auto& c : others_)
      if (c->State() == kiv::adStateOpen) c->Close();
    if (db->State() == kiv::adStateOpen) db->Close();
    if (GetParam().dropDatabase) GetParam().dropDatabase(connectionString_);
  }

  bool postgres() const { return GetParam().name == "Postgres"; }
  void exec(const std::string& sql) { db->Execute(sql); }
  // Another connection to the same database: a second user.
  std::shared_ptr<kiv::Connection> another() {
    others_.push_back(kiv::Connection::OpenNew(connectionString_));
    return others_.back();
  }

  std::shared_ptr<kiv::KivUni> editor(const std::string& field, std::int32_t type,
                                      const std::string& format = "") {
    auto uni = kiv::KivUni::Create();
    uni->Name("uni_" + field);
    uni->Type_Of_Control(type);
    uni->Data_Field(field);
    if (!format.empty()) uni->extender().DataFormat(std::make_shared<kiv::DataFormat>(format));
    form->Add(uni);
    return uni;
  }
  std::shared_ptr<kiv::TextBox> textBox(const std::string& field) {
    auto box = std::make_shared<kiv::TextBox>("txt_" + field);
    box->DataField(field);
    form->Add(box);
    return box;
  }
  std::shared_ptr<kiv::CheckBox> checkBox(const std::string& field) {
    auto box = std::make_shared<kiv::CheckBox>("chk_" + field);
    box->DataField(field);
    form->Add(box);
    return box;
  }

  // Opens the screen on a table, ordered by `orderField`, for a user who
  // may edit; no message box may have been shown.
  void open(const std::string& table, const std::string& orderField) {
    ctl->Source_Connection(db);
    ctl->Source_Table(table);
    ctl->Source_Fields("*");
    ctl->SearchReturnFields(orderField);
    ctl->SecurityLevel(kiv::scEdit);
    std::string error;
    ASSERT_TRUE(ctl->OpenRecordset(error)) << error;
    ASSERT_TRUE(boxes.empty()) << boxes.front();
  }
  kiv::Recordset& rs() { return *ctl->Form_Recordset(); }
  std::string field(const std::string& name) { return kiv::TextOf(rs()[name].Value()); }

  // The first value of a query run by another connection, as text.
  std::string stored(const std::string& sql) {
    if (!check_) check_ = another();
    kiv::Recordset r;
    r.Open(sql, check_);
    return r.EOF() ? "<none>" : kiv::TextOf(r[0].Value());
  }
  // A column's value exactly as the database holds it: its storage type and
  // every digit.
  std::string exact(const std::string& table, const std::string& column, const std::string& where) {
    const std::string expr =
        postgres()
            ? "COALESCE(pg_typeof(" + column + ")::text || ':' || " + column + "::text, 'null')"
            : "CASE typeof(" + column + ") WHEN 'null' THEN 'null' WHEN 'real' THEN 'real:' || " +
                  "printf('%!.17g', " + column + ") ELSE typeof(" + column + ") || ':' || CAST(" +
                  column + " AS TEXT) END";
    return stored("SELECT " + expr + " FROM " + table + " WHERE " + where);
  }

  kiv::HeadlessHost host;
  std::deque<int> answers;
  std::vector<std::string> boxes;
  std::shared_ptr<kiv::Connection> db;
  std::shared_ptr<kiv::Form> form;
  std::shared_ptr<kiv::KivFormControl> ctl;

 private:
  std::string connectionString_;
  std::vector<std::shared_ptr<kiv::Connection>> others_;
  std::shared_ptr<kiv::Connection> check_;
};

}  // namespace kivtest
