#include "gui/WindowTranscript.h"

#include <fstream>
#include <regex>
#include <stdexcept>
#include <thread>

namespace kiv::gui {

const Box& ShownWindow::widget(const std::string& name) const {
  const auto it = widgets.find(name);
  if (it == widgets.end()) throw std::runtime_error("the window shows no widget " + name);
  return it->second;
}

void WindowTranscript::reload() {
  std::ifstream in(file_, std::ios::binary);
  std::vector<std::string> lines;
  // A last line without its newline is still being written.
  for (std::string line; std::getline(in, line) && !in.eof();)
    lines.push_back(line);
  if (lines.size() >= lines_.size()) lines_ = std::move(lines);
}

std::vector<std::string> WindowTranscript::waitFor(const std::string& pattern) {
  const std::regex re(pattern);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (;;) {
    // Whether the writer ran before the reading: a line it wrote last is
    // then in this reading.
    const bool wasAlive = alive_();
    reload();
    for (std::size_t i = next_; i < lines_.size(); ++i) {
      std::smatch match;
      if (std::regex_search(lines_[i], match, re)) {
        next_ = i + 1;
        return {match.begin(), match.end()};
      }
    }
    if (!wasAlive || std::chrono::steady_clock::now() >= deadline) {
      std::string tail;
      for (std::size_t i = lines_.size() > 15 ? lines_.size() - 15 : 0; i < lines_.size(); ++i)
        tail += "\n  " + lines_[i];
      throw std::runtime_error((wasAlive ? "no line /" : "kivform ended before a line /") +
                               pattern + "/ came; the transcript's end:" + tail);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

ShownWindow WindowTranscript::waitForWindow(const std::string& kind) {
  const auto m =
      waitFor("^Window " + kind +
              R"( ".*" id=(\d+) at (-?\d+),(-?\d+) size (\d+)x(\d+)(?: widgets (\d+))?$)");
  ShownWindow shown{
      std::stoul(m[1]), {std::stoi(m[2]), std::stoi(m[3]), std::stoi(m[4]), std::stoi(m[5])}, {}};
  const int count = m[6].empty() ? 0 : std::stoi(m[6]);
  for (int i = 0; i < count; ++i) {
    const auto w = waitFor(R"(^Widget (\S+) at (-?\d+),(-?\d+) size (\d+)x(\d+)$)");
    shown.widgets[w[1]] = {std::stoi(w[2]), std::stoi(w[3]), std::stoi(w[4]), std::stoi(w[5])};
  }
  return shown;
}

std::vector<std::string> WindowTranscript::linesMatching(const std::string& pattern,
                                                         std::size_t from) {
  reload();
  const std::regex re(pattern);
  std::vector<std::string> out;
  for (std::size_t i = from; i < lines_.size(); ++i)
    if (std::regex_search(lines_[i], re)) out.push_back(lines_[i]);
  return out;
}

}  // namespace kiv::gui
