#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace kiv::test {

// An empty directory of this process's own under the system's temporary
// one, removed with everything in it when the object goes, however the test
// ends.
struct TempDir {
  explicit TempDir(const std::string& stem)
      : path(std::filesystem::temp_directory_path() / (stem + "-" + std::to_string(::getpid()))) {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);  // left by an earlier process of the same id
    std::filesystem::create_directories(path);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path path;
};

}  // namespace kiv::test
