#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kiv {

// Values a control places in the text of a lookup statement, written so that
// no input can change the statement's meaning.

// The text between single quotes, every quote in it doubled.
std::string SqlQuotedText(std::string_view text);

// The number the text reads as (in the user's locale), written as SQL reads
// it: '.' decimals, up to 15 significant digits. std::nullopt when the text
// is not a finite number, so it must not go into the statement at all.
std::optional<std::string> SqlNumber(std::string_view text);

}  // namespace kiv
