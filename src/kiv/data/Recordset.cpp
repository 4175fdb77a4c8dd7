#include "kiv/data/Recordset.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>

#include "kiv/data/Connection.h"
#include "kiv/data/Criteria.h"
#include "kiv/data/Field.h"
#include "kiv/data/Fields.h"
#include "kiv/data/RecordsetImpl.h"
#include "kiv/data/SortOrder.h"
#include "kiv/data/SqlText.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"

namespace kiv {
namespace {

constexpr const char* kSource = "Recordset";

// The host's text for an optimistic-locking conflict.
constexpr const char* kRowConflictText =
    "Row cannot be located for updating. Some values may have been changed since it was last "
    "read.";

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// The columns of a record set that share a name with the field list, as a
// resolver for the criteria and sort engines: field name -> storage column.
ColumnResolver Resolver(const Recordset::Impl& d) {
  return [&d](std::string_view name) -> int {
    const std::int32_t f = d.fields->IndexOf(name);
    return f < 0 ? -1 : d.fieldColumn[static_cast<std::size_t>(f)];
  };
}

// Moves the fields' values on when it goes out of scope, on return and on an
// error alike: whatever the operation changed, the fields read it afresh.
class StateChange {
 public:
  explicit StateChange(Recordset::Impl& d) : d_(d) {}
  ~StateChange() { d_.touch(); }
  StateChange(const StateChange&) = delete;
  StateChange& operator=(const StateChange&) = delete;

