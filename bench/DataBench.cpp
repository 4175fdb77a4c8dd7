// Record source benchmarks over a generated SQLite table (1,000,000 rows of
// 8 mixed columns by default; KIV_BENCH_ROWS sets another count). Each
// library operation runs beside a bare loop doing the same work in the same
// run; the ratios are printed at the end:
//   open     Recordset::Open of the whole table   vs a prepare/step loop
//            copying every value into plain C++ values (and Qt's forward-only
//            QSqlQuery, when built with Qt Sql, as the peer)
//   find     Find "name LIKE '*zz*'" (no match)   vs a hand-written
//            case-insensitive scan of the same texts
//   sort     Sort "name"                          vs std::stable_sort of
//            (text, index) pairs
//   code     one SELECT TOP 1 code ... WHERE code = '...' through
//            Recordset::Open on an indexed column vs a bare prepared lookup
//   memory   heap held by the opened record set   vs the bare loop's rows

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "kiv/data/Connection.h"
#include "kiv/data/Field.h"
#include "kiv/data/Fields.h"
#include "kiv/data/Recordset.h"

#ifdef KIV_BENCH_QT
#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#endif

// --- Heap accounting: live bytes and the peak since the last reset. -------------

namespace {
std::atomic<long long> gLive{0};
std::atomic<long long> gPeak{0};
}  // namespace

void* operator new(std::size_t n) {
  void* p = std::malloc(n + 16);
  if (!p) throw std::bad_alloc();
  *static_cast<std::size_t*>(p) = n;
  const long long live = gLive.fetch_add(static_cast<long long>(n)) + static_cast<long long>(n);
  long long peak = gPeak.load();
  while (live > peak && !gPeak.compare_exchange_weak(peak, live)) {
  }
  return static_cast<char*>(p) + 16;
}
void operator delete(void* p) noexcept {
  if (!p) return;
  char* base = static_cast<char*>(p) - 16;
  gLive.fetch_sub(static_cast<long long>(*reinterpret_cast<std::size_t*>(base)));
  std::free(base);
}
void operator delete(void* p, std::size_t) noexcept {
  operator delete(p);
}

namespace {

using namespace kiv;

std::string gPath;
int gRows = 1000000;

// The bare loop's plain row.
struct PlainRow {
  long long id;
  std::string code;
  std::string name;
  long long qty;
  double price;
  double amount;
  std::string due;
  bool active;
};

void Check(int rc, sqlite3* db) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
    std::exit(1);
  }
}

