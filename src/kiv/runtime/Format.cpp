// Format(value, format): the host's named formats and its user-defined
// number, date and text format strings. Format strings are written with "."
// and "," whatever the locale; the output uses the current locale's
// separators, names and designators.
#include <algorithm>
#include <cctype>
#include <vector>

#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/DateText.h"
#include "kiv/runtime/Error.h"
#include "kiv/runtime/NumberText.h"

namespace kiv {

namespace {

using detail::DateFields;
using detail::Decimal;

char Lower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

bool StartsNoCase(std::string_view s, std::size_t at, std::string_view prefix) {
  return s.size() - at >= prefix.size() && EqualsNoCase(s.substr(at, prefix.size()), prefix);
}

// Splits a format string at the ";" that are not inside quotes or escaped.
std::vector<std::string_view> SplitSections(std::string_view format) {
  std::vector<std::string_view> sections;
  std::size_t start = 0;
  bool quoted = false;
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (quoted) {
      quoted = c != '"';
    } else if (c == '"') {
      quoted = true;
    } else if (c == '\\') {
      ++i;
    } else if (c == ';') {
      sections.push_back(format.substr(start, i - start));
      start = i + 1;
    }
  }
  sections.push_back(format.substr(std::min(start, format.size())));
  return sections;
}

// Calls literal(text) for quoted and escaped text and token(index) for every
// other character.
template <class Literal, class Token>
void Scan(std::string_view s, Literal literal, Token token) {
  std::size_t i = 0;
  while (i < s.size()) {
    if (s[i] == '"') {
      const std::size_t end = s.find('"', i + 1);
      const std::size_t stop = end == std::string_view::npos ? s.size() : end;
      literal(s.substr(i + 1, stop - i - 1));
      i = stop + 1;
    } else if (s[i] == '\\') {
      if (i + 1 < s.size()) literal(s.substr(i + 1, 1));
      i += 2;
    } else {
      i = token(i);
    }
  }
}

// ---------------------------------------------------------------- kinds ---

enum class Kind { Number, Date, Text };

bool IsAmPmAt(std::string_view s, std::size_t i, std::size_t& length) {
  for (std::string_view form : {"am/pm", "ampm", "a/p"}) {
    if (StartsNoCase(s, i, form)) {
      length = form.size();
      return true;
    }
  }
  return false;
}

Kind Classify(std::string_view section) {
  bool textHolder = false, caseHolder = false, digit = false, dateToken = false;
  Scan(
      section, [](std::string_view) {},
      [&](std::size_t i) {
        const char c = section[i];
        const char l = Lower(c);
        std::size_t length = 1;
        if (c == '@' || c == '&') {
          textHolder = true;
        } else if (c == '<' || c == '>' || c == '!') {
          caseHolder = caseHolder || c != '!';
        } else if (c == '0' || c == '#') {
          digit = true;
        } else if ((l == 'e') && i + 1 < section.size() &&
                   (section[i + 1] == '+' || section[i + 1] == '-')) {
          length = 2;
        } else if (l == 'a' && IsAmPmAt(section, i, length)) {
          dateToken = true;
        } else if (l == 'd' || l == 'm' || l == 'y' || l == 'h' || l == 'n' || l == 's' ||
                   l == 'w' || l == 'q' || l == 'c' || l == 't') {
          dateToken = true;
        }
        return i + length;
      });
  if (textHolder || (caseHolder && !digit && !dateToken)) return Kind::Text;
  if (dateToken && !digit) return Kind::Date;
  return Kind::Number;
}

// --------------------------------------------------------------- numbers ---

struct NumItem {
  enum K { IntDigit, DecDigit, ExpDigit, Point, Comma, Percent, Exponent, Literal } kind;
  std::string text;   // Literal: the text; Exponent: "E" or "e"
  char holder = '#';  // digits: '0' or '#'
  bool expPlus = false;
};

struct NumFormat {
  std::vector<NumItem> items;
  int intCount = 0, decCount = 0, minInt = 0, minDec = 0, expMin = 1;
  int scale = 0, percent = 0;
  bool grouping = false, scientific = false, hasPoint = false, expHolders = false;
};

NumFormat ParseNumberSection(std::string_view s) {
  NumFormat f;
  bool afterPoint = false, afterExp = false;
  Scan(
      s,
      [&](std::string_view text) {
        f.items.push_back({NumItem::Literal, std::string(text)});
      },
      [&](std::size_t i) -> std::size_t {
        const char c = s[i];
        if (c == '0' || c == '#') {
          const auto kind = afterExp     ? NumItem::ExpDigit
                            : afterPoint ? NumItem::DecDigit
                                         : NumItem::IntDigit;
          f.items.push_back({kind, {}, c});
        } else if (c == '.' && !afterPoint && !afterExp) {
          afterPoint = f.hasPoint = true;
          f.items.push_back({NumItem::Point});
        } else if (c == ',' && !afterPoint && !afterExp) {
          f.items.push_back({NumItem::Comma});
        } else if (c == '%') {
          ++f.percent;
          f.items.push_back({NumItem::Percent});
        } else if ((c == 'E' || c == 'e') && !afterExp && i + 1 < s.size() &&
                   (s[i + 1] == '+' || s[i + 1] == '-')) {
          afterExp = f.scientific = true;
          f.items.push_back({NumItem::Exponent, std::string(1, c), '#', s[i + 1] == '+'});
          return i + 2;
        } else {
          f.items.push_back({NumItem::Literal, std::string(1, c)});
        }
        return i + 1;
      });
  // A comma between integer digit holders groups thousands; commas after the
  // last one scale the number down by a thousand each.
  int firstZero = -1, intSeen = 0, expZeros = 0, lastDecZero = 0;
  for (std::size_t k = 0; k < f.items.size(); ++k) {
    NumItem& item = f.items[k];
    if (item.kind == NumItem::IntDigit) {
      if (item.holder == '0' && firstZero < 0) firstZero = intSeen;
      ++intSeen;
    } else if (item.kind == NumItem::DecDigit) {
      ++f.decCount;
      if (item.holder == '0') lastDecZero = f.decCount;
    } else if (item.kind == NumItem::ExpDigit) {
      f.expHolders = true;
      if (item.holder == '0') ++expZeros;
    } else if (item.kind == NumItem::Comma) {
      bool digitAfter = false;
      for (std::size_t j = k + 1; j < f.items.size(); ++j) {
        const auto kind = f.items[j].kind;
        if (kind == NumItem::Point || kind == NumItem::Exponent) break;
        if (kind == NumItem::IntDigit) digitAfter = true;
      }
      if (intSeen > 0 && digitAfter) {
        f.grouping = true;
        item.kind = NumItem::Literal;  // output nothing here
      } else if (intSeen > 0) {
        ++f.scale;
        item.kind = NumItem::Literal;
      } else {
        item.kind = NumItem::Literal;
        item.text = ",";
      }
    }
  }
  f.intCount = intSeen;
  f.minInt = firstZero < 0 ? 0 : intSeen - firstZero;
  f.minDec = lastDecZero;
  f.expMin = std::max(expZeros, 1);
  // A format with a point but no integer holder still shows the whole part;
  // a scientific one shows the mantissa below one instead (".4711E+2").
  if (f.intCount == 0 && f.hasPoint && !f.scientific) {
    for (std::size_t k = 0; k < f.items.size(); ++k) {
      if (f.items[k].kind == NumItem::Point) {
        f.items.insert(f.items.begin() + static_cast<long>(k), NumItem{NumItem::IntDigit});
        f.intCount = 1;
        break;
      }
    }
  }
  return f;
}

// Renders the magnitude of `value`; `zero` tells whether it rounded to zero.
std::string RenderNumber(const NumFormat& f, Decimal value, const Locale& locale, bool& zero) {
  value.negative = false;
  if (!value.isZero()) value.point += 2 * f.percent - 3 * f.scale;
  if (value.point < -1000) value = Decimal{};
  int exponent = 0;
  if (f.scientific && !value.isZero()) {
    const int whole = f.hasPoint ? f.intCount : std::max(1, f.intCount);
    exponent = value.point - whole;
    value.point = whole;
    value.roundTo(f.decCount);
    if (value.point > whole) {
      exponent += value.point - whole;
      value.point = whole;
    }
  } else {
    value.roundTo(f.decCount);
  }
  zero = value.isZero();
  std::string whole = value.integerDigits();
  if (static_cast<int>(whole.size()) < f.minInt) {
    whole.insert(0, static_cast<std::size_t>(f.minInt) - whole.size(), '0');
  }
  const std::string fraction = value.fractionDigits(f.decCount);
  int significant = f.decCount;
  while (significant > 0 && fraction[static_cast<std::size_t>(significant - 1)] == '0') {
    --significant;
  }
  const int shownDecimals = std::max(f.minDec, significant);
  const std::string expText = std::to_string(std::abs(exponent));

  std::string out;
  const long length = static_cast<long>(whole.size());
  auto emitDigit = [&](long index) {
    out += whole[static_cast<std::size_t>(index)];
    const long fromRight = length - 1 - index;
    if (f.grouping && fromRight > 0 && fromRight % 3 == 0) out += locale.thousandsSeparator;
  };
  int intIndex = 0, decIndex = 0;
  bool expWritten = false;
  auto writeExponent = [&] {
    if (expWritten) return;
    for (std::size_t k = expText.size(); k < static_cast<std::size_t>(f.expMin); ++k)
      out += '0';
    out += expText;
    expWritten = true;
  };
  for (const NumItem& item : f.items) {
    switch (item.kind) {
      case NumItem::IntDigit: {
        const long q = length - f.intCount + intIndex;
        if (intIndex == 0) {
          for (long k = 0; k <= q; ++k)
            emitDigit(k);
        } else if (q >= 0) {
          emitDigit(q);
        }
        ++intIndex;
        break;
      }
      case NumItem::DecDigit:
        if (decIndex < shownDecimals) out += fraction[static_cast<std::size_t>(decIndex)];
        ++decIndex;
        break;
      case NumItem::ExpDigit:
        writeExponent();
        break;
      case NumItem::Point:
        out += locale.decimalSeparator;
        break;
      case NumItem::Percent:
        out += '%';
        break;
      case NumItem::Exponent:
        out += item.text;
        if (exponent < 0) {
          out += '-';
        } else if (item.expPlus) {
          out += '+';
        }
        // Without digit holders the exponent still shows, right after its
        // sign: 1.7 in "0.0000e-1" is "1.7000e01", the "1" being literal.
        if (!f.expHolders) writeExponent();
        break;
      case NumItem::Comma:
      case NumItem::Literal:
        out += item.text;
        break;
    }
  }
  return out;
}

std::string FormatNumberSections(const Decimal& value, std::string_view format,
                                 const Locale& locale) {
  const std::vector<std::string_view> sections = SplitSections(format);
  std::size_t index = 0;
  if (value.isZero()) {
    if (sections.size() >= 3 && !sections[2].empty()) index = 2;
  } else if (value.negative) {
    if (sections.size() >= 2 && !sections[1].empty()) index = 1;
  }
  bool zero = false;
  std::string text = RenderNumber(ParseNumberSection(sections[index]), value, locale, zero);
  // The positive section shows a negative number with a minus sign, unless
  // it rounded to zero ("-0.00" is not shown).
  if (value.negative && index == 0 && !zero) text.insert(0, "-");
  return text;
}

// ----------------------------------------------------------------- dates ---

std::string Two(int v) {
  return (v < 10 ? "0" : "") + std::to_string(v);
}

struct DateToken {
  char kind;  // letter of the token (lower case), 'L' literal, 'A' am/pm
  int count = 1;
  std::string text;  // literal text, or the am/pm form as written
};

std::string RenderDateSection(std::string_view s, const DateFields& f, const Locale& locale) {
  std::vector<DateToken> tokens;
  Scan(
      s,
      [&](std::string_view text) {
        tokens.push_back({'L', 1, std::string(text)});
      },
      [&](std::size_t i) -> std::size_t {
        const char l = Lower(s[i]);
        std::size_t length = 0;
        if (l == 'a' && IsAmPmAt(s, i, length)) {
          tokens.push_back({'A', 1, std::string(s.substr(i, length))});
          return i + length;
        }
        if (std::string_view("dwmqyhnsct").find(l) != std::string_view::npos) {
          std::size_t j = i + 1;
          while (j < s.size() && Lower(s[j]) == l)
            ++j;
          if (l == 't' && j - i != 5) {
            tokens.push_back({'L', 1, std::string(s.substr(i, j - i))});
          } else {
            tokens.push_back({l, static_cast<int>(j - i)});
          }
          return j;
        }
        if (s[i] == '/') {
          tokens.push_back({'L', 1, std::string(1, locale.dateSeparator)});
        } else if (s[i] == ':') {
          tokens.push_back({'L', 1, std::string(1, locale.timeSeparator)});
        } else {
          tokens.push_back({'L', 1, std::string(1, s[i])});
        }
        return i + 1;
      });
  bool twelveHour = false;
  for (const DateToken& t : tokens)
    twelveHour = twelveHour || t.kind == 'A';
  // "m" right after an hour means minutes; anywhere else it is the month
  // ("nn" always means minutes).
  for (std::size_t k = 0; k < tokens.size(); ++k) {
    if (tokens[k].kind != 'm') continue;
    long prev = static_cast<long>(k) - 1;
    while (prev >= 0 && tokens[static_cast<std::size_t>(prev)].kind == 'L')
      --prev;
    if (prev >= 0 && tokens[static_cast<std::size_t>(prev)].kind == 'h') tokens[k].kind = 'n';
  }
  const int hour = twelveHour ? (f.hour % 12 == 0 ? 12 : f.hour % 12) : f.hour;
  std::string out;
  for (const DateToken& t : tokens) {
    const int n = t.count;
    switch (t.kind) {
      case 'L':
        out += t.text;
        break;
      case 'A': {
        const bool pm = f.hour >= 12;
        if (EqualsNoCase(t.text, "ampm")) {
          out += pm ? locale.pmDesignator : locale.amDesignator;
        } else {
          const std::size_t slash = t.text.find('/');
          out += pm ? t.text.substr(slash + 1) : t.text.substr(0, slash);
        }
        break;
      }
      case 'c':
        for (int k = 0; k < n; ++k) {
          if (!f.hasDate) {
            out += detail::LongTimeText(f, locale);
          } else {
            out += detail::ShortDateText(f, locale);
            if (f.hasTime) out += " " + detail::LongTimeText(f, locale);
          }
        }
        break;
      case 'd':
        out += n == 1   ? std::to_string(f.day)
               : n == 2 ? Two(f.day)
               : n == 3 ? locale.dayAbbrevs[static_cast<std::size_t>(f.weekday - 1)]
               : n == 4 ? locale.dayNames[static_cast<std::size_t>(f.weekday - 1)]
               : n == 5 ? detail::ShortDateText(f, locale)
                        : detail::LongDateText(f, locale);
        break;
      case 'w':
        if (n == 1) {
          out += std::to_string(f.weekday);
        } else {
          // Weeks start on Sunday; the week holding 1 January is the first.
          const int jan1 = ((f.weekday - 1 - (f.dayOfYear - 1)) % 7 + 7) % 7;
          out += std::to_string((f.dayOfYear - 1 + jan1) / 7 + 1);
        }
        break;
      case 'm':
        out += n == 1   ? std::to_string(f.month)
               : n == 2 ? Two(f.month)
               : n == 3 ? locale.monthAbbrevs[static_cast<std::size_t>(f.month - 1)]
                        : locale.monthNames[static_cast<std::size_t>(f.month - 1)];
        break;
      case 'q':
        out += std::to_string((f.month - 1) / 3 + 1);
        break;
      case 'y':
        if (n >= 4) {
          out += std::to_string(f.year);
        } else if (n >= 2) {
          out += Two(f.year % 100);
          if (n == 3) out += std::to_string(f.dayOfYear);
        } else {
          out += std::to_string(f.dayOfYear);
        }
        break;
      case 'h':
        out += n == 1 ? std::to_string(hour) : Two(hour);
        break;
      case 'n':
        out += n == 1 ? std::to_string(f.minute) : Two(f.minute);
        break;
      case 's':
        out += n == 1 ? std::to_string(f.second) : Two(f.second);
        break;
      case 't':
        out += detail::LongTimeText(f, locale);
        break;
      default:
        break;
    }
  }
  return out;
}

// ------------------------------------------------------------------ text ---

std::vector<std::string> CodePoints(std::string_view s) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < s.size()) {
    std::size_t j = i + 1;
    while (j < s.size() && (static_cast<unsigned char>(s[j]) & 0xC0) == 0x80)
      ++j;
    out.emplace_back(s.substr(i, j - i));
    i = j;
  }
  return out;
}

