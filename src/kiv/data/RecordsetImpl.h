#pragma once

// The state behind a Recordset, shared with its Field objects. Private to
// the data layer: include only from Recordset.cpp, Field.cpp and Fields.cpp.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kiv/data/Connection.h"
#include "kiv/data/Driver.h"
#include "kiv/data/Recordset.h"
#include "kiv/data/SortOrder.h"

namespace kiv {

class Fields;

struct Recordset::Impl {
  // Properties.
  std::string source;
  std::shared_ptr<Connection> connection;
  std::int32_t cursorType = adOpenForwardOnly;
  std::int32_t lockType = adLockReadOnly;
  std::int32_t cursorLocation = adUseServer;
  std::vector<Variant> parameters;  // bound to the Source's "?" placeholders
  // The settings the open record set runs with.
  std::int32_t openCursorType = adOpenForwardOnly;
  std::int32_t openLockType = adLockReadOnly;

  bool open = false;
  std::uint64_t generation = 0;  // bumped by every Open and Close

  // Columns as the driver returned them (hidden locators included) and the
  // fields: fieldColumn[i] is the column of field i.
  std::vector<ColumnInfo> columns;
  std::vector<std::int32_t> fieldColumn;
  std::shared_ptr<kiv::Fields> fields;
  std::size_t stride = 0;

  // Rows, row-major, `stride` values per row, in blocks of 2^blockShift
  // rows (a driver's single array is adopted as one block with a shift of
  // 32); new rows are appended.
  std::vector<std::vector<Variant>> blocks;
  unsigned blockShift = 32;
  std::uint32_t rows = 0;
  std::vector<std::uint8_t> deleted;  // per row
  // Visible rows (not deleted) in the current order.
  std::vector<std::uint32_t> order;
  // Position in `order`: -1 BOF, order.size() EOF. When onDeleted, the
  // current record is the deleted row `deletedRow` and pos is the position
  // of the row after it.
  std::int64_t pos = -1;
  bool onDeleted = false;
  std::uint32_t deletedRow = 0;

  // The pending edit.
  std::int32_t editMode = adEditNone;
  std::vector<Variant> buffer;
  std::vector<std::uint8_t> changed;
  std::uint32_t editRow = 0;   // the row being edited (adEditInProgress)
  std::int64_t savedPos = -1;  // position before AddNew
  bool savedOnDeleted = false;
  std::uint32_t savedDeletedRow = 0;

  std::string sortText;

  // Where writes go: the base table, and the columns that locate a row (the
  // primary key, or a hidden rowid). writeProblem explains why a record set
  // cannot be written back ("" when it can); keyProblem why rows cannot be
  // located for UPDATE and DELETE.
  std::string table;
  std::vector<std::int32_t> keyColumns;
  std::string writeProblem;
  std::string keyProblem;

  std::size_t rowCount() const { return rows; }
  bool hasCurrent() const {
    return !onDeleted && pos >= 0 && pos < static_cast<std::int64_t>(order.size());
  }
  const Variant* row(std::uint32_t r) const {
    const std::uint64_t mask = (std::uint64_t{1} << blockShift) - 1;
    return blocks[static_cast<std::size_t>(std::uint64_t{r} >> blockShift)].data() +
           static_cast<std::size_t>(r & mask) * stride;
  }
  Variant* mutableRow(std::uint32_t r) { return const_cast<Variant*>(row(r)); }
  // Appends a row (stride values); returns its index.
  std::uint32_t appendRow(std::vector<Variant>&& values);

  // The key columns' values of a row, as statement parameters.
  std::vector<Param> keyOf(const Variant* values) const;
  // Reads the base-table columns of the row the key locates into target
  // (stride values); false when the database has no such row.
  bool readStoredRow(Driver& driver, const std::vector<Param>& key,
                     std::vector<Variant>& target) const;
  // After an optimistic-locking conflict on the row being edited: the
  // stored row takes what the database holds now, and so do the pending
  // edit's unchanged columns; the changed ones keep the values written.
  void refreshAfterConflict(Driver& driver);

  void requireOpen() const;
  void requireUpdatable() const;
  // Field access for Field.
  const ColumnInfo& fieldInfo(std::int32_t field) const;
  const Variant& fieldValue(std::int32_t field) const;
  void setFieldValue(std::int32_t field, const Variant& value);
  Variant originalValue(std::int32_t field) const;
};

// A value converted to a column's type, as writing a field stores it: Empty
// and Null give Null; numbers, dates, Booleans and texts convert by the
// runtime's conversions (13 when they cannot).
Variant CoerceToColumn(const Variant& value, const ColumnInfo& column);

}  // namespace kiv
