#include "kiv/data/sqlite/SqliteDriver.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>

#include "kiv/data/RowStore.h"
#include "kiv/data/SqlText.h"
#include "kiv/runtime/Error.h"

namespace kiv::sqlite {
namespace {

constexpr std::size_t kCacheSize = 64;
constexpr const char* kLocatorName = "kiv_rowid__";

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool Contains(const std::string& upper, const char* word) {
  return upper.find(word) != std::string::npos;
}

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

const std::int64_t kSerialEpoch = DaysFromCivil(1899, 12, 30);

int Digits(std::string_view s, std::size_t& pos, std::size_t count) {
  if (pos + count > s.size()) return -1;
  int v = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const char c = s[pos + i];
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  pos += count;
  return v;
}

// "hh:nn[:ss[.fff]]" at pos; seconds of the day, or -1.
double ParseTimeAt(std::string_view s, std::size_t& pos) {
  const int h = Digits(s, pos, 2);
  if (h < 0 || pos >= s.size() || s[pos] != ':') return -1;
  ++pos;
  const int n = Digits(s, pos, 2);
  if (n < 0) return -1;
  double sec = 0;
  if (pos < s.size() && s[pos] == ':') {
    ++pos;
    const int ss = Digits(s, pos, 2);
    if (ss < 0) return -1;
    sec = ss;
    if (pos < s.size() && s[pos] == '.') {
      ++pos;
      double scale = 0.1;
      while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos]))) {
        sec += (s[pos] - '0') * scale;
        scale /= 10;
        ++pos;
      }
    }
  }
  if (h > 23 || n > 59 || sec >= 60) return -1;
  return h * 3600.0 + n * 60.0 + sec;
}

// ISO-8601 text to a date serial; false when the text is no such date.
bool ParseIsoDate(std::string_view s, double& serial) {
  while (!s.empty() && s.back() == ' ')
    s.remove_suffix(1);
  std::size_t pos = 0;
  if (s.size() >= 5 && s[2] == ':') {  // time only
    const double t = ParseTimeAt(s, pos);
    if (t < 0 || pos != s.size()) return false;
    serial = t / 86400.0;
    return true;
  }
  const int y = Digits(s, pos, 4);
  if (y < 0 || pos >= s.size() || s[pos] != '-') return false;
  ++pos;
  const int m = Digits(s, pos, 2);
  if (m < 1 || m > 12 || pos >= s.size() || s[pos] != '-') return false;
  ++pos;
  const int d = Digits(s, pos, 2);
  if (d < 1 || d > 31) return false;
  const std::int64_t days = DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d));
  {
    std::int64_t yy;
    unsigned mm, dd;
    CivilFromDays(days, yy, mm, dd);
    if (mm != static_cast<unsigned>(m)) return false;  // 2023-02-30
  }
  double t = 0;
  if (pos < s.size()) {
    if (s[pos] != ' ' && s[pos] != 'T') return false;
    ++pos;
    t = ParseTimeAt(s, pos);
    if (t < 0) return false;
    if (pos < s.size() && (s[pos] == 'Z' || s[pos] == 'z')) ++pos;
    if (pos != s.size()) return false;
  }
  const double day = static_cast<double>(days - kSerialEpoch);
  const double frac = t / 86400.0;
  serial = day < 0 ? day - frac : day + frac;
  return true;
}

// A date serial as ISO text: what = 0 date (plus time when it has one),
// 1 time only, 2 date and time. A time that is not a whole second keeps its
// milliseconds ("hh:nn:ss.fff"), so a value read with them is written back
// with them.
std::string FormatIsoDate(double serial, int what) {
  double dayPart = std::trunc(serial);
  double frac = std::fabs(serial - dayPart);
  std::int64_t millis = std::llround(frac * 86400000.0);
  if (millis >= 86400000) {
    millis -= 86400000;
    dayPart += serial < 0 ? -1 : 1;
  }
  std::int64_t y;
  unsigned m, d;
  CivilFromDays(static_cast<std::int64_t>(dayPart) + kSerialEpoch, y, m, d);
  char time[24];
  const std::int64_t secs = millis / 1000;
  const int hh = static_cast<int>(secs / 3600), nn = static_cast<int>(secs / 60 % 60),
            ss = static_cast<int>(secs % 60), ms = static_cast<int>(millis % 1000);
  if (ms != 0)
    std::snprintf(time, sizeof time, "%02d:%02d:%02d.%03d", hh, nn, ss, ms);
  else
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", hh, nn, ss);
  if (what == 1) return time;
  char buf[48];
  if (what == 0 && millis == 0)
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u", static_cast<long long>(y), m, d);
  else
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %s", static_cast<long long>(y), m, d, time);
  return buf;
}

