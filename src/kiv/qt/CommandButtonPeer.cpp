#include "kiv/qt/CommandButtonPeer.h"

#include <QFileInfo>
#include <QMouseEvent>

#include "kiv/host/CommandButton.h"
#include "kiv/qt/AccessibleNames.h"

// The icons are compiled into the static library: register them once.
static void RegisterIcons() {
  static const bool registered = [] {
    Q_INIT_RESOURCE(kiv_qt);
    return true;
  }();
  (void)registered;
}

namespace kiv::qt {

QIcon IconForPicture(std::string_view picture) {
  if (picture.empty()) return QIcon();
  RegisterIcons();
  const QString name = QString::fromUtf8(picture.data(), static_cast<qsizetype>(picture.size()));
  const QString base = QFileInfo(name).completeBaseName();
  const QString resource = QStringLiteral(":/kiv/icons/") + base + QStringLiteral(".png");
  if (QFileInfo::exists(resource)) {
    QIcon icon;
    icon.addFile(resource);
    const QString large = QStringLiteral(":/kiv/icons/") + base + QStringLiteral("@2x.png");
    if (QFileInfo::exists(large)) icon.addFile(large);
    return icon;
  }
  if (QFileInfo::exists(name)) return QIcon(name);
  return QIcon();
}

CommandButtonPeer::CommandButtonPeer(CommandButton& button, QWidget* parent)
    : ControlPeer(button, new QToolButton(parent)) {
  toolButton()->setFocusPolicy(Qt::StrongFocus);
  toolButton()->setAutoRaise(false);
  refresh();
}

void CommandButtonPeer::showProperty(std::string_view name) {
  auto* button = static_cast<CommandButton*>(control());
  QToolButton* tool = toolButton();
  const bool all = name.empty();
  if (all || name == "Caption" || name == "Picture" || name == "Style") {
    const QIcon icon = IconForPicture(button->Picture());
    tool->setIcon(icon);
    tool->setText(QString::fromStdString(button->Caption()));
    if (icon.isNull()) {
      tool->setToolButtonStyle(Qt::ToolButtonTextOnly);
    } else if (button->Caption().empty()) {
      tool->setToolButtonStyle(Qt::ToolButtonIconOnly);
    } else {
      tool->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    }
  }
  if (all || name == "ToolTipText") tool->setToolTip(QString::fromStdString(button->ToolTipText()));
  if (all || name == "ToolTipText" || name == "Caption") {
    // A picture button is named by its tool tip, a captioned one by its caption.
    const QString named = button->ToolTipText().empty()
                              ? ShownCaption(button->Caption())
                              : QString::fromStdString(button->ToolTipText());
    if (!named.isEmpty()) tool->setAccessibleName(named);
  }
  if (all || name == "BackColor") {
    showColours(button->BackColor(), colour::ButtonText, QPalette::Button, QPalette::ButtonText);
  }
}

bool CommandButtonPeer::mousePressed(QMouseEvent& event) {
  if (event.button() == Qt::LeftButton) toolButton()->setDown(true);
  ControlPeer::mousePressed(event);
  return true;
}

bool CommandButtonPeer::mouseReleased(QMouseEvent& event) {
  if (toolButton()) toolButton()->setDown(false);
  ControlPeer::mouseReleased(event);
  return true;
}

bool CommandButtonPeer::mouseDoubleClicked(QMouseEvent& event) {
  // A second quick click on a button is another click.
  return mousePressed(event);
}

}  // namespace kiv::qt
