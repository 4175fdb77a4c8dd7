#include "kivform/Screen.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <system_error>

#include "kiv/data/Connection.h"
#include "kiv/description_grid/KivDesc.h"
#include "kiv/description_grid/KivDetGrid.h"
#include "kiv/field_editor/KivUni.h"
#include "kiv/form_controller/KivFormControl.h"
#include "kiv/host/CheckBox.h"
#include "kiv/host/ComboBox.h"
#include "kiv/host/CommandButton.h"
#include "kiv/host/DataFormat.h"
#include "kiv/host/Font.h"
#include "kiv/host/Form.h"
#include "kiv/host/Label.h"
#include "kiv/host/TextBox.h"
#include "kiv/host/UserControl.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"
#include "kiv/runtime/JsonPropertyBag.h"
#include "kiv/search/KivSearch.h"
#include "kivform/EventActions.h"

namespace kivform {

using Json = nlohmann::ordered_json;
using kiv::Variant;

namespace {

[[noreturn]] void Fail(std::string text) {
  throw kiv::Error(kiv::kLibraryError, "kivform", std::move(text));
}

struct ControlType {
  const char* name;
  bool userControl;
  std::function<std::shared_ptr<kiv::Control>()> create;
};

const std::vector<ControlType>& Types() {
  static const std::vector<ControlType> types = {
      {"KivFormControl", true, [] { return kiv::KivFormControl::Create(); }},
      {"KivUni", true, [] { return kiv::KivUni::Create(); }},
      {"KivSearch", true, [] { return kiv::KivSearch::Create(); }},
      {"KivDesc", true, [] { return kiv::KivDesc::Create(); }},
      {"KivDetGrid", true, [] { return kiv::KivDetGrid::Create(); }},
      {"TextBox", false, [] { return std::make_shared<kiv::TextBox>(); }},
      {"ComboBox", false, [] { return std::make_shared<kiv::ComboBox>(); }},
      {"CheckBox", false, [] { return std::make_shared<kiv::CheckBox>(); }},
      {"Label", false, [] { return std::make_shared<kiv::Label>(); }},
      {"CommandButton", false, [] { return std::make_shared<kiv::CommandButton>(); }},
  };
  return types;
}

const ControlType* FindType(std::string_view name) {
  for (const auto& t : Types())
    if (name == t.name) return &t;
  return nullptr;
}

// A JSON parse error's byte offset as "line L, column C".
std::string Position(std::string_view text, std::size_t byte) {
  std::size_t line = 1, column = 1;
  for (std::size_t i = 0; i + 1 < byte && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

const char* KindName(const Json& v) {
  if (v.is_string()) return "a text";
  if (v.is_boolean()) return "true or false";
  if (v.is_number()) return "a number";
  if (v.is_array()) return "a list";
  if (v.is_object()) return "an object";
  return "null";
}

// The bag a controller writes its properties to on --save: everything goes to
// the JSON bag, except a record set, which is written as Nothing.
class SaveBag : public kiv::PropertyBag {
 public:
  explicit SaveBag(kiv::JsonPropertyBag& inner) : inner_(inner) {}
  Variant ReadProperty(std::string_view name, const Variant& def) override {
    return inner_.ReadProperty(name, def);
  }
  Variant ReadVariantProperty(std::string_view name, const Variant& def) override {
    return inner_.ReadVariantProperty(name, def);
  }
  void WriteProperty(std::string_view name, const Variant& value, const Variant& def) override {
    if (value.isObject() && value.object() && value.object()->TypeName() == "Recordset") {
      inner_.WriteProperty(name, Variant::Nothing(), def);
      return;
    }
    inner_.WriteProperty(name, value, def);
  }

 private:
  kiv::JsonPropertyBag& inner_;
};

// The description display's link to its field editor, written in its
// properties as a control reference.
constexpr const char* kLinkProperty = "Linked_LookUp_Control";

// A font as a form file names it: "Name, Size[, bold][, italic]".
std::string FontText(const kiv::Font& font) {
  // The size in the same form whatever the user's locale.
  char size[32];
  const auto written = std::to_chars(size, size + sizeof size, font.Size);
  std::string text = font.Name + ", " + std::string(size, written.ptr);
  if (font.Bold) text += ", bold";
  if (font.Italic) text += ", italic";
  return text;
}

std::shared_ptr<kiv::Font> ParseFont(std::string_view text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= text.size()) {
    const auto comma = text.find(',', start);
    const auto end = comma == std::string_view::npos ? text.size() : comma;
    parts.push_back(kiv::Trim(text.substr(start, end - start)));
    start = end + 1;
  }
  if (parts.size() < 2 || parts[0].empty()) return nullptr;
  double size = 0;
  const std::string& sizeText = parts[1];
  const auto parsed = std::from_chars(sizeText.data(), sizeText.data() + sizeText.size(), size);
  if (parsed.ec != std::errc() || parsed.ptr != sizeText.data() + sizeText.size() ||
      !(size > 0 && size < 1000))
    return nullptr;
  auto font = std::make_shared<kiv::Font>(parts[0], size);
  for (std::size_t i = 2; i < parts.size(); ++i) {
    const std::string style = kiv::AsciiLower(parts[i]);
    if (style == "bold")
      font->Bold = true;
    else if (style == "italic")
      font->Italic = true;
    else
      return nullptr;
  }
  return font;
}

// Where the parser is in a form file, for errors met while parsing (a number
// out of range, a value nested too deep): the control and the property.
// Deep nesting is refused while parsing, before anything copies or prints
// the value recursively.
class ParsePlace {
 public:
  static constexpr int kMaxDepth = 256;

  bool follow(const std::string& origin, int depth, Json::parse_event_t event, const Json& parsed) {
    const auto level = static_cast<std::size_t>(depth < 0 ? 0 : depth);
    switch (event) {
      case Json::parse_event_t::key:
        keys_.resize(level + 1);
        keys_[level] = parsed.is_string() ? parsed.get<std::string>() : std::string();
        break;
      case Json::parse_event_t::object_start:
      case Json::parse_event_t::array_start:
        if (depth >= kMaxDepth)
          Fail(origin + describe() + ": the value is nested more than " +
               std::to_string(kMaxDepth) + " levels deep");
        if (keys_.size() > level + 1) keys_.resize(level + 1);
        if (event == Json::parse_event_t::object_start && depth == 2 && inControls()) {
          ++control_;
          controlName_.clear();
        }
        break;
      case Json::parse_event_t::value:
        if (depth == 3 && inControls() && keys_.size() > 3 && keys_[3] == "name" &&
            parsed.is_string())
          controlName_ = parsed.get<std::string>();
        break;
      default:
        break;
    }
    return true;
  }

  // ": control 'x', property 'P'", ": 'width'" or "" at the top.
  std::string describe() const {
    if (inControls() && control_ > 0) {
      std::string out = controlName_.empty() ? ": control #" + std::to_string(control_)
                                             : ": control '" + controlName_ + "'";
      if (keys_.size() > 4 && keys_[3] == "properties")
        out += ", property '" + keys_[4] + "'";
      else if (keys_.size() > 3)
        out += ": '" + keys_[3] + "'";
      return out;
    }
    if (keys_.size() > 1) return ": '" + keys_[1] + "'";
    return {};
  }

 private:
  bool inControls() const { return keys_.size() > 1 && keys_[1] == "controls"; }

  std::vector<std::string> keys_;  // the member names on the way down, by depth
  int control_ = 0;
  std::string controlName_;
};

// Reads through to a bag and remembers the last property read, so a value
// that fails to convert after its read (an overflow) is reported with its
// name.
class NamingBag : public kiv::PropertyBag {
 public:
  explicit NamingBag(kiv::PropertyBag& inner) : inner_(inner) {}
  Variant ReadProperty(std::string_view name, const Variant& def) override {
    last_ = name;
    return inner_.ReadProperty(name, def);
  }
  Variant ReadVariantProperty(std::string_view name, const Variant& def) override {
    last_ = name;
    return inner_.ReadVariantProperty(name, def);
  }
  void WriteProperty(std::string_view name, const Variant& value, const Variant& def) override {
    inner_.WriteProperty(name, value, def);
  }
  const std::string& lastRead() const { return last_; }

 private:
  kiv::PropertyBag& inner_;
  std::string last_;
};

bool IsSqliteFile(std::string_view uri) {
  return uri.starts_with("sqlite:") && uri != "sqlite::memory:";
}

}  // namespace

const std::vector<std::string>& Screen::ControlTypes() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> out;
    for (const auto& t : Types())
      out.emplace_back(t.name);
    return out;
  }();
  return names;
}

