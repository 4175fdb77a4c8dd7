#include "gui/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstring>
#include <stdexcept>
#include <thread>

namespace kiv::gui {

namespace {

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> out;
  for (auto& t : texts)
    out.push_back(t.data());
  out.push_back(nullptr);
  return out;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& environment,
                           const std::map<int, std::filesystem::path>& files) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  for (int fd : {1, 2})
    if (!files.contains(fd))
      posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_WRONLY, 0);
  for (const auto& [fd, path] : files)
    posix_spawn_file_actions_addopen(&actions, fd, path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
  posix_spawnattr_setpgroup(&attributes, 0);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  std::vector<std::string> args = argv, env = environment;
  const int error = posix_spawnp(&pid_, args[0].c_str(), &actions, &attributes,
                                 Pointers(args).data(), Pointers(env).data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    pid_ = -1;
    throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(error) +
                             " (run scripts/install-deps.sh)");
  }
}

bool ChildProcess::running() {
  if (status_ || pid_ <= 0) return false;
  int raw = 0;
  const pid_t done = waitpid(pid_, &raw, WNOHANG);
  if (done == pid_) {
    status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return false;
  }
  return done == 0;
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (running()) {
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return status_;
}

void ChildProcess::stop() {
  // The group is signalled only while its leader is known to run: once it
  // is reaped its id may be another process's.
  if (!running()) return;
  kill(-pid_, SIGTERM);
  if (!wait(std::chrono::seconds(5))) {
    kill(-pid_, SIGKILL);
    wait(std::chrono::seconds(10));
  }
}

}  // namespace kiv::gui
