#include "kiv/qt/RecordsetModel.h"

#include "kiv/host/Column.h"
#include "kiv/host/Columns.h"
#include "kiv/host/DataGrid.h"
#include "kiv/runtime/Error.h"

namespace kiv::qt {

RecordsetModel::RecordsetModel(DataGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(&grid) {}

int RecordsetModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || !grid_) return 0;
  try {
    return grid_->RowCount();
  } catch (const Error&) {
    return 0;  // a closed record set shows no rows
  }
}

int RecordsetModel::columnCount(const QModelIndex& parent) const {
  if (parent.isValid() || !grid_) return 0;
  return grid_->columns().Count();
}

QVariant RecordsetModel::data(const QModelIndex& index, int role) const {
  if (!grid_ || !index.isValid() || role != Qt::DisplayRole) return QVariant();
  try {
    ++cellsRead_;
    return QString::fromStdString(grid_->cellText(index.row(), index.column()));
  } catch (const Error&) {
    return QVariant();  // a row deleted under the view shows empty
  }
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (!grid_ || role != Qt::DisplayRole) return QVariant();
  if (orientation == Qt::Vertical) return QVariant();
  if (section < 0 || section >= grid_->columns().Count()) return QVariant();
  return QString::fromStdString(grid_->columns().Item(section).Caption());
}

void RecordsetModel::reset() {
  beginResetModel();
  endResetModel();
}

void RecordsetModel::forget() {
  beginResetModel();
  grid_ = nullptr;
  endResetModel();
}

}  // namespace kiv::qt
