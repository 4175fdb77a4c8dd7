// The peers of the widgets (real keys, mouse and focus reach the model in
// the headless order, and the model's properties show in the widget), the
// data grid over a record set, the Qt host and the form window.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include "kiv/data/AdoTypes.h"
#include "kiv/data/Connection.h"
#include "kiv/data/Recordset.h"
#include "kiv/host/CheckBox.h"
#include "kiv/host/ComboBox.h"
#include "kiv/host/CommandButton.h"
#include "kiv/host/DataGrid.h"
#include "kiv/host/Form.h"
#include "kiv/host/HeadlessHost.h"
#include "kiv/host/Label.h"
#include "kiv/host/TextBox.h"
#include "kiv/qt/DataGridPeer.h"
#include "kiv/qt/FormWindow.h"
#include "kiv/qt/PeerFactory.h"
#include "kiv/qt/QtHost.h"
#include "kiv/qt/Run.h"
#include "kiv/qt/Units.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Locale.h"

namespace kiv::qt {
namespace {

class PeersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Host::SetCurrent(&host);
    window.resize(400, 300);
  }
  void show() {
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  }
  void TearDown() override { Host::SetCurrent(nullptr); }
  template <class T>
  std::shared_ptr<T> add(const char* name, double top) {
    auto c = std::make_shared<T>(name);
    c->Move(120, top, 2400, 315);
    form.Add(c);
    CreatePeer(*c, &window);
    return c;
  }

  HeadlessHost host;
  Form form{"frmPeers"};
  QWidget window;
};

TEST_F(PeersTest, CheckBoxButtonAndLabelTakeClicksThroughTheModel) {
  auto check = add<CheckBox>("chkActive", 100);
  auto button = add<CommandButton>("cmdNext", 600);
  auto label = add<Label>("lblName", 1100);
  show();
  int checkClicks = 0, buttonClicks = 0, labelClicks = 0;
  check->events.Click.connect([&] { ++checkClicks; });
  button->events.Click.connect([&] { ++buttonClicks; });
  label->events.Click.connect([&] { ++labelClicks; });

  auto* box = qobject_cast<QCheckBox*>(WidgetOf(*check));
  QTest::mouseClick(box, Qt::LeftButton);
  EXPECT_EQ(check->Value(), 1);
  EXPECT_EQ(box->checkState(), Qt::Checked);
  EXPECT_EQ(checkClicks, 1);
  QTest::keyClick(box, Qt::Key_Space);
  EXPECT_EQ(check->Value(), 0);
  EXPECT_EQ(checkClicks, 2);
  check->Value(2);
  EXPECT_EQ(box->checkState(), Qt::PartiallyChecked);

  button->Picture("kiv/next.png");
  button->ToolTipText("Move to the next record");
  auto* tool = qobject_cast<QToolButton*>(WidgetOf(*button));
  EXPECT_FALSE(tool->icon().isNull());
  EXPECT_EQ(tool->toolButtonStyle(), Qt::ToolButtonIconOnly);
  EXPECT_EQ(tool->toolTip(), "Move to the next record");
  QTest::mouseClick(tool, Qt::LeftButton);
  EXPECT_EQ(buttonClicks, 1);
  EXPECT_TRUE(button->HasFocus());
  QTest::keyClick(tool, Qt::Key_Space);
  EXPECT_EQ(buttonClicks, 2);
  button->Picture("no/such/picture.png");
  EXPECT_TRUE(tool->icon().isNull());

  label->Caption("Fish && &Chips");
  auto* text = qobject_cast<QLabel*>(WidgetOf(*label));
  EXPECT_EQ(text->text(), "Fish & Chips");
  label->BackColor(0x00FFFFFF);
  EXPECT_EQ(text->palette().color(QPalette::Window), QColor(255, 255, 255));
  QTest::mouseClick(text, Qt::LeftButton);
  EXPECT_EQ(labelClicks, 1);
  EXPECT_TRUE(button->HasFocus());  // a label takes no focus
}

