// PostgreSQL benchmarks: the record set over the PostgreSQL driver against a
// bare libpq loop doing the same work, measured in the same run. They run
// when KIV_PG_URI names a server (the test fixture's URI, e.g.
// build/default/tests/postgres/pg-server/uri while it runs); otherwise they
// report that and skip. KIV_BENCH_ROWS sets the table's rows (100,000).
//
//   open:   Recordset::Open of "SELECT * FROM items" (5 columns) and
//           RecordCount (every row read), vs a libpq loop keeping every row
//           as one plain struct of the same typed values (texts, the
//           numeric as scaled currency, an integer, the timestamp parsed to
//           a serial), once over the whole result (PQexecParams) and once
//           row by row (single-row mode); the ratio is against the faster.
//   first:  Open until the first record's values are read, vs the first
//           block (4,096 rows) of a single-row-mode query kept as typed
//           structs, as the record set reads it (wall).
//   code:   one code looked up the way a field editor checks a typed code
//           (a new read-only record set for SELECT TOP 1 ... WHERE code =
//           '...') vs PQexecParams of the same lookup.
// Times are wall times (the server's work is the same on both sides) and
// the client's CPU time; the summary at the end gives both ratios.
#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <malloc.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "kiv/data/Connection.h"
#include "kiv/data/Field.h"
#include "kiv/data/Fields.h"
#include "kiv/data/Recordset.h"

