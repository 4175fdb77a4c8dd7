#include "kivform/EventActions.h"

#include "kiv/data/AdoTypes.h"
#include "kiv/data/Connection.h"
#include "kiv/data/Field.h"
#include "kiv/data/Recordset.h"
#include "kiv/data/SqlText.h"
#include "kiv/description_grid/KivDesc.h"
#include "kiv/description_grid/KivDetGrid.h"
#include "kiv/field_editor/KivUni.h"
#include "kiv/form_controller/KivFormControl.h"
#include "kiv/host/CheckBox.h"
#include "kiv/host/ComboBox.h"
#include "kiv/host/CommandButton.h"
#include "kiv/host/Form.h"
#include "kiv/host/Host.h"
#include "kiv/host/Label.h"
#include "kiv/host/TextBox.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"
#include "kiv/runtime/JsonPropertyBag.h"
#include "kivform/Screen.h"

namespace kivform {

using Json = nlohmann::ordered_json;
using kiv::Variant;

namespace {

[[noreturn]] void Fail(std::string text) {
  throw kiv::Error(kiv::kLibraryError, "kivform", std::move(text));
}

bool SameName(std::string_view a, std::string_view b) {
  return kiv::AsciiLower(a) == kiv::AsciiLower(b);
}

// ---- events a form file can react to

using Disconnect = std::function<void()>;

template <class... A>
Disconnect Hook(const std::shared_ptr<kiv::Control>& owner, kiv::Event<A...>& event,
                std::function<void()> run) {
  const auto id = event.connect([run = std::move(run)](A&...) { run(); });
  std::weak_ptr<kiv::Control> weak = owner;
  return [weak, &event, id] {
    if (const auto alive = weak.lock()) event.disconnect(id);
  };
}

struct KnownEvent {
  const char* type;
  const char* name;
  Disconnect (*hook)(const std::shared_ptr<kiv::Control>&, std::function<void()>);
};

#define KIVFORM_EVENT(Type, Name)                                                                \
  KnownEvent {                                                                                   \
#Type, #Name,                                                                                \
        [](const std::shared_ptr <kiv::Control>& c,                                              \
           std::function <void()>                                                                \
               run) { return Hook(c, static_cast<kiv::Type&>(*c).events.Name, std::move(run)); } \
  }

const std::vector<KnownEvent>& KnownEvents() {
  static const std::vector<KnownEvent> table = {
      KIVFORM_EVENT(KivFormControl, BeforeMove),
      KIVFORM_EVENT(KivFormControl, AfterMove),
      KIVFORM_EVENT(KivFormControl, Save),
      KIVFORM_EVENT(KivFormControl, AfterSave),
      KIVFORM_EVENT(KivFormControl, Add),
      KIVFORM_EVENT(KivFormControl, AfterAdd),
      KIVFORM_EVENT(KivFormControl, UndoAdd),
      KIVFORM_EVENT(KivFormControl, AfterUndoAdd),
      KIVFORM_EVENT(KivFormControl, Delete),
      KIVFORM_EVENT(KivFormControl, AfterDelete),
      KIVFORM_EVENT(KivFormControl, Search),
      KIVFORM_EVENT(KivFormControl, AfterSearch),
      KIVFORM_EVENT(KivUni, DataChanged),
      KIVFORM_EVENT(KivUni, Change),
      KIVFORM_EVENT(KivUni, Click),
      KIVFORM_EVENT(KivUni, LookUp),
      KIVFORM_EVENT(KivDesc, Change),
      KIVFORM_EVENT(KivDesc, Click),
      KIVFORM_EVENT(KivDesc, DblClick),
      KIVFORM_EVENT(KivDetGrid, Click),
      KIVFORM_EVENT(KivDetGrid, DblClick),
      KIVFORM_EVENT(CommandButton, Click),
      KIVFORM_EVENT(CheckBox, Click),
      KIVFORM_EVENT(TextBox, Change),
      KIVFORM_EVENT(ComboBox, Click),
      KIVFORM_EVENT(ComboBox, Change),
      KIVFORM_EVENT(Label, Click),
  };
  return table;
}

#undef KIVFORM_EVENT

// ---- values

struct ValueSource {
  enum class Kind { Field, Text, Literal } kind = Kind::Literal;
  std::string field;
  std::weak_ptr<kiv::KivFormControl> controller;
  std::weak_ptr<kiv::Control> control;
  Variant literal;

