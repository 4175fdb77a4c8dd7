#include "kiv/host/EditBuffer.h"

#include <algorithm>

#include "kiv/host/Control.h"
#include "kiv/host/Utf8Text.h"
#include "kiv/runtime/Error.h"

namespace kiv {

namespace {
constexpr std::int32_t kInvalidPropertyValue = 380;
}

std::int32_t EditBuffer::length() const {
  return utf8::Length(text_);
}

std::string EditBuffer::selText() const {
  return utf8::Substr(text_, selStart_, selLength_);
}

bool EditBuffer::assign(std::string value, std::int32_t caret) {
  const bool changed = value != text_;
  text_ = std::move(value);
  selStart_ = std::clamp(caret, 0, length());
  selLength_ = 0;
  return changed;
}

void EditBuffer::selStart(std::int32_t value, const std::string& owner) {
  if (value < 0) {
    throw Error(kInvalidPropertyValue, owner,
                "Invalid property value: SelStart cannot be negative");
  }
  selStart_ = std::min(value, length());
  selLength_ = 0;
}

void EditBuffer::selLength(std::int32_t value, const std::string& owner) {
  if (value < 0) {
    throw Error(kInvalidPropertyValue, owner,
                "Invalid property value: SelLength cannot be negative");
  }
  selLength_ = std::min(value, length() - selStart_);
}

std::optional<EditBuffer::Edit> EditBuffer::replaceSelection(std::string_view insert,
                                                             std::int32_t maxLength) const {
  std::string piece(insert);
  if (maxLength > 0) {
    const std::int32_t room = maxLength - (length() - selLength_);
    if (room <= 0 && !piece.empty()) return std::nullopt;  // the box is full
    piece = utf8::Left(piece, std::max(room, 0));
  }
  const std::int32_t caret = selStart_ + utf8::Length(piece);
  return Edit{utf8::Replace(text_, selStart_, selLength_, piece), caret};
}

std::optional<EditBuffer::Edit> EditBuffer::remove(std::int32_t start, std::int32_t count) const {
  if (count <= 0) return std::nullopt;
  return Edit{utf8::Replace(text_, start, count, ""), start};
}

std::optional<EditBuffer::Edit> EditBuffer::deleteBackward() const {
  if (selLength_ == 0 && selStart_ > 0) return remove(selStart_ - 1, 1);
  return remove(selStart_, selLength_);
}

std::optional<EditBuffer::Edit> EditBuffer::deleteForward() const {
  if (selLength_ == 0 && selStart_ < length()) return remove(selStart_, 1);
  return remove(selStart_, selLength_);
}

bool EditBuffer::moveCaret(std::int16_t keyCode) {
  const std::int32_t end = length();
  switch (keyCode) {
    case key::Left:
      selStart_ = selLength_ > 0 ? selStart_ : std::max(0, selStart_ - 1);
      break;
    case key::Right:
      selStart_ = selLength_ > 0 ? selStart_ + selLength_ : std::min(end, selStart_ + 1);
      break;
    case key::Home:
      selStart_ = 0;
      break;
    case key::End:
      selStart_ = end;
      break;
    default:
      return false;
  }
  selLength_ = 0;
  return true;
}

std::string EditBuffer::typedText(std::int16_t keyAscii, std::string_view original) {
  if (!original.empty()) return std::string(original);
  return utf8::Encode(static_cast<char32_t>(static_cast<std::uint16_t>(keyAscii)));
}

}  // namespace kiv
