// Record source benchmarks over a generated SQLite table (1,000,000 rows of
// 8 mixed columns by default; KIV_BENCH_ROWS sets another count). Each
// library operation runs beside a bare loop doing the same work in the same
// run; the ratios are printed at the end, each beside what its bare loop
// does:
//   open      Recordset::Open and RecordCount (every row read) at 10k, 100k
//             and all rows, vs a prepare/step loop keeping every row as one
//             plain struct of the same typed values (64-bit integers, texts,
//             doubles, the amount as scaled currency, the date parsed to a
//             serial, a bool). CPU time of the whole process (the record
//             set reads in a thread of its own).
//   first     Open until the first record's values are read (wall time) vs
//             a prepare, the first step and one block (4,096 rows) of the
//             same typed values
//   walk      MoveFirst..EOF reading every field with Field::Value vs
//             copying every cell of the plain structs into a Variant per
//             field (what Field::Value hands out), and into one reused
//             plain struct
//   find      Find "name LIKE '*zz*'" (no match) vs a loop over the plain
//             structs' names testing each for "zz" without regard to case
//   sort      Sort "name" vs upper-casing every name into one buffer and a
//             std::stable_sort of (folded name, row) pairs
//   code      one SELECT TOP 1 code ... WHERE code = '...' through
//             Recordset::Open on an indexed column vs a bare prepared lookup
//   bookmark  setting Bookmark after a sort, per call (no bare loop)
//   memory    heap held by one opened record set, and by the form's search
//             over its own statement (the form's set, a second set over the
//             same rows, sorted by name), vs the plain structs

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "BenchSupport.h"
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

// The bare loop's plain row: the values the record set keeps, typed alike.
struct PlainRow {
  long long id;
  std::string code;
  std::string name;
  long long qty;
  double price;
  long long amount;  // currency, scaled by 10,000
  double due;        // date serial
  bool active;
};

using namespace kivbench;

void Generate() {
  Sequence seq;
  char buf[64];
  std::string name;
  gPath = GenerateDatabase(
      "kiv-bench",
      "CREATE TABLE T (id INTEGER PRIMARY KEY, code VARCHAR(10), name VARCHAR(40), qty INTEGER,"
      " price DOUBLE PRECISION, amount NUMERIC(10,2), due DATE, active BOOLEAN)",
      "INSERT INTO T VALUES (?,?,?,?,?,?,?,?)", gRows,
      [&](sqlite3_stmt* st, int i) {
        sqlite3_bind_int(st, 1, i);
        std::snprintf(buf, sizeof buf, "C%07d", i);
        sqlite3_bind_text(st, 2, buf, -1, SQLITE_TRANSIENT);
        name = CustomerName(seq);
        sqlite3_bind_text(st, 3, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 4, static_cast<int>(seq.next() % 1000));
        sqlite3_bind_double(st, 5, (seq.next() % 100000) / 100.0);
        sqlite3_bind_double(st, 6, (seq.next() % 1000000) / 100.0);
        std::snprintf(buf, sizeof buf, "20%02u-%02u-%02u", seq.next() % 30, 1 + seq.next() % 12,
                      1 + seq.next() % 28);
        sqlite3_bind_text(st, 7, buf, -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 8, static_cast<int>(seq.next() % 2));
      },
      "CREATE UNIQUE INDEX T_code ON T(code)");
}

// "yyyy-mm-dd" as a date serial (days since 30 December 1899).
double DateSerialOf(const char* p) {
  const int y = std::atoi(p), m = std::atoi(p + 5), d = std::atoi(p + 8);
  const int yy = y - (m <= 2);
  const int era = yy / 400, yoe = yy - era * 400;
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097.0 + doe - 719468 + 25569;
}

PlainRow RowOf(sqlite3_stmt* st) {
  const auto* due = reinterpret_cast<const char*>(sqlite3_column_text(st, 6));
  return PlainRow{sqlite3_column_int64(st, 0),
                  ColumnText(st, 1),
                  ColumnText(st, 2),
                  sqlite3_column_int64(st, 3),
                  sqlite3_column_double(st, 4),
                  std::llround(sqlite3_column_double(st, 5) * 10000.0),
                  due ? DateSerialOf(due) : 0.0,
                  sqlite3_column_int(st, 7) != 0};
}

std::string Select(int rows) {
  return rows >= gRows ? "SELECT * FROM T" : "SELECT * FROM T WHERE id <= " + std::to_string(rows);
}

std::vector<PlainRow> BareLoad(sqlite3* db, int rows = 0) {
  std::vector<PlainRow> out;
  sqlite3_stmt* st = nullptr;
  Check(sqlite3_prepare_v2(db, Select(rows ? rows : gRows).c_str(), -1, &st, nullptr), db);
  while (sqlite3_step(st) == SQLITE_ROW)
    out.push_back(RowOf(st));
  sqlite3_finalize(st);
  return out;
}

