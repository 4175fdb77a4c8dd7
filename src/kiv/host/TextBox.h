#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "kiv/host/Control.h"
#include "kiv/host/EditBuffer.h"
#include "kiv/host/InputControl.h"
#include "kiv/host/InputEvents.h"
#include "kiv/runtime/Event.h"

namespace kiv {

// The intrinsic single-line text box.
//
// Writing Text in code raises Change only when the text differs, and puts
// the caret at the start. Typed input is inserted at the selection
// (replacing it), is cut to MaxLength, and is ignored by a Locked box, which
// still raises its key events. Selection positions count characters.
class TextBox : public InputControl<TextBox> {
 public:
  explicit TextBox(std::string name = "");

  const std::string& Text() const { return edit_.text(); }
  void Text(std::string_view value);
  bool Locked() const { return locked_; }
  void Locked(bool value);
  std::int32_t MaxLength() const { return maxLength_; }  // 0: no limit
  void MaxLength(std::int32_t value);                    // raises 380 when negative
  const std::string& PasswordChar() const { return passwordChar_; }
  void PasswordChar(std::string_view value);  // "" or one character
  std::int32_t SelStart() const { return edit_.selStart(); }
  void SelStart(std::int32_t value);  // clamped to the text; clears the selection
  std::int32_t SelLength() const { return edit_.selLength(); }
  void SelLength(std::int32_t value);  // clamped to the text
  std::string SelText() const;
  std::int32_t BackColor() const { return backColor_; }
  void BackColor(std::int32_t value);
  std::int32_t ForeColor() const { return foreColor_; }
  void ForeColor(std::int32_t value);
  const std::string& DataField() const { return dataField_; }
  void DataField(std::string value);

  // A paste or input-method edit: the user replaces the whole text (cut to
  // MaxLength). Raises Change when the text differs. A Locked box refuses it
  // (returns false).
  bool userSetText(std::string_view value);

  struct Events : InputEvents {
    Event<> Change;
    Event<> DblClick;
  } events;

  std::string_view TypeName() const override { return "TextBox"; }
  const MemberTable& memberTable() const override { return Members(); }
  static const MemberTable& Members();

 protected:
  void applyKeyDown(std::int16_t keyCode, std::int16_t shift) override;
  void applyChar(std::int16_t keyAscii, std::string_view original) override;

 private:
  void setText(std::string value, std::int32_t caret);
  // Applies a user's edit (none: nothing to do).
  void apply(const std::optional<EditBuffer::Edit>& edit);

  EditBuffer edit_;
  bool locked_ = false;
  std::int32_t maxLength_ = 0;
  std::string passwordChar_;
  std::int32_t backColor_ = colour::WindowBackground;
  std::int32_t foreColor_ = colour::WindowText;
  std::string dataField_;
};

}  // namespace kiv
