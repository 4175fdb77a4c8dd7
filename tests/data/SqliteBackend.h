#pragma once

// The SQLite backend of the conformance suites: each test gets a fresh
// database file in a temporary directory, so that two connections (two
// users) see the same data.

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <system_error>

#include "data/Backend.h"

namespace kivtest {

// The directory of this run's database files, removed when the run ends.
inline std::filesystem::path SqliteTempDir() {
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
  static const TempDirectory dir;
  return dir.path;
}

inline Backend SqliteBackend() {
  Backend b;
  b.name = "SQLite";
  b.freshDatabase = [] {
    static std::atomic<int> counter{0};
    const auto file = SqliteTempDir() / ("db" + std::to_string(++counter) + ".sqlite");
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

}  // namespace kivtest