Screen::~Screen() {
  events_.reset();  // its handlers leave controls that others may still hold
  // Controls go before the connections their record sets use.
  entries_.clear();
  form_.reset();
}

std::unique_ptr<Screen> Screen::Load(const std::filesystem::path& file,
                                     const LoadOptions& options) {
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec))
    Fail(file.string() + ": is a folder, not a form file");
  std::ifstream in(file, std::ios::binary);
  if (!in) Fail(file.string() + ": cannot open the form file");
  std::stringstream text;
  text << in.rdbuf();
  if (in.bad()) Fail(file.string() + ": cannot read the form file");
  std::filesystem::path base = file.parent_path();
  if (base.empty()) base = ".";
  return Parse(text.str(), file.string(), base, options);
}

std::unique_ptr<Screen> Screen::Parse(std::string_view text, const std::string& origin,
                                      const std::filesystem::path& baseDir,
                                      const LoadOptions& options) {
  std::unique_ptr<Screen> screen(new Screen());
  screen->origin_ = origin;
  ParsePlace place;
  Json doc;
  try {
    doc = Json::parse(text, [&](int depth, Json::parse_event_t event, Json& parsed) {
      return place.follow(origin, depth, event, parsed);
    });
  } catch (const Json::parse_error& e) {
    std::string what = e.what();
    const auto cut = what.find("syntax error");
    Fail(origin + ": JSON syntax error at " + Position(text, e.byte) +
         (cut == std::string::npos ? std::string() : ": " + what.substr(cut)));
  } catch (const Json::out_of_range& e) {
    // A number beyond the range of a double (1e400).
    std::string what = e.what();
    const auto cut = what.find("] ");
    Fail(origin + place.describe() + ": " +
         (cut == std::string::npos ? what : what.substr(cut + 2)) +
         " (numbers must lie within about 1.8e308)");
  } catch (const Json::exception& e) {
    Fail(origin + place.describe() + ": " + e.what());
  }
  screen->load(doc, baseDir, options);
  return screen;
}

