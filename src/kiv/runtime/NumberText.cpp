#include "kiv/runtime/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace kiv::detail {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Drops leading and trailing zeros, keeping the value.
void Normalize(Decimal& d) {
  std::size_t lead = 0;
  while (lead < d.digits.size() && d.digits[lead] == '0')
    ++lead;
  d.digits.erase(0, lead);
  d.point -= static_cast<int>(lead);
  while (!d.digits.empty() && d.digits.back() == '0')
    d.digits.pop_back();
  if (d.digits.empty()) {
    d.point = 0;
    d.negative = false;
  }
}

std::string UnsignedDigits(std::uint64_t v) {
  char buf[24];
  auto res = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

// &H (hex) and &O (octal) forms: up to four hex digits give an Integer, up to
// eight a Long, both read as two's complement as the host does (&HFFFF = -1).
NumberParse ParseRadix(std::string_view s, std::size_t& i, Decimal& out) {
  if (i + 1 >= s.size()) return NumberParse::NotNumber;
  const char kind = static_cast<char>(s[i + 1] | 0x20);
  int radix = kind == 'h' ? 16 : kind == 'o' ? 8 : 0;
  if (radix == 0) return NumberParse::NotNumber;
  i += 2;
  std::uint64_t value = 0;
  int count = 0;
  while (i < s.size()) {
    const char c = s[i];
    int digit;
    if (IsDigit(c)) {
      digit = c - '0';
    } else if (radix == 16 && ((c | 0x20) >= 'a' && (c | 0x20) <= 'f')) {
      digit = (c | 0x20) - 'a' + 10;
    } else {
      break;
    }
    if (digit >= radix) return NumberParse::NotNumber;
    value = value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(digit);
    if (value > 0xFFFFFFFFull) return NumberParse::Overflow;
    ++count;
    ++i;
  }
  if (count == 0) return NumberParse::NotNumber;
  std::int64_t signedValue;
  if (value <= 0xFFFF && (radix == 16 ? count <= 4 : count <= 6)) {
    signedValue = static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
  } else {
    signedValue = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
  }
  out = IntegerDecimal(signedValue);
  return NumberParse::Ok;
}

}  // namespace

void Decimal::roundTo(int decimals) {
  const long keep = static_cast<long>(point) + decimals;
  if (keep >= static_cast<long>(digits.size())) return;
  if (keep < 0) {
    digits.clear();
    Normalize(*this);
    return;
  }
  const bool up = digits[static_cast<std::size_t>(keep)] >= '5';
  digits.resize(static_cast<std::size_t>(keep));
  if (up) {
    long i = keep - 1;
    while (i >= 0 && digits[static_cast<std::size_t>(i)] == '9') {
      digits[static_cast<std::size_t>(i)] = '0';
      --i;
    }
    if (i < 0) {
      digits.insert(digits.begin(), '1');
      ++point;
    } else {
      ++digits[static_cast<std::size_t>(i)];
    }
  }
  const bool neg = negative;
  Normalize(*this);
  if (!digits.empty()) negative = neg;
}

std::string Decimal::integerDigits() const {
  if (point <= 0) return {};
  const auto p = static_cast<std::size_t>(point);
  if (p <= digits.size()) return digits.substr(0, p);
  return digits + std::string(p - digits.size(), '0');
}

std::string Decimal::fractionDigits(int count) const {
  std::string r;
  for (int i = 0; i < count; ++i) {
    const long idx = static_cast<long>(point) + i;
    r += (idx >= 0 && idx < static_cast<long>(digits.size()))
             ? digits[static_cast<std::size_t>(idx)]
             : '0';
  }
  return r;
}

