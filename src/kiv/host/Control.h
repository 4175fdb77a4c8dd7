#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "kiv/runtime/Dispatch.h"
#include "kiv/runtime/Variant.h"

namespace kiv {

class Form;
class UserControl;
class WidgetPeer;

// Key codes the simulated input uses (the host's vbKey values).
namespace key {
inline constexpr std::int16_t Back = 8;
inline constexpr std::int16_t Tab = 9;
inline constexpr std::int16_t Return = 13;
inline constexpr std::int16_t Shift = 16;
inline constexpr std::int16_t Control = 17;
inline constexpr std::int16_t Escape = 27;
inline constexpr std::int16_t Space = 32;
inline constexpr std::int16_t PageUp = 33;
inline constexpr std::int16_t PageDown = 34;
inline constexpr std::int16_t End = 35;
inline constexpr std::int16_t Home = 36;
inline constexpr std::int16_t Left = 37;
inline constexpr std::int16_t Up = 38;
inline constexpr std::int16_t Right = 39;
inline constexpr std::int16_t Down = 40;
inline constexpr std::int16_t Delete = 46;
inline constexpr std::int16_t F4 = 115;
// Shift state bits.
inline constexpr std::int16_t ShiftMask = 1;
inline constexpr std::int16_t CtrlMask = 2;
inline constexpr std::int16_t AltMask = 4;
}  // namespace key

// System colours (the high bit marks a system colour index).
namespace colour {
inline constexpr std::int32_t ButtonFace = static_cast<std::int32_t>(0x8000000F);
inline constexpr std::int32_t WindowBackground = static_cast<std::int32_t>(0x80000005);
inline constexpr std::int32_t WindowText = static_cast<std::int32_t>(0x80000008);
inline constexpr std::int32_t ButtonText = static_cast<std::int32_t>(0x80000012);
}  // namespace colour

// The base of everything placed on a form: the intrinsic widgets, the data
// grid, the month view and the user controls. Geometry is in twips.
//
// Simulated input raises what a real user raises, in the same order:
//   click():    MouseDown -> focus moves here (LostFocus on the old focus,
//               GotFocus here; only for a control that takes the focus) ->
//               MouseUp -> Click. When a modal form was shown while MouseDown
//               and the focus change ran, MouseUp and Click are not raised.
//   pressKey(): KeyDown -> KeyPress (keys that produce a character) -> KeyUp;
//               the control is focused first. Enter and Escape on a form with
//               an enabled, visible Default / Cancel button click that button
//               instead (unless the focus is on a command button).
//   type(text): per character KeyDown -> KeyPress -> edit -> Change -> KeyUp.
// A handler that sets KeyCode or KeyAscii to 0 suppresses the key's effect.
// A disabled or invisible control (or one inside a disabled or invisible
// user control) takes no input: the entry points return false.
// An Error raised by a handler propagates to the caller of the entry point
// (a GUI peer reports it; a script or test sees it). Hiding or disabling the
// focused control leaves the focus where it is, without events, so a control
// that re-lays itself out while it has the focus keeps it.
class Control : public Dispatch {
 public:
  explicit Control(std::string name = "");
  ~Control() override;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  // ---- Properties
  const std::string& Name() const { return name_; }
  void Name(std::string name);
  double Left() const { return left_; }
  void Left(double value);
  double Top() const { return top_; }
  void Top(double value);
  double Width() const { return width_; }
  void Width(double value);
  double Height() const { return height_; }
  void Height(double value);
  void Move(double left, double top, double width, double height);
  bool Visible() const { return visible_; }
  void Visible(bool value);
  bool Enabled() const { return enabled_; }
  void Enabled(bool value);
  std::int16_t TabIndex() const { return tabIndex_; }
  void TabIndex(std::int16_t value);
  const std::string& Tag() const { return tag_; }
  void Tag(std::string value);

  // The form the control sits on (through its containing user control for a
  // constituent widget), or nullptr.
  Form* Parent() const;
  // The user control whose constituent this widget is, or nullptr.
  UserControl* Container() const { return container_; }

  // ---- Focus
  // Whether the control could take the focus now: it takes focus at all, and
  // it and its containers are visible and enabled.
  bool CanFocus() const;
  // Moves the focus here (LostFocus on the old focus, then GotFocus here;
  // nothing when it is already here). Raises error 5 when the control cannot
  // take the focus.
  void SetFocus();
  bool HasFocus() const;

