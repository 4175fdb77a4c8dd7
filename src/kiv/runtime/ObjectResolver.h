#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kiv {

class Dispatch;

// How an object value is named in a stored property bag: a kind ("control",
// "connection", ...) and a name within that kind ("ctlSearch", "main").
struct ObjectReference {
  std::string kind;
  std::string name;
  bool operator==(const ObjectReference&) const = default;
};

// Supplied by whoever loads or saves a form (the form-file loader): turns a
// stored reference back into the object it names, and names an object that
// is to be stored. The bag never owns the objects it resolves.
class ObjectResolver {
 public:
  virtual ~ObjectResolver() = default;

  // The object a stored reference names; nullptr when nothing of that kind
  // and name is known (the bag then reports the property).
  virtual std::shared_ptr<Dispatch> resolve(std::string_view kind, std::string_view name) = 0;

  // The reference under which an object is stored; std::nullopt when the
  // object has no name the loader can find again (the bag then reports the
  // property rather than drop the value). Never called for Nothing.
  virtual std::optional<ObjectReference> nameOf(const std::shared_ptr<Dispatch>& object) = 0;
};

}  // namespace kiv
