#include "kiv/qt/PeerFactory.h"

#include <QFrame>

#include "kiv/host/CheckBox.h"
#include "kiv/host/ComboBox.h"
#include "kiv/host/CommandButton.h"
#include "kiv/host/DataGrid.h"
#include "kiv/host/Label.h"
#include "kiv/host/MonthView.h"
#include "kiv/host/TextBox.h"
#include "kiv/host/UserControl.h"
#include "kiv/qt/CheckBoxPeer.h"
#include "kiv/qt/ComboBoxPeer.h"
#include "kiv/qt/CommandButtonPeer.h"
#include "kiv/qt/DataGridPeer.h"
#include "kiv/qt/LabelPeer.h"
#include "kiv/qt/MonthViewPeer.h"
#include "kiv/qt/TextBoxPeer.h"
#include "kiv/qt/Units.h"
#include "kiv/qt/UserControlPeer.h"

namespace kiv::qt {

namespace {

// A control the front end has no widget for: a frame of its size.
class PlainPeer : public ControlPeer {
 public:
  PlainPeer(Control& control, QWidget* parent) : ControlPeer(control, new QFrame(parent)) {
    static_cast<QFrame*>(widget())->setFrameShape(QFrame::StyledPanel);
    refresh();
  }

 protected:
  void showProperty(std::string_view) override {}
};

}  // namespace

ControlPeer* CreatePeer(Control& control, QWidget* parent) {
  if (auto* c = dynamic_cast<TextBox*>(&control)) return new TextBoxPeer(*c, parent);
  if (auto* c = dynamic_cast<CheckBox*>(&control)) return new CheckBoxPeer(*c, parent);
  if (auto* c = dynamic_cast<CommandButton*>(&control)) return new CommandButtonPeer(*c, parent);
  if (auto* c = dynamic_cast<ComboBox*>(&control)) return new ComboBoxPeer(*c, parent);
  if (auto* c = dynamic_cast<Label*>(&control)) return new LabelPeer(*c, parent);
  if (auto* c = dynamic_cast<MonthView*>(&control)) return new MonthViewPeer(*c, parent);
  if (auto* c = dynamic_cast<DataGrid*>(&control)) return new DataGridPeer(*c, parent);
  if (auto* c = dynamic_cast<UserControl*>(&control)) return new UserControlPeer(*c, parent);
  return new PlainPeer(control, parent);
}

QWidget* WidgetOf(const Control& control) {
  auto* peer = dynamic_cast<ControlPeer*>(control.peer());
  return peer ? peer->widget() : nullptr;
}

QWidget* Embed(Control& control, QWidget* parent) {
  QWidget* widget = CreatePeer(control, parent)->widget();
  widget->setMinimumSize(TwipsToPixels(control.Width(), widget),
                         TwipsToPixels(control.Height(), widget));
  return widget;
}

}  // namespace kiv::qt
