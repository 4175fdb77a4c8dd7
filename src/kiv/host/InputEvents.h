#pragma once

#include <cstdint>

#include "kiv/runtime/Event.h"

namespace kiv {

// The focus, click, key and mouse events every input widget raises. A
// widget's own Events struct derives from it and adds the rest (Change,
// DblClick, ...).
struct InputEvents {
  Event<> Click;
  Event<> GotFocus;
  Event<> LostFocus;
  Event<std::int16_t, std::int16_t> KeyDown;                  // KeyCode, Shift
  Event<std::int16_t> KeyPress;                               // KeyAscii
  Event<std::int16_t, std::int16_t> KeyUp;                    // KeyCode, Shift
  Event<std::int16_t, std::int16_t, float, float> MouseDown;  // Button, Shift, X, Y
  Event<std::int16_t, std::int16_t, float, float> MouseUp;    // Button, Shift, X, Y
};

}  // namespace kiv
