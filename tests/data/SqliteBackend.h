#pragma once

// The SQLite backend of the conformance suites: each test gets a fresh
// database file in a temporary directory, so that two connections (two
// users) see the same data.

#include <atomic>
#include <filesystem>
#include <string>
#include <system_error>

#include "data/Backend.h"
#include "support/TempDir.h"

namespace kivtest {

// The directory of this run's database files, removed when the run ends.
inline std::filesystem::path SqliteTempDir() {
  static const kiv::test::TempDir dir("kiv-data-tests");
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
