// The samples' orders screen in a FormWindow: the customer's name in a
// read-only line edit beside the code, and the order lines in a table view
// with friendly headers that follows the current order through real clicks
// on the bar; an order of 100,000 lines shows without reading them all.
#ifdef KIV_QT_WITH_SCREEN

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include "kiv/data/Connection.h"
#include "kiv/description_grid/KivDesc.h"
#include "kiv/description_grid/KivDetGrid.h"
#include "kiv/field_editor/KivUni.h"
#include "kiv/form_controller/KivFormControl.h"
#include "kiv/host/CommandButton.h"
#include "kiv/host/DataGrid.h"
#include "kiv/host/Form.h"
#include "kiv/host/TextBox.h"
#include "kiv/qt/DataGridPeer.h"
#include "kiv/qt/FormWindow.h"
#include "kiv/qt/PeerFactory.h"
#include "kiv/qt/QtHost.h"
#include "kiv/qt/RecordPosition.h"
#include "kiv/qt/Units.h"
#include "kivform/Screen.h"

namespace kiv::qt {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class OrdersWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("kivqt-orders-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy_file(fs::path(KIV_SAMPLES_DIR) / "orders.json", dir / "orders.json");
    auto db = Connection::OpenNew("sqlite:" + (dir / "orders.db").string());
    db->Execute(ReadText(fs::path(KIV_SAMPLES_DIR) / "orders.sql"));
    db->Close();
    host = std::make_unique<QtHost>(QString::fromStdString((dir / "settings.ini").string()));
    Host::SetCurrent(host.get());
  }
  void TearDown() override {
    window.reset();
    screen.reset();
    Host::SetCurrent(nullptr);
    host.reset();
    fs::remove_all(dir);
  }

  void open() {
    screen = kivform::Screen::Load(dir / "orders.json");
    controller = std::dynamic_pointer_cast<KivFormControl>(screen->control("ctlForm"));
    ASSERT_TRUE(controller);
    ASSERT_TRUE(controller->OpenRecordset());
    window = std::make_unique<FormWindow>(screen->form());
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }

  KivDetGrid& grid() { return dynamic_cast<KivDetGrid&>(*screen->control("grdLines")); }
  QLineEdit* description() {
    auto& desc = dynamic_cast<KivDesc&>(*screen->control("desCustomerName"));
    return qobject_cast<QLineEdit*>(WidgetOf(desc.txtText1()));
  }
  QLineEdit* customerCode() {
    auto& uni = dynamic_cast<KivUni&>(*screen->control("uniCustomerCode"));
    return qobject_cast<QLineEdit*>(WidgetOf(uni.txtText1()));
  }
  DataGridPeer* gridPeer() { return dynamic_cast<DataGridPeer*>(grid().DataGrid1().peer()); }
  QTableView* table() { return gridPeer()->tableView(); }
  void press(CommandButton& b) {
    QTest::mouseClick(qobject_cast<QToolButton*>(WidgetOf(b)), Qt::LeftButton);
  }
  QString cell(int row, int col) { return table()->model()->index(row, col).data().toString(); }

  fs::path dir;
  std::unique_ptr<QtHost> host;
  std::unique_ptr<kivform::Screen> screen;
  std::shared_ptr<KivFormControl> controller;
  std::unique_ptr<FormWindow> window;
};

TEST_F(OrdersWindow, TheLinesAndTheCustomerNameFollowTheCurrentOrder) {
  open();
  QLineEdit* name = description();
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(name->text(), "Smith & Sons");
  EXPECT_TRUE(name->isReadOnly());
  EXPECT_EQ(name->palette().color(QPalette::Base),
            ToQColor(colour::ButtonFace, QApplication::palette()));
  QTableView* view = table();
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
  EXPECT_EQ(QAccessible::queryAccessibleInterface(view)->text(QAccessible::Name), "Order lines");
  EXPECT_EQ(QAccessible::queryAccessibleInterface(view)->role(), QAccessible::Table);
  EXPECT_EQ(QAccessible::queryAccessibleInterface(name)->text(QAccessible::Name),
            "Description of Customer code");
  EXPECT_EQ(window->recordPosition()->text(), "Record 1 of 3");
  QDir().mkpath(QStringLiteral(KIV_QT_SCREENSHOT_DIR));
  EXPECT_TRUE(window->grab().save(QStringLiteral(KIV_QT_SCREENSHOT_DIR "/orders.png")));

  press(controller->cmdNext());
  EXPECT_EQ(name->text(), "O'Brien Hardware");
  EXPECT_EQ(view->model()->rowCount(), 1);
  EXPECT_EQ(cell(0, 2), "Ladder");

  // A code typed by the user: the name follows when the field is left.
  QLineEdit* code = customerCode();
  QTest::mouseClick(code, Qt::LeftButton, {}, QPoint(4, 4));
  QTest::keyClick(code, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(code, "C2");
  QTest::mouseClick(description(), Qt::LeftButton, {}, QPoint(4, 4));
  EXPECT_EQ(name->text(), "Jones Ltd");

  // A new order has no lines; undoing the add brings the order back.
  QString prompt;
  host->onMessageBox([&](QMessageBox& box) {
    prompt = box.text();
    QTest::mouseClick(box.button(QMessageBox::No), Qt::LeftButton);
  });
  press(controller->cmdAdd());
  EXPECT_EQ(prompt, "Do you want to save your changes?");
  EXPECT_EQ(view->model()->rowCount(), 0);
  EXPECT_EQ(name->text(), "");
  press(controller->cmdUndoAdd());
  EXPECT_EQ(view->model()->rowCount(), 1);
  EXPECT_EQ(name->text(), "O'Brien Hardware");
}

// The grid reads only the rows it shows: an order of 100,000 lines shows its
// first rows with a few hundred cells read, and a click moves the grid's own
// current row without touching the order.
TEST_F(OrdersWindow, AHundredThousandLinesShowWithoutReadingThemAll) {
  {
    auto db = Connection::OpenNew("sqlite:" + (dir / "orders.db").string());
    db->Execute(
        "INSERT INTO Orders VALUES (2000, 'C2', '2024-05-01', 0, 'Big');"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000) "
        "INSERT INTO OrderLines SELECT 2000, i, 'P' || (1 + i % 4), i % 7 + 1, 1.25 FROM n;");
    db->Close();
  }
  open();
  const auto start = std::chrono::steady_clock::now();
  press(controller->cmdLast());
  QApplication::processEvents();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start)
                      .count();
  EXPECT_EQ(description()->text(), "Jones Ltd");
  QTableView* view = table();
  EXPECT_EQ(view->model()->rowCount(), 100000);
  EXPECT_EQ(cell(0, 0), "1");
  const long read = gridPeer()->model()->cellsRead();
  EXPECT_GT(read, 0);
  EXPECT_LT(read, 2000);
  std::printf(
      "[ figures  ] 100,000 lines: the move and the grid's re-open took %lld ms; %ld cells "
      "read to show them\n",
      static_cast<long long>(ms), read);

  const QRect second = view->visualRect(view->model()->index(1, 1));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, second.center());
  EXPECT_EQ(grid().Row(), 1);
  EXPECT_EQ(grid().CellText(), "P3");
  EXPECT_EQ(dynamic_cast<KivUni&>(*screen->control("uniOrderNo")).Text(), "2000");
}

}  // namespace
}  // namespace kiv::qt

#endif  // KIV_QT_WITH_SCREEN
