#include "kiv/qt/AccessibleNames.h"

#include <algorithm>
#include <optional>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QWidget>

#include "kiv/description_grid/KivDesc.h"
#include "kiv/description_grid/KivDetGrid.h"
#include "kiv/field_editor/KivUni.h"
#include "kiv/form_controller/KivFormControl.h"
#include "kiv/host/CheckBox.h"
#include "kiv/host/CommandButton.h"
#include "kiv/host/DataGrid.h"
#include "kiv/host/Form.h"
#include "kiv/host/Label.h"
#include "kiv/host/TextBox.h"
#include "kiv/qt/ControlPeer.h"
#include "kiv/qt/PeerFactory.h"
#include "kiv/shared/Functions.h"

namespace kiv::qt {

namespace {

constexpr const char* kRoleProperty = "kivAccessibleRole";

// A container widget that reports the role it was given, as it is now.
class RoleWidget : public QAccessibleWidget {
 public:
  explicit RoleWidget(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Grouping) {}
  QAccessible::Role role() const override {
    return static_cast<QAccessible::Role>(widget()->property(kRoleProperty).toInt());
  }
};

QAccessibleInterface* RoleFactory(const QString& className, QObject* object) {
  if (className != QLatin1String("QWidget") || !object || !object->isWidgetType() ||
      !object->property(kRoleProperty).isValid())
    return nullptr;
  return new RoleWidget(static_cast<QWidget*>(object));
}

void InstallRoleFactory() {
  static const bool installed = [] {
    QAccessible::installFactory(&RoleFactory);
    return true;
  }();
  (void)installed;
}

// The Ctrl shortcuts of the form controller's bar (its key handler), by
// button, and of a field editor's lookup button (pressed in its text box).
const char* ShortcutOf(std::string_view button) {
  static constexpr std::pair<std::string_view, const char*> kShortcuts[] = {
      {"cmdFirst", "Ctrl+R"},  {"cmdPrevious", "Ctrl+P"}, {"cmdNext", "Ctrl+N"},
      {"cmdLast", "Ctrl+L"},   {"cmdAdd", "Ctrl+A"},      {"cmdUndoAdd", "Ctrl+U"},
      {"cmdDelete", "Ctrl+D"}, {"cmdSave", "Ctrl+S"},     {"cmdSearch", "Ctrl+F"},
  };
  for (const auto& [name, keys] : kShortcuts)
    if (name == button) return keys;
  return nullptr;
}

QString Trimmed(QString text) {
  text = text.trimmed();
  while (text.endsWith(QLatin1Char(':')))
    text.chop(1);
  return text.trimmed();
}

struct Box {
  double left, top, right, bottom;
};

Box BoxOf(const Control& c) {
  return {c.Left(), c.Top(), c.Left() + c.Width(), c.Top() + c.Height()};
}

bool Overlaps(double a1, double a2, double b1, double b2) {
  return a1 < b2 && b1 < a2;
}

// The label that names a control: the nearest visible label on its row to
// its left, else the nearest one just above it, with no other control in
// between either way.
const Label* LabelFor(const Form& form, const Control& control) {
  constexpr double kSlack = 60;   // twips a label may reach past the control's edge
  constexpr double kAbove = 420;  // about a row
  const Box box = BoxOf(control);
  // Whether a visible control other than these two lies inside the area.
  const auto occupied = [&](const Label& label, const Box& area) {
    return std::any_of(form.Controls().begin(), form.Controls().end(), [&](const auto& o) {
      if (o.get() == &control || o.get() == &label || !o->Visible()) return false;
      const Box b = BoxOf(*o);
      return Overlaps(b.left, b.right, area.left, area.right) &&
             Overlaps(b.top, b.bottom, area.top, area.bottom);
    });
  };
  const Label* best = nullptr;
  double bestGap = 0;
  const auto consider = [&](const Label& label, double gap) {
    if (!best || gap < bestGap) {
      best = &label;
      bestGap = gap;
    }
  };
  for (const auto& c : form.Controls()) {
    const auto* label = dynamic_cast<const Label*>(c.get());
    if (!label || !label->Visible() || label->Caption().empty()) continue;
    const Box l = BoxOf(*label);
    const double middle = (l.top + l.bottom) / 2;
    if (middle < box.top || middle > box.bottom || l.right > box.left + kSlack) continue;
    if (!occupied(*label, {l.right, box.top, box.left, box.bottom}))
      consider(*label, box.left - l.right);
  }
  if (best) return best;
  for (const auto& c : form.Controls()) {
    const auto* label = dynamic_cast<const Label*>(c.get());
    if (!label || !label->Visible() || label->Caption().empty()) continue;
    const Box l = BoxOf(*label);
    if (l.bottom > box.top + kSlack || box.top - l.bottom > kAbove) continue;
    if (!Overlaps(l.left, l.right, box.left, box.right)) continue;
    if (!occupied(*label, {box.left, l.bottom, box.right, box.top}))
      consider(*label, box.top - l.bottom);
  }
  return best;
}

void Name(QWidget* widget, const QString& name,
          std::optional<QAccessible::Role> role = std::nullopt) {
  if (!widget) return;
  if (role) SetAccessibleRole(*widget, *role);
  if (widget->accessibleName() != name) widget->setAccessibleName(name);
}

void NameBar(KivFormControl& bar) {
  Name(WidgetOf(bar), QStringLiteral("Record navigation"), QAccessible::ToolBar);
  for (const auto& inner : bar.constituents()) {
    auto* button = dynamic_cast<CommandButton*>(inner.get());
    QWidget* widget = WidgetOf(*inner);
    const char* keys = ShortcutOf(inner->Name());
    if (!button || !widget || !keys) continue;
    widget->setToolTip(QString::fromStdString(button->ToolTipText()) + QStringLiteral(" (") +
                       QLatin1String(keys) + QLatin1Char(')'));
  }
}

void NameFieldEditor(KivUni& uni, const QString& name) {
  Name(WidgetOf(uni), name, QAccessible::Grouping);
  Name(WidgetOf(uni.txtText1()), name);
  Name(WidgetOf(uni.chkCheck1()), name);
  const bool date = uni.Type_Of_Control() == tocDate;
  Name(WidgetOf(uni.cmdFunction()), date ? QStringLiteral("Pick a date for %1").arg(name)
                                         : QStringLiteral("Look up %1").arg(name));
  if (QWidget* button = WidgetOf(uni.cmdFunction());
      button && uni.cmdFunction().ToolTipText().empty())
    button->setToolTip(date ? QStringLiteral("Pick a date (Ctrl+F)")
                            : QStringLiteral("Look up a code (Ctrl+F)"));
}

// The widget a label hands the focus to.
QWidget* FocusWidgetOf(Control& control) {
  if (auto* uni = dynamic_cast<KivUni*>(&control))
    return WidgetOf(uni->Type_Of_Control() == tocCheck ? static_cast<Control&>(uni->chkCheck1())
                                                       : uni->txtText1());
  if (auto* user = dynamic_cast<UserControl*>(&control); user && !user->constituents().empty())
    return WidgetOf(*user->constituents().front());
  return WidgetOf(control);
}

}  // namespace

QString ShownCaption(std::string_view caption) {
  const QString text = QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
  QString shown;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text.at(i) == QLatin1Char('&')) {
      if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('&')) {
        shown += QLatin1Char('&');
        ++i;
      }
      continue;
    }
    shown += text.at(i);
  }
  return shown;
}