NumberParse ParseDecimal(std::string_view text, const Locale& locale, Decimal& out) {
  std::size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b]))
    ++b;
  while (e > b && IsBlank(text[e - 1]))
    --e;
  const std::string_view s = text.substr(b, e - b);
  const std::size_t n = s.size();
  if (n == 0) return NumberParse::NotNumber;
  const std::string_view symbol = locale.currencySymbol;

  std::size_t i = 0;
  bool negative = false, signSeen = false, paren = false, currency = false;
  auto skipBlanks = [&] {
    while (i < n && IsBlank(s[i]))
      ++i;
  };
  auto takeCurrency = [&] {
    if (!currency && !symbol.empty() && s.substr(i).starts_with(symbol)) {
      i += symbol.size();
      currency = true;
      return true;
    }
    return false;
  };
  for (;;) {
    skipBlanks();
    if (i >= n) return NumberParse::NotNumber;
    if (s[i] == '(' && !paren && !signSeen) {
      paren = true;
      ++i;
    } else if ((s[i] == '+' || s[i] == '-') && !signSeen && !paren) {
      signSeen = true;
      negative = s[i] == '-';
      ++i;
    } else if (!takeCurrency()) {
      break;
    }
  }

  Decimal d;
  if (s[i] == '&') {
    const NumberParse r = ParseRadix(s, i, d);
    if (r != NumberParse::Ok) return r;
  } else {
    std::string whole;
    bool grouped = false;
    std::size_t groupLen = 0;
    while (i < n) {
      const char c = s[i];
      if (IsDigit(c)) {
        whole += c;
        ++groupLen;
        ++i;
      } else if (c == locale.thousandsSeparator && groupLen > 0 && i + 1 < n && IsDigit(s[i + 1])) {
        // Thousands separators only between groups of three digits, so that
        // "1,5" is not silently read as 15.
        if (grouped ? groupLen != 3 : groupLen > 3) return NumberParse::NotNumber;
        grouped = true;
        groupLen = 0;
        ++i;
      } else {
        break;
      }
    }
    if (grouped && groupLen != 3) return NumberParse::NotNumber;
    std::string fraction;
    if (i < n && s[i] == locale.decimalSeparator) {
      ++i;
      while (i < n && IsDigit(s[i]))
        fraction += s[i++];
    }
    if (whole.empty() && fraction.empty()) return NumberParse::NotNumber;
    long exponent = 0;
    if (i < n && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
      std::size_t j = i + 1;
      bool expNegative = false;
      if (j < n && (s[j] == '+' || s[j] == '-')) expNegative = s[j++] == '-';
      if (j >= n || !IsDigit(s[j])) return NumberParse::NotNumber;
      while (j < n && IsDigit(s[j])) {
        if (exponent < 1000000) exponent = exponent * 10 + (s[j] - '0');
        ++j;
      }
      if (expNegative) exponent = -exponent;
      i = j;
    }
    d.digits = whole + fraction;
    d.point = static_cast<int>(static_cast<long>(whole.size()) + exponent);
    Normalize(d);
  }

  skipBlanks();
  takeCurrency();
  skipBlanks();
  if (paren) {
    if (i >= n || s[i] != ')') return NumberParse::NotNumber;
    ++i;
    skipBlanks();
  }
  if (i != n) return NumberParse::NotNumber;
  if (negative || paren) d.negative = !d.negative;
  if (d.isZero()) d.negative = false;
  out = std::move(d);
  return NumberParse::Ok;
}

NumberParse DecimalToDouble(const Decimal& d, double& out) {
  if (d.isZero()) {
    out = 0.0;
    return NumberParse::Ok;
  }
  const std::string text = "0." + d.digits + "e" + std::to_string(d.point);
  double value = 0.0;
  const auto res = std::from_chars(text.data(), text.data() + text.size(), value);
  if (res.ec == std::errc::result_out_of_range) {
    if (d.point > 0) return NumberParse::Overflow;
    value = 0.0;  // below the smallest double: zero
  } else if (res.ec != std::errc() || !std::isfinite(value)) {
    return NumberParse::Overflow;
  }
  out = d.negative ? -value : value;
  return NumberParse::Ok;
}

