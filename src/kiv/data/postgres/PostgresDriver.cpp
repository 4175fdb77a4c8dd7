#include "kiv/data/postgres/PostgresDriver.h"

#include <libpq-fe.h>
#include <poll.h>

#include <cctype>
#include <cstdlib>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "kiv/data/RowStore.h"
#include "kiv/data/SqlText.h"
#include "kiv/data/postgres/PgTypes.h"
#include "kiv/runtime/Error.h"

namespace kiv::postgres {

namespace {

struct ResultDeleter {
  void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  return true;
}

std::string_view TrimView(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
    s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
    s.remove_suffix(1);
  return s;
}

// The keyword form: "name = value ..." as libpq parses it.
bool IsKeywordForm(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '_'))
    ++i;
  if (i == 0) return false;
  while (i < text.size() && text[i] == ' ')
    ++i;
  if (i == text.size() || text[i] != '=') return false;
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(std::string(text).c_str(), &error);
  if (error) PQfreemem(error);
  if (!options) return false;
  PQconninfoFree(options);
  return true;
}

// The text libpq is given: a URI as it is, "postgresql:" dropped before the
// keyword form.
std::string LibpqText(std::string_view text) {
  text = TrimView(text);
  if (StartsWithNoCase(text, "postgresql://") || StartsWithNoCase(text, "postgres://"))
    return std::string(text);
  if (StartsWithNoCase(text, "postgresql:")) return std::string(TrimView(text.substr(11)));
  return std::string(text);
}

// One libpq message line without its trailing newline.
// A libpq message on one line: each run of blanks that holds a line break
// becomes one space, and the trailing line break goes.
std::string Chomp(const char* message) {
  std::string s, run;
  for (const char* p = message ? message : ""; *p; ++p) {
    const char c = *p;
    if (c == '\n' || c == '\r' || c == '\t' || c == ' ') {
      run.push_back(c);
      continue;
    }
    if (!run.empty() && !s.empty())
      s += run.find_first_of("\r\n") == std::string::npos ? run : std::string(" ");
    run.clear();
    s.push_back(c);
  }
  return s;
}

constexpr const char* kRolledBack =
    "the server ended the session inside a transaction, which it rolled back";

bool IsDmlOrQuery(const char* commandStatus) {
  std::string_view s = commandStatus ? commandStatus : "";
  return s.starts_with("INSERT") || s.starts_with("UPDATE") || s.starts_with("DELETE") ||
         s.starts_with("SELECT") || s.empty();
}

// Whether a statement only reads, by its first word (comments and opening
// brackets skipped): a result of one that only reads may be abandoned half
// way; any other is read to its end, so what it does is done whole.
bool OnlyReads(std::string_view sql) {
  std::size_t p = 0;
  for (;;) {
    while (p < sql.size() && (std::isspace(static_cast<unsigned char>(sql[p])) || sql[p] == '('))
      ++p;
    if (sql.substr(p, 2) == "--") {
      p = sql.find('\n', p);
      if (p == std::string_view::npos) return false;
    } else if (sql.substr(p, 2) == "/*") {
      p = sql.find("*/", p);
      if (p == std::string_view::npos) return false;
      p += 2;
    } else {
      break;
    }
  }
  return StartsWithNoCase(sql.substr(p), "select") || StartsWithNoCase(sql.substr(p), "values");
}

class PostgresDriver;

// The rest of a result that goes on past its first block, read row by row
// (libpq's single-row mode) as the record set needs it. The connection
// carries one statement at a time: before any other statement the driver
// reads the rest into the store, and a store dropped before its end has
// its statement cancelled (when it only reads) or read to its end.
class PgStream final : public RowReader {
 public:
  PgStream(PostgresDriver* driver, BlockWriter writer, std::vector<Oid> types,
           std::vector<char> currency, std::string sql)
      : driver(driver),
        writer(std::move(writer)),
        types(std::move(types)),
        currency(std::move(currency)),
        sql(std::move(sql)) {}
  ~PgStream() override;
  void fetch(RowStore& store, std::size_t rows) override;

  PostgresDriver* driver;  // null once the statement has ended
  BlockWriter writer;
  std::vector<Oid> types;
  std::vector<char> currency;
  std::string sql;
};

