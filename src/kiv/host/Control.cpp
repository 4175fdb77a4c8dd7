#include "kiv/host/Control.h"

#include <algorithm>
#include <vector>

#include "kiv/host/CommandButton.h"
#include "kiv/host/Form.h"
#include "kiv/host/UserControl.h"
#include "kiv/host/Utf8Text.h"
#include "kiv/host/WidgetPeer.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"

namespace kiv {

namespace {

constexpr std::int32_t kInvalidPropertyValue = 380;

// The focus of controls that sit on no form.
thread_local Control* tlLooseFocus = nullptr;

// The key that types a character on a US keyboard: key code and shift state.
void KeyOfChar(char32_t cp, std::int16_t& code, std::int16_t& shift) {
  shift = 0;
  if (cp >= 'a' && cp <= 'z') {
    code = static_cast<std::int16_t>(cp - 'a' + 'A');
  } else if (cp >= 'A' && cp <= 'Z') {
    code = static_cast<std::int16_t>(cp);
    shift = key::ShiftMask;
  } else if (cp >= '0' && cp <= '9') {
    code = static_cast<std::int16_t>(cp);
  } else if (cp == ' ') {
    code = key::Space;
  } else {
    static constexpr std::string_view kPlain = ";=,-./`[\\]'";
    static constexpr std::string_view kShifted = ":+<_>?~{|}\"";
    static constexpr std::int16_t kCodes[] = {186, 187, 188, 189, 190, 191,
                                              192, 219, 220, 221, 222};
    static constexpr std::string_view kShiftedDigits = ")!@#$%^&*(";
    if (cp < 0x80) {
      const char c = static_cast<char>(cp);
      if (auto i = kPlain.find(c); i != std::string_view::npos) {
        code = kCodes[i];
        return;
      }
      if (auto i = kShifted.find(c); i != std::string_view::npos) {
        code = kCodes[i];
        shift = key::ShiftMask;
        return;
      }
      if (auto i = kShiftedDigits.find(c); i != std::string_view::npos) {
        code = static_cast<std::int16_t>('0' + i);
        shift = key::ShiftMask;
        return;
      }
    }
    code = 229;  // a character from an input method
  }
}

// True when container is control or holds it (at any depth).
bool Contains(const Control* container, const Control* control) {
  for (const Control* c = control; c; c = c->Container()) {
    if (c == container) return true;
  }
  return false;
}

}  // namespace

Control::Control(std::string name) : name_(std::move(name)) {}

Control::~Control() {
  if (peer_) {
    WidgetPeer* p = peer_;
    peer_ = nullptr;
    p->detached(*this);
  }
  if (tlLooseFocus == this) tlLooseFocus = nullptr;
  if (Form* f = Parent(); f && f->active_ == this) f->active_ = nullptr;
}

// ---- Properties

void Control::Name(std::string name) {
  if (name == name_) return;
  name_ = std::move(name);
  notify("Name");
}

void Control::Left(double value) {
  if (value == left_) return;
  left_ = value;
  geometryChanged(false);
}

void Control::Top(double value) {
  if (value == top_) return;
  top_ = value;
  geometryChanged(false);
}

void Control::Width(double value) {
  if (value < 0) {
    throw Error(kInvalidPropertyValue, name_, "Invalid property value: Width cannot be negative");
  }
  if (value == width_) return;
  width_ = value;
  geometryChanged(true);
}

void Control::Height(double value) {
  if (value < 0) {
    throw Error(kInvalidPropertyValue, name_, "Invalid property value: Height cannot be negative");
  }
  if (value == height_) return;
  height_ = value;
  geometryChanged(true);
}

void Control::Move(double left, double top, double width, double height) {
  if (width < 0 || height < 0) {
    throw Error(kInvalidPropertyValue, name_, "Invalid property value: a size cannot be negative");
  }
  const bool sized = width != width_ || height != height_;
  if (!sized && left == left_ && top == top_) return;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  geometryChanged(sized);
}

void Control::Visible(bool value) {
  if (value == visible_) return;
  visible_ = value;
  if (peer_) peer_->visibilityChanged(*this, value);
  notify("Visible");
}

void Control::Enabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  notify("Enabled");
}

void Control::TabIndex(std::int16_t value) {
  if (value == tabIndex_) return;
  tabIndex_ = value;
  notify("TabIndex");
}

