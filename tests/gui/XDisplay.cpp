#include "gui/XDisplay.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <sstream>
#include <stdexcept>

namespace kiv::gui {

namespace {

// Reads the display number Xvfb writes once it accepts clients.
std::string ReadDisplayNumber(int fd, std::chrono::milliseconds timeout) {
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (text.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    char buffer[64];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  const auto end = text.find('\n');
  return end == std::string::npos ? std::string() : text.substr(0, end);
}

}  // namespace

XDisplay::XDisplay(const std::filesystem::path& workDir, const std::string& screen)
    : runtimeDir_(workDir / "xdg-runtime") {
  std::filesystem::create_directories(runtimeDir_);
  std::filesystem::permissions(runtimeDir_, std::filesystem::perms::owner_all);
  const std::filesystem::path logFile = workDir / "xvfb.log";
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("cannot make a pipe for Xvfb");
  // Kept clear of descriptor 3, which the child's copy is moved to.
  const int writeEnd = fcntl(fds[1], F_DUPFD_CLOEXEC, 10);
  close(fds[1]);
  ChildProcess::Options options;
  options.environment = ChildProcess::EnvironmentWithout({"DISPLAY"});
  options.errors = logFile;
  options.extraDescriptor = writeEnd;
  try {
    server_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"Xvfb", "-displayfd", "3", "-screen", "0", screen + "x24",
                                 "-nolisten", "tcp", "-noreset"},
        options);
  } catch (...) {
    close(fds[0]);
    close(writeEnd);
    throw;
  }
  close(writeEnd);
  const std::string number = ReadDisplayNumber(fds[0], std::chrono::seconds(30));
  close(fds[0]);
  if (number.empty()) {
    server_->stop();
    throw std::runtime_error("Xvfb did not start (see " + logFile.string() + ")");
  }
  name_ = ":" + number;
}

XDisplay::~XDisplay() {
  server_->stop();
}

std::vector<std::string> XDisplay::environment(const std::vector<std::string>& extra) const {
  auto env = ChildProcess::EnvironmentWithout({"DISPLAY", "WAYLAND_DISPLAY", "LANG", "LANGUAGE",
                                               "LC_*", "QT_*", "XAUTHORITY", "XDG_RUNTIME_DIR"});
  env.push_back("DISPLAY=" + name_);
  env.push_back("XDG_RUNTIME_DIR=" + runtimeDir_.string());
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

std::string XDisplay::xdotool(std::vector<std::string> args) const {
  args.insert(args.begin(), "xdotool");
  // It reads the text it types as UTF-8 only in a UTF-8 locale.
  return ChildProcess::Capture(args, environment({"LC_ALL=C.UTF-8"}));
}

void XDisplay::click(unsigned long window, int x, int y) const {
  // No --sync: xdotool waits in vain for a move to where the pointer is.
  // The server handles the test extension's events in order anyway.
  xdotool({"mousemove", "--window", std::to_string(window), std::to_string(x), std::to_string(y),
           "click", "1"});
}

void XDisplay::key(const std::string& keys) const {
  xdotool({"key", "--delay", "20", keys});
}

void XDisplay::type(const std::string& text) const {
  xdotool({"type", "--delay", "20", text});
}

unsigned long XDisplay::focus() const {
  return std::stoul(xdotool({"getwindowfocus"}));
}

std::vector<unsigned long> XDisplay::visibleWindows(int pid) const {
  std::string out;
  try {
    out = xdotool({"search", "--onlyvisible", "--pid", std::to_string(pid)});
  } catch (const std::runtime_error&) {
    return {};  // xdotool fails when it finds nothing
  }
  std::vector<unsigned long> windows;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);)
    if (!line.empty()) windows.push_back(std::stoul(line));
  return windows;
}

void XDisplay::screenshot(const std::filesystem::path& file, const Box& box) const {
  ChildProcess::Capture({KIV_GUI_GRAB, file.string(), std::to_string(box.x), std::to_string(box.y),
                         std::to_string(box.width), std::to_string(box.height)},
                        environment({"QT_QPA_PLATFORM=xcb"}));
}

}  // namespace kiv::gui
