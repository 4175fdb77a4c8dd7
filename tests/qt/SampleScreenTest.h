#pragma once

// A sample screen (customers.json or orders.json) over a fresh copy of the
// samples' database, loaded through the runner's form loader and shown in a
// FormWindow, with helpers that act as a user does.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include "kiv/field_editor/KivUni.h"
#include "kiv/form_controller/KivFormControl.h"
#include "kiv/host/CommandButton.h"
#include "kiv/host/TextBox.h"
#include "kiv/qt/FormWindow.h"
#include "kiv/qt/PeerFactory.h"
#include "kiv/qt/QtHost.h"
#include "kiv/runtime/Conversions.h"
#include "kivform/Screen.h"
#include "support/SampleDatabase.h"

namespace kiv::qt {

// What a screen reader is told about a widget.
inline QString AccessibleName(QWidget* widget) {
  QAccessibleInterface* a = widget ? QAccessible::queryAccessibleInterface(widget) : nullptr;
  return a ? a->text(QAccessible::Name) : QString();
}
inline QAccessible::Role AccessibleRole(QWidget* widget) {
  QAccessibleInterface* a = widget ? QAccessible::queryAccessibleInterface(widget) : nullptr;
  return a ? a->role() : QAccessible::NoRole;
}

inline void SaveShot(QWidget& widget, const QString& name) {
  QDir().mkpath(QStringLiteral(KIV_QT_SCREENSHOT_DIR));
  const QString path = QStringLiteral(KIV_QT_SCREENSHOT_DIR "/") + name;
  EXPECT_TRUE(widget.grab().save(path)) << path.toStdString();
}

class SampleScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("kivqt-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
           "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    test::MakeSampleDatabase(dir / "orders.db");
    host = std::make_unique<QtHost>(QString::fromStdString(settingsFile().string()));
    Host::SetCurrent(host.get());
  }
  void TearDown() override {
    window.reset();
    screen.reset();
    Host::SetCurrent(nullptr);
    host.reset();
    std::filesystem::remove_all(dir);
  }

  // Loads a sample form file, opens its record set and shows the window.
  void open(const std::string& formFile) {
    std::filesystem::copy_file(std::filesystem::path(KIV_SAMPLES_DIR) / formFile, dir / formFile);
    screen = kivform::Screen::Load(dir / formFile);
    controller = std::dynamic_pointer_cast<KivFormControl>(screen->control("ctlForm"));
    ASSERT_TRUE(controller);
    ASSERT_TRUE(controller->OpenRecordset());
    window = std::make_unique<FormWindow>(screen->form());
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }

  std::filesystem::path settingsFile() const { return dir / "settings.ini"; }
  std::shared_ptr<Connection> database() {
    return Connection::OpenNew("sqlite:" + (dir / "orders.db").string());
  }
  std::string scalar(const std::string& sql) { return test::Scalar(dir / "orders.db", sql); }

  KivUni& uni(const char* name) { return dynamic_cast<KivUni&>(*screen->control(name)); }
  QLineEdit* edit(const char* name) {
    return qobject_cast<QLineEdit*>(WidgetOf(uni(name).txtText1()));
  }
  QToolButton* button(CommandButton& b) { return qobject_cast<QToolButton*>(WidgetOf(b)); }
  void press(CommandButton& b) { QTest::mouseClick(button(b), Qt::LeftButton); }
  // Replaces a field's text as a user does: click into it, select all, type.
  void retype(QLineEdit* line, const QString& text) {
    QTest::mouseClick(line, Qt::LeftButton, {}, QPoint(4, 4));
    QTest::keyClick(line, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(line, text);
  }

  std::filesystem::path dir;
  std::unique_ptr<QtHost> host;
  std::unique_ptr<kivform::Screen> screen;
  std::shared_ptr<KivFormControl> controller;
  std::unique_ptr<FormWindow> window;
};

}  // namespace kiv::qt
