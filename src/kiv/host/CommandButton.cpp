#include "kiv/host/CommandButton.h"

#include "kiv/host/ColourValue.h"
#include "kiv/host/Form.h"
#include "kiv/runtime/Conversions.h"

namespace kiv {

CommandButton::CommandButton(std::string name) : InputControl(std::move(name)) {}

void CommandButton::Caption(std::string value) {
  if (value == caption_) return;
  caption_ = std::move(value);
  notify("Caption");
}

void CommandButton::Picture(std::string value) {
  if (value == picture_) return;
  picture_ = std::move(value);
  notify("Picture");
}

void CommandButton::ToolTipText(std::string value) {
  if (value == toolTipText_) return;
  toolTipText_ = std::move(value);
  notify("ToolTipText");
}

void CommandButton::Default(bool value) {
  if (value == default_) return;
  default_ = value;
  notify("Default");
  // One default button per form.
  if (value) {
    if (Form* f = Parent()) {
      for (const auto& c : f->Controls()) {
        auto* other = dynamic_cast<CommandButton*>(c.get());
        if (other && other != this && other->default_) other->Default(false);
      }
    }
  }
}

void CommandButton::Cancel(bool value) {
  if (value == cancel_) return;
  cancel_ = value;
  notify("Cancel");
  if (value) {
    if (Form* f = Parent()) {
      for (const auto& c : f->Controls()) {
        auto* other = dynamic_cast<CommandButton*>(c.get());
        if (other && other != this && other->cancel_) other->Cancel(false);
      }
    }
  }
}

void CommandButton::Style(std::int16_t value) {
  if (value == style_) return;
  style_ = value;
  notify("Style");
}

void CommandButton::BackColor(std::int32_t value) {
  if (value == backColor_) return;
  backColor_ = value;
  notify("BackColor");
}

void CommandButton::Value(bool value) {
  if (value) events.Click.raise();
}

void CommandButton::applyChar(std::int16_t keyAscii, std::string_view) {
  if (keyAscii == key::Return) events.Click.raise();
}

void CommandButton::applyKeyUp(std::int16_t keyCode, std::int16_t shift) {
  if (keyCode == key::Space && shift == 0) events.Click.raise();
}

const MemberTable& CommandButton::Members() {
  using B = MemberTable::Builder<CommandButton>;
  static const MemberTable table =
      B(&Control::Members())
          .property(
              "Caption", [](CommandButton& c) { return Variant(c.Caption()); },
              [](CommandButton& c, const Variant& v) { c.Caption(CStr(v)); })
          .property(
              "Picture", [](CommandButton& c) { return Variant(c.Picture()); },
              [](CommandButton& c, const Variant& v) { c.Picture(CStr(v)); })
          .property(
              "ToolTipText", [](CommandButton& c) { return Variant(c.ToolTipText()); },
              [](CommandButton& c, const Variant& v) { c.ToolTipText(CStr(v)); })
          .property(
              "Default", [](CommandButton& c) { return Variant(c.Default()); },
              [](CommandButton& c, const Variant& v) { c.Default(CBool(v)); })
          .property(
              "Cancel", [](CommandButton& c) { return Variant(c.Cancel()); },
              [](CommandButton& c, const Variant& v) { c.Cancel(CBool(v)); })
          .property(
              "Style", [](CommandButton& c) { return Variant(c.Style()); },
              [](CommandButton& c, const Variant& v) { c.Style(CInt(v)); })
          .property(
              "BackColor", [](CommandButton& c) { return Variant(c.BackColor()); },
              [](CommandButton& c, const Variant& v) { c.BackColor(ColourValue(v)); })
          .property(
              "Value", [](CommandButton&) { return Variant(false); },
              [](CommandButton& c, const Variant& v) { c.Value(CBool(v)); })
          .build();
  return table;
}

}  // namespace kiv
