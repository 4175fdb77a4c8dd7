// The search dialog in a real Qt window, opened from the customers screen's
// search button and driven by real clicks and keys: friendly captions, a
// find with the busy cursor and the recent values in QSettings, the sort
// indicator, OK, Enter, double click and Escape; and a record source of a
// million rows whose grid reads only the rows it shows.
#ifdef KIV_QT_WITH_SCREEN

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QScreen>
#include <QSettings>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include "kiv/data/Connection.h"
#include "kiv/data/Recordset.h"
#include "kiv/field_editor/KivUni.h"
#include "kiv/form_controller/KivFormControl.h"
#include "kiv/host/ComboBox.h"
#include "kiv/host/CommandButton.h"
#include "kiv/host/DataGrid.h"
#include "kiv/host/TextBox.h"
#include "kiv/qt/FormWindow.h"
#include "kiv/qt/PeerFactory.h"
#include "kiv/qt/QtHost.h"
#include "kiv/qt/RecordsetModel.h"
#include "kiv/qt/Units.h"
#include "kiv/search/KivSearch.h"
#include "kiv/search/frmSearch.h"
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

// A QtHost that notes the application's cursor at every pointer change.
class CursorHost : public QtHost {
 public:
  using QtHost::QtHost;
  void SetMousePointer(int pointer) override {
    QtHost::SetMousePointer(pointer);
    const QCursor* cursor = QApplication::overrideCursor();
    cursors.push_back(cursor ? cursor->shape() : Qt::ArrowCursor);
  }
  std::vector<Qt::CursorShape> cursors;
};

class SearchWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("kivqt-search-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy_file(fs::path(KIV_SAMPLES_DIR) / "customers.json", dir / "customers.json");
    auto db = Connection::OpenNew("sqlite:" + (dir / "orders.db").string());
    db->Execute(ReadText(fs::path(KIV_SAMPLES_DIR) / "orders.sql"));
    db->Close();

    host = std::make_unique<CursorHost>(QString::fromStdString(settingsFile().string()));
    Host::SetCurrent(host.get());
    screen = kivform::Screen::Load(dir / "customers.json");
    controller = std::dynamic_pointer_cast<KivFormControl>(screen->control("ctlForm"));
    ASSERT_TRUE(controller);
    ASSERT_TRUE(controller->OpenRecordset());
    window = std::make_unique<FormWindow>(screen->form());
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }
  void TearDown() override {
    window.reset();
    screen.reset();
    Host::SetCurrent(nullptr);
    host.reset();
    fs::remove_all(dir);
  }

  fs::path settingsFile() const { return dir / "settings.ini"; }
  std::string code() {
    return dynamic_cast<KivUni&>(*screen->control("uniCode")).txtText1().Text();
  }
  // Presses the bar's search button; the driver acts in the open dialog.
  void searchWith(std::function<void(frmSearch&, QDialog&)> driver) {
    bool ran = false;
    host->onModalForm([&](Form& form, QWidget& dialog) {
      ran = true;
      EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
      QApplication::processEvents();
      driver(dynamic_cast<frmSearch&>(form), dynamic_cast<QDialog&>(dialog));
    });
    QTest::mouseClick(qobject_cast<QToolButton*>(WidgetOf(controller->cmdSearch())),
                      Qt::LeftButton);
    EXPECT_TRUE(ran);
    EXPECT_FALSE(frmSearch::Instance().IsLoaded());
  }

  fs::path dir;
  std::unique_ptr<CursorHost> host;
  std::unique_ptr<kivform::Screen> screen;
  std::shared_ptr<KivFormControl> controller;
  std::unique_ptr<FormWindow> window;
};

template <class W>
W* Widget(Control& control) {
  auto* w = qobject_cast<W*>(WidgetOf(control));
  EXPECT_NE(w, nullptr) << control.Name();
  return w;
}