std::string Screen::where(std::string_view control) const {
  return origin_ + ": control '" + std::string(control) + "'";
}

void Screen::load(const Json& doc, const std::filesystem::path& baseDir,
                  const LoadOptions& options) {
  if (!doc.is_object()) Fail(origin_ + ": a form file holds one JSON object");
  for (const auto& [key, value] : doc.items()) {
    if (key == "caption") {
      if (!value.is_string()) Fail(origin_ + ": 'caption' must be a text, not " + KindName(value));
    } else if (key == "width" || key == "height") {
      if (!value.is_number() || value.get<double>() < 0)
        Fail(origin_ + ": '" + key + "' must be a number of twips, not " + KindName(value));
    } else if (key == "connections") {
      if (!value.is_object()) Fail(origin_ + ": 'connections' must be an object of name: URI");
    } else if (key == "controls") {
      if (!value.is_array()) Fail(origin_ + ": 'controls' must be a list of controls");
    } else if (key == "onLoad") {
      if (!value.is_array()) Fail(origin_ + ": 'onLoad' must be a list of script lines");
      for (const auto& line : value)
        if (!line.is_string()) Fail(origin_ + ": every 'onLoad' action must be a text");
    } else if (key == "events") {
      // Checked once the controls exist.
    } else {
      Fail(origin_ + ": unknown key '" + key +
           "' (known: caption, width, height, connections, controls, onLoad, events)");
    }
  }
  doc_ = doc;
  form_ = std::make_shared<kiv::Form>("frmScreen");
  if (doc.contains("caption")) form_->Caption(doc["caption"].get<std::string>());
  if (doc.contains("width")) form_->Width(doc["width"].get<double>());
  if (doc.contains("height")) form_->Height(doc["height"].get<double>());

  openConnections(doc, baseDir, options);

  if (doc.contains("controls")) {
    std::size_t index = 0;
    for (const auto& item : doc["controls"])
      createControl(item, index++);
  }
  // Bags are read once every control exists, so a reference may name a
  // control that comes later in the form's order.
  for (auto& entry : entries_)
    restoreControl(entry);
  if (doc.contains("events")) events_ = std::make_unique<EventActions>(*this, doc["events"]);
  if (doc.contains("onLoad"))
    for (const auto& line : doc["onLoad"])
      loadActions_.push_back(line.get<std::string>());
  form_->Show();
}