void Control::Tag(std::string value) {
  if (value == tag_) return;
  tag_ = std::move(value);
  notify("Tag");
}

Form* Control::Parent() const {
  const Control* c = this;
  while (c->container_)
    c = c->container_;
  return c->form_;
}

void Control::geometryChanged(bool) {
  if (peer_) peer_->geometryChanged(*this);
}

void Control::notify(std::string_view property) {
  if (peer_) peer_->propertyChanged(*this, property);
}

// ---- Peer

void Control::attachPeer(WidgetPeer* peer) {
  if (peer == peer_) return;
  if (peer_) {
    WidgetPeer* old = peer_;
    peer_ = nullptr;
    old->detached(*this);
  }
  peer_ = peer;
}

void Control::detachPeer() {
  peer_ = nullptr;
}

// ---- Focus

bool Control::canTakeInput() const {
  for (const Control* c = this; c; c = c->container_) {
    if (!c->visible_ || !c->enabled_) return false;
  }
  return true;
}

bool Control::CanFocus() const {
  Control* target = const_cast<Control*>(this)->focusTarget();
  if (!target) return false;
  return target->takesFocus() && target->canTakeInput();
}

Control*& Control::focusSlot() const {
  Form* f = Parent();
  return f ? f->active_ : tlLooseFocus;
}

bool Control::HasFocus() const {
  return focusSlot() == this;
}

void Control::SetFocus() {
  Control* target = focusTarget();
  if (!target || !target->takesFocus() || !target->canTakeInput()) {
    throw Error(err::InvalidProcedureCall, name_,
                "Invalid procedure call or argument: '" + name_ +
                    "' cannot take the focus (it is disabled or invisible)");
  }
  moveFocus(target->focusSlot(), target);
}

void Control::moveFocus(Control*& slot, Control* target) {
  Control* old = slot;
  if (old == target) return;
  // Keep both widgets alive while their handlers run.
  std::shared_ptr<Dispatch> keepOld = old ? old->weak_from_this().lock() : nullptr;
  std::shared_ptr<Dispatch> keepNew = target ? target->weak_from_this().lock() : nullptr;
  // The new focus is current while the old one's LostFocus runs, as on the host.
  slot = target;
  if (old) {
    if (old->peer_) old->peer_->focusChanged(*old, false);
    old->raiseLostFocus();
    for (UserControl* u = old->container_; u; u = u->container_) {
      if (!Contains(u, target)) u->ExitFocus();
    }
  }
  // A LostFocus handler may have moved the focus elsewhere.
  if (!target || slot != target) return;
  std::vector<UserControl*> entered;
  for (UserControl* u = target->container_; u; u = u->container_) {
    if (!old || !Contains(u, old)) entered.push_back(u);
  }
  for (auto it = entered.rbegin(); it != entered.rend(); ++it)
    (*it)->EnterFocus();
  if (target->peer_) target->peer_->focusChanged(*target, true);
  target->raiseGotFocus();
}

bool Control::focusForInput() {
  if (!canTakeInput()) return false;
  Control* target = focusTarget();
  if (target && target->takesFocus() && target->canTakeInput() && !target->HasFocus()) {
    moveFocus(target->focusSlot(), target);
  }
  return true;
}

// ---- Mouse

bool Control::mouseDown(std::int16_t button, std::int16_t shift, float x, float y) {
  if (!canTakeInput()) return false;
  auto keep = weak_from_this().lock();
  pressModalCount_ = Form::ModalShowCount();
  raiseMouseDown(button, shift, x, y);
  if (button == 1) {
    Control* target = focusTarget();
    if (target && target->takesFocus() && target->canTakeInput()) {
      moveFocus(target->focusSlot(), target);
    }
  }
  return true;
}

bool Control::mouseUp(std::int16_t button, std::int16_t shift, float x, float y) {
  if (!canTakeInput()) return false;
  raiseMouseUp(button, shift, x, y);
  return true;
}

bool Control::mouseMove(std::int16_t button, std::int16_t shift, float x, float y) {
  if (!canTakeInput()) return false;
  raiseMouseMove(button, shift, x, y);
  return true;
}

bool Control::mouseRelease(float x, float y) {
  // A modal form shown since the press took the mouse: no MouseUp, no Click.
  if (Form::ModalShowCount() != pressModalCount_) return false;
  if (!canTakeInput()) return false;
  auto keep = weak_from_this().lock();
  std::int16_t button = 1, shift = 0;
  raiseMouseUp(button, shift, x, y);
  performClick();
  return true;
}

