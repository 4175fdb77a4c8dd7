#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "kiv/runtime/Locale.h"
#include "kiv/runtime/Variant.h"

// Number <-> text helpers shared by the conversions and Format. Not part of
// the library's public surface.
namespace kiv::detail {

// An exact decimal: value = 0.d1 d2 d3 ... x 10^point, digits without
// leading or trailing zeros (empty for zero).
struct Decimal {
  bool negative = false;
  std::string digits;
  int point = 0;

  bool isZero() const { return digits.empty(); }
  // Rounds to `decimals` places after the point, half away from zero.
  void roundTo(int decimals);
  // The digits before the point ("" for none) and the first `count` after it.
  std::string integerDigits() const;
  std::string fractionDigits(int count) const;
};

enum class NumberParse { Ok, NotNumber, Overflow };

// Parses the host's number text: blanks around, a sign (or parentheses), a
// currency symbol before or after, the locale's decimal separator and
// thousands separators in groups of three, an exponent, or &H / &O forms.
NumberParse ParseDecimal(std::string_view text, const Locale& locale, Decimal& out);
// The nearest double; Overflow when it is beyond the double range.
NumberParse DecimalToDouble(const Decimal& d, double& out);
// Scaled by 10,000 and rounded half to even; false when out of range.
bool DecimalToCurrency(const Decimal& d, Currency& out);

// The shortest decimal of a double rounded to `significant` digits.
Decimal DoubleDecimal(double value, int significant = 15);
Decimal CurrencyDecimal(Currency value);
Decimal IntegerDecimal(std::int64_t value);

// The host's text of a Double (15 significant digits) and of a Currency (up
// to four decimals). A Double is written in E notation from 1E+15 up, and
// below 1E-04 only when its decimals would need more than fifteen places
// (0.000000000056789 is plain, 1.23456789E-10 is not). From 1E-04 up it is
// always plain, however many decimals (1/30 is 0.0333333333333333), so a
// rate in a field editor never turns into E notation.
std::string DoubleText(double value, const Locale& locale);
std::string CurrencyText(Currency value, const Locale& locale);

// Rounds half to even to a whole number.
double RoundHalfEven(double value);

}  // namespace kiv::detail
