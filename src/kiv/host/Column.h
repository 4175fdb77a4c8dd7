#pragma once

#include <cstdint>
#include <string>

#include "kiv/runtime/Dispatch.h"

namespace kiv {

class DataGrid;

// One column of a data grid: its caption (header text), the field it shows
// (DataField) and its width in twips. Text and Value read the column's cell
// in the grid's current row.
class Column : public Dispatch {
 public:
  Column(DataGrid* grid, std::string caption, std::string dataField, double width = 1500);

  const std::string& Caption() const { return caption_; }
  void Caption(std::string value);
  const std::string& DataField() const { return dataField_; }
  void DataField(std::string value);
  double Width() const { return width_; }
  void Width(double value);
  bool Visible() const { return visible_; }
  void Visible(bool value);
  // The column's position in the grid, or -1 once it has been removed.
  std::int32_t ColIndex() const;
  // The cell of the current row: its value, and that value as text (Null: "").
  Variant Value() const;
  std::string Text() const;

  DataGrid* grid() const { return grid_; }

  std::string_view TypeName() const override { return "Column"; }
  const MemberTable& memberTable() const override;

 private:
  friend class DataGrid;
  friend class Columns;
  DataGrid* grid_;
  std::string caption_;
  std::string dataField_;
  double width_;
  bool visible_ = true;
};

}  // namespace kiv