TEST_F(PeersTest, ComboBoxesShowTheListAndAPickIsTheModelsPick) {
  auto list = add<ComboBox>("cboList", 100);
  auto edit = add<ComboBox>("cboEdit", 600);
  list->Style(2);
  show();
  list->AddItem("Red");
  list->AddItem("Green");
  list->AddItem("Blue");
  auto* listBox = qobject_cast<QComboBox*>(WidgetOf(*list));
  EXPECT_FALSE(listBox->isEditable());
  EXPECT_EQ(listBox->count(), 3);
  int clicks = 0;
  list->events.Click.connect([&] { ++clicks; });
  emit listBox->activated(2);  // the user chose the third item from the list
  EXPECT_EQ(list->ListIndex(), 2);
  EXPECT_EQ(list->Text(), "Blue");
  EXPECT_EQ(clicks, 1);
  list->ListIndex(0);
  EXPECT_EQ(listBox->currentIndex(), 0);
  // In a list, a typed letter chooses the next item starting with it.
  QTest::keyClick(listBox, Qt::Key_G);
  EXPECT_EQ(list->Text(), "Green");
  EXPECT_EQ(listBox->currentIndex(), 1);

  auto* editBox = qobject_cast<QComboBox*>(WidgetOf(*edit));
  EXPECT_TRUE(editBox->isEditable());
  QTest::keyClicks(editBox, "Cyan");
  EXPECT_EQ(edit->Text(), "Cyan");
  EXPECT_EQ(editBox->currentText(), "Cyan");
  edit->Clear();
  EXPECT_EQ(editBox->currentText(), "");
}

TEST_F(PeersTest, DataGridReadsRowsOnDemandAndSharesTheCurrentRow) {
  auto db = Connection::OpenNew("sqlite::memory:");
  db->Execute("CREATE TABLE Items (Code INTEGER PRIMARY KEY, Name TEXT)");
  for (int i = 1; i <= 500; ++i) {
    db->Execute("INSERT INTO Items VALUES (" + std::to_string(i) + ", 'Item " + std::to_string(i) +
                "')");
  }
  auto rs = std::make_shared<Recordset>();
  rs->Open("SELECT Code, Name FROM Items ORDER BY Code", db, adOpenKeyset, adLockReadOnly);
  auto grid = std::make_shared<DataGrid>("dbgItems");
  grid->Move(0, 0, 5000, 3000);
  form.Add(grid);
  auto* peer = static_cast<DataGridPeer*>(CreatePeer(*grid, &window));
  grid->DataSource(Variant(rs));
  show();
  QTableView* view = peer->tableView();
  EXPECT_EQ(view->model()->rowCount(), 500);
  EXPECT_EQ(view->model()->headerData(1, Qt::Horizontal).toString(), "Name");
  QApplication::processEvents();
  EXPECT_GT(peer->model()->cellsRead(), 0);
  EXPECT_LT(peer->model()->cellsRead(), 200);  // only the rows on the screen

  std::vector<std::string> log;
  grid->events.Click.connect([&] { log.push_back("Click"); });
  grid->events.DblClick.connect([&] { log.push_back("DblClick"); });
  grid->events.HeadClick.connect(
      [&](std::int16_t& col) { log.push_back("HeadClick:" + std::to_string(col)); });
  grid->events.KeyPress.connect(
      [&](std::int16_t& a) { log.push_back("KeyPress:" + std::to_string(a)); });

  // A click on a cell moves the record set there.
  const QRect cell = view->visualRect(view->model()->index(3, 1));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
  EXPECT_EQ(rs->AbsolutePosition(), 4);
  EXPECT_EQ(view->currentIndex().row(), 3);
  EXPECT_TRUE(grid->HasFocus());
  // Ctrl+End goes to the last record; a move of the record set moves the view.
  QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(rs->AbsolutePosition(), 500);
  rs->MoveFirst();
  EXPECT_EQ(view->currentIndex().row(), 0);
  rs->MoveLast();
  EXPECT_EQ(view->currentIndex().row(), 499);
  // Keys go to the grid: Up moves the record, Enter reaches KeyPress.
  QTest::keyClick(view, Qt::Key_Up);
  EXPECT_EQ(rs->AbsolutePosition(), 499);
  EXPECT_EQ(view->currentIndex().row(), 498);
  log.clear();
  QTest::keyClick(view, Qt::Key_Return);
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, {},
                     view->visualRect(view->currentIndex()).center());
  emit view->horizontalHeader()->sectionClicked(1);
  EXPECT_EQ(log, (std::vector<std::string>{"KeyPress:13", "Click", "DblClick", "HeadClick:1"}));

  // The record set closing leaves an empty view, not a failure.
  grid->DataSource(Variant::Nothing());
  EXPECT_EQ(view->model()->rowCount(), 0);
}

