#pragma once

#include <QTableView>

#include "kiv/qt/ControlPeer.h"
#include "kiv/qt/RecordsetModel.h"

namespace kiv {
class DataGrid;
}

namespace kiv::qt {

// Shows a model DataGrid as a QTableView over a RecordsetModel. The view's
// current row is the record set's current record both ways: a click on a
// cell is the grid's clickCell (the record set moves), a move of the record
// set moves the view. A record set sorted by one of the grid's fields shows
// the sort indicator on that column's header. Header clicks raise HeadClick; double clicks, Enter
// and the other keys go through the grid's input entry points.
class DataGridPeer : public ControlPeer {
  Q_OBJECT
 public:
  explicit DataGridPeer(DataGrid& grid, QWidget* parent = nullptr);
  ~DataGridPeer() override;
  QTableView* tableView() const { return static_cast<QTableView*>(widget()); }
  RecordsetModel* model() const { return model_; }

  void detached(Control& control) override;

 protected:
  void showProperty(std::string_view name) override;
  bool mousePressed(QMouseEvent& event) override;
  bool mouseReleased(QMouseEvent& event) override;
  bool mouseDoubleClicked(QMouseEvent& event) override;

 private:
  void showColumns();
  void showSortIndicator();
  void showCurrent();
  void userHeadClick(int section);

  RecordsetModel* model_;
};

}  // namespace kiv::qt
