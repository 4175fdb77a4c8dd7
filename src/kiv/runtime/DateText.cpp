#include "kiv/runtime/DateText.h"

#include <cmath>
#include <ctime>
#include <vector>

#include "kiv/runtime/Error.h"

namespace kiv::detail {

namespace {

constexpr long kEpochOffset = 25569;  // days from 1899-12-30 to 1970-01-01

// Days since 1970-01-01 of a proleptic Gregorian date.
long DaysFromEpoch(long y, unsigned m, unsigned d) {
  y -= m <= 2 ? 1 : 0;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long>(doe) - 719468;
}

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size() || a.empty()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

std::string Pad2(int v) {
  std::string s = std::to_string(v);
  return s.size() < 2 ? "0" + s : s;
}

}  // namespace

bool SerialInRange(double serial) {
  // Before 1899-12-30 the time counts forward from a more negative day, so
  // the first day's times lie below its serial.
  return std::isfinite(serial) && serial > kMinDateSerial - 86399.5 / 86400.0 &&
         serial < kMaxDateSerial + 0.5 / 86400.0;
}

long DaysFromCivil(int year, int month, int day) {
  return DaysFromEpoch(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
         kEpochOffset;
}

void CivilFromDays(long days, int& year, int& month, int& day) {
  long z = days - kEpochOffset + 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long y = static_cast<long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2 ? 1 : 0));
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  if (month == 2 && year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)) return 29;
  return kDays[month - 1];
}

DateFields SplitDate(DateTime value) {
  const double s = value.serial;
  if (!SerialInRange(s)) throw Error(err::Overflow, "Date");
  long days = static_cast<long>(std::trunc(s));
  long secs = std::lround(std::fabs(s - static_cast<double>(days)) * 86400.0);
  if (secs >= 86400) {
    secs -= 86400;
    days += 1;
  }
  DateFields f;
  CivilFromDays(days, f.year, f.month, f.day);
  f.hour = static_cast<int>(secs / 3600);
  f.minute = static_cast<int>(secs / 60 % 60);
  f.second = static_cast<int>(secs % 60);
  f.weekday = static_cast<int>(((days % 7 + 7) % 7 + 6) % 7 + 1);
  f.dayOfYear = static_cast<int>(days - DaysFromCivil(f.year, 1, 1) + 1);
  f.hasDate = days != 0;
  f.hasTime = secs != 0;
  return f;
}

double JoinDate(long days, int secondsOfDay) {
  const double t = secondsOfDay / 86400.0;
  return days >= 0 ? static_cast<double>(days) + t : static_cast<double>(days) - t;
}

std::string RenderPattern(const DateFields& f, std::string_view pattern, const Locale& locale) {
  std::string r;
  std::size_t i = 0;
  while (i < pattern.size()) {
    const char c = pattern[i];
    if (c == '\'') {
      const std::size_t end = pattern.find('\'', i + 1);
      const std::size_t stop = end == std::string_view::npos ? pattern.size() : end;
      r += pattern.substr(i + 1, stop - i - 1);
      i = stop + 1;
      continue;
    }
    if (c == '\\' && i + 1 < pattern.size()) {
      r += pattern[i + 1];
      i += 2;
      continue;
    }
    std::size_t run = 1;
    while (i + run < pattern.size() && pattern[i + run] == c)
      ++run;
    const int h12 = f.hour % 12 == 0 ? 12 : f.hour % 12;
    switch (c) {
      case 'd':
        r += run == 1   ? std::to_string(f.day)
             : run == 2 ? Pad2(f.day)
             : run == 3 ? locale.dayAbbrevs[static_cast<std::size_t>(f.weekday - 1)]
                        : locale.dayNames[static_cast<std::size_t>(f.weekday - 1)];
        break;
      case 'M':
        r += run == 1   ? std::to_string(f.month)
             : run == 2 ? Pad2(f.month)
             : run == 3 ? locale.monthAbbrevs[static_cast<std::size_t>(f.month - 1)]
                        : locale.monthNames[static_cast<std::size_t>(f.month - 1)];
        break;
      case 'y':
        // A full year is written as it is: the year 100 is "100", not "0100".
        r += run <= 2 ? Pad2(f.year % 100) : std::to_string(f.year);
        break;
      case 'h':
        r += run == 1 ? std::to_string(h12) : Pad2(h12);
        break;
      case 'H':
        r += run == 1 ? std::to_string(f.hour) : Pad2(f.hour);
        break;
      case 'm':
        r += run == 1 ? std::to_string(f.minute) : Pad2(f.minute);
        break;
      case 's':
        r += run == 1 ? std::to_string(f.second) : Pad2(f.second);
        break;
      case 't': {
        const std::string& d = f.hour < 12 ? locale.amDesignator : locale.pmDesignator;
        r += run == 1 ? d.substr(0, 1) : d;
        break;
      }
      case '/':
        r.append(run, locale.dateSeparator);
        break;
      case ':':
        r.append(run, locale.timeSeparator);
        break;
      default:
        r.append(run, c);
        break;
    }
    i += run;
  }
  return r;
}