TEST_F(PeersTest, FormWindowPlacesControlsRunsResizeAndUnloadsOnClose) {
  auto form2 = std::make_shared<Form>("frmWindow");
  form2->Caption("Window test");
  auto a = std::make_shared<TextBox>("txtA");
  auto b = std::make_shared<TextBox>("txtB");
  a->Move(1440, 1440, 1440, 300);
  b->Move(120, 120, 1440, 300);
  form2->Add(a);
  form2->Add(b);
  int resizes = 0, unloads = 0;
  form2->events.Resize.connect([&] { ++resizes; });
  form2->events.Unload.connect([&] { ++unloads; });
  form2->Show();
  FormWindow window2(*form2);
  window2.show();
  EXPECT_EQ(window2.windowTitle(), "Window test");
  const int dpi = window2.logicalDpiX();
  EXPECT_EQ(window2.widgetOf(*a)->geometry().topLeft(), QPoint(dpi, dpi));
  EXPECT_EQ(window2.size(), QSize(TwipsToPixels(4800, &window2), TwipsToPixels(3600, &window2)));
  const int before = resizes;
  window2.resize(600, 400);
  EXPECT_GT(resizes, before);
  EXPECT_NEAR(form2->Width(), PixelsToTwips(600, &window2), 1);
  window2.close();
  EXPECT_EQ(unloads, 1);
  EXPECT_FALSE(form2->IsLoaded());

  // The runner's screenshot renders the form off screen to a PNG file.
  QTemporaryDir dir;
  const std::string shot = dir.filePath("form.png").toStdString();
  form2->Show();
  ASSERT_TRUE(Screenshot(*form2, shot));
  QImage image(QString::fromStdString(shot));
  EXPECT_EQ(image.width(), TwipsToPixels(form2->Width(), nullptr));
  std::string error;
  EXPECT_FALSE(Screenshot(*form2, dir.filePath("no/such/dir/form.png").toStdString(), &error));
  EXPECT_NE(error.find("no/such/dir"), std::string::npos);
}

TEST_F(PeersTest, AnEmbeddedControlFollowsTheApplicationsLayout) {
  auto box = std::make_shared<TextBox>("txtEmbedded");
  box->Move(0, 0, 2880, 300);
  QWidget host;
  auto* layout = new QVBoxLayout(&host);
  QWidget* widget = Embed(*box);
  layout->addWidget(widget);
  host.resize(400, 100);
  host.show();
  QApplication::processEvents();
  EXPECT_EQ(widget->minimumWidth(), TwipsToPixels(2880, widget));
  EXPECT_NEAR(box->Width(), PixelsToTwips(widget->width(), widget), 1);
  box->Text("embedded");
  EXPECT_EQ(qobject_cast<QLineEdit*>(widget)->text(), "embedded");
}

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

// Two text boxes shown, txtA before txtB in the tab order.
class TextBoxPeerTest : public PeersTest {
 protected:
  void SetUp() override {
    PeersTest::SetUp();
    a = add<TextBox>("txtA", 120);
    b = add<TextBox>("txtB", 600);
    a->TabIndex(0);
    b->TabIndex(1);
    show();
  }
  QLineEdit* lineA() { return qobject_cast<QLineEdit*>(WidgetOf(*a)); }
  QLineEdit* lineB() { return qobject_cast<QLineEdit*>(WidgetOf(*b)); }

  std::shared_ptr<TextBox> a, b;
};