std::vector<PlainRow> BareRows() {
  sqlite3* db = nullptr;
  sqlite3_open(gPath.c_str(), &db);
  auto rows = BareLoad(db);
  sqlite3_close(db);
  return rows;
}

std::shared_ptr<Connection> Conn() {
  static auto c = Connection::OpenNew("sqlite:" + gPath);
  return c;
}

std::shared_ptr<Recordset> OpenAll(int rows = 0) {
  auto rs = std::make_shared<Recordset>();
  rs->CursorLocation(adUseClient);
  rs->Open(Select(rows ? rows : gRows), Conn(), adOpenKeyset, adLockReadOnly);
  return rs;
}

// --- open -------------------------------------------------------------------------

void BM_Open_Recordset(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  for (auto _ : state) {
    auto rs = OpenAll(rows);
    benchmark::DoNotOptimize(rs->RecordCount());
  }
}

void BM_Open_Bare(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  sqlite3* db = nullptr;
  sqlite3_open(gPath.c_str(), &db);
  for (auto _ : state) {
    auto loaded = BareLoad(db, rows);
    benchmark::DoNotOptimize(loaded.data());
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
                                q.value(4).toDouble(), std::llround(q.value(5).toDouble() * 1e4),
                                DateSerialOf(q.value(6).toString().toStdString().c_str()),
                                q.value(7).toBool()});
      benchmark::DoNotOptimize(rows.data());
    }
    db.close();
  }
  QSqlDatabase::removeDatabase("bench");
}
#endif

// --- first record --------------------------------------------------------------------

double Since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void BM_First_Recordset(benchmark::State& state) {
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    auto rs = OpenAll();
    std::size_t seen = 0;
    for (std::int32_t i = 0; i < 8; ++i)
      seen += (*rs)[i].Value().isNull() ? 0 : 1;
    state.SetIterationTime(Since(t0));
    benchmark::DoNotOptimize(seen);
  }
}

void BM_First_Bare(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open(gPath.c_str(), &db);
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    sqlite3_stmt* st = nullptr;
    Check(sqlite3_prepare_v2(db, "SELECT * FROM T", -1, &st, nullptr), db);
    std::vector<PlainRow> rows;
    rows.reserve(4096);
    while (rows.size() < 4096 && sqlite3_step(st) == SQLITE_ROW)
      rows.push_back(RowOf(st));
    state.SetIterationTime(Since(t0));
    sqlite3_finalize(st);
    benchmark::DoNotOptimize(rows.data());
  }
  sqlite3_close(db);
}

// --- walk ----------------------------------------------------------------------------

void BM_Walk_Recordset(benchmark::State& state) {
  auto rs = OpenAll();
  rs->RecordCount();
  Fields& fields = rs->Fields();
  const std::int32_t count = fields.Count();
  for (auto _ : state) {
    for (rs->MoveFirst(); !rs->EOF(); rs->MoveNext())
      for (std::int32_t i = 0; i < count; ++i)
        benchmark::DoNotOptimize(&fields[i].Value());
  }
}

// Copies every cell into a Variant per field (text buffers reused, values
// set in place), as Field::Value hands them out.
void BM_Walk_Bare(benchmark::State& state) {
  const auto rows = BareRows();
  Variant cells[8];
  for (auto _ : state) {
    for (const PlainRow& r : rows) {
      cells[0].assign(static_cast<std::int32_t>(r.id));
      cells[1].assignText(r.code);
      cells[2].assignText(r.name);
      cells[3].assign(static_cast<std::int32_t>(r.qty));
      cells[4].assign(r.price);
      cells[5].assign(Currency{r.amount});
      cells[6].assign(DateTime{r.due});
      cells[7].assign(r.active);
      for (const Variant& v : cells)
        benchmark::DoNotOptimize(&v);
    }
  }
}

// Copies every cell into one reused plain struct.
void BM_Walk_Plain(benchmark::State& state) {
  const auto rows = BareRows();
  PlainRow copy{};
  for (auto _ : state) {
    for (const PlainRow& r : rows) {
      copy.id = r.id;
      copy.code = r.code;
      copy.name = r.name;
      copy.qty = r.qty;
      copy.price = r.price;
      copy.amount = r.amount;
      copy.due = r.due;
      copy.active = r.active;
      benchmark::DoNotOptimize(&copy);
    }
  }
}

// --- find ----------------------------------------------------------------------------

void BM_Find_Recordset(benchmark::State& state) {
  auto rs = OpenAll();
  rs->RecordCount();
  for (auto _ : state) {
    rs->MoveFirst();
    rs->Find("name LIKE '*zz*'");
    benchmark::DoNotOptimize(rs->EOF());
  }
}