  Variant evaluate() const {
    switch (kind) {
      case Kind::Literal:
        return literal;
      case Kind::Text: {
        const auto c = control.lock();
        return c ? Variant(kiv::TextOf(c->get("Text"))) : Variant(kiv::kNull);
      }
      case Kind::Field: {
        const auto form = controller.lock();
        const auto rs = form ? form->Form_Recordset() : nullptr;
        // No current record (none opened, an empty set, past either end): Null.
        if (!rs || rs->State() != kiv::adStateOpen || rs->BOF() || rs->EOF())
          return Variant(kiv::kNull);
        return (*rs)[field].Value();
      }
    }
    return {};
  }
};

// The form's only controller, for a field of "the current record".
std::shared_ptr<kiv::KivFormControl> OnlyController(Screen& screen) {
  std::shared_ptr<kiv::KivFormControl> found;
  for (const auto& c : screen.form().Controls()) {
    if (auto f = std::dynamic_pointer_cast<kiv::KivFormControl>(c)) {
      if (found) return nullptr;
      found = f;
    }
  }
  return found;
}

ValueSource ParseValue(Screen& screen, const Json& j, const std::string& here,
                       const std::shared_ptr<kiv::Control>& raiser) {
  const char* shape = ": a value is {\"field\": NAME}, {\"text\": CONTROL} or {\"value\": V}";
  if (!j.is_object()) Fail(here + shape);
  ValueSource v;
  int kinds = 0;
  for (const auto& [key, value] : j.items()) {
    if (key == "field") {
      ++kinds;
      if (!value.is_string() || value.get<std::string>().empty())
        Fail(here + ": 'field' must name a field");
      v.kind = ValueSource::Kind::Field;
      v.field = value.get<std::string>();
    } else if (key == "text") {
      ++kinds;
      if (!value.is_string()) Fail(here + ": 'text' must name a control");
      const auto c = screen.control(value.get<std::string>());
      if (!c) Fail(here + ": 'text': no control named '" + value.get<std::string>() + "'");
      if (!c->hasMember("Text"))
        Fail(here + ": 'text': a " + std::string(c->TypeName()) + " has no Text");
      v.kind = ValueSource::Kind::Text;
      v.control = c;
    } else if (key == "value") {
      ++kinds;
      v.kind = ValueSource::Kind::Literal;
      v.literal = kiv::JsonPropertyBag::Decode(value, &screen, here, "value");
    } else if (key != "controller") {
      Fail(here + ": unknown key '" + key + "' in a value" + shape);
    }
  }
  if (kinds != 1) Fail(here + shape);
  if (v.kind == ValueSource::Kind::Field) {
    std::shared_ptr<kiv::KivFormControl> form;
    if (j.contains("controller")) {
      const Json& name = j["controller"];
      if (!name.is_string()) Fail(here + ": 'controller' must name a form controller");
      form =
          std::dynamic_pointer_cast<kiv::KivFormControl>(screen.control(name.get<std::string>()));
      if (!form)
        Fail(here + ": 'controller': '" + name.get<std::string>() + "' is no form controller");
    } else {
      form = std::dynamic_pointer_cast<kiv::KivFormControl>(raiser);
      if (!form) form = OnlyController(screen);
      if (!form)
        Fail(here +
             ": 'field' needs the form controller whose record it reads: name it with "
             "\"controller\"");
    }
    v.controller = form;
  } else if (j.contains("controller")) {
    Fail(here + ": 'controller' goes with 'field' only");
  }
  return v;
}

std::vector<ValueSource> ParseValues(Screen& screen, const Json& list, const std::string& here,
                                     const char* key, const std::shared_ptr<kiv::Control>& raiser) {
  if (!list.is_array()) Fail(here + ": '" + key + "' must be a list of values");
  std::vector<ValueSource> out;
  int n = 0;
  for (const auto& item : list)
    out.push_back(ParseValue(screen, item, here + ": " + key + " #" + std::to_string(++n), raiser));
  return out;
}

// "NAME.Member" of an action: the control and its member.
std::pair<std::shared_ptr<kiv::Control>, std::string> ParseTarget(Screen& screen, const Json& j,
                                                                  const std::string& here,
                                                                  const char* verb) {
  if (!j.is_string()) Fail(here + ": '" + verb + "' must be a text: CONTROL.Member");
  const std::string path = j.get<std::string>();
  const auto dot = path.rfind('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == path.size())
    Fail(here + ": '" + verb + "' must be CONTROL.Member, not '" + path + "'");
  auto c = screen.control(path.substr(0, dot));
  if (!c) Fail(here + ": no control named '" + path.substr(0, dot) + "'");
  const std::string member = path.substr(dot + 1);
  if (!c->hasMember(member))
    Fail(here + ": a " + std::string(c->TypeName()) + " has no member '" + member + "'");
  return {c, member};
}

// Restores the mouse pointer when an action ends, however it ends.
class BusyPointer {
 public:
  BusyPointer() : previous_(kiv::Host::Current().MousePointer()) {
    kiv::Host::Current().SetMousePointer(kiv::vb::vbHourglass);
  }
  ~BusyPointer() { kiv::Host::Current().SetMousePointer(previous_); }
  BusyPointer(const BusyPointer&) = delete;
  BusyPointer& operator=(const BusyPointer&) = delete;

 private:
  int previous_;
};

}  // namespace

struct EventActions::Action {
  enum class Verb { Open, Set, Call } verb = Verb::Set;
  std::string event;  // "ctlForm.AfterMove"
  std::string label;  // "open grdLines"
  std::weak_ptr<kiv::KivDetGrid> grid;
  std::shared_ptr<kiv::Connection> connection;
  std::string sql;
  std::weak_ptr<kiv::Control> target;
  std::string member;
  std::vector<ValueSource> values;