std::string RenderTextSection(std::string_view s, std::string_view value) {
  struct Item {
    bool holder;
    char kind;  // '@' or '&' for holders
    std::string text;
  };
  std::vector<Item> items;
  bool upper = false, lower = false, leftToRight = false;
  Scan(
      s,
      [&](std::string_view text) {
        items.push_back({false, 0, std::string(text)});
      },
      [&](std::size_t i) {
        const char c = s[i];
        if (c == '@' || c == '&') {
          items.push_back({true, c, {}});
        } else if (c == '<') {
          lower = true;
        } else if (c == '>') {
          upper = true;
        } else if (c == '!') {
          leftToRight = true;
        } else {
          items.push_back({false, 0, std::string(1, c)});
        }
        return i + 1;
      });
  // With both "<" and ">" in the section, lower case wins.
  const std::string mapped = lower ? LCase(value) : upper ? UCase(value) : std::string(value);
  const std::vector<std::string> chars = CodePoints(mapped);
  long holders = 0;
  for (const Item& item : items)
    holders += item.holder ? 1 : 0;
  if (holders == 0) {
    std::string out = mapped;
    for (const Item& item : items)
      out += item.text;
    return out;
  }
  const long n = static_cast<long>(chars.size());
  // A text longer than the mask fills the holders from the left, one
  // character each, and the rest follows the whole mask. A shorter one fills
  // them from the right ("!" from the left), the free "@" holders showing
  // blanks.
  const bool fromLeft = leftToRight || n > holders;
  std::string out;
  long h = 0;
  for (const Item& item : items) {
    if (!item.holder) {
      out += item.text;
      continue;
    }
    const long k = fromLeft ? h : n - holders + h;
    if (k >= 0 && k < n) {
      out += chars[static_cast<std::size_t>(k)];
    } else if (item.kind == '@') {
      out += ' ';
    }
    ++h;
  }
  for (long k = holders; k < n; ++k)
    out += chars[static_cast<std::size_t>(k)];
  return out;
}

