#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kiv/data/AdoTypes.h"
#include "kiv/runtime/Variant.h"

namespace kiv {

class RowStore;

// What a driver knows about one column of a result.
struct ColumnInfo {
  std::string name;               // the result's column name (alias when given)
  std::int32_t type = adVariant;  // standard data type code (AdoTypes.h)
  std::int32_t definedSize = 0;   // declared length of a text column, 0 when unknown
  std::uint8_t precision = 0;     // declared precision of a numeric column
  std::uint8_t numericScale = 0;  // declared scale of a numeric column
  std::string baseTable;          // table the column comes from; "" for an expression
  std::string baseColumn;         // the column's name in baseTable
  // A row locator the driver added to the select list on its own (SQLite's
  // rowid for a table without a declared key). The record set keeps it with
  // the row to locate the row for writing, but does not show it in Fields.
  bool hidden = false;
  // The driver's own numbers of the base table and column, when it returned
  // the column before naming them (see Driver::describeColumns); 0 otherwise.
  std::uint32_t tableId = 0;
  std::int32_t columnId = 0;
};

// The whole result of a query: column metadata and the rows, row-major
// (values[row * columns.size() + column]), each already converted by the
// driver to the Variant subtype its column type calls for.
//
// A driver that cannot know the row count in advance may deliver the rows
// in blocks instead (no reallocation of one huge array while reading):
// blocks[i] holds kBlockRows rows (the last block fewer), and values is
// then empty. Readers use rowCount() and at().
struct ResultSet {
  static constexpr std::size_t kBlockRows = 4096;

  std::vector<ColumnInfo> columns;
  std::vector<Variant> values;
  std::vector<std::vector<Variant>> blocks;

  std::size_t rowCount() const {
    if (columns.empty()) return 0;
    std::size_t n = values.size();
    for (const auto& b : blocks)
      n += b.size();
    return n / columns.size();
  }
  const Variant& at(std::size_t row, std::size_t column) const {
    if (blocks.empty()) return values[row * columns.size() + column];
    return blocks[row / kBlockRows][(row % kBlockRows) * columns.size() + column];
  }
};

// A value bound to a statement parameter, with the type of the column it is
// written to or compared with (adVariant when unknown). Drivers use the type
// to choose the stored form (a DateTime for a DATE column is stored as
// "yyyy-mm-dd", for a TIMESTAMP column as "yyyy-mm-dd hh:nn:ss").
struct Param {
  Variant value;
  std::int32_t type = adVariant;
};

// Whether values of a numeric column are Currency (exact, four decimals)
// rather than Double: adCurrency always; adNumeric/adDecimal when the
// declared scale is at most 4 and precision minus scale at most 14
// (NUMERIC(10,2) amounts). Every driver follows this, so a record set's
// values have one subtype per column.
inline bool NumericAsCurrency(const ColumnInfo& c) {
  return c.type == adCurrency || ((c.type == adNumeric || c.type == adDecimal) && c.precision > 0 &&
                                  c.numericScale <= 4 && c.precision - c.numericScale <= 14);
}

// One column of a table as the database declares it (Driver::describeTable).
struct TableColumn {
  // The name, type, text length, precision and scale as a query of the
  // table reports them (what a record set over the table shows).
  ColumnInfo info;
  std::string declaredType;  // as declared: "VARCHAR(10)", "character varying(10)", "" for none
  bool notNull = false;
  int keyPosition = 0;  // 1-based place in the primary key; 0 outside it
  // The column name reads as itself in SQL text without quotes (a plain
  // identifier that the database does not fold to another spelling).
  bool plainName = true;
};

// A table (or view) as the database declares it.
struct TableSchema {
  bool exists = false;
  // How SQL text names the table: the name as given when it reads as the
  // table unquoted, else the database's own spelling quoted (and qualified
  // by its schema when that is not on the search path).
  std::string reference;
  std::vector<TableColumn> columns;  // in declared order
};

// Options of Driver::query.
struct QueryOptions {
  // The caller may write rows back: a driver whose tables may lack a
  // declared key adds a hidden row locator column when the result comes
  // from exactly one such table (see ColumnInfo::hidden).
  bool wantRowLocator = false;
};

// The backend interface beneath Connection: one object per open database
// connection. The record set never sees SQL dialect details beyond these
// hooks. Every failure is a kiv::Error:
//   - a unique or primary-key violation: RaiseDuplicateKey (number
//     err::ProviderError, description "Cannot insert duplicate key" + ": " +
//     the database's message);
//   - a lost connection: RaiseConnectionLost (number 3709, description naming
//     the database's message);
//   - a row or table another session holds locked past the lock timeout:
//     RaiseLocked (err::ProviderError, "The record is locked by another user
//     ...");
//   - a foreign key refusing a change: RaiseForeignKeyViolation;
//   - a text holding a second statement after the first one's end:
//     RaiseSecondStatement;
//   - anything else: RaiseProviderError (number err::ProviderError, the
//     database's own message).
// Statements the controls build use "SELECT TOP n"; query() and execute()
// rewrite it (RewriteTop in SqlText.h) before preparing.
//
// One statement means one statement: query() and execute() with parameters
// refuse a text that holds anything but blanks or comments after the end of
// its first statement, so a table, field list or filter holding
// "; DELETE FROM ..." is never half-run. Only execute() without parameters
// runs several statements (scripts the application writes itself).
class Driver {
 public:
  virtual ~Driver() = default;

