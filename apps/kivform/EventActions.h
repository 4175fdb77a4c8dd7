#pragma once

#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace kivform {

class Screen;

// A form file's "events": for an event of a control ("ctlForm.AfterMove"), a
// list of actions run, in order, each time the control raises it.
//
//   {"open": "grdLines", "sql": "SELECT ... WHERE OrderNo = ?",
//    "parameters": [{"field": "OrderNo"}], "connection": "main"}
//       re-opens a detail grid's record source (read-only) from the
//       statement, each "?" bound to the value of its parameter;
//   {"set": "NAME.Property", "value": VALUE}    writes a property;
//   {"call": "NAME.Method", "arguments": [VALUE, ...]}  calls a method.
//
// A VALUE is {"field": "Name"} (the field of the form controller's current
// record; "controller": "ctlForm" names one when the form has several; Null
// without a current record), {"text": "NAME"} (a control's Text) or
// {"value": V} (V as a property bag writes it). Values are bound as
// parameters, never placed in the SQL text.
//
// Everything is checked when the form loads (controls, events, members,
// placeholders against parameters); a fault raises one kiv::Error naming the
// file, the event and the action. At run time a failing action is reported in
// a message box titled "Error" and the event's other actions still run;
// nothing reaches the control that raised the event. An event's actions do
// not run again while they are running (an action that raises its own event).
class EventActions {
 public:
  // Checks the "events" object and connects the handlers.
  EventActions(Screen& screen, const nlohmann::ordered_json& events);
  // Disconnects the handlers from the controls that are still alive.
  ~EventActions();
  EventActions(const EventActions&) = delete;
  EventActions& operator=(const EventActions&) = delete;

  // The events a control of that type can react to, for the documentation
  // and for errors.
  static std::vector<std::string> EventsOf(std::string_view controlType);

  struct Action;
  struct Binding;

 private:
  std::vector<std::function<void()>> disconnect_;
  std::vector<std::shared_ptr<Binding>> bindings_;
};

}  // namespace kivform
