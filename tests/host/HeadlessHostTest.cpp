// The headless host: transcript, scripted answers, settings file, clock and
// locale, and modal forms handed to drivers.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "kiv/host/Form.h"
#include "kiv/host/HeadlessHost.h"
#include "kiv/host/MonthView.h"
#include "kiv/host/UserControl.h"
#include "kiv/runtime/Error.h"
#include "kiv/runtime/Locale.h"
#include "support/ErrorChecks.h"
#include "support/HostedTest.h"
#include "support/TempDir.h"

namespace kiv {
namespace {

using HeadlessHostTest = test::HostTest;

TEST_F(HeadlessHostTest, MessageBoxesTakeQueuedAnswersThenTheCallbackThenTheDefaultButton) {
  host.queueAnswer(vb::vbNo);
  EXPECT_EQ(Host::Current().MsgBox("Do you want to save your changes?",
                                   vb::vbYesNo + vb::vbQuestion, "Save"),
            vb::vbNo);
  // Unscripted: the first button, or the one vbDefaultButton2/3 names.
  EXPECT_EQ(host.MsgBox("a", vb::vbYesNoCancel), vb::vbYes);
  EXPECT_EQ(host.MsgBox("b", vb::vbYesNoCancel + vb::vbDefaultButton3), vb::vbCancel);
  EXPECT_EQ(host.MsgBox("c", vb::vbOKOnly + vb::vbDefaultButton2), vb::vbOK);
  std::string seenTitle;
  host.setAnswerCallback([&](std::string_view, int, std::string_view title) {
    seenTitle = std::string(title);
    return vb::vbCancel;
  });
  host.queueAnswer(vb::vbOK);
  EXPECT_EQ(host.MsgBox("queued first", vb::vbOKCancel), vb::vbOK);
  EXPECT_EQ(host.MsgBox("line 1\r\nsaid \"x\"", vb::vbOKCancel + vb::vbCritical), vb::vbCancel);
  EXPECT_EQ(seenTitle, "KivControls");  // an empty title shows the application's title

  // A scripted answer that is not a button of the box is refused, and recorded.
  host.setAnswerCallback(nullptr);
  host.queueAnswer(vb::vbYes);
  EXPECT_THROW(host.MsgBox("Search data could not be retrieved.", vb::vbCritical, "Search"), Error);

  EXPECT_EQ(
      host.lines(),
      (std::vector<std::string>{
          R"(MsgBox title="Save" buttons=YesNo icon=Question prompt="Do you want to save your changes?" -> No)",
          R"(MsgBox title="KivControls" buttons=YesNoCancel icon=none prompt="a" -> Yes)",
          R"(MsgBox title="KivControls" buttons=YesNoCancel default=3 icon=none prompt="b" -> Cancel)",
          R"(MsgBox title="KivControls" buttons=OKOnly default=2 icon=none prompt="c" -> OK)",
          R"(MsgBox title="KivControls" buttons=OKCancel icon=none prompt="queued first" -> OK)",
          R"(MsgBox title="KivControls" buttons=OKCancel icon=Critical prompt="line 1\r\nsaid \"x\"" -> Cancel)",
          R"(MsgBox title="Search" buttons=OKOnly icon=Critical prompt="Search data could not be retrieved." -> refused Yes)",
      }));

