#include "kiv/shared/SqlLiteral.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "kiv/runtime/Conversions.h"

namespace kiv {

std::string SqlQuotedText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '\'';
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  out += '\'';
  return out;
}

std::optional<std::string> SqlNumber(std::string_view text) {
  double value = 0;
  if (!ParseNumber(text, value) || !std::isfinite(value)) return std::nullopt;
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  if (result.ec != std::errc()) return std::nullopt;
  return std::string(buffer, result.ptr);
}

}  // namespace kiv
