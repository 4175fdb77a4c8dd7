#include <gtest/gtest.h>

#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"

namespace kiv {
namespace {

DateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return DateTime{DateSerial(y, mo, d).serial + TimeSerial(h, mi, s).serial};
}

struct Case {
  Variant value;
  const char* format;
  std::string expected;
};

int CurrentYearForTest() {
  int y, m, d;
  DateParts(CDate(Variant("1/1")), y, m, d);  // a date typed without its year
  return y;
}

void ExpectAll(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    EXPECT_EQ(Format(c.value, c.format), c.expected)
        << "Format(" << TextOf(c.value) << ", \"" << c.format << "\")";
  }
}

TEST(FormatTest, ValueHandling) {
  ExpectAll({
      {Variant("5"), "0.00", "5.00"},   // numeric text is a number
      {Variant("abc"), "0.00", "abc"},  // other text comes back unchanged
      {Variant(""), "0.00", ""},
      {Variant("12/6/2026"), "0.00", "12/6/2026"},  // a date is no number
      {Variant("12/6/2026"), "yyyy-mm-dd", "2026-12-06"},
      {Variant("hello"), "yyyy-mm-dd", "hello"},
      {Variant("5"), "Short Date", "5"},  // a typed number is no date
      {Variant("12.6"), "dd/mm/yyyy", "06/12/" + std::to_string(CurrentYearForTest())},
      {Variant(kNull), "0.00", ""},
      {Variant(kNull), "0;-0;zero;\"nothing\"", "nothing"},
      {Variant(), "0.00", ""},
      {Variant(2.5), "", "2.5"},
      {Variant(5.6789E-08), "", "0.000000056789"},
      {Variant(true), "", "True"},
      {Variant(true), "0", "-1"},
      {Variant(At(2000, 1, 1, 12)), "0.00", "36526.50"},
      {Variant(36526.0), "dd/mm/yyyy", "01/01/2000"},
      {Variant(Currency{12345}), "0.000", "1.235"},
  });
  EXPECT_THROW(Format(Variant(Array::Of({Variant(1)})), "0"), Error);
}

TEST(FormatTest, NamedNumberFormats) {
  ExpectAll({
      {Variant(1234.5), "General Number", "1234.5"},
      {Variant(0.00005), "General Number", "0.00005"},
      {Variant(1e-20), "General Number", "1E-20"},
      {Variant(1234.5), "Currency", "$1,234.50"},
      {Variant(-1234.5), "currency", "($1,234.50)"},
      {Variant(1234.567), "Fixed", "1234.57"},
      {Variant(1234567.891), "Standard", "1,234,567.89"},
      {Variant(0.125), "Percent", "12.50%"},
      {Variant(12345.678), "Scientific", "1.23E+04"},
      {Variant(0.000123), "Scientific", "1.23E-04"},
      {Variant(0.0), "Yes/No", "No"},
      {Variant(3.0), "Yes/No", "Yes"},
      {Variant(true), "True/False", "True"},
      {Variant("0"), "On/Off", "Off"},
  });
  {
    LocaleScope german(Locale::German());
    ExpectAll({
        {Variant(1234.5), "Currency", "1.234,50 \xE2\x82\xAC"},
        {Variant(-1234.5), "Currency", "-1.234,50 \xE2\x82\xAC"},
        {Variant(1234567.891), "Standard", "1.234.567,89"},
        {Variant("5"), "0.00", "5,00"},
        {Variant("1.234,5"), "Fixed", "1234,50"},
        {Variant(0.125), "Percent", "12,50%"},
    });
  }
  LocaleScope uk(Locale::EnglishUK());
  ExpectAll({{Variant(-2.0), "Currency",
              "-\xC2\xA3"
              "2.00"}});
}

TEST(FormatTest, UserNumberFormats) {
  ExpectAll({
      {Variant(2.345), "0.00", "2.35"},  // half away from zero on the decimal value
      {Variant(-2.345), "0.00", "-2.35"},
      {Variant(0.5), "0", "1"},
      {Variant(2.5), "0", "3"},
      {Variant(-0.001), "0.00", "0.00"},  // no "-0.00"
      {Variant(5), "000", "005"},
      {Variant(5), "#", "5"},
      {Variant(0), "#", ""},
      {Variant(0), "#,##0", "0"},
      {Variant(1234567), "#,##0", "1,234,567"},
      {Variant(1234567), "#,##0,", "1,235"},  // scaled by a thousand
      {Variant(1234567890), "0,,", "1235"},
      {Variant(0.5), "#.00", ".50"},
      {Variant(5.5), ".00", "5.50"},
      {Variant(1.5), "0.0#", "1.5"},
      {Variant(1.256), "0.0#", "1.26"},
      {Variant(0.25), "0%", "25%"},
      {Variant(99.996), "#,##0.00", "100.00"},
      {Variant(999999.999), "#,##0.00", "1,000,000.00"},
      {Variant(1234.5), "$#,##0.00", "$1,234.50"},
      {Variant(5551234567.0), "(000) 000-0000", "(555) 123-4567"},
      {Variant(12), "0 \"kg\"", "12 kg"},
      {Variant(12), "0\\%", "12%"},
      {Variant(1e20), "0", "100000000000000000000"},
      {Variant(5), "0;(0);\"zero\"", "5"},
      {Variant(-5), "0;(0);\"zero\"", "(5)"},
      {Variant(0), "0;(0);\"zero\"", "zero"},
      {Variant(-5), "0;;\"zero\"", "-5"},  // an empty section takes the first one
      {Variant(0), "0.00;-0.00", "0.00"},
      {Variant(Currency{-9223372036854775807 - 1}), "#,##0.0000", "-922,337,203,685,477.5808"},
  });
}

