#include "kiv/runtime/Conversions.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <cctype>
#include <cmath>

#include "kiv/runtime/DateText.h"
#include "kiv/runtime/Error.h"
#include "kiv/runtime/NumberText.h"

namespace kiv {

namespace {

using detail::Decimal;
using detail::NumberParse;

[[noreturn]] void Raise(std::int32_t number, const char* source) {
  throw Error(number, source);
}

// Text to a double by the locale's number rules: 13 when it is no number, 6
// when it is beyond the range of a double.
double TextToDouble(std::string_view text, const char* source) {
  Decimal d;
  double value = 0.0;
  NumberParse r = detail::ParseDecimal(text, Locale::Current(), d);
  if (r == NumberParse::Ok) r = detail::DecimalToDouble(d, value);
  if (r == NumberParse::NotNumber) Raise(err::TypeMismatch, source);
  if (r == NumberParse::Overflow) Raise(err::Overflow, source);
  return value;
}

// The value as a double for CLng/CInt/CDbl; the Null, object and array cases raise.
double ToDouble(const Variant& v, const char* source) {
  switch (v.type()) {
    case VarType::Empty:
      return 0.0;
    case VarType::Null:
      Raise(err::InvalidUseOfNull, source);
    case VarType::Integer:
      return v.integer();
    case VarType::Long:
      return v.lng();
    case VarType::Double:
      return v.dbl();
    case VarType::Currency:
      return v.currency().ToDouble();
    case VarType::Date:
      return v.date().serial;
    case VarType::Boolean:
      return v.boolean() ? -1.0 : 0.0;
    case VarType::String:
      return TextToDouble(v.string(), source);
    default:
      Raise(err::TypeMismatch, source);
  }
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back()))
    s.remove_suffix(1);
  return s;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool IsValidUtf8(std::string_view s) {
  const auto* p = reinterpret_cast<const uint8_t*>(s.data());
  const auto length = static_cast<int32_t>(s.size());
  int32_t i = 0;
  while (i < length) {
    UChar32 c;
    U8_NEXT(p, i, length, c);
    if (c < 0) return false;
  }
  return true;
}

std::string MapCase(std::string_view text, bool upper) {
  if (!IsValidUtf8(text)) {
    // Not UTF-8: map the ASCII letters and keep every other byte as it is.
    std::string r(text);
    for (char& c : r) {
      if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return r;
  }
  icu::UnicodeString s = icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  if (upper) {
    s.toUpper(icu::Locale::getRoot());
  } else {
    s.toLower(icu::Locale::getRoot());
  }
  std::string r;
  s.toUTF8String(r);
  return r;
}

}  // namespace

std::string CStr(const Variant& v) {
  const Locale& locale = Locale::Current();
  switch (v.type()) {
    case VarType::Empty:
      return {};
    case VarType::Null:
      Raise(err::InvalidUseOfNull, "CStr");
    case VarType::Integer:
      return std::to_string(v.integer());
    case VarType::Long:
      return std::to_string(v.lng());
    case VarType::Double:
      return detail::DoubleText(v.dbl(), locale);
    case VarType::Currency:
      return detail::CurrencyText(v.currency(), locale);
    case VarType::Date:
      return detail::GeneralDateText(v.date(), locale);
    case VarType::String:
      return v.string();
    case VarType::Boolean:
      return v.boolean() ? "True" : "False";
    default:
      Raise(err::TypeMismatch, "CStr");
  }
}

double CDbl(const Variant& v) {
  return ToDouble(v, "CDbl");
}

std::int32_t CLng(const Variant& v) {
  const double r = detail::RoundHalfEven(ToDouble(v, "CLng"));
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) Raise(err::Overflow, "CLng");
  return static_cast<std::int32_t>(r);
}

std::int16_t CInt(const Variant& v) {
  const double r = detail::RoundHalfEven(ToDouble(v, "CInt"));
  if (!(r >= -32768.0 && r <= 32767.0)) Raise(err::Overflow, "CInt");
  return static_cast<std::int16_t>(r);
}

