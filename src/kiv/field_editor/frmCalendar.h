#pragma once

#include <memory>

#include "kiv/host/Form.h"
#include "kiv/runtime/Variant.h"

namespace kiv {

class MonthView;

// The calendar pop-up a date editor opens: a borderless modal form holding one
// month calendar, opened on today's date. Picking a date closes it and hands
// the date back in datCalendar_Date; Escape closes it handing back today.
// One instance exists per user-interface thread (Instance()), so the handed
// back date carries over from one use to the next.
class frmCalendar : public Form {
 public:
  frmCalendar();
  ~frmCalendar() override;

  // The thread's single calendar form.
  static frmCalendar& Instance();

  std::string_view TypeName() const override { return "frmCalendar"; }
  // It drops down from the date editor that opened it.
  bool DropsDown() const override { return true; }
  const MemberTable& memberTable() const override;

  // The date handed back: written only by a pick or by Escape, never reset.
  DateTime datCalendar_Date{};

  // True when the last showing ended with a pick or with Escape, false when
  // the form was closed any other way (the caller then keeps what it had).
  bool DateChosen() const { return m_booDate_Chosen; }

  MonthView& mnvMonth_View() const { return *m_mnvMonth_View; }

 protected:
  void Form_Load() override;
  void Form_Resize() override;

 private:
  void mnvMonth_View_DateClick(DateTime date);
  void mnvMonth_View_KeyPress(std::int16_t& keyAscii);

  std::shared_ptr<MonthView> m_mnvMonth_View;
  bool m_booDate_Chosen = false;
};

}  // namespace kiv
