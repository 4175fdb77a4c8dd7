#include "kiv/data/postgres/PgTypes.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "kiv/data/AdoTypes.h"
#include "kiv/data/RowStore.h"
#include "kiv/runtime/Error.h"

namespace kiv::postgres {

namespace {

// Days from 1970-01-01 to a proleptic Gregorian date (H. Hinnant's algorithm).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, long long& y, unsigned& m, unsigned& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

const long long kEpoch = DaysFromCivil(1899, 12, 30);

// The host's serial: the day count, and the time of day as a fraction that
// always moves away from zero (-1.25 is 29 December 1899, 06:00).
double Serial(long long days, double seconds) {
  const double fraction = seconds / 86400.0;
  return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

// Splits a serial into the day count and microseconds since midnight. The
// time is rounded to the finest power-of-ten step the double resolves at
// that date (1 µs today, 100 µs near year 9999), so a time read from the
// database is written back exactly as it was.
void SplitSerial(double serial, long long& days, long long& micros) {
  double whole = std::trunc(serial);
  const double resolution =
      (std::nextafter(std::fabs(serial), INFINITY) - std::fabs(serial)) * 86400e6;
  long long step = 1;
  while (static_cast<double>(step) < resolution && step < 1000000)
    step *= 10;
  micros = std::llround(std::fabs(serial - whole) * 86400e6 / static_cast<double>(step)) * step;
  days = static_cast<long long>(whole);
  if (micros >= 86400LL * 1000000) {  // rounded up to the next midnight
    micros = 0;
    days += serial >= 0 ? 1 : -1;
  }
}

// Reads an unsigned decimal of at least one digit at text[pos].
bool ReadNumber(std::string_view text, std::size_t& pos, long long& out,
                std::size_t maxDigits = 9) {
  std::size_t start = pos;
  out = 0;
  while (pos < text.size() && pos - start < maxDigits && text[pos] >= '0' && text[pos] <= '9') {
    out = out * 10 + (text[pos] - '0');
    ++pos;
  }
  return pos > start;
}

bool Expect(std::string_view text, std::size_t& pos, char c) {
  if (pos < text.size() && text[pos] == c) {
    ++pos;
    return true;
  }
  return false;
}

// "yyyy-mm-dd" at text[pos]; a year outside 100..9999 has no host date.
bool ParseIsoDate(std::string_view text, std::size_t& pos, long long& days) {
  long long y, m, d;
  if (!ReadNumber(text, pos, y) || !Expect(text, pos, '-') || !ReadNumber(text, pos, m, 2) ||
      !Expect(text, pos, '-') || !ReadNumber(text, pos, d, 2))
    return false;
  if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1 || d > 31) return false;
  days = DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)) - kEpoch;
  return true;
}

// "hh:mm:ss[.ffffff]" at text[pos], as seconds since midnight.
bool ParseIsoTime(std::string_view text, std::size_t& pos, double& seconds) {
  long long h, mi, s;
  if (!ReadNumber(text, pos, h, 2) || !Expect(text, pos, ':') || !ReadNumber(text, pos, mi, 2) ||
      !Expect(text, pos, ':') || !ReadNumber(text, pos, s, 2))
    return false;
  if (h > 24 || mi > 59 || s > 60) return false;
  long long micros = 0;
  if (Expect(text, pos, '.')) {
    std::size_t start = pos;
    long long frac;
    if (!ReadNumber(text, pos, frac, 6)) return false;
    for (std::size_t n = pos - start; n < 6; ++n)
      frac *= 10;
    micros = frac;
  }
  seconds = static_cast<double>(h * 3600 + mi * 60 + s) + static_cast<double>(micros) / 1e6;
  return true;
}

// A time zone offset "+hh[:mm[:ss]]" or "-..." that ends the text.
bool SkipOffset(std::string_view text, std::size_t& pos) {
  if (pos == text.size()) return true;
  if (text[pos] != '+' && text[pos] != '-') return false;
  ++pos;
  long long part;
  if (!ReadNumber(text, pos, part, 2)) return false;
  while (Expect(text, pos, ':'))
    if (!ReadNumber(text, pos, part, 2)) return false;
  return pos == text.size();
}

bool ParseDouble(std::string_view text, double& out) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size() && std::isfinite(out);
}

// Money in the C locale: "$1,234.56", "-$1,234.56" (or "($1,234.56)").
bool ParseMoney(std::string_view text, Currency& out) {
  bool negative = false;
  long long units = 0, frac = 0;
  int fracDigits = -1;
  for (char c : text) {
    if (c == '-' || c == '(') {
      negative = true;
    } else if (c >= '0' && c <= '9') {
      if (fracDigits >= 0) {
        if (fracDigits >= 4) return false;  // finer than the Currency subtype holds
        frac = frac * 10 + (c - '0');
        ++fracDigits;
      } else {
        if (units > std::numeric_limits<long long>::max() / 100000) return false;
        units = units * 10 + (c - '0');
      }
    } else if (c == '.') {
      fracDigits = 0;
    }
  }
  for (int n = fracDigits < 0 ? 0 : fracDigits; n < 4; ++n)
    frac *= 10;
  long long scaled = units * 10000 + frac;
  out.scaled = negative ? -scaled : scaled;
  return true;
}

