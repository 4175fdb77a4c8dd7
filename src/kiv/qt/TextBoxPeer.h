#pragma once

#include <QLineEdit>

#include "kiv/qt/ControlPeer.h"

namespace kiv {
class TextBox;
}

namespace kiv::qt {

// Shows a model TextBox as a QLineEdit: text (masked by PasswordChar),
// Locked as read-only, MaxLength, the selection, BackColor and ForeColor.
// Typed keys go to the model's type/pressKey, so the model edits the text
// and the line edit shows the result; a paste, cut or input-method edit goes
// to userSetText. A caret moved by the mouse is written back to the model's
// SelStart/SelLength.
class TextBoxPeer : public ControlPeer {
  Q_OBJECT
 public:
  // Creates the line edit as a child of parent (or without a parent).
  explicit TextBoxPeer(TextBox& box, QWidget* parent = nullptr);

  QLineEdit* lineEdit() const { return static_cast<QLineEdit*>(widget()); }
  TextBox* textBox() const;

 protected:
  void showProperty(std::string_view name) override;
  bool keyPressed(QKeyEvent& event) override;

 private:
  void showText();
  void showSelection();
  void widgetEdited(const QString& text);
  void widgetSelectionMoved();
  // Replaces the model's selection by text as one user edit.
  void replaceSelection(const QString& text);

  bool selectionFromWidget_ = false;
};

}  // namespace kiv::qt
