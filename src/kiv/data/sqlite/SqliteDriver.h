#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "kiv/data/Driver.h"

struct sqlite3;
struct sqlite3_stmt;

namespace kiv::sqlite {

// "sqlite:PATH" (a file, created when missing; "sqlite:///abs/path" and
// "sqlite:file:...?mode=ro" URIs work too) and "sqlite::memory:".
bool AcceptsConnectionString(std::string_view text);
std::unique_ptr<Driver> Open(std::string_view text);

// The type a declared column type maps to, SQLite-style (by the words the
// declaration contains, any case):
//   BIGINT, INT8 -> adBigInt 20;  SMALLINT, INT2 -> adSmallInt 2;
//   TINYINT -> adTinyInt 16;  BOOL, BOOLEAN, BIT -> adBoolean 11;
//   other ...INT... -> adInteger 3;  REAL, DOUBLE, FLOAT -> adDouble 5;
//   SINGLE, FLOAT4 -> adSingle 4;  MONEY, CURRENCY -> adCurrency 6;
//   NUMERIC, DECIMAL -> adNumeric 131;  DATETIME, TIMESTAMP -> adDBTimeStamp 135;
//   DATE -> adDBDate 133;  TIME -> adDBTime 134;  GUID, UUID,
//   UNIQUEIDENTIFIER -> adGUID 72;  CHAR(n), NCHAR(n), CHARACTER(n) -> adWChar 130;
//   MEMO, NTEXT, LONGTEXT, CLOB -> adLongVarWChar 203;  other text (TEXT,
//   VARCHAR, NVARCHAR, STRING, ...CHAR...) -> adVarWChar 202;  VARBINARY ->
//   adVarBinary 204;  BINARY -> adBinary 128;  BLOB, BYTEA, IMAGE -> adLongVarBinary 205;
//   anything else (or no declared type) -> adVariant 12.
// The size, precision and scale of "(n)" / "(p,s)" are returned too.
struct DeclaredType {
  std::int32_t type = 12;
  std::int32_t size = 0;
  std::uint8_t precision = 0;
  std::uint8_t scale = 0;
};
DeclaredType MapDeclaredType(std::string_view declared);

// Values by column type (read):
//   integer kinds: Integer (SMALLINT, TINYINT) or Long when the value fits,
//     otherwise Double (a 64-bit value beyond 2^53 loses precision);
//   adSingle, adDouble: Double;  adCurrency: Currency;
//   adNumeric: Currency when the declared scale is at most 4 and the
//     precision minus the scale at most 14 (NUMERIC(10,2): exact amounts),
//     otherwise Double;
//   adBoolean: Boolean (0 is False, other numbers True; texts true/false);
//   date kinds: Date, read from ISO-8601 text ("yyyy-mm-dd", "hh:nn:ss",
//     "yyyy-mm-dd hh:nn[:ss[.fff]]", also with "T"), stored the same way;
//   text kinds and GUID: String;  binary: raw bytes;
//   adVariant: by the stored value (integer Long or Double, real Double,
//     text String, blob bytes).
// A stored value that does not fit its column's type (SQLite stores any
// value in any column) is returned as stored, never lost. Null is Null.
// An expression column (no declared type) takes its type from the stored
// value of the first row: integer adInteger (adBigInt beyond 32 bits),
// real adDouble, text adVarWChar, blob adLongVarBinary; adVariant when the
// first value is Null or there are no rows.
class BackgroundRead;

// Reading for a record set (openRows): the first block of rows is read
// before openRows returns; a result that goes on past it is read to its end
// at once by a thread of the driver's own on the same connection (opened in
// serialized mode), so the statement, and in a rollback-journal database the
// lock that keeps other connections from committing, ends promptly however
// long the record set waits. The record set takes the rows from it when an
// operation needs them. Other statements of the connection that only read
// run between the thread's turns (in a WAL database they see the data as
// the read under way does); one that writes (and closing the connection)
// first waits for the reads to finish, so a save never shows in a result
// opened before it. A function the application registers on the connection
// (handle()) may run on that thread while it reads.
class SqliteDriver : public Driver {
 public:
  // Opens (creating when missing) the database file, or ":memory:".
  explicit SqliteDriver(const std::string& path);
  ~SqliteDriver() override;

  std::string_view name() const override { return "SQLite"; }
  bool isOpen() const override { return db_ != nullptr; }
  void close() override;
  ResultSet query(std::string_view sql, const std::vector<Param>& params = {},
                  const QueryOptions& options = {}) override;
  std::shared_ptr<RowStore> openRows(std::string_view sql, const std::vector<Param>& params = {},
                                     const QueryOptions& options = {}) override;
  std::int64_t execute(std::string_view sql, const std::vector<Param>& params = {}) override;
  std::vector<std::string> primaryKey(std::string_view table) override;
  TableSchema describeTable(std::string_view table) override;
  std::string placeholder(int n) const override;
  std::string equalsExpression(const std::string& quotedColumn, const ColumnInfo& column,
                               const std::string& placeholder) const override;
  void setLockTimeout(std::int32_t milliseconds) override;

  // How many statements were compiled since the connection opened: a
  // repeated statement text is served from the statement cache.
  std::uint64_t statementsPrepared() const { return prepared_; }
  sqlite3* handle() const { return db_; }

 private:
  sqlite3_stmt* prepare(const std::string& sql);  // cached; reset and unbound
  void bind(sqlite3_stmt* stmt, const std::vector<Param>& params);
  // Prepares and binds a query, with a hidden row locator when asked for
  // and the rows come from one table without a declared key (the locator's
  // table is returned).
  sqlite3_stmt* prepareQuery(const std::string& text, const std::vector<Param>& params,
                             const QueryOptions& options, std::string& locatorTable);
  // The columns of a prepared query; fromStorage marks those whose type
  // the first row's values give.
  std::vector<ColumnInfo> columnsOf(sqlite3_stmt* st, const std::string& locatorTable,
                                    std::vector<bool>& fromStorage);
  // Takes a statement out of the cache (a background read owns it now).
  void detach(sqlite3_stmt* stmt);
  // Waits for the background reads to finish; before a statement that
  // writes (the text), only then.
  void finishReads();
  void finishReadsBeforeWriting(const std::string& text);
  // Raises the driver error for a result code; `sql` is the statement that
  // failed (it tells a refused DELETE from a refused INSERT).
  [[noreturn]] void raise(int code, std::string_view sql = {}) const;
  void clearCache();

  sqlite3* db_ = nullptr;
  std::string path_;
  // Statement cache, most recently used first.
  std::list<std::pair<std::string, sqlite3_stmt*>> lru_;
  std::unordered_map<std::string, std::list<std::pair<std::string, sqlite3_stmt*>>::iterator>
      cache_;
  std::unordered_map<std::string, std::vector<std::string>> keys_;  // lower-cased table name
  std::uint64_t prepared_ = 0;
  std::vector<std::weak_ptr<BackgroundRead>> reads_;
};

}  // namespace kiv::sqlite
