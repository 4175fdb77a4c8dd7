#include "kiv/host/Column.h"

#include "kiv/data/Field.h"
#include "kiv/data/Fields.h"
#include "kiv/data/Recordset.h"
#include "kiv/host/DataGrid.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"

namespace kiv {

Column::Column(DataGrid* grid, std::string caption, std::string dataField, double width)
    : grid_(grid), caption_(std::move(caption)), dataField_(std::move(dataField)), width_(width) {}

void Column::Caption(std::string value) {
  if (value == caption_) return;
  caption_ = std::move(value);
  if (grid_) grid_->columnChanged("Columns");
}

void Column::DataField(std::string value) {
  if (value == dataField_) return;
  dataField_ = std::move(value);
  if (grid_) grid_->columnChanged("Columns");
}

void Column::Width(double value) {
  if (value == width_) return;
  width_ = value;
  if (grid_) grid_->columnChanged("Columns");
}

void Column::Visible(bool value) {
  if (value == visible_) return;
  visible_ = value;
  if (grid_) grid_->columnChanged("Columns");
}

std::int32_t Column::ColIndex() const {
  if (!grid_) return -1;
  const auto& items = grid_->columns().items();
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].get() == this) return static_cast<std::int32_t>(i);
  }
  return -1;
}

Variant Column::Value() const {
  auto rs = grid_ ? grid_->recordset() : nullptr;
  if (!rs || rs->State() == 0) {
    throw Error(6148, "DataGrid", "Invalid row number: the grid has no data source");
  }
  return rs->Fields().Item(dataField_).Value();
}

std::string Column::Text() const {
  return TextOf(Value());
}

const MemberTable& Column::memberTable() const {
  using B = MemberTable::Builder<Column>;
  static const MemberTable table =
      B().property(
             "Caption", [](Column& c) { return Variant(c.Caption()); },
             [](Column& c, const Variant& v) { c.Caption(TextOf(v)); })
          .property(
              "DataField", [](Column& c) { return Variant(c.DataField()); },
              [](Column& c, const Variant& v) { c.DataField(CStr(v)); })
          .property(
              "Width", [](Column& c) { return Variant(c.Width()); },
              [](Column& c, const Variant& v) { c.Width(CDbl(v)); })
          .property(
              "Visible", [](Column& c) { return Variant(c.Visible()); },
              [](Column& c, const Variant& v) { c.Visible(CBool(v)); })
          .get("ColIndex", [](Column& c) { return Variant(c.ColIndex()); })
          .get("Value", [](Column& c) { return c.Value(); })
          .get("Text", [](Column& c) { return Variant(c.Text()); })
          .build();
  return table;
}

}  // namespace kiv