// A plain decimal ("-12.3456") as Currency, exactly; false when it has more
// than four decimals or does not fit.
bool ParseDecimalCurrency(std::string_view text, Currency& out) {
  std::size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
  long long units = 0, frac = 0;
  int digits = 0, fracDigits = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    if (units > 922337203685476LL) return false;
    units = units * 10 + (text[pos++] - '0');
    ++digits;
  }
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
      if (++fracDigits > 4) return false;
      frac = frac * 10 + (text[pos++] - '0');
      ++digits;
    }
  }
  if (pos != text.size() || digits == 0) return false;
  for (int n = fracDigits; n < 4; ++n)
    frac *= 10;
  if (units > 922337203685477LL) return false;
  const long long scaled = units * 10000 + frac;
  out.scaled = negative ? -scaled : scaled;
  return true;
}

Bytes ParseHexBytea(std::string_view text) {
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  Bytes out;
  if (text.size() >= 2 && text[0] == '\\' && text[1] == 'x') {
    out.reserve((text.size() - 2) / 2);
    for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
      int hi = nibble(text[i]), lo = nibble(text[i + 1]);
      if (hi < 0 || lo < 0) break;
      out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
  } else {
    out.assign(text.begin(), text.end());
  }
  return out;
}

// Shortest text that reads back as the same double; a whole number below
// 2^53 in plain digits, which every numeric column type accepts.
std::string DoubleText(double v) {
  if (std::isfinite(v) && v == std::trunc(v) && std::fabs(v) < 9007199254740992.0)
    return std::to_string(static_cast<long long>(v));
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, ec == std::errc() ? end : buf);
}

std::string CurrencyText(Currency c) {
  unsigned long long magnitude = c.scaled < 0 ? 0ULL - static_cast<unsigned long long>(c.scaled)
                                              : static_cast<unsigned long long>(c.scaled);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%s%llu.%04llu", c.scaled < 0 ? "-" : "", magnitude / 10000,
                magnitude % 10000);
  return buf;
}

bool IsNumericType(std::int32_t adoType) {
  return IsIntegerType(adoType) || adoType == adSingle || adoType == adDouble ||
         adoType == adCurrency || adoType == adDecimal || adoType == adNumeric ||
         adoType == adVarNumeric;
}

// Raw bytes travel as binary parameters: bytes, and values of no declared type.
bool IsBinaryOrVariant(std::int32_t adoType) {
  return adoType == adBinary || adoType == adVarBinary || adoType == adLongVarBinary ||
         adoType == adVariant;
}

}  // namespace

std::int32_t AdoTypeOf(Oid type) {
  switch (type) {
    case oid::Int2:
      return adSmallInt;
    case oid::Int4:
      return adInteger;
    case oid::Int8:
      return adBigInt;
    case oid::Float4:
      return adSingle;
    case oid::Float8:
      return adDouble;
    case oid::Numeric:
      return adNumeric;
    case oid::Money:
      return adCurrency;
    case oid::Bool:
      return adBoolean;
    case oid::Text:
      return adVarWChar;
    case oid::Varchar:
      return adVarWChar;
    case oid::Bpchar:
      return adWChar;
    case oid::Date:
      return adDBDate;
    case oid::Time:
      return adDBTime;
    case oid::Timestamp:
    case oid::Timestamptz:
      return adDBTimeStamp;
    case oid::Bytea:
      return adLongVarBinary;
    case oid::Uuid:
      return adGUID;
    default:
      return adVariant;
  }
}

