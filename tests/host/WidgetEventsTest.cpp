// The intrinsic widgets' container semantics: which writes and which typed
// input raise which events, and the late-bound members a form walk uses.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "kiv/host/CheckBox.h"
#include "kiv/host/ComboBox.h"
#include "kiv/host/Control.h"
#include "kiv/host/Form.h"
#include "kiv/host/Label.h"
#include "kiv/host/TextBox.h"
#include "kiv/runtime/Error.h"
#include "support/ErrorChecks.h"
#include "support/HostedTest.h"

namespace kiv {
namespace {

// Records a text box's events as short lines.
struct TextLog {
  std::vector<std::string> lines;
  void attach(TextBox& t) {
    t.events.Change.connect([this, &t] { lines.push_back("Change " + t.Text()); });
    t.events.KeyDown.connect([this](std::int16_t& k, std::int16_t& s) {
      lines.push_back("KeyDown " + std::to_string(k) + "," + std::to_string(s));
    });
    t.events.KeyPress.connect(
        [this](std::int16_t& a) { lines.push_back("KeyPress " + std::to_string(a)); });
    t.events.KeyUp.connect(
        [this](std::int16_t& k, std::int16_t&) { lines.push_back("KeyUp " + std::to_string(k)); });
  }
};

TEST(TextBox, TypingRaisesKeyDownKeyPressChangeKeyUpPerCharacter) {
  TextBox box("txt");
  TextLog log;
  log.attach(box);
  ASSERT_TRUE(box.type("aB"));
  EXPECT_EQ(log.lines,
            (std::vector<std::string>{"KeyDown 65,0", "KeyPress 97", "Change a", "KeyUp 65",
                                      "KeyDown 66,1", "KeyPress 66", "Change aB", "KeyUp 66"}));
  EXPECT_EQ(box.SelStart(), 2);

  // Typing replaces the selection; Backspace and Delete edit around the caret.
  box.SelStart(0);
  box.SelLength(1);
  box.type("x");
  EXPECT_EQ(box.Text(), "xB");
  box.pressKey(key::Back);
  EXPECT_EQ(box.Text(), "B");
  box.pressKey(key::Delete);
  EXPECT_EQ(box.Text(), "");
  // Backspace at the start changes nothing and raises no Change.
  log.lines.clear();
  box.pressKey(key::Back);
  EXPECT_EQ(log.lines, (std::vector<std::string>{"KeyDown 8,0", "KeyPress 8", "KeyUp 8"}));

  // Characters beyond ASCII are inserted whole.
  box.type("é€");
  EXPECT_EQ(box.Text(), "é€");
  EXPECT_EQ(box.SelStart(), 2);
}

TEST(TextBox, KeyAsciiZeroSwallowsAChangedKeyAsciiIsInsertedAndOnlyANewTextIsAChange) {
  TextBox box("txt");
  box.events.KeyPress.connect([](std::int16_t& a) {
    if (a == '1') a = 0;                                              // swallow digits one
    if (a >= 'a' && a <= 'z') a = static_cast<std::int16_t>(a - 32);  // upper-case
  });
  int changes = 0;
  box.events.Change.connect([&] { ++changes; });
  box.type("a1b");
  EXPECT_EQ(box.Text(), "AB");
  EXPECT_EQ(changes, 2);
  box.Text("AB");
  EXPECT_EQ(changes, 2);
  box.Text("");
  EXPECT_EQ(changes, 3);
}

TEST(TextBox, LockedBoxIgnoresTypingButRaisesKeysAndMaxLengthCutsInput) {
  TextBox box("txt");
  box.Text("keep");
  box.Locked(true);
  TextLog log;
  log.attach(box);
  box.type("z");
  box.pressKey(key::Back);
  box.pressKey(key::Delete);
  EXPECT_FALSE(box.userSetText("pasted"));
  EXPECT_EQ(box.Text(), "keep");
  EXPECT_EQ(log.lines.front(), "KeyDown 90,0");
  EXPECT_EQ(std::count_if(log.lines.begin(), log.lines.end(),
                          [](const std::string& l) { return l.starts_with("Change"); }),
            0);

  box.Locked(false);
  box.Text("");
  box.MaxLength(3);
  box.type("abcdef");
  EXPECT_EQ(box.Text(), "abc");
  EXPECT_TRUE(box.userSetText("123456"));
  EXPECT_EQ(box.Text(), "123");
  // A selection can still be replaced when the box is full.
  box.SelStart(1);
  box.SelLength(1);
  box.type("x");
  EXPECT_EQ(box.Text(), "1x3");
  box.Text("abcdef");  // a write from code is not cut
  EXPECT_EQ(box.Text(), "abcdef");
  EXPECT_THROW(box.MaxLength(-1), Error);
}

TEST(CheckBox, ValueWritesClickOnlyOnChangeAndUserClickToggles) {
  CheckBox chk("chk");
  std::vector<int> clicks;
  chk.events.Click.connect([&] { clicks.push_back(chk.Value()); });
  chk.Value(1);
  chk.Value(1);
  chk.Value(0);
  EXPECT_EQ(clicks, (std::vector<int>{1, 0}));
  chk.click();
  EXPECT_EQ(chk.Value(), 1);
  chk.Value(2);
  chk.click();  // grayed goes to unchecked
  EXPECT_EQ(chk.Value(), 0);
  chk.pressKey(key::Space);
  EXPECT_EQ(chk.Value(), 1);
  EXPECT_EQ(clicks, (std::vector<int>{1, 0, 1, 2, 0, 1}));
  EXPECT_THROW(chk.Value(3), Error);
}

TEST(ComboBox, ListEditsKeepTheSelectionOnItsItemAndListIndexClicksOnEveryWrite) {
  ComboBox cmb("cmb");
  int clicks = 0, changes = 0;
  cmb.events.Click.connect([&] { ++clicks; });
  cmb.events.Change.connect([&] { ++changes; });
  cmb.AddItem("B");
  cmb.AddItem("D");
  cmb.ListIndex(1);
  cmb.ListIndex(1);
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(cmb.Text(), "D");
  EXPECT_EQ(changes, 0);  // a list selection is not a text edit
  EXPECT_THROW(cmb.ListIndex(2), Error);
  cmb.AddItem("A", 0);  // inserting before the selection moves it along
  EXPECT_EQ(cmb.ListIndex(), 2);
  EXPECT_EQ(cmb.List(2), "D");
  cmb.RemoveItem(0);
  EXPECT_EQ(cmb.ListIndex(), 1);
  EXPECT_THROW(cmb.RemoveItem(5), Error);
  EXPECT_THROW(cmb.List(9), Error);
  // An editable box's text selects the item equal to it, without Click.
  cmb.Text("B");
  EXPECT_EQ(cmb.ListIndex(), 0);
  cmb.Text("neither");
  EXPECT_EQ(cmb.ListIndex(), -1);
  EXPECT_EQ(clicks, 2);
  cmb.Locked(true);
  EXPECT_FALSE(cmb.pick(0));
  cmb.type("x");
  EXPECT_EQ(cmb.Text(), "neither");
  cmb.Locked(false);

  // Typing edits the text (Change) and Clear empties it (Change).
  cmb.Text("");
  changes = 0;
  cmb.type("ab");
  EXPECT_EQ(cmb.Text(), "ab");
  EXPECT_EQ(changes, 2);
  cmb.Clear();
  EXPECT_EQ(cmb.Text(), "");
  EXPECT_EQ(cmb.ListCount(), 0);
  EXPECT_EQ(cmb.ListIndex(), -1);
  EXPECT_EQ(changes, 3);
  // Late-bound list members, as a dialog fills its lists; already empty: no Change.
  cmb.call("Clear");
  EXPECT_EQ(changes, 3);
  cmb.call("AddItem", {Variant("Equal to")});
  EXPECT_EQ(cmb.get("ListCount"), Variant(1));
  EXPECT_EQ(cmb.get("List", {Variant(0)}), Variant("Equal to"));

  // A drop-down list takes only its items as text.
  ComboBox list("lst");
  list.Style(2);
  list.AddItem("A");
  list.AddItem("B");
  int listClicks = 0;
  list.events.Click.connect([&] { ++listClicks; });
  list.Text("B");
  EXPECT_EQ(list.ListIndex(), 1);
  EXPECT_THROW(list.Text("C"), Error);
  EXPECT_TRUE(list.pick(0));
  EXPECT_EQ(list.Text(), "A");
  list.type("b");  // a character selects the item starting with it
  EXPECT_EQ(list.Text(), "B");
  EXPECT_EQ(listClicks, 3);
  list.Clear();
  EXPECT_EQ(list.Text(), "");
}

TEST(Widgets, LateBoundMembersServeAFormWalk) {
  auto form = std::make_shared<Form>("frm");
  auto txt = test::AddTo<TextBox>(*form, "txtName");
  auto cmb = test::AddTo<ComboBox>(*form, "cmbKind");
  auto chk = test::AddTo<CheckBox>(*form, "chkActive");
  auto lbl = test::AddTo<Label>(*form, "lblName");
  txt->DataField("Name");

  std::vector<std::string> names;
  for (const auto& c : form->Controls()) {
    names.push_back(c->get("Name").string());
    IgnoreErrors([&] {
      c->let("Locked", Variant(true));
      c->let("BackColor", Variant(static_cast<std::int32_t>(0x8000000F)));
    });
  }
  EXPECT_EQ(names, (std::vector<std::string>{"txtName", "cmbKind", "chkActive", "lblName"}));
  EXPECT_TRUE(txt->Locked());
  EXPECT_TRUE(cmb->Locked());
  EXPECT_EQ(txt->BackColor(), colour::ButtonFace);
  EXPECT_EQ(txt->get("DATAFIELD"), Variant("Name"));
  chk->let("Value", Variant(std::int16_t{1}));
  EXPECT_EQ(chk->Value(), 1);
  txt->let("Text", Variant(kNull));  // Null appended to "" is ""
  EXPECT_EQ(txt->Text(), "");
  // A colour written as an unsigned number keeps its system-colour meaning.
  txt->let("BackColor", Variant(2147483653.0));
  EXPECT_EQ(txt->BackColor(), colour::WindowBackground);
  EXPECT_KIV_ERROR(lbl->get("Text"), 438);  // a label has no Text
  // The form's own late-bound collection, by index and by name.
  EXPECT_EQ(form->get("Controls", {Variant(2)}).object().get(), chk.get());
  EXPECT_EQ(form->get("Controls", {Variant("CMBKIND")}).object().get(), cmb.get());
  EXPECT_EQ(form->get("Controls").array().size(), 4u);
  EXPECT_EQ(txt->get("Parent").object().get(), form.get());
}

}  // namespace
}  // namespace kiv
