// A window from the installed Qt front end: every button of the form
// controller's bar shows its icon, so the icons compiled into the static
// library reach a program that links it.
#include <QApplication>
#include <QToolButton>
#include <iostream>

#include "kiv/form_controller/KivFormControl.h"
#include "kiv/host/CommandButton.h"
#include "kiv/host/Form.h"
#include "kiv/host/HeadlessHost.h"
#include "kiv/qt/FormWindow.h"
#include "kiv/qt/Run.h"

int main() {
  auto app = kiv::qt::EnsureApplication(true);
  kiv::HeadlessHost host;
  kiv::Host::SetCurrent(&host);
  kiv::Form form("frmBar");
  auto bar = kiv::KivFormControl::Create();
  bar->Name("ctlForm");
  form.Add(bar);
  form.Show();
  kiv::qt::FormWindow window(form);
  int missing = 0;
  for (kiv::CommandButton* button :
       {&bar->cmdFirst(), &bar->cmdPrevious(), &bar->cmdNext(), &bar->cmdLast(), &bar->cmdAdd(),
        &bar->cmdUndoAdd(), &bar->cmdDelete(), &bar->cmdSave(), &bar->cmdSearch()}) {
    auto* shown = qobject_cast<QToolButton*>(window.widgetOf(*button));
    if (!shown || shown->icon().isNull()) {
      std::cerr << "no icon on " << button->Name() << "\n";
      ++missing;
    }
  }
  std::cout << (missing == 0 ? "every bar button has its icon\n" : "icons missing\n");
  return missing == 0 ? 0 : 1;
}
