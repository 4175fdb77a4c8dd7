// Two clerks on one PostgreSQL database, each with a connection and a
// record set of their own.
#include <gtest/gtest.h>

#include <string>

#include "kiv/data/Connection.h"
#include "kiv/data/Field.h"
#include "kiv/data/Recordset.h"
#include "kiv/runtime/Error.h"
#include "postgres/PgTestSupport.h"

namespace kivtest::pg {
namespace {

using kiv::Variant;

constexpr const char* kRowChanged =
    "Row cannot be located for updating. Some values may have been changed since it was last "
    "read.";

class PgManyUsers : public ::testing::Test {
 protected:
  void SetUp() override {
    uri_ = FreshSchema();
    clerk1_ = kiv::Connection::OpenNew(uri_);
    clerk2_ = kiv::Connection::OpenNew(uri_);
    clerk1_->Execute(
        "CREATE TABLE customers (code varchar(10) PRIMARY KEY, name varchar(40),"
        " balance numeric(10,2), since date);"
        "INSERT INTO customers VALUES ('A', 'Alice', 10.50, '2020-01-02'),"
        " ('B', 'Bob', 0, NULL), ('C', 'Carol', 7, '2021-05-06')");
    check_ = Connect(uri_);
  }
  void TearDown() override {
    for (auto* c : {&clerk1_, &clerk2_})
      if ((*c)->State() == kiv::adStateOpen) (*c)->Close();
    check_.reset();
    DropSchema(uri_);
  }

  std::shared_ptr<kiv::Recordset> open(const std::shared_ptr<kiv::Connection>& on,
                                       const std::string& where = "") {
    auto rs = std::make_shared<kiv::Recordset>();
    rs->CursorLocation(kiv::adUseClient);
    rs->Open("SELECT code, name, balance, since FROM customers" + where + " ORDER BY code", on,
             kiv::adOpenKeyset, kiv::adLockOptimistic, kiv::adCmdUnspecified);
    return rs;
  }
  // What the server holds, read beside the driver.
  std::string stored(const std::string& sql) { return Scalar(check_.get(), sql); }

  template <class F>
  kiv::Error ErrorOf(F&& call) {
    try {
      call();
    } catch (const kiv::Error& e) {
      return e;
    }
    ADD_FAILURE() << "no error raised";
    return kiv::Error(0, "", "");
  }

  std::string uri_;
  std::shared_ptr<kiv::Connection> clerk1_, clerk2_;
  RawConn check_;
};

TEST_F(PgManyUsers, TheSecondSaveOfTheSameRecordIsRefusedUntilReopened) {
  auto rs1 = open(clerk1_, " WHERE code = 'A'");
  auto rs2 = open(clerk2_, " WHERE code = 'A'");
  (*rs1)["name"].Value(Variant("Alice One"));
  rs1->Update();
  EXPECT_EQ(stored("SELECT name FROM customers WHERE code = 'A'"), "Alice One");

  (*rs2)["name"].Value(Variant("Alice Two"));
  kiv::Error e = ErrorOf([&] { rs2->Update(); });
  EXPECT_EQ(e.description(), kRowChanged);
  // The server keeps the first clerk's data; the second keeps the pending edit.
  EXPECT_EQ(stored("SELECT name FROM customers WHERE code = 'A'"), "Alice One");
  EXPECT_EQ(rs2->EditMode(), kiv::adEditInProgress);
  EXPECT_EQ((*rs2)["name"].Value(), Variant("Alice Two"));

  // Re-opened, the second clerk sees the first one's name and can save.
  rs2->CancelUpdate();
  rs2->Close();
  rs2 = open(clerk2_, " WHERE code = 'A'");
  EXPECT_EQ((*rs2)["name"].Value(), Variant("Alice One"));
  (*rs2)["name"].Value(Variant("Alice Two"));
  rs2->Update();
  EXPECT_EQ(stored("SELECT name FROM customers WHERE code = 'A'"), "Alice Two");

  // Changes to different columns of one row do not collide: both are kept.
  auto rs3 = open(clerk1_, " WHERE code = 'C'");
  auto rs4 = open(clerk2_, " WHERE code = 'C'");
  (*rs3)["balance"].Value(Variant(8.25));
  rs3->Update();
  (*rs4)["since"].Value(Variant(kiv::DateTime{45351}));
  rs4->Update();
  EXPECT_EQ(stored("SELECT balance || ' ' || since FROM customers WHERE code = 'C'"),
            "8.25 2024-02-29");
}

TEST_F(PgManyUsers, ADuplicateKeyFromTheSecondClerkWritesNothing) {
  auto rs2 = open(clerk2_);
  rs2->AddNew();
  (*rs2)["code"].Value(Variant("B"));
  (*rs2)["name"].Value(Variant("Another Bob"));
  kiv::Error e = ErrorOf([&] { rs2->Update(); });
  EXPECT_EQ(e.description().rfind("Cannot insert duplicate key", 0), 0u) << e.description();
  EXPECT_NE(e.description().find("customers_pkey"), std::string::npos) << e.description();
  EXPECT_EQ(stored("SELECT count(*) || ' ' || min(name) FROM customers WHERE code = 'B'"), "1 Bob");
  EXPECT_EQ(stored("SELECT count(*) FROM customers"), "3");
  // The new row is still pending; with another code it saves.
  EXPECT_EQ(rs2->EditMode(), kiv::adEditAdd);
  (*rs2)["code"].Value(Variant("D"));
  rs2->Update();
  EXPECT_EQ(stored("SELECT name FROM customers WHERE code = 'D'"), "Another Bob");
}

}  // namespace
}  // namespace kivtest::pg
