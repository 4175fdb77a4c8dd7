#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "kiv/runtime/ObjectResolver.h"

namespace kiv::test {

// A form's named objects, as a loader offers them to a property bag.
class ObjectRegistry : public ObjectResolver {
 public:
  ObjectRegistry& add(std::string kind, std::string name, std::shared_ptr<Dispatch> object) {
    objects[{std::move(kind), std::move(name)}] = std::move(object);
    return *this;
  }
  std::shared_ptr<Dispatch> resolve(std::string_view kind, std::string_view name) override {
    auto it = objects.find({std::string(kind), std::string(name)});
    return it == objects.end() ? nullptr : it->second;
  }
  std::optional<ObjectReference> nameOf(const std::shared_ptr<Dispatch>& object) override {
    for (const auto& [key, value] : objects)
      if (value == object) return ObjectReference{key.first, key.second};
    return std::nullopt;
  }

  std::map<std::pair<std::string, std::string>, std::shared_ptr<Dispatch>> objects;
};

}  // namespace kiv::test
