#pragma once

#include <string_view>

namespace kiv {

class Control;

// How a GUI front end observes one widget of the model. The model is the
// single source of truth: the peer mirrors what it is told, and feeds real
// input back through the control's simulated-input entry points (type,
// keyDown, keyPress, keyUp, pressKey, click, dblClick, mouseDown, mouseUp,
// SetFocus, and userSetText for a paste or an input-method edit).
//
// A control has at most one peer. A peer that goes away first calls
// control.detachPeer(); a control that goes away first calls detached().
class WidgetPeer {
 public:
  virtual ~WidgetPeer() = default;

  // A property was written (by name, as the member table spells it: "Text",
  // "BackColor", "Enabled", "Caption", "ListIndex", "List", "Columns", ...).
  virtual void propertyChanged(Control& control, std::string_view name) = 0;
  // Left, Top, Width or Height changed.
  virtual void geometryChanged(Control& /*control*/) {}
  // The control gained (true) or lost (false) the focus.
  virtual void focusChanged(Control& /*control*/, bool /*hasFocus*/) {}
  // Visible changed.
  virtual void visibilityChanged(Control& /*control*/, bool /*visible*/) {}
  // The control is being destroyed; the peer must not touch it afterwards.
  virtual void detached(Control& /*control*/) {}
};

}  // namespace kiv
