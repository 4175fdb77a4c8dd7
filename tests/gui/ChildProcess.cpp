#include "gui/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace kiv::gui {

namespace {

using Clock = std::chrono::steady_clock;

int StatusOf(int raw) {
  if (WIFEXITED(raw)) return WEXITSTATUS(raw);
  if (WIFSIGNALED(raw)) return 128 + WTERMSIG(raw);
  return -1;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> out;
  for (auto& t : texts)
    out.push_back(t.data());
  out.push_back(nullptr);
  return out;
}

std::string Joined(const std::vector<std::string>& argv) {
  std::string out;
  for (const auto& a : argv)
    out += (out.empty() ? "" : " ") + a;
  return out;
}

// Spawns argv[0] (looked up in PATH) in a new process group.
pid_t Spawn(std::vector<std::string> argv, std::vector<std::string> environment,
            posix_spawn_file_actions_t& actions) {
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
  posix_spawnattr_setpgroup(&attributes, 0);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  auto args = Pointers(argv);
  auto env = Pointers(environment);
  pid_t pid = -1;
  const int error = posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), env.data());
  posix_spawnattr_destroy(&attributes);
  if (error != 0)
    throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(error) +
                             " (run scripts/install-deps.sh)");
  return pid;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const Options& options) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, options.output.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, options.errors.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (options.extraDescriptor >= 0)
    posix_spawn_file_actions_adddup2(&actions, options.extraDescriptor, 3);
  try {
    pid_ = Spawn(argv, options.environment, actions);
  } catch (...) {
    posix_spawn_file_actions_destroy(&actions);
    throw;
  }
  posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess() {
  stop();
}

bool ChildProcess::running() {
  if (status_ || pid_ <= 0) return false;
  int raw = 0;
  const pid_t done = waitpid(pid_, &raw, WNOHANG);
  if (done == pid_) {
    status_ = StatusOf(raw);
    return false;
  }
  return done == 0;
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (running()) {
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return status_;
}

int ChildProcess::stop(std::chrono::milliseconds grace) {
  if (pid_ <= 0) return -1;
  // The group is signalled only while its leader is known to run: once it
  // is reaped its id may be another process's.
  if (running()) {
    kill(-pid_, SIGTERM);
    if (!wait(grace) && running()) {
      kill(-pid_, SIGKILL);
      wait(std::chrono::seconds(10));
    }
  }
  return status_.value_or(-1);
}

std::string ChildProcess::Capture(const std::vector<std::string>& argv,
                                  const std::vector<std::string>& environment,
                                  std::chrono::milliseconds timeout) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe: " + std::string(strerror(errno)));
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  pid_t pid = -1;
  try {
    pid = Spawn(argv, environment, actions);
  } catch (...) {
    posix_spawn_file_actions_destroy(&actions);
    close(fds[0]);
    close(fds[1]);
    throw;
  }
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  std::string out;
  const auto deadline = Clock::now() + timeout;
  bool timedOut = false;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      timedOut = true;
      break;
    }
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    char buffer[4096];
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    out.append(buffer, static_cast<std::size_t>(n));
  }
  close(fds[0]);
  if (timedOut) kill(-pid, SIGKILL);
  int raw = 0;
  waitpid(pid, &raw, 0);
  if (timedOut) throw std::runtime_error(Joined(argv) + ": no answer in time");
  if (StatusOf(raw) != 0)
    throw std::runtime_error(Joined(argv) + ": exit status " + std::to_string(StatusOf(raw)));
  return out;
}

std::vector<std::string> ChildProcess::EnvironmentWithout(const std::vector<std::string>& names) {
  std::vector<std::string> out;
  for (char** e = environ; *e; ++e) {
    const std::string entry(*e);
    const std::string name = entry.substr(0, entry.find('='));
    bool drop = false;
    for (const auto& n : names) {
      if (n.ends_with('*') ? name.starts_with(n.substr(0, n.size() - 1)) : name == n) drop = true;
    }
    if (!drop) out.push_back(entry);
  }
  return out;
}

}  // namespace kiv::gui