std::string ShortDateText(const DateFields& f, const Locale& locale) {
  return RenderPattern(f, locale.shortDatePattern, locale);
}

std::string LongDateText(const DateFields& f, const Locale& locale) {
  return RenderPattern(f, locale.longDatePattern, locale);
}

std::string LongTimeText(const DateFields& f, const Locale& locale) {
  return RenderPattern(f, locale.twentyFourHour ? "HH:mm:ss" : "h:mm:ss tt", locale);
}

std::string GeneralDateText(DateTime value, const Locale& locale) {
  const DateFields f = SplitDate(value);
  if (!f.hasDate) return LongTimeText(f, locale);
  std::string r = ShortDateText(f, locale);
  if (f.hasTime) r += " " + LongTimeText(f, locale);
  return r;
}

int CurrentYear() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  localtime_r(&now, &parts);
  return parts.tm_year + 1900;
}

namespace {

struct Token {
  enum Kind { Num, Word, Sep } kind;
  std::string_view text;
  int value = 0;  // Num
  bool used = false;
};

bool IsLetter(unsigned char c) {
  return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}

// The length of the blank at s[i]: a space, a tab or an ideographic space
// (U+3000, typed between date and time on East Asian keyboards); 0 for none.
std::size_t BlankAt(std::string_view s, std::size_t i) {
  if (s[i] == ' ' || s[i] == '\t') return 1;
  return s.substr(i, 3) == "\xE3\x80\x80" ? 3 : 0;
}

bool Tokenize(std::string_view s, const Locale& locale, std::vector<Token>& out) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t j = i + 1;
    if (c >= '0' && c <= '9') {
      while (j < s.size() && s[j] >= '0' && s[j] <= '9')
        ++j;
      if (j - i > 4) return false;
      Token t{Token::Num, s.substr(i, j - i)};
      for (char d : t.text)
        t.value = t.value * 10 + (d - '0');
      out.push_back(t);
    } else if (const std::size_t blank = BlankAt(s, i); blank != 0) {
      j = i + blank;
      while (j < s.size() && BlankAt(s, j) != 0)
        j += BlankAt(s, j);
      out.push_back({Token::Sep, " "});
    } else if (IsLetter(c) || c >= 0x80) {
      while (j < s.size() && (IsLetter(static_cast<unsigned char>(s[j])) ||
                              (static_cast<unsigned char>(s[j]) >= 0x80 && BlankAt(s, j) == 0))) {
        ++j;
      }
      out.push_back({Token::Word, s.substr(i, j - i)});
    } else if (c == '/' || c == '-' || c == '.' || c == ',' || c == ':' ||
               c == static_cast<unsigned char>(locale.dateSeparator) ||
               c == static_cast<unsigned char>(locale.timeSeparator)) {
      out.push_back({Token::Sep, s.substr(i, 1)});
    } else {
      return false;
    }
    i = j;
  }
  return true;
}

// 1..12 for a month name or abbreviation (the locale's or English), else 0.
int MonthOf(std::string_view w, const Locale& locale) {
  for (const Locale* l : {&locale, &Locale::Invariant()}) {
    for (std::size_t m = 0; m < 12; ++m) {
      if (SameWord(w, l->monthNames[m]) || SameWord(w, l->monthAbbrevs[m])) {
        return static_cast<int>(m) + 1;
      }
    }
  }
  return 0;
}

bool IsDayName(std::string_view w, const Locale& locale) {
  for (const Locale* l : {&locale, &Locale::Invariant()}) {
    for (std::size_t d = 0; d < 7; ++d) {
      if (SameWord(w, l->dayNames[d]) || SameWord(w, l->dayAbbrevs[d])) return true;
    }
  }
  return false;
}

// 1 for a morning designator, 2 for an afternoon one, else 0.
int MeridiemOf(std::string_view w, const Locale& locale) {
  if (SameWord(w, locale.amDesignator) || SameWord(w, "AM") || SameWord(w, "A")) return 1;
  if (SameWord(w, locale.pmDesignator) || SameWord(w, "PM") || SameWord(w, "P")) return 2;
  return 0;
}

