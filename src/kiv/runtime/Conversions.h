#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "kiv/runtime/Locale.h"
#include "kiv/runtime/Variant.h"

namespace kiv {

// The host runtime's conversion functions. Each reads the current locale
// (Locale::Current()) unless one is passed. Errors: text that is not a number
// or date raises 13 (Type mismatch); an out-of-range result raises 6
// (Overflow); Null where a value is needed raises 94 (Invalid use of Null).
// Empty converts as 0 / "" / False / the zero date.

// Text form of a value: Null gives 94 (use TextOf for "Null appended to ''"),
// Boolean "True"/"False", Date the short date (plus the time when it has one),
// Double up to 15 significant digits without trailing zeros.
std::string CStr(const Variant& v);
double CDbl(const Variant& v);
std::int32_t CLng(const Variant& v);  // rounds half to even
std::int16_t CInt(const Variant& v);  // rounds half to even
Currency CCur(const Variant& v);
bool CBool(const Variant& v);      // non-zero; "True"/"#TRUE#", "False"/"#FALSE#"
DateTime CDate(const Variant& v);  // text parsed as IsDate accepts it

// The value appended to the empty string: as CStr, but Null (and Empty) give "".
std::string TextOf(const Variant& v);

// The host's IsNumeric and IsDate: blanks around, a sign, separators and an
// exponent are accepted; dates in the locale's numeric order, ISO yyyy-mm-dd,
// with month names, and an optional time.
//
// Numbers: a sign or parentheses, the locale's currency symbol before or
// after, &H and &O forms. Thousands separators must stand between groups of
// three digits: "1,5" is not a number on an English machine (rather than
// being read as 15), nor "1.5" on a German one.
// Dates: numbers only are read strictly in the locale's order (no silent
// swap of day and month), with one separator kind ("/", "-", "." or the
// locale's) between them; two numbers are a day and month of the current
// year, or a month and a year when they can be no day of that month in any
// year ("2 30" is February 1930, "2 29" is 29 February or no date); month
// and day names in the locale's language or English; two-digit years 00-29
// are 2000-2029, 30-99 are 1930-1999; 1 January 100 to 31 December 9999.
// A sign or separator at either end ("-1.1", "1.1-") or a time inside the
// date ("1 2 am 3") makes the text no date; where dates are written with
// dots a closing one is allowed ("6.12."). A blank between date and time may
// be an ideographic space; "AM"/"PM" after an hour past 12 is ignored.
bool IsNumeric(const Variant& v);
bool IsDate(const Variant& v);

// Parses text by the same rules; false when it is not a number / date.
bool ParseNumber(std::string_view text, double& out, const Locale& locale = Locale::Current());
bool ParseDate(std::string_view text, DateTime& out, const Locale& locale = Locale::Current());

// Format(value, format): named formats (General Number, Currency, Fixed,
// Standard, Percent, Scientific, Yes/No, True/False, On/Off, General Date,
// Long Date, Medium Date, Short Date, Long Time, Medium Time, Short Time) and
// user-defined number, date and text formats. A text that is neither numeric
// nor a date comes back unchanged; an empty format gives CStr-like text.
// Numeric text is formatted as a number; with a date format only text that
// reads as a date is formatted (a typed "5" is not turned into a 1900 date).
// Number formats round half away from zero on the value's 15-digit decimal
// form (2.345 -> "2.35") and never show "-0.00". Null gives "" or the fourth
// section; Empty gives "".
// In a date format "m" means minutes only right after an hour ("nn" always
// does). A text longer than its "@"/"&" mask fills one character per holder
// from the left and the rest follows the mask ("testing" in "@\x" gives
// "txesting"); "<" wins over ">" when a section has both.
std::string Format(const Variant& value, std::string_view format);

// Unicode-aware upper case (ICU), and the host's Trim/LTrim/RTrim (spaces only).
std::string UCase(std::string_view text);
std::string LCase(std::string_view text);
std::string Trim(std::string_view text);
std::string LTrim(std::string_view text);
std::string RTrim(std::string_view text);

// Dates: serial number <-> calendar parts (proleptic Gregorian; serial 0 is
// 30 December 1899). DateSerial raises 5 for an impossible date.
DateTime DateSerial(int year, int month, int day);
DateTime TimeSerial(int hour, int minute, int second);
void DateParts(DateTime d, int& year, int& month, int& day);
void TimeParts(DateTime d, int& hour, int& minute, int& second);

}  // namespace kiv