TEST(FormatTest, ScientificFormats) {
  ExpectAll({
      {Variant(1234.5), "0.00E+00", "1.23E+03"},
      {Variant(1234.5), "0.00e-00", "1.23e03"},
      {Variant(0.00012), "0.0E-0", "1.2E-4"},
      {Variant(9.999), "0.00E+00", "1.00E+01"},
      // Without exponent digits the exponent still follows its sign; what
      // comes after is literal.
      {Variant(1.7), "0.0000e-1", "1.7000e01"},
      {Variant(0.17), "0.0000e-1", "1.7000e-11"},
      {Variant(1000001), "0.0000e+1", "1.0000e+61"},
      // Without an integer holder the mantissa stays below one.
      {Variant(47.11), ".0000E+0", ".4711E+2"},
      {Variant(-0.04711), ".00E+00", "-.47E-01"},
      {Variant(0.99999), ".00E+0", ".10E+1"},
      {Variant(0), ".00E+0", ".00E+0"},
  });
}

TEST(FormatTest, NamedDateFormats) {
  const Variant d(At(2026, 12, 6, 15, 4, 5));
  ExpectAll({
      {d, "General Date", "12/6/2026 3:04:05 PM"},
      {d, "Long Date", "Sunday, December 6, 2026"},
      {d, "Medium Date", "06-Dec-26"},
      {d, "Short Date", "12/6/2026"},
      {d, "long time", "3:04:05 PM"},
      {d, "Medium Time", "03:04 PM"},
      {d, "Short Time", "15:04"},
      {Variant(At(2026, 12, 6)), "General Date", "12/6/2026"},
      {Variant(At(100, 1, 1)), "Short Date", "1/1/100"},
      {Variant("2026-12-06"), "Short Date", "12/6/2026"},
      {Variant("not a date"), "Short Date", "not a date"},
      {Variant(1e10), "Short Date", "10000000000"},  // beyond the date range: as a number
  });
  LocaleScope german(Locale::German());
  ExpectAll({
      {d, "General Date", "06.12.2026 15:04:05"},
      {d, "Long Date", "Sonntag, 6. Dezember 2026"},
      {d, "Medium Date", "06-Dez-26"},
      {d, "Short Date", "06.12.2026"},
      {d, "Long Time", "15:04:05"},
  });
}

TEST(FormatTest, UserDateFormats) {
  const Variant d(At(2026, 3, 8, 7, 5, 9));
  ExpectAll({
      {d, "d/m/yy", "8/3/26"},
      {d, "dd/mm/yyyy", "08/03/2026"},
      {d, "ddd dddd", "Sun Sunday"},
      {d, "mmm mmmm", "Mar March"},
      {d, "h:m:s", "7:5:9"},
      {d, "hh:mm:ss", "07:05:09"},  // m right after an hour is minutes
      {d, "mm:ss", "03:09"},        // elsewhere it is the month
      {d, "nn:ss", "05:09"},
      {Variant(2.525), "mm :mm:ss", "01 :01:00"},  // 1 January 1900 12:36
      {Variant(2.525), "mm :ss:mm", "01 :00:01"},
      {Variant(2.525), "h \\h mm", "12 h 36"},
      {d, "h:nn AM/PM", "7:05 AM"},
      {Variant(At(2026, 3, 8, 19, 5)), "h:nn am/pm", "7:05 pm"},
      {Variant(At(2026, 3, 8, 0, 5)), "h:nn A/P", "12:05 A"},
      {Variant(At(2026, 3, 8, 12, 0)), "hh AMPM", "12 PM"},
      {d, "yyyy-mm-dd\"T\"hh:nn:ss", "2026-03-08T07:05:09"},
      {d, "\\d\\a\\y d", "day 8"},
      {d, "w ww q y", "1 11 1 67"},
      {d, "ddddd", "3/8/2026"},
      {d, "dddddd", "Sunday, March 8, 2026"},
      {d, "c", "3/8/2026 7:05:09 AM"},
      {d, "ttttt", "7:05:09 AM"},
  });
  LocaleScope german(Locale::German());
  ExpectAll({{d, "dd/mm/yyyy hh:nn", "08.03.2026 07:05"},
             {d, "dddd, d. mmmm", "Sonntag, 8. M\xC3\xA4rz"}});
}

TEST(FormatTest, TextFormats) {
  ExpectAll({
      {Variant("abc"), "@@@@@", "  abc"},
      {Variant("abc"), "&&&&&", "abc"},
      {Variant("abc"), "!@@@@@", "abc  "},
      {Variant("5551234"), "@@@-@@@@", "555-1234"},
      {Variant("abc"), "@@-@@", " a-bc"},
      {Variant("abc"), "!@@-@@", "ab-c "},
      // Longer than the mask: one character per holder from the left, the
      // rest after the whole mask.
      {Variant("abcdef"), "@@-@@", "ab-cdef"},
      {Variant("testing"), "\\x@\\x@", "xtxesting"},
      {Variant("testing"), "@\\x", "txesting"},
      {Variant("testing"), "!@\\x", "txesting"},
      {Variant("testing"), "(&&)", "(te)sting"},
      {Variant("Hello"), ">", "HELLO"},
      {Variant("Testing"), "<&>&", "testing"},  // with both, lower case wins
      {Variant("Testing"), ">&<&", "testing"},
      {Variant("stra\xC3\x9F"
               "e"),
       ">@@@@@@@", "STRASSE"},
      {Variant("\xC3\xA9t\xC3\xA9"), "@@@@", " \xC3\xA9t\xC3\xA9"},  // by character, not byte
      {Variant(""), "@;\"(none)\"", "(none)"},
      {Variant(12.5), "@@@@@@", "  12.5"},
  });
}

}  // namespace
}  // namespace kiv