bool IsTimeSep(const Token& t, const Locale& locale) {
  return t.kind == Token::Sep && (t.text[0] == ':' || t.text[0] == locale.timeSeparator);
}

// Finds and consumes "h:mm[:ss[.fff]] [AM|PM]" or "h AM|PM"; seconds of the
// day in `seconds`, the index of its first token in `first`. Returns false
// for a malformed time, `found` says whether there was one.
bool TakeTime(std::vector<Token>& toks, const Locale& locale, bool& found, double& seconds,
              std::size_t& first) {
  found = false;
  const std::size_t n = toks.size();
  auto isNum = [&](std::size_t k) { return k < n && toks[k].kind == Token::Num; };
  for (std::size_t i = 0; i < n; ++i) {
    if (!isNum(i)) continue;
    std::size_t k = i;
    int parts[3] = {0, 0, 0};
    int count = 0;
    double fraction = 0.0;
    parts[count++] = toks[k].value;
    if (toks[k].text.size() > 2) continue;
    while (count < 3 && k + 2 < n && IsTimeSep(toks[k + 1], locale) && isNum(k + 2)) {
      if (toks[k + 2].text.size() > 2) return false;
      parts[count++] = toks[k + 2].value;
      k += 2;
    }
    if (count == 3 && k + 2 < n && toks[k + 1].kind == Token::Sep && toks[k + 1].text[0] == '.' &&
        isNum(k + 2)) {
      const std::string_view f = toks[k + 2].text;
      fraction = toks[k + 2].value / std::pow(10.0, static_cast<double>(f.size()));
      k += 2;
    }
    std::size_t m = k + 1;
    if (m < n && toks[m].kind == Token::Sep && toks[m].text[0] == ' ') ++m;
    int meridiem = 0;
    if (m < n && toks[m].kind == Token::Word) meridiem = MeridiemOf(toks[m].text, locale);
    if (count == 1 && meridiem == 0) continue;  // a plain number: part of the date
    int hour = parts[0];
    // A designator after an hour past 12 changes nothing: "13:00 AM" is 13:00.
    if (meridiem != 0 && hour <= 12) {
      if (hour == 12) hour = 0;
      if (meridiem == 2) hour += 12;
    }
    if (hour > 23 || parts[1] > 59 || parts[2] > 59) return false;
    for (std::size_t u = i; u <= k; ++u)
      toks[u].used = true;
    if (meridiem != 0) toks[m].used = true;
    first = i;
    found = true;
    seconds = hour * 3600.0 + parts[1] * 60.0 + parts[2] + fraction;
    return true;
  }
  return true;
}

bool YearLike(const Token& t) {
  return t.text.size() >= 3 || t.value > 31;
}

bool YearOf(const Token& t, int& year) {
  if (t.text.size() <= 2) {
    year = t.value < 30 ? 2000 + t.value : 1900 + t.value;
  } else {
    year = t.value;
  }
  return year >= 100 && year <= 9999;
}

// A sign or separator at either end makes the text no date ("-1.1", "1.1-"),
// so a slip of the finger is refused instead of stored as another day. Where
// dates are written with dots, a closing dot is the usual way ("6.12.").
bool StrayEnds(const std::vector<Token>& toks, const Locale& locale) {
  auto stray = [](const Token& t) { return t.kind == Token::Sep && t.text[0] != ' '; };
  std::size_t b = 0, e = toks.size();
  while (b < e && toks[b].kind == Token::Sep && toks[b].text[0] == ' ')
    ++b;
  while (e > b && toks[e - 1].kind == Token::Sep && toks[e - 1].text[0] == ' ')
    --e;
  if (b == e) return false;
  if (stray(toks[b])) return true;
  const Token& end = toks[e - 1];
  if (!stray(end)) return false;
  const bool closingDot =
      end.text[0] == '.' && locale.dateSeparator == '.' && e >= 2 && toks[e - 2].kind == Token::Num;
  return !closingDot;
}

// Whether a day and month can never be read as a date, whatever the year.
bool ImpossibleDay(int month, int day) {
  return month < 1 || month > 12 || day < 1 || day > DaysInMonth(2000, month);
}

}  // namespace

