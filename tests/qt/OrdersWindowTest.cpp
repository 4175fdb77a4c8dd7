// The samples' orders screen in a FormWindow: the customer's name in a
// read-only line edit beside the code, and the order lines in a table view
// with friendly headers that follows the current order through real clicks
// on the bar; an order of 100,000 lines shows without reading them all.
// (What the name and lines show as the user types, adds and deletes is the
// runner's orders tour.)
#ifdef KIV_QT_WITH_SCREEN

#include <chrono>
#include <cstdio>

#include <QTableView>

#include "kiv/description_grid/KivDesc.h"
#include "kiv/description_grid/KivDetGrid.h"
#include "kiv/host/DataGrid.h"
#include "kiv/qt/DataGridPeer.h"
#include "kiv/qt/RecordPosition.h"
#include "kiv/qt/Units.h"
#include "qt/SampleScreenTest.h"

namespace kiv::qt {
namespace {

using OrdersWindow = SampleScreenTest;

TEST_F(OrdersWindow, TheLinesAndTheCustomerNameFollowTheCurrentOrder) {
  // A last order of 100,000 lines.
  database()->Execute(
      "INSERT INTO Orders VALUES (2000, 'C2', '2024-05-01', 0, 'Big');"
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000) "
      "INSERT INTO OrderLines SELECT 2000, i, 'P' || (1 + i % 4), i % 7 + 1, 1.25 FROM n;");
  open("orders.json");
  auto& grid = dynamic_cast<KivDetGrid&>(*screen->control("grdLines"));
  auto* gridPeer = dynamic_cast<DataGridPeer*>(grid.DataGrid1().peer());
  QTableView* view = gridPeer->tableView();
  const auto cell = [&](int row, int col) {
    return view->model()->index(row, col).data().toString();
  };
  QLineEdit* name = qobject_cast<QLineEdit*>(
      WidgetOf(dynamic_cast<KivDesc&>(*screen->control("desCustomerName")).txtText1()));
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(name->text(), "Smith & Sons");
  EXPECT_TRUE(name->isReadOnly());
  EXPECT_EQ(name->palette().color(QPalette::Base),
            ToQColor(colour::ButtonFace, QApplication::palette()));
  ASSERT_TRUE(view->isVisible());
  QStringList headers;
  for (int c = 0; c < view->model()->columnCount(); ++c)
    headers << view->model()->headerData(c, Qt::Horizontal).toString();
  EXPECT_EQ(headers,
            (QStringList{"Line", "Product", "Description", "Quantity", "Unit price", "Amount"}));
  EXPECT_EQ(view->model()->rowCount(), 2);
  EXPECT_EQ(cell(1, 2), "Screwdriver set");
  // A screen reader names the grid by the label above it and the display by
  // the editor it describes.
  EXPECT_EQ(AccessibleName(view), "Order lines");
  EXPECT_EQ(AccessibleRole(view), QAccessible::Table);
  EXPECT_EQ(AccessibleName(name), "Description of Customer code");
  EXPECT_EQ(window->recordPosition()->text(), "Record 1 of 4");
  SaveShot(*window, "orders.png");

  press(controller->cmdNext());
  EXPECT_EQ(name->text(), "O'Brien Hardware");
  EXPECT_EQ(view->model()->rowCount(), 1);
  EXPECT_EQ(cell(0, 2), "Ladder");

  // The grid reads only the rows it shows.
  const auto start = std::chrono::steady_clock::now();
  press(controller->cmdLast());
  QApplication::processEvents();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start)
                      .count();
  EXPECT_EQ(name->text(), "Jones Ltd");
  EXPECT_EQ(view->model()->rowCount(), 100000);
  EXPECT_EQ(cell(0, 0), "1");
  const long read = gridPeer->model()->cellsRead();
  EXPECT_LT(read, 2000);
  std::printf(
      "[ figures  ] 100,000 lines: the move and the grid's re-open took %lld ms; %ld cells "
      "read to show them\n",
      static_cast<long long>(ms), read);
}

}  // namespace
}  // namespace kiv::qt

#endif  // KIV_QT_WITH_SCREEN
