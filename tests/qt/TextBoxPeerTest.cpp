// The text box peer: real keys, mouse and focus reach the model in the
// headless order, and the model's properties show in the line edit.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

#include "kiv/host/Form.h"
#include "kiv/host/HeadlessHost.h"
#include "kiv/host/TextBox.h"
#include "kiv/qt/TextBoxPeer.h"
#include "kiv/qt/Units.h"

namespace kiv::qt {
namespace {

// Every event of a text box, as "name.Event[:detail]".
void Record(TextBox& box, std::vector<std::string>& log) {
  const std::string n = box.Name();
  TextBox* b = &box;
  box.events.Change.connect([&log, n, b] { log.push_back(n + ".Change:" + b->Text()); });
  box.events.GotFocus.connect([&log, n] { log.push_back(n + ".GotFocus"); });
  box.events.LostFocus.connect([&log, n] { log.push_back(n + ".LostFocus"); });
  box.events.KeyDown.connect([&log, n](auto& k, auto& s) {
    log.push_back(n + ".KeyDown:" + std::to_string(k) + "/" + std::to_string(s));
  });
  box.events.KeyPress.connect(
      [&log, n](auto& a) { log.push_back(n + ".KeyPress:" + std::to_string(a)); });
  box.events.KeyUp.connect(
      [&log, n](auto& k, auto&) { log.push_back(n + ".KeyUp:" + std::to_string(k)); });
  box.events.MouseDown.connect(
      [&log, n](auto&, auto&, auto&, auto&) { log.push_back(n + ".MouseDown"); });
  box.events.MouseUp.connect(
      [&log, n](auto&, auto&, auto&, auto&) { log.push_back(n + ".MouseUp"); });
  box.events.Click.connect([&log, n] { log.push_back(n + ".Click"); });
  box.events.DblClick.connect([&log, n] { log.push_back(n + ".DblClick"); });
}

class TextBoxPeerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Host::SetCurrent(&host);
    a = std::make_shared<TextBox>("txtA");
    b = std::make_shared<TextBox>("txtB");
    a->Move(120, 120, 2400, 315);
    b->Move(120, 600, 2400, 315);
    a->TabIndex(0);
    b->TabIndex(1);
    form.Add(a);
    form.Add(b);
    window.resize(300, 200);
    peerA = new TextBoxPeer(*a, &window);
    peerB = new TextBoxPeer(*b, &window);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  }
  void TearDown() override { Host::SetCurrent(nullptr); }

  HeadlessHost host;
  Form form{"frmTest"};
  std::shared_ptr<TextBox> a, b;
  QWidget window;
  TextBoxPeer* peerA = nullptr;
  TextBoxPeer* peerB = nullptr;
};

TEST_F(TextBoxPeerTest, TypingRaisesTheModelsEventsInTheHeadlessOrder) {
  std::vector<std::string> real, simulated;
  Record(*a, real);
  a->SetFocus();
  real.clear();
  QTest::keyClicks(peerA->lineEdit(), "ab");
  QTest::keyClick(peerA->lineEdit(), Qt::Key_Backspace);
  EXPECT_EQ(a->Text(), "a");
  EXPECT_EQ(peerA->lineEdit()->text(), "a");

  // The same input simulated on a headless twin raises the same events.
  Form other("frmOther");
  auto twin = std::make_shared<TextBox>("txtA");
  other.Add(twin);
  Record(*twin, simulated);
  twin->SetFocus();
  simulated.clear();
  twin->type("ab\b");
  EXPECT_EQ(real, simulated);
  ASSERT_FALSE(real.empty());
  EXPECT_EQ(real[2], "txtA.Change:a");

  // Keys a handler suppresses do not edit, in the widget either.
  a->events.KeyPress.connect([](std::int16_t& ascii) {
    if (ascii == 'x') ascii = 0;
  });
  QTest::keyClicks(peerA->lineEdit(), "xy");
  EXPECT_EQ(a->Text(), "ay");
  EXPECT_EQ(peerA->lineEdit()->text(), "ay");
  EXPECT_EQ(peerA->lineEdit()->cursorPosition(), 2);

  // Caret keys and Delete go through the model.
  QTest::keyClick(peerA->lineEdit(), Qt::Key_Home);
  QTest::keyClick(peerA->lineEdit(), Qt::Key_Delete);
  EXPECT_EQ(a->Text(), "y");
  EXPECT_EQ(peerA->lineEdit()->text(), "y");
}

