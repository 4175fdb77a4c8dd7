// The description display's lookup over a generated SQLite table of
// customers (100,000 rows by default; KIV_BENCH_ROWS sets another count),
// each run beside bare loops doing the same lookup in the same run:
//   KivDesc        the linked field editor raises DataChanged with a code; the
//                  display builds its statement (the code quoted), opens a
//                  read-only client record set over the editor's connection
//                  and shows the name it read in its text box
//   bare           one statement prepared once, then per code: bind, step,
//                  copy the name into a std::string, reset
//   bare-prepare   per code: prepare the same statement text the display
//                  builds, step, copy the name, finalize
// The ratios against both are printed at the end; the target is against the
// prepared-once loop.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "BenchSupport.h"
#include "kiv/data/Connection.h"
#include "kiv/description_grid/KivDesc.h"
#include "kiv/field_editor/KivUni.h"
#include "kiv/host/HeadlessHost.h"

namespace {

using namespace kiv;

std::string gPath;
int gRows = 100000;

using namespace kivbench;

std::string CodeFor(long long i) {
  return kivbench::CodeFor(i, gRows);
}

void Generate() {
  std::string code, name;
  gPath = GenerateDatabase(
      "kiv-desc-bench",
      "CREATE TABLE Customers (Code VARCHAR(10) PRIMARY KEY, Name VARCHAR(60), Active BOOLEAN)",
      "INSERT INTO Customers VALUES (?, ?, 1)", gRows, [&](sqlite3_stmt* st, int i) {
        code = CodeFor(i - 1);
        name = "Customer number " + std::to_string(i - 1) + " Ltd";
        sqlite3_bind_text(st, 1, code.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
      });
}

void BM_Describe_KivDesc(benchmark::State& state) {
  HeadlessHost host;
  Host::SetCurrent(&host);
  host.recordPropertyChanges(false);
  auto connection = Connection::OpenNew("sqlite:" + gPath);
  auto uni = KivUni::Create();
  uni->Type_Of_LookUp(tolLookUp_Code);
  uni->Source_Table("Customers");
  uni->Source_Code_Field("Code");
  uni->Source_Connection(connection);
  auto desc = KivDesc::Create();
  desc->Linked_LookUp_Control(uni);
  desc->Description_Field("Name");
  long long i = 0;
  for (auto _ : state) {
    std::string code = CodeFor(i++ * 7919);
    bool invalid = false;
    uni->events.DataChanged.raise(code, invalid);
    benchmark::DoNotOptimize(desc->Text().data());
  }
  if (desc->Text().empty() || !host.lines("MsgBox").empty()) state.SkipWithError("no description");
  desc.reset();
  uni.reset();
  Host::SetCurrent(nullptr);
}

void BM_Describe_Bare(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open(gPath.c_str(), &db);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "SELECT Name FROM Customers WHERE Code = ?1", -1, &st, nullptr);
  long long i = 0;
  for (auto _ : state) {
    const std::string code = CodeFor(i++ * 7919);
    sqlite3_bind_text(st, 1, code.c_str(), static_cast<int>(code.size()), SQLITE_TRANSIENT);
    std::string name = sqlite3_step(st) == SQLITE_ROW ? ColumnText(st, 0) : std::string();
    sqlite3_reset(st);
    benchmark::DoNotOptimize(name.data());
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
}

void BM_Describe_BarePrepare(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open(gPath.c_str(), &db);
  long long i = 0;
  for (auto _ : state) {
    const std::string sql =
        "SELECT Name FROM Customers  WHERE Code = '" + CodeFor(i++ * 7919) + "' ";
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &st, nullptr);
    std::string name = sqlite3_step(st) == SQLITE_ROW ? ColumnText(st, 0) : std::string();
    sqlite3_finalize(st);
    benchmark::DoNotOptimize(name.data());
  }
  sqlite3_close(db);
}

}  // namespace

int main(int argc, char** argv) {
  gRows = RowsFromEnvironment(gRows);
  std::printf("Generating %d customers in a temporary SQLite file...\n", gRows);
  Generate();

  benchmark::RegisterBenchmark("describe/KivDesc", BM_Describe_KivDesc)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("describe/bare", BM_Describe_Bare)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("describe/bare-prepare", BM_Describe_BarePrepare)
      ->Unit(benchmark::kMicrosecond);
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  auto ratio = [&](const char* name, const char* lib, const char* bare, double target) {
    const auto a = reporter.cpu.find(lib), b = reporter.cpu.find(bare);
    if (a == reporter.cpu.end() || b == reporter.cpu.end() || b->second <= 0) return;
    const double r = a->second / b->second;
    if (target > 0)
      std::printf("%-32s %8.2fx  (target <= %.1fx) %s\n", name, r, target,
                  r <= target ? "met" : "MISSED");
    else
      std::printf("%-32s %8.2fx\n", name, r);
  };
  std::printf("\nRatios of CPU time (%d customers):\n", gRows);
  ratio("lookup vs prepared once", "describe/KivDesc", "describe/bare", 3.0);
  ratio("lookup vs prepared per code", "describe/KivDesc", "describe/bare-prepare", 0);
  std::filesystem::remove(gPath);
  return 0;
}