// An integer as its column type reads it: Integer (the small kinds) or Long
// when it fits, else Double.
template <class Sink>
void DecodeInteger(std::int64_t v, std::int32_t type, Sink& out) {
  if ((type == adSmallInt || type == adTinyInt || type == adUnsignedTinyInt) && v >= INT16_MIN &&
      v <= INT16_MAX)
    return out.int16(static_cast<std::int16_t>(v));
  if (v >= INT32_MIN && v <= INT32_MAX) return out.int32(static_cast<std::int32_t>(v));
  out.dbl(static_cast<double>(v));
}

std::string_view ColumnText(sqlite3_stmt* st, int col) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
  return p ? std::string_view(p, static_cast<std::size_t>(sqlite3_column_bytes(st, col)))
           : std::string_view();
}

// Decodes one stored value by its column's type (see SqliteDriver.h) into a
// sink: a BlockWriter, or a VariantSink.
template <class Sink>
void DecodeValue(sqlite3_stmt* st, int col, std::int32_t type, bool currency, Sink& out) {
  const int storage = sqlite3_column_type(st, col);
  switch (storage) {
    case SQLITE_NULL:
      return out.null();
    case SQLITE_INTEGER: {
      const std::int64_t v = sqlite3_column_int64(st, col);
      if (IsIntegerType(type)) return DecodeInteger(v, type, out);
      if (type == adBoolean) return out.boolean(v != 0);
      if (currency) {
        if (v > INT64_MAX / 10000 || v < INT64_MIN / 10000) return out.dbl(static_cast<double>(v));
        return out.currency(Currency{v * 10000});
      }
      if (type == adDouble || type == adSingle || type == adNumeric)
        return out.dbl(static_cast<double>(v));
      if (IsDateType(type) || type == adVariant) return DecodeInteger(v, adInteger, out);
      break;  // text kinds: as text below
    }
    case SQLITE_FLOAT: {
      const double v = sqlite3_column_double(st, col);
      if (currency && std::fabs(v) < 9.2e14) return out.currency(Currency::FromDouble(v));
      if (type == adBoolean) return out.boolean(v != 0.0);
      if (IsIntegerType(type) || IsDateType(type) || type == adVariant || type == adDouble ||
          type == adSingle || type == adNumeric || type == adCurrency)
        return out.dbl(v);
      break;
    }
    case SQLITE_BLOB: {
      const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(st, col));
      const int n = sqlite3_column_bytes(st, col);
      return out.bytes(p, static_cast<std::size_t>(n));
    }
    default:
      break;
  }
  // Text storage (or a number in a text column).
  const std::string_view text = ColumnText(st, col);
  if (storage == SQLITE_TEXT) {
    if (IsDateType(type)) {
      double serial;
      if (ParseIsoDate(text, serial)) return out.date(serial);
    } else if (type == adBoolean) {
      const auto is = [&text](std::string_view word) {
        return text.size() == word.size() &&
               std::equal(text.begin(), text.end(), word.begin(), [](char a, char b) {
                 return std::toupper(static_cast<unsigned char>(a)) == b;
               });
      };
      if (is("TRUE") || is("1")) return out.boolean(true);
      if (is("FALSE") || is("0")) return out.boolean(false);
    } else if (type == adLongVarBinary || type == adVarBinary || type == adBinary) {
      return out.bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    }
  }
  out.text(text);
}

// Decodes into Variants appended to a vector.
struct VariantSink {
  std::vector<Variant>& out;
  void null() { out.emplace_back(kNull); }
  void int16(std::int16_t v) { out.emplace_back(v); }
  void int32(std::int32_t v) { out.emplace_back(v); }
  void dbl(double v) { out.emplace_back(v); }
  void currency(Currency v) { out.emplace_back(v); }
  void date(double serial) { out.emplace_back(DateTime{serial}); }
  void boolean(bool v) { out.emplace_back(v); }
  void text(std::string_view v) { out.emplace_back(std::string(v)); }
  void bytes(const std::uint8_t* p, std::size_t n) { out.emplace_back(Bytes(p, p + n)); }
};

// Raises the driver error for a result code and SQLite's message; `sql` is
// the statement that failed (it tells a refused DELETE from a refused INSERT).
[[noreturn]] void RaiseSqlite(int code, const std::string& message, std::string_view sql) {
  if ((code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED) RaiseLocked(message);
  switch (code) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
    case SQLITE_CONSTRAINT_ROWID:
      RaiseDuplicateKey(message);
    case SQLITE_CONSTRAINT_FOREIGNKEY:
      RaiseForeignKeyViolation(message, sql);
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
    case SQLITE_NOTADB:
      RaiseConnectionLost(message);
    default:
      RaiseProviderError(message);
  }
}

