#include "kiv/data/Fields.h"

#include <algorithm>

#include "kiv/data/Field.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"

namespace kiv {

Fields::Fields(std::vector<std::shared_ptr<Field>> items) : items_(std::move(items)) {
  byName_.reserve(items_.size());
  for (std::int32_t i = 0; i < Count(); ++i)
    byName_.emplace_back(AsciiLower(items_[static_cast<std::size_t>(i)]->Name()), i);
  // Stable, so of two fields with the same name the first one wins.
  std::stable_sort(byName_.begin(), byName_.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
}

std::int32_t Fields::IndexOf(std::string_view name) const {
  const std::string key = AsciiLower(name);
  const auto it = std::lower_bound(byName_.begin(), byName_.end(), key,
                                   [](const auto& e, const std::string& k) { return e.first < k; });
  return it != byName_.end() && it->first == key ? it->second : -1;
}

Field& Fields::Item(std::string_view name) const {
  const std::int32_t i = IndexOf(name);
  if (i < 0)
    throw Error(err::ItemNotFound, "Fields",
                std::string(StandardErrorText(err::ItemNotFound)) + " (" + std::string(name) + ")");
  return *items_[static_cast<std::size_t>(i)];
}

void Fields::NoSuchIndex() {
  throw Error(err::ItemNotFound, "Fields");
}

std::shared_ptr<Field> Fields::ItemPtr(const Variant& key) const {
  if (key.isString()) {
    const std::int32_t i = IndexOf(key.string());
    if (i < 0) Item(key.string());  // raises 3265 naming the field
    return items_[static_cast<std::size_t>(i)];
  }
  const std::int32_t index = CLng(key);
  Item(index);  // raises 3265 outside the range
  return items_[static_cast<std::size_t>(index)];
}

const MemberTable& Fields::memberTable() const {
  using B = MemberTable::Builder<Fields>;
  static const MemberTable table =
      B().get("Count", [](Fields& f) { return Variant(f.Count()); })
          .getIndexed("Item", [](Fields& f, B::Args& a) { return Variant(f.ItemPtr(Arg(a, 0))); })
          .build();
  return table;
}

}  // namespace kiv
