#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "kiv/host/Column.h"
#include "kiv/runtime/Dispatch.h"

namespace kiv {

class DataGrid;

// A data grid's columns, in display order. Item takes a zero-based index, or
// a column's caption or data field name (without regard to case).
class Columns : public Dispatch {
 public:
  explicit Columns(DataGrid* grid) : grid_(grid) {}

  std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }
  // Raises 9 (Subscript out of range) for a bad index or unknown name.
  Column& Item(std::int32_t index) const;
  Column& Item(std::string_view name) const;
  Column& operator[](std::int32_t index) const { return Item(index); }
  std::shared_ptr<Column> ItemPtr(std::int32_t index) const;
  // Adds an empty column at index (-1: at the end) and returns it.
  Column& Add(std::int32_t index = -1);
  void Remove(std::int32_t index);

  const std::vector<std::shared_ptr<Column>>& items() const { return items_; }

  std::string_view TypeName() const override { return "Columns"; }
  const MemberTable& memberTable() const override;

 private:
  friend class DataGrid;
  void clearAll();
  DataGrid* grid_;
  std::vector<std::shared_ptr<Column>> items_;
};

}  // namespace kiv
