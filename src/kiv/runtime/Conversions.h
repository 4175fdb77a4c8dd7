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
std::int32_t CLng(const Variant& v);   // rounds half to even
std::int16_t CInt(const Variant& v);   // rounds half to even
Currency CCur(const Variant& v);
bool CBool(const Variant& v);          // numbers: non-zero is True; "True"/"False" texts
DateTime CDate(const Variant& v);      // text parsed as IsDate accepts it

// The value appended to the empty string: as CStr, but Null (and Empty) give "".
std::string TextOf(const Variant& v);

// The host's IsNumeric and IsDate: blanks around, a sign, separators and an
// exponent are accepted; dates in the locale's numeric order, ISO yyyy-mm-dd,
// with month names, and an optional time.
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
