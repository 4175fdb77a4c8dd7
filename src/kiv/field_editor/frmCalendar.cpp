#include "kiv/field_editor/frmCalendar.h"

#include "kiv/host/Control.h"
#include "kiv/host/Host.h"
#include "kiv/host/MonthView.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"

namespace kiv {

frmCalendar::frmCalendar() : Form("frmCalendar") {
  Caption("");
  m_mnvMonth_View = std::make_shared<MonthView>("mnvMonth_View");
  m_mnvMonth_View->TabIndex(0);
  Add(m_mnvMonth_View);
  m_mnvMonth_View->events.DateClick.connect(
      [this](DateTime& date) { mnvMonth_View_DateClick(date); });
  m_mnvMonth_View->events.KeyPress.connect(
      [this](std::int16_t& keyAscii) { mnvMonth_View_KeyPress(keyAscii); });
}

frmCalendar::~frmCalendar() = default;

frmCalendar& frmCalendar::Instance() {
  thread_local const std::shared_ptr<frmCalendar> instance = std::make_shared<frmCalendar>();
  return *instance;
}

void frmCalendar::Form_Load() {
  m_booDate_Chosen = false;
  m_mnvMonth_View->Value(Host::Current().Today());
}

void frmCalendar::Form_Resize() {
  IgnoreErrors([this] {
    m_mnvMonth_View->Left(0);
    m_mnvMonth_View->Top(0);
  });
  IgnoreErrors([this] { Width(m_mnvMonth_View->Width()); });
  IgnoreErrors([this] { Height(m_mnvMonth_View->Height()); });
}

void frmCalendar::mnvMonth_View_DateClick(DateTime date) {
  datCalendar_Date = date;
  m_booDate_Chosen = true;
  Unload();
}

void frmCalendar::mnvMonth_View_KeyPress(std::int16_t& keyAscii) {
  if (keyAscii != key::Escape) return;
  datCalendar_Date = Host::Current().Today();
  m_booDate_Chosen = true;
  Unload();
}

const MemberTable& frmCalendar::memberTable() const {
  using B = MemberTable::Builder<frmCalendar>;
  static const MemberTable table =
      B(&Form::Members())
          .property(
              "datCalendar_Date", [](frmCalendar& f) { return Variant(f.datCalendar_Date); },
              [](frmCalendar& f, const Variant& v) { f.datCalendar_Date = CDate(v); })
          .get("mnvMonth_View",
               [](frmCalendar& f) {
                 return Variant(std::static_pointer_cast<Dispatch>(f.m_mnvMonth_View));
               })
          .build();
  return table;
}

}  // namespace kiv
