#include "kiv/host/DataGrid.h"

#include <algorithm>

#include "kiv/data/Field.h"
#include "kiv/data/Fields.h"
#include "kiv/data/Recordset.h"
#include "kiv/host/ColourValue.h"
#include "kiv/host/Form.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"

namespace kiv {

namespace {
constexpr std::int32_t kInvalidRowNumber = 6148;
constexpr std::int32_t kInvalidColumnNumber = 6149;
constexpr std::int32_t kPageRows = 10;

bool IsOpen(const std::shared_ptr<Recordset>& rs) {
  return rs && rs->State() != 0;
}
}  // namespace

DataGrid::DataGrid(std::string name)
    : InputControl(std::move(name)),
      columns_(std::make_shared<Columns>(this)),
      font_(std::make_shared<kiv::Font>()) {
  makeUnboundColumns();
}

DataGrid::~DataGrid() {
  unwatch();
  columns_->clearAll();
  columns_->grid_ = nullptr;
}

void DataGrid::watch() {
  if (!recordset_) return;
  moveId_ = recordset_->events.MoveComplete.connect([this] { notify("Row"); });
  changeId_ = recordset_->events.RecordsetChangeComplete.connect([this] {
    // A record set opened after it was bound gets its columns now.
    if (IsOpen(recordset_) && !boundColumns_) {
      col_ = 0;
      makeBoundColumns();
      notify("Columns");
    }
    notify("Refresh");
  });
  recordChangeId_ = recordset_->events.RecordChangeComplete.connect([this] { notify("Refresh"); });
}

void DataGrid::unwatch() {
  if (!recordset_) return;
  recordset_->events.MoveComplete.disconnect(moveId_);
  recordset_->events.RecordsetChangeComplete.disconnect(changeId_);
  recordset_->events.RecordChangeComplete.disconnect(recordChangeId_);
}

void DataGrid::makeUnboundColumns() {
  columns_->clearAll();
  boundColumns_ = false;
  // The host's grid shows two empty, unbound columns without a data source.
  for (int i = 0; i < 2; ++i) {
    columns_->items_.push_back(std::make_shared<Column>(this, "", ""));
  }
}

void DataGrid::makeBoundColumns() {
  columns_->clearAll();
  boundColumns_ = true;
  kiv::Fields& fields = recordset_->Fields();
  for (std::int32_t i = 0; i < fields.Count(); ++i) {
    const std::string& name = fields.Item(i).Name();
    columns_->items_.push_back(std::make_shared<Column>(this, name, name));
  }
}

void DataGrid::DataSource(const Variant& source) {
  std::shared_ptr<Recordset> rs;
  if (!source.isEmpty() && !source.isNothing()) {
    if (!source.isObject()) {
      throw Error(err::TypeMismatch, Name(), "Type mismatch: a grid's DataSource is an object");
    }
    rs = std::dynamic_pointer_cast<Recordset>(source.object());
    if (!rs) {
      throw Error(err::TypeMismatch, Name(),
                  "Type mismatch: a grid's DataSource must be a record set, not " +
                      std::string(source.object()->TypeName()));
    }
  }
  unwatch();
  recordset_ = rs;
  dataSource_ = rs ? source : Variant::Nothing();
  watch();
  col_ = 0;
  if (IsOpen(recordset_)) {
    makeBoundColumns();
  } else {
    makeUnboundColumns();
  }
  notify("DataSource");
  notify("Columns");
}

void DataGrid::DataMember(std::string value) {
  if (value == dataMember_) return;
  dataMember_ = std::move(value);
  notify("DataMember");
}

std::int32_t DataGrid::Row() const {
  if (!IsOpen(recordset_)) return -1;
  return recordset_->CurrentVisibleRow();
}

std::int32_t DataGrid::RowCount() const {
  return IsOpen(recordset_) ? recordset_->VisibleRowCount() : 0;
}

void DataGrid::Row(std::int32_t row) {
  if (!IsOpen(recordset_) || row < 0 || row >= recordset_->VisibleRowCount()) {
    throw Error(kInvalidRowNumber, Name(), "Invalid row number: " + std::to_string(row));
  }
  moveTo(row, col_);
}

void DataGrid::Col(std::int32_t col) {
  if (col < 0 || col >= columns_->Count()) {
    throw Error(kInvalidColumnNumber, Name(), "Invalid column number: " + std::to_string(col));
  }
  moveTo(Row(), col);
}

void DataGrid::moveTo(std::int32_t row, std::int32_t col) {
  Variant lastRow = Variant(Row());
  std::int16_t lastCol = static_cast<std::int16_t>(col_);
  const bool rowMoves = row >= 0 && row != Row();
  const bool colMoves = col != col_;
  if (!rowMoves && !colMoves) return;
  if (rowMoves) recordset_->AbsolutePosition(row + 1);
  col_ = col;
  if (rowMoves) notify("Row");
  if (colMoves) notify("Col");
  events.RowColChange.raise(lastRow, lastCol);
}

std::string DataGrid::Text() const {
  if (!IsOpen(recordset_)) {
    throw Error(kInvalidRowNumber, Name(), "Invalid row number: the grid has no data source");
  }
  if (col_ < 0 || col_ >= columns_->Count()) {
    throw Error(kInvalidColumnNumber, Name(), "Invalid column number: " + std::to_string(col_));
  }
  return TextOf(recordset_->Fields().Item(columns_->Item(col_).DataField()).Value());
}

std::string DataGrid::cellText(std::int32_t row, std::int32_t col) const {
  if (!IsOpen(recordset_) || row < 0 || row >= recordset_->VisibleRowCount()) {
    throw Error(kInvalidRowNumber, Name(), "Invalid row number: " + std::to_string(row));
  }
  if (col < 0 || col >= columns_->Count()) {
    throw Error(kInvalidColumnNumber, Name(), "Invalid column number: " + std::to_string(col));
  }
  kiv::Fields& fields = recordset_->Fields();
  const std::int32_t index = fields.IndexOf(columns_->Item(col).DataField());
  if (index < 0) throw Error(err::ItemNotFound, Name());
  return TextOf(recordset_->ValueAt(row, index));
}

void DataGrid::Refresh() {
  col_ = std::clamp(col_, 0, std::max(0, columns_->Count() - 1));
  notify("Refresh");
}

void DataGrid::columnChanged(std::string_view property) {
  notify(property);
}

void DataGrid::Caption(std::string value) {
  if (value == caption_) return;
  caption_ = std::move(value);
  notify("Caption");
}

void DataGrid::BackColor(std::int32_t value) {
  if (value == backColor_) return;
  backColor_ = value;
  notify("BackColor");
}

void DataGrid::ForeColor(std::int32_t value) {
  if (value == foreColor_) return;
  foreColor_ = value;
  notify("ForeColor");
}

void DataGrid::Font(std::shared_ptr<kiv::Font> font) {
  font_ = font ? std::move(font) : std::make_shared<kiv::Font>();
  notify("Font");
}

void DataGrid::BorderStyle(std::int32_t value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  notify("BorderStyle");
}

bool DataGrid::headClick(std::int16_t colIndex) {
  if (!canTakeInput() || colIndex < 0 || colIndex >= columns_->Count()) return false;
  events.HeadClick.raise(colIndex);
  return true;
}

bool DataGrid::clickCell(std::int32_t row, std::int32_t col) {
  if (!IsOpen(recordset_) || row < 0 || row >= recordset_->VisibleRowCount() || col < 0 ||
      col >= columns_->Count()) {
    return false;
  }
  if (!mouseDown(1, 0, 0, 0)) return false;
  auto keep = weak_from_this().lock();
  if (Form::ModalShowCount() != pressModalCount()) return true;  // a modal form took the mouse
  if (IsOpen(recordset_) && row < recordset_->VisibleRowCount() && col < columns_->Count()) {
    moveTo(row, col);
  }
  mouseRelease(0, 0);
  return true;
}

void DataGrid::applyKeyDown(std::int16_t keyCode, std::int16_t shift) {
  if (keyCode == key::Left || keyCode == key::Right) {
    const std::int32_t col = col_ + (keyCode == key::Left ? -1 : 1);
    if (col >= 0 && col < columns_->Count()) moveTo(Row(), col);
    return;
  }
  if (!IsOpen(recordset_)) return;
  const std::int32_t count = recordset_->VisibleRowCount();
  if (count == 0) return;
  const std::int32_t row = Row();
  std::int32_t target = row;
  const bool ctrl = (shift & key::CtrlMask) != 0;
  switch (keyCode) {
    case key::Up:
      target = row < 0 ? count - 1 : row - 1;
      break;
    case key::Down:
      target = row < 0 ? 0 : row + 1;
      break;
    case key::PageUp:
      target = row - kPageRows;
      break;
    case key::PageDown:
      target = row + kPageRows;
      break;
    case key::Home:
      if (!ctrl) return;
      target = 0;
      break;
    case key::End:
      if (!ctrl) return;
      target = count - 1;
      break;
    default:
      return;
  }
  target = std::clamp(target, 0, count - 1);
  if (target != row) moveTo(target, col_);
}

const MemberTable& DataGrid::Members() {
  using B = MemberTable::Builder<DataGrid>;
  static const MemberTable table =
      B(&Control::Members())
          .objectProperty(
              "DataSource", [](DataGrid& g) { return g.DataSource(); },
              [](DataGrid& g, const Variant& v) { g.DataSource(v); })
          .property(
              "DataMember", [](DataGrid& g) { return Variant(g.DataMember()); },
              [](DataGrid& g, const Variant& v) { g.DataMember(CStr(v)); })
          .getIndexed(
              "Columns",
              [](DataGrid& g, B::Args& a) {
                if (a.empty()) return Variant(g.columnsPtr());
                const Variant& key = Arg(a, 0);
                if (key.isString()) {
                  return Variant(g.columns().Item(key.string()).weak_from_this().lock());
                }
                return Variant(std::static_pointer_cast<Dispatch>(g.columns().ItemPtr(CLng(key))));
              })
          .property(
              "Row", [](DataGrid& g) { return Variant(g.Row()); },
              [](DataGrid& g, const Variant& v) { g.Row(CLng(v)); })
          .property(
              "Col", [](DataGrid& g) { return Variant(g.Col()); },
              [](DataGrid& g, const Variant& v) { g.Col(CLng(v)); })
          .get("Text", [](DataGrid& g) { return Variant(g.Text()); })
          .get("ApproxCount", [](DataGrid& g) { return Variant(g.RowCount()); })
          .method("Refresh",
                  [](DataGrid& g, B::Args&) {
                    g.Refresh();
                    return Variant();
                  })
          .property(
              "Caption", [](DataGrid& g) { return Variant(g.Caption()); },
              [](DataGrid& g, const Variant& v) { g.Caption(TextOf(v)); })
          .property(
              "BackColor", [](DataGrid& g) { return Variant(g.BackColor()); },
              [](DataGrid& g, const Variant& v) { g.BackColor(ColourValue(v)); })
          .property(
              "ForeColor", [](DataGrid& g) { return Variant(g.ForeColor()); },
              [](DataGrid& g, const Variant& v) { g.ForeColor(ColourValue(v)); })
          .objectProperty(
              "Font", [](DataGrid& g) { return Variant(g.FontPtr()); },
              [](DataGrid& g, const Variant& v) {
                auto font = ObjectAs<kiv::Font>(v);
                if (!v.isNothing() && !font) {
                  throw Error(err::TypeMismatch, g.Name(), "Type mismatch: Font needs a font");
                }
                g.Font(font);
              })
          .property(
              "BorderStyle", [](DataGrid& g) { return Variant(g.BorderStyle()); },
              [](DataGrid& g, const Variant& v) { g.BorderStyle(CLng(v)); })
          .build();
  return table;
}

}  // namespace kiv