bool Control::click(float x, float y) {
  if (!mouseDown(1, 0, x, y)) return false;
  mouseRelease(x, y);
  return true;
}

bool Control::dblClick(float x, float y) {
  if (!mouseDown(1, 0, x, y)) return false;
  auto keep = weak_from_this().lock();
  if (mouseRelease(x, y) && canTakeInput()) performDblClick();
  return true;
}

// ---- Keyboard

bool Control::keyDown(std::int16_t keyCode, std::int16_t shift) {
  if (!canTakeInput()) return false;
  raiseKeyDown(keyCode, shift);
  if (keyCode != 0) applyKeyDown(keyCode, shift);
  return true;
}

bool Control::keyPress(std::int16_t keyAscii) {
  if (!canTakeInput()) return false;
  const std::int16_t typed = keyAscii;
  raiseKeyPress(keyAscii);
  if (keyAscii != 0) {
    applyChar(keyAscii,
              keyAscii == typed ? utf8::Encode(static_cast<std::uint16_t>(typed)) : std::string());
  }
  return true;
}

bool Control::keyUp(std::int16_t keyCode, std::int16_t shift) {
  if (!canTakeInput()) return false;
  raiseKeyUp(keyCode, shift);
  if (keyCode != 0) applyKeyUp(keyCode, shift);
  return true;
}

std::int16_t Control::AsciiOfKey(std::int16_t keyCode, std::int16_t shift) {
  const bool shifted = (shift & key::ShiftMask) != 0;
  const bool ctrl = (shift & key::CtrlMask) != 0;
  if (shift & key::AltMask) return 0;
  if (keyCode >= 'A' && keyCode <= 'Z') {
    if (ctrl) return static_cast<std::int16_t>(keyCode - 'A' + 1);
    return shifted ? keyCode : static_cast<std::int16_t>(keyCode + 32);
  }
  if (ctrl) return 0;
  if (keyCode >= '0' && keyCode <= '9') {
    if (!shifted) return keyCode;
    static constexpr std::string_view kShiftedDigits = ")!@#$%^&*(";
    return kShiftedDigits[static_cast<std::size_t>(keyCode - '0')];
  }
  if (keyCode >= 96 && keyCode <= 105) return static_cast<std::int16_t>('0' + keyCode - 96);
  switch (keyCode) {
    case key::Back:
    case key::Return:
    case key::Escape:
    case key::Space:
      return keyCode;
    case 106:
      return '*';
    case 107:
      return '+';
    case 109:
      return '-';
    case 110:
      return '.';
    case 111:
      return '/';
    default:
      break;
  }
  static constexpr std::int16_t kCodes[] = {186, 187, 188, 189, 190, 191, 192, 219, 220, 221, 222};
  static constexpr std::string_view kPlain = ";=,-./`[\\]'";
  static constexpr std::string_view kShifted = ":+<_>?~{|}\"";
  for (std::size_t i = 0; i < std::size(kCodes); ++i) {
    if (kCodes[i] == keyCode) return shifted ? kShifted[i] : kPlain[i];
  }
  return 0;
}

bool Control::pressKey(std::int16_t keyCode, std::int16_t shift) {
  if (!focusForInput()) return false;
  auto keep = weak_from_this().lock();
  // Enter and Escape go to the form's Default and Cancel buttons, unless the
  // focus is on a command button (which takes them itself).
  if ((keyCode == key::Return || keyCode == key::Escape) && shift == 0 &&
      !dynamic_cast<CommandButton*>(this)) {
    if (Form* f = Parent()) {
      CommandButton* button = keyCode == key::Return ? f->defaultButton() : f->cancelButton();
      if (button) {
        button->Value(true);
        return true;
      }
    }
  }
  const std::int16_t code = keyCode;
  const std::int16_t state = shift;
  std::int16_t k = code, s = state;
  raiseKeyDown(k, s);
  if (k != 0) applyKeyDown(k, s);
  if (const std::int16_t ascii = AsciiOfKey(code, state); ascii != 0) {
    std::int16_t a = ascii;
    raiseKeyPress(a);
    if (a != 0)
      applyChar(a, a == ascii ? utf8::Encode(static_cast<char32_t>(ascii)) : std::string());
  }
  k = code;
  s = state;
  raiseKeyUp(k, s);
  if (k != 0) applyKeyUp(k, s);
  return true;
}