 private:
  Recordset::Impl& d_;
};

// Raises an event of the record set; its handlers read the fields afresh.
void Raise(Recordset::Impl& d, const Event<>& event) {
  d.touch();
  event.raise();
}

std::string JoinQuoted(Driver& driver, const std::vector<std::string>& names) {
  std::string out;
  for (const auto& n : names) {
    if (!out.empty()) out += ", ";
    out += driver.quoteIdentifier(n);
  }
  return out;
}

}  // namespace

Variant CoerceToColumn(const Variant& value, const ColumnInfo& column) {
  if (value.isEmpty() || value.isNull()) return Variant(kNull);
  const std::int32_t t = column.type;
  if (t == adSmallInt || t == adTinyInt || t == adUnsignedTinyInt) return Variant(CInt(value));
  if (t == adInteger || t == adUnsignedSmallInt) return Variant(CLng(value));
  if (IsIntegerType(t)) {  // 64-bit kinds: Long when it fits, else a whole Double
    const double d = std::nearbyint(CDbl(value));
    if (d >= INT32_MIN && d <= INT32_MAX) return Variant(static_cast<std::int32_t>(d));
    return Variant(d);
  }
  if (t == adSingle || t == adDouble) return Variant(CDbl(value));
  if (t == adCurrency || t == adNumeric || t == adDecimal || t == adVarNumeric)
    return NumericAsCurrency(column) ? Variant(CCur(value)) : Variant(CDbl(value));
  if (t == adBoolean) return Variant(CBool(value));
  if (IsDateType(t)) return Variant(CDate(value));
  if (IsTextType(t)) return Variant(CStr(value));
  if (IsBinaryType(t)) {
    if (value.type() == VarType::ByteArray) return value;
    if (value.isString()) return Variant(Bytes(value.string().begin(), value.string().end()));
    throw Error(err::TypeMismatch, kSource);
  }
  if (value.isObject() || value.isArray()) throw Error(err::TypeMismatch, kSource);
  return value;
}

// --- Impl ----------------------------------------------------------------

void Recordset::Impl::requireOpen() const {
  if (!open) throw Error(err::ObjectClosed, kSource);
}

void Recordset::Impl::requireUpdatable() const {
  requireOpen();
  if (openLockType == adLockReadOnly) throw Error(err::NotUpdatable, kSource);
}

const ColumnInfo& Recordset::Impl::fieldInfo(std::int32_t field) const {
  requireOpen();
  if (field < 0 || field >= static_cast<std::int32_t>(fieldColumn.size()))
    throw Error(err::ItemNotFound, kSource);
  return columns()[static_cast<std::size_t>(fieldColumn[static_cast<std::size_t>(field)])];
}

bool Recordset::Impl::reach(std::int64_t position) {
  if (position < 0) return false;
  if (position < static_cast<std::int64_t>(visibleCount())) return true;
  if (!inOpenedOrder || store->complete()) return false;
  // Rows are added here only once every stored row is read.
  store->fetch(static_cast<std::size_t>(position) + 1);
  return position < static_cast<std::int64_t>(visibleCount());
}

void Recordset::Impl::listRows() {
  if (!inOpenedOrder) return;
  readAll();
  const std::uint32_t rows = rowCount();
  order.clear();
  order.reserve(rows);
  for (std::uint32_t r = 0; r < rows; ++r)
    if (!isDeleted(r)) order.push_back(r);
  inOpenedOrder = false;
  positionsKnown = false;
}

std::int64_t Recordset::Impl::positionOfRow(std::uint32_t row) {
  if (inOpenedOrder) return row;
  if (!positionsKnown) {
    positionOf.assign(rowCount(), UINT32_MAX);
    for (std::size_t i = 0; i < order.size(); ++i)
      positionOf[order[i]] = static_cast<std::uint32_t>(i);
    positionsKnown = true;
  }
  const std::uint32_t p = positionOf[row];
  return p == UINT32_MAX ? -1 : std::int64_t{p};
}

const Variant& Recordset::Impl::cachedValue(CachedValue& slot, std::uint32_t row,
                                            std::size_t column) const {
  if (const Variant* saved = savedRow(row)) return saved[column];
  if (slot.row != row) {
    store->read(row, static_cast<int>(column), slot.value);
    slot.row = row;
  }
  return slot.value;
}

void Recordset::Impl::readCurrentRow() {
  if (!hasCurrent()) NoCurrentRecord();
  const std::uint32_t row = rowAt(pos);
  Variant* out = values->row.data();
  if (const Variant* saved = savedRow(row)) {
    for (std::size_t f = 0; f < fieldColumn.size(); ++f)
      out[f] = saved[fieldColumn[f]];
  } else {
    cursor.readRow(*store, row, fieldColumn.data(), fieldColumn.size(), out);
  }
  values->fresh = true;
}

void Recordset::Impl::NoCurrentRecord() {
  throw Error(err::NoCurrentRecord, kSource);
}

std::vector<Variant> Recordset::Impl::rowValues(std::uint32_t row) const {
  if (const Variant* saved = savedRow(row)) return std::vector<Variant>(saved, saved + stride);
  std::vector<Variant> values(stride);
  for (std::size_t c = 0; c < stride; ++c)
    store->read(row, static_cast<int>(c), values[c]);
  return values;
}

void Recordset::Impl::saveRow(std::uint32_t row, std::vector<Variant> values) {
  const auto [it, added] = savedAt.try_emplace(row, savedValues.size());
  if (added) {
    savedValues.insert(savedValues.end(), std::make_move_iterator(values.begin()),
                       std::make_move_iterator(values.end()));
  } else {
    std::move(values.begin(), values.end(), savedValues.begin() + it->second);
  }
}

void Recordset::Impl::setFieldValue(std::int32_t field, const Variant& value) {
  const ColumnInfo& info = fieldInfo(field);
  requireUpdatable();
  const StateChange change(*this);
  const auto col = static_cast<std::size_t>(fieldColumn[static_cast<std::size_t>(field)]);
  Variant converted = CoerceToColumn(value, info);  // before anything changes
  if (editMode == adEditNone) {
    if (!hasCurrent()) throw Error(err::NoCurrentRecord, kSource);
    editRow = rowAt(pos);
    buffer = rowValues(editRow);
    changed.assign(stride, 0);
    editMode = adEditInProgress;
  }
  buffer[col] = std::move(converted);
  changed[col] = 1;
}

Variant Recordset::Impl::originalValue(std::int32_t field) const {
  fieldInfo(field);
  const auto col = static_cast<std::size_t>(fieldColumn[static_cast<std::size_t>(field)]);
  if (editMode == adEditAdd) return Variant(kNull);
  if (editMode == adEditInProgress) return valueAt(editRow, col);
  if (!hasCurrent()) throw Error(err::NoCurrentRecord, kSource);
  return valueAt(rowAt(pos), col);
}

void Recordset::Impl::requireWriteInfo() {
  if (writeInfoKnown) return;
  if (!connection) throw Error(err::ConnectionUnusable, kSource);
  Driver& driver = connection->driver();
  // A driver may return a large result before it has named the tables.
  std::vector<ColumnInfo>& cols = store->mutableColumns();
  if (std::any_of(cols.begin(), cols.end(),
                  [](const ColumnInfo& c) { return c.tableId != 0 && c.baseTable.empty(); }))
    driver.describeColumns(cols);

  std::string writeTable, problem, keyText;
  std::vector<std::int32_t> keys;
  for (const auto& c : cols) {
    if (c.hidden || c.baseTable.empty()) continue;
    if (writeTable.empty())
      writeTable = c.baseTable;
    else if (!EqualsNoCase(writeTable, c.baseTable))
      problem =
          "The record set cannot be updated: its columns come from more than one "
          "table (" +
          writeTable + ", " + c.baseTable + ").";
  }
  if (writeTable.empty() && problem.empty())
    problem = "The record set cannot be updated: none of its columns is a column of a table.";
  if (problem.empty()) {
    const auto key = driver.primaryKey(writeTable);
    for (const auto& k : key) {
      std::int32_t found = -1;
      for (std::size_t i = 0; i < cols.size(); ++i) {
        const auto& c = cols[i];
        if (EqualsNoCase(c.baseTable, writeTable) && EqualsNoCase(c.baseColumn, k)) {
          found = static_cast<std::int32_t>(i);
          break;
        }
      }
      if (found < 0) {
        keyText =
            "Insufficient key column information for updating or refreshing: the key "
            "column " +
            k + " of table " + writeTable + " is not in the record set.";
        keys.clear();
        break;
      }
      keys.push_back(found);
    }
    if (key.empty()) {
      for (std::size_t i = 0; i < cols.size(); ++i)
        if (cols[i].hidden) keys.push_back(static_cast<std::int32_t>(i));
      if (keys.empty())
        keyText = "Insufficient key column information for updating or refreshing: table " +
                  writeTable + " has no primary key.";
    }
  }
  table = std::move(writeTable);
  keyColumns = std::move(keys);
  writeProblem = std::move(problem);
  keyProblem = std::move(keyText);
  writeInfoKnown = true;
}

std::vector<Param> Recordset::Impl::keyOf(const std::vector<Variant>& values) const {
  std::vector<Param> key;
  for (const auto k : keyColumns) {
    const ColumnInfo& info = columns()[static_cast<std::size_t>(k)];
    key.push_back({values[static_cast<std::size_t>(k)], info.type});
  }
  return key;
}

bool Recordset::Impl::readStoredRow(Driver& driver, const std::vector<Param>& key,
                                    std::vector<Variant>& target) const {
  const auto& cols = columns();
  std::vector<std::string> names;
  std::vector<std::size_t> where;
  for (std::size_t c = 0; c < stride; ++c)
    if (EqualsNoCase(cols[c].baseTable, table) && !cols[c].baseColumn.empty()) {
      names.push_back(cols[c].baseColumn);
      where.push_back(c);
    }
  if (names.empty() || key.size() != keyColumns.size()) return false;
  std::string keyText;
  for (std::size_t i = 0; i < keyColumns.size(); ++i) {
    if (key[i].value.isNull() || key[i].value.isEmpty()) return false;
    if (!keyText.empty()) keyText += " AND ";
    keyText += driver.quoteIdentifier(cols[static_cast<std::size_t>(keyColumns[i])].baseColumn) +
               " = " + driver.placeholder(static_cast<int>(i + 1));
  }
  const ResultSet stored = driver.query("SELECT " + JoinQuoted(driver, names) + " FROM " +
                                            driver.quoteIdentifier(table) + " WHERE " + keyText,
                                        key);
  if (stored.rowCount() != 1) return false;
  for (std::size_t i = 0; i < where.size(); ++i) {
    Variant v = stored.at(0, i);
    // A column the database returns without its declared type (a rowid)
    // keeps the record set's type.
    if (stored.columns[i].type != cols[where[i]].type && !v.isNull())
      IgnoreErrors([&] { v = CoerceToColumn(v, cols[where[i]]); });
    target[where[i]] = std::move(v);
  }
  return true;
}

void Recordset::Impl::refreshAfterConflict(Driver& driver) {
  std::vector<Variant> current = rowValues(editRow);
  if (!readStoredRow(driver, keyOf(current), current)) return;
  for (std::size_t c = 0; c < stride; ++c)
    if (!changed[c]) buffer[c] = current[c];
  saveRow(editRow, std::move(current));
}

// --- Recordset -------------------------------------------------------------

Recordset::Recordset() : impl_(std::make_shared<Impl>()) {
  impl_->fields = std::make_shared<kiv::Fields>();
}

Recordset::~Recordset() = default;

void Recordset::Open(std::string_view source, std::shared_ptr<Connection> connection,
                     std::int32_t cursorType, std::int32_t lockType, std::int32_t) {
  Impl& d = *impl_;
  if (d.open) throw Error(err::ObjectOpen, kSource);
  if (cursorType != adOpenUnspecified &&
      (cursorType < adOpenForwardOnly || cursorType > adOpenStatic))
    throw Error(err::BadArguments, kSource);
  if (lockType != adLockUnspecified &&
      (lockType < adLockReadOnly || lockType > adLockBatchOptimistic))
    throw Error(err::BadArguments, kSource);
  if (!source.empty()) d.source = std::string(source);
  if (connection) d.connection = std::move(connection);
  if (cursorType != adOpenUnspecified) d.cursorType = cursorType;
  if (lockType != adLockUnspecified) d.lockType = lockType;
  if (!d.connection || d.connection->State() != adStateOpen)
    throw Error(err::ConnectionUnusable, kSource);
  if (d.source.empty())
    throw Error(err::BadArguments, kSource, "The record set has no Source to open.");

  Driver& driver = d.connection->driver();
  QueryOptions options;
  options.wantRowLocator = d.lockType != adLockReadOnly;
  std::shared_ptr<RowStore> store;
  if (d.parameters.empty()) {
    store = driver.openRows(d.source, {}, options);
  } else {
    int placeholders = 0;
    const std::string sql = NumberPlaceholders(
        d.source, [&driver](int n) { return driver.placeholder(n); }, &placeholders);
    if (placeholders != static_cast<int>(d.parameters.size()))
      throw Error(err::BadArguments, kSource,
                  "The statement has " + std::to_string(placeholders) +
                      " parameter placeholders (?) but " + std::to_string(d.parameters.size()) +
                      " parameter values were given.");
    std::vector<Param> params;
    params.reserve(d.parameters.size());
    for (const Variant& v : d.parameters)
      params.push_back(Param{v, adVariant});
    store = driver.openRows(sql, params, options);
  }
  adopt(std::move(store), nullptr);
}

void Recordset::OpenClone(const Recordset& original) {
  Impl& d = *impl_;
  const Impl& o = *original.impl_;
  if (d.open) throw Error(err::ObjectOpen, kSource);
  o.requireOpen();
  if (!d.connection) d.connection = o.connection;
  if (d.connection != o.connection)
    throw Error(err::BadArguments, kSource,
                "A record set shares the rows only of a record set open on its own connection.");
  if (!d.connection || d.connection->State() != adStateOpen)
    throw Error(err::ConnectionUnusable, kSource);
  d.source = o.source;
  d.parameters = o.parameters;
  adopt(o.store, &o);
}

void Recordset::adopt(std::shared_ptr<RowStore> store, const Impl* original) {
  Impl& d = *impl_;
  d.store = std::move(store);
  d.stride = d.columns().size();
  d.savedAt.clear();
  d.savedValues.clear();
  d.addedRows = 0;
  d.deleted.clear();
  if (original) {  // the rows as the original holds them now
    d.savedAt = original->savedAt;
    d.savedValues = original->savedValues;
    d.addedRows = original->addedRows;
    d.deleted = original->deleted;
  }
  d.inOpenedOrder = true;
  d.order.clear();
  d.positionsKnown = false;
  if (!d.deleted.empty()) d.listRows();
  d.onDeleted = false;
  d.editMode = adEditNone;
  d.buffer.clear();
  d.changed.clear();
  d.sortText.clear();
  d.writeInfoKnown = false;
  d.table.clear();
  d.keyColumns.clear();
  d.writeProblem.clear();
  d.keyProblem.clear();
  d.openCursorType = d.cursorType;
  d.openLockType = d.lockType;
  ++d.generation;

  d.open = true;
  d.pos = d.reach(0) ? 0 : -1;
  d.fieldColumn.clear();
  for (std::size_t i = 0; i < d.columns().size(); ++i)
    if (!d.columns()[i].hidden) d.fieldColumn.push_back(static_cast<std::int32_t>(i));
  d.renewValues(d.fieldColumn.size());
  std::vector<std::shared_ptr<Field>> items;
  for (std::size_t f = 0; f < d.fieldColumn.size(); ++f)
    items.push_back(
        std::make_shared<Field>(impl_, d.values, static_cast<std::int32_t>(f), d.generation));
  d.gridValues.assign(items.size(), {});
  d.fields = std::make_shared<kiv::Fields>(std::move(items));
  Raise(d, events.RecordsetChangeComplete);
  Raise(d, events.MoveComplete);
}

void Recordset::Close() {
  Impl& d = *impl_;
  d.requireOpen();
  if (d.editMode != adEditNone) Update();
  d.open = false;
  ++d.generation;
  d.store.reset();  // the last record set over the rows stops a read still under way
  d.fieldColumn.clear();
  d.savedAt.clear();
  d.savedValues.clear();
  d.addedRows = 0;
  d.deleted.clear();
  d.inOpenedOrder = true;
  d.order.clear();
  d.order.shrink_to_fit();
  d.positionOf.clear();
  d.positionOf.shrink_to_fit();
  d.positionsKnown = false;
  d.pos = -1;
  d.onDeleted = false;
  d.stride = 0;
  d.sortText.clear();
  d.renewValues(0);
  d.gridValues.clear();
  d.fields = std::make_shared<kiv::Fields>();
  Raise(d, events.RecordsetChangeComplete);
}

void Recordset::Requery() {
  Impl& d = *impl_;
  d.requireOpen();
  const auto cursorType = d.openCursorType, lockType = d.openLockType;
  Close();
  Open({}, nullptr, cursorType, lockType);
}

std::int32_t Recordset::State() const {
  return impl_->open ? adStateOpen : adStateClosed;
}

const std::string& Recordset::Source() const {
  return impl_->source;
}
void Recordset::Source(std::string value) {
  if (impl_->open) throw Error(err::ObjectOpen, kSource);
  impl_->source = std::move(value);
}
const std::vector<Variant>& Recordset::Parameters() const {
  return impl_->parameters;
}
void Recordset::Parameters(std::vector<Variant> values) {
  if (impl_->open) throw Error(err::ObjectOpen, kSource);
  for (const Variant& v : values)
    if (v.isObject() || v.isArray())
      throw Error(err::TypeMismatch, kSource,
                  "Type mismatch: a parameter value cannot be " + v.typeName());
  impl_->parameters = std::move(values);
}
std::shared_ptr<Connection> Recordset::ActiveConnection() const {
  return impl_->connection;
}
void Recordset::ActiveConnection(std::shared_ptr<Connection> connection) {
  if (impl_->open) throw Error(err::ObjectOpen, kSource);
  impl_->connection = std::move(connection);
}
std::int32_t Recordset::CursorType() const {
  return impl_->open ? impl_->openCursorType : impl_->cursorType;
}
void Recordset::CursorType(std::int32_t value) {
  if (impl_->open) throw Error(err::ObjectOpen, kSource);
  if (value < adOpenForwardOnly || value > adOpenStatic) throw Error(err::BadArguments, kSource);
  impl_->cursorType = value;
}
std::int32_t Recordset::LockType() const {
  return impl_->open ? impl_->openLockType : impl_->lockType;
}
void Recordset::LockType(std::int32_t value) {
  if (impl_->open) throw Error(err::ObjectOpen, kSource);
  if (value < adLockReadOnly || value > adLockBatchOptimistic)
    throw Error(err::BadArguments, kSource);
  impl_->lockType = value;
}
std::int32_t Recordset::CursorLocation() const {
  return impl_->cursorLocation;
}
void Recordset::CursorLocation(std::int32_t value) {
  if (impl_->open) throw Error(err::ObjectOpen, kSource);
  if (value != adUseServer && value != adUseClient) throw Error(err::BadArguments, kSource);
  impl_->cursorLocation = value;
}

// --- Navigation ------------------------------------------------------------

bool Recordset::BOF() const {
  Impl& d = *impl_;
  d.requireOpen();
  if (d.editMode == adEditAdd || d.onDeleted) return false;
  return d.pos < 0 || !d.reach(0);
}

bool Recordset::EOF() const {
  Impl& d = *impl_;
  d.requireOpen();
  if (d.editMode == adEditAdd || d.onDeleted) return false;
  if (d.pos >= 0 && d.pos < static_cast<std::int64_t>(d.visibleCount())) return false;
  return (d.pos >= 0 && !d.reach(d.pos)) || !d.reach(0);
}

void Recordset::MoveFirst() {
  Impl& d = *impl_;
  d.requireOpen();
  const StateChange change(d);
  if (d.editMode != adEditNone) Update();
  if (!d.reach(0)) throw Error(err::NoCurrentRecord, kSource);
  d.pos = 0;
  d.onDeleted = false;
  Raise(d, events.MoveComplete);
}

void Recordset::MoveLast() {
  Impl& d = *impl_;
  d.requireOpen();
  const StateChange change(d);
  if (d.editMode != adEditNone) Update();
  d.readAll();
  if (d.visibleCount() == 0) throw Error(err::NoCurrentRecord, kSource);
  d.pos = static_cast<std::int64_t>(d.visibleCount()) - 1;
  d.onDeleted = false;
  Raise(d, events.MoveComplete);
}

void Recordset::MoveNext() {
  Impl& d = *impl_;
  // From a row to the next row held, nothing pending: the common walk.
  if (d.open && d.editMode == adEditNone && !d.onDeleted && d.pos >= 0 &&
      d.pos + 1 < static_cast<std::int64_t>(d.visibleCount())) {
    ++d.pos;
    Raise(d, events.MoveComplete);
    return;
  }
  Move(1);
}

void Recordset::MovePrevious() {
  Impl& d = *impl_;
  if (d.open && d.editMode == adEditNone && !d.onDeleted && d.pos > 0 &&
      d.pos < static_cast<std::int64_t>(d.visibleCount())) {
    --d.pos;
    Raise(d, events.MoveComplete);
    return;
  }
  Move(-1);
}

void Recordset::Move(std::int32_t numRecords, const Variant& start) {
  Impl& d = *impl_;
  d.requireOpen();
  if (d.editMode != adEditNone) Update();
  if (start.isEmpty() && !d.onDeleted && d.pos >= 0 && numRecords != 0 && d.pos + numRecords >= 0 &&
      d.pos + numRecords < static_cast<std::int64_t>(d.visibleCount())) {
    d.pos += numRecords;  // from a row to a row held: the common walk
    Raise(d, events.MoveComplete);
    return;
  }
  const StateChange change(d);
  std::int64_t target;
  if (!start.isEmpty()) {
    Bookmark(start);  // 3001 for an unknown row; makes it current
    target = d.pos + numRecords;
  } else if (d.onDeleted) {
    if (numRecords == 0) throw Error(err::NoCurrentRecord, kSource);
    target = numRecords > 0 ? d.pos + numRecords - 1 : d.pos + numRecords;
  } else {
    const bool empty = !d.reach(0);
    const bool bof = d.pos < 0 || empty, eof = (d.pos >= 0 && !d.reach(d.pos)) || empty;
    if ((numRecords > 0 && eof) || (numRecords < 0 && bof) || (numRecords == 0 && (bof || eof)))
      throw Error(err::NoCurrentRecord, kSource);
    target = d.pos + numRecords;
  }
  // Past the last row is EOF, wherever the last row turns out to be.
  if (target < 0)
    target = -1;
  else if (!d.reach(target))
    target = static_cast<std::int64_t>(d.visibleCount());
  d.pos = target;
  d.onDeleted = false;
  Raise(d, events.MoveComplete);
}

std::int32_t Recordset::RecordCount() const {
  Impl& d = *impl_;
  d.requireOpen();
  d.readAll();
  return static_cast<std::int32_t>(d.visibleCount());
}

std::int32_t Recordset::AbsolutePosition() const {
  Impl& d = *impl_;
  d.requireOpen();
  if (d.editMode == adEditAdd || d.onDeleted) return adPosUnknown;
  if (d.pos < 0 || !d.reach(0)) return adPosBOF;
  if (!d.reach(d.pos)) return adPosEOF;
  return static_cast<std::int32_t>(d.pos + 1);
}

void Recordset::AbsolutePosition(std::int32_t position) {
  Impl& d = *impl_;
  d.requireOpen();
  const StateChange change(d);
  if (d.editMode != adEditNone) Update();
  if (position < 1 || !d.reach(position - 1)) throw Error(err::BadArguments, kSource);
  d.pos = position - 1;
  d.onDeleted = false;
  Raise(d, events.MoveComplete);
}

Variant Recordset::Bookmark() const {
  const Impl& d = *impl_;
  d.requireOpen();
  if (!d.hasCurrent()) throw Error(err::NoCurrentRecord, kSource);
  return Variant(static_cast<double>(d.rowAt(d.pos)));
}

void Recordset::Bookmark(const Variant& bookmark) {
  Impl& d = *impl_;
  d.requireOpen();
  const StateChange change(d);
  if (!bookmark.isNumber()) throw Error(err::BadArguments, kSource);
  const double v = CDbl(bookmark);
  if (v < 0 || v >= 4294967295.0 || v != std::floor(v)) throw Error(err::BadArguments, kSource);
  const auto row = static_cast<std::uint32_t>(v);
  if (row >= d.rowCount() && !d.store->complete()) d.store->fetch(std::size_t{row} + 1);
  if (row >= d.rowCount() || d.isDeleted(row)) throw Error(err::BadArguments, kSource);
  const std::int64_t position = d.positionOfRow(row);
  if (position < 0) throw Error(err::BadArguments, kSource);
  if (d.editMode != adEditNone) Update();
  d.pos = position;
  d.onDeleted = false;
  Raise(d, events.MoveComplete);
}

kiv::Fields& Recordset::Fields() {
  impl_->requireOpen();
  return *impl_->fields;
}

Field& Recordset::operator[](std::string_view name) {
  return Fields().Item(name);
}
Field& Recordset::operator[](std::int32_t index) {
  return Fields().Item(index);
}

// --- Editing ----------------------------------------------------------------

void Recordset::AddNew() {
  Impl& d = *impl_;
  d.requireUpdatable();
  const StateChange change(d);
  if (d.editMode != adEditNone) Update();
  d.savedPos = d.pos;
  d.savedOnDeleted = d.onDeleted;
  d.savedDeletedRow = d.deletedRow;
  d.buffer.assign(d.stride, Variant(kNull));
  d.changed.assign(d.stride, 0);
  d.editMode = adEditAdd;
  Raise(d, events.MoveComplete);
}

void Recordset::CancelUpdate() {
  Impl& d = *impl_;
  d.requireOpen();
  const StateChange change(d);
  const bool wasAdding = d.editMode == adEditAdd;
  if (wasAdding) {
    d.pos = d.savedPos;
    d.onDeleted = d.savedOnDeleted;
    d.deletedRow = d.savedDeletedRow;
  }
  d.editMode = adEditNone;
  d.buffer.clear();
  d.changed.clear();
  if (wasAdding) Raise(d, events.MoveComplete);
}

std::int32_t Recordset::EditMode() const {
  impl_->requireOpen();
  return impl_->editMode;
}

void Recordset::Update() {
  Impl& d = *impl_;
  d.requireOpen();
  if (d.editMode == adEditNone) return;
  d.requireUpdatable();
  const StateChange change(d);
  d.requireWriteInfo();
  if (!d.writeProblem.empty()) throw Error(err::ProviderError, kSource, d.writeProblem);
  Driver& driver = [&]() -> Driver& {
    if (!d.connection) throw Error(err::ConnectionUnusable, kSource);
    return d.connection->driver();
  }();
  const auto& columns = d.columns();

  // The changed columns, each a column of the base table.
  std::vector<std::size_t> changedCols;
  for (std::size_t c = 0; c < d.stride; ++c) {
    if (!d.changed[c]) continue;
    const ColumnInfo& info = columns[c];
    if (info.baseTable.empty() || info.baseColumn.empty() || !EqualsNoCase(info.baseTable, d.table))
      throw Error(err::ProviderError, kSource,
                  "The field '" + info.name + "' cannot be updated: it is not a column of table " +
                      d.table + ".");
    changedCols.push_back(c);
  }
  const std::string table = driver.quoteIdentifier(d.table);
  auto keyWhere = [&](const std::vector<Variant>& original, std::vector<Param>& params) {
    std::string where;
    for (const auto k : d.keyColumns) {
      const ColumnInfo& info = columns[static_cast<std::size_t>(k)];
      const Variant& v = original[static_cast<std::size_t>(k)];
      if (v.isNull() || v.isEmpty())
        throw Error(err::ProviderError, kSource,
                    "Insufficient key column information for updating or refreshing: the key "
                    "column " +
                        info.baseColumn + " holds Null.");
      params.push_back({v, info.type});
      if (!where.empty()) where += " AND ";
      where += driver.quoteIdentifier(info.baseColumn) + " = " +
               driver.placeholder(static_cast<int>(params.size()));
    }
    return where;
  };

  if (d.editMode == adEditAdd) {
    d.readAll();  // a new row comes after every row of the result
    std::vector<Param> params;
    std::vector<std::string> names;
    std::string placeholders;
    for (const auto c : changedCols) {
      names.push_back(columns[c].baseColumn);
      params.push_back({d.buffer[c], columns[c].type});
      if (!placeholders.empty()) placeholders += ", ";
      placeholders += driver.placeholder(static_cast<int>(params.size()));
    }
    std::string sql = "INSERT INTO " + table;
    sql += names.empty() ? " DEFAULT VALUES"
                         : " (" + JoinQuoted(driver, names) + ") VALUES (" + placeholders + ")";
    std::vector<Variant> newRow = d.buffer;
    if (d.keyColumns.empty()) {
      driver.execute(sql, params);
    } else {
      // Take the new row's key back, then read the row as the database
      // stored it (defaults, generated keys, the stored forms of values).
      std::vector<std::string> keyNames;
      for (const auto k : d.keyColumns)
        keyNames.push_back(columns[static_cast<std::size_t>(k)].baseColumn);
      const ResultSet key =
          driver.query(sql + " RETURNING " + JoinQuoted(driver, keyNames), params);
      if (key.rowCount() == 1) {
        // The row is written: from here a failure to read it back must not
        // fail the Update. The key locates the row; the re-read refreshes
        // the rest (the buffer's values stand in when it fails).
        std::vector<Param> keyParams;
        for (std::size_t i = 0; i < d.keyColumns.size(); ++i) {
          const auto k = static_cast<std::size_t>(d.keyColumns[i]);
          Variant v = key.at(0, i);
          keyParams.push_back({v, adVariant});
          IgnoreErrors([&] { v = CoerceToColumn(v, columns[k]); });
          newRow[k] = std::move(v);
        }
        IgnoreErrors([&] { d.readStoredRow(driver, keyParams, newRow); });
      }
    }
    const std::uint32_t newIndex = d.rowCount();
    d.saveRow(newIndex, std::move(newRow));
    ++d.addedRows;
    if (!d.deleted.empty()) d.deleted.push_back(0);
    if (!d.inOpenedOrder) {
      d.order.push_back(newIndex);
      if (d.positionsKnown) d.positionOf.push_back(static_cast<std::uint32_t>(d.order.size() - 1));
    }
    d.pos = static_cast<std::int64_t>(d.visibleCount()) - 1;
    d.onDeleted = false;
  } else {
    if (!changedCols.empty()) {
      if (!d.keyProblem.empty()) throw Error(err::ProviderError, kSource, d.keyProblem);
      std::vector<Variant> original = d.rowValues(d.editRow);
      std::vector<Param> params;
      std::string set;
      for (const auto c : changedCols) {
        params.push_back({d.buffer[c], columns[c].type});
        if (!set.empty()) set += ", ";
        set += driver.quoteIdentifier(columns[c].baseColumn) + " = " +
               driver.placeholder(static_cast<int>(params.size()));
      }
      std::string where = keyWhere(original, params);
      // Optimistic locking: the changed columns still hold what was read.
      for (const auto c : changedCols) {
        const std::string col = driver.quoteIdentifier(columns[c].baseColumn);
        if (original[c].isNull()) {
          where += " AND " + col + " IS NULL";
        } else {
          params.push_back({original[c], columns[c].type});
          where +=
              " AND " + driver.equalsExpression(
                            col, columns[c], driver.placeholder(static_cast<int>(params.size())));
        }
      }
      const auto affected =
          driver.execute("UPDATE " + table + " SET " + set + " WHERE " + where, params);
      if (affected == 0) {
        // Another user changed the row: read what it holds now, so the edit
        // can be saved over it once the user has been told, and dropping the
        // edit shows the other user's values. The typed values stay pending.
        IgnoreErrors([&] { d.refreshAfterConflict(driver); });
        throw Error(err::RowConflict, kSource, kRowConflictText);
      }
      for (const auto c : changedCols)
        original[c] = d.buffer[c];
      d.saveRow(d.editRow, std::move(original));
    }
  }
  d.editMode = adEditNone;
  d.buffer.clear();
  d.changed.clear();
  Raise(d, events.RecordChangeComplete);
  Raise(d, events.RecordsetChangeComplete);
}

void Recordset::Delete(std::int32_t affectRecords) {
  Impl& d = *impl_;
  d.requireUpdatable();
  const StateChange change(d);
  if (affectRecords != adAffectCurrent) throw Error(err::BadArguments, kSource);
  if (d.editMode == adEditAdd) {  // the new row was never saved: dropping it deletes it
    CancelUpdate();
    return;
  }
  if (!d.hasCurrent()) throw Error(err::NoCurrentRecord, kSource);
  d.requireWriteInfo();
  if (!d.writeProblem.empty()) throw Error(err::ProviderError, kSource, d.writeProblem);
  if (!d.keyProblem.empty()) throw Error(err::ProviderError, kSource, d.keyProblem);
  if (!d.connection) throw Error(err::ConnectionUnusable, kSource);
  Driver& driver = d.connection->driver();
  d.listRows();  // every row read before anything is written
  const std::uint32_t row = d.rowAt(d.pos);
  const std::vector<Variant> values = d.rowValues(row);
  std::vector<Param> params;
  std::string where;
  for (const auto k : d.keyColumns) {
    const ColumnInfo& info = d.columns()[static_cast<std::size_t>(k)];
    const Variant& v = values[static_cast<std::size_t>(k)];
    if (v.isNull() || v.isEmpty())
      throw Error(err::ProviderError, kSource,
                  "Insufficient key column information for updating or refreshing: the key "
                  "column " +
                      info.baseColumn + " holds Null.");
    params.push_back({v, info.type});
    if (!where.empty()) where += " AND ";
    where += driver.quoteIdentifier(info.baseColumn) + " = " +
             driver.placeholder(static_cast<int>(params.size()));
  }
  const auto affected =
      driver.execute("DELETE FROM " + driver.quoteIdentifier(d.table) + " WHERE " + where, params);
  if (affected == 0) throw Error(err::RowConflict, kSource, kRowConflictText);
  // A pending edit of the row goes with it.
  d.editMode = adEditNone;
  d.buffer.clear();
  d.changed.clear();
  if (d.deleted.empty()) d.deleted.assign(d.rowCount(), 0);
  d.deleted[row] = 1;
  d.order.erase(d.order.begin() + d.pos);
  d.positionsKnown = false;
  d.onDeleted = true;
  d.deletedRow = row;
  Raise(d, events.RecordsetChangeComplete);
  Raise(d, events.MoveComplete);
}

void Recordset::UpdateBatch(std::int32_t affectRecords) {
  impl_->requireOpen();
  if (affectRecords < adAffectCurrent || affectRecords > adAffectAll)
    throw Error(err::BadArguments, kSource);
  if (impl_->editMode != adEditNone) Update();
}

void Recordset::CancelBatch(std::int32_t affectRecords) {
  impl_->requireOpen();
  if (affectRecords < adAffectCurrent || affectRecords > adAffectAll)
    throw Error(err::BadArguments, kSource);
  CancelUpdate();
}

// --- Find and Sort ----------------------------------------------------------

void Recordset::Find(std::string_view criteria, std::int32_t skipRecords,
                     std::int32_t searchDirection, const Variant& start) {
  Impl& d = *impl_;
  d.requireOpen();
  if (searchDirection != adSearchForward && searchDirection != adSearchBackward)
    throw Error(err::BadArguments, kSource);
  const Criteria compiled(criteria, Resolver(d));  // 3001 / 3265 before moving
  const StateChange change(d);
  if (d.editMode != adEditNone) Update();
  std::int64_t from;
  if (!start.isEmpty()) {
    Bookmark(start);
    from = d.pos;
  } else if (d.onDeleted) {
    from = searchDirection > 0 ? d.pos : d.pos - 1;  // the current row is gone: its neighbour
  } else {
    from = d.pos;
  }
  from += static_cast<std::int64_t>(skipRecords) * searchDirection;
  const auto matches = [&](std::int64_t position) {
    const std::uint32_t row = d.rowAt(position);
    return compiled.MatchesCells([&](int column) { return d.cellAt(row, column); });
  };
  std::int64_t found;
  if (searchDirection > 0) {
    // Rows not read yet are read block by block as the search reaches them.
    std::int64_t i = std::max<std::int64_t>(from, 0);
    for (;;) {
      const auto known = static_cast<std::int64_t>(d.visibleCount());
      while (i < known && !matches(i))
        ++i;
      if (i < known || !d.reach(i)) break;
    }
    found = std::min(i, static_cast<std::int64_t>(d.visibleCount()));
  } else {
    if (from >= static_cast<std::int64_t>(d.visibleCount())) d.reach(from);
    std::int64_t i = std::min<std::int64_t>(from, static_cast<std::int64_t>(d.visibleCount()) - 1);
    while (i >= 0 && !matches(i))
      --i;
    found = std::max<std::int64_t>(i, -1);
  }
  d.pos = found;
  d.onDeleted = false;
  Raise(d, events.MoveComplete);
}

const std::string& Recordset::Sort() const {
  return impl_->sortText;
}

void Recordset::Sort(std::string_view sortText) {
  Impl& d = *impl_;
  d.requireOpen();
  const SortOrder sort(sortText, Resolver(d));  // 3001 / 3265 before changing anything
  const StateChange change(d);
  if (d.editMode != adEditNone) Update();
  d.readAll();
  if (sort.empty() && d.deleted.empty()) {
    d.inOpenedOrder = true;
    d.order.clear();
    d.order.shrink_to_fit();
  } else {
    std::vector<std::uint32_t> rows;
    rows.reserve(d.rowCount());
    for (std::uint32_t r = 0; r < d.rowCount(); ++r)
      if (!d.isDeleted(r)) rows.push_back(r);
    if (!sort.empty())
      rows = sort.Order(std::move(rows),
                        [&d](std::uint32_t row, int column) { return d.cellAt(row, column); });
    d.order = std::move(rows);
    d.inOpenedOrder = false;
  }
  d.positionsKnown = false;
  d.sortText = sort.empty() ? std::string() : std::string(sortText);
  d.pos = d.visibleCount() == 0 ? -1 : 0;
  d.onDeleted = false;
  Raise(d, events.RecordsetChangeComplete);
  Raise(d, events.MoveComplete);
}

// --- Grid access -------------------------------------------------------------

std::int32_t Recordset::VisibleRowCount() const {
  Impl& d = *impl_;
  if (!d.open) return 0;
  // A read that stopped on an error leaves the rows read before it; the
  // operations that need the others raise the error.
  IgnoreErrors([&] { d.readAll(); });
  return static_cast<std::int32_t>(d.visibleCount());
}

const Variant& Recordset::ValueAt(std::int32_t visibleRow, std::int32_t fieldIndex) const {
  Impl& d = *impl_;
  d.requireOpen();
  if (visibleRow < 0 || !d.reach(visibleRow)) throw Error(err::NoCurrentRecord, kSource);
  if (fieldIndex < 0 || fieldIndex >= static_cast<std::int32_t>(d.fieldColumn.size()))
    throw Error(err::SubscriptOutOfRange, kSource);
  const auto field = static_cast<std::size_t>(fieldIndex);
  return d.cachedValue(d.gridValues[field], d.rowAt(visibleRow),
                       static_cast<std::size_t>(d.fieldColumn[field]));
}

std::int32_t Recordset::CurrentVisibleRow() const {
  const Impl& d = *impl_;
  return d.open && d.editMode != adEditAdd && d.hasCurrent() ? static_cast<std::int32_t>(d.pos)
                                                             : -1;
}

// --- Late-bound members ----------------------------------------------------------

const MemberTable& Recordset::memberTable() const {
  using B = MemberTable::Builder<Recordset>;
  auto optLong = [](const B::Args& a, std::size_t i, std::int32_t def) {
    return HasArg(a, i) && !Arg(a, i).isEmpty() ? CLng(Arg(a, i)) : def;
  };
  static const MemberTable table =
      B().get("State", [](Recordset& r) { return Variant(r.State()); })
          .property(
              "Source", [](Recordset& r) { return Variant(r.Source()); },
              [](Recordset& r, const Variant& v) { r.Source(CStr(v)); })
          .objectProperty(
              "ActiveConnection",
              [](Recordset& r) {
                auto c = r.ActiveConnection();
                return c ? Variant(c) : Variant::Nothing();
              },
              [](Recordset& r, const Variant& v) { r.ActiveConnection(ObjectAs<Connection>(v)); })
          .property(
              "CursorType", [](Recordset& r) { return Variant(r.CursorType()); },
              [](Recordset& r, const Variant& v) { r.CursorType(CLng(v)); })
          .property(
              "LockType", [](Recordset& r) { return Variant(r.LockType()); },
              [](Recordset& r, const Variant& v) { r.LockType(CLng(v)); })
          .property(
              "CursorLocation", [](Recordset& r) { return Variant(r.CursorLocation()); },
              [](Recordset& r, const Variant& v) { r.CursorLocation(CLng(v)); })
          .get("BOF", [](Recordset& r) { return Variant(r.BOF()); })
          .get("EOF", [](Recordset& r) { return Variant(r.EOF()); })
          .get("RecordCount", [](Recordset& r) { return Variant(r.RecordCount()); })
          .get("EditMode", [](Recordset& r) { return Variant(r.EditMode()); })
          .property(
              "AbsolutePosition", [](Recordset& r) { return Variant(r.AbsolutePosition()); },
              [](Recordset& r, const Variant& v) { r.AbsolutePosition(CLng(v)); })
          .property(
              "Bookmark", [](Recordset& r) { return r.Bookmark(); },
              [](Recordset& r, const Variant& v) { r.Bookmark(v); })
          .property(
              "Sort", [](Recordset& r) { return Variant(r.Sort()); },
              [](Recordset& r, const Variant& v) { r.Sort(CStr(v)); })
          .getIndexed("Fields",
                      [](Recordset& r, B::Args& a) {
                        r.Fields();  // 3704 when closed
                        if (a.empty()) return Variant(r.impl_->fields);
                        return Variant(r.impl_->fields->ItemPtr(a[0]));
                      })
          .method("Open",
                  [optLong](Recordset& r, B::Args& a) {
                    std::shared_ptr<Connection> conn;
                    const Variant& c = Arg(a, 1);
                    if (c.isObject())
                      conn = ObjectAs<Connection>(c);
                    else if (c.isString())
                      conn = Connection::OpenNew(c.string());
                    r.Open(HasArg(a, 0) && !Arg(a, 0).isEmpty() ? CStr(Arg(a, 0)) : std::string(),
                           conn, optLong(a, 2, adOpenUnspecified), optLong(a, 3, adLockUnspecified),
                           optLong(a, 4, adCmdUnspecified));
                    return Variant();
                  })
          .method("Close",
                  [](Recordset& r, B::Args&) {
                    r.Close();
                    return Variant();
                  })
          .method("Requery",
                  [](Recordset& r, B::Args&) {
                    r.Requery();
                    return Variant();
                  })
          .method("MoveFirst",
                  [](Recordset& r, B::Args&) {
                    r.MoveFirst();
                    return Variant();
                  })
          .method("MoveLast",
                  [](Recordset& r, B::Args&) {
                    r.MoveLast();
                    return Variant();
                  })
          .method("MoveNext",
                  [](Recordset& r, B::Args&) {
                    r.MoveNext();
                    return Variant();
                  })
          .method("MovePrevious",
                  [](Recordset& r, B::Args&) {
                    r.MovePrevious();
                    return Variant();
                  })
          .method("Move",
                  [](Recordset& r, B::Args& a) {
                    r.Move(CLng(Arg(a, 0)), Arg(a, 1));
                    return Variant();
                  })
          .method("AddNew",
                  [](Recordset& r, B::Args&) {
                    r.AddNew();
                    return Variant();
                  })
          .method("Update",
                  [](Recordset& r, B::Args&) {
                    r.Update();
                    return Variant();
                  })
          .method("CancelUpdate",
                  [](Recordset& r, B::Args&) {
                    r.CancelUpdate();
                    return Variant();
                  })
          .method("Delete",
                  [optLong](Recordset& r, B::Args& a) {
                    r.Delete(optLong(a, 0, adAffectCurrent));
                    return Variant();
                  })
          .method("UpdateBatch",
                  [optLong](Recordset& r, B::Args& a) {
                    r.UpdateBatch(optLong(a, 0, adAffectAll));
                    return Variant();
                  })
          .method("CancelBatch",
                  [optLong](Recordset& r, B::Args& a) {
                    r.CancelBatch(optLong(a, 0, adAffectAll));
                    return Variant();
                  })
          .method("Find",
                  [optLong](Recordset& r, B::Args& a) {
                    r.Find(CStr(Arg(a, 0)), optLong(a, 1, 0), optLong(a, 2, adSearchForward),
                           Arg(a, 3));
                    return Variant();
                  })
          .build();
  return table;
}

}  // namespace kiv