TEST_F(TextBoxPeerTest, ModelPropertiesShowInTheLineEdit) {
  QLineEdit* edit = peerA->lineEdit();
  a->Text("Smith");
  EXPECT_EQ(edit->text(), "Smith");
  a->SelStart(1);
  a->SelLength(3);
  EXPECT_EQ(edit->selectedText(), "mit");

  a->Locked(true);
  EXPECT_TRUE(edit->isReadOnly());
  a->SetFocus();
  QTest::keyClicks(edit, "zz");
  EXPECT_EQ(a->Text(), "Smith");
  EXPECT_EQ(edit->text(), "Smith");
  a->Locked(false);
  EXPECT_FALSE(edit->isReadOnly());

  a->BackColor(0x0000FFFF);  // &H0000FFFF: yellow
  EXPECT_EQ(edit->palette().color(QPalette::Base), QColor(255, 255, 0));
  a->BackColor(colour::WindowBackground);
  EXPECT_EQ(edit->palette().color(QPalette::Base), window.palette().color(QPalette::Base));

  a->Visible(false);
  a->Enabled(false);
  EXPECT_FALSE(edit->isVisible());
  EXPECT_FALSE(edit->isEnabled());
  a->Visible(true);
  a->Enabled(true);
  EXPECT_TRUE(edit->isVisible());

  a->Move(1440, 720, 2880, 360);
  const int dpi = edit->logicalDpiX();
  EXPECT_EQ(edit->geometry(), QRect(dpi, dpi / 2, dpi * 2, dpi / 4));

  // MaxLength cuts typing; a password character masks the text but not the model.
  a->Text("");
  a->MaxLength(3);
  QTest::keyClicks(edit, "abcdef");
  EXPECT_EQ(a->Text(), "abc");
  EXPECT_EQ(edit->text(), "abc");
  a->PasswordChar("*");
  EXPECT_EQ(edit->text(), "***");
  QTest::keyClick(edit, Qt::Key_Backspace);
  EXPECT_EQ(a->Text(), "ab");
  EXPECT_EQ(edit->text(), "**");
}

TEST_F(TextBoxPeerTest, FocusMovesRaiseTheModelsFocusEvents) {
  std::vector<std::string> log;
  Record(*a, log);
  Record(*b, log);
  a->SetFocus();
  EXPECT_TRUE(peerA->lineEdit()->hasFocus());
  log.clear();

  // A click on the other box: MouseDown, then the focus move, then MouseUp and Click.
  QTest::mouseClick(peerB->lineEdit(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(log, (std::vector<std::string>{"txtB.MouseDown", "txtA.LostFocus", "txtB.GotFocus",
                                           "txtB.MouseUp", "txtB.Click"}));
  EXPECT_TRUE(b->HasFocus());
  EXPECT_TRUE(peerB->lineEdit()->hasFocus());

  // Tab moves the form's focus in tab order; the line edit follows.
  log.clear();
  b->TabIndex(0);
  a->TabIndex(1);
  QTest::keyClick(peerB->lineEdit(), Qt::Key_Tab);
  EXPECT_EQ(log, (std::vector<std::string>{"txtB.LostFocus", "txtA.GotFocus"}));
  EXPECT_TRUE(peerA->lineEdit()->hasFocus());

  // Qt moving the focus itself reaches the model too; a mouse focus without
  // the press that normally follows it catches up once the press is over.
  log.clear();
  peerB->lineEdit()->setFocus(Qt::OtherFocusReason);
  EXPECT_EQ(log, (std::vector<std::string>{"txtA.LostFocus", "txtB.GotFocus"}));
  EXPECT_TRUE(b->HasFocus());
  log.clear();
  peerA->lineEdit()->setFocus(Qt::MouseFocusReason);
  QCoreApplication::processEvents();
  EXPECT_EQ(log, (std::vector<std::string>{"txtB.LostFocus", "txtA.GotFocus"}));
  EXPECT_TRUE(a->HasFocus());
}

TEST_F(TextBoxPeerTest, PasteAndInputMethodEditsGoToTheModelAsOneChange) {
  std::vector<std::string> log;
  a->Text("ad");
  a->SetFocus();
  a->SelStart(1);
  Record(*a, log);
  QApplication::clipboard()->setText("bc\nsecond line");
  QTest::keyClick(peerA->lineEdit(), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(a->Text(), "abcd");
  EXPECT_EQ(peerA->lineEdit()->text(), "abcd");
  EXPECT_EQ(a->SelStart(), 3);
  EXPECT_EQ(std::count(log.begin(), log.end(), "txtA.Change:abcd"), 1);

  // An edit Qt makes itself (context menu, input method) is a user edit.
  peerA->lineEdit()->selectAll();
  peerA->lineEdit()->insert("xyz");
  EXPECT_EQ(a->Text(), "xyz");
  a->Locked(true);
  peerA->lineEdit()->setReadOnly(false);  // as if the widget let it through
  peerA->lineEdit()->insert("!");
  EXPECT_EQ(a->Text(), "xyz");
  EXPECT_EQ(peerA->lineEdit()->text(), "xyz");
}

TEST_F(TextBoxPeerTest, AControlThatGoesAwayTakesItsWidgetAndAWidgetThatGoesAwayDetaches) {
  QPointer<QLineEdit> edit = peerA->lineEdit();
  form.Remove(*a);
  a.reset();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(edit.isNull());

  delete peerB->lineEdit();
  EXPECT_EQ(b->peer(), nullptr);
  b->Text("still works");
  EXPECT_EQ(b->Text(), "still works");
}

}  // namespace
}  // namespace kiv::qt