class PostgresDriver final : public Driver {
 public:
  explicit PostgresDriver(PGconn* conn) : conn_(conn) {
    try {
      applySessionSettings();
    } catch (...) {
      close();
      throw;
    }
  }
  ~PostgresDriver() override { close(); }
  PostgresDriver(const PostgresDriver&) = delete;
  PostgresDriver& operator=(const PostgresDriver&) = delete;

  std::string_view name() const override { return "PostgreSQL"; }
  bool isOpen() const override { return conn_ != nullptr; }
  void close() override {
    // Record sets keep their rows when the connection closes: a result
    // still coming is read first.
    finishStream();
    if (conn_) {
      PQfinish(conn_);
      conn_ = nullptr;
    }
    tables_.clear();
    keys_.clear();
  }

  std::shared_ptr<RowStore> openRows(std::string_view sql, const std::vector<Param>& params,
                                     const QueryOptions& /*options*/) override {
    const std::string text = RewriteTop(sql);
    ensureUsable();
    const bool inTransaction = InTransaction();
    Result first = sendRows(text, params);
    ExecStatusType status = first ? PQresultStatus(first.get()) : PGRES_FATAL_ERROR;
    if (!RowsCame(status)) {
      const char* state = first ? PQresultErrorField(first.get(), PG_DIAG_SQLSTATE) : nullptr;
      const std::string sqlstate = state ? state : "";
      discardResults();
      if (!inTransaction && (PQstatus(conn_) == CONNECTION_BAD || sqlstate == "57P01" ||
                             sqlstate == "57P02" || sqlstate == "57P03")) {
        reconnect();
        first = sendRows(text, params);
        status = first ? PQresultStatus(first.get()) : PGRES_FATAL_ERROR;
      }
      if (!RowsCame(status)) {
        discardResults();
        raise(first.get(), status, text, inTransaction);
      }
    }

    // The columns, from the first result.
    const PGresult* res = first.get();
    const int nCols = PQnfields(res);
    std::vector<ColumnInfo> columns(static_cast<std::size_t>(nCols));
    std::vector<Oid> types(static_cast<std::size_t>(nCols));
    std::vector<char> currency(static_cast<std::size_t>(nCols));
    for (int c = 0; c < nCols; ++c) {
      ColumnInfo& col = columns[static_cast<std::size_t>(c)];
      types[static_cast<std::size_t>(c)] = describe(res, c, col);
      currency[static_cast<std::size_t>(c)] = NumericAsCurrency(col);
    }
    auto store = std::make_shared<RowStore>(std::move(columns));
    auto stream = std::make_shared<PgStream>(this, store->writer(), std::move(types),
                                             std::move(currency), text);
    stream_ = stream.get();
    streamStore_ = store;
    store->setReader(stream);
    takeRow(*stream, *store, std::move(first));
    readStream(*stream, *store, RowStore::kBlockRows);
    // A failure within the first block fails the open: nothing was shown.
    if (store->error()) std::rethrow_exception(store->error());
    if (store->complete()) describeColumns(store->mutableColumns());
    return store;
  }

  void describeColumns(std::vector<ColumnInfo>& columns) override {
    for (ColumnInfo& col : columns) {
      if (col.tableId == 0 || !col.baseTable.empty()) continue;
      const TableInfo& info = tableInfo(col.tableId);
      auto it = info.columns.find(col.columnId);
      if (!info.name.empty() && it != info.columns.end()) {
        col.baseTable = info.name;
        col.baseColumn = it->second;
      }
    }
  }

  // Reads the stream's rows into its store until it holds `rows` rows or
  // the result ends (or fails).
  void readStream(PgStream& stream, RowStore& store, std::size_t rows) {
    while (stream.driver && store.rows() < rows)
      takeRow(stream, store, Result(PQgetResult(conn_)));
  }

  // The store of the result still coming went away: the statement is
  // cancelled when it only reads, and its results are read and dropped.
  void abandonStream(PgStream& stream) noexcept {
    if (stream_ != &stream) return;
    if (OnlyReads(stream.sql)) {
      if (PGcancel* cancel = PQgetCancel(conn_)) {
        char error[256];
        PQcancel(cancel, error, sizeof error);
        PQfreeCancel(cancel);
      }
    }
    discardResults();
    endStream(stream);
  }