void Generate() {
  gPath = (std::filesystem::temp_directory_path() /
           ("kiv-bench-" + std::to_string(::getpid()) + ".sqlite"))
              .string();
  std::filesystem::remove(gPath);
  sqlite3* db = nullptr;
  Check(sqlite3_open(gPath.c_str(), &db), db);
  Check(sqlite3_exec(db,
                     "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
                     "CREATE TABLE T (id INTEGER PRIMARY KEY, code VARCHAR(10), name VARCHAR(40),"
                     " qty INTEGER, price DOUBLE PRECISION, amount NUMERIC(10,2), due DATE,"
                     " active BOOLEAN); BEGIN",
                     nullptr, nullptr, nullptr),
        db);
  sqlite3_stmt* st = nullptr;
  Check(sqlite3_prepare_v2(db, "INSERT INTO T VALUES (?,?,?,?,?,?,?,?)", -1, &st, nullptr), db);
  unsigned long long seed = 12345;
  auto next = [&] {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<unsigned>(seed >> 33);
  };
  char buf[64];
  for (int i = 1; i <= gRows; ++i) {
    sqlite3_bind_int(st, 1, i);
    std::snprintf(buf, sizeof buf, "C%07d", i);
    sqlite3_bind_text(st, 2, buf, -1, SQLITE_TRANSIENT);
    std::string name = "Customer ";
    const unsigned len = 6 + next() % 12;
    for (unsigned k = 0; k < len; ++k)
      name.push_back(static_cast<char>('a' + next() % 25));  // no z
    sqlite3_bind_text(st, 3, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(st, 4, static_cast<int>(next() % 1000));
    sqlite3_bind_double(st, 5, (next() % 100000) / 100.0);
    sqlite3_bind_double(st, 6, (next() % 1000000) / 100.0);
    std::snprintf(buf, sizeof buf, "20%02u-%02u-%02u", next() % 30, 1 + next() % 12,
                  1 + next() % 28);
    sqlite3_bind_text(st, 7, buf, -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(st, 8, static_cast<int>(next() % 2));
    Check(sqlite3_step(st), db);
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  Check(
      sqlite3_exec(db, "COMMIT; CREATE UNIQUE INDEX T_code ON T(code)", nullptr, nullptr, nullptr),
      db);
  sqlite3_close(db);
}

std::vector<PlainRow> BareLoad(sqlite3* db) {
  std::vector<PlainRow> rows;
  sqlite3_stmt* st = nullptr;
  Check(sqlite3_prepare_v2(db, "SELECT * FROM T", -1, &st, nullptr), db);
  while (sqlite3_step(st) == SQLITE_ROW) {
    auto text = [&](int c) {
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
      return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(st, c)))
               : std::string();
    };
    rows.push_back(PlainRow{sqlite3_column_int64(st, 0), text(1), text(2),
                            sqlite3_column_int64(st, 3), sqlite3_column_double(st, 4),
                            sqlite3_column_double(st, 5), text(6), sqlite3_column_int(st, 7) != 0});
  }
  sqlite3_finalize(st);
  return rows;
}

std::shared_ptr<Recordset> OpenAll(const std::shared_ptr<Connection>& c) {
  auto rs = std::make_shared<Recordset>();
  rs->CursorLocation(adUseClient);
  rs->Open("SELECT * FROM T", c, adOpenKeyset, adLockReadOnly);
  return rs;
}

std::shared_ptr<Connection> Conn() {
  static auto c = Connection::OpenNew("sqlite:" + gPath);
  return c;
}

// --- open ---------------------------------------------------------------------

void BM_Open_Recordset(benchmark::State& state) {
  for (auto _ : state) {
    auto rs = OpenAll(Conn());
    benchmark::DoNotOptimize(rs->RecordCount());
  }
}

void BM_Open_Bare(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open(gPath.c_str(), &db);
  for (auto _ : state) {
    auto rows = BareLoad(db);
    benchmark::DoNotOptimize(rows.data());
  }
  sqlite3_close(db);
}

#ifdef KIV_BENCH_QT
void BM_Open_QSqlQuery(benchmark::State& state) {
  {
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "bench");
    db.setDatabaseName(QString::fromStdString(gPath));
    db.open();
    for (auto _ : state) {
      std::vector<PlainRow> rows;
      QSqlQuery q(db);
      q.setForwardOnly(true);
      q.exec("SELECT * FROM T");
      while (q.next())
        rows.push_back(PlainRow{q.value(0).toLongLong(), q.value(1).toString().toStdString(),
                                q.value(2).toString().toStdString(), q.value(3).toLongLong(),
                                q.value(4).toDouble(), q.value(5).toDouble(),
                                q.value(6).toString().toStdString(), q.value(7).toBool()});
      benchmark::DoNotOptimize(rows.data());
    }
    db.close();
  }
  QSqlDatabase::removeDatabase("bench");
}
#endif

// --- find -----------------------------------------------------------------------

void BM_Find_Recordset(benchmark::State& state) {
  auto rs = OpenAll(Conn());
  for (auto _ : state) {
    rs->MoveFirst();
    rs->Find("name LIKE '*zz*'");
    benchmark::DoNotOptimize(rs->EOF());
  }
}

bool ContainsZZ(const std::string& s) {
  for (std::size_t i = 0; i + 1 < s.size(); ++i)
    if ((s[i] == 'z' || s[i] == 'Z') && (s[i + 1] == 'z' || s[i + 1] == 'Z')) return true;
  return false;
}

void BM_Find_Bare(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open(gPath.c_str(), &db);
  const auto rows = BareLoad(db);
  sqlite3_close(db);
  for (auto _ : state) {
    std::size_t hit = rows.size();
    for (std::size_t i = 0; i < rows.size(); ++i)
      if (ContainsZZ(rows[i].name)) {
        hit = i;
        break;
      }
    benchmark::DoNotOptimize(hit);
  }
}

// --- sort -----------------------------------------------------------------------

void BM_Sort_Recordset(benchmark::State& state) {
  auto rs = OpenAll(Conn());
  for (auto _ : state) {
    rs->Sort("name");
    benchmark::DoNotOptimize(rs->AbsolutePosition());
  }
}

void BM_Sort_Bare(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open(gPath.c_str(), &db);
  const auto rows = BareLoad(db);
  sqlite3_close(db);
  for (auto _ : state) {
    std::vector<std::pair<std::string_view, std::size_t>> keys;
    keys.reserve(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
      keys.emplace_back(rows[i].name, i);
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    benchmark::DoNotOptimize(keys.data());
  }
}

// --- code check -------------------------------------------------------------------

std::string CodeFor(long long i) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "C%07lld", 1 + i % gRows);
  return buf;
}

void BM_CodeCheck_Recordset(benchmark::State& state) {
  auto c = Conn();
  long long i = 0;
  for (auto _ : state) {
    auto rs = std::make_shared<Recordset>();
    rs->CursorLocation(adUseClient);
    rs->Open("SELECT TOP 1 code FROM T WHERE code = '" + CodeFor(i++ * 7919) + "'", c, adOpenKeyset,
             adLockReadOnly);
    benchmark::DoNotOptimize(rs->EOF());
    rs->Close();
  }
}