TEST_F(TextBoxPeerTest, TypingRaisesTheModelsEventsInTheHeadlessOrder) {
  std::vector<std::string> real, simulated;
  Record(*a, real);
  a->SetFocus();
  real.clear();
  QTest::keyClicks(lineA(), "ab");
  QTest::keyClick(lineA(), Qt::Key_Backspace);
  EXPECT_EQ(a->Text(), "a");
  EXPECT_EQ(lineA()->text(), "a");

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
  QTest::keyClicks(lineA(), "xy");
  EXPECT_EQ(a->Text(), "ay");
  EXPECT_EQ(lineA()->text(), "ay");
  EXPECT_EQ(lineA()->cursorPosition(), 2);

  // Caret keys and Delete go through the model.
  QTest::keyClick(lineA(), Qt::Key_Home);
  QTest::keyClick(lineA(), Qt::Key_Delete);
  EXPECT_EQ(a->Text(), "y");
  EXPECT_EQ(lineA()->text(), "y");
}

TEST_F(TextBoxPeerTest, ModelPropertiesShowInTheLineEdit) {
  QLineEdit* edit = lineA();
  a->Text("Smith");
  EXPECT_EQ(edit->text(), "Smith");
  a->SelStart(1);
  a->SelLength(3);
  EXPECT_EQ(edit->selectedText(), "mit");

  a->Locked(true);
  EXPECT_TRUE(edit->isReadOnly());
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

  // A password character masks the text but not the model.
  a->Text("abc");
  a->SetFocus();
  a->SelStart(3);
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
  EXPECT_TRUE(lineA()->hasFocus());
  log.clear();

  // A click on the other box: MouseDown, then the focus move, then MouseUp and Click.
  QTest::mouseClick(lineB(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(log, (std::vector<std::string>{"txtB.MouseDown", "txtA.LostFocus", "txtB.GotFocus",
                                           "txtB.MouseUp", "txtB.Click"}));
  EXPECT_TRUE(b->HasFocus());
  EXPECT_TRUE(lineB()->hasFocus());

  // Qt moving the focus itself reaches the model too (Tab in the tab order
  // is the sample window's test); a mouse focus without the press that
  // normally follows it catches up once the press is over.
  log.clear();
  lineA()->setFocus(Qt::OtherFocusReason);
  EXPECT_EQ(log, (std::vector<std::string>{"txtB.LostFocus", "txtA.GotFocus"}));
  EXPECT_TRUE(a->HasFocus());
  log.clear();
  lineB()->setFocus(Qt::MouseFocusReason);
  QCoreApplication::processEvents();
  EXPECT_EQ(log, (std::vector<std::string>{"txtA.LostFocus", "txtB.GotFocus"}));
  EXPECT_TRUE(b->HasFocus());
}

TEST_F(TextBoxPeerTest, PasteAndInputMethodEditsGoToTheModelAsOneChange) {
  std::vector<std::string> log;
  a->Text("ad");
  a->SetFocus();
  a->SelStart(1);
  Record(*a, log);
  QApplication::clipboard()->setText("bc\nsecond line");
  QTest::keyClick(lineA(), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(a->Text(), "abcd");
  EXPECT_EQ(lineA()->text(), "abcd");
  EXPECT_EQ(a->SelStart(), 3);
  EXPECT_EQ(std::count(log.begin(), log.end(), "txtA.Change:abcd"), 1);

  // An edit Qt makes itself (context menu, input method) is a user edit.
  lineA()->selectAll();
  lineA()->insert("xyz");
  EXPECT_EQ(a->Text(), "xyz");
  a->Locked(true);
  lineA()->setReadOnly(false);  // as if the widget let it through
  lineA()->insert("!");
  EXPECT_EQ(a->Text(), "xyz");
  EXPECT_EQ(lineA()->text(), "xyz");
}

TEST_F(TextBoxPeerTest, AControlThatGoesAwayTakesItsWidgetAndAWidgetThatGoesAwayDetaches) {
  QPointer<QLineEdit> edit = lineA();
  form.Remove(*a);
  a.reset();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(edit.isNull());

  delete lineB();
  EXPECT_EQ(b->peer(), nullptr);
  b->Text("still works");
  EXPECT_EQ(b->Text(), "still works");
}

TEST(QtHostTest, MessageBoxesSettingsPointerAndLocale) {
  QTemporaryDir dir;
  QtHost host(dir.filePath("settings.ini"));
  // Yes/No/Cancel with the second button as default; the user presses No.
  host.onMessageBox([](QMessageBox& box) {
    EXPECT_EQ(box.icon(), QMessageBox::Question);
    EXPECT_EQ(box.windowTitle(), "Save");
    EXPECT_EQ(static_cast<QAbstractButton*>(box.defaultButton()), box.button(QMessageBox::No));
    QTest::mouseClick(box.button(QMessageBox::No), Qt::LeftButton);
  });
  EXPECT_EQ(host.MsgBox("Save changes?", vb::vbYesNoCancel | vb::vbQuestion | vb::vbDefaultButton2,
                        "Save"),
            vb::vbNo);
  // Escape answers Cancel; on an OK-only box it answers OK.
  host.onMessageBox([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); });
  EXPECT_EQ(host.MsgBox("Go on?", vb::vbOKCancel), vb::vbCancel);
  EXPECT_EQ(host.MsgBox("Done", vb::vbOKOnly | vb::vbInformation), vb::vbOK);
  // A box without Cancel waits for a button: Escape must not answer No to a
  // save prompt and throw the user's edits away.
  host.onMessageBox([](QMessageBox& box) {
    QTest::keyClick(&box, Qt::Key_Escape);
    EXPECT_TRUE(box.isVisible());
    QTest::mouseClick(box.button(QMessageBox::Yes), Qt::LeftButton);
  });
  EXPECT_EQ(host.MsgBox("Do you want to save your changes?", vb::vbYesNo), vb::vbYes);
  host.onMessageBox([&](QMessageBox& box) {
    EXPECT_EQ(box.windowTitle().toStdString(), host.AppTitle());  // no title: the app's
    QTest::mouseClick(box.button(QMessageBox::Retry), Qt::LeftButton);
  });
  EXPECT_EQ(host.MsgBox("Failed", vb::vbAbortRetryIgnore | vb::vbCritical), vb::vbRetry);

  host.SaveSetting("Screens", "Customers/Main", "Width", "7200");
  EXPECT_EQ(host.GetSetting("Screens", "Customers/Main", "Width"), "7200");
  EXPECT_EQ(host.GetSetting("Screens", "Customers", "Width", "none"), "none");
  QtHost again(dir.filePath("settings.ini"));
  EXPECT_EQ(again.GetSetting("Screens", "Customers/Main", "Width"), "7200");
  EXPECT_THROW(host.SaveSetting("", "s", "k", "v"), Error);

  host.SetMousePointer(vb::vbHourglass);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  host.SetMousePointer(vb::vbDefault);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  const Locale german = QtHost::LocaleOf(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(german.decimalSeparator, ',');
  EXPECT_EQ(german.thousandsSeparator, '.');
  EXPECT_EQ(german.dateOrder, Locale::DateOrder::DMY);
  EXPECT_EQ(german.dateSeparator, '.');
  EXPECT_EQ(german.monthNames[2], "März");
  EXPECT_EQ(german.dayNames[0], "Sonntag");
  const Locale us = QtHost::LocaleOf(QLocale(QLocale::English, QLocale::UnitedStates));
  EXPECT_EQ(us.dateOrder, Locale::DateOrder::MDY);
  EXPECT_EQ(us.shortDatePattern.find("yyyy") != std::string::npos, true);
  EXPECT_FALSE(us.twentyFourHour);

  // (That what the screen shows in each desktop locale, the plain C of
  // containers too, reads back as the same value is the window's test under X.)
  // Qt's own widgets (the calendar) follow the host's regional settings.
  host.setLocale(Locale::German());
  EXPECT_EQ(QLocale().name(), "de_DE");
  host.setLocale(QtHost::LocaleOf(QLocale::system()));
  EXPECT_EQ(QLocale(), QLocale::system());
}

}  // namespace
}  // namespace kiv::qt
