// Focus moves, click ordering and the modal-shown-during-click rule, user
// control constituents, Enter/Escape on Default/Cancel buttons, and peers.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "kiv/host/CheckBox.h"
#include "kiv/host/CommandButton.h"
#include "kiv/host/Form.h"
#include "kiv/host/HeadlessHost.h"
#include "kiv/host/Label.h"
#include "kiv/host/TextBox.h"
#include "kiv/host/UserControl.h"
#include "kiv/host/WidgetPeer.h"
#include "kiv/runtime/Error.h"
#include "support/HostedTest.h"

namespace kiv {
namespace {

using test::AddTo;

// Records focus and mouse events of text boxes and buttons as "txt.GotFocus".
struct Log {
  std::vector<std::string> lines;
  template <class Widget>
  void watch(Widget& w) {
    const std::string n = w.Name();
    w.events.GotFocus.connect([this, n] { lines.push_back(n + ".GotFocus"); });
    w.events.LostFocus.connect([this, n] { lines.push_back(n + ".LostFocus"); });
    w.events.MouseDown.connect(
        [this, n](auto&, auto&, auto&, auto&) { lines.push_back(n + ".MouseDown"); });
    w.events.MouseUp.connect(
        [this, n](auto&, auto&, auto&, auto&) { lines.push_back(n + ".MouseUp"); });
    w.events.Click.connect([this, n] { lines.push_back(n + ".Click"); });
    if constexpr (requires { w.events.DblClick; })
      w.events.DblClick.connect([this, n] { lines.push_back(n + ".DblClick"); });
  }
};

using Focus = test::HostTest;

TEST_F(Focus, SetFocusRaisesLostFocusThenGotFocusAndNothingWhenItStays) {
  Form form("frm");
  auto a = AddTo<TextBox>(form, "txtA");
  auto b = AddTo<TextBox>(form, "txtB");
  Log log;
  log.watch(*a);
  log.watch(*b);
  Control* activeDuringLostFocus = nullptr;
  a->events.LostFocus.connect([&] { activeDuringLostFocus = form.ActiveControl(); });
  a->SetFocus();
  form.SetFocus(*b);
  form.SetFocus(*b);
  EXPECT_EQ(log.lines,
            (std::vector<std::string>{"txtA.GotFocus", "txtA.LostFocus", "txtB.GotFocus"}));
  EXPECT_EQ(activeDuringLostFocus, b.get());
  EXPECT_EQ(form.ActiveControl(), b.get());

  // A disabled or invisible control cannot take the focus or be clicked.
  a->Enabled(false);
  EXPECT_FALSE(a->CanFocus());
  EXPECT_THROW(a->SetFocus(), Error);
  EXPECT_FALSE(a->click());
  EXPECT_FALSE(a->type("x"));
  a->Enabled(true);
  a->Visible(false);
  EXPECT_THROW(form.SetFocus(*a), Error);
  EXPECT_EQ(form.ActiveControl(), b.get());

  // A LostFocus handler that moves the focus back keeps it there.
  a->Visible(true);
  b->events.LostFocus.connect([&] { b->SetFocus(); });
  log.lines.clear();
  a->SetFocus();
  EXPECT_EQ(form.ActiveControl(), b.get());
}

TEST_F(Focus, ClickOrderAndAModalFormShownDuringTheClickTakingTheMouseUpAndClick) {
  Form form("frm");
  auto txt = AddTo<TextBox>(form, "txt");
  auto cmd = AddTo<CommandButton>(form, "cmd");
  auto lbl = AddTo<Label>(form, "lbl");
  Log log;
  log.watch(*txt);
  log.watch(*cmd);
  txt->SetFocus();
  log.lines.clear();
  ASSERT_TRUE(cmd->click());
  EXPECT_EQ(log.lines, (std::vector<std::string>{"cmd.MouseDown", "txt.LostFocus", "cmd.GotFocus",
                                                 "cmd.MouseUp", "cmd.Click"}));
  // A label takes no focus; clicking it leaves the focus where it was.
  int labelClicks = 0;
  lbl->events.Click.connect([&] { ++labelClicks; });
  ASSERT_TRUE(lbl->click());
  EXPECT_EQ(labelClicks, 1);
  EXPECT_EQ(form.ActiveControl(), cmd.get());

  log.lines.clear();
  txt->dblClick();
  EXPECT_EQ(log.lines, (std::vector<std::string>{"txt.MouseDown", "cmd.LostFocus", "txt.GotFocus",
                                                 "txt.MouseUp", "txt.Click", "txt.DblClick"}));

  // Leaving the text box now opens a modal dialog (as a pending lookup does),
  // which takes the MouseUp and the Click; the next click is an ordinary one.
  Form dialog("dlg");
  txt->events.LostFocus.connect([&] { dialog.Show(vb::vbModal); });
  log.lines.clear();
  cmd->click();
  EXPECT_EQ(log.lines,
            (std::vector<std::string>{"cmd.MouseDown", "txt.LostFocus", "cmd.GotFocus"}));
  EXPECT_EQ(host.lines("Modal"),
            (std::vector<std::string>{"Modal show dlg", "Modal dlg closed by the user"}));
  log.lines.clear();
  cmd->click();
  EXPECT_EQ(log.lines, (std::vector<std::string>{"cmd.MouseDown", "cmd.MouseUp", "cmd.Click"}));
}

// A user control with two constituents, as the library's controls are built.
class TwoBoxes : public UserControl {
 public:
  TwoBoxes() : UserControl("ctlPair") {
    first = std::make_shared<TextBox>("txtFirst");
    second = std::make_shared<TextBox>("txtSecond");
    first->TabIndex(0);
    second->TabIndex(1);
    addConstituent(first);
    addConstituent(second);
  }
  void Resize() override {
    ++resizes;
    if (Height() < 285) Height(285);  // a Resize that sets the size again
  }
  void EnterFocus() override { ++enters; }
  void ExitFocus() override { ++exits; }
  std::shared_ptr<TextBox> first, second;
  int resizes = 0, enters = 0, exits = 0;
};

TEST_F(Focus, ConstituentsTakeFocusAndTheFormTracksTheFocusedWidgetAtAnyDepth) {
  Form form("frm");
  auto pair = AddTo<TwoBoxes>(form);
  auto outside = AddTo<TextBox>(form, "txtOutside");
  EXPECT_EQ(pair->first->Parent(), &form);
  pair->SetFocus();  // goes to the first constituent
  EXPECT_EQ(form.ActiveControl(), pair->first.get());
  pair->second->type("hi");
  EXPECT_EQ(form.ActiveControl(), pair->second.get());
  EXPECT_EQ(pair->second->Text(), "hi");
  EXPECT_EQ(pair->enters, 1);
  outside->click();
  EXPECT_EQ(pair->exits, 1);
  // Tab walks the constituents in TabIndex order, then the next control.
  pair->first->SetFocus();
  EXPECT_TRUE(form.tab());
  EXPECT_EQ(form.ActiveControl(), pair->second.get());
  EXPECT_TRUE(form.tab());
  EXPECT_EQ(form.ActiveControl(), outside.get());
  // A disabled user control disables its constituents.
  pair->Enabled(false);
  EXPECT_FALSE(pair->first->CanFocus());
  EXPECT_FALSE(pair->second->type("x"));

  // Resize runs on a new size, and a Resize that resizes again settles.
  pair->resizes = 0;
  pair->Height(100);
  EXPECT_EQ(pair->Height(), 285);
  EXPECT_EQ(pair->resizes, 2);
  pair->Height(285);
  EXPECT_EQ(pair->resizes, 2);
}

TEST_F(Focus, EnterAndEscapeClickTheDefaultAndCancelButtons) {
  Form form("frm");
  auto txt = AddTo<TextBox>(form, "txt");
  auto ok = AddTo<CommandButton>(form, "cmdOK");
  auto cancel = AddTo<CommandButton>(form, "cmdCancel");
  ok->Default(true);
  cancel->Cancel(true);
  std::vector<std::string> clicks;
  ok->events.Click.connect([&] { clicks.push_back("OK"); });
  cancel->events.Click.connect([&] { clicks.push_back("Cancel"); });
  txt->type("a\r");
  txt->pressKey(key::Escape);
  EXPECT_EQ(clicks, (std::vector<std::string>{"OK", "Cancel"}));
  EXPECT_EQ(form.ActiveControl(), txt.get());
  // Space on a focused button clicks it.
  cancel->pressKey(key::Space);
  EXPECT_EQ(clicks.back(), "Cancel");
  // Only one Default button per form.
  cancel->Default(true);
  EXPECT_FALSE(ok->Default());
}

struct RecordingPeer : WidgetPeer {
  std::vector<std::string> seen;
  bool gone = false;
  void propertyChanged(Control&, std::string_view name) override {
    seen.push_back(std::string(name));
  }
  void geometryChanged(Control&) override { seen.push_back("geometry"); }
  void focusChanged(Control&, bool has) override { seen.push_back(has ? "focus+" : "focus-"); }
  void visibilityChanged(Control&, bool v) override { seen.push_back(v ? "shown" : "hidden"); }
  void detached(Control&) override { gone = true; }
};

TEST_F(Focus, PeersSeeEveryChangeAndAreDetachedWithTheControl) {
  RecordingPeer peer;
  {
    Form form("frm");
    auto txt = AddTo<TextBox>(form, "txt");
    txt->attachPeer(&peer);
    txt->Text("x");
    txt->BackColor(255);
    txt->Move(10, 20, 300, 400);
    txt->Visible(false);
    txt->Visible(true);
    txt->SetFocus();
    txt->userSetText("pasted");
    EXPECT_EQ(peer.seen,
              (std::vector<std::string>{"Text", "BackColor", "geometry", "hidden", "Visible",
                                        "shown", "Visible", "focus+", "Text"}));
    EXPECT_EQ(txt->Text(), "pasted");
    // Writing the same value again tells the peer nothing.
    peer.seen.clear();
    txt->BackColor(255);
    EXPECT_TRUE(peer.seen.empty());
  }
  EXPECT_TRUE(peer.gone);
}

}  // namespace
}  // namespace kiv