  ResultSet query(std::string_view sql, const std::vector<Param>& params,
                  const QueryOptions& /*options*/) override {
    // No hidden row locator: a table without a primary key is read-only here.
    Result res = run(RewriteTop(sql), params, true);
    ResultSet out;
    if (PQresultStatus(res.get()) != PGRES_TUPLES_OK) return out;
    const int nCols = PQnfields(res.get());
    const int nRows = PQntuples(res.get());
    out.columns.resize(static_cast<std::size_t>(nCols));
    std::vector<Oid> types(static_cast<std::size_t>(nCols));
    std::vector<char> currency(static_cast<std::size_t>(nCols));
    for (int c = 0; c < nCols; ++c) {
      ColumnInfo& col = out.columns[static_cast<std::size_t>(c)];
      types[static_cast<std::size_t>(c)] = describe(res.get(), c, col);
      currency[static_cast<std::size_t>(c)] = NumericAsCurrency(col);
    }
    describeColumns(out.columns);
    out.values.reserve(static_cast<std::size_t>(nRows) * static_cast<std::size_t>(nCols));
    for (int r = 0; r < nRows; ++r) {
      for (int c = 0; c < nCols; ++c) {
        if (PQgetisnull(res.get(), r, c)) {
          out.values.emplace_back(kNull);
        } else {
          out.values.push_back(ValueFromText(
              types[static_cast<std::size_t>(c)],
              std::string_view(PQgetvalue(res.get(), r, c),
                               static_cast<std::size_t>(PQgetlength(res.get(), r, c))),
              currency[static_cast<std::size_t>(c)] != 0));
        }
      }
    }
    return out;
  }

  std::int64_t execute(std::string_view sql, const std::vector<Param>& params) override {
    Result res = run(RewriteTop(sql), params, !params.empty());
    if (!IsDmlOrQuery(PQcmdStatus(res.get()))) {
      // DDL (or a SET of search_path) may change what names mean.
      tables_.clear();
      keys_.clear();
    }
    const char* tuples = PQcmdTuples(res.get());
    return tuples && *tuples ? std::strtoll(tuples, nullptr, 10) : 0;
  }

  std::vector<std::string> primaryKey(std::string_view table) override {
    std::string key(table);
    if (auto it = keys_.find(key); it != keys_.end()) return it->second;
    // The name as the catalog spells it first (case kept), then as SQL
    // would read it unquoted (folded to lower case).
    // The table on the search path spelt exactly so, else as an unquoted
    // name would read (folded to lower case), else a "schema.table" name.
    static constexpr const char* kSql =
        "SELECT a.attname FROM pg_index i"
        " JOIN pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = ANY(i.indkey)"
        " WHERE i.indisprimary AND i.indrelid = ("
        "  SELECT c.oid FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace"
        "  WHERE (c.relname::text IN ($1::text, lower($1::text)) AND pg_table_is_visible(c.oid))"
        "   OR n.nspname || '.' || c.relname = $1::text"
        "  ORDER BY (c.relname::text = $1::text OR n.nspname || '.' || c.relname = $1::text) DESC"
        "  LIMIT 1)"
        " ORDER BY array_position(i.indkey::int2[], a.attnum)";
    std::vector<Param> params{Param{Variant(key), adVarWChar}};
    Result res = run(kSql, params, true);
    std::vector<std::string> columns;
    for (int r = 0; r < PQntuples(res.get()); ++r)
      columns.emplace_back(PQgetvalue(res.get(), r, 0));
    keys_.emplace(key, columns);
    return columns;
  }