void BM_Find_Bare(benchmark::State& state) {
  const auto rows = BareRows();
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

// --- sort ----------------------------------------------------------------------------

void BM_Sort_Recordset(benchmark::State& state) {
  auto rs = OpenAll();
  rs->RecordCount();
  for (auto _ : state) {
    rs->Sort("name");
    benchmark::DoNotOptimize(rs->AbsolutePosition());
  }
}

void BM_Sort_Bare(benchmark::State& state) {
  const auto rows = BareRows();
  for (auto _ : state) {
    std::string folded;
    std::vector<std::size_t> offsets;
    offsets.reserve(rows.size() + 1);
    for (const auto& r : rows) {
      offsets.push_back(folded.size());
      for (char c : r.name)
        folded.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c);
    }
    offsets.push_back(folded.size());
    std::vector<std::pair<std::string_view, std::uint32_t>> keys;
    keys.reserve(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
      keys.emplace_back(std::string_view(folded).substr(offsets[i], offsets[i + 1] - offsets[i]),
                        static_cast<std::uint32_t>(i));
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    benchmark::DoNotOptimize(keys.data());
  }
}

// --- code check ----------------------------------------------------------------------

void BM_CodeCheck_Recordset(benchmark::State& state) {
  auto c = Conn();
  long long i = 0;
  for (auto _ : state) {
    auto rs = std::make_shared<Recordset>();
    rs->CursorLocation(adUseClient);
    rs->Open("SELECT TOP 1 code FROM T WHERE code = '" + CodeFor(i++ * 7919, gRows) + "'", c,
             adOpenKeyset, adLockReadOnly);
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
    const std::string code = CodeFor(i++ * 7919, gRows);
    sqlite3_bind_text(st, 1, code.c_str(), static_cast<int>(code.size()), SQLITE_TRANSIENT);
    bool found = sqlite3_step(st) == SQLITE_ROW;
    std::string value = found ? reinterpret_cast<const char*>(sqlite3_column_text(st, 0)) : "";
    sqlite3_reset(st);
    benchmark::DoNotOptimize(value.data());
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
}

// --- bookmark ------------------------------------------------------------------------

void BM_Bookmark_Recordset(benchmark::State& state) {
  auto rs = OpenAll();
  rs->Sort("name");
  rs->MoveLast();
  const Variant last = rs->Bookmark();
  rs->MoveFirst();
  const Variant first = rs->Bookmark();
  bool flip = false;
  for (auto _ : state) {
    rs->Bookmark(flip ? first : last);
    flip = !flip;
  }
}

// --- ratios -------------------------------------------------------------------------

// Heap held by what `make` returns, while it is alive.
template <class F>
double HeldBy(F&& make) {
  const long long base = gLive.load();
  auto held = make();
  const auto bytes = static_cast<double>(gLive.load() - base);
  benchmark::DoNotOptimize(held);
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef KIV_BENCH_QT
  QCoreApplication app(argc, argv);
#endif
  gRows = RowsFromEnvironment(gRows);
  std::printf("Generating %d rows in a temporary SQLite file...\n", gRows);
  Generate();

  // Memory: heap held once every row is read (SQLite's page cache is
  // outside both sides).
  const double memBare = HeldBy([] { return BareRows(); });
  const double memOpen = HeldBy([] {
    auto rs = OpenAll();
    rs->RecordCount();
    return rs;
  });
  const double memSearch = HeldBy([] {
    auto form = OpenAll();
    form->RecordCount();
    auto search = std::make_shared<Recordset>();
    search->LockType(adLockReadOnly);
    search->OpenClone(*form);
    search->Sort("name");
    return std::make_pair(form, search);
  });
  const double memTwice = HeldBy([] {
    auto a = OpenAll();
    auto b = OpenAll();
    a->RecordCount();
    b->RecordCount();
    return std::make_pair(a, b);
  });

  const int bigIterations = gRows >= 100000 ? 3 : 20;
  std::vector<int> sizes;
  for (int n : {10000, 100000})
    if (n < gRows) sizes.push_back(n);
  sizes.push_back(gRows);
  for (int n : sizes) {
    const int iterations = n >= 100000 ? bigIterations : 30;
    benchmark::RegisterBenchmark("open/Recordset", BM_Open_Recordset)
        ->Arg(n)
        ->MeasureProcessCPUTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(iterations);
    benchmark::RegisterBenchmark("open/bare", BM_Open_Bare)
        ->Arg(n)
        ->MeasureProcessCPUTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(iterations);
  }
#ifdef KIV_BENCH_QT
  benchmark::RegisterBenchmark("open/QSqlQuery", BM_Open_QSqlQuery)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(bigIterations);
#endif
  benchmark::RegisterBenchmark("first/Recordset", BM_First_Recordset)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond)
      ->Iterations(10);
  benchmark::RegisterBenchmark("first/bare", BM_First_Bare)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond)
      ->Iterations(10);
  benchmark::RegisterBenchmark("walk/Recordset", BM_Walk_Recordset)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(bigIterations);
  benchmark::RegisterBenchmark("walk/bare", BM_Walk_Bare)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(bigIterations);
  benchmark::RegisterBenchmark("walk/plain", BM_Walk_Plain)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(bigIterations);
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
  benchmark::RegisterBenchmark("bookmark/Recordset", BM_Bookmark_Recordset)
      ->Unit(benchmark::kNanosecond);

  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  int missed = 0;
  const auto verdict = [&](double value, double target) {
    if (value <= target) return "met";
    ++missed;
    return "MISSED";
  };
  const auto ratio = [&](const char* what, const std::map<std::string, double>& times,
                         const std::string& lib, const std::string& bare, double target,
                         const char* baseline) {
    const auto a = times.find(lib), b = times.find(bare);
    if (a == times.end() || b == times.end() || b->second <= 0) return;
    const double r = a->second / b->second;
    std::printf("%-30s %7.2fx (target <= %.1fx) %-6s [%.3g ms vs %.3g ms; bare: %s]\n", what, r,
                target, verdict(r, target), a->second * 1e3, b->second * 1e3, baseline);
  };
  std::printf("\nFigures over %d rows (ratios of process CPU time unless noted):\n", gRows);
  const char* typedLoop = "prepare/step keeping typed structs";
  for (int n : sizes) {
    const std::string arg = "/" + std::to_string(n);
    const auto lib = reporter.cpu.find("open/Recordset" + arg);
    const auto bare = reporter.cpu.find("open/bare" + arg);
    if (lib == reporter.cpu.end() || bare == reporter.cpu.end()) continue;
    std::printf("%-30s %7.0f ns a row (bare %.0f ns a row; %.2fx)\n",
                ("open " + std::to_string(n) + " rows").c_str(), lib->second * 1e9 / n,
                bare->second * 1e9 / n, lib->second / bare->second);
  }
  ratio("open, whole table", reporter.cpu, "open/Recordset/" + std::to_string(gRows),
        "open/bare/" + std::to_string(gRows), 1.2, typedLoop);
#ifdef KIV_BENCH_QT
  ratio("open vs QSqlQuery", reporter.cpu, "open/Recordset/" + std::to_string(gRows),
        "open/QSqlQuery", 1.0, "Qt's forward-only QSqlQuery keeping typed structs");
#endif
  if (reporter.real.count("first/Recordset")) {
    const double ms = reporter.real["first/Recordset"] * 1e3;
    std::printf("%-30s %7.2f ms (target <= 20 ms) %s\n", "first record (wall)", ms,
                verdict(ms, 20));
  }
  ratio("first record vs bare (wall)", reporter.real, "first/Recordset", "first/bare", 3.0,
        "prepare, first step and one block of 4096 typed rows");
  ratio("walk with Field::Value", reporter.cpu, "walk/Recordset", "walk/bare", 2.0,
        "copying every cell into a Variant per field");
  ratio("walk vs plain copies", reporter.cpu, "walk/Recordset", "walk/plain", 2.0,
        "copying every cell into one reused plain struct");
  ratio("find LIKE '*zz*' (miss)", reporter.cpu, "find/Recordset", "find/bare", 2.0,
        "case-insensitive scan of the names for \"zz\"");
  ratio("sort by name", reporter.cpu, "sort/Recordset", "sort/bare", 1.3,
        "names upper-cased into one buffer, std::stable_sort of (name, row)");
  ratio("code check", reporter.cpu, "code/Recordset", "code/bare", 3.0,
        "a prepared SELECT ... LIMIT 1 with a bound code");
  if (reporter.cpu.count("bookmark/Recordset"))
    std::printf("%-30s %7.0f ns a call after a sort (no scan of the order)\n", "set Bookmark",
                reporter.cpu["bookmark/Recordset"] * 1e9);
  if (memBare > 0) {
    std::printf("%-30s %7.0f bytes a row held; plain structs %.0f bytes a row\n", "memory",
                memOpen / gRows, memBare / gRows);
    std::printf("%-30s %7.2fx (target <= 1.2x) %s\n", "memory vs plain structs", memOpen / memBare,
                verdict(memOpen / memBare, 1.2));
    std::printf(
        "%-30s %7.2fx (target <= 1.3x) %s [form's set + a second set over its rows, "
        "sorted, vs one open]\n",
        "form's search, own statement", memSearch / memOpen, verdict(memSearch / memOpen, 1.3));
    std::printf("%-30s %7.2fx [two record sets each opening the statement, vs one open]\n",
                "two separate opens", memTwice / memOpen);
  }
  std::printf("%d target(s) missed\n", missed);
  std::filesystem::remove(gPath);
  return 0;
}