  // "SQLite", "PostgreSQL".
  virtual std::string_view name() const = 0;
  virtual bool isOpen() const = 0;
  virtual void close() = 0;

  // Runs a statement that returns rows (a SELECT, or an INSERT/UPDATE with
  // RETURNING) with bound parameters and returns every row.
  virtual ResultSet query(std::string_view sql, const std::vector<Param>& params = {},
                          const QueryOptions& options = {}) = 0;

  // Runs a query for a record set and returns its rows as the record set
  // keeps them (by column, in native types). The rows may come in part: the
  // driver returns once it has read the first block, and the store reads
  // the rest when the record set needs it, or the driver reads it in the
  // background, never holding a lock that stops another connection's save
  // while it waits for the record set. A failure before the first block
  // raises here; a later one is kept in the store and raised by the
  // operation that needs the rows. Another statement on the same driver
  // that writes first waits for such reads to finish, so its effect never
  // shows in a result opened before it. The default reads the whole result
  // with query().
  virtual std::shared_ptr<RowStore> openRows(std::string_view sql,
                                             const std::vector<Param>& params = {},
                                             const QueryOptions& options = {});

  // Names the base table and column (baseTable, baseColumn) of columns the
  // driver returned with only its own numbers for them (tableId), as a
  // driver may do while a result is still coming. The default has nothing
  // to name.
  virtual void describeColumns(std::vector<ColumnInfo>& columns);

  // Runs a statement that returns no rows (DDL, INSERT, UPDATE, DELETE)
  // with bound parameters; returns the number of rows affected (0 for DDL).
  // Without parameters the text may hold several statements separated by ";".
  virtual std::int64_t execute(std::string_view sql, const std::vector<Param>& params = {}) = 0;

  // The declared primary key columns of a base table, in key order; empty
  // when the table has none (or is unknown).
  virtual std::vector<std::string> primaryKey(std::string_view table) = 0;

  // How long a statement waits for a lock another session holds before it
  // fails with RaiseLocked, in milliseconds (0: fail at once).
  virtual void setLockTimeout(std::int32_t milliseconds) = 0;

  // The columns of a table or view, read from the database's catalog. The
  // name is taken as data (never spliced into SQL text): a table name as
  // typed, case-insensitively for SQLite and as an unquoted or exact name
  // (or schema.table) for PostgreSQL. A table that does not exist gives
  // exists == false; other failures raise the driver errors.
  virtual TableSchema describeTable(std::string_view table) = 0;

  // Placeholder text for the n-th parameter (1-based): "?1" for SQLite, "$1"
  // for PostgreSQL.
  virtual std::string placeholder(int n) const = 0;

  // An identifier quoted for SQL text ("name" with embedded quotes doubled).
  virtual std::string quoteIdentifier(std::string_view name) const;

  // SQL text that is true when the column (already quoted) still holds the
  // value bound to the placeholder, as the record set read it; used for
  // optimistic locking. The value is never Null here (a Null original is
  // tested with IS NULL). The default is "column = placeholder"; a driver
  // overrides it where stored forms vary or where the record set holds a
  // value less exactly than the database (SQLite compares dates as instants
  // to the millisecond and currency to four decimals).
  virtual std::string equalsExpression(const std::string& quotedColumn, const ColumnInfo& column,
                                       const std::string& placeholder) const;
};

// Opening a connection: a driver registers a test for the connection
// strings it accepts and a factory. Connection::Open walks the registry in
// registration order. SQLite ("sqlite:PATH", "sqlite::memory:") and, when
// its folder provides kiv/data/postgres/PostgresDriver.h with
//   namespace kiv::postgres {
//     bool AcceptsConnectionString(std::string_view text);
//     std::unique_ptr<Driver> Open(std::string_view text);
//   }
// PostgreSQL, are registered before the first open.
using DriverAccepts = bool (*)(std::string_view connectionString);
using DriverFactory = std::unique_ptr<Driver> (*)(std::string_view connectionString);
void RegisterDriver(std::string name, DriverAccepts accepts, DriverFactory factory);
// Opens a driver for the connection string; an unknown scheme raises 3706-style
// error (err::ProviderError, "Provider cannot be found ...") naming the string.
std::unique_ptr<Driver> OpenDriver(std::string_view connectionString);

// The errors every driver raises (see Driver).
[[noreturn]] void RaiseDuplicateKey(std::string_view databaseMessage);
[[noreturn]] void RaiseConnectionLost(std::string_view databaseMessage);
[[noreturn]] void RaiseProviderError(std::string_view databaseMessage);
[[noreturn]] void RaiseLocked(std::string_view databaseMessage);
// `sql` tells a refused DELETE (other rows refer to the row) from a refused
// INSERT or UPDATE (the row refers to a row that does not exist).
[[noreturn]] void RaiseForeignKeyViolation(std::string_view databaseMessage, std::string_view sql);
[[noreturn]] void RaiseSecondStatement(std::string_view tail);

// The message texts of RaiseLocked and RaiseForeignKeyViolation begin with
// these, so callers and tests can tell the cases apart.
inline constexpr std::string_view kLockedText = "The record is locked by another user";
inline constexpr std::string_view kReferencedText =
    "The record cannot be deleted: other records refer to it";

}  // namespace kiv
