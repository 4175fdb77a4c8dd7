#pragma once

// <cstdio>'s EOF macro would hide the record set's EOF member: the header is
// included here first and the macro removed (compare a character read with
// std::char_traits<char>::eof() instead).
#include <cstdio>
#undef EOF

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kiv/data/AdoTypes.h"
#include "kiv/runtime/Dispatch.h"
#include "kiv/runtime/Event.h"
#include "kiv/runtime/Variant.h"

namespace kiv {

class Connection;
class Fields;
class Field;
class RowStore;

// A client cursor over the rows of one query. Open runs the query through
// the connection's driver once and keeps the rows, by column in their
// native types; moves, Find and Sort work on the kept rows; AddNew/Update/Delete write single rows
// back to the query's base table with bound parameters (INSERT, or UPDATE/DELETE located by the
// table's primary key, or by SQLite's rowid when the table declares none). An UPDATE also requires
// the changed columns to still hold the values read (optimistic locking).
//
// Position: BOF (before the first row), a current row, or EOF (after the
// last). An empty record set is at BOF and EOF. Moving past an end sets BOF
// or EOF; moving further, or reading a field without a current record,
// raises 3021. A deleted row stays current until the next move, which skips
// it; reading it raises 3021.
//
// Editing: writing a Field's Value starts an edit of the current row;
// AddNew starts a new row (current until Update or CancelUpdate). A move,
// Find, Sort, AddNew or Close with an edit pending first saves it with
// Update (so a failing save raises and the cursor stays where it was).
// CancelUpdate drops the edit; after AddNew it returns to the row that was
// current before. A failed Update leaves the database unchanged and the
// pending edit in place, so it can be corrected and saved again. Delete
// writes at once (a failed Delete leaves the row in the record set);
// UpdateBatch saves a pending edit and has nothing else to write, with
// every lock type (adLockBatchOptimistic is served like adLockOptimistic).
// Destroying a record set drops a pending edit without saving it.
//
// Reading: Open returns once the first block of rows is read; the rest is
// read as an operation reaches it (a move, RecordCount, MoveLast, Find,
// Sort, a bookmark, a grid), or by the driver in the background, with the
// same rows as a read of the whole result at Open. When reading fails after
// the first block, the rows read before stay, and the operation that needs
// the others raises the database's error.
//
// Find at EOF (or backward at BOF) finds nothing and raises nothing. A
// cursor type is accepted and reported but every cursor is a static client
// cursor (adUseServer is served as adUseClient).
//
// Values are converted to the field's type when written (an Integer field
// takes "12" as 12; text that does not convert raises 13).
//
// Late-bound members: the properties and methods below by the same names;
// Fields takes an optional name or index ("Fields", "name").
class Recordset : public Dispatch {
 public:
  Recordset();
  ~Recordset() override;
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  // Opens the record set. source: SQL text (empty: the Source property).
  // connection: nullptr to use ActiveConnection. cursorType, lockType and
  // options: -1 to use the CursorType and LockType properties. 3705 when
  // already open, 3709 when no connection or a closed one.
  void Open(std::string_view source = {}, std::shared_ptr<Connection> connection = nullptr,
            std::int32_t cursorType = adOpenUnspecified, std::int32_t lockType = adLockUnspecified,
            std::int32_t options = adCmdUnspecified);
  // Closes the record set (a pending edit is saved first; when that fails
  // the error is raised and the record set stays open). 3704 when closed.
  void Close();
  // Re-runs Source with the same settings: Close then Open.
  void Requery();
  // Opens this record set over the rows `original` holds, without reading
  // them again: the rows are shared, and this record set has its own
  // position (the first row), sort and pending edit. It sees the rows as
  // `original` has saved, added and deleted them so far, in the order
  // opened; later changes on either side are not seen by the other. Source
  // and Parameters are the original's; CursorType and LockType are this
  // record set's properties. ActiveConnection, when set, must be the
  // original's (3001 otherwise); 3705 when open, 3704 when `original` is
  // closed, 3709 when the connection is closed.
  void OpenClone(const Recordset& original);

  std::int32_t State() const;

