#include "kiv/qt/DataGridPeer.h"

#include <QHeaderView>
#include <QMouseEvent>

#include "kiv/data/Recordset.h"
#include "kiv/host/Column.h"
#include "kiv/host/Columns.h"
#include "kiv/host/DataGrid.h"
#include "kiv/qt/Units.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"

namespace kiv::qt {

DataGridPeer::DataGridPeer(DataGrid& grid, QWidget* parent)
    : ControlPeer(grid, new QTableView(parent)), model_(new RecordsetModel(grid, widget())) {
  QTableView* view = tableView();
  view->setModel(model_);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
  view->horizontalHeader()->setSectionsClickable(true);
  connect(view->horizontalHeader(), &QHeaderView::sectionClicked, this,
          &DataGridPeer::userHeadClick);
  watch(view->viewport());
  refresh();
}

DataGridPeer::~DataGridPeer() = default;

void DataGridPeer::detached(Control& control) {
  model_->forget();
  ControlPeer::detached(control);
}

void DataGridPeer::showProperty(std::string_view name) {
  auto* grid = static_cast<DataGrid*>(control());
  const bool all = name.empty();
  if (all || name == "DataSource" || name == "Columns" || name == "Refresh" || name == "Caption" ||
      name == "Width" || name == "Visible" || name == "DataField") {
    model_->reset();
    showColumns();
    showCurrent();
  } else if (name == "Row" || name == "Col") {
    showCurrent();
  }
  if (all || name == "BackColor" || name == "ForeColor") {
    showColours(grid->BackColor(), grid->ForeColor());
  }
  if (all || name == "BorderStyle") {
    tableView()->setFrameShape(grid->BorderStyle() == 0 ? QFrame::NoFrame : QFrame::StyledPanel);
  }
  if (all || name == "Font") {
    QFont font = tableView()->font();
    font.setFamilies({QString::fromStdString(grid->font().Name), font.family()});
    if (grid->font().Size > 0) font.setPointSizeF(grid->font().Size);
    font.setBold(grid->font().Bold);
    font.setItalic(grid->font().Italic);
    tableView()->setFont(font);
  }
}

void DataGridPeer::showColumns() {
  auto* grid = static_cast<DataGrid*>(control());
  const Columns& columns = grid->columns();
  for (std::int32_t i = 0; i < columns.Count(); ++i) {
    const Column& column = columns.Item(i);
    tableView()->setColumnHidden(i, !column.Visible());
    tableView()->setColumnWidth(i, TwipsToPixels(column.Width(), tableView()));
  }
  showSortIndicator();
  // A column is never narrower than its caption (with room for the sort
  // indicator), so friendly captions stay readable at the default widths.
  QHeaderView* header = tableView()->horizontalHeader();
  for (std::int32_t i = 0; i < columns.Count(); ++i) {
    const int needed = header->sectionSizeHint(i);
    if (header->sectionSize(i) < needed) tableView()->setColumnWidth(i, needed);
  }
}

void DataGridPeer::showSortIndicator() {
  // A record set sorted by one of the grid's fields marks that column's header.
  auto* grid = static_cast<DataGrid*>(control());
  QHeaderView* header = tableView()->horizontalHeader();
  std::string sort;
  if (auto rs = grid->recordset()) IgnoreErrors([&] { sort = rs->Sort(); });
  std::string field = Trim(sort);
  bool descending = false;
  const std::string upper = UCase(field);
  if (upper.size() > 5 && upper.ends_with(" DESC")) {
    descending = true;
    field = Trim(field.substr(0, field.size() - 5));
  } else if (upper.size() > 4 && upper.ends_with(" ASC")) {
    field = Trim(field.substr(0, field.size() - 4));
  }
  if (field.size() > 1 && field.front() == '[' && field.back() == ']')
    field = field.substr(1, field.size() - 2);
  int sorted = -1;
  if (!field.empty() && field.find(',') == std::string::npos) {
    const Columns& columns = grid->columns();
    for (std::int32_t i = 0; i < columns.Count() && sorted < 0; ++i)
      if (UCase(columns.Item(i).DataField()) == UCase(field)) sorted = i;
  }
  header->setSortIndicatorShown(sorted >= 0);
  if (sorted >= 0)
    header->setSortIndicator(sorted, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void DataGridPeer::showCurrent() {
  auto* grid = static_cast<DataGrid*>(control());
  const std::int32_t row = grid->Row();
  QItemSelectionModel* selection = tableView()->selectionModel();
  if (row < 0) {
    selection->clearSelection();
    return;
  }
  const QModelIndex index = model_->index(row, std::max(0, grid->Col()));
  if (!index.isValid()) return;
  selection->setCurrentIndex(index,
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  tableView()->scrollTo(index);
}

void DataGridPeer::userHeadClick(int section) {
  if (mirroring() || !control()) return;
  auto* grid = static_cast<DataGrid*>(control());
  fromUser([&] { grid->headClick(static_cast<std::int16_t>(section)); });
}

bool DataGridPeer::mousePressed(QMouseEvent& event) {
  auto* grid = static_cast<DataGrid*>(control());
  // The presses come from the view's viewport, in its coordinates.
  const QModelIndex index = tableView()->indexAt(event.position().toPoint());
  if (event.button() == Qt::LeftButton && index.isValid()) {
    // The grid's own click: MouseDown, focus, the current cell, MouseUp, Click.
    fromUser([&] { grid->clickCell(index.row(), index.column()); });
    return true;
  }
  ControlPeer::mousePressed(event);
  return true;
}

bool DataGridPeer::mouseReleased(QMouseEvent& event) {
  // A click on a cell was completed on the press; other presses end here.
  if (event.button() != Qt::LeftButton) ControlPeer::mouseReleased(event);
  return true;
}

bool DataGridPeer::mouseDoubleClicked(QMouseEvent& event) {
  const QModelIndex index = tableView()->indexAt(event.position().toPoint());
  if (event.button() == Qt::LeftButton && index.isValid()) {
    ControlPeer::mouseDoubleClicked(event);
    return true;
  }
  return true;
}

}  // namespace kiv::qt
