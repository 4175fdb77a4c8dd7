#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kiv/host/Control.h"
#include "kiv/host/EditBuffer.h"
#include "kiv/host/InputControl.h"
#include "kiv/host/InputEvents.h"
#include "kiv/runtime/Event.h"

namespace kiv {

// The intrinsic combo box: Style 0 a drop-down combo (editable text), Style 2
// a drop-down list (choice only).
//
// - Writing ListIndex raises Click on every write (even the same index); the
//   text becomes the item's (or "" for -1). No Change is raised for it.
// - Writing Text on an editable box raises Change when the text differs and
//   selects the item equal to it (without Click); on a drop-down list the
//   text must be an item (else error 383), which is then selected (Click).
// - Clear empties the list and the selection; an editable box's text is
//   emptied too, raising Change when it was not empty.
// - A user's pick from the list (pick) focuses the box and sets ListIndex.
//   Typing edits an editable box like a text box; in a drop-down list a
//   character selects the next item starting with it. A Locked box takes
//   neither (its key events are still raised).
class ComboBox : public InputControl<ComboBox> {
 public:
  explicit ComboBox(std::string name = "");

  std::int16_t Style() const { return style_; }
  void Style(std::int16_t value);  // 0 or 2 (1, the simple combo, is treated as 0)
  void AddItem(std::string_view item, std::int32_t index = -1);  // -1: at the end
  void RemoveItem(std::int32_t index);                           // raises 5 out of range
  void Clear();
  const std::string& List(std::int32_t index) const;  // raises 381 out of range
  void List(std::int32_t index, std::string_view value);
  std::int32_t ListCount() const { return static_cast<std::int32_t>(items_.size()); }
  std::int32_t ListIndex() const { return listIndex_; }
  void ListIndex(std::int32_t index);  // -1..ListCount-1, else error 380
  const std::string& Text() const { return edit_.text(); }
  void Text(std::string_view value);
  bool Locked() const { return locked_; }
  void Locked(bool value);
  std::int32_t SelStart() const { return edit_.selStart(); }
  void SelStart(std::int32_t value);
  std::int32_t SelLength() const { return edit_.selLength(); }
  void SelLength(std::int32_t value);
  std::int32_t BackColor() const { return backColor_; }
  void BackColor(std::int32_t value);
  std::int32_t ForeColor() const { return foreColor_; }
  void ForeColor(std::int32_t value);
  const std::string& DataField() const { return dataField_; }
  void DataField(std::string value);
  const std::vector<std::string>& items() const { return items_; }

  // The user picks an item from the list: focus, then ListIndex (Click).
  // Returns false for a disabled, invisible or Locked box or a bad index.
  bool pick(std::int32_t index);
  bool pick(std::string_view item);
  // A paste or input-method edit of an editable box's text (Change).
  bool userSetText(std::string_view value);

  struct Events : InputEvents {
    Event<> Change;
    Event<> DblClick;
  } events;

  std::string_view TypeName() const override { return "ComboBox"; }
  const MemberTable& memberTable() const override { return Members(); }
  static const MemberTable& Members();

 protected:
  // Clicking a combo box opens its list; it raises no Click of its own.
  void performClick() override {}
  void applyKeyDown(std::int16_t keyCode, std::int16_t shift) override;
  void applyChar(std::int16_t keyAscii, std::string_view original) override;

 private:
  bool editable() const { return style_ != 2; }
  void setEditText(std::string value, std::int32_t caret);
  // Applies a user's edit of an editable box (none: nothing to do).
  void apply(const std::optional<EditBuffer::Edit>& edit);
  std::int32_t findItem(std::string_view text) const;

  std::int16_t style_ = 0;
  std::vector<std::string> items_;
  std::int32_t listIndex_ = -1;
  EditBuffer edit_;
  bool locked_ = false;
  std::int32_t backColor_ = colour::WindowBackground;
  std::int32_t foreColor_ = colour::WindowText;
  std::string dataField_;
};

}  // namespace kiv