// Opens a combo box's list and clicks the item.
void Pick(QComboBox* combo, const QString& text) {
  const int index = combo->findText(text);
  ASSERT_GE(index, 0) << text.toStdString();
  combo->showPopup();
  QAbstractItemView* list = combo->view();
  QTest::qWait(10);
  const QRect cell = list->visualRect(list->model()->index(index, 0));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
  QTest::qWait(10);
}

void ClickHeader(QTableView* view, int column) {
  QHeaderView* header = view->horizontalHeader();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                    QPoint(header->sectionViewportPosition(column) + 8, header->height() / 2));
}

QPoint CellCentre(QTableView* view, int row, int column) {
  return view->visualRect(view->model()->index(row, column)).center();
}

TEST_F(SearchWindow, FindSortAndAcceptWithRealClicksAndKeys) {
  searchWith([&](frmSearch& f, QDialog& dialog) {
    // A sizable dialog titled "Search", centred on the screen, no smaller than its layout allows.
    EXPECT_EQ(dialog.windowTitle(), "Search");
    EXPECT_TRUE(dialog.isModal());
    EXPECT_GE(dialog.minimumSize().width(), TwipsToPixels(frmSearch::kMinimumWidth, &dialog));
    EXPECT_GE(dialog.minimumSize().height(), TwipsToPixels(frmSearch::kMinimumHeight, &dialog));
    EXPECT_NE(dialog.minimumSize(), dialog.maximumSize());
    const QPoint centre = dialog.screen()->availableGeometry().center();
    EXPECT_LE((dialog.frameGeometry().center() - centre).manhattanLength(), 40);

    QComboBox* field = Widget<QComboBox>(f.cmbField());
    QComboBox* type = Widget<QComboBox>(f.cmbSearchType());
    QComboBox* find = Widget<QComboBox>(f.cmbFind());
    QTableView* grid = Widget<QTableView>(f.dbgData());
    QToolButton* findNext = Widget<QToolButton>(f.cmdFindNext());
    ASSERT_TRUE(field && type && find && grid && findNext);
    EXPECT_EQ(field->currentText(), "Customer code");
    // Every part is named for a screen reader: by its label, caption or the dialog.
    const auto named = [](QWidget* w) {
      return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).toStdString();
    };
    // (A list's name is its value on this platform; its label is a relation.)
    EXPECT_EQ(field->accessibleName(), "Search Column");
    EXPECT_EQ(type->accessibleName(), "Type of Search");
    const auto labels = QAccessible::queryAccessibleInterface(field)->relations(QAccessible::Label);
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels.front().first->text(QAccessible::Name), "Search Column:");
    EXPECT_EQ(named(find), "Find");
    EXPECT_EQ(named(findNext), "Find");
    EXPECT_EQ(named(grid), "Search");
    EXPECT_EQ(named(Widget<QToolButton>(f.cmdOK())), "OK");
    EXPECT_EQ(grid->model()->headerData(1, Qt::Horizontal).toString(), "Customer name");
    EXPECT_EQ(grid->model()->rowCount(), 5);

    Pick(field, "Customer name");
    Pick(type, "Containing");
    EXPECT_EQ(f.cmbSearchType().Text(), "Containing");
    QTest::keyClicks(find->lineEdit(), "s");
    EXPECT_EQ(f.cmbFind().Text(), "s");
    host->cursors.clear();
    QTest::mouseClick(findNext, Qt::LeftButton);
    // Busy while it searched, then the normal cursor again.
    ASSERT_FALSE(host->cursors.empty());
    EXPECT_EQ(host->cursors.front(), Qt::WaitCursor);
    EXPECT_EQ(host->cursors.back(), Qt::ArrowCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(findNext->text(), "&Find Next");
    EXPECT_EQ(grid->currentIndex().row(), 0);
    QTest::mouseClick(findNext, Qt::LeftButton);
    EXPECT_EQ(grid->currentIndex().row(), 1);  // Jones Ltd
    EXPECT_EQ(find->currentText(), "s");

    // The header shows the sort: the first click descending, the next ascending.
    QHeaderView* header = grid->horizontalHeader();
    ClickHeader(grid, 0);
    EXPECT_EQ(f.arsSearch_RecordSource->Sort(), "Code DESC");
    EXPECT_TRUE(header->isSortIndicatorShown());
    EXPECT_EQ(header->sortIndicatorSection(), 0);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(grid->model()->index(0, 0).data().toString(), "C5");
    QApplication::processEvents();
    QDir().mkpath(QStringLiteral(KIV_QT_SCREENSHOT_DIR));
    const QString shot = QStringLiteral(KIV_QT_SCREENSHOT_DIR "/search.png");
    EXPECT_TRUE(dialog.grab().save(shot)) << shot.toStdString();
    ClickHeader(grid, 0);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    EXPECT_EQ(grid->model()->index(0, 0).data().toString(), "C1");

    // A click on the third row and Enter in the grid accept it.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellCentre(grid, 2, 1));
    EXPECT_EQ(f.dbgData().Row(), 2);
    QTest::keyClick(grid, Qt::Key_Return);
  });
  EXPECT_EQ(code(), "C3");
  // The recent value is kept per user, in QSettings.
  QSettings stored(QString::fromStdString(settingsFile().string()), QSettings::IniFormat);
  EXPECT_EQ(stored.value("KivControls/Search/Find1").toString(), "s");

  // A double click accepts; Escape cancels.
  searchWith([&](frmSearch& f, QDialog&) {
    QTableView* grid = Widget<QTableView>(f.dbgData());
    EXPECT_EQ(f.cmbFind().ListCount(), 1);
    // A real double click begins with a click, which makes the row current.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellCentre(grid, 3, 0));
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, CellCentre(grid, 3, 0));
  });
  EXPECT_EQ(code(), "C4");
  searchWith([&](frmSearch& f, QDialog&) {
    QTableView* grid = Widget<QTableView>(f.dbgData());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellCentre(grid, 0, 0));
    QTest::keyClick(grid, Qt::Key_Escape);
  });
  EXPECT_EQ(code(), "C4");
  // Closing the window is a cancel too.
  searchWith([&](frmSearch&, QDialog& dialog) { dialog.close(); });
  EXPECT_EQ(code(), "C4");
}