  TableSchema describeTable(std::string_view table) override {
    // The table found as primaryKey finds it (tables, views, materialized
    // views, partitioned and foreign tables), and whether the name as given
    // reads as that table without quotes.
    static constexpr const char* kTableSql =
        "SELECT c.oid, n.nspname, c.relname, pg_table_is_visible(c.oid),"
        "  ($1::text ~ '^[A-Za-z_][A-Za-z0-9_]*$' AND lower($1::text) = c.relname::text"
        "   AND pg_table_is_visible(c.oid) AND NOT EXISTS (SELECT 1 FROM pg_get_keywords() k"
        "   WHERE k.word = lower($1::text) AND k.catcode <> 'U'))"
        " FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace"
        " WHERE c.relkind IN ('r', 'v', 'm', 'p', 'f') AND ("
        "  (c.relname::text IN ($1::text, lower($1::text)) AND pg_table_is_visible(c.oid))"
        "   OR n.nspname || '.' || c.relname = $1::text)"
        " ORDER BY (c.relname::text = $1::text OR n.nspname || '.' || c.relname = $1::text) DESC"
        " LIMIT 1";
    static constexpr const char* kColumnsSql =
        "SELECT a.attname, format_type(a.atttypid, a.atttypmod), a.attnotnull,"
        "  COALESCE((SELECT array_position(i.indkey::int2[], a.attnum)"
        "   - array_lower(i.indkey::int2[], 1) + 1 FROM pg_index i"
        "   WHERE i.indrelid = a.attrelid AND i.indisprimary), 0),"
        "  (a.attname::text ~ '^[a-z_][a-z0-9_]*$' AND NOT EXISTS (SELECT 1"
        "   FROM pg_get_keywords() k WHERE k.word = a.attname::text AND k.catcode <> 'U'))"
        " FROM pg_attribute a WHERE a.attrelid = $1::text::oid AND a.attnum > 0"
        " AND NOT a.attisdropped ORDER BY a.attnum";
    TableSchema schema;
    Result found = run(kTableSql, {Param{Variant(std::string(table)), adVarWChar}}, true);
    if (PQntuples(found.get()) == 0) return schema;
    const std::string oid = PQgetvalue(found.get(), 0, 0);
    const std::string nspname = PQgetvalue(found.get(), 0, 1);
    const std::string relname = PQgetvalue(found.get(), 0, 2);
    const bool visible = PQgetvalue(found.get(), 0, 3)[0] == 't';
    const bool plain = PQgetvalue(found.get(), 0, 4)[0] == 't';
    const std::string quoted =
        Driver::quoteIdentifier(nspname) + "." + Driver::quoteIdentifier(relname);
    schema.exists = true;
    schema.reference = plain     ? std::string(table)
                       : visible ? Driver::quoteIdentifier(relname)
                                 : quoted;
    // The types as a query of the table reads them, so they are those a
    // record set over it shows.
    const ResultSet shape = query("SELECT * FROM " + quoted + " WHERE false", {}, {});
    Result columns = run(kColumnsSql, {Param{Variant(oid), adVarWChar}}, true);
    const int n = PQntuples(columns.get());
    for (int r = 0; r < n; ++r) {
      TableColumn column;
      if (static_cast<std::size_t>(r) < shape.columns.size())
        column.info = shape.columns[static_cast<std::size_t>(r)];
      column.info.name = PQgetvalue(columns.get(), r, 0);
      column.declaredType = PQgetvalue(columns.get(), r, 1);
      column.notNull = PQgetvalue(columns.get(), r, 2)[0] == 't';
      column.keyPosition = std::atoi(PQgetvalue(columns.get(), r, 3));
      column.plainName = PQgetvalue(columns.get(), r, 4)[0] == 't';
      schema.columns.push_back(std::move(column));
    }
    return schema;
  }

  std::string placeholder(int n) const override { return "$" + std::to_string(n); }

  // A table off the search path is named "schema.table" in ColumnInfo; its
  // two parts are quoted separately. Any other name is one identifier.
  std::string quoteIdentifier(std::string_view name) const override {
    if (auto it = qualified_.find(std::string(name)); it != qualified_.end())
      return Driver::quoteIdentifier(it->second.first) + "." +
             Driver::quoteIdentifier(it->second.second);
    return Driver::quoteIdentifier(name);
  }

  void setLockTimeout(std::int32_t milliseconds) override {
    milliseconds = milliseconds > 0 ? milliseconds : 0;
    if (milliseconds == lockTimeoutMs_) return;
    lockTimeoutMs_ = milliseconds;
    if (conn_ && PQstatus(conn_) == CONNECTION_OK)
      run("SET lock_timeout = " + std::to_string(lockTimeoutMs_), {}, false);
  }

