#pragma once

#include <string>
#include <string_view>

#include "kiv/runtime/Locale.h"
#include "kiv/runtime/Variant.h"

// Date arithmetic and date <-> text helpers shared by the conversions and
// Format. Not part of the library's public surface.
namespace kiv::detail {

// Serials of 1 January 100 and of the last second of 31 December 9999.
inline constexpr double kMinDateSerial = -657434.0;
inline constexpr double kMaxDateSerial = 2958465.0 + 86399.0 / 86400.0;

bool SerialInRange(double serial);

// Days since 30 December 1899 of a proleptic Gregorian date, and back.
long DaysFromCivil(int year, int month, int day);
void CivilFromDays(long days, int& year, int& month, int& day);
int DaysInMonth(int year, int month);

// A date value split into calendar and clock parts (time rounded to the
// second). Raises 6 (Overflow) outside the host's date range.
struct DateFields {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0;
  int weekday = 7;  // 1 = Sunday ... 7 = Saturday
  int dayOfYear = 364;
  bool hasDate = false;  // the day part is not 30 December 1899
  bool hasTime = false;  // the time part is not midnight
};
DateFields SplitDate(DateTime value);

// A serial from calendar parts; a time before 1899-12-30 counts forward
// from its day, as the host stores it.
double JoinDate(long days, int secondsOfDay);

// Renders a pattern in the locale's notation (d dd ddd dddd M MM MMM MMMM
// yy yyyy h hh H HH m mm s ss tt, text in single quotes).
std::string RenderPattern(const DateFields& f, std::string_view pattern, const Locale& locale);
std::string ShortDateText(const DateFields& f, const Locale& locale);
std::string LongDateText(const DateFields& f, const Locale& locale);
std::string LongTimeText(const DateFields& f, const Locale& locale);
// The host's text of a date: short date, plus the long time when there is
// one; only the time when the day part is zero.
std::string GeneralDateText(DateTime value, const Locale& locale);

bool ParseDateText(std::string_view text, const Locale& locale, DateTime& out);

// The current year on this machine's clock (for dates typed without a year).
int CurrentYear();

}  // namespace kiv::detail
