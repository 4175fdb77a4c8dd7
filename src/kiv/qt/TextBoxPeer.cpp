#include "kiv/qt/TextBoxPeer.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>

#include "kiv/host/TextBox.h"
#include "kiv/host/Utf8Text.h"
#include "kiv/qt/KeyMap.h"

namespace kiv::qt {

namespace {

// The line edit's position (UTF-16 units) of a character index of text.
int Utf16Index(const QString& text, std::int32_t chars) {
  int pos = 0;
  for (std::int32_t i = 0; i < chars && pos < text.size(); ++i) {
    pos += text.at(pos).isHighSurrogate() && pos + 1 < text.size() ? 2 : 1;
  }
  return pos;
}

// The character index of a line edit position.
std::int32_t CharIndex(const QString& text, int utf16) {
  std::int32_t chars = 0;
  for (int pos = 0; pos < utf16 && pos < text.size(); ++chars) {
    pos += text.at(pos).isHighSurrogate() && pos + 1 < text.size() ? 2 : 1;
  }
  return chars;
}

}  // namespace

TextBoxPeer::TextBoxPeer(TextBox& box, QWidget* parent) : ControlPeer(box, new QLineEdit(parent)) {
  QLineEdit* edit = lineEdit();
  // Edits Qt makes itself (context-menu paste, drag and drop, input methods).
  connect(edit, &QLineEdit::textEdited, this, &TextBoxPeer::widgetEdited);
  connect(edit, &QLineEdit::selectionChanged, this, &TextBoxPeer::widgetSelectionMoved);
  connect(edit, &QLineEdit::cursorPositionChanged, this, &TextBoxPeer::widgetSelectionMoved);
  refresh();
}

TextBox* TextBoxPeer::textBox() const {
  return static_cast<TextBox*>(control());
}

void TextBoxPeer::showProperty(std::string_view name) {
  TextBox* box = textBox();
  QLineEdit* edit = lineEdit();
  const bool all = name.empty();
  if (all || name == "Locked") edit->setReadOnly(box->Locked());
  if (all || name == "MaxLength") {
    // The model cuts the text; the line edit only needs room for it.
    edit->setMaxLength(box->MaxLength() > 0 ? box->MaxLength() : 32767);
  }
  if (all || name == "Text" || name == "PasswordChar") {
    showText();
  } else if ((name == "SelStart" || name == "SelLength") && !selectionFromWidget_) {
    showSelection();
  }
  if (all || name == "BackColor" || name == "ForeColor") {
    showColours(box->BackColor(), box->ForeColor());
  }
}

void TextBoxPeer::showText() {
  TextBox* box = textBox();
  QString shown;
  if (box->PasswordChar().empty()) {
    shown = QString::fromStdString(box->Text());
  } else {
    // The mask is drawn by the peer so that the control's own character shows.
    shown = QString::fromStdString(box->PasswordChar()).repeated(utf8::Length(box->Text()));
  }
  if (lineEdit()->text() != shown) lineEdit()->setText(shown);
  showSelection();
}

void TextBoxPeer::showSelection() {
  TextBox* box = textBox();
  QLineEdit* edit = lineEdit();
  const QString& shown = edit->text();
  const int start = Utf16Index(shown, box->SelStart());
  if (box->SelLength() > 0) {
    const int end = Utf16Index(shown, box->SelStart() + box->SelLength());
    edit->setSelection(start, end - start);
  } else {
    edit->deselect();
    edit->setCursorPosition(start);
  }
}

void TextBoxPeer::widgetEdited(const QString& text) {
  if (mirroring() || !control()) return;
  TextBox* box = textBox();
  if (box->PasswordChar().empty()) {
    const std::string value = text.toStdString();
    fromUser([&] { box->userSetText(value); });
  }
  // Whatever the model made of it (refused, cut to MaxLength), show that.
  if (control()) {
    Mirror mirror(*this);
    showText();
  }
}

void TextBoxPeer::widgetSelectionMoved() {
  if (mirroring() || !control()) return;
  TextBox* box = textBox();
  QLineEdit* edit = lineEdit();
  const QString& shown = edit->text();
  std::int32_t start = 0, length = 0;
  if (edit->hasSelectedText()) {
    start = CharIndex(shown, edit->selectionStart());
    length = CharIndex(shown, edit->selectionEnd()) - start;
  } else {
    start = CharIndex(shown, edit->cursorPosition());
  }
  if (start == box->SelStart() && length == box->SelLength()) return;
  // The line edit already shows this selection: do not write it back.
  selectionFromWidget_ = true;
  fromUser([&] {
    box->SelStart(start);
    box->SelLength(length);
  });
  selectionFromWidget_ = false;
}

void TextBoxPeer::replaceSelection(const QString& text) {
  TextBox* box = textBox();
  const std::int32_t start = box->SelStart();
  const std::string insert = text.toStdString();
  const std::string value = utf8::Replace(box->Text(), start, box->SelLength(), insert);
  fromUser([&] {
    if (box->userSetText(value)) {
      box->SelStart(std::min(start + utf8::Length(insert), utf8::Length(box->Text())));
    }
  });
}

bool TextBoxPeer::keyPressed(QKeyEvent& event) {
  TextBox* box = textBox();
  const bool masked = !box->PasswordChar().empty();
  if (event.matches(QKeySequence::Copy)) {
    // The key's events first, then the copy (never of a masked text).
    ControlPeer::keyPressed(event);
    if (control() && !masked && box->SelLength() > 0) {
      QApplication::clipboard()->setText(QString::fromStdString(box->SelText()));
    }
    return true;
  }
  if (event.matches(QKeySequence::Cut)) {
    ControlPeer::keyPressed(event);
    if (control() && !masked && !box->Locked() && box->SelLength() > 0) {
      QApplication::clipboard()->setText(QString::fromStdString(box->SelText()));
      replaceSelection(QString());
    }
    return true;
  }
  if (event.matches(QKeySequence::Paste)) {
    ControlPeer::keyPressed(event);
    if (control() && !box->Locked()) {
      // A single-line box takes the clipboard's first line.
      QString text = QApplication::clipboard()->text();
      text = text.left(text.indexOf(QLatin1Char('\n')) < 0 ? text.size()
                                                           : text.indexOf(QLatin1Char('\n')));
      text.remove(QLatin1Char('\r'));
      if (!text.isEmpty()) replaceSelection(text);
    }
    return true;
  }
  if (event.matches(QKeySequence::SelectAll)) {
    ControlPeer::keyPressed(event);
    if (control()) {
      fromUser([&] {
        box->SelStart(0);
        box->SelLength(utf8::Length(box->Text()));
      });
    }
    return true;
  }
  return ControlPeer::keyPressed(event);
}

}  // namespace kiv::qt