namespace {

// Decodes one result text by its column type into a sink (a Variant, or a
// record set's BlockWriter): one call naming the Variant subtype.
template <class Sink>
void Decode(Oid type, std::string_view text, bool numericAsCurrency, Sink& out) {
  if (numericAsCurrency && type == oid::Numeric) {
    Currency c;
    if (ParseDecimalCurrency(text, c)) return out.currency(c);
  }
  switch (type) {
    case oid::Int2:
    case oid::Int4:
    case oid::Int8: {
      long long v = 0;
      auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
      if (ec != std::errc() || end != text.data() + text.size()) break;
      if (type == oid::Int2) return out.int16(static_cast<std::int16_t>(v));
      if (v >= std::numeric_limits<std::int32_t>::min() &&
          v <= std::numeric_limits<std::int32_t>::max())
        return out.int32(static_cast<std::int32_t>(v));
      return out.dbl(static_cast<double>(v));
    }
    case oid::Float4:
    case oid::Float8:
    case oid::Numeric: {
      double v;
      if (ParseDouble(text, v)) return out.dbl(v);
      break;
    }
    case oid::Money: {
      Currency c;
      if (ParseMoney(text, c)) return out.currency(c);
      break;
    }
    case oid::Bool:
      return out.boolean(!text.empty() && (text[0] == 't' || text[0] == 'T'));
    case oid::Date: {
      std::size_t pos = 0;
      long long days;
      if (ParseIsoDate(text, pos, days) && pos == text.size()) return out.date(Serial(days, 0));
      break;
    }
    case oid::Time: {
      std::size_t pos = 0;
      double seconds;
      if (ParseIsoTime(text, pos, seconds) && pos == text.size())
        return out.date(seconds / 86400.0);
      break;
    }
    case oid::Timestamp:
    case oid::Timestamptz: {
      std::size_t pos = 0;
      long long days;
      double seconds;
      if (ParseIsoDate(text, pos, days) && Expect(text, pos, ' ') &&
          ParseIsoTime(text, pos, seconds) && SkipOffset(text, pos))
        return out.date(Serial(days, seconds));
      break;
    }
    case oid::Bytea: {
      const Bytes bytes = ParseHexBytea(text);
      return out.bytes(bytes.data(), bytes.size());
    }
    default:
      break;
  }
  out.text(text);
}

struct VariantSink {
  Variant value;
  void int16(std::int16_t v) { value = Variant(v); }
  void int32(std::int32_t v) { value = Variant(v); }
  void dbl(double v) { value = Variant(v); }
  void currency(Currency v) { value = Variant(v); }
  void date(double serial) { value = Variant(DateTime{serial}); }
  void boolean(bool v) { value = Variant(v); }
  void text(std::string_view v) { value = Variant(v); }
  void bytes(const std::uint8_t* p, std::size_t n) { value = Variant(Bytes(p, p + n)); }
};

}  // namespace

Variant ValueFromText(Oid type, std::string_view text, bool numericAsCurrency) {
  VariantSink sink;
  Decode(type, text, numericAsCurrency, sink);
  return std::move(sink.value);
}

void DecodeInto(BlockWriter& writer, Oid type, std::string_view text, bool numericAsCurrency) {
  Decode(type, text, numericAsCurrency, writer);
}

std::string IsoDate(double serial) {
  long long days, micros;
  SplitSerial(serial, days, micros);
  long long y;
  unsigned m, d;
  CivilFromDays(days + kEpoch, y, m, d);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u", y, m, d);
  return buf;
}

std::string IsoTime(double serial) {
  long long days, micros;
  SplitSerial(serial, days, micros);
  long long secs = micros / 1000000, frac = micros % 1000000;
  char buf[32];
  int n = std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld", secs / 3600, secs / 60 % 60,
                        secs % 60);
  if (frac != 0) {
    std::snprintf(buf + n, sizeof buf - static_cast<std::size_t>(n), ".%06lld", frac);
    std::string s(buf);
    while (s.back() == '0')
      s.pop_back();
    return s;
  }
  return buf;
}

std::string IsoTimestamp(double serial) {
  return IsoDate(serial) + " " + IsoTime(serial);
}

WireParam ParamFor(const Variant& value, std::int32_t adoType) {
  WireParam p;
  switch (value.type()) {
    case VarType::Empty:
    case VarType::Null:
      p.null = true;
      return p;
    case VarType::Integer:
      p.data = std::to_string(value.integer());
      break;
    case VarType::Long:
      p.data = std::to_string(value.lng());
      break;
    case VarType::Double: {
      double v = value.dbl();
      // An integer column takes a fraction rounded half to even, as CLng does.
      if (IsIntegerType(adoType) && std::isfinite(v)) v = std::nearbyint(v);
      p.data = DoubleText(v);
      break;
    }
    case VarType::Currency: {
      Currency c = value.currency();
      if (IsIntegerType(adoType))
        p.data = DoubleText(std::nearbyint(static_cast<double>(c.scaled) / 10000.0));
      else
        p.data = CurrencyText(c);
      break;
    }
    case VarType::Date: {
      const double serial = value.date().serial;
      if (adoType == adDBDate)
        p.data = IsoDate(serial);
      else if (adoType == adDBTime)
        p.data = IsoTime(serial);
      else
        p.data = IsoTimestamp(serial);
      break;
    }
    case VarType::Boolean:
      if (adoType == adBoolean)
        p.data = value.boolean() ? "true" : "false";
      else if (IsNumericType(adoType))
        p.data = value.boolean() ? "-1" : "0";
      else
        p.data = value.boolean() ? "True" : "False";
      break;
    case VarType::String:
      p.data = value.string();
      break;
    case VarType::ByteArray: {
      const Bytes& b = value.bytes();
      // Raw bytes for a binary (or unknown) column; any other takes them as text.
      p.binary = IsBinaryOrVariant(adoType);
      p.data.assign(b.begin(), b.end());
      break;
    }
    default:
      throw Error(
          err::TypeMismatch, "PostgreSQL",
          "Type mismatch: a value of type " + value.typeName() + " cannot be stored in a column");
  }
  return p;
}

}  // namespace kiv::postgres