bool ParseDateText(std::string_view text, const Locale& locale, DateTime& out) {
  std::vector<Token> toks;
  if (!Tokenize(text, locale, toks)) return false;
  if (StrayEnds(toks, locale)) return false;
  bool hasTime = false;
  double seconds = 0.0;
  std::size_t timeFirst = 0;
  if (!TakeTime(toks, locale, hasTime, seconds, timeFirst)) return false;

  std::vector<const Token*> nums;
  std::vector<char> numSeps;  // the separator before each number after the first
  int month = 0;
  char pendingSep = 0;
  bool dayName = false;
  bool dateBeforeTime = false, dateAfterTime = false;
  for (std::size_t k = 0; k < toks.size(); ++k) {
    const Token& t = toks[k];
    if (t.used) continue;
    // The date stands before or after the time, never around it ("1 2 am 3").
    if (hasTime &&
        (t.kind == Token::Num || (t.kind == Token::Word && MonthOf(t.text, locale) != 0))) {
      (k < timeFirst ? dateBeforeTime : dateAfterTime) = true;
      if (dateBeforeTime && dateAfterTime) return false;
    }
    switch (t.kind) {
      case Token::Num:
        if (!nums.empty()) numSeps.push_back(pendingSep);
        nums.push_back(&t);
        pendingSep = 0;
        break;
      case Token::Word:
        if (const int m = MonthOf(t.text, locale); m != 0 && month == 0) {
          month = m;
        } else if (IsDayName(t.text, locale) && !dayName) {
          dayName = true;
        } else if (!(hasTime && SameWord(t.text, "T"))) {
          return false;
        }
        pendingSep = 0;
        break;
      case Token::Sep:
        if (IsTimeSep(t, locale) && t.text[0] != locale.dateSeparator) return false;
        // Several separators in a row (", ") count as one; blanks yield to others.
        if (pendingSep == 0 || pendingSep == ' ') pendingSep = t.text[0];
        break;
    }
  }

  int year = 0, day = 0;
  bool hasDate = true;
  if (month != 0) {
    if (nums.size() == 1) {
      if (YearLike(*nums[0])) {
        day = 1;
        if (!YearOf(*nums[0], year)) return false;
      } else {
        day = nums[0]->value;
        year = CurrentYear();
      }
    } else if (nums.size() == 2) {
      const bool firstIsYear = YearLike(*nums[0]) && !YearLike(*nums[1]);
      day = nums[firstIsYear ? 1 : 0]->value;
      if (!YearOf(*nums[firstIsYear ? 0 : 1], year)) return false;
    } else {
      return false;
    }
  } else {
    // Numbers only: one separator kind between them, and not a comma.
    for (char sep : numSeps) {
      if (sep == 0 || sep == ',' || sep != numSeps[0]) return false;
    }
    const auto order = locale.dateOrder;
    if (nums.size() == 3) {
      const Token *y, *m, *d;
      if (YearLike(*nums[0]) || order == Locale::DateOrder::YMD) {
        y = nums[0], m = nums[1], d = nums[2];
      } else if (order == Locale::DateOrder::DMY) {
        d = nums[0], m = nums[1], y = nums[2];
      } else {
        m = nums[0], d = nums[1], y = nums[2];
      }
      if (!YearOf(*y, year)) return false;
      month = m->value;
      day = d->value;
    } else if (nums.size() == 2) {
      if (YearLike(*nums[1])) {
        month = nums[0]->value, day = 1;
        if (!YearOf(*nums[1], year)) return false;
      } else if (YearLike(*nums[0])) {
        month = nums[1]->value, day = 1;
        if (!YearOf(*nums[0], year)) return false;
      } else {
        const bool dayFirst = order == Locale::DateOrder::DMY;
        day = nums[dayFirst ? 0 : 1]->value;
        month = nums[dayFirst ? 1 : 0]->value;
        year = CurrentYear();
        if (ImpossibleDay(month, day)) {
          // No day of any year, so a month and a two-digit year: "2 30" is
          // February 1930. "2 29" stays 29 February, refused in other years
          // rather than read as February 2029.
          const bool yearFirst = order == Locale::DateOrder::YMD;
          month = nums[yearFirst ? 1 : 0]->value, day = 1;
          if (!YearOf(*nums[yearFirst ? 0 : 1], year)) return false;
        }
      }
    } else if (nums.empty() && !dayName) {
      hasDate = false;
    } else {
      return false;
    }
  }
  if (!hasDate && !hasTime) return false;

  long days = 0;
  if (hasDate) {
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
    days = DaysFromCivil(year, month, day);
  }
  const double t = seconds / 86400.0;
  out.serial = days >= 0 ? static_cast<double>(days) + t : static_cast<double>(days) - t;
  return SerialInRange(out.serial);
}

}  // namespace kiv::detail