  std::string equalsExpression(const std::string& quotedColumn, const ColumnInfo& column,
                               const std::string& placeholderText) const override {
    const std::int32_t type = column.type;
    // A numeric or bigint read as a Double compares as a double, so a value
    // with more digits than a Double holds still finds its row; a type without its own
    // equality (json, arrays, ...) compares by its text, which is what was read.
    if (type == adNumeric || type == adBigInt)
      return "CAST(" + quotedColumn + " AS double precision) = CAST(" + placeholderText +
             " AS double precision)";
    if (type == adVariant) return "CAST(" + quotedColumn + " AS text) = " + placeholderText;
    return quotedColumn + " = " + placeholderText;
  }

 private:
  struct TableInfo {
    std::string name;                    // as the select list names it; "" when unknown
    std::map<int, std::string> columns;  // attnum -> column name
  };

  // The session settings every statement relies on, whatever the server's,
  // the database's or the role's defaults: one fixed text form for dates,
  // money, bytes and floats; quoting in which a backslash is an ordinary
  // character (a code typed as B\1 stays B\1, and no text can end its
  // literal early); a bounded wait for another session's locks.
  void applySessionSettings() {
    Result res(PQexec(
        conn_, ("SET DateStyle = 'ISO, MDY'; SET lc_monetary = 'C'; SET bytea_output = 'hex';"
                " SET extra_float_digits = 3; SET client_encoding = 'UTF8';"
                " SET standard_conforming_strings = on; SET lock_timeout = " +
                std::to_string(lockTimeoutMs_))
                   .c_str()));
    const ExecStatusType status = res ? PQresultStatus(res.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK) raise(res.get(), status, {});
  }

  // Whether the server ended the connection while it sat idle (a restart,
  // an administrator's termination): whatever it sent since is read first.
  bool diedWhileIdle() {
    for (int i = 0; i < 4 && PQstatus(conn_) == CONNECTION_OK; ++i) {
      pollfd p{PQsocket(conn_), POLLIN, 0};
      if (::poll(&p, 1, 0) <= 0) break;
      if (!PQconsumeInput(conn_)) break;
    }
    return PQstatus(conn_) != CONNECTION_OK;
  }

  // Opens the connection again with the same parameters and settings. A
  // server that cannot be reached yet raises the connection-lost error.
  void reconnect() {
    tables_.clear();
    keys_.clear();
    PQreset(conn_);
    if (PQstatus(conn_) != CONNECTION_OK)
      RaiseConnectionLost("the server cannot be reached: " + Chomp(PQerrorMessage(conn_)));
    applySessionSettings();
  }

  // Before a statement: a connection lost while idle is opened again (so the
  // next action after a server restart just works), and a session whose
  // quoting was switched back to backslash escapes is switched on again.
  void ensureUsable() {
    finishStream();
    if (!conn_) RaiseConnectionLost("the connection is closed");
    const bool inTransaction = InTransaction();
    if (diedWhileIdle()) {
      reconnect();
      // The application's own transaction went with the old session: it is
      // told once, rather than having the rest of it run on its own.
      if (inTransaction) RaiseConnectionLost(kRolledBack);
    }
    const char* scs = PQparameterStatus(conn_, "standard_conforming_strings");
    // (Not in a failed transaction, where only its end may run.)
    if (scs && std::string_view(scs) != "on" && PQtransactionStatus(conn_) != PQTRANS_INERROR) {
      Result res(PQexec(conn_, "SET standard_conforming_strings = on"));
      const ExecStatusType status = res ? PQresultStatus(res.get()) : PGRES_FATAL_ERROR;
      if (status != PGRES_COMMAND_OK) raise(res.get(), status, {});
    }
  }

  // Parameters as libpq takes them.
  struct WireParams {
    explicit WireParams(const std::vector<Param>& params) {
      wire.reserve(params.size());
      for (const Param& p : params)
        wire.push_back(ParamFor(p.value, p.type));
      for (const WireParam& w : wire) {
        values.push_back(w.null ? nullptr : w.data.data());
        lengths.push_back(static_cast<int>(w.data.size()));
        formats.push_back(w.binary ? 1 : 0);
      }
    }
    WireParams(const WireParams&) = delete;  // the arrays point into `wire`
    WireParams& operator=(const WireParams&) = delete;
    int count() const { return static_cast<int>(wire.size()); }
    std::vector<WireParam> wire;
    std::vector<const char*> values;
    std::vector<int> lengths, formats;
  };

