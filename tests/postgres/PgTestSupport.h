#pragma once

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <memory>
#include <string>

// Access to the throwaway PostgreSQL server the test run started (see
// scripts/pg-test-server.sh): its URI comes from KIV_PG_URI, else from the
// file named by KIV_PG_URI_FILE (CTest sets it), else from the build tree's
// default file. Without any, the tests fail with a message saying so.
namespace kivtest::pg {

// The server's base URI (postgresql://kivtest@127.0.0.1:PORT/kivtest).
const std::string& ServerUri();

// A fresh, empty schema for one test, and a connection string (the URI with
// search_path set to that schema) that every connection of the test shares.
std::string FreshSchema();
// Drops the schema a FreshSchema string names, with everything in it.
void DropSchema(const std::string& connectionString);

// A FreshSchema for the life of the object, dropped however the test ends.
struct Schema {
  std::string uri = FreshSchema();
  Schema() = default;
  Schema(const Schema&) = delete;
  Schema& operator=(const Schema&) = delete;
  ~Schema() {
    try {
      DropSchema(uri);
    } catch (const std::exception& e) {
      ADD_FAILURE() << e.what();
    }
  }
};

// A plain libpq connection to the server, for checks made beside the driver
// (catalog queries, terminating another backend). Raises on failure.
struct ConnDeleter {
  void operator()(PGconn* c) const { PQfinish(c); }
};
using RawConn = std::unique_ptr<PGconn, ConnDeleter>;
RawConn Connect(const std::string& connectionString);

// A server of the test's own, for tests that take a server down and bring
// it back (which the shared server, used by tests running in parallel,
// must never do). Started in the constructor, stopped and removed in the
// destructor.
class PrivateServer {
 public:
  PrivateServer();
  ~PrivateServer();
  PrivateServer(const PrivateServer&) = delete;
  PrivateServer& operator=(const PrivateServer&) = delete;

  const std::string& uri() const { return uri_; }
  void down();  // a fast shutdown, as for a restart: every session ends
  void up();    // back on the same port, with the same data

 private:
  void script(const std::string& command);
  std::string state_;
  std::string uri_;
};

// Runs a statement; returns the first value of the first row ("" when none).
// Raises std::runtime_error with the server's message on failure.
std::string Scalar(PGconn* conn, const std::string& sql);

}  // namespace kivtest::pg