void BM_CodeCheck_Bare(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open(gPath.c_str(), &db);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "SELECT code FROM T WHERE code = ?1 LIMIT 1", -1, &st, nullptr);
  long long i = 0;
  for (auto _ : state) {
    const std::string code = CodeFor(i++ * 7919);
    sqlite3_bind_text(st, 1, code.c_str(), static_cast<int>(code.size()), SQLITE_TRANSIENT);
    bool found = sqlite3_step(st) == SQLITE_ROW;
    std::string value = found ? reinterpret_cast<const char*>(sqlite3_column_text(st, 0)) : "";
    sqlite3_reset(st);
    benchmark::DoNotOptimize(value.data());
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
}

// --- ratios -------------------------------------------------------------------------

// Records each benchmark's time per iteration (ns) beside the console output.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    // CPU time: the machine may be shared, and waiting is not the code's cost.
    for (const auto& r : runs)
      if (r.run_type == Run::RT_Iteration && r.iterations > 0) {
        std::string name = r.benchmark_name();
        if (const auto slash = name.find('/', name.find('/') + 1); slash != std::string::npos)
          name.resize(slash);  // drop "/iterations:3"
        times[name] = r.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
      }
  }
  std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
#ifdef KIV_BENCH_QT
  QCoreApplication app(argc, argv);
#endif
  if (const char* rows = std::getenv("KIV_BENCH_ROWS")) gRows = std::max(1, std::atoi(rows));
  std::printf("Generating %d rows in a temporary SQLite file...\n", gRows);
  Generate();

  // Memory: heap held after loading, against the bare rows (SQLite's own
  // page cache is outside both).
  double memRecordset = 0, memBare = 0;
  {
    const long long base = gLive.load();
    gPeak.store(base);
    auto rs = OpenAll(Conn());
    memRecordset = static_cast<double>(gPeak.load() - base);
    const double held = static_cast<double>(gLive.load() - base);
    std::printf("Recordset: peak %.1f MB while opening, %.1f MB held (%.0f bytes a row)\n",
                memRecordset / 1e6, held / 1e6, held / gRows);
    memRecordset = held;
  }
  {
    sqlite3* db = nullptr;
    sqlite3_open(gPath.c_str(), &db);
    const long long base = gLive.load();
    auto rows = BareLoad(db);
    memBare = static_cast<double>(gLive.load() - base);
    std::printf("Bare rows: %.1f MB held (%.0f bytes a row)\n", memBare / 1e6, memBare / gRows);
    sqlite3_close(db);
  }

  const int bigIterations = gRows >= 100000 ? 3 : 20;
  benchmark::RegisterBenchmark("open/Recordset", BM_Open_Recordset)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(bigIterations);
  benchmark::RegisterBenchmark("open/bare", BM_Open_Bare)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(bigIterations);
#ifdef KIV_BENCH_QT
  benchmark::RegisterBenchmark("open/QSqlQuery", BM_Open_QSqlQuery)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(bigIterations);
#endif
  benchmark::RegisterBenchmark("find/Recordset", BM_Find_Recordset)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("find/bare", BM_Find_Bare)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("sort/Recordset", BM_Sort_Recordset)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(bigIterations);
  benchmark::RegisterBenchmark("sort/bare", BM_Sort_Bare)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(bigIterations);
  benchmark::RegisterBenchmark("code/Recordset", BM_CodeCheck_Recordset)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("code/bare", BM_CodeCheck_Bare)->Unit(benchmark::kMicrosecond);

  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  auto ratio = [&](const char* name, const char* lib, const char* bare, double target) {
    const auto a = reporter.times.find(lib), b = reporter.times.find(bare);
    if (a == reporter.times.end() || b == reporter.times.end() || b->second <= 0) return;
    const double r = a->second / b->second;
    std::printf("%-24s %8.2fx  (target <= %.1fx) %s\n", name, r, target,
                r <= target ? "met" : "MISSED");
  };
  std::printf("\nRatios of CPU time against the bare loop (%d rows):\n", gRows);
  ratio("open vs bare", "open/Recordset", "open/bare", 1.5);
#ifdef KIV_BENCH_QT
  ratio("open vs QSqlQuery", "open/Recordset", "open/QSqlQuery", 1.0);
#endif
  ratio("find LIKE '*zz*'", "find/Recordset", "find/bare", 3.0);
  ratio("sort by name", "sort/Recordset", "sort/bare", 1.5);
  ratio("code check", "code/Recordset", "code/bare", 3.0);
  if (memBare > 0)
    std::printf("%-24s %8.2fx  (target <= 2.0x) %s\n", "memory held", memRecordset / memBare,
                memRecordset / memBare <= 2.0 ? "met" : "MISSED");
  std::filesystem::remove(gPath);
  return 0;
}
