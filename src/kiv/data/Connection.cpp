#include "kiv/data/Connection.h"

#include <cmath>

#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"

namespace kiv {

namespace {

std::int32_t LockTimeoutMilliseconds(double seconds) {
  return static_cast<std::int32_t>(std::llround(seconds * 1000));
}

}  // namespace

Connection::~Connection() {
  if (driver_) IgnoreErrors([&] { driver_->close(); });
}

std::shared_ptr<Connection> Connection::OpenNew(std::string_view connectionString) {
  auto c = std::make_shared<Connection>();
  c->Open(connectionString);
  return c;
}

void Connection::Open(std::string_view connectionString) {
  if (driver_) throw Error(err::ObjectOpen, "Connection");
  std::string text = connectionString.empty() ? connectionString_ : std::string(connectionString);
  if (text.empty())
    throw Error(err::ProviderError, "Connection", "No connection string was given.");
  auto driver = OpenDriver(text);
  driver->setLockTimeout(LockTimeoutMilliseconds(lockTimeout_));
  driver_ = std::move(driver);
  connectionString_ = std::move(text);
}

void Connection::LockTimeout(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0 || seconds > 86400)
    throw Error(err::BadArguments, "Connection",
                "LockTimeout must be a number of seconds from 0 to 86400.");
  if (driver_ && driver_->isOpen()) driver_->setLockTimeout(LockTimeoutMilliseconds(seconds));
  lockTimeout_ = seconds;
}

void Connection::Close() {
  if (!driver_) throw Error(err::ObjectClosed, "Connection");
  auto driver = std::move(driver_);
  driver->close();
}

std::int32_t Connection::State() const {
  return driver_ && driver_->isOpen() ? adStateOpen : adStateClosed;
}

void Connection::ConnectionString(std::string value) {
  if (driver_) throw Error(err::ObjectOpen, "Connection");
  connectionString_ = std::move(value);
}

std::int64_t Connection::Execute(std::string_view sql, const std::vector<Param>& params) {
  return driver().execute(sql, params);
}

Driver& Connection::driver() {
  if (!driver_ || !driver_->isOpen()) throw Error(err::ConnectionUnusable, "Connection");
  return *driver_;
}

const MemberTable& Connection::memberTable() const {
  using B = MemberTable::Builder<Connection>;
  static const MemberTable table =
      B().get("State", [](Connection& c) { return Variant(c.State()); })
          .property(
              "ConnectionString", [](Connection& c) { return Variant(c.ConnectionString()); },
              [](Connection& c, const Variant& v) { c.ConnectionString(CStr(v)); })
          .property(
              "LockTimeout", [](Connection& c) { return Variant(c.LockTimeout()); },
              [](Connection& c, const Variant& v) { c.LockTimeout(CDbl(v)); })
          .method("Open",
                  [](Connection& c, B::Args& a) {
                    c.Open(HasArg(a, 0) ? CStr(Arg(a, 0)) : std::string());
                    return Variant();
                  })
          .method("Close",
                  [](Connection& c, B::Args&) {
                    c.Close();
                    return Variant();
                  })
          .method("Execute",
                  [](Connection& c, B::Args& a) {
                    const auto n = c.Execute(CStr(Arg(a, 0)));
                    // RecordsAffected is the optional second argument, written back.
                    if (a.size() > 1) a[1] = Variant(static_cast<double>(n));
                    return Variant();
                  })
          .build();
  return table;
}

}  // namespace kiv