Currency CCur(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty:
      return Currency{0};
    case VarType::Null:
      Raise(err::InvalidUseOfNull, "CCur");
    case VarType::Integer:
      return Currency{std::int64_t{v.integer()} * 10000};
    case VarType::Long:
      return Currency{std::int64_t{v.lng()} * 10000};
    case VarType::Currency:
      return v.currency();
    case VarType::Boolean:
      return Currency{v.boolean() ? -10000 : 0};
    case VarType::String: {
      // Parsed digit by digit, so amounts beyond a double's precision stay exact.
      Decimal d;
      const NumberParse r = detail::ParseDecimal(v.string(), Locale::Current(), d);
      if (r == NumberParse::NotNumber) Raise(err::TypeMismatch, "CCur");
      Currency c;
      if (r == NumberParse::Overflow || !detail::DecimalToCurrency(d, c)) {
        Raise(err::Overflow, "CCur");
      }
      return c;
    }
    default:
      return Currency::FromDouble(ToDouble(v, "CCur"));
  }
}

bool CBool(const Variant& v) {
  switch (v.type()) {
    case VarType::Boolean:
      return v.boolean();
    case VarType::Currency:
      return v.currency().scaled != 0;
    case VarType::String: {
      const std::string_view t = TrimBlanks(v.string());
      // "#TRUE#" and "#FALSE#" are the forms Boolean values take in data files.
      if (EqualsNoCase(t, "True") || EqualsNoCase(t, "#True#")) return true;
      if (EqualsNoCase(t, "False") || EqualsNoCase(t, "#False#")) return false;
      return TextToDouble(t, "CBool") != 0.0;
    }
    default:
      return ToDouble(v, "CBool") != 0.0;
  }
}

DateTime CDate(const Variant& v) {
  switch (v.type()) {
    case VarType::Date:
      return v.date();
    case VarType::String: {
      DateTime d;
      if (!detail::ParseDateText(v.string(), Locale::Current(), d)) {
        Raise(err::TypeMismatch, "CDate");
      }
      return d;
    }
    default: {
      const double serial = ToDouble(v, "CDate");
      if (!detail::SerialInRange(serial)) Raise(err::Overflow, "CDate");
      return DateTime{serial};
    }
  }
}

std::string TextOf(const Variant& v) {
  if (v.isNull() || v.isEmpty()) return {};
  return CStr(v);
}

bool IsNumeric(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Double:
    case VarType::Currency:
    case VarType::Boolean:
      return true;
    case VarType::String: {
      double ignored;
      return ParseNumber(v.string(), ignored);
    }
    default:
      return false;
  }
}

bool IsDate(const Variant& v) {
  if (v.type() == VarType::Date) return detail::SerialInRange(v.date().serial);
  if (!v.isString()) return false;
  DateTime ignored;
  return ParseDate(v.string(), ignored);
}

bool ParseNumber(std::string_view text, double& out, const Locale& locale) {
  Decimal d;
  return detail::ParseDecimal(text, locale, d) == NumberParse::Ok &&
         detail::DecimalToDouble(d, out) == NumberParse::Ok;
}

bool ParseDate(std::string_view text, DateTime& out, const Locale& locale) {
  return detail::ParseDateText(text, locale, out);
}

std::string UCase(std::string_view text) {
  return MapCase(text, true);
}
std::string LCase(std::string_view text) {
  return MapCase(text, false);
}

std::string Trim(std::string_view text) {
  return LTrim(RTrim(text));
}

std::string LTrim(std::string_view text) {
  const std::size_t b = text.find_first_not_of(' ');
  return b == std::string_view::npos ? std::string() : std::string(text.substr(b));
}

std::string RTrim(std::string_view text) {
  const std::size_t e = text.find_last_not_of(' ');
  return e == std::string_view::npos ? std::string() : std::string(text.substr(0, e + 1));
}

DateTime DateSerial(int year, int month, int day) {
  if (year >= 0 && year <= 29) year += 2000;
  if (year >= 30 && year <= 99) year += 1900;
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > detail::DaysInMonth(year, month)) {
    throw Error(err::InvalidProcedureCall, "DateSerial");
  }
  return DateTime{static_cast<double>(detail::DaysFromCivil(year, month, day))};
}

DateTime TimeSerial(int hour, int minute, int second) {
  const long total = long{hour} * 3600 + long{minute} * 60 + second;
  return DateTime{static_cast<double>(total) / 86400.0};
}

void DateParts(DateTime d, int& year, int& month, int& day) {
  const detail::DateFields f = detail::SplitDate(d);
  year = f.year;
  month = f.month;
  day = f.day;
}

void TimeParts(DateTime d, int& hour, int& minute, int& second) {
  const detail::DateFields f = detail::SplitDate(d);
  hour = f.hour;
  minute = f.minute;
  second = f.second;
}

}  // namespace kiv
