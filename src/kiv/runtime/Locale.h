#pragma once

#include <array>
#include <string>

namespace kiv {

// The user's regional settings that the conversions, IsNumeric, IsDate and
// Format read. One locale is current per thread (a host sets it); the
// default is the invariant English one.
struct Locale {
  enum class DateOrder { MDY, DMY, YMD };

  std::string name = "en-US";
  char decimalSeparator = '.';
  char thousandsSeparator = ',';
  std::string currencySymbol = "$";
  // How the Currency format lays an amount out: the symbol before ("$1.00")
  // or after with a space ("1,00 €"), and negatives in parentheses ("($1.00)")
  // or with a leading minus ("-£1.00").
  bool currencySymbolAfter = false;
  bool currencyNegativeParentheses = true;
  DateOrder dateOrder = DateOrder::MDY;
  char dateSeparator = '/';
  char timeSeparator = ':';
  std::string shortDatePattern = "M/d/yyyy";
  std::string longDatePattern = "dddd, MMMM d, yyyy";
  std::string amDesignator = "AM";
  std::string pmDesignator = "PM";
  bool twentyFourHour = false;                 // long time "HH:mm:ss" instead of "h:mm:ss AM"
  std::array<std::string, 12> monthNames{};    // January..December
  std::array<std::string, 12> monthAbbrevs{};  // Jan..Dec
  std::array<std::string, 7> dayNames{};       // Sunday..Saturday
  std::array<std::string, 7> dayAbbrevs{};     // Sun..Sat

  // The invariant English locale (M/d/yyyy, "." decimal, "," thousands).
  static const Locale& Invariant();
  // A day-month-year locale: English (United Kingdom), dd/MM/yyyy.
  static const Locale& EnglishUK();
  // A day-month-year locale with "," decimals: German (Germany), dd.MM.yyyy.
  static const Locale& German();
  // Looks a locale up by name ("en-US", "en-GB", "de-DE"); nullptr when unknown.
  static const Locale* ByName(const std::string& name);

  // The calling thread's current locale (initially Invariant()).
  static const Locale& Current();
  static void SetCurrent(const Locale& locale);
};

// Sets a thread's current locale for the lifetime of the guard.
class LocaleScope {
 public:
  explicit LocaleScope(const Locale& locale);
  ~LocaleScope();
  LocaleScope(const LocaleScope&) = delete;
  LocaleScope& operator=(const LocaleScope&) = delete;

 private:
  Locale saved_;
};

}  // namespace kiv
