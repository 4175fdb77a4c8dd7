#include "kiv/data/Driver.h"

#include <cctype>
#include <mutex>
#include <string>
#include <vector>

#include "kiv/data/RowStore.h"
#include "kiv/data/sqlite/SqliteDriver.h"
#include "kiv/runtime/Error.h"

#if __has_include("kiv/data/postgres/PostgresDriver.h")
#include "kiv/data/postgres/PostgresDriver.h"
#define KIV_HAVE_POSTGRES_DRIVER 1
#endif

namespace kiv {
namespace {

struct Registration {
  std::string name;
  DriverAccepts accepts;
  DriverFactory factory;
};

std::mutex& RegistryMutex() {
  static std::mutex m;
  return m;
}

// The registry, with the built-in drivers registered on first use.
std::vector<Registration>& Registry() {
  static std::vector<Registration> registry = [] {
    std::vector<Registration> r;
    r.push_back({"SQLite", &sqlite::AcceptsConnectionString, &sqlite::Open});
#ifdef KIV_HAVE_POSTGRES_DRIVER
    r.push_back({"PostgreSQL", &postgres::AcceptsConnectionString, &postgres::Open});
#endif
    return r;
  }();
  return registry;
}

}  // namespace

std::string Driver::quoteIdentifier(std::string_view name) const {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

std::string Driver::equalsExpression(const std::string& quotedColumn, const ColumnInfo&,
                                     const std::string& placeholder) const {
  return quotedColumn + " = " + placeholder;
}

std::shared_ptr<RowStore> Driver::openRows(std::string_view sql, const std::vector<Param>& params,
                                           const QueryOptions& options) {
  return RowStore::FromResult(query(sql, params, options));
}

void Driver::describeColumns(std::vector<ColumnInfo>&) {}

void RegisterDriver(std::string name, DriverAccepts accepts, DriverFactory factory) {
  std::lock_guard lock(RegistryMutex());
  Registry().push_back({std::move(name), accepts, factory});
}

std::unique_ptr<Driver> OpenDriver(std::string_view connectionString) {
  DriverFactory factory = nullptr;
  {
    std::lock_guard lock(RegistryMutex());
    for (const auto& r : Registry())
      if (r.accepts(connectionString)) {
        factory = r.factory;
        break;
      }
  }
  if (!factory)
    throw Error(err::ProviderError, "Connection",
                "Provider cannot be found for the connection string \"" +
                    std::string(connectionString) +
                    "\". Use sqlite:PATH, sqlite::memory: or postgresql://...");
  return factory(connectionString);
}

void RaiseDuplicateKey(std::string_view databaseMessage) {
  throw Error(err::ProviderError, "Recordset",
              "Cannot insert duplicate key: " + std::string(databaseMessage));
}

void RaiseConnectionLost(std::string_view databaseMessage) {
  throw Error(err::ConnectionUnusable, "Connection",
              "The connection to the database was lost: " + std::string(databaseMessage));
}

void RaiseProviderError(std::string_view databaseMessage) {
  throw Error(err::ProviderError, "Recordset", std::string(databaseMessage));
}

void RaiseLocked(std::string_view databaseMessage) {
  throw Error(
      err::ProviderError, "Recordset",
      std::string(kLockedText) + "; try again in a moment (" + std::string(databaseMessage) + ").");
}

void RaiseForeignKeyViolation(std::string_view databaseMessage, std::string_view sql) {
  std::size_t p = 0;
  while (p < sql.size() && std::isspace(static_cast<unsigned char>(sql[p])))
    ++p;
  std::string word;
  for (; p < sql.size() && std::isalpha(static_cast<unsigned char>(sql[p])); ++p)
    word.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(sql[p]))));
  const std::string what =
      word == "DELETE" ? std::string(kReferencedText)
                       : "The record refers to a record that does not exist, or other records "
                         "refer to the value changed";
  throw Error(err::ProviderError, "Recordset", what + " (" + std::string(databaseMessage) + ").");
}

void RaiseSecondStatement(std::string_view tail) {
  std::string shown(tail.substr(0, 60));
  if (tail.size() > 60) shown += "...";
  throw Error(err::ProviderError, "Recordset",
              "Only one statement can be run at a time: the text goes on after the end of its "
              "first statement (\"" +
                  shown + "\").");
}

}  // namespace kiv
