// The search dialog in a real Qt window, opened from the customers screen's
// search button and driven by real clicks and keys: a sizable, centred,
// named dialog, lists picked with the mouse, a find (the busy pointer it
// asks for is the headless dialog's test, the cursor it makes the Qt
// host's), the sort indicator, OK, Enter, double click, Escape and closing.
#ifdef KIV_QT_WITH_SCREEN

#include <functional>

#include <QAbstractItemView>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QScreen>
#include <QTableView>

#include "kiv/host/ComboBox.h"
#include "kiv/host/DataGrid.h"
#include "kiv/qt/Units.h"
#include "kiv/search/frmSearch.h"
#include "qt/SampleScreenTest.h"

namespace kiv::qt {
namespace {

class SearchWindow : public SampleScreenTest {
 protected:
  void SetUp() override {
    SampleScreenTest::SetUp();
    open("customers.json");
  }
  std::string code() { return uni("uniCode").txtText1().Text(); }
  // Presses the bar's search button; the driver acts in the open dialog.
  void searchWith(std::function<void(frmSearch&, QDialog&)> driver) {
    bool ran = false;
    host->onModalForm([&](Form& form, QWidget& dialog) {
      ran = true;
      EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
      QApplication::processEvents();
      driver(dynamic_cast<frmSearch&>(form), dynamic_cast<QDialog&>(dialog));
    });
    press(controller->cmdSearch());
    EXPECT_TRUE(ran);
    EXPECT_FALSE(frmSearch::Instance().IsLoaded());
  }
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
    // Every part is named for a screen reader: by its label, caption or the
    // dialog. (A list's name is its value on this platform; its label is a
    // relation.)
    EXPECT_EQ(field->accessibleName(), "Search Column");
    EXPECT_EQ(type->accessibleName(), "Type of Search");
    const auto labels = QAccessible::queryAccessibleInterface(field)->relations(QAccessible::Label);
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels.front().first->text(QAccessible::Name), "Search Column:");
    EXPECT_EQ(AccessibleName(find), "Find");
    EXPECT_EQ(AccessibleName(findNext), "Find");
    EXPECT_EQ(AccessibleName(grid), "Search");
    EXPECT_EQ(AccessibleName(Widget<QToolButton>(f.cmdOK())), "OK");

    Pick(field, "Customer name");
    Pick(type, "Containing");
    EXPECT_EQ(f.cmbSearchType().Text(), "Containing");
    QTest::keyClicks(find->lineEdit(), "s");
    EXPECT_EQ(f.cmbFind().Text(), "s");
    QTest::mouseClick(findNext, Qt::LeftButton);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // not left busy
    QTest::mouseClick(findNext, Qt::LeftButton);
    EXPECT_EQ(grid->currentIndex().row(), 1);  // Jones Ltd, the second match

    // The header shows the sort: the first click descending, the next ascending.
    QHeaderView* header = grid->horizontalHeader();
    ClickHeader(grid, 0);
    EXPECT_TRUE(header->isSortIndicatorShown());
    EXPECT_EQ(header->sortIndicatorSection(), 0);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(grid->model()->index(0, 0).data().toString(), "C5");
    QApplication::processEvents();
    SaveShot(dialog, "search.png");
    ClickHeader(grid, 0);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    EXPECT_EQ(grid->model()->index(0, 0).data().toString(), "C1");

    // A click on the third row and Enter in the grid accept it.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellCentre(grid, 2, 1));
    EXPECT_EQ(f.dbgData().Row(), 2);
    QTest::keyClick(grid, Qt::Key_Return);
  });
  EXPECT_EQ(code(), "C3");

  // A double click accepts; Escape cancels.
  searchWith([&](frmSearch& f, QDialog&) {
    QTableView* grid = Widget<QTableView>(f.dbgData());
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

}  // namespace
}  // namespace kiv::qt

#endif  // KIV_QT_WITH_SCREEN
