#include "kiv/qt/KeyMap.h"

#include <QKeyEvent>

namespace kiv::qt {

std::int16_t KeyCodeOf(const QKeyEvent& event) {
  const int k = event.key();
  const bool keypad = (event.modifiers() & Qt::KeypadModifier) != 0;
  if (k >= Qt::Key_A && k <= Qt::Key_Z) return static_cast<std::int16_t>(k);
  if (k >= Qt::Key_0 && k <= Qt::Key_9) {
    return static_cast<std::int16_t>(keypad ? 96 + (k - Qt::Key_0) : k);
  }
  if (k >= Qt::Key_F1 && k <= Qt::Key_F16) return static_cast<std::int16_t>(112 + (k - Qt::Key_F1));
  switch (k) {
    case Qt::Key_Backspace:
      return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return 9;
    case Qt::Key_Clear:
      return 12;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Shift:
      return 16;
    case Qt::Key_Control:
      return 17;
    case Qt::Key_Alt:
      return 18;
    case Qt::Key_Pause:
      return 19;
    case Qt::Key_CapsLock:
      return 20;
    case Qt::Key_Escape:
      return 27;
    case Qt::Key_Space:
      return 32;
    case Qt::Key_PageUp:
      return 33;
    case Qt::Key_PageDown:
      return 34;
    case Qt::Key_End:
      return 35;
    case Qt::Key_Home:
      return 36;
    case Qt::Key_Left:
      return 37;
    case Qt::Key_Up:
      return 38;
    case Qt::Key_Right:
      return 39;
    case Qt::Key_Down:
      return 40;
    case Qt::Key_Print:
      return 44;
    case Qt::Key_Insert:
      return 45;
    case Qt::Key_Delete:
      return 46;
    case Qt::Key_Help:
      return 47;
    case Qt::Key_NumLock:
      return 144;
    case Qt::Key_ScrollLock:
      return 145;
    case Qt::Key_Asterisk:
      return keypad ? 106 : 56;
    case Qt::Key_Plus:
      return keypad ? 107 : 187;
    case Qt::Key_Minus:
      return keypad ? 109 : 189;
    case Qt::Key_Period:
      return keypad ? 110 : 190;
    case Qt::Key_Slash:
      return keypad ? 111 : 191;
    case Qt::Key_Semicolon:
    case Qt::Key_Colon:
      return 186;
    case Qt::Key_Equal:
      return 187;
    case Qt::Key_Comma:
    case Qt::Key_Less:
      return 188;
    case Qt::Key_Underscore:
      return 189;
    case Qt::Key_Greater:
      return 190;
    case Qt::Key_Question:
      return 191;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde:
      return 192;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft:
      return 219;
    case Qt::Key_Backslash:
    case Qt::Key_Bar:
      return 220;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight:
      return 221;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl:
      return 222;
    default:
      return 0;
  }
}

std::int16_t ShiftOf(Qt::KeyboardModifiers modifiers) {
  std::int16_t shift = 0;
  if (modifiers & Qt::ShiftModifier) shift |= 1;
  if (modifiers & Qt::ControlModifier) shift |= 2;
  if (modifiers & Qt::AltModifier) shift |= 4;
  return shift;
}

std::int16_t ButtonOf(Qt::MouseButtons buttons) {
  std::int16_t button = 0;
  if (buttons & Qt::LeftButton) button |= 1;
  if (buttons & Qt::RightButton) button |= 2;
  if (buttons & Qt::MiddleButton) button |= 4;
  return button;
}

}  // namespace kiv::qt
