// PostgreSQL benchmarks: the record set over the PostgreSQL driver against a
// bare libpq loop doing the same work, measured in the same run. Each record
// set benchmark reports `x_libpq`, its wall time per iteration divided by the
// bare loop's, and `cpu_x_libpq`, the same for the client's CPU time. They run when KIV_PG_URI
// names a server (the test fixture's URI, e.g. build/default/tests/postgres/pg-server/uri while it
// runs); otherwise they report that and skip.
//
//   open_table:  open "SELECT * FROM items" (10,000 rows, 5 columns) and read
//                every value of every row.
//   code_check:  look one code up the way a field editor checks a typed code
//                (a new read-only record set for SELECT TOP 1 ... WHERE code = '...').
#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <string>

#include "kiv/data/Connection.h"
#include "kiv/data/Field.h"
#include "kiv/data/Fields.h"
#include "kiv/data/Recordset.h"

namespace {

constexpr int kRows = 10000;

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
         "INSERT INTO items SELECT 'C' || lpad(i::text, 6, '0'), 'Item number ' || i,"
         " i * 0.25, i % 100, timestamp '2024-01-01' + i * interval '1 hour'"
         " FROM generate_series(1, " +
             std::to_string(kRows) + ") i; ANALYZE items");
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

// Wall and CPU seconds per iteration of each bare loop, for the ratios.
struct Times {
  double wall = 0, cpu = 0;
};
std::map<std::string, Times>& BareTimes() {
  static std::map<std::string, Times> times;
  return times;
}

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

template <class F>
void Measure(benchmark::State& state, const std::string& key, bool bare, F&& body) {
  PgBench& b = Bench();
  if (!b.error.empty()) {
    state.SkipWithError(b.error.c_str());
    return;
  }
  // Warm up first: the first runs pay for growing the heap and cold caches.
  for (int i = 0; i < 3; ++i)
    body(b);
  double seconds = 0, cpu = 0;
  std::int64_t n = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    const double c0 = ThreadCpuSeconds();
    body(b);
    cpu += ThreadCpuSeconds() - c0;
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ++n;
  }
  if (n == 0) return;
  const Times per{seconds / static_cast<double>(n), cpu / static_cast<double>(n)};
  if (bare) {
    BareTimes()[key] = per;
  } else if (auto it = BareTimes().find(key); it != BareTimes().end() && it->second.wall > 0) {
    // Wall time includes the server's work, the same on both sides; the
    // client's CPU time shows the library's own cost.
    state.counters["x_libpq"] = per.wall / it->second.wall;
    if (it->second.cpu > 0) state.counters["cpu_x_libpq"] = per.cpu / it->second.cpu;
  }
}

void BM_OpenTable_Libpq(benchmark::State& state) {
  int rows = 0;
  Measure(state, "open_table", true, [&](PgBench& b) {
    PGresult* r =
        PQexecParams(b.bare, "SELECT * FROM items", 0, nullptr, nullptr, nullptr, nullptr, 0);
    std::size_t bytes = 0;
    for (int row = 0; row < PQntuples(r); ++row)
      for (int col = 0; col < PQnfields(r); ++col)
        if (!PQgetisnull(r, row, col)) bytes += static_cast<std::size_t>(PQgetlength(r, row, col));
    benchmark::DoNotOptimize(bytes);
    rows = PQntuples(r);
    PQclear(r);
  });
  state.counters["rows"] = rows;
}

void BM_OpenTable_Recordset(benchmark::State& state) {
  int rows = 0;
  std::shared_ptr<kiv::Connection> conn;
  if (Bench().error.empty()) conn = kiv::Connection::OpenNew(Bench().uri);
  Measure(state, "open_table", false, [&](PgBench&) {
    kiv::Recordset rs;
    rs.CursorLocation(kiv::adUseClient);
    rs.Open("SELECT * FROM items", conn, kiv::adOpenKeyset, kiv::adLockOptimistic, -1);
    std::size_t values = 0;
    const std::int32_t columns = 5;
    rows = rs.RecordCount();
    for (; !rs.EOF(); rs.MoveNext())
      for (std::int32_t c = 0; c < columns; ++c) {
        kiv::Variant v = rs[c].Value();
        values += v.isNull() ? 0 : 1;
      }
    benchmark::DoNotOptimize(values);
    rs.Close();
  });
  state.counters["rows"] = rows;
}

std::string CodeOf(std::int64_t i) {
  std::string digits = std::to_string(i % kRows + 1);
  return "C" + std::string(6 - digits.size(), '0') + digits;
}

void BM_CodeCheck_Libpq(benchmark::State& state) {
  std::int64_t i = 0;
  Measure(state, "code_check", true, [&](PgBench& b) {
    const std::string code = CodeOf(i++ * 7919);
    const char* values[] = {code.c_str()};
    PGresult* r = PQexecParams(b.bare, "SELECT * FROM items WHERE code = $1 LIMIT 1", 1, nullptr,
                               values, nullptr, nullptr, 0);
    benchmark::DoNotOptimize(PQntuples(r));
    PQclear(r);
  });
}

void BM_CodeCheck_Recordset(benchmark::State& state) {
  std::shared_ptr<kiv::Connection> conn;
  if (Bench().error.empty()) conn = kiv::Connection::OpenNew(Bench().uri);
  std::int64_t i = 0;
  Measure(state, "code_check", false, [&](PgBench&) {
    kiv::Recordset rs;
    rs.CursorLocation(kiv::adUseClient);
    rs.Open("SELECT TOP 1 * FROM items WHERE code = '" + CodeOf(i++ * 7919) + "'", conn,
            kiv::adOpenKeyset, kiv::adLockReadOnly, -1);
    benchmark::DoNotOptimize(rs.EOF());
    rs.Close();
  });
}

// The bare loop of each pair runs first, so its time is there for the ratio.
BENCHMARK(BM_OpenTable_Libpq)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenTable_Recordset)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CodeCheck_Libpq)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CodeCheck_Recordset)->Unit(benchmark::kMicrosecond);

}  // namespace