// Holds the connection's own mutex: a statement's steps and the reading of
// its error message are not interleaved with a background read's steps.
class DbLock {
 public:
  explicit DbLock(sqlite3* db) : mutex_(db ? sqlite3_db_mutex(db) : nullptr) {
    sqlite3_mutex_enter(mutex_);
  }
  ~DbLock() { sqlite3_mutex_leave(mutex_); }
  DbLock(const DbLock&) = delete;
  DbLock& operator=(const DbLock&) = delete;

 private:
  sqlite3_mutex* mutex_;
};

// The type of an expression column from its first stored value.
std::int32_t TypeFromStorage(sqlite3_stmt* st, int col) {
  switch (sqlite3_column_type(st, col)) {
    case SQLITE_INTEGER: {
      const auto v = sqlite3_column_int64(st, col);
      return v >= INT32_MIN && v <= INT32_MAX ? adInteger : adBigInt;
    }
    case SQLITE_FLOAT:
      return adDouble;
    case SQLITE_TEXT:
      return adVarWChar;
    case SQLITE_BLOB:
      return adLongVarBinary;
    default:
      return adVariant;
  }
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

// The rest of a large result, read on a thread of its own so that the
// statement, and with it the lock that keeps other connections from
// committing (SQLite's shared lock of a database in rollback-journal mode),
// ends promptly whatever the record set does. The thread steps the
// statement the driver began (the connection is in serialized mode; it
// holds the connection's mutex while it reads a turn of rows, so a
// statement of the record set's own thread runs between turns), decodes
// into blocks and hands each full block over. Nothing else of the record
// set runs on it: the record set takes the blocks in its own thread when an
// operation needs rows.
class BackgroundRead final : public RowReader {
 public:
  BackgroundRead(sqlite3* db, sqlite3_stmt* st, const std::vector<ColumnInfo>& columns,
                 BlockWriter writer, std::string sql)
      : db_(db), st_(st), writer_(std::move(writer)), sql_(std::move(sql)) {
    for (const auto& c : columns) {
      types_.push_back(c.type);
      currency_.push_back(NumericAsCurrency(c));
    }
    thread_ = std::thread([this] { run(); });
  }

  // The store no longer wants the rows: the thread stops at the next row.
  ~BackgroundRead() override {
    stop_.store(true, std::memory_order_relaxed);
    if (thread_.joinable()) thread_.join();
  }

  void fetch(RowStore& store, std::size_t rows) override {
    std::vector<std::unique_ptr<RowBlock>> blocks;
    bool done = false;
    std::exception_ptr error;
    {
      std::unique_lock lock(mutex_);
      ready_.wait(lock, [&] { return done_ || store.rows() + readyRows_ >= rows; });
      blocks.swap(blocks_);
      readyRows_ = 0;
      done = done_;
      error = error_;
    }
    for (auto& b : blocks)
      store.append(std::move(b));
    if (!done) return;
    if (thread_.joinable()) thread_.join();
    if (error)
      store.fail(error);  // may destroy this reader: nothing after it
    else
      store.finish();
  }

  // Waits until the statement has been read to its end (or failed).
  void waitUntilDone() {
    {
      std::unique_lock lock(mutex_);
      ready_.wait(lock, [&] { return done_; });
    }
    if (thread_.joinable()) thread_.join();
  }

 private:
  static constexpr int kRowsPerTurn = 256;

  void publish(std::unique_ptr<RowBlock> block) {
    if (!block) return;
    std::lock_guard lock(mutex_);
    readyRows_ += block->rows;
    blocks_.push_back(std::move(block));
    ready_.notify_all();
  }

  void run() {
    std::exception_ptr error;
    try {
      int rc = SQLITE_ROW;
      const int columns = static_cast<int>(types_.size());
      while (rc == SQLITE_ROW && !stop_.load(std::memory_order_relaxed)) {
        DbLock lock(db_);
        for (int turn = 0; turn < kRowsPerTurn; ++turn) {
          rc = sqlite3_step(st_);
          if (rc != SQLITE_ROW) break;
          for (int i = 0; i < columns; ++i)
            DecodeValue(st_, i, types_[static_cast<std::size_t>(i)],
                        currency_[static_cast<std::size_t>(i)] != 0, writer_);
          if (writer_.endRow()) publish(writer_.take());
        }
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
          const int code = sqlite3_extended_errcode(db_);
          const std::string message = sqlite3_errmsg(db_);
          try {
            RaiseSqlite(code, message, sql_);
          } catch (...) {
            error = std::current_exception();
          }
        }
      }
      publish(writer_.take());
    } catch (...) {
      error = std::current_exception();
    }
    sqlite3_finalize(st_);
    st_ = nullptr;
    std::lock_guard lock(mutex_);
    done_ = true;
    error_ = error;
    ready_.notify_all();
  }

  sqlite3* db_;
  sqlite3_stmt* st_;
  std::vector<std::int32_t> types_;
  std::vector<std::uint8_t> currency_;
  BlockWriter writer_;
  std::string sql_;
  std::atomic<bool> stop_{false};

  std::mutex mutex_;  // guards what follows
  std::condition_variable ready_;
  std::vector<std::unique_ptr<RowBlock>> blocks_;
  std::size_t readyRows_ = 0;
  bool done_ = false;
  std::exception_ptr error_;

  std::thread thread_;  // last: it starts once everything above is set
};

