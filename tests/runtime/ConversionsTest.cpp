#include "kiv/runtime/Conversions.h"

#include <gtest/gtest.h>

#include "kiv/runtime/Error.h"
#include "support/ErrorChecks.h"

namespace kiv {
namespace {

DateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return DateTime{DateSerial(y, mo, d).serial + TimeSerial(h, mi, s).serial};
}

TEST(ConversionsTest, CStrOfEachSubtypeInBothLocales) {
  struct Row {
    Variant value;
    const char* invariant;
    const char* german;
  };
  const Row rows[] = {
      {Variant(), "", ""},
      {Variant(true), "True", "True"},
      {Variant(false), "False", "False"},
      {Variant(std::int16_t{-12}), "-12", "-12"},
      {Variant(std::int32_t{2147483647}), "2147483647", "2147483647"},
      {Variant(1.5), "1.5", "1,5"},
      {Variant(-0.25), "-0.25", "-0,25"},
      {Variant(0.1 + 0.2), "0.3", "0,3"},  // 15 significant digits hide the binary error
      {Variant(123456789012345.0), "123456789012345", "123456789012345"},
      {Variant(1e15), "1E+15", "1E+15"},
      {Variant(-1.5e20), "-1.5E+20", "-1,5E+20"},
      {Variant(0.0001), "0.0001", "0,0001"},
      // Small values stay plain while their decimals fit in fifteen places.
      {Variant(5.6789E-05), "0.000056789", "0,000056789"},
      {Variant(-5.6789E-08), "-0.000000056789", "-0,000000056789"},
      {Variant(5.6789E-11), "0.000000000056789", "0,000000000056789"},
      {Variant(5.6789E-12), "5.6789E-12", "5,6789E-12"},
      {Variant(1e-15), "0.000000000000001", "0,000000000000001"},
      {Variant(1e-16), "1E-16", "1E-16"},
      {Variant(1.0 / 3e5), "3.33333333333333E-06", "3,33333333333333E-06"},
      {Variant(1.0 / 3.0), "0.333333333333333", "0,333333333333333"},
      {Variant(1.0 / 30.0), "0.0333333333333333", "0,0333333333333333"},
      {Variant(Currency{12345}), "1.2345", "1,2345"},
      {Variant(Currency{-50000}), "-5", "-5"},
      {Variant(At(2026, 12, 6)), "12/6/2026", "06.12.2026"},
      {Variant(At(2026, 12, 6, 15, 4, 5)), "12/6/2026 3:04:05 PM", "06.12.2026 15:04:05"},
      {Variant(TimeSerial(9, 30, 0)), "9:30:00 AM", "09:30:00"},
      {Variant(DateTime{0.0}), "12:00:00 AM", "00:00:00"},
      {Variant(At(100, 1, 1)), "1/1/100", "01.01.100"},  // the year as it is, not "0100"
      {Variant("text"), "text", "text"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(CStr(row.value), row.invariant) << row.value.typeName();
    LocaleScope german(Locale::German());
    EXPECT_EQ(CStr(row.value), row.german) << row.value.typeName();
  }
  LocaleScope uk(Locale::EnglishUK());
  EXPECT_EQ(CStr(Variant(At(2004, 2, 9, 8, 5, 0))), "09/02/2004 08:05:00");
}

TEST(ConversionsTest, CStrAndTextOfRefuseWhatHasNoText) {
  EXPECT_EQ(ErrorNumber([] { CStr(Variant(kNull)); }), err::InvalidUseOfNull);
  EXPECT_EQ(ErrorNumber([] { CStr(Variant(Array::Of({Variant(1)}))); }), err::TypeMismatch);
  EXPECT_EQ(ErrorNumber([] { CStr(Variant::Nothing()); }), err::TypeMismatch);
  EXPECT_EQ(TextOf(Variant(kNull)), "");
  EXPECT_EQ(TextOf(Variant()), "");
  EXPECT_EQ(TextOf(Variant(2.5)), "2.5");
}

TEST(ConversionsTest, NumbersFromTextFollowTheLocale) {
  struct Row {
    const char* text;
    double value;
  };
  const Row invariant[] = {
      {"5", 5},     {" 12.5 ", 12.5}, {"-3", -3},        {"+4.25", 4.25},       {"1,234.5", 1234.5},
      {".5", 0.5},  {"1e3", 1000},    {"2.5E-2", 0.025}, {"$1,000.50", 1000.5}, {"-$2", -2},
      {"(7)", -7},  {"&H1F", 31},     {"&HFFFF", -1},    {"&H10000", 65536},    {"&O17", 15},
      {"\t7\t", 7},
  };
  for (const Row& row : invariant) {
    EXPECT_DOUBLE_EQ(CDbl(Variant(row.text)), row.value) << row.text;
    EXPECT_TRUE(IsNumeric(Variant(row.text))) << row.text;
  }
  LocaleScope german(Locale::German());
  const Row germanRows[] = {
      {"1.234,5", 1234.5}, {"0,25", 0.25}, {"-1,5E3", -1500}, {"12,50 \xE2\x82\xAC", 12.5}};
  for (const Row& row : germanRows) {
    EXPECT_DOUBLE_EQ(CDbl(Variant(row.text)), row.value) << row.text;
    EXPECT_TRUE(IsNumeric(Variant(row.text))) << row.text;
  }
}

TEST(ConversionsTest, NumberConversionErrors) {
  // Not a number: 13. Thousands separators out of their groups of three are
  // not silently dropped ("1,5" is no 15).
  for (const char* text :
       {"",   "  ", "abc", "12a", "1,5", "1,2345", "1.2.3", "--1", "5-",        "+",   ".",
        "1e", "e5", "&H",  "&HG", "$",   "(5",     "5)",    "1 2", "12/6/2026", "True"}) {
    EXPECT_EQ(ErrorNumber([&] { CDbl(Variant(text)); }), err::TypeMismatch) << text;
    EXPECT_FALSE(IsNumeric(Variant(text))) << text;
  }
  {
    LocaleScope german(Locale::German());
    for (const char* text : {"1.5", "1,2,3", "$5"}) {
      EXPECT_EQ(ErrorNumber([&] { CDbl(Variant(text)); }), err::TypeMismatch) << text;
      EXPECT_FALSE(IsNumeric(Variant(text))) << text;
    }
  }
  EXPECT_EQ(ErrorNumber([] { CDbl(Variant("1e400")); }), err::Overflow);
  EXPECT_FALSE(IsNumeric(Variant("1e400")));
  EXPECT_EQ(ErrorNumber([] { CDbl(Variant(kNull)); }), err::InvalidUseOfNull);
  EXPECT_EQ(ErrorNumber([] { CLng(Variant(kNull)); }), err::InvalidUseOfNull);
  EXPECT_EQ(ErrorNumber([] { CDbl(Variant(Array::Of({}))); }), err::TypeMismatch);
  EXPECT_EQ(CDbl(Variant()), 0.0);
  EXPECT_EQ(CDbl(Variant(true)), -1.0);
  EXPECT_EQ(CDbl(Variant(At(2000, 1, 1, 12))), 36526.5);
}

TEST(ConversionsTest, WholeNumbersRoundHalfToEvenAndOverflow) {
  struct Row {
    Variant value;
    std::int32_t expected;
  };
  const Row rows[] = {
      {Variant(2.5), 2},
      {Variant(3.5), 4},
      {Variant(-2.5), -2},
      {Variant(-3.5), -4},
      {Variant(2.5001), 3},
      {Variant("2.5"), 2},
      {Variant(true), -1},
      {Variant(false), 0},
      {Variant(), 0},
      {Variant(Currency{25000}), 2},
      {Variant(2147483647.4), 2147483647},
      {Variant(-2147483648.0), -2147483647 - 1},
      {Variant(At(1900, 1, 1, 13)), 3},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(CLng(row.value), row.expected) << CStr(row.value);
  }
  EXPECT_EQ(CInt(Variant(32767.4)), 32767);
  EXPECT_EQ(CInt(Variant(-32768.5)), -32768);  // half to even stays in range
  EXPECT_EQ(CInt(Variant("0.5")), 0);
  EXPECT_EQ(CInt(Variant("1.5")), 2);
  for (const Variant& v :
       {Variant(2147483647.5), Variant(-2147483649.0), Variant("3e9"), Variant(1e300)}) {
    EXPECT_EQ(ErrorNumber([&] { CLng(v); }), err::Overflow) << CStr(v);
  }
  for (const Variant& v : {Variant(32767.5), Variant(-32769.0), Variant(std::int32_t{40000})}) {
    EXPECT_EQ(ErrorNumber([&] { CInt(v); }), err::Overflow) << CStr(v);
  }
  EXPECT_EQ(ErrorNumber([] { CInt(Variant("x")); }), err::TypeMismatch);
}

TEST(ConversionsTest, CurrencyKeepsFourDecimalsExactly) {
  EXPECT_EQ(CCur(Variant("1234.5678")).scaled, 12345678);
  EXPECT_EQ(CCur(Variant("0.00005")).scaled, 0);  // half to even
  EXPECT_EQ(CCur(Variant("0.00015")).scaled, 2);
  EXPECT_EQ(CCur(Variant("0.000051")).scaled, 1);
  EXPECT_EQ(CCur(Variant("-2.5")).scaled, -25000);
  EXPECT_EQ(CCur(Variant("922337203685477.5807")).scaled, 9223372036854775807);
  EXPECT_EQ(CCur(Variant("-922337203685477.5808")).scaled, -9223372036854775807 - 1);
  EXPECT_EQ(ErrorNumber([] { CCur(Variant("922337203685477.5808")); }), err::Overflow);
  EXPECT_EQ(ErrorNumber([] { CCur(Variant(1e16)); }), err::Overflow);
  EXPECT_EQ(ErrorNumber([] { CCur(Variant("ten")); }), err::TypeMismatch);
  EXPECT_EQ(CCur(Variant(true)).scaled, -10000);
  EXPECT_EQ(CCur(Variant(std::int32_t{7})).scaled, 70000);
  LocaleScope german(Locale::German());
  EXPECT_EQ(CCur(Variant("1.000,25")).scaled, 10002500);
}

TEST(ConversionsTest, BooleansAndDates) {
  EXPECT_TRUE(CBool(Variant(2.0)));
  EXPECT_TRUE(CBool(Variant(" true ")));
  EXPECT_FALSE(CBool(Variant("FALSE")));
  EXPECT_TRUE(CBool(Variant("-1")));
  EXPECT_FALSE(CBool(Variant("0.0")));
  EXPECT_FALSE(CBool(Variant()));
  EXPECT_TRUE(CBool(Variant(Currency{1})));
  EXPECT_TRUE(CBool(Variant("#TRUE#")));
  EXPECT_FALSE(CBool(Variant(" #false# ")));
  for (const char* text : {"yes", "#TRUE", "#1#", "##"}) {
    EXPECT_EQ(ErrorNumber([&] { CBool(Variant(text)); }), err::TypeMismatch) << text;
  }
  EXPECT_EQ(ErrorNumber([] { CBool(Variant(kNull)); }), err::InvalidUseOfNull);

  EXPECT_EQ(CDate(Variant("12/6/2026")), At(2026, 12, 6));
  EXPECT_EQ(CDate(Variant(36526.5)), DateTime{36526.5});
  EXPECT_EQ(CDate(Variant()), DateTime{0});
  EXPECT_EQ(ErrorNumber([] { CDate(Variant("31/02/2004")); }),
            err::TypeMismatch);  // as IsDate reads
  EXPECT_EQ(ErrorNumber([] { CDate(Variant(1e10)); }), err::Overflow);
  EXPECT_EQ(ErrorNumber([] { CDate(Variant(kNull)); }), err::InvalidUseOfNull);
}

TEST(ConversionsTest, DateSerialsAndParts) {
  EXPECT_EQ(DateSerial(1899, 12, 30).serial, 0);
  EXPECT_EQ(DateSerial(1900, 1, 1).serial, 2);
  EXPECT_EQ(DateSerial(2000, 1, 1).serial, 36526);
  EXPECT_EQ(DateSerial(100, 1, 1).serial, -657434);
  EXPECT_EQ(DateSerial(9999, 12, 31).serial, 2958465);
  EXPECT_EQ(DateSerial(26, 12, 6), DateSerial(2026, 12, 6));  // two-digit years
  EXPECT_EQ(DateSerial(75, 1, 1), DateSerial(1975, 1, 1));
  EXPECT_EQ(DateSerial(2004, 2, 29).serial, 38046);
  for (auto [y, m, d] :
       {std::tuple{2005, 2, 29}, {2004, 13, 1}, {2004, 4, 31}, {2004, 1, 0}, {10000, 1, 1}}) {
    EXPECT_EQ(ErrorNumber([&] { DateSerial(y, m, d); }), err::InvalidProcedureCall) << y << m << d;
  }
  EXPECT_DOUBLE_EQ(TimeSerial(18, 0, 0).serial, 0.75);
  EXPECT_DOUBLE_EQ(TimeSerial(0, 90, 0).serial, 1.5 / 24);

  // Round trip over the whole range, including the leap days of century years.
  for (long serial = -657434; serial <= 2958465; serial += 997) {
    int y, m, d;
    DateParts(DateTime{static_cast<double>(serial)}, y, m, d);
    EXPECT_EQ(DateSerial(y, m, d).serial, serial) << y << "-" << m << "-" << d;
  }
  int y, m, d, h, mi, s;
  DateParts(DateTime{-1.25}, y, m, d);  // before 1899-12-30 the time counts forward
  TimeParts(DateTime{-1.25}, h, mi, s);
  EXPECT_EQ((std::tuple{y, m, d, h, mi, s}), (std::tuple{1899, 12, 29, 6, 0, 0}));
  TimeParts(DateTime{36526.999999999}, h, mi, s);  // rounds to the second
  DateParts(DateTime{36526.999999999}, y, m, d);
  EXPECT_EQ((std::tuple{y, m, d, h, mi, s}), (std::tuple{2000, 1, 2, 0, 0, 0}));
  EXPECT_EQ(ErrorNumber([&] { DateParts(DateTime{3e6}, y, m, d); }), err::Overflow);
}

TEST(ConversionsTest, CaseMappingIsUnicodeAndTrimTakesSpacesOnly) {
  EXPECT_EQ(UCase("stra\xC3\x9F"
                  "e"),
            "STRASSE");
  EXPECT_EQ(UCase("caf\xC3\xA9"), "CAF\xC3\x89");
  EXPECT_EQ(LCase("\xC3\x89T\xC3\x89"), "\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(UCase("abc\xFF"
                  "d"),
            "ABC\xFF"
            "D");  // not UTF-8: other bytes kept
  EXPECT_EQ(Trim("  a b  "), "a b");
  EXPECT_EQ(Trim("\ta\t"), "\ta\t");
  EXPECT_EQ(LTrim("  x "), "x ");
  EXPECT_EQ(RTrim("  x "), "  x");
  EXPECT_EQ(Trim("   "), "");
}

// IsNumeric of a text is checked with CDbl: it holds exactly when CDbl reads one.
TEST(ConversionsTest, IsNumericBySubtype) {
  EXPECT_TRUE(IsNumeric(Variant()));
  EXPECT_FALSE(IsNumeric(Variant(kNull)));
  EXPECT_TRUE(IsNumeric(Variant(true)));
  EXPECT_TRUE(IsNumeric(Variant(Currency{1})));
  EXPECT_FALSE(IsNumeric(Variant(At(2026, 1, 1))));
  EXPECT_FALSE(IsNumeric(Variant::Nothing()));
  EXPECT_FALSE(IsNumeric(Variant(Array::Of({Variant(1)}))));
  LocaleScope german(Locale::German());
  double value = 0;
  EXPECT_TRUE(ParseNumber("2.5", value, Locale::Invariant()));  // explicit locale wins
  EXPECT_EQ(value, 2.5);
}

TEST(ConversionsTest, IsDateOnTheInvariantLocale) {
  struct Row {
    const char* text;
    DateTime expected;
  };
  const Row rows[] = {
      {"12/6/2026", At(2026, 12, 6)},
      {"12-6-2026", At(2026, 12, 6)},
      {"12.6.2026", At(2026, 12, 6)},
      {"2026-12-06", At(2026, 12, 6)},
      {"6 December 2026", At(2026, 12, 6)},
      {"Dec 6, 2026", At(2026, 12, 6)},
      {"6-DEC-26", At(2026, 12, 6)},
      {"December 2026", At(2026, 12, 1)},
      {"Sunday, December 6, 2026", At(2026, 12, 6)},
      {"2/29/2004", At(2004, 2, 29)},
      {"1/1/29", At(2029, 1, 1)},
      {"1/1/30", At(1930, 1, 1)},
      {"1/1/100", At(100, 1, 1)},
      {"1/1/100 6:00 PM", DateTime{-657434.75}},  // before 1899 the time counts forward
      {"12/31/9999", At(9999, 12, 31)},
      {"12/6/2026 3:04 PM", At(2026, 12, 6, 15, 4)},
      {"12/6/2026 15:04:05", At(2026, 12, 6, 15, 4, 5)},
      {"12/6/2026 12:00 AM", At(2026, 12, 6)},
      {"2026-12-06T08:00:00", At(2026, 12, 6, 8)},
      {"12/6/2026\xE3\x80\x80"
       "15:04",
       At(2026, 12, 6, 15, 4)},  // ideographic space
      {"3:04:05 PM", TimeSerial(15, 4, 5)},
      {"10:30", TimeSerial(10, 30, 0)},
      {"6 PM", TimeSerial(18, 0, 0)},
      {"13:00 AM", TimeSerial(13, 0, 0)},  // past 12 the designator changes nothing
      // Two numbers that are no day and month of any year: a month and a
      // two-digit year, read in the usual window (30 is 1930).
      {"2 30", At(1930, 2, 1)},
      {"4/31", At(1931, 4, 1)},
      {"12/32", At(1932, 12, 1)},
  };
  for (const Row& row : rows) {
    DateTime parsed;
    EXPECT_TRUE(ParseDate(row.text, parsed)) << row.text;
    EXPECT_DOUBLE_EQ(parsed.serial, row.expected.serial) << row.text;
    EXPECT_TRUE(IsDate(Variant(row.text))) << row.text;
  }
  for (const char* no : {"",
                         "5",
                         "2026",
                         "hello",
                         "31/02/2004",
                         "2/29/2005",
                         "13/13/2004",
                         "0/1/2004",
                         "1/1/10000",
                         "12/6/2026 25:00",
                         "12/6/2026 10:60",
                         "25:00 PM",
                         "-1.1",  // a stray sign or separator at either end
                         "1.1-",
                         " +12/6/2026",
                         "12/6/2026, ",
                         "1 2 am 3",  // a time inside the date
                         "13/32",
                         "12/6/2026\xE3\x80",  // a cut-off ideographic space
                         "12/6/2026 x",
                         "1/2/3/4",
                         "12/6-2026",
                         "1,5",
                         "December",
                         "6 December 2026 2027",
                         "12:30:",
                         "Monday"}) {
    EXPECT_FALSE(IsDate(Variant(no))) << no;
  }
  EXPECT_TRUE(IsDate(Variant(At(2026, 1, 1))));
  EXPECT_FALSE(IsDate(Variant(5)));
  EXPECT_FALSE(IsDate(Variant(kNull)));
  EXPECT_FALSE(IsDate(Variant()));
}

TEST(ConversionsTest, IsDateOnDayMonthYearLocales) {
  {
    LocaleScope uk(Locale::EnglishUK());
    DateTime d;
    ASSERT_TRUE(ParseDate("06/12/2026", d));
    EXPECT_EQ(d, At(2026, 12, 6));
    EXPECT_TRUE(IsDate(Variant("29/02/2004")));
    EXPECT_FALSE(IsDate(Variant("31/02/2004")));
    EXPECT_FALSE(IsDate(Variant("29/02/2005")));
    EXPECT_FALSE(IsDate(Variant("12/31/2004")));  // no month 31 in day-month order
    ASSERT_TRUE(ParseDate("2 30", d));
    EXPECT_EQ(d, At(1930, 2, 1));
    ASSERT_TRUE(ParseDate("2026-12-06 17:30", d));
    EXPECT_EQ(d, At(2026, 12, 6, 17, 30));
  }
  LocaleScope german(Locale::German());
  DateTime d;
  ASSERT_TRUE(ParseDate("06.12.2026", d));
  EXPECT_EQ(d, At(2026, 12, 6));
  ASSERT_TRUE(ParseDate("6. Dezember 2026 10:15", d));
  EXPECT_EQ(d, At(2026, 12, 6, 10, 15));
  ASSERT_TRUE(ParseDate("Sonntag, 6. Dezember 2026", d));
  EXPECT_EQ(d, At(2026, 12, 6));
  ASSERT_TRUE(ParseDate("1. M\xC3\xA4rz 2004", d));
  EXPECT_EQ(d, At(2004, 3, 1));
  ASSERT_TRUE(ParseDate("6 Dec 2026", d));  // English names are understood too
  EXPECT_EQ(d, At(2026, 12, 6));
  EXPECT_FALSE(IsDate(Variant("29.02.2005")));
  DateTime withoutDot;  // dates written with dots may close with one
  ASSERT_TRUE(ParseDate("6.12.", d));
  ASSERT_TRUE(ParseDate("6.12", withoutDot));
  EXPECT_EQ(d, withoutDot);
  EXPECT_FALSE(IsDate(Variant("6.12-")));
  EXPECT_FALSE(IsDate(Variant(".6.12")));
  // The same text read by another locale than the current one.
  ASSERT_TRUE(ParseDate("12/6/2026", d, Locale::Invariant()));
  EXPECT_EQ(d, At(2026, 12, 6));
}

}  // namespace
}  // namespace kiv
