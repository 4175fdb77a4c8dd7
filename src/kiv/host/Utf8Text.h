#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Character-level editing of UTF-8 text for the widgets' selection and typed
// input: positions count characters (code points), not bytes.
namespace kiv::utf8 {

// The number of characters in text.
std::int32_t Length(std::string_view text);
// The byte offset of character index (clamped to the text's end).
std::size_t Offset(std::string_view text, std::int32_t index);
// Characters [start, start + count) of text (clamped).
std::string Substr(std::string_view text, std::int32_t start, std::int32_t count);
// text with characters [start, start + count) replaced by insert.
std::string Replace(std::string_view text, std::int32_t start, std::int32_t count,
                    std::string_view insert);
// The first count characters of text.
std::string Left(std::string_view text, std::int32_t count);
// Decodes the character at pos (advancing pos); a malformed byte decodes as
// itself. Returns false at the end.
bool Next(std::string_view text, std::size_t& pos, char32_t& cp);
std::string Encode(char32_t cp);

}  // namespace kiv::utf8
