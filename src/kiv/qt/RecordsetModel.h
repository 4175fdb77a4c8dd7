#pragma once

#include <QAbstractTableModel>

namespace kiv {
class DataGrid;
}

namespace kiv::qt {

// A Qt table model over a data grid's record set: one column per grid
// column (its caption as the header), the rows read on demand through the
// grid (only the rows a view shows are asked for). reset() after the rows,
// their order or the columns changed.
class RecordsetModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit RecordsetModel(DataGrid& grid, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  void reset();
  // The grid has gone away: the model shows nothing from now on.
  void forget();
  // The number of cells read so far (rows are read only when shown).
  long cellsRead() const { return cellsRead_; }

 private:
  DataGrid* grid_;
  mutable long cellsRead_ = 0;
};

}  // namespace kiv::qt
