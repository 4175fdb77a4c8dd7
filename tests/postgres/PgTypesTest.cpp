// Type mapping between PostgreSQL's text forms and Variants (no server needed).
#include <gtest/gtest.h>

#include "kiv/data/AdoTypes.h"
#include "kiv/data/postgres/PgTypes.h"
#include "kiv/runtime/Error.h"
#include "support/ErrorChecks.h"

namespace kiv::postgres {
namespace {

// Each text form becomes its subtype; a value without a number or host date
// form is kept as the text rather than made up.
TEST(PgTypes, TextFormsBecomeTheirSubtypes) {
  struct Case {
    Oid type;
    const char* text;
    Variant expected;
  };
  const Case cases[] = {
      {oid::Int2, "-5", Variant(std::int16_t{-5})},
      {oid::Int4, "2147483647", Variant(std::int32_t{2147483647})},
      {oid::Int8, "42", Variant(std::int32_t{42})},
      {oid::Int8, "-9000000000", Variant(-9e9)},  // past 32 bits: a Double
      {oid::Numeric, "12.50", Variant(12.5)},
      {oid::Float4, "1e+30", Variant(1e30)},
      {oid::Float8, "NaN", Variant("NaN")},
      {oid::Numeric, "Infinity", Variant("Infinity")},
      {oid::Money, "$1,234.56", Variant(Currency{12345600})},
      {oid::Money, "-$0.07", Variant(Currency{-700})},
      {oid::Bool, "f", Variant(false)},
      {oid::Bytea, "\\x00ff41", Variant(Bytes{0x00, 0xff, 0x41})},
      {oid::Date, "2024-02-29", Variant(DateTime{45351})},
      {oid::Time, "18:00:00", Variant(DateTime{0.75})},
      // Before the epoch the time of day still counts forward.
      {oid::Timestamp, "1899-12-29 06:00:00", Variant(DateTime{-1.25})},
      // timestamptz: the session's local time, the offset dropped.
      {oid::Timestamptz, "2024-01-01 12:00:00+05:30", Variant(DateTime{45292.5})},
      {oid::Date, "infinity", Variant("infinity")},
      {oid::Date, "0044-03-15 BC", Variant("0044-03-15 BC")},
      {oid::Timestamp, "2024-01-01 12:00:00 garbage", Variant("2024-01-01 12:00:00 garbage")},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ValueFromText(c.type, c.text), c.expected) << c.text;
  EXPECT_EQ(ValueFromText(oid::Int8, "9007199254740993").type(), VarType::Double);
}

TEST(PgTypes, TimestampsRoundTripToTheMicrosecond) {
  for (const char* text :
       {"2026-12-06 09:24:24.123456", "1900-01-01 00:00:00.000001", "1899-12-29 06:00:00",
        "2078-12-31 23:59:59.999999", "2199-12-31 23:59:59.99999", "9999-12-31 23:59:59",
        "0100-01-01 00:00:00", "2024-02-29 12:34:56.5"}) {
    const Variant v = ValueFromText(oid::Timestamp, text);
    ASSERT_EQ(v.type(), VarType::Date) << text;
    EXPECT_EQ(IsoTimestamp(v.date().serial), text);
  }
  EXPECT_EQ(IsoTime(ValueFromText(oid::Time, "23:59:59.25").date().serial), "23:59:59.25");
  // NUMERIC(10,2) and the like read exactly as Currency.
  EXPECT_EQ(ValueFromText(oid::Numeric, "-12.34", true), Variant(Currency{-123400}));
  EXPECT_EQ(ValueFromText(oid::Numeric, "0.0001", true), Variant(Currency{1}));
  EXPECT_EQ(ValueFromText(oid::Numeric, "1.00001", true), Variant(1.00001));  // too fine
  EXPECT_EQ(ValueFromText(oid::Numeric, "NaN", true), Variant("NaN"));
}

TEST(PgTypes, ParametersTakeTheColumnsForm) {
  EXPECT_TRUE(ParamFor(Variant(kNull), adInteger).null);
  EXPECT_TRUE(ParamFor(Variant(), adVarWChar).null);
  EXPECT_EQ(ParamFor(Variant(true), adBoolean).data, "true");
  EXPECT_EQ(ParamFor(Variant(true), adInteger).data, "-1");
  EXPECT_EQ(ParamFor(Variant(false), adVarWChar).data, "False");
  // A fraction written to an integer column rounds half to even.
  EXPECT_EQ(ParamFor(Variant(2.5), adInteger).data, "2");
  EXPECT_EQ(ParamFor(Variant(3.5), adBigInt).data, "4");
  EXPECT_EQ(ParamFor(Variant(0.1), adDouble).data, "0.1");
  EXPECT_EQ(ParamFor(Variant(1e300), adDouble).data, "1e+300");
  EXPECT_EQ(ParamFor(Variant(5e9), adVariant).data, "5000000000");
  EXPECT_EQ(ParamFor(Variant(Currency{-15000}), adCurrency).data, "-1.5000");
  EXPECT_EQ(ParamFor(Variant(Currency{25000}), adInteger).data, "2");
  EXPECT_EQ(ParamFor(Variant(DateTime{45351.75}), adDBDate).data, "2024-02-29");
  EXPECT_EQ(ParamFor(Variant(DateTime{45351.75}), adDBTime).data, "18:00:00");
  EXPECT_EQ(ParamFor(Variant(DateTime{45351.75}), adDBTimeStamp).data, "2024-02-29 18:00:00");
  EXPECT_EQ(ParamFor(Variant(DateTime{45351.75}), adVariant).data, "2024-02-29 18:00:00");
  // Text goes as it is: quotes need no escaping in a parameter.
  EXPECT_EQ(ParamFor(Variant("O'Brien"), adVarWChar).data, "O'Brien");
  const WireParam bytes = ParamFor(Variant(Bytes{0, 1, 2}), adLongVarBinary);
  EXPECT_TRUE(bytes.binary);
  EXPECT_EQ(bytes.data, std::string("\0\1\2", 3));
  EXPECT_KIV_ERROR(ParamFor(Variant(Array::Of({Variant(1)})), adVarWChar),
                   err::TypeMismatch);  // an array has no column form
}

}  // namespace
}  // namespace kiv::postgres
