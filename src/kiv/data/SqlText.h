#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kiv {

// Rewrites a leading "SELECT TOP n" of the outer statement to "SELECT" with
// " LIMIT n" appended at the end (after any ORDER BY; before a trailing ";").
// Only the first keyword of the statement is looked at, so a TOP inside a
// sub-query, a quoted text or a longer name is left alone. Any other text is
// returned unchanged.
std::string RewriteTop(std::string_view sql);

// True when the text, outside quotes and brackets and at parenthesis depth
// 0, holds the keyword (whole word, any case).
bool HasTopLevelKeyword(std::string_view sql, std::string_view keyword);

// The statement with every "?" placeholder (outside quoted texts, quoted or
// bracketed names and comments) replaced by placeholder(n) for its position,
// n counting from 1, so one statement text serves every driver ("?1" for
// SQLite, "$1" for PostgreSQL). count, when given, receives the number of
// placeholders.
std::string NumberPlaceholders(std::string_view sql,
                               const std::function<std::string(int)>& placeholder,
                               int* count = nullptr);

// Where a second statement starts: the first character, other than blanks,
// comments and semicolons, after a ";" at parenthesis depth 0 outside quotes;
// npos when the text holds one statement.
std::size_t SecondStatementAt(std::string_view sql);

}  // namespace kiv