void Screen::openConnections(const Json& doc, const std::filesystem::path& baseDir,
                             const LoadOptions& options) {
  if (doc.contains("connections")) {
    for (const auto& [name, value] : doc["connections"].items()) {
      if (!value.is_string())
        Fail(origin_ + ": connection '" + name + "' must be a URI text, not " + KindName(value));
      connections_.push_back({name, value.get<std::string>(), nullptr});
    }
  }
  // The URI each connection opens: the form's own (a relative SQLite path is
  // taken from the form file's folder) unless --db replaces it.
  std::vector<std::string> opened;
  for (const auto& c : connections_) {
    std::string uri = c.uri;
    if (IsSqliteFile(uri)) {
      std::filesystem::path path(uri.substr(7));
      if (path.is_relative()) uri = "sqlite:" + (baseDir / path).lexically_normal().string();
    }
    opened.push_back(uri);
  }
  for (const auto& db : options.databases) {
    std::size_t target = connections_.size();
    const auto eq = db.find('=');
    if (eq != std::string::npos) {
      for (std::size_t i = 0; i < connections_.size(); ++i)
        if (connections_[i].name == db.substr(0, eq)) target = i;
    }
    std::string uri = target < connections_.size() ? db.substr(eq + 1) : db;
    if (target == connections_.size()) {
      if (connections_.size() == 1) {
        target = 0;
      } else {
        for (std::size_t i = 0; i < connections_.size(); ++i)
          if (connections_[i].name == "main") target = i;
      }
    }
    if (target == connections_.size())
      Fail("--db " + db + ": " + origin_ +
           " has no single connection to replace; write --db NAME=URI with one of its "
           "connection names");
    opened[target] = uri;
  }
  for (std::size_t i = 0; i < connections_.size(); ++i) {
    const std::string& uri = opened[i];
    const std::string what = origin_ + ": connection '" + connections_[i].name + "' (" + uri + ")";
    // A missing SQLite file is reported rather than created empty.
    if (IsSqliteFile(uri) && !std::filesystem::exists(std::filesystem::path(uri.substr(7))))
      Fail(what + ": the database file does not exist");
    try {
      connections_[i].connection = kiv::Connection::OpenNew(uri);
    } catch (const kiv::Error& e) {
      Fail(what + ": cannot open the database: " + e.description());
    }
  }
}

