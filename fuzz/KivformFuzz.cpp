// The form-file loader and the script parser: any input either loads (or
// parses) or raises a kiv::Error; nothing else escapes and nothing crashes.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "kiv/host/HeadlessHost.h"
#include "kiv/runtime/Error.h"
#include "kivform/Screen.h"
#include "kivform/Script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  // Stay on this machine: no server connections from fuzzed connection strings.
  if (text.find("postgres") != std::string_view::npos || text.find('=') != std::string_view::npos)
    return 0;
  static kiv::HeadlessHost host;
  kiv::Host::SetCurrent(&host);
  try {
    if (data[0] & 1) {
      kivform::Script::Parse(text, "fuzz.script");
    } else {
      auto screen = kivform::Screen::Parse(text, "fuzz.json", "/nonexistent-kivform-fuzz");
      screen->save();
    }
  } catch (const kiv::Error&) {
  }
  kiv::Host::SetCurrent(nullptr);
  return 0;
}
