#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "kiv/runtime/Variant.h"

namespace kiv {

class Dispatch;
class Field;

// The module Functions: the free procedures the controls and the search
// dialog share. They keep no state.

// The name of the record field a control is bound to: its "Data_Field"
// property when that is not empty, else its "DataField" property, read by
// name at run time. A control lacking either member (or whose member cannot
// be read as text) counts as unbound there; the result is "" when neither
// gives a name. Never raises a kiv::Error.
std::string GetDataFieldName(Dispatch& control);
std::string GetDataFieldName(const std::shared_ptr<Dispatch>& control);  // nullptr gives ""
std::string GetDataFieldName(const Variant& control);                    // a non-object gives ""

// The statement with the condition merged into its WHERE clause:
//   head + " " + filter + " " + ordering
// where the ordering part starts at the statement's ORDER BY, the existing
// filter at its WHERE (before the ordering part), and the filter becomes
// "WHERE <condition>" or "<existing filter> AND <condition>". The condition
// goes in exactly as given, unbracketed; a blank condition returns the
// statement unchanged.
//
// The result always means "existing AND new": an existing filter or a merged
// condition holding an OR at its top level is bracketed ("WHERE (A OR B)
// AND C"), and one ending in a "--" comment gets a line break that closes
// the comment. Merges without either keep exactly the text above.
//
// The keywords are matched without regard to case as whole words at the top
// level of the statement only: not inside '...' or "..." literals, [bracketed]
// or `quoted` names, comments, or parentheses (a sub-query), and not as part
// of a longer name (ELSEWHERE, WHERE_X). ORDER and BY may be separated by any
// white space.
std::string AddWhereCondition(const std::string& statement, const std::string& condition);

// Field type categories.
inline constexpr std::int32_t kCategoryOther = 0;
inline constexpr std::int32_t kCategoryText = 1;
inline constexpr std::int32_t kCategoryNumber = 2;
inline constexpr std::int32_t kCategoryDate = 3;
inline constexpr std::int32_t kCategoryBoolean = 4;

// The category of a standard data type code (0 other, 1 text, 2 number,
// 3 date, 4 boolean).
std::int32_t FieldTypeCategoryOf(std::int32_t adoType);

// The category of a field, from its "Type" read by name (any object that
// answers Type will do). When the type cannot be read, the host shows the
// message box "The following error occurred while searching: " CRLF
// <number> " - " <description> with the critical icon, an OK button and the
// title "Search Error", and the result is 0.
std::int32_t FieldTypeCategory(Dispatch& field);
std::int32_t FieldTypeCategory(const std::shared_ptr<Dispatch>& field);  // nullptr: error 91
std::int32_t FieldTypeCategory(const Variant& field);
std::int32_t FieldTypeCategory(const Field& field);

}  // namespace kiv
