#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "kiv/runtime/Variant.h"

namespace kiv {
class BlockWriter;
}

// Type mapping between PostgreSQL and the record set: column type OIDs to the
// standard data type codes, result texts to Variants, and Variants to the
// text (or binary) form of statement parameters. The connection sets
// DateStyle ISO, lc_monetary C and bytea_output hex, so the result texts
// parsed here have one fixed shape.
namespace kiv::postgres {

using Oid = unsigned int;

// Built-in type OIDs (pg_type.oid; fixed across server versions).
namespace oid {
inline constexpr Oid Bool = 16;
inline constexpr Oid Bytea = 17;
inline constexpr Oid Char = 18;
inline constexpr Oid Name = 19;
inline constexpr Oid Int8 = 20;
inline constexpr Oid Int2 = 21;
inline constexpr Oid Int4 = 23;
inline constexpr Oid Text = 25;
inline constexpr Oid Oid_ = 26;
inline constexpr Oid Float4 = 700;
inline constexpr Oid Float8 = 701;
inline constexpr Oid Money = 790;
inline constexpr Oid Bpchar = 1042;
inline constexpr Oid Varchar = 1043;
inline constexpr Oid Date = 1082;
inline constexpr Oid Time = 1083;
inline constexpr Oid Timestamp = 1114;
inline constexpr Oid Timestamptz = 1184;
inline constexpr Oid Numeric = 1700;
inline constexpr Oid Uuid = 2950;
}  // namespace oid

// The standard data type code for a column type: int2 2, int4 3, int8 20,
// float4 4, float8 5, numeric 131, money 6, bool 11, text and varchar 202,
// bpchar 130, date 133, time 134, timestamp and timestamptz 135, bytea 205,
// uuid 72; every other type 12 (a variant, "other" to the controls).
std::int32_t AdoTypeOf(Oid type);

// The Variant for one result value in text form (never Null: the caller
// checks PQgetisnull). int2 Integer; int4 Long; int8 Long when it fits, else
// Double; float and numeric Double; money Currency; bool Boolean; date, time
// and timestamps Date (timestamptz in the session's time zone, the offset
// dropped); bytea Bytes; everything else String. A value that has no Date or
// number form (infinity, NaN, a date before year 100) comes back as its text.
// With numericAsCurrency (NumericAsCurrency of the column: NUMERIC(10,2) and
// the like) a numeric is read exactly as Currency instead.
Variant ValueFromText(Oid type, std::string_view text, bool numericAsCurrency = false);
// The same value written to a record set's block (one column of a row).
void DecodeInto(BlockWriter& writer, Oid type, std::string_view text, bool numericAsCurrency);

// A statement parameter as libpq sends it: its text (or raw bytes when
// binary), or SQL NULL.
struct WireParam {
  bool null = false;
  bool binary = false;
  std::string data;
};

// The parameter that stores a value in (or compares it with) a column of the
// given standard data type (adVariant when unknown). Null and Empty send
// NULL; a Date goes as ISO text (date-only for a date column, time-only for a
// time column); a Boolean as true/false for a boolean column and -1/0 for a
// numeric one; numbers in their canonical form ("." decimal, no grouping; a
// fraction written to an integer column is rounded half to even); Bytes raw,
// in binary form. Text is passed as it is and converted by the server, which
// reports a value it cannot store. Objects and arrays raise 13.
WireParam ParamFor(const Variant& value, std::int32_t adoType);

// ISO text of a date serial: "yyyy-mm-dd", "hh:mm:ss[.ffffff]" or both.
std::string IsoDate(double serial);
std::string IsoTime(double serial);
std::string IsoTimestamp(double serial);

}  // namespace kiv::postgres