  // Properties set before Open (3705 when written while open).
  const std::string& Source() const;
  void Source(std::string value);
  std::shared_ptr<Connection> ActiveConnection() const;
  void ActiveConnection(std::shared_ptr<Connection> connection);
  std::int32_t CursorType() const;
  void CursorType(std::int32_t value);
  std::int32_t LockType() const;
  void LockType(std::int32_t value);
  std::int32_t CursorLocation() const;
  void CursorLocation(std::int32_t value);  // adUseServer is accepted and served as client
  // Values bound to the "?" placeholders of Source, in order, each time the
  // record set opens (Requery included): they never become part of the SQL
  // text. Empty: the Source has no placeholders. A count that differs from
  // the statement's placeholders raises 3001 on Open; an object or array
  // value raises 13 here.
  const std::vector<Variant>& Parameters() const;
  void Parameters(std::vector<Variant> values);

  // Navigation (3704 when closed).
  bool BOF() const;
  bool EOF() const;
  void MoveFirst();
  void MoveLast();
  void MoveNext();
  void MovePrevious();
  // Moves numRecords rows from the current row, or from the row of the start
  // bookmark when given (not Empty).
  void Move(std::int32_t numRecords, const Variant& start = Variant());
  // Rows not deleted (reads every row).
  std::int32_t RecordCount() const;
  // 1-based position of the current row in the current order, adPosBOF,
  // adPosEOF, or adPosUnknown (a deleted or new row). Setting moves the
  // cursor (3001 outside 1..RecordCount).
  std::int32_t AbsolutePosition() const;
  void AbsolutePosition(std::int32_t position);
  // A value identifying the current row (3021 without one); setting it
  // makes that row current (3001 for an unknown or deleted row).
  Variant Bookmark() const;
  void Bookmark(const Variant& bookmark);

  // The fields of the current row (3704 when closed).
  kiv::Fields& Fields();
  // Shortcut: Fields().Item(name); 3265 when there is no such field.
  Field& operator[](std::string_view name);
  Field& operator[](std::int32_t index);

  // Editing (3704 when closed; 3251 on a read-only record set).
  void AddNew();
  void Update();
  void CancelUpdate();
  void Delete(std::int32_t affectRecords = adAffectCurrent);
  void UpdateBatch(std::int32_t affectRecords = adAffectAll);
  void CancelBatch(std::int32_t affectRecords = adAffectAll);
  std::int32_t EditMode() const;

  // Finds the next row matching the criteria ("Field op value [AND ...]"),
  // starting at the current row (or the start bookmark) after skipping
  // skipRecords rows, searching forward (adSearchForward) or backward
  // (adSearchBackward). No match leaves the cursor at EOF (BOF backward).
  // A malformed criterion raises 3001, an unknown field 3265.
  void Find(std::string_view criteria, std::int32_t skipRecords = 0,
            std::int32_t searchDirection = adSearchForward, const Variant& start = Variant());

  // The sort order ("Field [ASC|DESC], ..."); "" is the opened order.
  // Setting it reorders the rows (stable) and moves to the first row.
  const std::string& Sort() const;
  void Sort(std::string_view sortText);

  // For grids that read rows on demand, without moving the cursor:
  // rows in the current order (deleted rows excluded; when reading stopped
  // on an error, the rows read before it), and a value by (visible row
  // 0-based, field index 0-based); 3021/9 outside the ranges. The value
  // stays valid until the next ValueAt of the same field or a change of
  // the record set.
  std::int32_t VisibleRowCount() const;
  const Variant& ValueAt(std::int32_t visibleRow, std::int32_t fieldIndex) const;
  // The current row's 0-based visible row, or -1 without one.
  std::int32_t CurrentVisibleRow() const;

  // Notifications (argumentless; read the record set for the new state):
  //   MoveComplete            the current row changed (move, Find, AddNew,
  //                           CancelUpdate, Delete, Sort, Open)
  //   RecordsetChangeComplete the rows or their order changed (Open, Close,
  //                           Sort, Delete, a new row saved, Requery)
  //   RecordChangeComplete    a row's values were saved (Update)
  struct Events {
    Event<> MoveComplete;
    Event<> RecordsetChangeComplete;
    Event<> RecordChangeComplete;
  } events;

  std::string_view TypeName() const override { return "Recordset"; }
  const MemberTable& memberTable() const override;

  struct Impl;

 private:
  // Takes the rows of a store (and, for a clone, the original's changes).
  void adopt(std::shared_ptr<RowStore> store, const Impl* original);

  std::shared_ptr<Impl> impl_;
};

}  // namespace kiv
