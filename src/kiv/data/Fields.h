#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "kiv/runtime/Dispatch.h"

namespace kiv {

class Field;

// The fields of a record set, in the order of the query's columns.
// Late-bound members: Count, Item (by name or 0-based index; the default
// member).
class Fields : public Dispatch {
 public:
  Fields() = default;
  explicit Fields(std::vector<std::shared_ptr<Field>> items);

  std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }
  // By name, ignoring case: 3265 when there is none.
  Field& Item(std::string_view name) const;
  // By 0-based index: 3265 outside 0..Count-1.
  Field& Item(std::int32_t index) const {
    if (index < 0 || index >= Count()) NoSuchIndex();
    return *items_[static_cast<std::size_t>(index)];
  }
  // By a Variant holding a name or a number.
  std::shared_ptr<Field> ItemPtr(const Variant& key) const;
  // The index of a field by name (ignoring case), or -1.
  std::int32_t IndexOf(std::string_view name) const;

  Field& operator[](std::string_view name) const { return Item(name); }
  Field& operator[](std::int32_t index) const { return Item(index); }

  std::string_view TypeName() const override { return "Fields"; }
  const MemberTable& memberTable() const override;

 private:
  [[noreturn]] static void NoSuchIndex();

  std::vector<std::shared_ptr<Field>> items_;
  std::vector<std::pair<std::string, std::int32_t>> byName_;  // lower-cased, sorted
};

}  // namespace kiv
