#pragma once

// The record-source conformance suite runs once per database backend. A
// backend test binary instantiates it with its own Backend:
//
//   INSTANTIATE_TEST_SUITE_P(Postgres, Conformance,
//                            ::testing::Values(kivtest::Backend{"Postgres", ...}),
//                            kivtest::BackendName);
//
// The suite's tests (tests/data/Conformance*.cpp) all use the fixture
// `Conformance` and portable SQL only: INTEGER, VARCHAR(n), DOUBLE PRECISION,
// NUMERIC(10,2), BOOLEAN, DATE, TIMESTAMP, PRIMARY KEY, UNIQUE.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "kiv/data/Connection.h"
#include "kiv/data/Field.h"
#include "kiv/data/Fields.h"
#include "kiv/data/Recordset.h"
#include "kiv/runtime/Conversions.h"

namespace kivtest {

struct Backend {
  std::string name;
  // Returns the connection string of a fresh, empty database (or schema)
  // for one test. Every Connection opened on that string sees the same
  // data, so a test can play two users.
  std::function<std::string()> freshDatabase;
  // Optional: called after the test with the string freshDatabase gave.
  std::function<void(const std::string&)> dropDatabase;
  // The database folds unquoted identifiers to lower case (PostgreSQL), so a
  // column created as Name is named "name".
  bool foldsUnquotedNames = false;
};

inline void PrintTo(const Backend& b, std::ostream* os) {
  *os << b.name;
}

inline std::string BackendName(const ::testing::TestParamInfo<Backend>& info) {
  return info.param.name;
}

// The id and the text of a field of a record set's current row.
inline std::int32_t Id(kiv::Recordset& rs) {
  return kiv::CLng(rs["id"].Value());
}
inline std::string Text(kiv::Recordset& rs, const char* field) {
  return kiv::TextOf(rs[field].Value());
}

class Conformance : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    connectionString_ = GetParam().freshDatabase();
    conn_ = kiv::Connection::OpenNew(connectionString_);
  }
  void TearDown() override {
    for (auto& c : others_)
      if (c->State() == kiv::adStateOpen) c->Close();
    if (conn_ && conn_->State() == kiv::adStateOpen) conn_->Close();
    if (GetParam().dropDatabase) GetParam().dropDatabase(connectionString_);
  }

  // The test's first connection.
  kiv::Connection& conn() { return *conn_; }
  std::shared_ptr<kiv::Connection> connPtr() { return conn_; }
  // Another connection to the same database (a second user).
  std::shared_ptr<kiv::Connection> another() {
    others_.push_back(kiv::Connection::OpenNew(connectionString_));
    return others_.back();
  }
  void exec(const std::string& sql) { conn_->Execute(sql); }

  // A record set opened on the first connection (or the given one).
  std::shared_ptr<kiv::Recordset> open(const std::string& sql,
                                       std::int32_t lockType = kiv::adLockOptimistic,
                                       std::shared_ptr<kiv::Connection> on = nullptr) {
    auto rs = std::make_shared<kiv::Recordset>();
    rs->CursorLocation(kiv::adUseClient);
    rs->Open(sql, on ? on : conn_, kiv::adOpenKeyset, lockType, kiv::adCmdUnspecified);
    return rs;
  }

  // A read-only record set on a connection of its own: what another user sees.
  std::shared_ptr<kiv::Recordset> peek(const std::string& sql) {
    return open(sql, kiv::adLockReadOnly, another());
  }

  // People (id, Name) with the first `rows` of Ann, Bob, Cy, Dee, Eve as ids 1, 2, ...
  void people(int rows) {
    exec("CREATE TABLE People (id INTEGER PRIMARY KEY, Name VARCHAR(30))");
    const char* names[] = {"Ann", "Bob", "Cy", "Dee", "Eve"};
    std::string values;
    for (int i = 0; i < rows; ++i)
      values += (i ? ", (" : "(") + std::to_string(i + 1) + ", '" + names[i] + "')";
    if (rows > 0) exec("INSERT INTO People (id, Name) VALUES " + values);
  }

  const std::string& connectionString() const { return connectionString_; }

 private:
  std::string connectionString_;
  std::shared_ptr<kiv::Connection> conn_;
  std::vector<std::shared_ptr<kiv::Connection>> others_;
};

}  // namespace kivtest