DeclaredType MapDeclaredType(std::string_view declared) {
  DeclaredType out;
  const std::string u = Upper(declared);
  // "(n)" or "(p,s)".
  if (const auto open = u.find('('); open != std::string::npos) {
    int a = 0, b = 0;
    const int got = std::sscanf(u.c_str() + open, "(%d , %d", &a, &b);
    if (got >= 1 && a > 0) {
      out.size = a;
      out.precision = static_cast<std::uint8_t>(std::min(a, 255));
      if (got == 2 && b >= 0) out.scale = static_cast<std::uint8_t>(std::min(b, 255));
    }
  }
  const std::string base = u.substr(0, u.find('('));
  auto has = [&](const char* w) { return Contains(base, w); };
  if (base.empty())
    out.type = adVariant;
  else if (has("BIGINT") || has("INT8"))
    out.type = adBigInt;
  else if (has("SMALLINT") || has("INT2"))
    out.type = adSmallInt;
  else if (has("TINYINT"))
    out.type = adTinyInt;
  else if (has("BOOL") || base == "BIT")
    out.type = adBoolean;
  else if (has("POINT"))
    out.type = adVariant;
  else if (has("INT"))
    out.type = adInteger;
  else if (has("SINGLE") || has("FLOAT4"))
    out.type = adSingle;
  else if (has("REAL") || has("DOUB") || has("FLOA"))
    out.type = adDouble;
  else if (has("MONEY") || has("CURRENCY"))
    out.type = adCurrency;
  else if (has("NUMERIC") || has("DECIMAL"))
    out.type = adNumeric;
  else if (has("DATETIME") || has("TIMESTAMP"))
    out.type = adDBTimeStamp;
  else if (has("DATE"))
    out.type = adDBDate;
  else if (has("TIME"))
    out.type = adDBTime;
  else if (has("GUID") || has("UUID") || has("UNIQUEIDENTIFIER"))
    out.type = adGUID;
  else if (has("VARBINARY"))
    out.type = adVarBinary;
  else if (has("BINARY"))
    out.type = adBinary;
  else if (has("BLOB") || has("BYTEA") || has("IMAGE"))
    out.type = adLongVarBinary;
  else if (has("MEMO") || has("NTEXT") || has("LONGTEXT") || has("CLOB"))
    out.type = adLongVarWChar;
  else if (has("VARCHAR") || has("VARYING") || has("TEXT") || has("STRING"))
    out.type = adVarWChar;
  else if (has("CHAR"))
    out.type = adWChar;
  else
    out.type = adVariant;
  if (out.type != adNumeric && out.type != adCurrency) {
    out.precision = 0;
    out.scale = 0;
  }
  if (out.type != adWChar && out.type != adVarWChar && out.type != adBinary &&
      out.type != adVarBinary)
    out.size = 0;
  return out;
}

bool AcceptsConnectionString(std::string_view text) {
  return text.size() >= 7 && EqualsNoCase(text.substr(0, 7), "sqlite:");
}

std::unique_ptr<Driver> Open(std::string_view text) {
  std::string_view rest = text.substr(7);
  if (rest.starts_with("//")) rest.remove_prefix(2);  // sqlite:///abs/path
  if (rest.empty())
    throw Error(err::ProviderError, "Connection",
                "The SQLite connection string \"" + std::string(text) + "\" names no file.");
  return std::make_unique<SqliteDriver>(std::string(rest));
}

