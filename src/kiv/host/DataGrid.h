#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "kiv/host/Columns.h"
#include "kiv/host/Control.h"
#include "kiv/host/Font.h"
#include "kiv/host/InputControl.h"
#include "kiv/host/InputEvents.h"
#include "kiv/runtime/Event.h"
#include "kiv/runtime/Variant.h"

namespace kiv {

class Recordset;

// The data grid: shows the rows of a record set, one column per field.
//
// Binding: setting DataSource to a record set makes one column per field, in
// field order, captioned with the field name and bound to it (DataField).
// The grid's current row is the record set's current record in both
// directions: writing Row moves the record set, reading Row reflects its
// position (-1 when there is no current record). Text is the current cell's
// value as text (Null gives ""). Refresh re-reads the rows (after a Sort
// they follow the new order) and keeps the columns. Without a data source
// the grid shows two unbound columns with empty captions, as the host's
// grid does; DataSource Nothing returns to that.
//
// Row and Col are zero-based. Columns keep their captions until DataSource
// is set again.
class DataGrid : public InputControl<DataGrid> {
 public:
  explicit DataGrid(std::string name = "");
  ~DataGrid() override;

  const Variant& DataSource() const { return dataSource_; }
  // An object: a Recordset binds the grid; Nothing or Empty unbinds it.
  // Another kind of object raises 13 (Type mismatch).
  void DataSource(const Variant& source);
  std::shared_ptr<Recordset> recordset() const { return recordset_; }
  const std::string& DataMember() const { return dataMember_; }
  void DataMember(std::string value);

  Columns& columns() const { return *columns_; }
  std::shared_ptr<Columns> columnsPtr() const { return columns_; }

  // Zero-based current row: the record set's position; -1 without a current record.
  std::int32_t Row() const;
  // Moves the record set to the row; raises 6148 ("Invalid row number") out of range.
  void Row(std::int32_t row);
  // The number of rows (the record set's record count; 0 unbound).
  std::int32_t RowCount() const;
  std::int32_t Col() const { return col_; }
  // Raises 6149 ("Invalid column number") outside 0..Columns.Count-1.
  void Col(std::int32_t col);
  // The current cell as text (Null gives ""). Raises when there is no current
  // record or column.
  std::string Text() const;
  // The cell at a row and column, as text, without moving anything.
  std::string cellText(std::int32_t row, std::int32_t col) const;
  void Refresh();

  const std::string& Caption() const { return caption_; }
  void Caption(std::string value);
  std::int32_t BackColor() const { return backColor_; }
  void BackColor(std::int32_t value);
  std::int32_t ForeColor() const { return foreColor_; }
  void ForeColor(std::int32_t value);
  const kiv::Font& font() const { return *font_; }
  std::shared_ptr<kiv::Font> FontPtr() const { return font_; }
  void Font(std::shared_ptr<kiv::Font> font);                // nullptr restores the default font
  std::int32_t BorderStyle() const { return borderStyle_; }  // 0 none, 1 fixed single
  void BorderStyle(std::int32_t value);

  // ---- Simulated input
  // A click on a column header: raises HeadClick(k).
  bool headClick(std::int16_t colIndex);
  // A click on a cell: MouseDown, focus, the current cell moves there
  // (RowColChange), MouseUp, Click.
  bool clickCell(std::int32_t row, std::int32_t col);

  struct Events : InputEvents {
    Event<> DblClick;
    Event<std::int16_t> HeadClick;  // ColIndex
    Event<std::int16_t, std::int16_t, float, float> MouseMove;
    Event<Variant, std::int16_t> RowColChange;  // LastRow, LastCol
  } events;

  std::string_view TypeName() const override { return "DataGrid"; }
  const MemberTable& memberTable() const override { return Members(); }
  static const MemberTable& Members();

 protected:
  // Up, Down, Home, End, PageUp, PageDown move the current row; Left and Right the column.
  void applyKeyDown(std::int16_t keyCode, std::int16_t shift) override;

 private:
  friend class Column;
  friend class Columns;
  void columnChanged(std::string_view property);
  void watch();
  void unwatch();
  void makeUnboundColumns();
  void makeBoundColumns();
  void moveTo(std::int32_t row, std::int32_t col);

  Variant dataSource_;
  std::shared_ptr<Recordset> recordset_;
  std::string dataMember_;
  std::shared_ptr<Columns> columns_;
  std::int32_t col_ = 0;
  std::string caption_;
  std::int32_t backColor_ = colour::WindowBackground;
  std::int32_t foreColor_ = colour::WindowText;
  std::shared_ptr<kiv::Font> font_;
  std::int32_t borderStyle_ = 1;
  bool boundColumns_ = false;
  Event<>::Id moveId_ = 0, changeId_ = 0, recordChangeId_ = 0;
};

}  // namespace kiv
