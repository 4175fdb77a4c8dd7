#include "kiv/runtime/Locale.h"

#include <cctype>

namespace kiv {

namespace {

Locale MakeInvariant() {
  Locale l;
  l.monthNames = {"January", "February", "March",     "April",   "May",      "June",
                  "July",    "August",   "September", "October", "November", "December"};
  l.monthAbbrevs = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  l.dayNames = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  l.dayAbbrevs = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  return l;
}

Locale MakeEnglishUK() {
  Locale l = MakeInvariant();
  l.name = "en-GB";
  l.currencySymbol = "\xC2\xA3";  // pound sign
  l.currencyNegativeParentheses = false;
  l.dateOrder = Locale::DateOrder::DMY;
  l.shortDatePattern = "dd/MM/yyyy";
  l.longDatePattern = "dd MMMM yyyy";
  l.twentyFourHour = true;
  return l;
}

Locale MakeGerman() {
  Locale l;
  l.name = "de-DE";
  l.decimalSeparator = ',';
  l.thousandsSeparator = '.';
  l.currencySymbol = "\xE2\x82\xAC";  // euro sign
  l.currencySymbolAfter = true;
  l.currencyNegativeParentheses = false;
  l.dateOrder = Locale::DateOrder::DMY;
  l.dateSeparator = '.';
  l.shortDatePattern = "dd.MM.yyyy";
  l.longDatePattern = "dddd, d. MMMM yyyy";
  l.twentyFourHour = true;
  l.monthNames = {"Januar", "Februar", "M\xC3\xA4rz", "April",   "Mai",      "Juni",
                  "Juli",   "August",  "September",   "Oktober", "November", "Dezember"};
  l.monthAbbrevs = {"Jan", "Feb", "M\xC3\xA4r", "Apr", "Mai", "Jun",
                    "Jul", "Aug", "Sep",        "Okt", "Nov", "Dez"};
  l.dayNames = {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"};
  l.dayAbbrevs = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
  return l;
}

// The calling thread's current locale, a copy so a host may build its own.
Locale& CurrentSlot() {
  thread_local Locale current = Locale::Invariant();
  return current;
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = static_cast<char>(std::tolower(static_cast<unsigned char>(a[i])));
    char y = static_cast<char>(std::tolower(static_cast<unsigned char>(b[i])));
    if (x == '_') x = '-';
    if (y == '_') y = '-';
    if (x != y) return false;
  }
  return true;
}

}  // namespace

const Locale& Locale::Invariant() {
  static const Locale locale = MakeInvariant();
  return locale;
}

const Locale& Locale::EnglishUK() {
  static const Locale locale = MakeEnglishUK();
  return locale;
}

const Locale& Locale::German() {
  static const Locale locale = MakeGerman();
  return locale;
}

const Locale* Locale::ByName(const std::string& name) {
  for (const Locale* l : {&Invariant(), &EnglishUK(), &German()}) {
    if (SameName(l->name, name)) return l;
  }
  return nullptr;
}

const Locale& Locale::Current() {
  return CurrentSlot();
}

void Locale::SetCurrent(const Locale& locale) {
  Locale& slot = CurrentSlot();
  if (&slot != &locale) slot = locale;
}

LocaleScope::LocaleScope(const Locale& locale) : saved_(Locale::Current()) {
  Locale::SetCurrent(locale);
}

LocaleScope::~LocaleScope() {
  Locale::SetCurrent(saved_);
}

}  // namespace kiv
