// The calendar pop-up as a date editor opens it: pick, Escape, reopening on
// today, and closing it any other way.

#include <gtest/gtest.h>

#include <functional>

#include "FieldEditorFixture.h"
#include "kiv/field_editor/frmCalendar.h"
#include "kiv/host/MonthView.h"

namespace kiv::test {
namespace {

class CalendarTest : public FieldEditorTest {
 protected:
  void SetUp() override {
    FieldEditorTest::SetUp();
    uni->Type_Of_Control(tocDate);
  }

  // The user acts on the next calendar shown; records the date it opened on.
  void onNextCalendar(std::function<void(MonthView&)> act) {
    host.pushModalDriver([this, act](Form& f) {
      MonthView& view = dynamic_cast<frmCalendar&>(f).mnvMonth_View();
      openedOn.push_back(view.Value());
      act(view);
    });
  }
  void pickNext(DateTime date) {
    onNextCalendar([date](MonthView& view) { view.pickDate(date); });
  }

  std::vector<DateTime> openedOn;
};

TEST_F(CalendarTest, PickingADateWritesItInTheShortDateForm) {
  pickNext(DateSerial(2024, 2, 29));  // a leap day comes back exactly
  uni->cmdFunction().click();
  EXPECT_EQ(uni->Text(), "2/29/2024");
  EXPECT_FALSE(frmCalendar::Instance().IsLoaded());
  EXPECT_EQ(log.back(), "DataChanged 2/29/2024 False");

  // In a day-month-year locale the same pick reads the other way round.
  host.setLocale(Locale::EnglishUK());
  pickNext(DateSerial(2023, 12, 1));
  uni->cmdFunction_Click();
  EXPECT_EQ(uni->Text(), "01/12/2023");
  EXPECT_FALSE(uni->Invalid_Data());
  host.setLocale(Locale::Invariant());

  // Host code may still run the lookup of a locked editor: the pick is
  // written but neither validated nor announced.
  uni->Locked(true);
  pickNext(DateSerial(2024, 7, 4));
  log.clear();
  uni->cmdFunction_Click();
  EXPECT_EQ(uni->Text(), "7/4/2024");
  EXPECT_EQ(log, (std::vector<std::string>{"Change"}));
}

TEST_F(CalendarTest, EscapeHandsBackTodayClosingLeavesTheTextAndEachShowStartsOnToday) {
  uni->Text("1/2/2020");
  pickNext(DateSerial(2024, 2, 29));
  uni->cmdFunction_Click();
  onNextCalendar([](MonthView& view) { view.keyPress(27); });  // Escape
  uni->cmdFunction_Click();
  // Escape is not a cancellation: the editor takes today's date.
  EXPECT_EQ(uni->Text(), "5/17/2024");
  ASSERT_EQ(openedOn.size(), 2u);
  EXPECT_EQ(openedOn[0], DateSerial(2024, 5, 17));
  EXPECT_EQ(openedOn[1], DateSerial(2024, 5, 17));  // not the date picked before

  // Other keys are left to the calendar.
  onNextCalendar([](MonthView& view) {
    view.keyPress('a');
    EXPECT_TRUE(frmCalendar::Instance().IsLoaded());
    view.pickDate(DateSerial(2024, 6, 3));
  });
  uni->cmdFunction_Click();
  EXPECT_EQ(uni->Text(), "6/3/2024");

  // No driver: the host closes the form as a user closing the window would,
  // and the pick before is not taken again.
  uni->Text("3/4/2024");
  log.clear();
  uni->cmdFunction_Click();
  EXPECT_EQ(uni->Text(), "3/4/2024");
  EXPECT_TRUE(log.empty());
  frmCalendar& calendar = frmCalendar::Instance();
  EXPECT_FALSE(calendar.IsLoaded());
  // The form is sized to its calendar.
  EXPECT_EQ(calendar.Width(), calendar.mnvMonth_View().Width());
  EXPECT_EQ(calendar.Height(), calendar.mnvMonth_View().Height());
  EXPECT_EQ(calendar.mnvMonth_View().Left(), 0);
}

// The keyboard alone chooses a date: the arrows move the day, Enter picks it.
// A host whose calendar needs more room than the design size gets a form
// that large (the form follows its calendar).
TEST_F(CalendarTest, TheKeyboardAlonePicksADateAndTheFormFitsTheHostsCalendar) {
  onNextCalendar([](MonthView& view) {
    view.pressKey(key::Right);
    view.pressKey(key::Down);
    EXPECT_TRUE(frmCalendar::Instance().IsLoaded());
    view.pressKey(key::Return);
  });
  uni->cmdFunction_Click();
  EXPECT_EQ(uni->Text(), "5/25/2024");

  struct RoomyHost : HeadlessHost {
    std::pair<double, double> MonthViewSize() const override { return {4200, 2400}; }
  } roomy;
  roomy.setToday(DateSerial(2024, 5, 17));
  Host::SetCurrent(&roomy);
  roomy.pushModalDriver([](Form& f) {
    EXPECT_EQ(f.Width(), 4200);
    EXPECT_EQ(f.Height(), 2400);
    dynamic_cast<frmCalendar&>(f).mnvMonth_View().pickDate(DateSerial(2024, 1, 2));
  });
  uni->cmdFunction_Click();
  Host::SetCurrent(&host);
  EXPECT_EQ(uni->Text(), "1/2/2024");
}

}  // namespace
}  // namespace kiv::test
