#pragma once

#include <string_view>

#include <QAccessible>
#include <QString>

class QWidget;

namespace kiv {
class Form;
}

namespace kiv::qt {

// A caption as the screen shows it: "&&" is an ampersand, a single "&" marks
// an access key and is not shown.
QString ShownCaption(std::string_view caption);

// Gives a plain container widget an accessible role (a group, a tool bar).
// Set it when the widget is made, before anything asks for its interface;
// a later call changes the role the interface reports.
void SetAccessibleRole(QWidget& widget, QAccessible::Role role);

// Gives every control of a shown form an accessible name and role, so a
// screen reader can say what each one is:
// - a field editor, text box, combo box or description display is named by
//   its label (a label on the same row to its left, or just above it), else
//   by the field it shows, else by its name; its lookup button is "Pick a
//   date for ..." or "Look up ...";
// - a grid by its caption, else its label, else the form's caption;
// - the form controller's bar is a tool bar, "Record navigation", whose
//   buttons are named by their tool tips;
// - a user control is a group of its widgets under its name.
// Labels become the buddies of the controls they name. Tool tips of the
// bar's buttons and of a lookup button name their keyboard shortcut:
// "Move to the next record (Ctrl+N)".
//
// Run once the form's peers exist, and again when a field editor changes
// its kind (a lookup button appears or changes its job).
void NameControls(const Form& form);

}  // namespace kiv::qt
