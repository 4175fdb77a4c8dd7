#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kiv/data/Criteria.h"  // ColumnResolver
#include "kiv/runtime/Variant.h"

namespace kiv {

// A parsed Sort text: "Field [ASC|DESC] {, Field [ASC|DESC]}". Keywords
// ignore case, blanks may stand around every token, a field may be written
// [in brackets], or without them as several words when the record set has a
// field of exactly that name ("Order Date DESC"). The empty (or blank) text is the empty order,
// meaning "the order the record set was opened in". Malformed text raises 3001; a field the
// resolver does not know raises 3265.
//
// Ordering: Null and Empty come first, then numbers, Booleans (True is -1)
// and Dates (by serial) compared numerically with each other, then text
// compared without regard to case (byte order of the upper-cased UTF-8),
// then any other value (binary, objects) as equal. DESC reverses the whole
// order of a key, so Null comes last. Rows that compare equal on every key
// keep their relative order (the sort is stable).
class SortOrder {
 public:
  struct Key {
    std::string name;  // as written, without brackets
    int column = -1;   // index the resolver gave
    bool descending = false;
  };

  SortOrder() = default;  // the empty order
  SortOrder(std::string_view text, const ColumnResolver& resolve);

  bool empty() const { return keys_.empty(); }
  const std::vector<Key>& keys() const { return keys_; }

  // The cell of a row (as the caller numbers its rows) and column.
  using CellAt = std::function<Cell(std::uint32_t row, int column)>;
  // The rows reordered stably by the keys; cellAt is called once per row
  // and key. Text cells must stay valid while the call runs.
  std::vector<std::uint32_t> Order(std::vector<std::uint32_t> rows, const CellAt& cellAt) const;
  // A stable ordering of Variant rows: element i of the result is the index
  // (in `rows`) of the row that comes i-th. Each row points to its first
  // column. The empty order gives 0, 1, 2, ...
  std::vector<std::size_t> Order(std::span<const Variant* const> rows) const;

  // Compares two rows by the keys: negative when `a` comes first, 0 when
  // they are equal on every key, positive when `b` comes first.
  int Compare(const Variant* a, const Variant* b) const;

  // The ordering of two single values used for every key (ascending).
  static int CompareValues(const Variant& a, const Variant& b);

 private:
  std::vector<Key> keys_;
};

}  // namespace kiv
