#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kiv {

// The text and selection of an editable single-line box (a text box, a combo
// box's edit part) and the edits typing makes on them. Positions count
// characters. The buffer raises no events: an edit is computed here and the
// box applies it with assign(), then tells its peer and raises Change.
class EditBuffer {
 public:
  // A new text with the caret to put in it.
  struct Edit {
    std::string text;
    std::int32_t caret = 0;
  };

  const std::string& text() const { return text_; }
  std::int32_t length() const;  // in characters
  std::int32_t selStart() const { return selStart_; }
  std::int32_t selLength() const { return selLength_; }
  std::string selText() const;

  // Replaces the text, puts the caret at caret (clamped) and clears the
  // selection. Returns whether the text changed.
  bool assign(std::string value, std::int32_t caret);
  // Selection writes from code; owner names the box in the error raised (380)
  // for a negative value. Both are clamped to the text.
  void selStart(std::int32_t value, const std::string& owner);
  void selLength(std::int32_t value, const std::string& owner);

  // The edit that replaces the selection by insert (typed or pasted text),
  // cut so the text stays within maxLength characters (0: no limit). None
  // when the box is full.
  std::optional<Edit> replaceSelection(std::string_view insert, std::int32_t maxLength = 0) const;
  // Backspace and Delete: the selection, else the character before / after
  // the caret. None when there is nothing to delete.
  std::optional<Edit> deleteBackward() const;
  std::optional<Edit> deleteForward() const;
  // Left, Right, Home and End move the caret and clear the selection;
  // returns false (nothing moved) for any other key.
  bool moveCaret(std::int16_t keyCode);

  // The text a typed character enters: original when the handlers left the
  // character alone, else the character KeyAscii now names.
  static std::string typedText(std::int16_t keyAscii, std::string_view original);

 private:
  std::optional<Edit> remove(std::int32_t start, std::int32_t count) const;

  std::string text_;
  std::int32_t selStart_ = 0;
  std::int32_t selLength_ = 0;
};

}  // namespace kiv