void Screen::createControl(const Json& item, std::size_t index) {
  const std::string at = origin_ + ": control #" + std::to_string(index + 1);
  if (!item.is_object()) Fail(at + ": a control must be an object");
  if (!item.contains("name") || !item["name"].is_string() ||
      item["name"].get<std::string>().empty())
    Fail(at + ": a control needs a 'name' text");
  const std::string name = item["name"].get<std::string>();
  const std::string here = where(name);
  if (control(name)) Fail(here + ": a second control with the same name");
  if (!item.contains("type") || !item["type"].is_string())
    Fail(here + ": a control needs a 'type'");
  const std::string type = item["type"].get<std::string>();
  const ControlType* kind = FindType(type);
  if (!kind) {
    std::string known;
    for (const auto& t : Types())
      known += (known.empty() ? "" : ", ") + std::string(t.name);
    Fail(here + ": unknown control type '" + type + "' (known: " + known + ")");
  }
  auto ctl = kind->create();
  ctl->Name(name);
  try {
    applyKeys(item, *ctl, type, here);
  } catch (const kiv::Error& e) {
    if (e.source() == "kivform") throw;
    Fail(here + ": " + e.description() + " (" + std::to_string(e.number()) + ")");
  }
  if (item.contains("properties") && !item["properties"].is_object())
    Fail(here + ": 'properties' must be an object of property name: value");
  form_->Add(ctl);
  entries_.push_back({type, ctl, item});
}

void Screen::applyKeys(const Json& item, kiv::Control& control, const std::string& type,
                       const std::string& here) {
  kiv::Control* ctl = &control;
  auto number = [&](const char* key) {
    const Json& v = item[key];
    if (!v.is_number()) Fail(here + ": '" + key + "' must be a number, not " + KindName(v));
    return v.get<double>();
  };
  auto text = [&](const char* key) {
    const Json& v = item[key];
    if (!v.is_string()) Fail(here + ": '" + key + "' must be a text, not " + KindName(v));
    return v.get<std::string>();
  };
  auto flag = [&](const char* key) {
    const Json& v = item[key];
    if (!v.is_boolean()) Fail(here + ": '" + key + "' must be true or false");
    return v.get<bool>();
  };
  for (const auto& [key, value] : item.items()) {
    if (key == "type" || key == "name" || key == "properties") continue;
    if (key == "left" || key == "top" || key == "width" || key == "height") {
      const double v = number(key.c_str());
      if (key == "left") ctl->Left(v);
      if (key == "top") ctl->Top(v);
      if (key == "width") ctl->Width(v);
      if (key == "height") ctl->Height(v);
    } else if (key == "tabIndex") {
      const double v = number("tabIndex");
      if (v < 0 || v > 32767 || v != static_cast<double>(static_cast<int>(v)))
        Fail(here + ": 'tabIndex' must be a whole number from 0 to 32767");
      ctl->TabIndex(static_cast<std::int16_t>(v));
    } else if (key == "tag") {
      ctl->Tag(text("tag"));
    } else if (key == "visible") {
      ctl->Visible(flag("visible"));
    } else if (key == "enabled") {
      ctl->Enabled(flag("enabled"));
    } else if (key == "dataField") {
      const std::string field = text("dataField");
      if (auto* u = dynamic_cast<kiv::UserControl*>(ctl)) {
        u->extender().DataField(field);
      } else if (ctl->hasMember("DataField")) {
        ctl->let("DataField", Variant(field));
      } else {
        Fail(here + ": a " + type + " has no 'dataField' binding");
      }
    } else if (key == "dataFormat") {
      auto* u = dynamic_cast<kiv::UserControl*>(ctl);
      if (!u) Fail(here + ": 'dataFormat' belongs to the library's controls, not a " + type);
      u->extender().DataFormat(std::make_shared<kiv::DataFormat>(text("dataFormat")));
    } else if (key == "list") {
      auto* combo = dynamic_cast<kiv::ComboBox*>(ctl);
      if (!combo) Fail(here + ": only a ComboBox has a 'list'");
      if (!value.is_array()) Fail(here + ": 'list' must be a list of texts");
      for (const auto& entry : value) {
        if (!entry.is_string()) Fail(here + ": every 'list' entry must be a text");
        combo->AddItem(entry.get<std::string>());
      }
    } else {
      Fail(here + ": unknown key '" + key +
           "' (known: type, name, left, top, width, height, tabIndex, tag, visible, enabled, "
           "dataField, dataFormat, list, properties)");
    }
  }
}