  // Sends one statement. With `useParams` the extended protocol is used
  // (one statement, $n parameters); otherwise the simple protocol (several
  // statements allowed).
  Result send(const std::string& sql, const std::vector<Param>& params, bool useParams) {
    Result res;
    if (useParams) {
      const WireParams wire(params);
      res.reset(PQexecParams(conn_, sql.c_str(), wire.count(), nullptr, wire.values.data(),
                             wire.lengths.data(), wire.formats.data(), 0));
    } else {
      res.reset(PQexec(conn_, sql.c_str()));
    }
    return res;
  }

  // Sends a query whose rows come one by one; returns its first result.
  Result sendRows(const std::string& sql, const std::vector<Param>& params) {
    const WireParams wire(params);
    if (!PQsendQueryParams(conn_, sql.c_str(), wire.count(), nullptr, wire.values.data(),
                           wire.lengths.data(), wire.formats.data(), 0))
      return Result(PQgetResult(conn_));
    PQsetSingleRowMode(conn_);
    return Result(PQgetResult(conn_));
  }

  static bool RowsCame(ExecStatusType status) {
    return status == PGRES_SINGLE_TUPLE || status == PGRES_TUPLES_OK ||
           status == PGRES_COMMAND_OK || status == PGRES_EMPTY_QUERY;
  }

  void discardResults() noexcept {
    if (!conn_) return;
    while (PGresult* r = PQgetResult(conn_))
      PQclear(r);
  }

  // A column's type and metadata from a result. Its base table is named
  // when the driver knows the table already; otherwise it keeps the
  // table's number for describeColumns.
  Oid describe(const PGresult* res, int c, ColumnInfo& col) {
    const Oid type = PQftype(res, c);
    col.name = PQfname(res, c);
    col.type = AdoTypeOf(type);
    const int mod = PQfmod(res, c);
    if ((type == oid::Varchar || type == oid::Bpchar) && mod >= 4) col.definedSize = mod - 4;
    if (type == oid::Numeric && mod >= 4) {
      // Precision runs to 1000; anything past 255 is simply "large" here.
      const int precision = ((mod - 4) >> 16) & 0xffff, scale = (mod - 4) & 0xffff;
      col.precision = static_cast<std::uint8_t>(precision > 255 ? 255 : precision);
      col.numericScale = static_cast<std::uint8_t>(scale > 255 ? 255 : scale);
    }
    const Oid table = PQftable(res, c);
    const int attnum = PQftablecol(res, c);
    if (table != InvalidOid && attnum > 0) {
      col.tableId = table;
      col.columnId = attnum;
      if (auto known = tables_.find(table); known != tables_.end()) {
        auto it = known->second.columns.find(attnum);
        if (!known->second.name.empty() && it != known->second.columns.end()) {
          col.baseTable = known->second.name;
          col.baseColumn = it->second;
        }
      }
    }
    return type;
  }

  // Takes one result of a stream: a row into the store's blocks, or the
  // end of the rows, or an error (kept in the store).
  void takeRow(PgStream& stream, RowStore& store, Result res) {
    if (!res) {  // the results have ended
      store.append(stream.writer.take());
      endStream(stream);
      store.finish();
      return;
    }
    const ExecStatusType status = PQresultStatus(res.get());
    if (status == PGRES_SINGLE_TUPLE || status == PGRES_TUPLES_OK) {
      // One row in single-row mode; the last result of the rows has none
      // (all of them, should the mode not have taken).
      const int nCols = PQnfields(res.get());
      for (int r = 0; r < PQntuples(res.get()); ++r) {
        for (int c = 0; c < nCols; ++c) {
          if (PQgetisnull(res.get(), r, c)) {
            stream.writer.null();
          } else {
            DecodeInto(stream.writer, stream.types[static_cast<std::size_t>(c)],
                       std::string_view(PQgetvalue(res.get(), r, c),
                                        static_cast<std::size_t>(PQgetlength(res.get(), r, c))),
                       stream.currency[static_cast<std::size_t>(c)] != 0);
          }
        }
        if (stream.writer.endRow()) store.append(stream.writer.take());
      }
      return;
    }
    if (RowsCame(status)) return;  // a statement without rows; the next result ends the results
    std::exception_ptr error;
    try {
      raise(res.get(), status, stream.sql, InTransaction());
    } catch (...) {
      error = std::current_exception();
    }
    res.reset();
    discardResults();
    store.append(stream.writer.take());
    endStream(stream);
    store.fail(error);
  }