// ---------------------------------------------------------------- values ---

// The value as an exact decimal for a number format; false for text that is
// no number (it is then shown unchanged).
bool NumberOf(const Variant& v, const Locale& locale, Decimal& out) {
  switch (v.type()) {
    case VarType::Integer:
      out = detail::IntegerDecimal(v.integer());
      return true;
    case VarType::Long:
      out = detail::IntegerDecimal(v.lng());
      return true;
    case VarType::Double:
      out = detail::DoubleDecimal(v.dbl());
      return true;
    case VarType::Currency:
      out = detail::CurrencyDecimal(v.currency());
      return true;
    case VarType::Date:
      out = detail::DoubleDecimal(v.date().serial);
      return true;
    case VarType::Boolean:
      out = detail::IntegerDecimal(v.boolean() ? -1 : 0);
      return true;
    case VarType::String: {
      double ignored;
      return detail::ParseDecimal(v.string(), locale, out) == detail::NumberParse::Ok &&
             detail::DecimalToDouble(out, ignored) == detail::NumberParse::Ok;
    }
    default:
      return false;
  }
}

// The value as a date for a date format: dates, numbers as serials, and
// text that reads as a date. Text that is only a number stays as typed: a
// "5" in a date field does not turn into 4 January 1900.
bool DateOf(const Variant& v, const Locale& locale, DateTime& out) {
  Decimal d;
  if (v.type() == VarType::Date) {
    out = v.date();
  } else if (v.isString()) {
    if (!detail::ParseDateText(v.string(), locale, out)) return false;
  } else if (NumberOf(v, locale, d)) {
    double serial = 0.0;
    detail::DecimalToDouble(d, serial);
    out = DateTime{serial};
  } else {
    return false;
  }
  return detail::SerialInRange(out.serial);
}

