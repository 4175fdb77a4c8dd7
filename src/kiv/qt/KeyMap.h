#pragma once

#include <cstdint>

#include <Qt>

class QKeyEvent;

namespace kiv::qt {

// The host's key code (vbKey value) for a Qt key event, or 0 for a key the
// host has no code for.
std::int16_t KeyCodeOf(const QKeyEvent& event);
// The host's shift state bits (1 Shift, 2 Ctrl, 4 Alt).
std::int16_t ShiftOf(Qt::KeyboardModifiers modifiers);
// The host's mouse button bits (1 left, 2 right, 4 middle).
std::int16_t ButtonOf(Qt::MouseButtons buttons);

}  // namespace kiv::qt