void Screen::restoreControl(Entry& entry) {
  const std::string here = where(entry.control->Name());
  if (!entry.source.contains("properties")) return;
  const Json& props = entry.source["properties"];
  auto rethrow = [&](const kiv::Error& e, std::string_view property) {
    // Errors of the bag already name the file, the control and the property.
    if (e.description().starts_with(here)) throw;
    Fail(here + (property.empty() ? std::string() : ", property '" + std::string(property) + "'") +
         ": " + e.description() + " (" + std::to_string(e.number()) + ")");
  };
  if (auto* user = dynamic_cast<kiv::UserControl*>(entry.control.get())) {
    Json stored = props;
    // A description display's link is set by the host at run time, not
    // restored from its bag; it is set first, since setting it clears the
    // display's other lookup properties.
    if (entry.type == "KivDesc") {
      for (auto it = stored.begin(); it != stored.end(); ++it) {
        if (kiv::AsciiLower(it.key()) != kiv::AsciiLower(kLinkProperty)) continue;
        const std::string name = it.key();
        try {
          const Variant link = kiv::JsonPropertyBag::Decode(it.value(), this, here, name);
          if (!link.isObject())
            Fail(here + ", property '" + name +
                 "': names a field editor as "
                 "{\"$control\": NAME}");
          entry.control->set(kLinkProperty, link);
        } catch (const kiv::Error& e) {
          rethrow(e, name);
        }
        stored.erase(name);
        break;
      }
    }
    kiv::JsonPropertyBag bag(here, stored, this);
    NamingBag naming(bag);
    try {
      user->ReadProperties(naming);
    } catch (const kiv::Error& e) {
      rethrow(e, naming.lastRead());
    }
    const auto unread = bag.unreadNames();
    if (!unread.empty())
      Fail(here + ", property '" + unread.front() + "': unknown property of a " + entry.type);
    return;
  }
  for (const auto& [name, value] : props.items()) {
    if (!entry.control->hasMember(name))
      Fail(here + ", property '" + name + "': unknown property of a " + entry.type);
    try {
      const Variant v = kiv::JsonPropertyBag::Decode(value, this, here, name);
      if (v.isObject())
        entry.control->set(name, v);
      else
        entry.control->let(name, v);
    } catch (const kiv::Error& e) {
      rethrow(e, name);
    }
  }
}

std::shared_ptr<kiv::Control> Screen::control(std::string_view name) const {
  return form_ ? form_->controlPtr(name) : nullptr;
}

std::shared_ptr<kiv::Connection> Screen::connection(std::string_view name) const {
  for (const auto& c : connections_)
    if (name.empty() || c.name == name) return c.connection;
  return nullptr;
}

std::shared_ptr<kiv::Dispatch> Screen::resolve(std::string_view kind, std::string_view name) {
  if (kind == "control") return control(name);
  if (kind == "connection" && !name.empty()) return connection(name);
  if (kind == "font") return ParseFont(name);
  return nullptr;
}

std::optional<kiv::ObjectReference> Screen::nameOf(const std::shared_ptr<kiv::Dispatch>& object) {
  for (const auto& e : entries_)
    if (e.control == object) return kiv::ObjectReference{"control", e.control->Name()};
  for (const auto& c : connections_)
    if (c.connection == object) return kiv::ObjectReference{"connection", c.name};
  if (const auto* font = dynamic_cast<const kiv::Font*>(object.get()))
    return kiv::ObjectReference{"font", FontText(*font)};
  return std::nullopt;
}

