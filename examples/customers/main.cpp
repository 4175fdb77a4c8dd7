// customers: a record-maintenance screen built in C++ with KivControls.
//
//   customers [--screenshot FILE.png] [DATABASE]
//
// First a tour drives the screen headless over a fresh in-memory database,
// as a user would, and checks what happens; the exit status is 1 when a
// check fails. Then, when there is a display, the screen opens in a window
// over DATABASE (default sqlite:customers.db, given five customers when it
// has no Customers table); --screenshot FILE.png renders the window to a
// picture instead of showing it.

#include <iostream>
#include <memory>
#include <string>

#include "CustomersScreen.h"
#include "kiv/data/Field.h"
#include "kiv/data/Recordset.h"
#include "kiv/host/ComboBox.h"
#include "kiv/host/CommandButton.h"
#include "kiv/host/HeadlessHost.h"
#include "kiv/host/TextBox.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"
#include "kiv/search/frmSearch.h"

#ifdef CUSTOMERS_WITH_QT
#include <QApplication>

#include "kiv/qt/QtHost.h"
#include "kiv/qt/Run.h"
#endif

namespace {

int failures = 0;

void Check(bool ok, const std::string& what) {
  std::cout << (ok ? "ok     " : "FAILED ") << what << "\n";
  if (!ok) ++failures;
}

// The first value of the first row of a query.
std::string Query(const std::shared_ptr<kiv::Connection>& db, const std::string& sql) {
  kiv::Recordset rs;
  rs.Open(sql, db);
  return rs.EOF() ? "" : kiv::TextOf(rs[0].Value());
}

// Whether a message box with this prompt was shown since the last call.
bool Shown(kiv::HeadlessHost& host, const std::string& prompt) {
  bool seen = false;
  for (const std::string& line : host.lines("MsgBox"))
    seen = seen || line.find("prompt=\"" + prompt + "\"") != std::string::npos;
  host.clearTranscript();
  return seen;
}

// Types into a field editor as a user would: focus (which selects the
// editor's text), then the keys.
void TypeInto(kiv::KivUni& editor, const std::string& text) {
  editor.SetFocus();
  editor.txtText1().type(text);
}

void Tour() {
  kiv::HeadlessHost host;
  kiv::Host::SetCurrent(&host);
  auto db = kiv::Connection::OpenNew("sqlite::memory:");
  CustomersScreen::CreateSampleData(db);
  CustomersScreen screen(db);
  kiv::KivFormControl& bar = screen.controller();

  std::string error;
  const bool opened = screen.Open(error);
  Check(opened, "the screen opens its record set " + error);
  Check(screen.code().Text() == "C1" && screen.status().Caption() == "Customer C1 (1 of 5)",
        "it shows the first customer, named in the status line");

  bar.cmdNext().click();
  Check(screen.code().Text() == "C2", "the next button moves to C2");

  // An edit, then a move: the controller asks whether to save; Yes saves.
  TypeInto(screen.name(), "Jones & Partners");
  host.queueAnswer(kiv::vb::vbYes);
  bar.cmdNext().click();
  Check(Shown(host, "Do you want to save your changes?") &&
            Query(db, "SELECT Name FROM Customers WHERE Code = 'C2'") == "Jones & Partners",
        "moving on from an edit asks to save it, and Yes saves it");

  // A new customer; the Save handler writes the code in capitals.
  bar.cmdAdd().click();
  TypeInto(screen.code(), "c6");
  TypeInto(screen.name(), "Delta Supplies");
  TypeInto(screen.creditLimit(), "1250.5");
  bar.cmdSave().click();
  Check(Query(db, "SELECT CreditLimit FROM Customers WHERE Code = 'C6'") == "1250.5" &&
            screen.status().Caption() == "Saved customer C6",
        "a new customer is saved under the code in capitals");

  // A code that exists already: one plain message, nothing written.
  bar.cmdAdd().click();
  TypeInto(screen.code(), "C1");
  TypeInto(screen.name(), "Another Smith");
  bar.cmdSave().click();
  Check(Shown(host, "This record already exists.") &&
            Query(db, "SELECT COUNT(*) FROM Customers") == "6",
        "a duplicate code is refused with one message");
  bar.cmdUndoAdd().click();

  // A number editor refuses text that is not a number.
  TypeInto(screen.creditLimit(), "12x");
  Check(screen.creditLimit().Invalid_Data(), "the credit limit refuses \"12x\"");
  bar.cmdSave().click();
  Check(Shown(host, "You have entered invalid data, the record was not saved."),
        "a save with invalid data is refused");
  TypeInto(screen.creditLimit(), "100");
  bar.cmdSave().click();

  // The search: the bar's button opens the dialog; the driver acts in it as
  // the user would and presses OK; the screen moves to the chosen customer.
  host.pushModalDriver([](kiv::Form& form) {
    auto& dialog = static_cast<kiv::frmSearch&>(form);
    dialog.cmbField().pick("Customer name");
    dialog.cmbSearchType().pick("Containing");
    dialog.cmbFind().userSetText("o'brien");
    dialog.cmdFindNext().click();
    dialog.cmdOK().click();
  });
  bar.cmdSearch().click();
  Check(screen.code().Text() == "C3", "the search finds O'Brien Hardware");

  // The Delete handler cancels deleting an active customer.
  bar.cmdDelete().click();
  Check(Shown(host, "Clear Active before deleting a customer.") &&
            Query(db, "SELECT COUNT(*) FROM Customers WHERE Code = 'C3'") == "1",
        "an active customer is not deleted");

  // View only, as the application sets it for a user before opening the
  // screen: the bar keeps its moves and the search, the editors are locked.
  bar.SecurityLevel(kiv::scViewOnly);
  const bool reopened = bar.OpenRecordset(error);
  Check(reopened, "the screen opens again, view only " + error);
  Check(!bar.cmdAdd().Enabled() && !bar.cmdSave().Enabled() && bar.cmdNext().Enabled() &&
            screen.name().txtText1().Locked(),
        "view only: no add or save, locked editors, moves allowed");

  kiv::Host::SetCurrent(nullptr);
}

#ifdef CUSTOMERS_WITH_QT
int ShowWindow(const std::string& uri, const std::string& screenshot) {
  // The application object, then the host, then the screen.
  auto app = kiv::qt::EnsureApplication(!screenshot.empty());
  kiv::qt::QtHost host;
  kiv::Host::SetCurrent(&host);
  auto db = kiv::Connection::OpenNew(uri);
  CustomersScreen::CreateSampleData(db);
  CustomersScreen screen(db);
  std::string error;
  if (!screen.Open(error)) {
    std::cerr << "customers: " << error << "\n";
    return 2;
  }
  if (!screenshot.empty()) {
    if (!kiv::qt::Screenshot(screen.form(), screenshot, &error)) {
      std::cerr << "customers: " << error << "\n";
      return 2;
    }
    std::cout << "customers: the screen is in " << screenshot << "\n";
    return 0;
  }
  return kiv::qt::RunWindow(screen.form());
}
#endif

}  // namespace

int main(int argc, char** argv) {
  std::string uri = "sqlite:customers.db";
  std::string screenshot;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--screenshot" && i + 1 < argc) {
      screenshot = argv[++i];
    } else if (!arg.empty() && arg[0] != '-') {
      uri = arg;
    } else {
      std::cerr << "usage: customers [--screenshot FILE.png] [DATABASE]\n";
      return 2;
    }
  }
  try {
    Tour();
    std::cout << failures << " of the tour's checks failed\n";
    if (failures > 0) return 1;
#ifdef CUSTOMERS_WITH_QT
    if (!screenshot.empty() || kiv::qt::DisplayAvailable()) return ShowWindow(uri, screenshot);
#endif
    std::cout << "customers: no display, so no window\n";
    return 0;
  } catch (const kiv::Error& e) {
    std::cerr << "customers: " << e.description() << " (" << e.number() << ")\n";
    return 2;
  }
}
