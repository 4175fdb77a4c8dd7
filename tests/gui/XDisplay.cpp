#include "gui/XDisplay.h"

#include <sstream>
#include <stdexcept>
#include <thread>

#include "support/SampleDatabase.h"

extern char** environ;

namespace kiv::gui {

namespace {

using test::ReadText;

// This process's environment without the variables of the given names (a
// name ending in '*' is a prefix).
std::vector<std::string> EnvironmentWithout(const std::vector<std::string>& names) {
  std::vector<std::string> out;
  for (char** e = environ; *e; ++e) {
    const std::string entry(*e);
    const std::string name = entry.substr(0, entry.find('='));
    bool drop = false;
    for (const auto& n : names)
      drop |= n.ends_with('*') ? name.starts_with(n.substr(0, n.size() - 1)) : name == n;
    if (!drop) out.push_back(entry);
  }
  return out;
}

}  // namespace

XDisplay::XDisplay(const std::filesystem::path& workDir) : workDir_(workDir) {
  std::filesystem::create_directories(workDir / "xdg-runtime");
  std::filesystem::permissions(workDir / "xdg-runtime", std::filesystem::perms::owner_all);
  // Xvfb writes the display number it picked to descriptor 3 once it
  // accepts clients.
  const auto numberFile = workDir / "xvfb.display";
  server_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{"Xvfb", "-displayfd", "3", "-screen", "0", "800x600x24", "-nolisten",
                               "tcp", "-noreset"},
      EnvironmentWithout({"DISPLAY"}),
      std::map<int, std::filesystem::path>{{2, workDir / "xvfb.log"}, {3, numberFile}});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  std::string number;
  while ((number = ReadText(numberFile)).find('\n') == std::string::npos) {
    if (!server_->running() || std::chrono::steady_clock::now() >= deadline)
      throw std::runtime_error("Xvfb did not start (see " + (workDir / "xvfb.log").string() + ")");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  name_ = ":" + number.substr(0, number.find('\n'));
}

std::vector<std::string> XDisplay::environment(const std::vector<std::string>& extra) const {
  auto env = EnvironmentWithout({"DISPLAY", "WAYLAND_DISPLAY", "LANG", "LANGUAGE", "LC_*", "QT_*",
                                 "XAUTHORITY", "XDG_RUNTIME_DIR"});
  env.push_back("DISPLAY=" + name_);
  env.push_back("XDG_RUNTIME_DIR=" + (workDir_ / "xdg-runtime").string());
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

std::string XDisplay::run(const std::vector<std::string>& argv,
                          const std::vector<std::string>& extraEnvironment) const {
  const auto output = workDir_ / "run.out";
  ChildProcess child(argv, environment(extraEnvironment), {{1, output}});
  const auto status = child.wait(std::chrono::seconds(20));
  std::string command;
  for (const auto& a : argv)
    command += " " + a;
  if (!status) throw std::runtime_error(command + ": no answer in time");
  if (*status != 0) throw std::runtime_error(command + ": exit status " + std::to_string(*status));
  return ReadText(output);
}

std::string XDisplay::xdotool(std::vector<std::string> args) const {
  args.insert(args.begin(), "xdotool");
  // It reads the text it types as UTF-8 only in a UTF-8 locale.
  return run(args, {"LC_ALL=C.UTF-8"});
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
  for (unsigned long id; lines >> id;)
    windows.push_back(id);
  return windows;
}

void XDisplay::screenshot(const std::filesystem::path& file, const Box& box) const {
  run({KIV_GUI_GRAB, file.string(), std::to_string(box.x), std::to_string(box.y),
       std::to_string(box.width), std::to_string(box.height)},
      {"QT_QPA_PLATFORM=xcb"});
}

}  // namespace kiv::gui