bool DecimalToCurrency(const Decimal& d, Currency& out) {
  if (d.isZero()) {
    out = Currency{0};
    return true;
  }
  Decimal scaled = d;
  scaled.point += 4;
  if (scaled.point > 19) return false;
  const std::string whole = scaled.integerDigits();
  std::uint64_t magnitude = 0;
  for (char c : whole)
    magnitude = magnitude * 10 + static_cast<std::uint64_t>(c - '0');
  // Half to even on the first dropped digit and whatever follows it.
  const long rest = scaled.point < 0 ? 0 : scaled.point;
  if (rest < static_cast<long>(scaled.digits.size())) {
    const std::string tail = scaled.digits.substr(static_cast<std::size_t>(rest));
    const bool beyondHalf = tail[0] > '5' || (tail[0] == '5' && tail.size() > 1);
    const bool exactHalf = tail[0] == '5' && tail.size() == 1 && scaled.point >= 0;
    const bool belowHalfLeading = scaled.point < 0;  // tail starts after leading zeros
    if (!belowHalfLeading && (beyondHalf || (exactHalf && (magnitude & 1)))) ++magnitude;
  }
  const std::uint64_t limit = d.negative ? 9223372036854775808ull : 9223372036854775807ull;
  if (magnitude > limit) return false;
  out.scaled =
      d.negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
  return true;
}

Decimal DoubleDecimal(double value, int significant) {
  Decimal d;
  if (value == 0.0 || !std::isfinite(value)) return d;
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value),
                                 std::chars_format::scientific, significant - 1);
  const std::string_view text(buf, static_cast<std::size_t>(res.ptr - buf));
  const std::size_t ePos = text.find('e');
  for (std::size_t k = 0; k < ePos; ++k) {
    if (IsDigit(text[k])) d.digits += text[k];
  }
  int exponent = 0;
  std::from_chars(text.data() + ePos + 1 + (text[ePos + 1] == '+' ? 1 : 0),
                  text.data() + text.size(), exponent);
  d.point = exponent + 1;
  d.negative = value < 0;
  Normalize(d);
  if (!d.digits.empty()) d.negative = value < 0;
  return d;
}

Decimal CurrencyDecimal(Currency value) {
  Decimal d;
  const bool negative = value.scaled < 0;
  const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value.scaled)
                                           : static_cast<std::uint64_t>(value.scaled);
  d.digits = UnsignedDigits(magnitude);
  d.point = static_cast<int>(d.digits.size()) - 4;
  Normalize(d);
  if (!d.digits.empty()) d.negative = negative;
  return d;
}

Decimal IntegerDecimal(std::int64_t value) {
  Decimal d;
  const bool negative = value < 0;
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  d.digits = UnsignedDigits(magnitude);
  d.point = static_cast<int>(d.digits.size());
  Normalize(d);
  if (!d.digits.empty()) d.negative = negative;
  return d;
}

namespace {

std::string PlainText(const Decimal& d, char separator) {
  if (d.isZero()) return "0";
  std::string r = d.negative ? "-" : "";
  std::string whole = d.integerDigits();
  r += whole.empty() ? "0" : whole;
  const long decimals = static_cast<long>(d.digits.size()) - d.point;
  if (decimals > 0) {
    r += separator;
    r += d.fractionDigits(static_cast<int>(decimals));
  }
  return r;
}

}  // namespace

std::string DoubleText(double value, const Locale& locale) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  const Decimal d = DoubleDecimal(value);
  if (d.isZero()) return "0";
  const int exp10 = d.point - 1;
  // Plain below 1E+15, and below 1E-04 as long as the decimals (leading
  // zeros included) fit in fifteen places: 0.000056789, not 5.6789E-05.
  const long decimals = static_cast<long>(d.digits.size()) - d.point;
  if (exp10 < 15 && (exp10 >= -4 || decimals <= 15)) return PlainText(d, locale.decimalSeparator);
  std::string r = d.negative ? "-" : "";
  r += d.digits[0];
  if (d.digits.size() > 1) {
    r += locale.decimalSeparator;
    r += d.digits.substr(1);
  }
  r += exp10 < 0 ? "E-" : "E+";
  const std::string e = std::to_string(std::abs(exp10));
  if (e.size() < 2) r += '0';
  r += e;
  return r;
}

std::string CurrencyText(Currency value, const Locale& locale) {
  return PlainText(CurrencyDecimal(value), locale.decimalSeparator);
}

double RoundHalfEven(double value) {
  if (!std::isfinite(value)) return value;
  if (std::fabs(value - std::trunc(value)) == 0.5) return 2.0 * std::round(value / 2.0);
  return std::round(value);
}

}  // namespace kiv::detail
