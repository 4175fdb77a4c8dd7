#include "kiv/host/TextBox.h"

#include "kiv/host/ColourValue.h"
#include "kiv/host/Utf8Text.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"

namespace kiv {

namespace {
constexpr std::int32_t kInvalidPropertyValue = 380;
}

TextBox::TextBox(std::string name) : InputControl(std::move(name)) {}

void TextBox::setText(std::string value, std::int32_t caret) {
  if (!edit_.assign(std::move(value), caret)) {
    notify("SelStart");
    return;
  }
  notify("Text");
  events.Change.raise();
}

void TextBox::apply(const std::optional<EditBuffer::Edit>& edit) {
  if (edit) setText(edit->text, edit->caret);
}

void TextBox::Text(std::string_view value) {
  if (value == edit_.text()) return;
  setText(std::string(value), 0);
}

void TextBox::Locked(bool value) {
  if (value == locked_) return;
  locked_ = value;
  notify("Locked");
}

void TextBox::MaxLength(std::int32_t value) {
  if (value < 0) {
    throw Error(kInvalidPropertyValue, Name(),
                "Invalid property value: MaxLength cannot be negative");
  }
  if (value == maxLength_) return;
  maxLength_ = value;
  notify("MaxLength");
}

void TextBox::PasswordChar(std::string_view value) {
  std::string first = utf8::Left(value, 1);
  if (first == passwordChar_) return;
  passwordChar_ = std::move(first);
  notify("PasswordChar");
}

void TextBox::SelStart(std::int32_t value) {
  edit_.selStart(value, Name());
  notify("SelStart");
}

void TextBox::SelLength(std::int32_t value) {
  edit_.selLength(value, Name());
  notify("SelLength");
}

std::string TextBox::SelText() const {
  return edit_.selText();
}

void TextBox::BackColor(std::int32_t value) {
  if (value == backColor_) return;
  backColor_ = value;
  notify("BackColor");
}

void TextBox::ForeColor(std::int32_t value) {
  if (value == foreColor_) return;
  foreColor_ = value;
  notify("ForeColor");
}

void TextBox::DataField(std::string value) {
  if (value == dataField_) return;
  dataField_ = std::move(value);
  notify("DataField");
}

bool TextBox::userSetText(std::string_view value) {
  if (locked_ || !canTakeInput()) return false;
  std::string text(value);
  if (maxLength_ > 0) text = utf8::Left(text, maxLength_);
  const std::int32_t caret = utf8::Length(text);
  setText(std::move(text), caret);
  return true;
}

void TextBox::applyKeyDown(std::int16_t keyCode, std::int16_t) {
  if (keyCode == key::Delete) {
    if (!locked_) apply(edit_.deleteForward());
    return;
  }
  if (edit_.moveCaret(keyCode)) notify("SelStart");
}

void TextBox::applyChar(std::int16_t keyAscii, std::string_view original) {
  if (locked_) return;
  if (keyAscii == key::Back) {
    apply(edit_.deleteBackward());
    return;
  }
  // Control characters (Enter, Escape, Ctrl+letter) do not edit a single-line box.
  if (keyAscii > 0 && keyAscii < 32) return;
  apply(edit_.replaceSelection(EditBuffer::typedText(keyAscii, original), maxLength_));
}

const MemberTable& TextBox::Members() {
  using B = MemberTable::Builder<TextBox>;
  static const MemberTable table =
      B(&Control::Members())
          .property(
              "Text", [](TextBox& t) { return Variant(t.Text()); },
              [](TextBox& t, const Variant& v) { t.Text(TextOf(v)); })
          .property(
              "Locked", [](TextBox& t) { return Variant(t.Locked()); },
              [](TextBox& t, const Variant& v) { t.Locked(CBool(v)); })
          .property(
              "MaxLength", [](TextBox& t) { return Variant(t.MaxLength()); },
              [](TextBox& t, const Variant& v) { t.MaxLength(CLng(v)); })
          .property(
              "PasswordChar", [](TextBox& t) { return Variant(t.PasswordChar()); },
              [](TextBox& t, const Variant& v) { t.PasswordChar(CStr(v)); })
          .property(
              "SelStart", [](TextBox& t) { return Variant(t.SelStart()); },
              [](TextBox& t, const Variant& v) { t.SelStart(CLng(v)); })
          .property(
              "SelLength", [](TextBox& t) { return Variant(t.SelLength()); },
              [](TextBox& t, const Variant& v) { t.SelLength(CLng(v)); })
          .get("SelText", [](TextBox& t) { return Variant(t.SelText()); })
          .property(
              "BackColor", [](TextBox& t) { return Variant(t.BackColor()); },
              [](TextBox& t, const Variant& v) { t.BackColor(ColourValue(v)); })
          .property(
              "ForeColor", [](TextBox& t) { return Variant(t.ForeColor()); },
              [](TextBox& t, const Variant& v) { t.ForeColor(ColourValue(v)); })
          .property(
              "DataField", [](TextBox& t) { return Variant(t.DataField()); },
              [](TextBox& t, const Variant& v) { t.DataField(CStr(v)); })
          .build();
  return table;
}

}  // namespace kiv
