// The record-source conformance suite on SQLite: each test gets a fresh
// database file in a temporary directory, so that two connections (two
// users) see the same data.

#include <unistd.h>
#include <atomic>
#include <filesystem>
#include <string>
#include <system_error>

#include "Backend.h"

namespace kivtest {
namespace {

// The directory of this run's database files, removed when the run ends.
struct TempDirectory {
  std::filesystem::path path;
  TempDirectory() {
    path =
        std::filesystem::temp_directory_path() / ("kiv-data-tests-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
  }
  ~TempDirectory() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

std::filesystem::path TempDir() {
  static const TempDirectory dir;
  return dir.path;
}

Backend SqliteBackend() {
  Backend b;
  b.name = "SQLite";
  b.freshDatabase = [] {
    static std::atomic<int> counter{0};
    const auto file = TempDir() / ("db" + std::to_string(++counter) + ".sqlite");
    std::error_code ec;
    std::filesystem::remove(file, ec);
    return "sqlite:" + file.string();
  };
  b.dropDatabase = [](const std::string& connectionString) {
    std::error_code ec;
    std::filesystem::remove(connectionString.substr(7), ec);
  };
  return b;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(SQLite, Conformance, ::testing::Values(SqliteBackend()), BackendName);

}  // namespace kivtest
