// The controller's walks over its form's field controls: filling, blanking,
// locking, change and validity tests, saving, and the conversions between a
// control's text and a field's value.

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "kiv/data/AdoTypes.h"
#include "kiv/data/Field.h"
#include "kiv/data/Fields.h"
#include "kiv/data/Recordset.h"
#include "kiv/field_editor/KivUni.h"
#include "kiv/form_controller/KivFormControl.h"
#include "kiv/host/CheckBox.h"
#include "kiv/host/ComboBox.h"
#include "kiv/host/Control.h"
#include "kiv/host/Form.h"
#include "kiv/host/Host.h"
#include "kiv/host/TextBox.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"
#include "kiv/shared/Functions.h"

namespace kiv {

namespace {

bool IsBlank(const std::string& text) {
  return Trim(text).empty();
}

bool NoValue(const Variant& v) {
  return v.isNull() || v.isEmpty();
}

// The check box state a field value maps to: checked (1) for a non-zero
// value, cleared (0) for zero or Null. A value that is not a number raises
// 13, as converting it would.
std::int16_t BoxStateFor(const Variant& value) {
  if (NoValue(value)) return 0;
  if (value.isString()) return CDbl(Variant(Trim(value.string()))) != 0.0 ? 1 : 0;
  return CDbl(value) != 0.0 ? 1 : 0;
}

bool BoxChecked(const Variant& boxValue) {
  return CInt(boxValue) != 0;
}

}  // namespace

KivFormControl::Kind KivFormControl::KindOf(Control& control) {
  if (dynamic_cast<KivUni*>(&control)) return Kind::FieldEditor;
  if (dynamic_cast<TextBox*>(&control)) return Kind::TextBox;
  if (dynamic_cast<ComboBox*>(&control)) return Kind::ComboBox;
  if (dynamic_cast<CheckBox*>(&control)) return Kind::CheckBox;
  return Kind::Other;
}

// Visits every control of the parent form once, in the form's order. The
// list is copied first, so a handler that changes the form does not disturb
// the walk.
template <class F>
void KivFormControl::walk(F&& visit) {
  Form* form = Parent();
  if (!form) return;
  const std::vector<std::shared_ptr<Control>> controls = form->Controls();
  for (const auto& control : controls) {
    if (control) visit(*control, KindOf(*control));
  }
}

void KivFormControl::PopulateControls() {
  if (noCurrentRecord()) {
    BlankControls();
    return;
  }
  const std::shared_ptr<Recordset> keep = recordset();
  Recordset& rs = *keep;
  try {
    walk([&](Control& control, Kind kind) {
      const std::string name = GetDataFieldName(control);
      if (name.empty()) return;
      const Variant value = rs[name].Value();
      switch (kind) {
        case Kind::FieldEditor:
        case Kind::TextBox:
        case Kind::ComboBox:
          control.let("Text", Variant(TextOf(value)));
          break;
        case Kind::CheckBox:
          control.let("Value", Variant(BoxStateFor(value)));
          break;
        case Kind::Other:
          control.let("Value", Variant(TextOf(value)));
          break;
      }
    });
  } catch (...) {
    rememberShownTexts();
    throw;
  }
  rememberShownTexts();
}

void KivFormControl::rememberShownTexts() {
  shownTexts_.clear();
  walk([&](Control& control, Kind kind) {
    if (kind == Kind::CheckBox || GetDataFieldName(control).empty()) return;
    IgnoreErrors([&] { shownTexts_[control.weak_from_this()] = TextOf(control.get("Text")); });
  });
}

void KivFormControl::showValuesReadAgain() {
  const std::shared_ptr<Recordset> keep = recordset();
  Recordset& rs = *keep;
  walk([&](Control& control, Kind kind) {
    const std::string name = GetDataFieldName(control);
    if (name.empty()) return;
    IgnoreErrors([&] {
      const Variant value = rs[name].Value();
      if (kind == Kind::CheckBox) {
        // A box the user changed wrote its field: the pending value is its own.
        control.let("Value", Variant(BoxStateFor(value)));
        return;
      }
      if (userChanged(control, TextOf(control.get("Text")))) return;
      control.let(kind == Kind::Other ? "Value" : "Text", Variant(TextOf(value)));
      shownTexts_[control.weak_from_this()] = TextOf(control.get("Text"));
    });
  });
}

bool KivFormControl::userChanged(Control& control, const std::string& text) const {
  const auto it = shownTexts_.find(control.weak_from_this());
  return it == shownTexts_.end() || it->second != text;
}

void KivFormControl::BlankControls() {
  walk([&](Control& control, Kind kind) {
    IgnoreErrors([&] {
      switch (kind) {
        case Kind::FieldEditor:
          control.call("BlankControl");
          break;
        case Kind::CheckBox:
          control.let("Value", Variant(std::int16_t{0}));
          break;
        default:
          control.let("Text", Variant(""));
          break;
      }
    });
  });
  rememberShownTexts();
}

void KivFormControl::ForceControlsReadOnly() {
  walk([&](Control& control, Kind kind) {
    IgnoreErrors([&] {
      switch (kind) {
        case Kind::FieldEditor:
          control.let("Read_Only", Variant(true));
          break;
        case Kind::CheckBox:
          control.let("Enabled", Variant(false));
          break;
        default:
          control.let("Locked", Variant(true));
          break;
      }
    });
  });
}

void KivFormControl::LockUnlockControls(bool booLock) {
  walk([&](Control& control, Kind kind) {
    switch (kind) {
      case Kind::FieldEditor:
        IgnoreErrors([&] { control.let("Locked", Variant(booLock)); });
        IgnoreErrors([&] { control.let("AddNew_Mode", Variant(AddNewMode())); });
        break;
      case Kind::TextBox:
      case Kind::ComboBox:
        IgnoreErrors([&] {
          const bool tagged = LCase(CStr(control.get("Tag"))) == "locked";
          control.let("Locked", Variant(tagged ? true : booLock));
        });
        IgnoreErrors([&] {
          const bool locked = CBool(control.get("Locked"));
          control.let("BackColor", Variant(locked ? colour::ButtonFace : colour::WindowBackground));
        });
        break;
      case Kind::CheckBox:
        IgnoreErrors([&] {
          const bool tagged = LCase(CStr(control.get("Tag"))) == "locked";
          control.let("Enabled", Variant(tagged ? false : !booLock));
        });
        break;
      case Kind::Other:
        IgnoreErrors([&] { control.let("Locked", Variant(booLock)); });
        break;
    }
  });
}

bool KivFormControl::DataHasChanged() {
  bool changed = false;
  const std::shared_ptr<Recordset> keep = m_Form_Recordset;
  if (!keep) return false;
  Recordset& rs = *keep;
  walk([&](Control& control, Kind kind) {
    IgnoreErrors([&] {
      const std::string name = GetDataFieldName(control);
      if (name.empty()) return;
      Field& field = rs[name];
      if (kind == Kind::CheckBox) {
        const bool checked = BoxChecked(control.get("Value"));
        if (checked != (BoxStateFor(field.Value()) != 0)) changed = true;
      } else {
        // A control still showing what the controller put there is
        // unchanged, even where the screen cannot show the value exactly.
        const std::string text = TextOf(control.get("Text"));
        if (userChanged(control, text) && TextDiffersFromField(field, text)) changed = true;
      }
    });
  });
  return changed;
}

bool KivFormControl::DataIsValid() {
  bool valid = true;
  walk([&](Control& control, Kind kind) {
    if (kind != Kind::FieldEditor) return;
    IgnoreErrors([&] {
      if (CBool(control.get("Invalid_Data"))) valid = false;
    });
  });
  return valid;
}

bool KivFormControl::TextDiffersFromField(Field& field, const std::string& text) {
  const Variant value = field.Value();
  switch (FieldTypeCategory(field)) {
    case kCategoryDate:
      if (NoValue(value)) return !IsBlank(text);
      if (!IsDate(Variant(text))) return true;
      return CDate(Variant(text)).serial != CDate(value).serial;
    case kCategoryNumber:
      if (NoValue(value)) return !IsBlank(text);
      if (!IsNumeric(Variant(text))) return true;
      return CDbl(Variant(text)) != CDbl(value);
    case kCategoryBoolean:
      if (NoValue(value)) return !IsBlank(text);
      if (!IsNumeric(Variant(text))) return true;
      return std::fabs(CDbl(Variant(text))) != std::fabs(static_cast<double>(CLng(value)));
    default:
      return TextOf(value) != text;
  }
}

Variant KivFormControl::TextToFieldValue(Field& field, const std::string& text) {
  switch (FieldTypeCategory(field)) {
    case kCategoryDate:
      if (IsBlank(text)) return Variant(kNull);
      return Variant(CDate(Variant(text)));
    case kCategoryNumber:
      if (IsBlank(text)) return Variant(kNull);
      return Variant(CDbl(Variant(text)));
    case kCategoryBoolean: {
      if (IsBlank(text)) return Variant(std::int16_t{0});
      const std::int64_t number = CLng(Variant(text));
      const std::int64_t magnitude = number < 0 ? -number : number;
      if (magnitude > INT32_MAX) throw Error(err::Overflow, "KivFormControl");
      return Variant(static_cast<std::int32_t>(magnitude));
    }
    default:
      return Variant(text);
  }
}

bool KivFormControl::UpdateRecordset() {
  try {
    const std::shared_ptr<Recordset> keep = recordset();
    Recordset& rs = *keep;
    const bool adding = rs.EditMode() == adEditAdd;
    walk([&](Control& control, Kind kind) {
      const std::string name = GetDataFieldName(control);
      if (name.empty()) return;
      Field& field = rs[name];
      if (kind == Kind::CheckBox) {
        // Only a box the user changed writes its field: an unchanged box
        // keeps whatever non-zero value the field held. A new record takes
        // every box as shown, a cleared one as 0.
        const bool checked = BoxChecked(control.get("Value"));
        bool same = false;
        if (!adding) IgnoreErrors([&] { same = checked == (BoxStateFor(field.Value()) != 0); });
        if (!same) field.Value(Variant(static_cast<std::int16_t>(checked ? 1 : 0)));
      } else {
        // Only what the user changed is written: an untouched field keeps
        // its stored value exactly (all its decimals, a Null, the time of
        // day), however the control shows it. A new record takes a check
        // editor, and any yes/no field, as shown, as it does a check box.
        const std::string text = TextOf(control.get("Text"));
        const bool showsState = kind == Kind::FieldEditor &&
                                static_cast<KivUni&>(control).Type_Of_Control() == tocCheck;
        if (!userChanged(control, text) &&
            !(adding && (showsState || FieldTypeCategory(field) == kCategoryBoolean)))
          return;
        field.Value(TextToFieldValue(field, text));
      }
    });
    rs.Update();
    saveFailed_ = false;
    rememberShownTexts();  // the controls now show the saved record
    return true;
  } catch (const Error& e) {
    saveFailed_ = true;
    // Another user saved the record first and the record set has read it
    // again: what they wrote shows now, beside the user's own changes.
    if (e.number() == err::RowConflict) IgnoreErrors([&] { showValuesReadAgain(); });
    std::string message = e.description() + " (" + std::to_string(e.number()) + ").";
    const std::string upper = UCase(e.description());
    if (upper.find("DUPLICATE VALUE") != std::string::npos ||
        upper.find("VIOLATION OF PRIMARY KEY") != std::string::npos ||
        upper.find("CANNOT INSERT DUPLICATE KEY") != std::string::npos) {
      message = "This record already exists.";
    }
    Host::Current().MsgBox(message, vb::vbCritical | vb::vbOKOnly, "Error");
    return false;
  }
}

}  // namespace kiv