enum class Named {
  None,
  GeneralNumber,
  Currency,
  Fixed,
  Standard,
  Percent,
  Scientific,
  YesNo,
  TrueFalse,
  OnOff,
  GeneralDate,
  LongDate,
  MediumDate,
  ShortDate,
  LongTime,
  MediumTime,
  ShortTime
};

Named NamedFormat(std::string_view format) {
  static constexpr std::pair<std::string_view, Named> kNames[] = {
      {"General Number", Named::GeneralNumber},
      {"Currency", Named::Currency},
      {"Fixed", Named::Fixed},
      {"Standard", Named::Standard},
      {"Percent", Named::Percent},
      {"Scientific", Named::Scientific},
      {"Yes/No", Named::YesNo},
      {"True/False", Named::TrueFalse},
      {"On/Off", Named::OnOff},
      {"General Date", Named::GeneralDate},
      {"Long Date", Named::LongDate},
      {"Medium Date", Named::MediumDate},
      {"Short Date", Named::ShortDate},
      {"Long Time", Named::LongTime},
      {"Medium Time", Named::MediumTime},
      {"Short Time", Named::ShortTime},
  };
  for (const auto& [name, named] : kNames) {
    if (EqualsNoCase(format, name)) return named;
  }
  return Named::None;
}

// The currency layout of the locale as a two-section number format.
std::string CurrencyFormat(const Locale& locale) {
  std::string symbol = "\"" + locale.currencySymbol + "\"";
  const std::string number = "#,##0.00";
  const std::string positive = locale.currencySymbolAfter ? number + " " + symbol : symbol + number;
  const std::string negative =
      locale.currencyNegativeParentheses ? "(" + positive + ")" : "-" + positive;
  return positive + ";" + negative;
}

