#pragma once

#include <cstdint>

// The standard record source constants: data type codes (what Field::Type
// returns and FieldTypeCategory reads), cursor, lock, location, affect,
// search direction, state, edit mode and position values.
namespace kiv {

// Data types.
inline constexpr std::int32_t adEmpty = 0;
inline constexpr std::int32_t adSmallInt = 2;
inline constexpr std::int32_t adInteger = 3;
inline constexpr std::int32_t adSingle = 4;
inline constexpr std::int32_t adDouble = 5;
inline constexpr std::int32_t adCurrency = 6;
inline constexpr std::int32_t adDate = 7;
inline constexpr std::int32_t adBSTR = 8;
inline constexpr std::int32_t adBoolean = 11;
inline constexpr std::int32_t adVariant = 12;
inline constexpr std::int32_t adDecimal = 14;
inline constexpr std::int32_t adTinyInt = 16;
inline constexpr std::int32_t adUnsignedTinyInt = 17;
inline constexpr std::int32_t adUnsignedSmallInt = 18;
inline constexpr std::int32_t adUnsignedInt = 19;
inline constexpr std::int32_t adBigInt = 20;
inline constexpr std::int32_t adUnsignedBigInt = 21;
inline constexpr std::int32_t adGUID = 72;
inline constexpr std::int32_t adBinary = 128;
inline constexpr std::int32_t adChar = 129;
inline constexpr std::int32_t adWChar = 130;
inline constexpr std::int32_t adNumeric = 131;
inline constexpr std::int32_t adDBDate = 133;
inline constexpr std::int32_t adDBTime = 134;
inline constexpr std::int32_t adDBTimeStamp = 135;
inline constexpr std::int32_t adVarNumeric = 139;
inline constexpr std::int32_t adVarChar = 200;
inline constexpr std::int32_t adLongVarChar = 201;
inline constexpr std::int32_t adVarWChar = 202;
inline constexpr std::int32_t adLongVarWChar = 203;
inline constexpr std::int32_t adVarBinary = 204;
inline constexpr std::int32_t adLongVarBinary = 205;

// Type families: which codes a column keeps as an integer, a text, a date or
// bytes.
constexpr bool IsIntegerType(std::int32_t t) {
  return t == adSmallInt || t == adInteger || t == adTinyInt || t == adBigInt ||
         t == adUnsignedTinyInt || t == adUnsignedSmallInt || t == adUnsignedInt ||
         t == adUnsignedBigInt;
}
constexpr bool IsTextType(std::int32_t t) {
  return t == adBSTR || t == adChar || t == adWChar || t == adVarChar || t == adLongVarChar ||
         t == adVarWChar || t == adLongVarWChar || t == adGUID;
}
constexpr bool IsDateType(std::int32_t t) {
  return t == adDate || t == adDBDate || t == adDBTime || t == adDBTimeStamp;
}
constexpr bool IsBinaryType(std::int32_t t) {
  return t == adBinary || t == adVarBinary || t == adLongVarBinary;
}

// Cursor types.
inline constexpr std::int32_t adOpenUnspecified = -1;
inline constexpr std::int32_t adOpenForwardOnly = 0;
inline constexpr std::int32_t adOpenKeyset = 1;
inline constexpr std::int32_t adOpenDynamic = 2;
inline constexpr std::int32_t adOpenStatic = 3;

// Lock types.
inline constexpr std::int32_t adLockUnspecified = -1;
inline constexpr std::int32_t adLockReadOnly = 1;
inline constexpr std::int32_t adLockPessimistic = 2;
inline constexpr std::int32_t adLockOptimistic = 3;
inline constexpr std::int32_t adLockBatchOptimistic = 4;

// Cursor locations.
inline constexpr std::int32_t adUseServer = 2;
inline constexpr std::int32_t adUseClient = 3;

// Which records an operation affects.
inline constexpr std::int32_t adAffectCurrent = 1;
inline constexpr std::int32_t adAffectGroup = 2;
inline constexpr std::int32_t adAffectAll = 3;

// Find directions.
inline constexpr std::int32_t adSearchForward = 1;
inline constexpr std::int32_t adSearchBackward = -1;

// Object states.
inline constexpr std::int32_t adStateClosed = 0;
inline constexpr std::int32_t adStateOpen = 1;

// Command options.
inline constexpr std::int32_t adCmdUnspecified = -1;
inline constexpr std::int32_t adCmdText = 1;

// Edit modes.
inline constexpr std::int32_t adEditNone = 0;
inline constexpr std::int32_t adEditInProgress = 1;
inline constexpr std::int32_t adEditAdd = 2;

// AbsolutePosition without a current record.
inline constexpr std::int32_t adPosUnknown = -1;
inline constexpr std::int32_t adPosBOF = -2;
inline constexpr std::int32_t adPosEOF = -3;

}  // namespace kiv
