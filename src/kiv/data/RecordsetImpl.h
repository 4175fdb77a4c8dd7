#pragma once

// The state behind a Recordset, shared with its Field objects. Private to
// the data layer: include only from Recordset.cpp, Field.cpp and Fields.cpp.

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "kiv/data/Connection.h"
#include "kiv/data/Driver.h"
#include "kiv/data/Field.h"
#include "kiv/data/Recordset.h"
#include "kiv/data/RowStore.h"

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

  // The rows as the driver read them (hidden locators included), perhaps
  // not all of them yet; shared with a record set opened over this one
  // (OpenClone), never changed by either. fieldColumn[i] is the column of
  // field i.
  std::shared_ptr<RowStore> store;
  std::vector<std::int32_t> fieldColumn;
  std::shared_ptr<kiv::Fields> fields;
  std::size_t stride = 0;

  // This record set's own changes over the stored rows. A row saved here
  // (edited, read again after a conflict, or added) keeps all its values in
  // savedValues, `stride` from savedAt[row]; rows added get the numbers
  // after the stored ones.
  std::unordered_map<std::uint32_t, std::size_t> savedAt;
  std::vector<Variant> savedValues;
  std::uint32_t addedRows = 0;
  std::vector<std::uint8_t> deleted;  // per row; empty while no row is deleted

  // The visible rows (not deleted) in the current order. While
  // inOpenedOrder, position p is row p (no row deleted, no sort) and
  // `order` is empty; otherwise every row has been read and `order` lists
  // them. positionOf is order's inverse, rebuilt when a bookmark needs it.
  bool inOpenedOrder = true;
  std::vector<std::uint32_t> order;
  std::vector<std::uint32_t> positionOf;
  bool positionsKnown = false;
  // Position in the order: -1 BOF, the row count EOF (only once every row
  // is read). When onDeleted, the current record is the deleted row
  // `deletedRow` and pos is the position of the row after it.
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

  // Where writes go, worked out at the first write: the base table, and
  // the columns that locate a row (the primary key, or a hidden rowid).
  // writeProblem explains why a record set cannot be written back ("" when
  // it can); keyProblem why rows cannot be located for UPDATE and DELETE.
  bool writeInfoKnown = false;
  std::string table;
  std::vector<std::int32_t> keyColumns;
  std::string writeProblem;
  std::string keyProblem;

  // The current row's values as the fields hand them out, read for all
  // fields at once (a screen reads every field of a row) through `cursor`.
  // Every change of what a field would read calls touch().
  std::shared_ptr<Field::Values> values = std::make_shared<Field::Values>(0);
  RowStore::Cursor cursor;
  // The last value the grid read of each field (ValueAt), kept so that
  // reading allocates nothing once the text buffers are large enough.
  struct CachedValue {
    std::uint32_t row = UINT32_MAX;
    Variant value;
  };
  std::vector<CachedValue> gridValues;

  Impl() = default;
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;
  ~Impl() { retireValues(); }

  // After any change of the position, the order, the pending edit or the
  // saved rows: the fields read again.
  void touch() { values->fresh = false; }
  void retireValues() {
    values->fresh = false;
    values->retired = true;
  }
  // Gives the fields of a new opening (or of none, when closed) new values,
  // and retires the old ones: their fields raise 3704.
  void renewValues(std::size_t fields) {
    retireValues();
    values = std::make_shared<Field::Values>(fields);
    cursor.reset();
  }

  const std::vector<ColumnInfo>& columns() const { return store->columns(); }
  // Row numbers: the stored rows, then the rows added here.
  std::uint32_t rowCount() const { return static_cast<std::uint32_t>(store->rows()) + addedRows; }
  // Visible rows read so far (all of them once store->complete()).
  std::size_t visibleCount() const { return inOpenedOrder ? rowCount() : order.size(); }
  std::uint32_t rowAt(std::int64_t position) const {
    return inOpenedOrder ? static_cast<std::uint32_t>(position)
                         : order[static_cast<std::size_t>(position)];
  }
  bool hasCurrent() const {
    return !onDeleted && pos >= 0 && pos < static_cast<std::int64_t>(visibleCount());
  }
  bool isDeleted(std::uint32_t row) const { return !deleted.empty() && deleted[row]; }

  // Reads rows until `position` is visible, when the result has that many;
  // true when it is. Raises a reading error that stops short of it.
  bool reach(std::int64_t position);
  // Reads every row (RecordCount, MoveLast, Sort, a write).
  void readAll() { store->fetchAll(); }
  // Leaves the opened order: lists the visible rows (reading them all).
  void listRows();
  // The position of a visible row.
  std::int64_t positionOfRow(std::uint32_t row);

  // A row's values saved here, or nullptr when it holds the stored ones.
  const Variant* savedRow(std::uint32_t row) const {
    if (savedAt.empty()) return nullptr;
    const auto it = savedAt.find(row);
    return it == savedAt.end() ? nullptr : savedValues.data() + it->second;
  }
  Cell cellAt(std::uint32_t row, int column) const {
    if (const Variant* saved = savedRow(row)) return CellOf(saved[column]);
    return store->cell(row, column);
  }
  Variant valueAt(std::uint32_t row, std::size_t column) const {
    if (const Variant* saved = savedRow(row)) return saved[column];
    return store->value(row, static_cast<int>(column));
  }
  const Variant& cachedValue(CachedValue& slot, std::uint32_t row, std::size_t column) const;
  // All values of a row.
  std::vector<Variant> rowValues(std::uint32_t row) const;
  // Saves a row's values here (an edit saved, a row read again).
  void saveRow(std::uint32_t row, std::vector<Variant> values);

  // Works out where writes go (once).
  void requireWriteInfo();
  // The key columns' values of a row, as statement parameters.
  std::vector<Param> keyOf(const std::vector<Variant>& values) const;
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
  // The value of a field (of this opening) at the current row; the pending
  // edit's value while editing. 3021 without a current record.
  const Variant& fieldValue(std::int32_t field) {
    if (editMode != adEditNone)
      return buffer[static_cast<std::size_t>(fieldColumn[static_cast<std::size_t>(field)])];
    if (!values->fresh) readCurrentRow();
    return values->row[static_cast<std::size_t>(field)];
  }
  // Reads the current row's values into `values` (3021 without one).
  void readCurrentRow();
  [[noreturn]] static void NoCurrentRecord();
  void setFieldValue(std::int32_t field, const Variant& value);
  Variant originalValue(std::int32_t field) const;
};

// A value converted to a column's type, as writing a field stores it: Empty
// and Null give Null; numbers, dates, Booleans and texts convert by the
// runtime's conversions (13 when they cannot).
Variant CoerceToColumn(const Variant& value, const ColumnInfo& column);

}  // namespace kiv
