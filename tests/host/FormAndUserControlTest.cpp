// Form life cycle and control order, user controls (extender, ambient font,
// property-change notification), and the remaining widget details the
// controls rely on.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "kiv/host/CommandButton.h"
#include "kiv/host/DataFormat.h"
#include "kiv/host/Form.h"
#include "kiv/host/HeadlessHost.h"
#include "kiv/host/MonthView.h"
#include "kiv/host/TextBox.h"
#include "kiv/host/UserControl.h"
#include "kiv/host/WidgetPeer.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"
#include "support/HostedTest.h"

namespace kiv {
namespace {

using FormTest = test::HostTest;
using test::AddTo;

class Editor : public UserControl {
 public:
  Editor() : UserControl("ctlEditor") {
    box = std::make_shared<TextBox>("txtText1");
    addConstituent(box);
  }
  void Resize() override {
    ++resizes;
    box->Move(0, 0, Width(), Height());
  }
  std::shared_ptr<TextBox> box;
  int resizes = 0;
};

class Screen : public Form {
 public:
  Screen() : Form("frmScreen") {}
  void Form_Load() override { log.push_back("Load"); }
  void Form_Resize() override { log.push_back("Resize"); }
  void Form_Unload() override { log.push_back("Unload"); }
  std::vector<std::string> log;
};

TEST_F(FormTest, LoadRunsOnEachShowAfterCreationOrUnloadAndLaysOutUserControls) {
  Screen form;
  auto editor = AddTo<Editor>(form);
  AddTo<TextBox>(form, "txtOther");
  editor->Move(100, 100, 1800, 285);
  editor->resizes = 0;
  form.Show();
  form.Show();  // already loaded: no second Load
  EXPECT_EQ(editor->resizes, 1);
  EXPECT_EQ(editor->box->Width(), 1800);
  form.Width(6000);
  form.Unload();
  EXPECT_THROW(form.get("Show"), Error);  // a method is not a property
  EXPECT_FALSE(form.IsLoaded());
  form.call("Show");
  EXPECT_EQ(form.log,
            (std::vector<std::string>{"Load", "Resize", "Resize", "Unload", "Load", "Resize"}));
}

TEST_F(FormTest, ControlsKeepTheirOrderAndRemovingOneDropsItsFocus) {
  Screen form;
  auto a = AddTo<TextBox>(form, "txtA");
  auto editor = AddTo<Editor>(form);
  auto b = AddTo<TextBox>(form, "txtB");
  form.Add(a);  // already there: stays in place
  ASSERT_EQ(form.Controls().size(), 3u);
  EXPECT_EQ(form.control("CTLEDITOR"), editor.get());
  EXPECT_EQ(form.control("missing"), nullptr);
  editor->box->SetFocus();
  EXPECT_EQ(form.ActiveControl(), editor->box.get());
  form.Remove(*editor);
  EXPECT_EQ(form.ActiveControl(), nullptr);
  EXPECT_EQ(editor->box->Parent(), nullptr);
  EXPECT_EQ(form.Controls().back().get(), b.get());
  // A control moves to the form it is added to.
  Screen second;
  second.Add(b);
  EXPECT_EQ(b->Parent(), &second);
  EXPECT_EQ(form.Controls().size(), 1u);
  // Tab backwards wraps around.
  second.Add(editor);
  b->SetFocus();
  EXPECT_TRUE(second.tab(true));
  EXPECT_EQ(second.ActiveControl(), editor->box.get());
  EXPECT_THROW(form.SetFocus(*b), Error);  // not on that form
}

struct NamePeer : WidgetPeer {
  std::vector<std::string> names;
  void propertyChanged(Control&, std::string_view name) override { names.emplace_back(name); }
};

TEST_F(FormTest, UserControlsNotifyTheHostAndOfferTheirExtender) {
  Screen form;
  auto editor = AddTo<Editor>(form);
  editor->Name("ctlUni1");
  NamePeer peer;
  editor->attachPeer(&peer);
  editor->PropertyChanged("Required_Field");
  EXPECT_EQ(host.lines("PropertyChanged"),
            (std::vector<std::string>{"PropertyChanged ctlUni1.Required_Field"}));
  EXPECT_EQ(peer.names, (std::vector<std::string>{"Required_Field"}));
  editor->detachPeer();

  // The extender: Name and Tag are the control's; the host's data binding.
  EXPECT_EQ(editor->Extender().Name(), "ctlUni1");
  editor->set("DataFormat", Variant(std::make_shared<DataFormat>("0.00")));
  EXPECT_EQ(editor->Extender().DataFormatString(), "0.00");
  editor->let("DataField", Variant("Price"));
  EXPECT_EQ(editor->Extender().DataField(), "Price");
  auto source = std::make_shared<Form>("source");
  editor->set("DataSource", Variant(source));
  EXPECT_EQ(editor->Extender().DataSource().object().get(), source.get());
  EXPECT_THROW(editor->Extender().DataSource(Variant("text")), Error);
  EXPECT_THROW(editor->set("DataFormat", Variant(source)), Error);
  EXPECT_EQ(editor->constituent("TXTTEXT1"), editor->box.get());
  EXPECT_THROW(editor->Width(-1), Error);
}

TEST(Widgets, KeysMapToTheCharactersTheyType) {
  EXPECT_EQ(Control::AsciiOfKey('S', key::CtrlMask), 19);
  EXPECT_EQ(Control::AsciiOfKey('S', key::AltMask), 0);
  EXPECT_EQ(Control::AsciiOfKey('S', key::ShiftMask), 'S');
  EXPECT_EQ(Control::AsciiOfKey('S', 0), 's');
  EXPECT_EQ(Control::AsciiOfKey('2', key::ShiftMask), '@');
  EXPECT_EQ(Control::AsciiOfKey(190, 0), '.');
  EXPECT_EQ(Control::AsciiOfKey(key::F4, 0), 0);

  // Ctrl+letter types nothing into a box but still raises KeyPress.
  TextBox box("txt");
  std::vector<int> presses;
  box.events.KeyPress.connect([&](std::int16_t& a) { presses.push_back(a); });
  box.pressKey('F', key::CtrlMask);
  box.pressKey(key::F4);
  EXPECT_EQ(box.Text(), "");
  EXPECT_EQ(presses, (std::vector<int>{6}));

  // Arrow keys move the caret; a password character keeps one character.
  box.Text("abcd");
  box.pressKey(key::End);
  box.pressKey(key::Left);
  box.type("X");
  EXPECT_EQ(box.Text(), "abcXd");
  box.SelStart(1);
  box.SelLength(10);
  EXPECT_EQ(box.SelText(), "bcXd");
  box.PasswordChar("**");
  EXPECT_EQ(box.PasswordChar(), "*");
  EXPECT_EQ(box.Text(), "abcXd");
}

TEST(Widgets, MonthViewKeepsDatesAndMovesByKey) {
  MonthView view("mnv");
  view.Value(DateSerial(2024, 1, 31));
  view.Value(DateTime{view.Value().serial + 0.5});  // the time part is dropped
  EXPECT_EQ(view.Value(), DateSerial(2024, 1, 31));
  view.pressKey(key::PageDown);
  EXPECT_EQ(view.Value(), DateSerial(2024, 2, 29));
  view.pressKey(key::Right);
  EXPECT_EQ(view.Value(), DateSerial(2024, 3, 1));
  std::vector<double> picks;
  view.events.DateClick.connect([&](DateTime& d) { picks.push_back(d.serial); });
  view.events.DateDblClick.connect([&](DateTime& d) { picks.push_back(-d.serial); });
  view.dblPickDate(DateSerial(2024, 2, 29));
  EXPECT_EQ(picks,
            (std::vector<double>{DateSerial(2024, 2, 29).serial, -DateSerial(2024, 2, 29).serial}));
  int escapes = 0;
  view.events.KeyPress.connect([&](std::int16_t& a) { escapes += a == 27; });
  view.pressKey(key::Escape);
  EXPECT_EQ(escapes, 1);
}

}  // namespace
}  // namespace kiv