  // ---- Simulated input (see the class comment). Each returns false when the
  // control cannot take input (disabled or invisible).
  bool click(float x = 0, float y = 0);
  bool dblClick(float x = 0, float y = 0);
  bool mouseDown(std::int16_t button = 1, std::int16_t shift = 0, float x = 0, float y = 0);
  bool mouseUp(std::int16_t button = 1, std::int16_t shift = 0, float x = 0, float y = 0);
  bool mouseMove(std::int16_t button = 0, std::int16_t shift = 0, float x = 0, float y = 0);
  // The end of a user's click after mouseDown: MouseUp then Click, unless a
  // modal form was shown since the mouseDown (it took the mouse). Returns
  // whether the click completed. click() is mouseDown(1) + mouseRelease().
  bool mouseRelease(float x = 0, float y = 0);
  bool keyDown(std::int16_t keyCode, std::int16_t shift = 0);
  bool keyPress(std::int16_t keyAscii);
  bool keyUp(std::int16_t keyCode, std::int16_t shift = 0);
  bool pressKey(std::int16_t keyCode, std::int16_t shift = 0);
  // Types UTF-8 text character by character ("\b" is Backspace, "\r" or "\n" Enter).
  bool type(std::string_view text);

  // ---- Peer
  WidgetPeer* peer() const { return peer_; }
  // Attaches a peer (replacing and detaching any previous one).
  void attachPeer(WidgetPeer* peer);
  void detachPeer();

  // ---- Late binding
  std::string_view TypeName() const override { return "Control"; }
  const MemberTable& memberTable() const override { return Members(); }
  // The members every control has: Name, Left, Top, Width, Height, Visible,
  // Enabled, TabIndex, Tag, Parent, Container, SetFocus, Move.
  static const MemberTable& Members();

  // The character a key produces with a shift state (KeyAscii), or 0.
  static std::int16_t AsciiOfKey(std::int16_t keyCode, std::int16_t shift);

 protected:
  // The modal-show count when the mouse last went down here.
  std::uint64_t pressModalCount() const { return pressModalCount_; }
  // Tells the peer that a property changed.
  void notify(std::string_view property);
  // Geometry changed; the base tells the peer. UserControl runs Resize on a
  // new width or height.
  virtual void geometryChanged(bool sizeChanged);
  // Whether this kind of control takes the focus at all (a label does not).
  virtual bool takesFocus() const { return true; }

  // Raising the control's events; the base raises nothing. Arguments go by
  // reference so a handler's change reaches the control.
  virtual void raiseGotFocus() {}
  virtual void raiseLostFocus() {}
  virtual void raiseClick() {}
  virtual void raiseDblClick() {}
  virtual void raiseMouseDown(std::int16_t&, std::int16_t&, float&, float&) {}
  virtual void raiseMouseUp(std::int16_t&, std::int16_t&, float&, float&) {}
  virtual void raiseMouseMove(std::int16_t&, std::int16_t&, float&, float&) {}
  virtual void raiseKeyDown(std::int16_t&, std::int16_t&) {}
  virtual void raiseKeyPress(std::int16_t&) {}
  virtual void raiseKeyUp(std::int16_t&, std::int16_t&) {}

  // What the control does with input after its events were raised.
  // The user's click, after MouseUp (a check box toggles; default: Click).
  virtual void performClick() { raiseClick(); }
  // The second click of a double click (default: DblClick).
  virtual void performDblClick() { raiseDblClick(); }
  // The widget that takes the focus for this control (a user control hands
  // it to its first focusable constituent).
  virtual Control* focusTarget() { return this; }
  // A key that went down and was not suppressed (Delete edits a text box).
  virtual void applyKeyDown(std::int16_t /*keyCode*/, std::int16_t /*shift*/) {}
  // A character that was not suppressed; original is the UTF-8 text typed
  // when the handlers left KeyAscii unchanged, else empty.
  virtual void applyChar(std::int16_t /*keyAscii*/, std::string_view /*original*/) {}
  // A key that came up (Space clicks a button or toggles a check box).
  virtual void applyKeyUp(std::int16_t /*keyCode*/, std::int16_t /*shift*/) {}

  // Called by the form's focus tracking.
  friend class Form;
  friend class UserControl;
  // Whether the control and its containers are visible and enabled.
  bool canTakeInput() const;

 private:
  bool typeChar(std::string_view utf8, char32_t cp);
  bool focusForInput();
  Control*& focusSlot() const;
  // Moves a focus slot (a form's, or the one for controls on no form).
  static void moveFocus(Control*& slot, Control* target);

  std::string name_;
  double left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = true;
  bool enabled_ = true;
  std::int16_t tabIndex_ = 0;
  std::string tag_;
  Form* form_ = nullptr;              // set by Form::Add
  UserControl* container_ = nullptr;  // set by UserControl::addConstituent
  WidgetPeer* peer_ = nullptr;
  std::uint64_t pressModalCount_ = 0;
};

}  // namespace kiv
