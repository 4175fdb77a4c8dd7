#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "gui/XDisplay.h"

namespace kiv::gui {

// A window kivform reported in its transcript: its X id, its place on the
// screen and the places of its widgets in it.
struct ShownWindow {
  unsigned long id = 0;
  Box box;
  std::map<std::string, Box> widgets;
  // The widget of that name; throws when the window has none.
  const Box& widget(const std::string& name) const;
};

// Reads the transcript kivform writes while its window runs, as it grows.
// Waiting walks forward: each wait looks at the lines after the last line an
// earlier wait matched, so a test reads the run in order.
class WindowTranscript {
 public:
  // alive tells whether the writer still runs (a wait stops early when not).
  WindowTranscript(std::filesystem::path file, std::function<bool()> alive)
      : file_(std::move(file)), alive_(std::move(alive)) {}

  // Waits for a line matching pattern; returns the match and its groups
  // (an unmatched group as ""). Throws, quoting the transcript's end, when
  // none comes in 30 seconds.
  std::vector<std::string> waitFor(const std::string& pattern);
  // Waits for the Window line of a window of that kind (frmScreen, MsgBox,
  // frmCalendar) and reads the Widget lines after it.
  ShownWindow waitForWindow(const std::string& kind);
  // The lines read so far that match pattern, from line `from` on.
  std::vector<std::string> linesMatching(const std::string& pattern, std::size_t from);
  // Where the next wait starts.
  std::size_t position() const { return next_; }

 private:
  void reload();

  std::filesystem::path file_;
  std::function<bool()> alive_;
  std::vector<std::string> lines_;
  std::size_t next_ = 0;
};

}  // namespace kiv::gui
