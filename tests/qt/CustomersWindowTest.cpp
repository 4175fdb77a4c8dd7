// The samples' customers screen in a FormWindow, driven by Qt's simulated
// clicks and keys: the bar's buttons refill the line edits, the record
// position in the status bar follows every action, accessible names and the
// tab order, the shortcuts the tool tips name, and the calendar from the
// date button. (The save prompt, answered with real keys, is in the gui
// tests.)
#ifdef KIV_QT_WITH_SCREEN

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCalendarWidget>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>
#include <QStatusBar>

#include "kiv/host/CheckBox.h"
#include "kiv/host/Form.h"
#include "kiv/qt/ControlPeer.h"
#include "kiv/qt/FocusFrame.h"
#include "kiv/qt/RecordPosition.h"
#include "kiv/qt/Units.h"
#include "qt/SampleScreenTest.h"

namespace kiv::qt {
namespace {

class CustomersWindow : public SampleScreenTest {
 protected:
  void SetUp() override {
    SampleScreenTest::SetUp();
    open("customers.json");
  }
  QString position() const { return window->recordPosition()->text(); }
};

// The bar is square and shows its icons; a click on it moves the record and
// the line edits show the model's text. The status bar follows every move,
// add, undo, save and delete (a search moves as the bar does), reading the
// record set without moving it, and a screen reader reads it; an empty set
// says so.
TEST_F(CustomersWindow, TheBarMovesTheRecordAndTheStatusBarFollowsEveryAction) {
  QToolButton* next = button(controller->cmdNext());
  ASSERT_NE(next, nullptr);
  EXPECT_NEAR(next->width(), next->height(), 1);
  EXPECT_FALSE(next->icon().isNull());
  EXPECT_EQ(next->toolTip(), "Move to the next record (Ctrl+N)");
  EXPECT_EQ(edit("uniCode")->text(), "C1");
  SaveShot(*window, "customers.png");

  ASSERT_NE(window->recordPosition(), nullptr);
  EXPECT_EQ(AccessibleRole(window->statusBar()), QAccessible::StatusBar);
  EXPECT_EQ(position(), "Record 1 of 5");
  // The bar sits below the form: the form keeps its whole client area.
  EXPECT_EQ(window->statusBar()->geometry().top(),
            TwipsToPixels(screen->form().Height(), window.get()));

  QTest::mouseClick(next, Qt::LeftButton);
  EXPECT_EQ(position(), "Record 2 of 5");
  EXPECT_EQ(edit("uniCode")->text(), "C2");
  EXPECT_EQ(edit("uniName")->text().toStdString(), uni("uniName").txtText1().Text());
  press(controller->cmdLast());
  EXPECT_EQ(position(), "Record 5 of 5");
  EXPECT_EQ(AccessibleName(window->recordPosition()), "Record 5 of 5");

  // Reading the position never moves the record set.
  int moves = 0;
  const auto rs = controller->Form_Recordset();
  const auto id = rs->events.MoveComplete.connect([&] { ++moves; });
  window->recordPosition()->refresh();
  EXPECT_EQ(RecordPosition::TextFor(*controller), "Record 5 of 5");
  EXPECT_EQ(moves, 0);
  rs->events.MoveComplete.disconnect(id);

  press(controller->cmdAdd());
  EXPECT_EQ(position(), "New record");
  press(controller->cmdUndoAdd());
  EXPECT_EQ(position(), "Record 5 of 5");

  // A new record typed into the line edits is saved, counted and placed.
  press(controller->cmdAdd());
  retype(edit("uniCode"), "C9");
  retype(edit("uniName"), "Nine Ltd");
  press(controller->cmdSave());
  EXPECT_EQ(position(),
            QStringLiteral("Record %1 of 6").arg(controller->Form_Recordset()->AbsolutePosition()));

  // A delete, answered Yes.
  host->onMessageBox([](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
  press(controller->cmdDelete());
  host->onMessageBox(nullptr);
  EXPECT_TRUE(position().endsWith(" of 5")) << position().toStdString();

  // No rows: adding and undoing go back to "No records".
  controller->Filter("Code = 'none'");
  ASSERT_TRUE(controller->OpenRecordset());
  EXPECT_EQ(position(), "No records");
  press(controller->cmdAdd());
  EXPECT_EQ(position(), "New record");
  press(controller->cmdUndoAdd());
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
  const struct {
    QWidget* widget;
    const char* name;
    QAccessible::Role role;
  } named[] = {
      {button(controller->cmdNext()), "Move to the next record", QAccessible::Button},
      {WidgetOf(*controller), "Record navigation", QAccessible::ToolBar},
      {edit("uniName"), "Name", QAccessible::EditableText},
      {WidgetOf(uni("uniName")), "Name", QAccessible::Grouping},
      {WidgetOf(*screen->control("txtEmail")), "Email", QAccessible::EditableText},
      {WidgetOf(*screen->control("chkActive")), "Active", QAccessible::CheckBox},
      {WidgetOf(uni("uniNewsletter").chkCheck1()), "Newsletter", QAccessible::CheckBox},
      {button(uni("uniSince").cmdFunction()), "Pick a date for Customer since",
       QAccessible::Button},
  };
  for (const auto& n : named) {
    EXPECT_EQ(AccessibleName(n.widget), n.name);
    EXPECT_EQ(AccessibleRole(n.widget), n.role) << n.name;
  }
  EXPECT_EQ(button(uni("uniSince").cmdFunction())->toolTip(), "Pick a date (Ctrl+F)");
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

  // Each shortcut a tool tip names, pressed on the bar, does what its button
  // does (the host cancels the delete, save and search it is asked for).
  std::vector<std::string> asked;
  const auto refuse = [&](const char* what) {
    asked.push_back(what);
    return true;
  };
  controller->events.Delete.connect([&](bool& cancel) { cancel = refuse("Delete"); });
  controller->events.Save.connect([&](bool& cancel, bool&) { cancel = refuse("Save"); });
  controller->events.Search.connect([&](bool& cancel) { cancel = refuse("Search"); });
  const std::pair<CommandButton*, const char*> shortcuts[] = {
      {&controller->cmdLast(), "Record 5 of 5"},   {&controller->cmdPrevious(), "Record 4 of 5"},
      {&controller->cmdFirst(), "Record 1 of 5"},  {&controller->cmdNext(), "Record 2 of 5"},
      {&controller->cmdAdd(), "New record"},       {&controller->cmdUndoAdd(), "Record 2 of 5"},
      {&controller->cmdDelete(), "Record 2 of 5"}, {&controller->cmdSave(), "Record 2 of 5"},
      {&controller->cmdSearch(), "Record 2 of 5"}};
  QToolButton* bar = button(controller->cmdSave());
  for (const auto& [pressed, shown] : shortcuts) {
    const QRegularExpressionMatch keys = QRegularExpression(QStringLiteral("\\(Ctrl\\+(\\w)\\)$"))
                                             .match(button(*pressed)->toolTip());
    ASSERT_TRUE(keys.hasMatch()) << button(*pressed)->toolTip().toStdString();
    bar->setFocus(Qt::TabFocusReason);
    QTest::keyClick(bar, keys.captured(1).at(0).toLatin1(), Qt::ControlModifier);
    EXPECT_EQ(position(), shown) << keys.captured(0).toStdString();
  }
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
    // A click on the 15th picks it.
    auto* view = calendar->findChild<QAbstractItemView*>();
    for (int r = 1; r < 5; ++r)
      for (int c = 0; c < 7; ++c)
        if (const QModelIndex day = view->model()->index(r, c); day.data().toInt() == 15)
          QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(day).center());
  });
  QTest::mouseClick(dateButton, Qt::LeftButton);
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