SqliteDriver::SqliteDriver(const std::string& path) : path_(path) {
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(
      path.c_str(), &db,
      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI | SQLITE_OPEN_FULLMUTEX,
      nullptr);
  if (rc != SQLITE_OK) {
    std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close(db);
    throw Error(err::ProviderError, "Connection",
                "Cannot open the SQLite database \"" + path + "\": " + message);
  }
  db_ = db;
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_timeout(db_, 5000);
  // SQLite leaves foreign keys unchecked unless each connection asks: a
  // delete of a row that others refer to must be refused, as on a server.
  char* error = nullptr;
  if (sqlite3_exec(db_, "PRAGMA foreign_keys = ON", nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string message = error ? error : "unknown error";
    sqlite3_free(error);
    close();
    throw Error(err::ProviderError, "Connection",
                "Cannot open the SQLite database \"" + path + "\": " + message);
  }
}

void SqliteDriver::setLockTimeout(std::int32_t milliseconds) {
  if (db_) sqlite3_busy_timeout(db_, milliseconds > 0 ? milliseconds : 0);
}

SqliteDriver::~SqliteDriver() {
  close();
}

void SqliteDriver::clearCache() {
  for (auto& [sql, stmt] : lru_)
    sqlite3_finalize(stmt);
  lru_.clear();
  cache_.clear();
}

void SqliteDriver::close() {
  if (!db_) return;
  // Record sets keep their rows when the connection closes: reads still
  // under way finish first.
  finishReads();
  clearCache();
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

void SqliteDriver::finishReads() {
  auto reads = std::move(reads_);
  reads_.clear();
  for (auto& weak : reads)
    if (const auto read = weak.lock()) read->waitUntilDone();
}

void SqliteDriver::finishReadsBeforeWriting(const std::string& text) {
  std::erase_if(reads_, [](const auto& weak) { return weak.expired(); });
  if (reads_.empty()) return;
  bool readOnly;
  {
    DbLock lock(db_);
    readOnly = sqlite3_stmt_readonly(prepare(text)) != 0;
  }
  if (!readOnly) finishReads();
}

void SqliteDriver::raise(int code, std::string_view sql) const {
  RaiseSqlite(code, db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(code), sql);
}

void SqliteDriver::detach(sqlite3_stmt* stmt) {
  for (auto it = lru_.begin(); it != lru_.end(); ++it)
    if (it->second == stmt) {
      cache_.erase(it->first);
      lru_.erase(it);
      return;
    }
}

sqlite3_stmt* SqliteDriver::prepare(const std::string& sql) {
  if (!db_) throw Error(err::ConnectionUnusable, "Connection");
  if (const auto it = cache_.find(sql); it != cache_.end()) {
    lru_.splice(lru_.begin(), lru_, it->second);
    sqlite3_stmt* stmt = it->second->second;
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    return stmt;
  }
  sqlite3_stmt* stmt = nullptr;
  const char* tail = nullptr;
  const int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, &tail);
  if (rc != SQLITE_OK) raise(sqlite3_extended_errcode(db_), sql);
  if (!stmt) RaiseProviderError("The statement is empty.");
  // Anything after the statement's end but blanks, comments and semicolons
  // is a second statement: refused, never silently dropped.
  const char* end = sql.c_str() + sql.size();
  for (const char* p = tail; p && p < end;) {
    sqlite3_stmt* extra = nullptr;
    const char* next = nullptr;
    const int extraRc = sqlite3_prepare_v2(db_, p, static_cast<int>(end - p), &extra, &next);
    if (extra) sqlite3_finalize(extra);
    if (extraRc != SQLITE_OK || extra) {
      sqlite3_finalize(stmt);
      std::string_view rest(tail, static_cast<std::size_t>(end - tail));
      while (!rest.empty() &&
             (rest.front() == ';' || std::isspace(static_cast<unsigned char>(rest.front()))))
        rest.remove_prefix(1);
      RaiseSecondStatement(rest);
    }
    if (!next || next == p) break;
    p = next;
  }
  ++prepared_;
  lru_.emplace_front(sql, stmt);
  cache_[sql] = lru_.begin();
  if (lru_.size() > kCacheSize) {
    sqlite3_finalize(lru_.back().second);
    cache_.erase(lru_.back().first);
    lru_.pop_back();
  }
  return stmt;
}

void SqliteDriver::bind(sqlite3_stmt* stmt, const std::vector<Param>& params) {
  const int count = sqlite3_bind_parameter_count(stmt);
  if (count != static_cast<int>(params.size()))
    throw Error(err::WrongArguments, "SQLite",
                "The statement takes " + std::to_string(count) + " parameters but " +
                    std::to_string(params.size()) + " were given.");
  for (int i = 0; i < count; ++i) {
    const Variant& v = params[static_cast<std::size_t>(i)].value;
    const std::int32_t type = params[static_cast<std::size_t>(i)].type;
    int rc = SQLITE_OK;
    switch (v.type()) {
      case VarType::Empty:
      case VarType::Null:
        rc = sqlite3_bind_null(stmt, i + 1);
        break;
      case VarType::Integer:
        rc = sqlite3_bind_int64(stmt, i + 1, v.integer());
        break;
      case VarType::Long:
        rc = sqlite3_bind_int64(stmt, i + 1, v.lng());
        break;
      case VarType::Double:
        rc = sqlite3_bind_double(stmt, i + 1, v.dbl());
        break;
      case VarType::Currency:
        rc = sqlite3_bind_double(stmt, i + 1, v.currency().ToDouble());
        break;
      case VarType::Boolean:
        rc = sqlite3_bind_int(stmt, i + 1, v.boolean() ? 1 : 0);
        break;
      case VarType::Date: {
        const int what = type == adDBTime ? 1 : type == adDBTimeStamp ? 2 : 0;
        const std::string text = FormatIsoDate(v.date().serial, what);
        rc = sqlite3_bind_text(stmt, i + 1, text.data(), static_cast<int>(text.size()),
                               SQLITE_TRANSIENT);
        break;
      }
      case VarType::String:
        rc = sqlite3_bind_text(stmt, i + 1, v.string().data(), static_cast<int>(v.string().size()),
                               SQLITE_TRANSIENT);
        break;
      case VarType::ByteArray:
        rc = sqlite3_bind_blob(stmt, i + 1, v.bytes().data(), static_cast<int>(v.bytes().size()),
                               SQLITE_TRANSIENT);
        break;
      default:
        throw Error(err::TypeMismatch, "SQLite",
                    "A value of type " + v.typeName() + " cannot be stored in the database.");
    }
    if (rc != SQLITE_OK) raise(rc);
  }
}

std::string SqliteDriver::placeholder(int n) const {
  return "?" + std::to_string(n);
}

std::string SqliteDriver::equalsExpression(const std::string& quotedColumn,
                                           const ColumnInfo& column, const std::string& ph) const {
  // The same instant, however the text was written; to the millisecond, as
  // the record set holds a time read with more digits.
  if (IsDateType(column.type))
    return "(" + quotedColumn + " = " + ph + " OR abs(julianday(" + quotedColumn +
           ") - julianday(" + ph + ")) * 86400000.0 < 1.0)";
  // Currency is read to four decimals: a stored 1.23456 was read as 1.2346.
  if (NumericAsCurrency(column))
    return "(" + quotedColumn + " = " + ph + " OR abs(" + quotedColumn + " - " + ph +
           ") <= 0.00005)";
  return quotedColumn + " = " + ph;
}

std::vector<std::string> SqliteDriver::primaryKey(std::string_view table) {
  const std::string key = Lower(table);
  if (const auto it = keys_.find(key); it != keys_.end()) return it->second;
  DbLock lock(db_);
  sqlite3_stmt* st = prepare("SELECT name, pk FROM pragma_table_info(?1) WHERE pk > 0 ORDER BY pk");
  sqlite3_bind_text(st, 1, table.data(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
  std::vector<std::string> names;
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW)
    names.emplace_back(ColumnText(st, 0));
  sqlite3_reset(st);
  if (rc != SQLITE_DONE) raise(sqlite3_extended_errcode(db_));
  keys_[key] = names;
  return names;
}

namespace {

// A name SQL text can write without quotes: letters, digits and
// underscores, not starting with a digit, and no keyword.
bool IsPlainName(std::string_view name) {
  if (name.empty() || std::isdigit(static_cast<unsigned char>(name.front()))) return false;
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  return !sqlite3_keyword_check(name.data(), static_cast<int>(name.size()));
}

}  // namespace

TableSchema SqliteDriver::describeTable(std::string_view table) {
  if (!db_) throw Error(err::ConnectionUnusable, "Connection");
  DbLock lock(db_);
  // The table info covers tables and views of every attached schema; a name
  // that is neither gives no rows.
  sqlite3_stmt* st =
      prepare("SELECT name, type, \"notnull\", pk FROM pragma_table_info(?1) ORDER BY cid");
  sqlite3_bind_text(st, 1, table.data(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
  TableSchema schema;
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    TableColumn column;
    column.info.name = std::string(ColumnText(st, 0));
    column.declaredType = std::string(ColumnText(st, 1));
    const DeclaredType declared = MapDeclaredType(column.declaredType);
    column.info.type = declared.type;
    column.info.definedSize = declared.size;
    column.info.precision = declared.precision;
    column.info.numericScale = declared.scale;
    column.info.baseTable = std::string(table);
    column.info.baseColumn = column.info.name;
    column.notNull = sqlite3_column_int(st, 2) != 0;
    column.keyPosition = sqlite3_column_int(st, 3);
    column.plainName = IsPlainName(column.info.name);
    schema.columns.push_back(std::move(column));
  }
  sqlite3_reset(st);
  sqlite3_clear_bindings(st);
  if (rc != SQLITE_DONE) raise(sqlite3_extended_errcode(db_));
  schema.exists = !schema.columns.empty();
  if (schema.exists)
    schema.reference = IsPlainName(table) ? std::string(table) : quoteIdentifier(table);
  return schema;
}

sqlite3_stmt* SqliteDriver::prepareQuery(const std::string& text, const std::vector<Param>& params,
                                         const QueryOptions& options, std::string& locatorTable) {
  sqlite3_stmt* st = prepare(text);
  // A table without a declared key is located by its rowid: when every
  // column comes from that one table, run the query again with the rowid
  // added to the select list.
  if (options.wantRowLocator && params.empty() && sqlite3_stmt_readonly(st)) {
    const int n = sqlite3_column_count(st);
    std::string table;
    bool single = n > 0;
    for (int i = 0; i < n && single; ++i) {
      const char* t = sqlite3_column_table_name(st, i);
      if (!t || (!table.empty() && !EqualsNoCase(table, t)))
        single = false;
      else
        table = t;
    }
    if (single && !HasTopLevelKeyword(text, "DISTINCT") && !HasTopLevelKeyword(text, "GROUP") &&
        !HasTopLevelKeyword(text, "UNION") && !HasTopLevelKeyword(text, "INTERSECT") &&
        !HasTopLevelKeyword(text, "EXCEPT") && primaryKey(table).empty()) {
      // After the leading SELECT keyword.
      std::size_t p = 0;
      while (p < text.size() && std::isspace(static_cast<unsigned char>(text[p])))
        ++p;
      if (text.size() >= p + 6 && EqualsNoCase(std::string_view(text).substr(p, 6), "SELECT")) {
        std::string withLocator =
            text.substr(0, p + 6) + " rowid AS " + kLocatorName + "," + text.substr(p + 6);
        sqlite3_stmt* located = nullptr;
        try {
          located = prepare(withLocator);
        } catch (const Error&) {
          located = nullptr;  // an alias or a view: no locator, the rows stay read-only
        }
        if (located) {
          st = located;
          locatorTable = table;
        }
      }
    }
    if (locatorTable.empty()) st = prepare(text);  // reset after the metadata look
  }
  bind(st, params);
  return st;
}

std::vector<ColumnInfo> SqliteDriver::columnsOf(sqlite3_stmt* st, const std::string& locatorTable,
                                                std::vector<bool>& fromStorage) {
  const int n = sqlite3_column_count(st);
  std::vector<ColumnInfo> columns(static_cast<std::size_t>(n));
  fromStorage.assign(static_cast<std::size_t>(n), false);
  for (int i = 0; i < n; ++i) {
    ColumnInfo& c = columns[static_cast<std::size_t>(i)];
    const char* name = sqlite3_column_name(st, i);
    c.name = name ? name : "";
    if (const char* t = sqlite3_column_table_name(st, i)) c.baseTable = t;
    if (const char* o = sqlite3_column_origin_name(st, i)) c.baseColumn = o;
    const char* decl = sqlite3_column_decltype(st, i);
    if (decl && *decl) {
      const DeclaredType d = MapDeclaredType(decl);
      c.type = d.type;
      c.definedSize = d.size;
      c.precision = d.precision;
      c.numericScale = d.scale;
    } else {
      fromStorage[static_cast<std::size_t>(i)] = true;
    }
  }
  if (!locatorTable.empty()) {
    ColumnInfo& c = columns[0];
    c.hidden = true;
    c.baseTable = locatorTable;
    c.baseColumn = "rowid";
    c.type = adBigInt;
    fromStorage[0] = false;
  }
  return columns;
}

ResultSet SqliteDriver::query(std::string_view sql, const std::vector<Param>& params,
                              const QueryOptions& options) {
  if (!db_) throw Error(err::ConnectionUnusable, "Connection");
  const std::string text = RewriteTop(sql);
  finishReadsBeforeWriting(text);
  DbLock lock(db_);
  std::string locatorTable;
  sqlite3_stmt* st = prepareQuery(text, params, options, locatorTable);

  ResultSet result;
  std::vector<bool> fromStorage;
  result.columns = columnsOf(st, locatorTable, fromStorage);
  const int n = static_cast<int>(result.columns.size());
  std::vector<bool> currency(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i)
    currency[static_cast<std::size_t>(i)] =
        NumericAsCurrency(result.columns[static_cast<std::size_t>(i)]);

  // Rows are read into blocks: no reallocation of one huge array.
  const std::size_t blockValues = ResultSet::kBlockRows * static_cast<std::size_t>(n);
  int rc;
  bool first = true;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    if (first) {
      for (int i = 0; i < n; ++i)
        if (fromStorage[static_cast<std::size_t>(i)])
          result.columns[static_cast<std::size_t>(i)].type = TypeFromStorage(st, i);
      first = false;
    }
    if (result.blocks.empty() || result.blocks.back().size() == blockValues) {
      result.blocks.emplace_back();
      result.blocks.back().reserve(blockValues);
    }
    VariantSink sink{result.blocks.back()};
    for (int i = 0; i < n; ++i)
      DecodeValue(st, i, result.columns[static_cast<std::size_t>(i)].type,
                  currency[static_cast<std::size_t>(i)], sink);
  }
  if (rc != SQLITE_DONE) {
    const int code = sqlite3_extended_errcode(db_);
    sqlite3_reset(st);
    raise(code, text);
  }
  sqlite3_reset(st);
  sqlite3_clear_bindings(st);
  return result;
}

std::shared_ptr<RowStore> SqliteDriver::openRows(std::string_view sql,
                                                 const std::vector<Param>& params,
                                                 const QueryOptions& options) {
  if (!db_) throw Error(err::ConnectionUnusable, "Connection");
  const std::string text = RewriteTop(sql);
  finishReadsBeforeWriting(text);
  DbLock lock(db_);
  std::string locatorTable;
  sqlite3_stmt* st = prepareQuery(text, params, options, locatorTable);
  std::vector<bool> fromStorage;
  std::vector<ColumnInfo> columns = columnsOf(st, locatorTable, fromStorage);
  const int n = static_cast<int>(columns.size());

  int rc = sqlite3_step(st);
  if (rc == SQLITE_ROW)
    for (int i = 0; i < n; ++i)
      if (fromStorage[static_cast<std::size_t>(i)])
        columns[static_cast<std::size_t>(i)].type = TypeFromStorage(st, i);
  std::vector<bool> currency(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i)
    currency[static_cast<std::size_t>(i)] = NumericAsCurrency(columns[static_cast<std::size_t>(i)]);
  auto store = std::make_shared<RowStore>(columns);
  BlockWriter writer = store->writer();

  // The first block here; a statement that goes on past it is read to its
  // end by a thread of its own when the connection can be shared with one
  // (and the statement only reads), else here.
  const bool background =
      sqlite3_stmt_readonly(st) && sqlite3_threadsafe() != 0 && sqlite3_db_mutex(db_) != nullptr;
  while (rc == SQLITE_ROW) {
    for (int i = 0; i < n; ++i)
      DecodeValue(st, i, columns[static_cast<std::size_t>(i)].type,
                  currency[static_cast<std::size_t>(i)], writer);
    if (writer.endRow()) {
      store->append(writer.take());
      if (background) {
        std::shared_ptr<BackgroundRead> read;
        try {
          read = std::make_shared<BackgroundRead>(db_, st, columns, std::move(writer), text);
        } catch (const std::system_error& e) {  // no thread to be had
          sqlite3_reset(st);
          throw Error(err::ProviderError, "SQLite",
                      std::string("The rows cannot be read: ") + e.what());
        }
        detach(st);  // the read owns the statement now
        reads_.push_back(read);
        store->setReader(std::move(read));
        return store;
      }
    }
    rc = sqlite3_step(st);
  }
  if (rc != SQLITE_DONE) {
    const int code = sqlite3_extended_errcode(db_);
    sqlite3_reset(st);
    raise(code, text);
  }
  sqlite3_reset(st);
  sqlite3_clear_bindings(st);
  store->append(writer.take());
  store->finish();
  return store;
}

std::int64_t SqliteDriver::execute(std::string_view sql, const std::vector<Param>& params) {
  if (!db_) throw Error(err::ConnectionUnusable, "Connection");
  const std::string text = RewriteTop(sql);
  finishReads();  // a write never shows in a result opened before it
  DbLock lock(db_);
  if (!params.empty()) {
    sqlite3_stmt* st = prepare(text);
    bind(st, params);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) {
      const int code = sqlite3_extended_errcode(db_);
      sqlite3_reset(st);
      raise(code, text);
    }
    sqlite3_reset(st);
    return sqlite3_changes64(db_);
  }
  // Several statements, each prepared once (not cached: usually DDL).
  keys_.clear();
  std::int64_t affected = 0;
  const char* p = text.c_str();
  const char* end = p + text.size();
  while (p < end) {
    sqlite3_stmt* st = nullptr;
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(db_, p, static_cast<int>(end - p), &st, &tail);
    if (rc != SQLITE_OK) raise(sqlite3_extended_errcode(db_));
    p = tail;
    if (!st) continue;  // blanks or a comment
    ++prepared_;
    const std::int64_t before = sqlite3_total_changes64(db_);
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    }
    const int code = sqlite3_extended_errcode(db_);
    const std::string statement = rc != SQLITE_DONE ? sqlite3_sql(st) : "";
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) raise(code, statement);
    affected += sqlite3_total_changes64(db_) - before;
  }
  return affected;
}

}  // namespace kiv::sqlite