  host.clearTranscript();
  host.Beep();
  host.SetMousePointer(vb::vbHourglass);
  host.SetMousePointer(vb::vbDefault);
  host.Trace("ctlUni1.DataChanged \"A\" False");
  UserControl uc("ctlUni1");
  uc.PropertyChanged("Text");
  host.recordPropertyChanges(false);
  uc.PropertyChanged("Locked");
  EXPECT_EQ(host.lines(), (std::vector<std::string>{"Beep", "MousePointer 11", "MousePointer 0",
                                                    "Trace ctlUni1.DataChanged \"A\" False",
                                                    "PropertyChanged ctlUni1.Text"}));
}

TEST_F(HeadlessHostTest, SettingsLiveInAJsonFileWrittenOnEverySave) {
  const test::TempDir dir("kiv_host_settings");
  const auto file = dir.path / "settings.json";

  EXPECT_EQ(host.GetSetting("KivControls", "Search", "Find1", "none"), "none");
  host.SaveSetting("KivControls", "Search", "Find1", "in memory");
  host.useSettingsFile(file);  // a missing file is an empty store
  EXPECT_EQ(host.GetSetting("KivControls", "Search", "Find1"), "");
  host.SaveSetting("KivControls", "Search", "Find1", "O'Brien");
  host.SaveSetting("KivControls", "Search", "Find2", "Smith \"Jr\"");
  {
    HeadlessHost other;
    other.useSettingsFile(file);
    EXPECT_EQ(other.GetSetting("KivControls", "Search", "Find1"), "O'Brien");
    EXPECT_EQ(other.GetSetting("KivControls", "Search", "Find2"), "Smith \"Jr\"");
    EXPECT_EQ(other.GetSetting("KivControls", "Other", "Find1", "d"), "d");
  }
  EXPECT_THROW(host.SaveSetting("", "Search", "Find1", "x"), Error);

  // A malformed file is reported with its name, and the store is not replaced.
  const auto bad = dir.path / "bad.json";
  std::ofstream(bad) << R"({"KivControls": {"Search": {"Find1": 12}}})";
  const std::string error = ErrorDescription([&] { host.useSettingsFile(bad); });
  EXPECT_NE(error.find("bad.json"), std::string::npos) << error;
  EXPECT_NE(error.find("Find1"), std::string::npos) << error;
  EXPECT_EQ(host.GetSetting("KivControls", "Search", "Find1"), "O'Brien");
}

TEST_F(HeadlessHostTest, ClockLocaleAndTheDefaultHostOfAThread) {
  host.setNow(DateTime{45000.75});
  EXPECT_EQ(Host::Current().Now().serial, 45000.75);
  EXPECT_EQ(Host::Current().Today().serial, 45000.0);
  host.setToday(DateTime{45100.4});
  EXPECT_EQ(host.Now().serial, 45100.0);
  host.setNow(std::nullopt);
  EXPECT_GT(host.Now().serial, 40000.0);  // the system clock

  host.setLocale(Locale::German());
  EXPECT_EQ(Locale::Current().decimalSeparator, ',');
  host.setLocale(Locale::Invariant());

  // Another thread without a host of its own gets a headless one.
  bool hadHost = false;
  std::thread([&] { hadHost = Host::Current().MsgBox("x") == vb::vbOK; }).join();
  EXPECT_TRUE(hadHost);
  EXPECT_TRUE(host.transcript().empty());
}

// A form with a calendar, loaded on each showing, as the calendar pop-up is.
class CalendarForm : public Form {
 public:
  CalendarForm() : Form("frmCalendar") {
    view = std::make_shared<MonthView>("mnvMonth_View");
    Add(view);
    view->events.DateClick.connect([this](DateTime& d) {
      picked = d;
      Unload();
    });
  }
  void Form_Load() override {
    ++loads;
    view->Value(Host::Current().Today());
  }
  void Form_Resize() override { ++resizes; }
  void Form_Unload() override { ++unloads; }
  std::shared_ptr<MonthView> view;
  DateTime picked{};
  int loads = 0, resizes = 0, unloads = 0;
};

TEST_F(HeadlessHostTest, ModalFormsGoToDriversAndAreClosedWhenLeftOpen) {
  host.setToday(DateTime{45000});
  CalendarForm calendar;
  // A queued driver picks a date; the form unloads itself.
  host.pushModalDriver([](Form& f) {
    auto& cal = dynamic_cast<CalendarForm&>(f);
    EXPECT_TRUE(cal.IsModal());
    EXPECT_EQ(cal.view->Value().serial, 45000.0);
    cal.view->pickDate(DateTime{45351});  // 29 February 2024
  });
  calendar.Show(vb::vbModal);
  EXPECT_FALSE(calendar.IsLoaded());
  EXPECT_EQ(calendar.picked.serial, 45351.0);
  EXPECT_EQ(calendar.loads, 1);
  EXPECT_EQ(calendar.resizes, 1);

  // No driver: the user closes the window.
  calendar.Show(vb::vbModal);
  EXPECT_EQ(calendar.loads, 2);
  EXPECT_EQ(calendar.unloads, 2);
  EXPECT_FALSE(calendar.IsLoaded());

  // The fallback acts when no one-shot driver is queued; drivers may nest.
  Form outer("frmOuter");
  std::vector<std::string> order;
  host.setModalFallback([&](Form& f) {
    order.push_back("fallback " + f.Name());
    if (&f == &outer) {
      host.pushModalDriver([&](Form& inner) {
        order.push_back("driver " + inner.Name());
        EXPECT_EQ(host.modalStack().size(), 2u);
        dynamic_cast<CalendarForm&>(inner).view->pickDate(DateTime{45002});
      });
      calendar.Show(vb::vbModal, &outer);
      order.push_back("inner returned");
      // Showing a form modally while it is already shown is refused.
      EXPECT_THROW(outer.Show(vb::vbModal), Error);
      outer.Unload();
    }
  });
  outer.Show(vb::vbModal);
  EXPECT_EQ(order, (std::vector<std::string>{"fallback frmOuter", "driver frmCalendar",
                                             "inner returned"}));
  EXPECT_EQ(calendar.picked.serial, 45002.0);
  EXPECT_TRUE(host.modalStack().empty());
  EXPECT_EQ(host.lines("Modal"),
            (std::vector<std::string>{"Modal show frmCalendar", "Modal show frmCalendar",
                                      "Modal frmCalendar closed by the user", "Modal show frmOuter",
                                      "Modal show frmCalendar"}));

  // A driver that hides the form ends the showing and leaves it loaded.
  std::vector<std::string> formChanges;
  calendar.events.PropertyChanged.connect([&](std::string& p) { formChanges.push_back(p); });
  host.pushModalDriver([](Form& f) { f.Hide(); });
  calendar.Show(vb::vbModal);
  EXPECT_TRUE(calendar.IsLoaded());
  EXPECT_FALSE(calendar.Visible());
  calendar.Caption("Pick a date");
  calendar.Unload();
  EXPECT_EQ(formChanges, (std::vector<std::string>{"Visible", "Visible", "Caption"}));

  // A driver that fails leaves no form open behind the caller.
  host.setModalFallback(nullptr);
  host.pushModalDriver([](Form&) { throw Error(5, "test", "driver failed"); });
  EXPECT_THROW(calendar.Show(vb::vbModal), Error);
  EXPECT_FALSE(calendar.IsLoaded());
  EXPECT_FALSE(calendar.IsModal());
}

}  // namespace
}  // namespace kiv