std::string FormatNamedNumber(Named named, const Variant& value, const Locale& locale) {
  Decimal d;
  if (!NumberOf(value, locale, d)) return TextOf(value);
  switch (named) {
    case Named::GeneralNumber: {
      double v = 0.0;
      detail::DecimalToDouble(d, v);
      return detail::DoubleText(v, locale);
    }
    case Named::Currency:
      return FormatNumberSections(d, CurrencyFormat(locale), locale);
    case Named::Fixed:
      return FormatNumberSections(d, "0.00", locale);
    case Named::Standard:
      return FormatNumberSections(d, "#,##0.00", locale);
    case Named::Percent:
      return FormatNumberSections(d, "0.00%", locale);
    case Named::Scientific:
      return FormatNumberSections(d, "0.00E+00", locale);
    case Named::YesNo:
      return d.isZero() ? "No" : "Yes";
    case Named::TrueFalse:
      return d.isZero() ? "False" : "True";
    default:
      return d.isZero() ? "Off" : "On";
  }
}

std::string FormatNamedDate(Named named, const DateFields& f, DateTime value,
                            const Locale& locale) {
  switch (named) {
    case Named::GeneralDate:
      return detail::GeneralDateText(value, locale);
    case Named::LongDate:
      return detail::LongDateText(f, locale);
    case Named::MediumDate:
      return detail::RenderPattern(f, "dd'-'MMM'-'yy", locale);
    case Named::ShortDate:
      return detail::ShortDateText(f, locale);
    case Named::LongTime:
      return detail::LongTimeText(f, locale);
    case Named::MediumTime:
      return detail::RenderPattern(f, locale.twentyFourHour ? "HH:mm" : "hh:mm tt", locale);
    default:
      return detail::RenderPattern(f, "HH:mm", locale);
  }
}

}  // namespace