TEST_F(SearchWindow, AMillionRowsOpenWithOnlyTheShownRowsRead) {
  auto db = Connection::OpenNew("sqlite:" + (dir / "big.db").string());
  db->Execute(
      "CREATE TABLE Big (Code VARCHAR(10), Name VARCHAR(20));"
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000000) "
      "INSERT INTO Big SELECT 'B' || i, 'Name ' || i FROM n;");
  auto rs = std::make_shared<Recordset>();
  rs->CursorLocation(adUseClient);
  rs->Open("SELECT * FROM Big", db, adOpenKeyset, adLockReadOnly);
  auto launcher = KivSearch::Create();
  launcher->Search_RecordSource(rs);
  launcher->Return_Fields("Code");
  host->onModalForm([&](Form& form, QWidget&) {
    auto& f = dynamic_cast<frmSearch&>(form);
    QTableView* grid = Widget<QTableView>(f.dbgData());
    ASSERT_NE(grid, nullptr);
    QApplication::processEvents();
    EXPECT_EQ(grid->model()->rowCount(), 1000000);
    auto* model = qobject_cast<RecordsetModel*>(grid->model());
    ASSERT_NE(model, nullptr);
    EXPECT_LT(model->cellsRead(), 2000);
    // The last row is there when the user goes to it.
    QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(f.dbgData().Row(), 999999);
    QTest::mouseClick(Widget<QToolButton>(f.cmdOK()), Qt::LeftButton);
  });
  launcher->ShowSearch(1, Variant());
  EXPECT_EQ(launcher->Return_Value(), Variant(Array::Of({Variant("B1000000")})));
}

}  // namespace
}  // namespace kiv::qt

#endif  // KIV_QT_WITH_SCREEN