  void endStream(PgStream& stream) noexcept {
    stream.driver = nullptr;
    if (stream_ == &stream) {
      stream_ = nullptr;
      streamStore_.reset();
    }
  }

  // Reads the rest of a result still coming before the connection does
  // anything else (its error, if any, stays with the record set).
  void finishStream() {
    if (!stream_) return;
    if (const auto store = streamStore_.lock()) IgnoreErrors([&] { store->fetchAll(); });
  }

  // Whether the session is inside a transaction an application began.
  bool InTransaction() const {
    const PGTransactionStatusType t = PQtransactionStatus(conn_);
    return t == PQTRANS_INTRANS || t == PQTRANS_INERROR;
  }

  static bool Succeeded(ExecStatusType status) {
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_EMPTY_QUERY;
  }

  // Runs one statement. Raises the driver errors; returns a successful
  // result. A statement that fails because the connection was lost (the
  // server ended the backend, restarted, or the socket went) is sent once
  // more on a new connection. A backend the server ends rolls its statement
  // back; and every write the record set makes is located by its key and
  // original values, so one that did reach the server before the loss is
  // not repeated but refused (a conflict or a duplicate key).
  Result run(const std::string& sql, const std::vector<Param>& params, bool useParams) {
    ensureUsable();
    const bool inTransaction = InTransaction();
    Result res = send(sql, params, useParams);
    ExecStatusType status = res ? PQresultStatus(res.get()) : PGRES_FATAL_ERROR;
    if (Succeeded(status)) return res;
    const char* state = res ? PQresultErrorField(res.get(), PG_DIAG_SQLSTATE) : nullptr;
    const std::string sqlstate = state ? state : "";
    // Not inside the application's own transaction, whose earlier
    // statements the server rolled back with the session.
    if (!inTransaction && (PQstatus(conn_) == CONNECTION_BAD || sqlstate == "57P01" ||
                           sqlstate == "57P02" || sqlstate == "57P03")) {
      reconnect();
      res = send(sql, params, useParams);
      status = res ? PQresultStatus(res.get()) : PGRES_FATAL_ERROR;
      if (Succeeded(status)) return res;
    }
    raise(res.get(), status, useParams ? sql : std::string(), inTransaction);
  }

  // `sql` is the statement sent with the extended protocol ("" otherwise).
  // With `inTransaction` a lost connection says that the transaction the
  // application began was rolled back.
  [[noreturn]] void raise(const PGresult* res, ExecStatusType status, const std::string& sql,
                          bool inTransaction = false) {
    std::string sqlstate, primary, detail;
    if (res) {
      if (const char* s = PQresultErrorField(res, PG_DIAG_SQLSTATE)) sqlstate = s;
      if (const char* s = PQresultErrorField(res, PG_DIAG_MESSAGE_PRIMARY)) primary = s;
      if (const char* s = PQresultErrorField(res, PG_DIAG_MESSAGE_DETAIL)) detail = s;
    }
    if (primary.empty()) {
      // libpq's own text, without the severity word it starts with.
      primary = Chomp(PQerrorMessage(conn_));
      for (std::string_view severity : {"FATAL:", "ERROR:"})
        if (primary.starts_with(severity)) {
          primary.erase(0, severity.size());
          primary.erase(0, primary.find_first_not_of(' '));
        }
    }
    if (primary.empty()) primary = std::string("unexpected result ") + PQresStatus(status);

    const bool lost = PQstatus(conn_) == CONNECTION_BAD || sqlstate.starts_with("08") ||
                      sqlstate == "57P01" || sqlstate == "57P02" || sqlstate == "57P03";
    std::string message = primary;
    if (!detail.empty()) message += " (" + detail + ")";
    if (!sqlstate.empty()) message += " (SQLSTATE " + sqlstate + ")";
    if (lost) {
      tables_.clear();
      keys_.clear();
      RaiseConnectionLost(inTransaction ? std::string(kRolledBack) + ": " + message : message);
    }
    if (sqlstate == "23505") RaiseDuplicateKey(message);
    if (sqlstate == "23503") RaiseForeignKeyViolation(message, sql);
    // lock_not_available (the lock timeout ran out) and a deadlock both
    // mean another session holds what this statement needs.
    if (sqlstate == "55P03" || sqlstate == "40P01") RaiseLocked(message);
    // The extended protocol refuses a text holding two statements.
    if (sqlstate == "42601" && !sql.empty()) {
      const std::size_t end = SecondStatementAt(sql);
      if (end != std::string::npos) RaiseSecondStatement(std::string_view(sql).substr(end));
    }
    RaiseProviderError(message);
  }