std::string Format(const Variant& value, std::string_view format) {
  const Locale& locale = Locale::Current();
  switch (value.type()) {
    case VarType::Object:
    case VarType::Array:
    case VarType::ByteArray:
      throw Error(err::TypeMismatch, "Format");
    default:
      break;
  }
  if (format.empty()) return TextOf(value);

  const Named named = NamedFormat(format);
  if (named != Named::None) {
    if (value.isNull() || value.isEmpty()) return {};
    if (named < Named::GeneralDate) return FormatNamedNumber(named, value, locale);
    DateTime date;
    if (!DateOf(value, locale, date)) return TextOf(value);
    return FormatNamedDate(named, detail::SplitDate(date), date, locale);
  }

  const std::vector<std::string_view> sections = SplitSections(format);
  const Kind kind = Classify(sections[0]);
  if (kind == Kind::Text) {
    const std::string text = TextOf(value);
    if (text.empty() && sections.size() >= 2) return RenderTextSection(sections[1], text);
    return RenderTextSection(sections[0], text);
  }
  if (value.isNull()) {
    if (sections.size() < 4) return {};
    bool zero = false;
    return RenderNumber(ParseNumberSection(sections[3]), Decimal{}, locale, zero);
  }
  if (value.isEmpty()) return {};
  if (kind == Kind::Date) {
    DateTime date;
    if (!DateOf(value, locale, date)) return TextOf(value);
    return RenderDateSection(sections[0], detail::SplitDate(date), locale);
  }
  Decimal d;
  if (!NumberOf(value, locale, d)) return TextOf(value);
  return FormatNumberSections(d, format, locale);
}

}  // namespace kiv
