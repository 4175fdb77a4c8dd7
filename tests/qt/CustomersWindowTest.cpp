// The samples' customers screen in a FormWindow, driven by Qt's simulated
// clicks and keys: navigation refills the line edits, Ctrl+S saves, the field
// colours, the record position in the status bar, accessible names and the
// tab order, the shortcuts the tool tips name, and the calendar from the date
// button. (The save prompt, answered with real keys, is in the gui tests.)
#ifdef KIV_QT_WITH_SCREEN

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

#include "kiv/data/Connection.h"
#include "kiv/data/Field.h"
#include "kiv/data/Recordset.h"
#include "kiv/field_editor/KivUni.h"
#include "kiv/form_controller/KivFormControl.h"
#include "kiv/host/CheckBox.h"
#include "kiv/host/CommandButton.h"
#include "kiv/host/DataGrid.h"
#include "kiv/host/Form.h"
#include "kiv/host/TextBox.h"
#include "kiv/qt/ControlPeer.h"
#include "kiv/qt/FocusFrame.h"
#include "kiv/qt/FormWindow.h"
#include "kiv/qt/PeerFactory.h"
#include "kiv/qt/QtHost.h"
#include "kiv/qt/RecordPosition.h"
#include "kiv/qt/Units.h"
#include "kiv/runtime/Conversions.h"
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

void SaveShot(QWidget& widget, const QString& name) {
  QDir().mkpath(QStringLiteral(KIV_QT_SCREENSHOT_DIR));
  const QString path = QStringLiteral(KIV_QT_SCREENSHOT_DIR "/") + name;
  EXPECT_TRUE(widget.grab().save(path)) << path.toStdString();
}

// What a screen reader is told about a widget.
QString AccessibleName(QWidget* widget) {
  QAccessibleInterface* a = widget ? QAccessible::queryAccessibleInterface(widget) : nullptr;
  return a ? a->text(QAccessible::Name) : QString();
}
QAccessible::Role AccessibleRole(QWidget* widget) {
  QAccessibleInterface* a = widget ? QAccessible::queryAccessibleInterface(widget) : nullptr;
  return a ? a->role() : QAccessible::NoRole;
}

class CustomersWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("kivqt-customers-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy_file(fs::path(KIV_SAMPLES_DIR) / "customers.json", dir / "customers.json");
    auto db = Connection::OpenNew("sqlite:" + (dir / "orders.db").string());
    db->Execute(ReadText(fs::path(KIV_SAMPLES_DIR) / "orders.sql"));
    db->Close();

    host = std::make_unique<QtHost>(QString::fromStdString((dir / "settings.ini").string()));
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

  KivUni& uni(const char* name) { return dynamic_cast<KivUni&>(*screen->control(name)); }
  QLineEdit* edit(const char* name) {
    return qobject_cast<QLineEdit*>(WidgetOf(uni(name).txtText1()));
  }
  QToolButton* button(CommandButton& b) { return qobject_cast<QToolButton*>(WidgetOf(b)); }
  QString position() const { return window->recordPosition()->text(); }
  std::string scalar(const std::string& sql) {
    auto db = Connection::OpenNew("sqlite:" + (dir / "orders.db").string());
    Recordset rs;
    rs.Open(sql, db);
    return rs.EOF() ? "<none>" : TextOf(rs[0].Value());
  }
  // Replaces a field's text as a user does: click into it, select all, type.
  void retype(QLineEdit* line, const QString& text) {
    QTest::mouseClick(line, Qt::LeftButton, {}, QPoint(4, 4));
    QTest::keyClick(line, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(line, text);
  }

  fs::path dir;
  std::unique_ptr<QtHost> host;
  std::unique_ptr<kivform::Screen> screen;
  std::shared_ptr<KivFormControl> controller;
  std::unique_ptr<FormWindow> window;
};

TEST_F(CustomersWindow, ShowsTheScreenAndRealClicksOnTheBarMoveTheRecord) {
  QLineEdit* code = edit("uniCode");
  ASSERT_NE(code, nullptr);
  const QString first = code->text();
  EXPECT_FALSE(first.isEmpty());
  EXPECT_EQ(code->text().toStdString(), uni("uniCode").txtText1().Text());
  // The bar is square: nine buttons as tall as they are wide.
  QToolButton* next = button(controller->cmdNext());
  ASSERT_NE(next, nullptr);
  EXPECT_NEAR(next->width(), next->height(), 1);
  EXPECT_FALSE(next->icon().isNull());
  EXPECT_EQ(next->toolTip(), "Move to the next record (Ctrl+N)");
  // A required field shows cyan.
  EXPECT_EQ(edit("uniName")->palette().color(QPalette::Base), QColor(0, 255, 255));
  SaveShot(*window, "customers.png");

  QTest::mouseClick(next, Qt::LeftButton);
  EXPECT_NE(code->text(), first);
  EXPECT_EQ(code->text().toStdString(), uni("uniCode").txtText1().Text());
  EXPECT_EQ(edit("uniName")->text().toStdString(), uni("uniName").txtText1().Text());
  QTest::mouseClick(button(controller->cmdPrevious()), Qt::LeftButton);
  EXPECT_EQ(code->text(), first);
}

TEST_F(CustomersWindow, TypingAndCtrlSOnTheBarSavesToTheDatabase) {
  const std::string code = uni("uniCode").txtText1().Text();
  retype(edit("uniName"), "Renamed Customer");
  EXPECT_EQ(uni("uniName").txtText1().Text(), "Renamed Customer");
  // The shortcuts belong to the bar: the focus goes there, then Ctrl+S.
  QToolButton* save = button(controller->cmdSave());
  save->setFocus(Qt::TabFocusReason);
  EXPECT_TRUE(controller->cmdSave().HasFocus());
  QTest::keyClick(save, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(scalar("SELECT Name FROM Customers WHERE Code = '" + code + "'"), "Renamed Customer");
}

TEST_F(CustomersWindow, AnInvalidNumberTurnsTheFieldRed) {
  QLineEdit* credit = edit("uniCreditLimit");
  retype(credit, "12x");
  // Leaving the field validates it.
  QTest::mouseClick(edit("uniName"), Qt::LeftButton, {}, QPoint(4, 4));
  EXPECT_EQ(credit->palette().color(QPalette::Base), QColor(255, 0, 0));
  SaveShot(*window, "customers-invalid.png");
}

// The status bar follows every move, add, undo, save, delete and search,
// reading the record set without moving it, and a screen reader reads it;
// an empty set says so.
TEST_F(CustomersWindow, TheStatusBarShowsWhereTheRecordSetStands) {
  ASSERT_NE(window->recordPosition(), nullptr);
  EXPECT_EQ(AccessibleRole(window->statusBar()), QAccessible::StatusBar);
  EXPECT_EQ(position(), "Record 1 of 5");
  EXPECT_EQ(AccessibleName(window->recordPosition()), "Record 1 of 5");
  // The bar sits below the form: the form keeps its whole client area.
  EXPECT_EQ(window->statusBar()->geometry().top(),
            TwipsToPixels(screen->form().Height(), window.get()));

  QTest::mouseClick(button(controller->cmdNext()), Qt::LeftButton);
  EXPECT_EQ(position(), "Record 2 of 5");
  QTest::mouseClick(button(controller->cmdLast()), Qt::LeftButton);
  EXPECT_EQ(position(), "Record 5 of 5");
  EXPECT_EQ(AccessibleName(window->recordPosition()), "Record 5 of 5");

  // Reading the position never moves the record set.
  int moves = 0;
  const auto rs = controller->Form_Recordset();
  const auto id = rs->events.MoveComplete.connect([&] { ++moves; });
  for (int i = 0; i < 3; ++i)
    window->recordPosition()->refresh();
  EXPECT_EQ(RecordPosition::TextFor(*controller), "Record 5 of 5");
  EXPECT_EQ(moves, 0);
  EXPECT_EQ(rs->AbsolutePosition(), 5);
  rs->events.MoveComplete.disconnect(id);

  QTest::mouseClick(button(controller->cmdAdd()), Qt::LeftButton);
  EXPECT_EQ(position(), "New record");
  QTest::mouseClick(button(controller->cmdUndoAdd()), Qt::LeftButton);
  EXPECT_EQ(position(), "Record 5 of 5");

  // A saved new record is counted, and the bar shows where it stands.
  QTest::mouseClick(button(controller->cmdAdd()), Qt::LeftButton);
  retype(edit("uniCode"), "C9");
  retype(edit("uniName"), "Nine Ltd");
  QTest::mouseClick(button(controller->cmdSave()), Qt::LeftButton);
  ASSERT_EQ(scalar("SELECT Name FROM Customers WHERE Code = 'C9'"), "Nine Ltd");
  EXPECT_EQ(position(),
            QStringLiteral("Record %1 of 6").arg(controller->Form_Recordset()->AbsolutePosition()));
  EXPECT_EQ(uni("uniCode").txtText1().Text(), "C9");

  // A delete, answered Yes.
  host->onMessageBox([](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
  QTest::mouseClick(button(controller->cmdDelete()), Qt::LeftButton);
  host->onMessageBox(nullptr);
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM Customers"), "5");
  EXPECT_TRUE(position().endsWith(" of 5")) << position().toStdString();

  // A search that takes the third row.
  host->onModalForm([](Form& form, QWidget&) {
    auto& search = dynamic_cast<frmSearch&>(form);
    search.dbgData().clickCell(2, 0);
    search.cmdOK().click();
  });
  QTest::mouseClick(button(controller->cmdSearch()), Qt::LeftButton);
  EXPECT_EQ(uni("uniCode").txtText1().Text(), "C3");
  EXPECT_EQ(position(), "Record 3 of 5");

  // No rows: adding and undoing go back to "No records".
  controller->Filter("Code = 'none'");
  ASSERT_TRUE(controller->OpenRecordset());
  EXPECT_EQ(position(), "No records");
  QTest::mouseClick(button(controller->cmdAdd()), Qt::LeftButton);
  EXPECT_EQ(position(), "New record");
  QTest::mouseClick(button(controller->cmdUndoAdd()), Qt::LeftButton);
  EXPECT_EQ(position(), "No records");

  // An application that shows the position itself leaves the bar out.
  FormWindow embedded(screen->form(), nullptr, FormWindow::StatusBar::Hidden);
  EXPECT_EQ(embedded.recordPosition(), nullptr);
  EXPECT_EQ(embedded.height(), TwipsToPixels(screen->form().Height(), &embedded));
}

// Every control says what it is; Tab walks every enabled control in the tab
// order (the bar's buttons included) and back with Shift+Tab, the focus ring
// following; each bar button's tool tip names the shortcut that presses it.
TEST_F(CustomersWindow, AccessibleNamesTabOrderAndTheShortcutsInTheToolTips) {
  EXPECT_EQ(AccessibleName(button(controller->cmdNext())), "Move to the next record");
  EXPECT_EQ(AccessibleRole(button(controller->cmdNext())), QAccessible::Button);
  EXPECT_EQ(AccessibleName(WidgetOf(*controller)), "Record navigation");
  EXPECT_EQ(AccessibleRole(WidgetOf(*controller)), QAccessible::ToolBar);
  EXPECT_EQ(AccessibleName(edit("uniName")), "Name");
  EXPECT_EQ(AccessibleRole(edit("uniName")), QAccessible::EditableText);
  EXPECT_EQ(AccessibleName(WidgetOf(uni("uniName"))), "Name");
  EXPECT_EQ(AccessibleRole(WidgetOf(uni("uniName"))), QAccessible::Grouping);
  EXPECT_EQ(AccessibleName(WidgetOf(*screen->control("txtEmail"))), "Email");
  EXPECT_EQ(AccessibleName(WidgetOf(*screen->control("chkActive"))), "Active");
  EXPECT_EQ(AccessibleName(WidgetOf(uni("uniNewsletter").chkCheck1())), "Newsletter");
  EXPECT_EQ(AccessibleRole(WidgetOf(uni("uniNewsletter").chkCheck1())), QAccessible::CheckBox);
  QToolButton* dateButton = button(uni("uniSince").cmdFunction());
  EXPECT_EQ(AccessibleName(dateButton), "Pick a date for Customer since");
  EXPECT_EQ(dateButton->toolTip(), "Pick a date (Ctrl+F)");
  EXPECT_EQ(qobject_cast<QLabel*>(WidgetOf(*screen->control("lblName")))->buddy(), edit("uniName"));
  // Nothing visible goes unnamed.
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (!ControlPeer::of(w) || !w->isVisible()) continue;
    EXPECT_FALSE(AccessibleName(w).isEmpty()) << w->objectName().toStdString();
    EXPECT_NE(AccessibleRole(w), QAccessible::NoRole) << w->objectName().toStdString();
  }

  const std::vector<std::string> order = {
      "cmdFirst",  "cmdPrevious",    "cmdNext",     "cmdLast",  "cmdAdd",
      "cmdDelete", "cmdSave",        "cmdSearch",   "uniCode",  "uniName",
      "txtEmail",  "uniCreditLimit", "uniDiscount", "uniSince", "uniSince.cmdFunction",
      "chkActive", "uniNewsletter"};
  const auto nameOf = [](QWidget* w) {
    std::string name = w ? w->objectName().toStdString() : "(none)";
    QWidget* parent = w ? w->parentWidget() : nullptr;
    if (name == "txtText1" || name == "chkCheck1") return parent->objectName().toStdString();
    if (name == "cmdFunction") return parent->objectName().toStdString() + ".cmdFunction";
    return name;
  };
  // The window opened with the focus on the first control of the tab order.
  EXPECT_TRUE(controller->cmdFirst().HasFocus());
  EXPECT_EQ(QApplication::focusWidget(), button(controller->cmdFirst()));
  auto* ring = window->findChild<FocusFrame*>();
  ASSERT_NE(ring, nullptr);
  std::vector<std::string> visited;
  for (std::size_t i = 0; i < order.size(); ++i) {
    QWidget* focused = QApplication::focusWidget();
    visited.push_back(nameOf(focused));
    EXPECT_EQ(ring->target(), focused);
    EXPECT_TRUE(ring->isVisible());
    EXPECT_TRUE(ring->geometry().contains(focused->mapTo(window.get(), QPoint(1, 1))));
    QTest::keyClick(focused, Qt::Key_Tab);
  }
  EXPECT_EQ(visited, order);
  EXPECT_EQ(nameOf(QApplication::focusWidget()), "cmdFirst");  // round again
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
  EXPECT_EQ(nameOf(QApplication::focusWidget()), "uniNewsletter");
  SaveShot(*window, "customers-focus.png");

  // Each shortcut a tool tip names does what its button does.
  QToolButton* bar = button(controller->cmdSave());
  const auto press = [&](CommandButton& b) {
    const QRegularExpressionMatch keys =
        QRegularExpression(QStringLiteral("\\(Ctrl\\+(\\w)\\)$")).match(button(b)->toolTip());
    EXPECT_TRUE(keys.hasMatch()) << button(b)->toolTip().toStdString();
    bar->setFocus(Qt::TabFocusReason);
    QTest::keyClick(bar, keys.captured(1).at(0).toLatin1(), Qt::ControlModifier);
  };
  press(controller->cmdLast());
  EXPECT_EQ(position(), "Record 5 of 5");
  press(controller->cmdPrevious());
  EXPECT_EQ(position(), "Record 4 of 5");
  press(controller->cmdFirst());
  EXPECT_EQ(position(), "Record 1 of 5");
  press(controller->cmdNext());
  EXPECT_EQ(position(), "Record 2 of 5");
  press(controller->cmdAdd());
  EXPECT_EQ(position(), "New record");
  bar = button(controller->cmdUndoAdd());
  press(controller->cmdUndoAdd());
  EXPECT_EQ(position(), "Record 2 of 5");
  bar = button(controller->cmdSave());
  std::vector<std::string> asked;
  controller->events.Delete.connect([&](bool& cancel) {
    asked.push_back("Delete");
    cancel = true;
  });
  controller->events.Save.connect([&](bool& cancel, bool&) {
    asked.push_back("Save");
    cancel = true;
  });
  controller->events.Search.connect([&](bool& cancel) {
    asked.push_back("Search");
    cancel = true;
  });
  press(controller->cmdDelete());
  press(controller->cmdSave());
  press(controller->cmdSearch());
  EXPECT_EQ(asked, (std::vector<std::string>{"Delete", "Save", "Search"}));
}

// The day names in a calendar's header are whole: the short names ("Wed",
// not "W" or "We..."), each in a cell wide enough for it.
void ExpectWholeDayNames(QCalendarWidget& calendar) {
  EXPECT_EQ(calendar.horizontalHeaderFormat(), QCalendarWidget::ShortDayNames);
  auto* view = calendar.findChild<QAbstractItemView*>();
  ASSERT_NE(view, nullptr);
  QStringList names;
  for (int day = 1; day <= 7; ++day)
    names << calendar.locale().dayName(day, QLocale::ShortFormat);
  const QFontMetrics metrics(view->font());
  for (int c = 0; c < 7; ++c) {
    const QModelIndex head = view->model()->index(0, c);
    const QString text = head.data().toString();
    EXPECT_TRUE(names.contains(text)) << text.toStdString();
    EXPECT_GE(view->visualRect(head).width(), metrics.horizontalAdvance(text) + 4)
        << text.toStdString();
  }
}

// The calendar drops down from its editor without a frame, kept on the
// screen, with whole day names at the desktop's scale (the suite runs again
// with QT_SCALE_FACTOR=1.5) and at a font half as large again; a click or
// the keyboard alone picks a date, Escape hands back today.
TEST_F(CustomersWindow, TheCalendarDropsDownFromItsEditorWithWholeDayNames) {
  KivUni& since = uni("uniSince");
  QToolButton* dateButton = button(since.cmdFunction());
  ASSERT_NE(dateButton, nullptr);
  ASSERT_TRUE(dateButton->isVisible());
  const QString scale = qEnvironmentVariable("QT_SCALE_FACTOR");
  const QString suffix = scale.isEmpty() ? QString() : QStringLiteral("-scaled-") + scale;
  QRect anchor, shownAt, screenArea;
  const auto dropped = [&](QWidget& dialog) {
    anchor = QRect(WidgetOf(since)->mapToGlobal(QPoint(0, 0)), WidgetOf(since)->size());
    shownAt = dialog.frameGeometry();
    screenArea = dialog.screen()->availableGeometry();
    EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(screenArea.contains(shownAt));
  };
  QDate shown;
  host->onModalForm([&](Form&, QWidget& dialog) {
    dropped(dialog);
    auto* calendar = dialog.findChild<QCalendarWidget*>();
    ASSERT_NE(calendar, nullptr);
    calendar->setCurrentPage(2024, 3);
    QApplication::processEvents();
    ExpectWholeDayNames(*calendar);
    SaveShot(dialog, QStringLiteral("calendar%1.png").arg(suffix));
    // The calendar below its editor, as the screen shows both.
    const QRect both = window->frameGeometry().united(dialog.frameGeometry());
    EXPECT_TRUE(
        dialog.screen()
            ->grabWindow(0, both.x(), both.y(), both.width(), both.height())
            .save(QStringLiteral(KIV_QT_SCREENSHOT_DIR "/calendar-dropdown%1.png").arg(suffix)));
    auto* view = calendar->findChild<QAbstractItemView*>();
    ASSERT_NE(view, nullptr);
    // The cell showing the 15th of the page's month.
    for (int r = 1; r < view->model()->rowCount(); ++r) {
      for (int c = 0; c < view->model()->columnCount(); ++c) {
        const QModelIndex index = view->model()->index(r, c);
        if (index.data().toInt() == 15 && r < 5) {
          shown = QDate(2024, 3, 15);
          QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
          return;
        }
      }
    }
  });
  QTest::mouseClick(dateButton, Qt::LeftButton);
  ASSERT_TRUE(shown.isValid());
  EXPECT_EQ(since.txtText1().Text(), CStr(Variant(DateSerial(2024, 3, 15))));
  EXPECT_EQ(edit("uniSince")->text().toStdString(), since.txtText1().Text());
  // Right below the editor, at its left edge.
  EXPECT_EQ(shownAt.topLeft(), anchor.bottomLeft() + QPoint(0, 1));

  // Near the screen's bottom right corner it opens above the editor, on the
  // screen. The keyboard picks: the arrow moves a day on, Enter takes it.
  window->move(screenArea.right() - 300, screenArea.bottom() - window->height());
  QApplication::processEvents();
  host->onModalForm([&](Form&, QWidget& dialog) {
    dropped(dialog);
    auto* view = dialog.findChild<QCalendarWidget*>()->findChild<QAbstractItemView*>();
    QTest::keyClick(view, Qt::Key_Right);
    QTest::keyClick(view, Qt::Key_Return);
  });
  QTest::mouseClick(dateButton, Qt::LeftButton);
  EXPECT_EQ(shownAt.bottom(), anchor.top() - 1);
  EXPECT_LT(shownAt.left(), anchor.left());  // pushed back onto the screen
  EXPECT_EQ(since.txtText1().Text(), CStr(Variant(DateTime{host->Today().serial + 1})));

  // At a font half as large again the calendar grows to keep the names whole.
  const QFont normal = QApplication::font();
  QFont large = normal;
  large.setPointSizeF(normal.pointSizeF() * 1.5);
  QApplication::setFont(large);
  host->onModalForm([&](Form&, QWidget& dialog) {
    auto* calendar = dialog.findChild<QCalendarWidget*>();
    ASSERT_NE(calendar, nullptr);
    calendar->setCurrentPage(2024, 3);
    QApplication::processEvents();
    ExpectWholeDayNames(*calendar);
    SaveShot(dialog, QStringLiteral("calendar-large-font%1.png").arg(suffix));
    // Escape closes it and hands back today.
    QTest::keyClick(calendar->findChild<QAbstractItemView*>(), Qt::Key_Escape);
  });
  QTest::mouseClick(dateButton, Qt::LeftButton);
  QApplication::setFont(normal);
  EXPECT_EQ(since.txtText1().Text(), CStr(Variant(host->Today())));
}

}  // namespace
}  // namespace kiv::qt

#endif  // KIV_QT_WITH_SCREEN