  void run() const {
    std::vector<Variant> args;
    args.reserve(values.size());
    for (const auto& v : values)
      args.push_back(v.evaluate());
    switch (verb) {
      case Verb::Open: {
        const auto g = grid.lock();
        if (!g) return;
        BusyPointer busy;
        auto rs = std::make_shared<kiv::Recordset>();
        rs->CursorLocation(kiv::adUseClient);
        rs->Parameters(std::move(args));
        rs->Open(sql, connection, kiv::adOpenStatic, kiv::adLockReadOnly);
        g->DataSource(Variant(rs));
        const std::int32_t rows = rs->RecordCount();
        kiv::Host::Current().Trace("Action " + event + ": " + label + ": " + std::to_string(rows) +
                                   (rows == 1 ? " row" : " rows"));
        return;
      }
      case Verb::Set: {
        const auto t = target.lock();
        if (!t) return;
        if (args[0].isObject())
          t->set(member, args[0]);
        else
          t->let(member, args[0]);
        return;
      }
      case Verb::Call: {
        const auto t = target.lock();
        if (t) t->call(member, args);
        return;
      }
    }
  }
};

struct EventActions::Binding {
  std::string event;  // "ctlForm.AfterMove"
  std::vector<Action> actions;
  bool running = false;

  void run() {
    if (running) return;  // an action raised this same event again
    running = true;
    struct Done {
      bool& flag;
      ~Done() { flag = false; }
    } done{running};
    for (const auto& action : actions) {
      try {
        action.run();
      } catch (const kiv::Error& e) {
        kiv::Host::Current().MsgBox(event + ": " + action.label + ": " + e.description() + " (" +
                                        std::to_string(e.number()) + ")",
                                    kiv::vb::vbCritical | kiv::vb::vbOKOnly, "Error");
      }
    }
  }
};

namespace {

EventActions::Action ParseAction(Screen& screen, const Json& j, const std::string& here,
                                 const std::shared_ptr<kiv::Control>& raiser) {
  const char* shape =
      ": an action is {\"open\": GRID, \"sql\": ...}, {\"set\": "
      "\"CONTROL.Property\", \"value\": ...} or {\"call\": \"CONTROL.Method\"}";
  if (!j.is_object()) Fail(here + shape);
  const int verbs = static_cast<int>(j.contains("open")) + static_cast<int>(j.contains("set")) +
                    static_cast<int>(j.contains("call"));
  if (verbs != 1) Fail(here + shape);
  EventActions::Action a;
  auto allow = [&](std::initializer_list<const char*> keys) {
    for (const auto& [key, value] : j.items()) {
      bool known = false;
      for (const char* k : keys)
        known = known || key == k;
      if (!known) Fail(here + ": unknown key '" + key + "' in this action");
    }
  };

  if (j.contains("open")) {
    allow({"open", "sql", "parameters", "connection"});
    a.verb = EventActions::Action::Verb::Open;
    if (!j["open"].is_string()) Fail(here + ": 'open' must name a detail grid");
    const std::string name = j["open"].get<std::string>();
    const auto c = screen.control(name);
    if (!c) Fail(here + ": no control named '" + name + "'");
    auto grid = std::dynamic_pointer_cast<kiv::KivDetGrid>(c);
    if (!grid)
      Fail(here + ": 'open' needs a KivDetGrid, and '" + name + "' is a " +
           std::string(c->TypeName()));
    a.grid = grid;
    a.label = "open " + name;
    if (!j.contains("sql") || !j["sql"].is_string() || j["sql"].get<std::string>().empty())
      Fail(here + ": 'open' needs the 'sql' statement that selects the rows");
    a.sql = j["sql"].get<std::string>();
    if (j.contains("parameters"))
      a.values = ParseValues(screen, j["parameters"], here, "parameters", raiser);
    int placeholders = 0;
    kiv::NumberPlaceholders(
        a.sql, [](int) { return std::string("?"); }, &placeholders);
    if (placeholders != static_cast<int>(a.values.size()))
      Fail(here + ": the statement has " + std::to_string(placeholders) + " placeholders (?) but " +
           std::to_string(a.values.size()) + " parameters are given");
    std::string connection;
    if (j.contains("connection")) {
      if (!j["connection"].is_string()) Fail(here + ": 'connection' must name a connection");
      connection = j["connection"].get<std::string>();
    }
    a.connection = screen.connection(connection);
    if (!a.connection)
      Fail(here + (connection.empty() ? std::string(": the form has no connection")
                                      : ": no connection named '" + connection + "'"));
    return a;
  }

  const bool set = j.contains("set");
  const char* verb = set ? "set" : "call";
  allow(set ? std::initializer_list<const char*>{"set", "value"}
            : std::initializer_list<const char*>{"call", "arguments"});
  a.verb = set ? EventActions::Action::Verb::Set : EventActions::Action::Verb::Call;
  auto [control, member] = ParseTarget(screen, j[verb], here, verb);
  a.target = control;
  a.member = member;
  a.label = std::string(verb) + " " + j[verb].get<std::string>();
  if (set) {
    if (!j.contains("value")) Fail(here + ": 'set' needs the 'value' to write");
    a.values.push_back(ParseValue(screen, j["value"], here + ": value", raiser));
  } else if (j.contains("arguments")) {
    a.values = ParseValues(screen, j["arguments"], here, "arguments", raiser);
  }
  return a;
}

}  // namespace

EventActions::EventActions(Screen& screen, const Json& events) {
  const std::string& origin = screen.origin();
  if (!events.is_object())
    Fail(origin + ": 'events' must be an object of \"CONTROL.Event\": [actions]");
  for (const auto& [key, list] : events.items()) {
    const std::string here = origin + ": event '" + key + "'";
    const auto dot = key.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == key.size())
      Fail(here + ": name an event as CONTROL.Event, e.g. ctlForm.AfterMove");
    const auto control = screen.control(key.substr(0, dot));
    if (!control) Fail(here + ": no control named '" + key.substr(0, dot) + "'");
    const std::string type(control->TypeName());
    const std::string name = key.substr(dot + 1);
    const KnownEvent* known = nullptr;
    for (const auto& e : KnownEvents())
      if (type == e.type && SameName(name, e.name)) known = &e;
    if (!known) {
      std::string names;
      for (const auto& e : EventsOf(type))
        names += (names.empty() ? "" : ", ") + e;
      Fail(here + ": a " + type + " raises no event '" + name + "' that a form file can use" +
           (names.empty() ? std::string() : " (known: " + names + ")"));
    }
    if (!list.is_array()) Fail(here + ": the actions must be a list");
    auto binding = std::make_shared<Binding>();
    binding->event = key;
    int n = 0;
    for (const auto& action : list) {
      binding->actions.push_back(
          ParseAction(screen, action, here + ": action #" + std::to_string(++n), control));
      binding->actions.back().event = key;
    }
    bindings_.push_back(binding);
    disconnect_.push_back(known->hook(control, [binding] { binding->run(); }));
  }
}

EventActions::~EventActions() {
  for (const auto& d : disconnect_)
    d();
}

std::vector<std::string> EventActions::EventsOf(std::string_view controlType) {
  std::vector<std::string> out;
  for (const auto& e : KnownEvents())
    if (controlType == e.type) out.emplace_back(e.name);
  return out;
}

}  // namespace kivform