Json Screen::saveControl(Entry& entry) {
  kiv::Control& c = *entry.control;
  const std::string here = where(c.Name());
  Json out = Json::object();
  out["type"] = entry.type;
  out["name"] = c.Name();
  out["left"] = c.Left();
  out["top"] = c.Top();
  out["width"] = c.Width();
  out["height"] = c.Height();
  out["tabIndex"] = c.TabIndex();
  if (!c.Tag().empty()) out["tag"] = c.Tag();
  if (!c.Visible()) out["visible"] = false;
  if (!c.Enabled()) out["enabled"] = false;
  if (auto* user = dynamic_cast<kiv::UserControl*>(&c)) {
    if (!user->extender().DataField().empty()) out["dataField"] = user->extender().DataField();
    if (user->extender().DataFormat()) out["dataFormat"] = user->extender().DataFormatString();
    kiv::JsonPropertyBag bag(here, this);
    if (entry.type == "KivDesc") {
      const Variant link = c.get(kLinkProperty);
      if (!link.isNothing()) bag.WriteProperty(kLinkProperty, link, Variant::Nothing());
    }
    SaveBag save(bag);
    user->WriteProperties(save);
    out["properties"] = bag.json();
    return out;
  }
  if (c.hasMember("DataField")) {
    const std::string field = kiv::TextOf(c.get("DataField"));
    if (!field.empty()) out["dataField"] = field;
  }
  if (auto* combo = dynamic_cast<kiv::ComboBox*>(&c); combo && combo->ListCount() > 0) {
    Json list = Json::array();
    for (std::int32_t i = 0; i < combo->ListCount(); ++i)
      list.push_back(combo->List(i));
    out["list"] = list;
  }
  if (entry.source.contains("properties")) {
    Json props = Json::object();
    for (const auto& [name, value] : entry.source["properties"].items()) {
      // A widget's 16-bit values are written as plain numbers, as a form
      // file gives them.
      Variant current = c.get(name);
      if (current.type() == kiv::VarType::Integer)
        current = Variant(std::int32_t{current.integer()});
      props[name] = kiv::JsonPropertyBag::Encode(current, this, here, name);
    }
    out["properties"] = props;
  }
  return out;
}

Json Screen::save() {
  Json out = Json::object();
  out["caption"] = form_->Caption();
  out["width"] = form_->Width();
  out["height"] = form_->Height();
  Json conns = Json::object();
  for (const auto& c : connections_)
    conns[c.name] = c.uri;
  out["connections"] = conns;
  Json controls = Json::array();
  for (auto& e : entries_)
    controls.push_back(saveControl(e));
  out["controls"] = controls;
  Json actions = Json::array();
  for (const auto& a : loadActions_)
    actions.push_back(a);
  out["onLoad"] = actions;
  if (doc_.contains("events")) out["events"] = doc_["events"];
  return out;
}

void Screen::saveTo(const std::filesystem::path& file) {
  const std::string text = save().dump(2) + "\n";
  auto fail = [&](int error) {
    Fail(file.string() + ": cannot write the form file: " + std::strerror(error));
  };
  // The temporary file is new (created exclusively, so nothing planted under
  // its name, such as a link, is followed) and sits beside the target, so
  // the rename that replaces the target is atomic. A form file may carry a
  // database password: the target's permissions are kept, and a new file
  // gets the usual ones for the user's umask.
  std::string pattern = file.string() + ".XXXXXX";
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) fail(errno);
  const std::string temp = pattern;
  auto discard = [&](int error) {
    ::close(fd);
    ::unlink(temp.c_str());
    fail(error);
  };
  struct stat target {};
  mode_t mode;
  if (::stat(file.c_str(), &target) == 0) {
    mode = target.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(fd, mode) != 0) discard(errno);
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      discard(errno);
    }
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0) discard(errno);
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    fail(error);
  }
  if (::rename(temp.c_str(), file.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    fail(error);
  }
}

}  // namespace kivform
