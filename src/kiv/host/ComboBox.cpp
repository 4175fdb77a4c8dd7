#include "kiv/host/ComboBox.h"

#include <utility>

#include "kiv/host/ColourValue.h"
#include "kiv/host/Utf8Text.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"

namespace kiv {

namespace {
constexpr std::int32_t kInvalidPropertyValue = 380;
constexpr std::int32_t kInvalidPropertyArrayIndex = 381;
constexpr std::int32_t kPropertyReadOnly = 383;
}  // namespace

ComboBox::ComboBox(std::string name) : InputControl(std::move(name)) {}

void ComboBox::Style(std::int16_t value) {
  if (value != 0 && value != 1 && value != 2) {
    throw Error(kInvalidPropertyValue, Name(),
                "Invalid property value: a combo box's Style is 0, 1 or 2");
  }
  if (value == style_) return;
  style_ = value;
  notify("Style");
}

std::int32_t ComboBox::findItem(std::string_view text) const {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (items_[i] == text) return static_cast<std::int32_t>(i);
  }
  return -1;
}

void ComboBox::AddItem(std::string_view item, std::int32_t index) {
  if (index < -1 || index > ListCount()) {
    throw Error(err::InvalidProcedureCall, Name(),
                "Invalid procedure call or argument: AddItem index " + std::to_string(index) +
                    " is outside the list");
  }
  if (index == -1) index = ListCount();
  items_.insert(items_.begin() + index, std::string(item));
  if (listIndex_ >= index) ++listIndex_;
  notify("List");
}

void ComboBox::RemoveItem(std::int32_t index) {
  if (index < 0 || index >= ListCount()) {
    throw Error(err::InvalidProcedureCall, Name(),
                "Invalid procedure call or argument: RemoveItem index " + std::to_string(index) +
                    " is outside the list");
  }
  items_.erase(items_.begin() + index);
  notify("List");
  if (listIndex_ == index) {
    listIndex_ = -1;
    notify("ListIndex");
    if (!editable() && !edit_.text().empty()) {
      edit_.assign(std::string(), 0);
      notify("Text");
    }
  } else if (listIndex_ > index) {
    --listIndex_;
  }
}

void ComboBox::Clear() {
  items_.clear();
  const bool hadIndex = listIndex_ != -1;
  listIndex_ = -1;
  notify("List");
  if (hadIndex) notify("ListIndex");
  if (edit_.text().empty()) return;
  if (editable()) {
    setEditText(std::string(), 0);
  } else {
    edit_.assign(std::string(), 0);
    notify("Text");
  }
}

const std::string& ComboBox::List(std::int32_t index) const {
  if (index < 0 || index >= ListCount()) {
    throw Error(kInvalidPropertyArrayIndex, Name(),
                "Invalid property array index: List(" + std::to_string(index) + ")");
  }
  return items_[static_cast<std::size_t>(index)];
}

void ComboBox::List(std::int32_t index, std::string_view value) {
  if (index < 0 || index >= ListCount()) {
    throw Error(kInvalidPropertyArrayIndex, Name(),
                "Invalid property array index: List(" + std::to_string(index) + ")");
  }
  items_[static_cast<std::size_t>(index)] = std::string(value);
  notify("List");
}

void ComboBox::ListIndex(std::int32_t index) {
  if (index < -1 || index >= ListCount()) {
    throw Error(
        kInvalidPropertyValue, Name(),
        "Invalid property value: ListIndex " + std::to_string(index) + " is outside the list");
  }
  const bool moved = index != listIndex_;
  listIndex_ = index;
  std::string text = index == -1 ? std::string() : items_[static_cast<std::size_t>(index)];
  if (text != edit_.text()) {
    edit_.assign(std::move(text), 0);
    notify("Text");
  }
  if (moved) notify("ListIndex");
  // The host raises Click for every write of ListIndex.
  events.Click.raise();
}

void ComboBox::setEditText(std::string value, std::int32_t caret) {
  if (!edit_.assign(std::move(value), caret)) {
    notify("SelStart");
    return;
  }
  const std::int32_t match = findItem(edit_.text());
  if (match != listIndex_) {
    listIndex_ = match;
    notify("ListIndex");
  }
  notify("Text");
  events.Change.raise();
}

void ComboBox::Text(std::string_view value) {
  if (editable()) {
    if (value == edit_.text()) return;
    setEditText(std::string(value), 0);
    return;
  }
  // A drop-down list shows only its items.
  const std::int32_t match = findItem(value);
  if (match == -1) {
    if (value.empty() && listIndex_ == -1) return;
    throw Error(kPropertyReadOnly, Name(),
                "'Text' property is read-only: \"" + std::string(value) +
                    "\" is not an item of the drop-down list");
  }
  if (match == listIndex_) return;
  ListIndex(match);
}

void ComboBox::Locked(bool value) {
  if (value == locked_) return;
  locked_ = value;
  notify("Locked");
}

void ComboBox::SelStart(std::int32_t value) {
  edit_.selStart(value, Name());
  notify("SelStart");
}

void ComboBox::SelLength(std::int32_t value) {
  edit_.selLength(value, Name());
  notify("SelLength");
}

void ComboBox::BackColor(std::int32_t value) {
  if (value == backColor_) return;
  backColor_ = value;
  notify("BackColor");
}

