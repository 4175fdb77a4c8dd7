#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "kivform/Runner.h"
#include "support/SampleDatabase.h"

namespace kivform::test {

using kiv::test::ReadText;

inline void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

// A screen of customers and a grid of their orders, re-opened by the given
// event actions.
inline std::string DetailForm(const std::string& events) {
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

// A scratch folder holding the sample forms and a fresh orders database.
class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir = std::filesystem::temp_directory_path() /
          ("kivform-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
           std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    for (const char* form : {"customers.json", "orders.json"})
      std::filesystem::copy_file(samples() / form, dir / form);
    freshDatabase();
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  static std::filesystem::path samples() { return KIV_SAMPLES_DIR; }

  void freshDatabase() { kiv::test::MakeSampleDatabase(dir / "orders.db"); }
  // The first value of a query on the scratch database, as text.
  std::string scalar(const std::string& sql) { return kiv::test::Scalar(dir / "orders.db", sql); }

  // Runs kivform; out and err receive what it printed.
  int run(std::vector<std::string> args) {
    std::ostringstream o, e;
    const int status = kivform::Run(args, o, e);
    out = o.str();
    err = e.str();
    return status;
  }

  std::string file(const std::string& name, const std::string& text) {
    WriteText(dir / name, text);
    return (dir / name).string();
  }

  std::filesystem::path dir;
  std::string out, err;
};

}  // namespace kivform::test
