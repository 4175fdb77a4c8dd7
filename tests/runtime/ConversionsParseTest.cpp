#include <gtest/gtest.h>

#include "kiv/runtime/Conversions.h"

namespace kiv {
namespace {

DateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return DateTime{DateSerial(y, mo, d).serial + TimeSerial(h, mi, s).serial};
}

// IsNumeric of a text is checked with CDbl: it holds exactly when CDbl reads one.
TEST(ConversionsParseTest, IsNumericBySubtype) {
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

TEST(ConversionsParseTest, IsDateOnTheInvariantLocale) {
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

TEST(ConversionsParseTest, IsDateOnDayMonthYearLocales) {
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