void ComboBox::ForeColor(std::int32_t value) {
  if (value == foreColor_) return;
  foreColor_ = value;
  notify("ForeColor");
}

void ComboBox::DataField(std::string value) {
  if (value == dataField_) return;
  dataField_ = std::move(value);
  notify("DataField");
}

bool ComboBox::pick(std::int32_t index) {
  if (locked_ || index < 0 || index >= ListCount()) return false;
  if (!mouseDown(1, 0, 0, 0)) return false;
  if (!mouseRelease(0, 0)) return true;  // a modal form took the mouse
  if (index < ListCount()) ListIndex(index);
  return true;
}

bool ComboBox::pick(std::string_view item) {
  const std::int32_t index = findItem(item);
  return index >= 0 && pick(index);
}

bool ComboBox::userSetText(std::string_view value) {
  if (locked_ || !editable() || !canTakeInput()) return false;
  setEditText(std::string(value), utf8::Length(value));
  return true;
}

void ComboBox::apply(const std::optional<EditBuffer::Edit>& edit) {
  if (edit) setEditText(edit->text, edit->caret);
}

void ComboBox::applyKeyDown(std::int16_t keyCode, std::int16_t) {
  if (locked_) return;
  // Up and Down step through the list, in both styles.
  if (keyCode == key::Down) {
    if (listIndex_ + 1 < ListCount()) ListIndex(listIndex_ + 1);
    return;
  }
  if (keyCode == key::Up) {
    if (listIndex_ > 0) ListIndex(listIndex_ - 1);
    return;
  }
  if (!editable()) return;
  if (keyCode == key::Delete) {
    apply(edit_.deleteForward());
    return;
  }
  if (edit_.moveCaret(keyCode)) notify("SelStart");
}

void ComboBox::applyChar(std::int16_t keyAscii, std::string_view original) {
  if (locked_) return;
  const std::string typed = EditBuffer::typedText(keyAscii, original);
  if (!editable()) {
    // A character selects the next item that starts with it (ignoring case).
    if (keyAscii < 32) return;
    const std::string wanted = UCase(typed);
    const std::int32_t n = ListCount();
    for (std::int32_t step = 1; step <= n; ++step) {
      const std::int32_t i = (listIndex_ + step + n) % n;
      if (UCase(utf8::Left(items_[static_cast<std::size_t>(i)], 1)) == wanted) {
        ListIndex(i);
        return;
      }
    }
    return;
  }
  if (keyAscii == key::Back) {
    apply(edit_.deleteBackward());
    return;
  }
  if (keyAscii > 0 && keyAscii < 32) return;
  apply(edit_.replaceSelection(typed));
}

const MemberTable& ComboBox::Members() {
  using B = MemberTable::Builder<ComboBox>;
  using Args = B::Args;
  static const MemberTable table =
      B(&Control::Members())
          .property(
              "Style", [](ComboBox& c) { return Variant(c.Style()); },
              [](ComboBox& c, const Variant& v) { c.Style(CInt(v)); })
          .method("AddItem",
                  [](ComboBox& c, Args& a) {
                    c.AddItem(CStr(Arg(a, 0)), HasArg(a, 1) ? CLng(Arg(a, 1)) : -1);
                    return Variant();
                  })
          .method("RemoveItem",
                  [](ComboBox& c, Args& a) {
                    c.RemoveItem(CLng(Arg(a, 0)));
                    return Variant();
                  })
          .method("Clear",
                  [](ComboBox& c, Args&) {
                    c.Clear();
                    return Variant();
                  })
          .getIndexed("List", [](ComboBox& c, Args& a) { return Variant(c.List(CLng(Arg(a, 0)))); })
          .get("ListCount", [](ComboBox& c) { return Variant(c.ListCount()); })
          .property(
              "ListIndex", [](ComboBox& c) { return Variant(c.ListIndex()); },
              [](ComboBox& c, const Variant& v) { c.ListIndex(CLng(v)); })
          .property(
              "Text", [](ComboBox& c) { return Variant(c.Text()); },
              [](ComboBox& c, const Variant& v) { c.Text(TextOf(v)); })
          .property(
              "Locked", [](ComboBox& c) { return Variant(c.Locked()); },
              [](ComboBox& c, const Variant& v) { c.Locked(CBool(v)); })
          .property(
              "SelStart", [](ComboBox& c) { return Variant(c.SelStart()); },
              [](ComboBox& c, const Variant& v) { c.SelStart(CLng(v)); })
          .property(
              "SelLength", [](ComboBox& c) { return Variant(c.SelLength()); },
              [](ComboBox& c, const Variant& v) { c.SelLength(CLng(v)); })
          .property(
              "BackColor", [](ComboBox& c) { return Variant(c.BackColor()); },
              [](ComboBox& c, const Variant& v) { c.BackColor(ColourValue(v)); })
          .property(
              "ForeColor", [](ComboBox& c) { return Variant(c.ForeColor()); },
              [](ComboBox& c, const Variant& v) { c.ForeColor(ColourValue(v)); })
          .property(
              "DataField", [](ComboBox& c) { return Variant(c.DataField()); },
              [](ComboBox& c, const Variant& v) { c.DataField(CStr(v)); })
          .build();
  return table;
}

}  // namespace kiv
