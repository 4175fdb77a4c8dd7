#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "kiv/data/Driver.h"
#include "kiv/runtime/Dispatch.h"

namespace kiv {

// A database connection, opened by the application (never by the controls)
// from a connection string:
//   "sqlite:PATH"                    a SQLite file, created when missing
//   "sqlite::memory:"                a private in-memory SQLite database
//   "postgresql://user:pw@host:port/db", or a libpq keyword string
//                                    ("host=... dbname=..."), when the
//                                    PostgreSQL driver is built in
// An unknown scheme raises an error naming the string.
//
// Locks: a statement that needs a row or table another session holds
// locked (a second user saving the same record, a long write transaction)
// waits at most LockTimeout seconds, 5 by default, then fails with an error
// whose description begins "The record is locked by another user"; nothing
// is written and a record set keeps its pending edit. Set LockTimeout before
// or after opening; 0 fails at once.
//
// A PostgreSQL connection the server ended (a restart, an administrator's
// termination) is opened again by the next statement; see PostgresDriver.h.
//
// Late-bound members: State, ConnectionString, LockTimeout, Open, Close,
// Execute.
class Connection : public Dispatch {
 public:
  Connection() = default;
  ~Connection() override;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // A new open connection.
  static std::shared_ptr<Connection> OpenNew(std::string_view connectionString);

  // Opens the connection (3705 when it is already open). With the empty
  // text, opens ConnectionString.
  void Open(std::string_view connectionString = {});
  // Closes the connection; closing a closed connection raises 3704.
  // Record sets opened on it keep their rows but can no longer write.
  void Close();

  // adStateOpen (1) or adStateClosed (0).
  std::int32_t State() const;

  const std::string& ConnectionString() const { return connectionString_; }
  // Writable only while closed (3705 when open).
  void ConnectionString(std::string value);

  // Seconds a statement waits for another session's lock (see above).
  static constexpr double kDefaultLockTimeout = 5;
  double LockTimeout() const { return lockTimeout_; }
  // A negative or non-finite value raises 3001.
  void LockTimeout(double seconds);

  // Runs a statement (or, without parameters, several separated by ";")
  // that returns no rows; returns the number of rows affected. 3709 when
  // the connection is closed.
  std::int64_t Execute(std::string_view sql, const std::vector<Param>& params = {});

  // The driver of the open connection; 3709 when the connection is closed.
  Driver& driver();

  std::string_view TypeName() const override { return "Connection"; }
  const MemberTable& memberTable() const override;

 private:
  std::string connectionString_;
  double lockTimeout_ = kDefaultLockTimeout;
  std::unique_ptr<Driver> driver_;
};

}  // namespace kiv