  // The table's name and column names, from the catalog, cached by OID. The
  // name is schema-qualified only when the table is not on the search path.
  const TableInfo& tableInfo(Oid table) {
    if (auto it = tables_.find(table); it != tables_.end()) return it->second;
    static constexpr const char* kSql =
        "SELECT c.relname, n.nspname, pg_table_is_visible(c.oid), a.attnum, a.attname"
        " FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace"
        " JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped"
        " WHERE c.oid = $1";
    std::vector<Param> params{Param{Variant(std::to_string(table)), adBigInt}};
    Result res = run(kSql, params, true);
    TableInfo info;
    for (int r = 0; r < PQntuples(res.get()); ++r) {
      if (r == 0) {
        const bool visible = PQgetvalue(res.get(), r, 2)[0] == 't';
        const std::string relname = PQgetvalue(res.get(), r, 0);
        const std::string nspname = PQgetvalue(res.get(), r, 1);
        info.name = visible ? relname : nspname + "." + relname;
        if (!visible) qualified_[info.name] = {nspname, relname};
      }
      info.columns.emplace(std::atoi(PQgetvalue(res.get(), r, 3)), PQgetvalue(res.get(), r, 4));
    }
    return tables_.emplace(table, std::move(info)).first->second;
  }

  PGconn* conn_;
  std::int32_t lockTimeoutMs_ = 5000;
  // The result still coming (at most one: the connection carries one
  // statement at a time), and the store it fills.
  PgStream* stream_ = nullptr;
  std::weak_ptr<RowStore> streamStore_;
  std::unordered_map<Oid, TableInfo> tables_;
  std::unordered_map<std::string, std::vector<std::string>> keys_;
  // "schema.table" names handed out -> (schema, table); kept across cache
  // drops, as record sets opened earlier still write through them.
  std::unordered_map<std::string, std::pair<std::string, std::string>> qualified_;
};

PgStream::~PgStream() {
  if (driver) driver->abandonStream(*this);
}

void PgStream::fetch(RowStore& store, std::size_t rows) {
  if (driver) driver->readStream(*this, store, rows);
}

}  // namespace

bool AcceptsConnectionString(std::string_view text) {
  text = TrimView(text);
  if (StartsWithNoCase(text, "postgresql://") || StartsWithNoCase(text, "postgres://")) return true;
  if (StartsWithNoCase(text, "postgresql:")) return IsKeywordForm(TrimView(text.substr(11)));
  return IsKeywordForm(text);
}

std::unique_ptr<Driver> Open(std::string_view text) {
  PGconn* conn = PQconnectdb(LibpqText(text).c_str());
  if (!conn) RaiseProviderError("cannot connect to the PostgreSQL server: out of memory");
  if (PQstatus(conn) != CONNECTION_OK) {
    std::string message = Chomp(PQerrorMessage(conn));
    PQfinish(conn);
    throw Error(err::ProviderError, "PostgreSQL",
                "Cannot connect to the PostgreSQL server: " + message);
  }
  // Server notices (a cascading drop, a truncated identifier) are not
  // errors; the library prints nothing.
  PQsetNoticeProcessor(
      conn, [](void*, const char*) {}, nullptr);
  return std::make_unique<PostgresDriver>(conn);
}

}  // namespace kiv::postgres
