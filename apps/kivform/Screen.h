#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "kiv/runtime/ObjectResolver.h"

namespace kiv {
class Connection;
class Control;
class Form;
}  // namespace kiv

namespace kivform {

class EventActions;

// How a form file is opened.
struct LoadOptions {
  // --db: replaces the URI of the form's connection ("URI" for a form with
  // one connection or one named "main", "NAME=URI" for any named one).
  std::vector<std::string> databases;
};

// One screen loaded from a form file: the form, its controls in form order,
// the named connections, and the load actions still to run.
//
// Loading parses the JSON, opens the connections, creates every control,
// sets its geometry, tab index, tag, binding and data format, restores each
// user control from its property bag (ReadProperties; a control without a
// bag keeps the values InitProperties gave it), resolves object references
// ({"$control": name}, {"$connection": name}, {"$font": "Arial, 10, bold"}),
// connects the form file's event actions (EventActions), shows the form
// (which lays the controls out) and reports any stored property no control
// read. A KivDesc's Linked_LookUp_Control, which the host sets at run time,
// is written among its properties as a control reference and set before
// its bag is read. Anything
// malformed raises one kiv::Error whose text names the file, the control
// and the property; nothing is shown then.
//
// Saving writes the screen back in the same format: each user control
// through WriteProperties, each intrinsic control's listed properties as
// they are now. A record set the controller opened at run time is written as
// Nothing: it is not part of the screen's design, and the load actions open
// it again.
class Screen : public kiv::ObjectResolver {
 public:
  static std::unique_ptr<Screen> Load(const std::filesystem::path& file,
                                      const LoadOptions& options = {});
  // From JSON text; `origin` names the file in errors and relative SQLite
  // paths are taken from `baseDir`.
  static std::unique_ptr<Screen> Parse(std::string_view text, const std::string& origin,
                                       const std::filesystem::path& baseDir,
                                       const LoadOptions& options = {});
  ~Screen() override;

  kiv::Form& form() const { return *form_; }
  const std::string& origin() const { return origin_; }
  // The control of that name (any case), or nullptr.
  std::shared_ptr<kiv::Control> control(std::string_view name) const;
  // The connection of that name; the first connection for "".
  std::shared_ptr<kiv::Connection> connection(std::string_view name = {}) const;
  // The load actions, one script line each ("call ctlForm.OpenRecordset").
  const std::vector<std::string>& loadActions() const { return loadActions_; }

  // The screen in form-file form.
  nlohmann::ordered_json save();
  // Writes save() to a file through a new temporary file beside it, created
  // exclusively and renamed over the file, so a failure leaves no
  // half-written file behind; the file keeps its permissions.
  void saveTo(const std::filesystem::path& file);

  // ObjectResolver
  std::shared_ptr<kiv::Dispatch> resolve(std::string_view kind, std::string_view name) override;
  std::optional<kiv::ObjectReference> nameOf(const std::shared_ptr<kiv::Dispatch>& object) override;

  // The control types a form file may name.
  static const std::vector<std::string>& ControlTypes();

 private:
  struct Entry {
    std::string type;
    std::shared_ptr<kiv::Control> control;
    nlohmann::ordered_json source;  // the control's object as the file gave it
  };
  struct NamedConnection {
    std::string name;
    std::string uri;  // as the form file gives it (saved back unchanged)
    std::shared_ptr<kiv::Connection> connection;
  };

  Screen() = default;
  void load(const nlohmann::ordered_json& doc, const std::filesystem::path& baseDir,
            const LoadOptions& options);
  void openConnections(const nlohmann::ordered_json& doc, const std::filesystem::path& baseDir,
                       const LoadOptions& options);
  void createControl(const nlohmann::ordered_json& item, std::size_t index);
  void applyKeys(const nlohmann::ordered_json& item, kiv::Control& control, const std::string& type,
                 const std::string& here);
  void restoreControl(Entry& entry);
  nlohmann::ordered_json saveControl(Entry& entry);
  std::string where(std::string_view control) const;

  std::string origin_;
  nlohmann::ordered_json doc_;
  std::shared_ptr<kiv::Form> form_;
  std::vector<Entry> entries_;
  std::vector<NamedConnection> connections_;
  std::vector<std::string> loadActions_;
  std::unique_ptr<EventActions> events_;  // the form file's "events"
};

}  // namespace kivform