void SetAccessibleRole(QWidget& widget, QAccessible::Role role) {
  InstallRoleFactory();
  widget.setProperty(kRoleProperty, static_cast<int>(role));
}

void NameControls(const Form& form) {
  for (const auto& c : form.Controls()) {
    Control& control = *c;
    if (dynamic_cast<Label*>(&control)) continue;
    if (auto* bar = dynamic_cast<KivFormControl*>(&control)) {
      NameBar(*bar);
      continue;
    }
    const Label* label = LabelFor(form, control);
    QString name = label ? Trimmed(ShownCaption(label->Caption())) : QString();
    // A grid is named by its caption first.
    DataGrid* grid = dynamic_cast<DataGrid*>(&control);
    if (auto* detail = dynamic_cast<KivDetGrid*>(&control)) grid = &detail->DataGrid1();
    if (grid && !grid->Caption().empty()) name = Trimmed(ShownCaption(grid->Caption()));
    if (name.isEmpty()) {
      if (auto* box = dynamic_cast<CheckBox*>(&control); box && !box->Caption().empty())
        name = Trimmed(ShownCaption(box->Caption()));
    }
    if (name.isEmpty() && grid && !form.Caption().empty())
      name = QString::fromStdString(form.Caption());
    // A description display without a label of its own describes its editor.
    if (auto* desc = dynamic_cast<KivDesc*>(&control); desc && name.isEmpty()) {
      if (const auto& editor = desc->Linked_LookUp_Control()) {
        const Label* editorLabel = LabelFor(form, *editor);
        const QString of = editorLabel ? Trimmed(ShownCaption(editorLabel->Caption()))
                                       : QString::fromStdString(editor->Data_Field());
        if (!of.isEmpty()) name = QStringLiteral("Description of %1").arg(of);
      }
    }
    if (name.isEmpty()) name = QString::fromStdString(GetDataFieldName(control));
    if (name.isEmpty()) name = QString::fromStdString(control.Name());

    if (auto* uni = dynamic_cast<KivUni*>(&control)) {
      NameFieldEditor(*uni, name);
    } else if (auto* user = dynamic_cast<UserControl*>(&control)) {
      Name(WidgetOf(*user), name, QAccessible::Grouping);
      for (const auto& inner : user->constituents())
        if (!dynamic_cast<CommandButton*>(inner.get())) Name(WidgetOf(*inner), name);
    } else if (auto* button = dynamic_cast<CommandButton*>(&control)) {
      (void)button;  // named by its caption or tool tip (CommandButtonPeer)
    } else {
      Name(WidgetOf(control), name);
    }
    if (label) {
      auto* shown = qobject_cast<QLabel*>(WidgetOf(*label));
      QWidget* buddy = FocusWidgetOf(control);
      if (shown && buddy && shown->buddy() != buddy) {
        shown->setBuddy(buddy);
        if (ControlPeer* peer = ControlPeer::of(shown)) peer->refresh();
      }
    }
  }
}

}  // namespace kiv::qt