bool Control::typeChar(std::string_view utf8Char, char32_t cp) {
  std::int16_t code = 0, shift = 0;
  KeyOfChar(cp, code, shift);
  const std::int16_t ascii = cp < 0x8000 ? static_cast<std::int16_t>(cp) : std::int16_t{'?'};
  std::int16_t k = code, s = shift;
  raiseKeyDown(k, s);
  if (k != 0) applyKeyDown(k, s);
  std::int16_t a = ascii;
  raiseKeyPress(a);
  if (a != 0) {
    applyChar(a, a == ascii ? std::string(utf8Char)
                            : utf8::Encode(static_cast<char32_t>(static_cast<std::uint16_t>(a))));
  }
  k = code;
  s = shift;
  raiseKeyUp(k, s);
  if (k != 0) applyKeyUp(k, s);
  return true;
}

bool Control::type(std::string_view text) {
  if (!focusForInput()) return false;
  auto keep = weak_from_this().lock();
  std::size_t pos = 0;
  char32_t cp;
  while (true) {
    const std::size_t start = pos;
    if (!utf8::Next(text, pos, cp)) break;
    if (!canTakeInput()) return false;  // a handler disabled or hid the control
    switch (cp) {
      case '\b':
        pressKey(key::Back);
        break;
      case '\r':
      case '\n':
        pressKey(key::Return);
        break;
      case 0x1B:
        pressKey(key::Escape);
        break;
      case '\t':
        if (Form* f = Parent()) f->tab();
        break;
      default:
        typeChar(text.substr(start, pos - start), cp);
    }
  }
  return true;
}

// ---- Late binding

const MemberTable& Control::Members() {
  static const MemberTable table =
      MemberTable::Builder<Control>()
          .property(
              "Name", [](Control& c) { return Variant(c.Name()); },
              [](Control& c, const Variant& v) { c.Name(CStr(v)); })
          .property(
              "Left", [](Control& c) { return Variant(c.Left()); },
              [](Control& c, const Variant& v) { c.Left(CDbl(v)); })
          .property(
              "Top", [](Control& c) { return Variant(c.Top()); },
              [](Control& c, const Variant& v) { c.Top(CDbl(v)); })
          .property(
              "Width", [](Control& c) { return Variant(c.Width()); },
              [](Control& c, const Variant& v) { c.Width(CDbl(v)); })
          .property(
              "Height", [](Control& c) { return Variant(c.Height()); },
              [](Control& c, const Variant& v) { c.Height(CDbl(v)); })
          .property(
              "Visible", [](Control& c) { return Variant(c.Visible()); },
              [](Control& c, const Variant& v) { c.Visible(CBool(v)); })
          .property(
              "Enabled", [](Control& c) { return Variant(c.Enabled()); },
              [](Control& c, const Variant& v) { c.Enabled(CBool(v)); })
          .property(
              "TabIndex", [](Control& c) { return Variant(c.TabIndex()); },
              [](Control& c, const Variant& v) { c.TabIndex(CInt(v)); })
          .property(
              "Tag", [](Control& c) { return Variant(c.Tag()); },
              [](Control& c, const Variant& v) { c.Tag(CStr(v)); })
          .get("Parent",
               [](Control& c) {
                 Form* f = c.Parent();
                 std::shared_ptr<Dispatch> p = f ? f->weak_from_this().lock() : nullptr;
                 return Variant(p);
               })
          .get("Container",
               [](Control& c) {
                 Control* u = c.Container();
                 std::shared_ptr<Dispatch> p = u ? u->weak_from_this().lock() : nullptr;
                 return Variant(p);
               })
          .method("SetFocus",
                  [](Control& c, MemberTable::Builder<Control>::Args&) {
                    c.SetFocus();
                    return Variant();
                  })
          .method("Move",
                  [](Control& c, MemberTable::Builder<Control>::Args& a) {
                    c.Move(CDbl(Arg(a, 0)), HasArg(a, 1) ? CDbl(Arg(a, 1)) : c.Top(),
                           HasArg(a, 2) ? CDbl(Arg(a, 2)) : c.Width(),
                           HasArg(a, 3) ? CDbl(Arg(a, 3)) : c.Height());
                    return Variant();
                  })
          .build();
  return table;
}

}  // namespace kiv
