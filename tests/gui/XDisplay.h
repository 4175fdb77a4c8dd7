#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "gui/ChildProcess.h"

namespace kiv::gui {

// A rectangle in pixels.
struct Box {
  int x = 0, y = 0, width = 0, height = 0;
  int centerX() const { return x + width / 2; }
  int centerY() const { return y + height / 2; }
};

// A private X server (Xvfb, 800x600) on a display number it picks itself
// among the free ones, and real input to it through xdotool: pointer moves,
// clicks and key presses as the X server's test extension makes them,
// indistinguishable from a user's. The server is stopped when the object
// goes. workDir receives its log and the clients' runtime folder.
class XDisplay {
 public:
  explicit XDisplay(const std::filesystem::path& workDir);

  // The environment a client of this display runs in: this process's
  // environment without any display, locale or Qt platform settings, plus
  // DISPLAY, a private XDG_RUNTIME_DIR and the extra NAME=value entries.
  std::vector<std::string> environment(const std::vector<std::string>& extra = {}) const;

  // A click of the left button at a point of a window (window coordinates).
  void click(unsigned long window, int x, int y) const;
  // Key presses in xdotool's names: "Return", "Escape", "ctrl+a".
  void key(const std::string& keys) const;
  // Types the text key by key.
  void type(const std::string& text) const;
  // The window that has the keyboard focus.
  unsigned long focus() const;
  // The windows of a process that are mapped on the screen.
  std::vector<unsigned long> visibleWindows(int pid) const;
  // Saves the part of the screen in box as a PNG file.
  void screenshot(const std::filesystem::path& file, const Box& box) const;

 private:
  // Runs a program to its end and returns what it wrote; throws when it
  // fails or outlives 20 seconds.
  std::string run(const std::vector<std::string>& argv,
                  const std::vector<std::string>& extraEnvironment) const;
  std::string xdotool(std::vector<std::string> args) const;

  std::filesystem::path workDir_;
  std::string name_;
  std::unique_ptr<ChildProcess> server_;
};

}  // namespace kiv::gui
