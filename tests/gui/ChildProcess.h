#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kiv::gui {

// A program the test starts, in a process group of its own so that stopping
// it leaves nothing behind. It reads nothing; the descriptors named in
// `files` are opened on those files for writing, and its output and errors
// go to /dev/null unless named there.
class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
               const std::map<int, std::filesystem::path>& files = {});
  ~ChildProcess() { stop(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  // Whether it still runs (a finished child is reaped and its status kept).
  bool running();
  // Waits for it to end; its exit status (128 + signal when killed), or
  // nothing when it still runs after the timeout.
  std::optional<int> wait(std::chrono::milliseconds timeout);
  // Ends it and its group: SIGTERM, then SIGKILL when it outlives a grace.
  void stop();

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};

}  // namespace kiv::gui