namespace {

int gRows = 100000;

struct PgBench {
  std::string uri;  // the server's URI with search_path set to the bench schema
  std::string schema;
  PGconn* raw = nullptr;   // made the schema; drops it at exit
  PGconn* bare = nullptr;  // a fresh connection for the bare loops
  std::string error;
};

void Exec(PGconn* c, const std::string& sql) {
  PGresult* r = PQexec(c, sql.c_str());
  PQclear(r);
}

// The bench schema with its table, made once per run and dropped at exit.
PgBench& Bench() {
  static PgBench b = [] {
    PgBench s;
    // Keep freed memory in the heap: otherwise glibc hands a large result's
    // memory back to the system after each PQclear and the next run pays the
    // page faults again, which penalises whichever loop allocates least.
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    const char* env = std::getenv("KIV_PG_URI");
    if (!env || !*env) {
      s.error = "KIV_PG_URI is not set: no PostgreSQL server to measure";
      return s;
    }
    s.schema = "bench_" + std::to_string(getpid());
    const std::string base = env;
    s.uri = base + (base.find('?') == std::string::npos ? "?" : "&") + "options=-csearch_path%3D" +
            s.schema;
    s.raw = PQconnectdb(s.uri.c_str());
    if (PQstatus(s.raw) != CONNECTION_OK) {
      s.error = std::string("cannot connect: ") + PQerrorMessage(s.raw);
      return s;
    }
    PQsetNoticeProcessor(
        s.raw, [](void*, const char*) {}, nullptr);
    Exec(s.raw, "CREATE SCHEMA " + s.schema);
    Exec(s.raw,
         "CREATE TABLE items (code varchar(10) PRIMARY KEY, name varchar(40),"
         " price numeric(10,2), qty integer, created timestamp);"
         "INSERT INTO items SELECT 'C' || lpad(i::text, 7, '0'), 'Item number ' || i,"
         " i * 0.25, i % 100, timestamp '2024-01-01' + i * interval '1 minute'"
         " FROM generate_series(1, " +
             std::to_string(gRows) + ") i; ANALYZE items");
    s.bare = PQconnectdb(s.uri.c_str());
    std::atexit([] {
      PgBench& me = Bench();
      if (me.raw) {
        Exec(me.raw, "DROP SCHEMA IF EXISTS " + me.schema + " CASCADE");
        PQfinish(me.raw);
        PQfinish(me.bare);
        me.raw = me.bare = nullptr;
      }
    });
    return s;
  }();
  return b;
}

// Wall and CPU seconds per iteration of each benchmark, for the summary.
struct Times {
  double wall = 0, cpu = 0;
};
std::map<std::string, Times>& Measured() {
  static std::map<std::string, Times> times;
  return times;
}

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Runs `body` per iteration; a body that returns seconds reports those as
// its wall time (the part before it returns is what it measures).
template <class F>
void Measure(benchmark::State& state, const std::string& key, F&& body) {
  PgBench& b = Bench();
  if (!b.error.empty()) {
    state.SkipWithError(b.error.c_str());
    return;
  }
  // Warm up first: the first runs pay for growing the heap and cold caches.
  for (int i = 0; i < 2; ++i)
    body(b);
  double seconds = 0, cpu = 0;
  std::int64_t n = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    const double c0 = ThreadCpuSeconds();
    if constexpr (std::is_same_v<decltype(body(b)), double>) {
      seconds += body(b);
    } else {
      body(b);
      seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    cpu += ThreadCpuSeconds() - c0;
    ++n;
  }
  if (n > 0) Measured()[key] = {seconds / static_cast<double>(n), cpu / static_cast<double>(n)};
}

// The bare loop's plain row: the values the record set keeps, typed alike.
struct PlainRow {
  std::string code;
  std::string name;
  long long price;  // scaled by 10,000
  int qty;
  double created;  // date serial
};

long long Scaled(std::string_view text) {
  long long units = 0, frac = 0;
  int digits = -1;
  for (char c : text) {
    if (c == '.') {
      digits = 0;
    } else if (digits < 0) {
      units = units * 10 + (c - '0');
    } else if (digits < 4) {
      frac = frac * 10 + (c - '0');
      ++digits;
    }
  }
  for (int d = digits < 0 ? 0 : digits; d < 4; ++d)
    frac *= 10;
  return units * 10000 + frac;
}

// "yyyy-mm-dd hh:mm:ss" as a date serial.
double Serial(const char* p) {
  const int y = std::atoi(p), m = std::atoi(p + 5), d = std::atoi(p + 8);
  const int yy = y - (m <= 2), era = yy / 400, yoe = yy - era * 400;
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const double days = era * 146097.0 + doe - 719468 + 25569;
  const int hh = std::atoi(p + 11), mi = std::atoi(p + 14), ss = std::atoi(p + 17);
  return days + (hh * 3600 + mi * 60 + ss) / 86400.0;
}

PlainRow RowOf(const PGresult* r, int row) {
  auto text = [&](int c) {
    return std::string(PQgetvalue(r, row, c), static_cast<std::size_t>(PQgetlength(r, row, c)));
  };
  int qty = 0;
  const char* q = PQgetvalue(r, row, 3);
  std::from_chars(q, q + PQgetlength(r, row, 3), qty);
  return PlainRow{text(0), text(1), Scaled(PQgetvalue(r, row, 2)), qty,
                  Serial(PQgetvalue(r, row, 4))};
}

std::shared_ptr<kiv::Connection> Conn() {
  static std::shared_ptr<kiv::Connection> conn =
      Bench().error.empty() ? kiv::Connection::OpenNew(Bench().uri) : nullptr;
  return conn;
}

void BM_Open_LibpqWhole(benchmark::State& state) {
  Measure(state, "open/libpq whole", [&](PgBench& b) {
    PGresult* r =
        PQexecParams(b.bare, "SELECT * FROM items", 0, nullptr, nullptr, nullptr, nullptr, 0);
    std::vector<PlainRow> rows;
    for (int row = 0; row < PQntuples(r); ++row)
      rows.push_back(RowOf(r, row));
    benchmark::DoNotOptimize(rows.data());
    PQclear(r);
  });
}

void BM_Open_LibpqRows(benchmark::State& state) {
  Measure(state, "open/libpq rows", [&](PgBench& b) {
    PQsendQueryParams(b.bare, "SELECT * FROM items", 0, nullptr, nullptr, nullptr, nullptr, 0);
    PQsetSingleRowMode(b.bare);
    std::vector<PlainRow> rows;
    while (PGresult* r = PQgetResult(b.bare)) {
      if (PQresultStatus(r) == PGRES_SINGLE_TUPLE) rows.push_back(RowOf(r, 0));
      PQclear(r);
    }
    benchmark::DoNotOptimize(rows.data());
  });
}

void BM_Open_Recordset(benchmark::State& state) {
  Measure(state, "open/Recordset", [&](PgBench&) {
    kiv::Recordset rs;
    rs.CursorLocation(kiv::adUseClient);
    rs.Open("SELECT * FROM items", Conn(), kiv::adOpenKeyset, kiv::adLockOptimistic, -1);
    benchmark::DoNotOptimize(rs.RecordCount());
  });
}

double Since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void BM_First_Libpq(benchmark::State& state) {
  Measure(state, "first/libpq", [&](PgBench& b) {
    const auto t0 = std::chrono::steady_clock::now();
    PQsendQueryParams(b.bare, "SELECT * FROM items", 0, nullptr, nullptr, nullptr, nullptr, 0);
    PQsetSingleRowMode(b.bare);
    std::vector<PlainRow> rows;
    rows.reserve(4096);
    PGresult* r = nullptr;
    while (rows.size() < 4096 && (r = PQgetResult(b.bare))) {
      if (PQresultStatus(r) == PGRES_SINGLE_TUPLE) rows.push_back(RowOf(r, 0));
      PQclear(r);
    }
    const double seconds = Since(t0);
    benchmark::DoNotOptimize(rows.data());
    // Ended as the record set's Close ends it (not measured on either side).
    PGcancel* cancel = PQgetCancel(b.bare);
    char error[256];
    PQcancel(cancel, error, sizeof error);
    PQfreeCancel(cancel);
    while ((r = PQgetResult(b.bare)))
      PQclear(r);
    return seconds;
  });
}

void BM_First_Recordset(benchmark::State& state) {
  Measure(state, "first/Recordset", [&](PgBench&) {
    const auto t0 = std::chrono::steady_clock::now();
    kiv::Recordset rs;
    rs.CursorLocation(kiv::adUseClient);
    rs.Open("SELECT * FROM items", Conn(), kiv::adOpenKeyset, kiv::adLockOptimistic, -1);
    std::size_t seen = 0;
    for (std::int32_t c = 0; c < 5; ++c)
      seen += rs[c].Value().isNull() ? 0 : 1;
    const double seconds = Since(t0);
    benchmark::DoNotOptimize(seen);
    rs.Close();
    return seconds;
  });
}

std::string CodeOf(std::int64_t i) {
  std::string digits = std::to_string(i % gRows + 1);
  return "C" + std::string(7 - digits.size(), '0') + digits;
}

void BM_CodeCheck_Libpq(benchmark::State& state) {
  std::int64_t i = 0;
  Measure(state, "code/libpq", [&](PgBench& b) {
    const std::string code = CodeOf(i++ * 7919);
    const char* values[] = {code.c_str()};
    PGresult* r = PQexecParams(b.bare, "SELECT * FROM items WHERE code = $1 LIMIT 1", 1, nullptr,
                               values, nullptr, nullptr, 0);
    benchmark::DoNotOptimize(PQntuples(r));
    PQclear(r);
  });
}

void BM_CodeCheck_Recordset(benchmark::State& state) {
  std::int64_t i = 0;
  Measure(state, "code/Recordset", [&](PgBench&) {
    kiv::Recordset rs;
    rs.CursorLocation(kiv::adUseClient);
    rs.Open("SELECT TOP 1 * FROM items WHERE code = '" + CodeOf(i++ * 7919) + "'", Conn(),
            kiv::adOpenKeyset, kiv::adLockReadOnly, -1);
    benchmark::DoNotOptimize(rs.EOF());
    rs.Close();
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (const char* rows = std::getenv("KIV_BENCH_ROWS")) gRows = std::max(1, std::atoi(rows));
  const int iterations = gRows >= 100000 ? 5 : 20;
  benchmark::RegisterBenchmark("open/libpq whole", BM_Open_LibpqWhole)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(iterations);
  benchmark::RegisterBenchmark("open/libpq rows", BM_Open_LibpqRows)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(iterations);
  benchmark::RegisterBenchmark("open/Recordset", BM_Open_Recordset)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(iterations);
  benchmark::RegisterBenchmark("first/libpq", BM_First_Libpq)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("first/Recordset", BM_First_Recordset)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("code/libpq", BM_CodeCheck_Libpq)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("code/Recordset", BM_CodeCheck_Recordset)
      ->Unit(benchmark::kMicrosecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();

  auto& t = Measured();
  if (!t.count("open/Recordset")) return 0;
  std::printf("\nOver %d rows (wall time; the client's CPU time in brackets):\n", gRows);
  const auto ratio = [&](const char* what, const std::string& lib, const std::string& bare,
                         double target, const char* baseline) {
    if (!t.count(lib) || !t.count(bare) || t[bare].wall <= 0) return;
    const double r = t[lib].wall / t[bare].wall;
    std::printf("%-26s %6.2fx (target <= %.1fx) %-6s [cpu %.2fx; %.3g ms vs %.3g ms; bare: %s]\n",
                what, r, target, r <= target ? "met" : "MISSED", t[lib].cpu / t[bare].cpu,
                t[lib].wall * 1e3, t[bare].wall * 1e3, baseline);
  };
  const std::string faster = t["open/libpq rows"].wall < t["open/libpq whole"].wall
                                 ? "open/libpq rows"
                                 : "open/libpq whole";
  ratio("open vs typed libpq loop", "open/Recordset", faster, 1.1,
        faster == "open/libpq rows" ? "single-row mode keeping typed structs"
                                    : "whole result keeping typed structs");
  ratio("open vs whole-result loop", "open/Recordset", "open/libpq whole", 1.1,
        "PQexecParams keeping typed structs");
  ratio("open vs single-row loop", "open/Recordset", "open/libpq rows", 1.1,
        "single-row mode keeping typed structs");
  ratio("first record", "first/Recordset", "first/libpq", 3.0,
        "the first block (4096 rows) of a single-row query, typed");
  ratio("code check", "code/Recordset", "code/libpq", 3.0, "PQexecParams of the lookup");
  return 0;
}
