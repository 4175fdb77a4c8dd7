#include "kiv/qt/ComboBoxPeer.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "kiv/host/ComboBox.h"

namespace kiv::qt {

ComboBoxPeer::ComboBoxPeer(ComboBox& box, QWidget* parent)
    : ControlPeer(box, new QComboBox(parent)) {
  comboBox()->setInsertPolicy(QComboBox::NoInsert);
  connect(comboBox(), &QComboBox::activated, this, &ComboBoxPeer::userPicked);
  refresh();
}

void ComboBoxPeer::showProperty(std::string_view name) {
  auto* box = static_cast<ComboBox*>(control());
  QComboBox* combo = comboBox();
  const bool all = name.empty();
  if (all || name == "Style") {
    const bool editable = box->Style() != 2;
    if (combo->isEditable() != editable) {
      combo->setEditable(editable);
      if (editable) {
        connect(combo->lineEdit(), &QLineEdit::textEdited, this, &ComboBoxPeer::widgetEdited);
      }
    }
  }
  if (all || name == "Style" || name == "List") showItems();
  if (all || name == "Style" || name == "List" || name == "ListIndex" || name == "Text" ||
      name == "SelStart" || name == "SelLength") {
    showText();
  }
  if (all || name == "Locked") {
    if (combo->lineEdit()) combo->lineEdit()->setReadOnly(box->Locked());
  }
  if (all || name == "BackColor" || name == "ForeColor") {
    showColours(box->BackColor(), box->ForeColor());
  }
}

void ComboBoxPeer::showItems() {
  auto* box = static_cast<ComboBox*>(control());
  QStringList items;
  for (const std::string& item : box->items())
    items << QString::fromStdString(item);
  QComboBox* combo = comboBox();
  QStringList shown;
  for (int i = 0; i < combo->count(); ++i)
    shown << combo->itemText(i);
  if (shown != items) {
    combo->clear();
    combo->addItems(items);
  }
}

void ComboBoxPeer::showText() {
  auto* box = static_cast<ComboBox*>(control());
  QComboBox* combo = comboBox();
  if (combo->currentIndex() != box->ListIndex()) combo->setCurrentIndex(box->ListIndex());
  if (QLineEdit* edit = combo->lineEdit()) {
    const QString text = QString::fromStdString(box->Text());
    if (edit->text() != text) edit->setText(text);
    if (box->SelLength() > 0) {
      edit->setSelection(box->SelStart(), box->SelLength());
    } else {
      edit->setCursorPosition(box->SelStart());
    }
  }
}

void ComboBoxPeer::userPicked(int index) {
  if (mirroring() || !control()) return;
  auto* box = static_cast<ComboBox*>(control());
  fromUser([&] { box->pick(index); });
  if (control()) {
    Mirror mirror(*this);
    showText();
  }
}

void ComboBoxPeer::widgetEdited(const QString& text) {
  if (mirroring() || !control()) return;
  auto* box = static_cast<ComboBox*>(control());
  const std::string value = text.toStdString();
  fromUser([&] { box->userSetText(value); });
  if (control()) {
    Mirror mirror(*this);
    showText();
  }
}

bool ComboBoxPeer::keyPressed(QKeyEvent& event) {
  // F4 and Alt+Down open the list after the key's events.
  const bool opens = event.key() == Qt::Key_F4 ||
                     (event.key() == Qt::Key_Down && (event.modifiers() & Qt::AltModifier));
  const bool used = ControlPeer::keyPressed(event);
  if (opens && control() && control()->Enabled()) comboBox()->showPopup();
  return used;
}

}  // namespace kiv::qt
