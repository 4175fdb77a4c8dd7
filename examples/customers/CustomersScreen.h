#pragma once

#include <memory>
#include <string>

#include "kiv/data/Connection.h"
#include "kiv/field_editor/KivUni.h"
#include "kiv/form_controller/KivFormControl.h"
#include "kiv/host/CheckBox.h"
#include "kiv/host/Form.h"
#include "kiv/host/Label.h"
#include "kiv/search/KivSearch.h"

// The customers screen, built in code rather than from a form file: a form
// controller with its bar, field editors for the code, name, credit limit
// and start date, a check box, a search launcher and a status line.
//
// The screen's own rules are event handlers:
// - after every move the status line names the customer and its place (or
//   says a new one is being added);
// - a save writes the code in capitals;
// - an active customer cannot be deleted (the delete is cancelled with a
//   message).
class CustomersScreen {
 public:
  // Creates the Customers and FieldNames tables with five customers when the
  // database has no Customers table yet.
  static void CreateSampleData(const std::shared_ptr<kiv::Connection>& db);

  // Builds the screen over the connection; the current host (kiv::Host) must
  // be the one that will show it.
  explicit CustomersScreen(std::shared_ptr<kiv::Connection> db);

  // Loads the form and opens its record set; false with the reason in error.
  bool Open(std::string& error);

  kiv::Form& form() { return *form_; }
  kiv::KivFormControl& controller() { return *controller_; }
  kiv::KivUni& code() { return *code_; }
  kiv::KivUni& name() { return *name_; }
  kiv::KivUni& creditLimit() { return *creditLimit_; }
  kiv::KivUni& since() { return *since_; }
  kiv::CheckBox& active() { return *active_; }
  kiv::Label& status() { return *status_; }

 private:
  std::shared_ptr<kiv::KivUni> addEditor(const std::string& name, const std::string& field,
                                         const std::string& caption, double top, double width);
  void handleEvents();

  std::shared_ptr<kiv::Connection> db_;
  std::shared_ptr<kiv::Form> form_;
  std::shared_ptr<kiv::KivFormControl> controller_;
  std::shared_ptr<kiv::KivSearch> search_;
  std::shared_ptr<kiv::KivUni> code_, name_, creditLimit_, since_;
  std::shared_ptr<kiv::CheckBox> active_;
  std::shared_ptr<kiv::Label> status_;
};
