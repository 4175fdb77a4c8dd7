#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kiv::gui {

// A program the test starts, in a process group of its own so that stopping
// it leaves nothing behind. Its output goes to files (or /dev/null).
class ChildProcess {
 public:
  struct Options {
    std::vector<std::string> environment;  // NAME=value, the whole environment
    std::filesystem::path output = "/dev/null";
    std::filesystem::path errors = "/dev/null";
    // A descriptor the child gets as descriptor 3 (Xvfb -displayfd 3), or -1.
    int extraDescriptor = -1;
  };

  ChildProcess(const std::vector<std::string>& argv, const Options& options);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  // Whether it still runs (a finished child is reaped and its status kept).
  bool running();
  // Waits for it to end; its exit status (128 + signal when killed), or
  // nothing when it still runs after the timeout.
  std::optional<int> wait(std::chrono::milliseconds timeout);
  // Ends it and its group: SIGTERM, then SIGKILL after the grace period.
  int stop(std::chrono::milliseconds grace = std::chrono::seconds(5));

  // Runs a program to its end and returns what it wrote to stdout; throws
  // when it cannot start, fails, or outlives the timeout.
  static std::string Capture(const std::vector<std::string>& argv,
                             const std::vector<std::string>& environment,
                             std::chrono::milliseconds timeout = std::chrono::seconds(20));

  // This process's environment without the variables of the given names
  // (a name ending in '*' is a prefix).
  static std::vector<std::string> EnvironmentWithout(const std::vector<std::string>& names);

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};

}  // namespace kiv::gui
