// What the SQLite benchmarks share: a generated table in a temporary file, the
// bare loops' helpers, and a reporter that keeps every benchmark's times for
// the ratios printed at the end.
#pragma once

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace kivbench {

inline void Check(int rc, sqlite3* db) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
    std::exit(1);
  }
}

// The row count: KIV_BENCH_ROWS, or the benchmark's own default.
inline int RowsFromEnvironment(int fallback) {
  const char* rows = std::getenv("KIV_BENCH_ROWS");
  return rows ? std::max(1, std::atoi(rows)) : fallback;
}

// The same pseudo-random sequence in every run, so that runs compare.
class Sequence {
 public:
  unsigned next() {
    seed_ = seed_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<unsigned>(seed_ >> 33);
  }

 private:
  unsigned long long seed_ = 12345;
};

// "Customer " and 6 to 17 random letters without a z (so that a search for
// "zz" misses), lower case or, with mixedCase, either case.
inline std::string CustomerName(Sequence& seq, bool mixedCase = false) {
  std::string name = "Customer ";
  const unsigned len = 6 + seq.next() % 12;
  for (unsigned k = 0; k < len; ++k) {
    const char first = mixedCase && seq.next() % 2 == 0 ? 'A' : 'a';
    name.push_back(static_cast<char>(first + seq.next() % 25));
  }
  return name;
}

// Creates a database file in the temporary folder named after `name` and the
// process, runs `create`, then inserts `rows` rows through `insert`, each
// bound by bindRow(statement, row number from 1), in one transaction; `after`
// runs once the rows are committed. Returns the file's path.
template <class BindRow>
std::string GenerateDatabase(const std::string& name, const char* create, const char* insert,
                             int rows, BindRow&& bindRow, const char* after = "") {
  const std::string path = (std::filesystem::temp_directory_path() /
                            (name + "-" + std::to_string(::getpid()) + ".sqlite"))
                               .string();
  std::filesystem::remove(path);
  sqlite3* db = nullptr;
  Check(sqlite3_open(path.c_str(), &db), db);
  Check(sqlite3_exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;", nullptr, nullptr,
                     nullptr),
        db);
  Check(sqlite3_exec(db, create, nullptr, nullptr, nullptr), db);
  Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
  sqlite3_stmt* st = nullptr;
  Check(sqlite3_prepare_v2(db, insert, -1, &st, nullptr), db);
  for (int i = 1; i <= rows; ++i) {
    bindRow(st, i);
    Check(sqlite3_step(st), db);
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
  Check(sqlite3_exec(db, after, nullptr, nullptr, nullptr), db);
  sqlite3_close(db);
  return path;
}

// A text column's value as the bare loops keep it ("" for Null).
inline std::string ColumnText(sqlite3_stmt* st, int column) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
  return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(st, column)))
           : std::string();
}

// "C0000001" ...: the code of row 1 + i % rows.
inline std::string CodeFor(long long i, int rows) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "C%07lld", 1 + i % rows);
  return buf;
}

// Whether a text holds "zz" in any case: the bare finds' search.
inline bool ContainsZZ(const std::string& s) {
  for (std::size_t i = 0; i + 1 < s.size(); ++i)
    if ((s[i] == 'z' || s[i] == 'Z') && (s[i + 1] == 'z' || s[i + 1] == 'Z')) return true;
  return false;
}

// Records each benchmark's times per iteration (seconds) beside the console
// output, by its name without the run's settings ("/iterations:3", ...).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const auto& r : runs)
      if (r.run_type == Run::RT_Iteration && r.iterations > 0) {
        std::string name = r.benchmark_name();
        for (const char* suffix : {"/iterations:", "/process_time", "/manual_time", "/real_time"})
          if (const auto at = name.find(suffix); at != std::string::npos) name.resize(at);
        const double unit = benchmark::GetTimeUnitMultiplier(r.time_unit);
        cpu[name] = r.GetAdjustedCPUTime() / unit;
        real[name] = r.GetAdjustedRealTime() / unit;
      }
  }
  std::map<std::string, double> cpu, real;
};

}  // namespace kivbench
