// The samples' customers screen in a FormWindow, driven by Qt's simulated
// clicks and keys: navigation refills the line edits, Ctrl+S saves, the field
// colours, and the calendar from the date button. (The save prompt, answered
// with real keys, is in the gui tests.)
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
#include <QApplication>
#include <QCalendarWidget>
#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include "kiv/data/Connection.h"
#include "kiv/data/Field.h"
#include "kiv/data/Recordset.h"
#include "kiv/field_editor/KivUni.h"
#include "kiv/form_controller/KivFormControl.h"
#include "kiv/host/CommandButton.h"
#include "kiv/host/Form.h"
#include "kiv/host/TextBox.h"
#include "kiv/qt/FormWindow.h"
#include "kiv/qt/PeerFactory.h"
#include "kiv/qt/QtHost.h"
#include "kiv/runtime/Conversions.h"
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

void SaveShot(QWidget& widget, const char* name) {
  QDir().mkpath(QStringLiteral(KIV_QT_SCREENSHOT_DIR));
  const QString path = QStringLiteral(KIV_QT_SCREENSHOT_DIR "/") + QLatin1String(name);
  EXPECT_TRUE(widget.grab().save(path)) << path.toStdString();
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
  EXPECT_EQ(next->toolTip(), "Move to the next record");
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

TEST_F(CustomersWindow, TheCalendarOpensFromTheDateButtonAndAClickWritesTheDate) {
  KivUni& since = uni("uniSince");
  QToolButton* dateButton = button(since.cmdFunction());
  ASSERT_NE(dateButton, nullptr);
  ASSERT_TRUE(dateButton->isVisible());
  QDate shown;
  host->onModalForm([&](Form&, QWidget& dialog) {
    auto* calendar = dialog.findChild<QCalendarWidget*>();
    ASSERT_NE(calendar, nullptr);
    calendar->setCurrentPage(2024, 3);
    QApplication::processEvents();
    SaveShot(dialog, "calendar.png");
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

  // Escape in the calendar closes it and hands back today.
  host->onModalForm([&](Form&, QWidget& dialog) {
    auto* calendar = dialog.findChild<QCalendarWidget*>();
    ASSERT_NE(calendar, nullptr);
    QTest::keyClick(calendar->findChild<QAbstractItemView*>(), Qt::Key_Escape);
  });
  QTest::mouseClick(dateButton, Qt::LeftButton);
  EXPECT_EQ(since.txtText1().Text(), CStr(Variant(host->Today())));
}

}  // namespace
}  // namespace kiv::qt

#endif  // KIV_QT_WITH_SCREEN
