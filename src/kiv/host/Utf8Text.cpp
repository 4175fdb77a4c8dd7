#include "kiv/host/Utf8Text.h"

namespace kiv::utf8 {

namespace {
bool IsContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}
}  // namespace

bool Next(std::string_view text, std::size_t& pos, char32_t& cp) {
  if (pos >= text.size()) return false;
  const auto c = static_cast<unsigned char>(text[pos]);
  int extra = 0;
  if (c < 0x80) {
    cp = c;
  } else if ((c & 0xE0) == 0xC0) {
    cp = c & 0x1F;
    extra = 1;
  } else if ((c & 0xF0) == 0xE0) {
    cp = c & 0x0F;
    extra = 2;
  } else if ((c & 0xF8) == 0xF0) {
    cp = c & 0x07;
    extra = 3;
  } else {
    cp = c;
    ++pos;
    return true;
  }
  if (pos + static_cast<std::size_t>(extra) >= text.size()) {
    // Truncated sequence: take the lead byte alone.
    cp = c;
    ++pos;
    return true;
  }
  for (int i = 1; i <= extra; ++i) {
    const auto d = static_cast<unsigned char>(text[pos + i]);
    if (!IsContinuation(d)) {
      cp = c;
      ++pos;
      return true;
    }
    cp = (cp << 6) | (d & 0x3F);
  }
  pos += static_cast<std::size_t>(extra) + 1;
  return true;
}

std::int32_t Length(std::string_view text) {
  std::int32_t n = 0;
  std::size_t pos = 0;
  char32_t cp;
  while (Next(text, pos, cp))
    ++n;
  return n;
}

std::size_t Offset(std::string_view text, std::int32_t index) {
  std::size_t pos = 0;
  char32_t cp;
  for (std::int32_t i = 0; i < index && Next(text, pos, cp); ++i) {
  }
  return pos;
}

std::string Substr(std::string_view text, std::int32_t start, std::int32_t count) {
  if (start < 0) start = 0;
  if (count < 0) count = 0;
  const std::size_t a = Offset(text, start);
  const std::size_t b = a + Offset(text.substr(a), count);
  return std::string(text.substr(a, b - a));
}

std::string Replace(std::string_view text, std::int32_t start, std::int32_t count,
                    std::string_view insert) {
  if (start < 0) start = 0;
  if (count < 0) count = 0;
  const std::size_t a = Offset(text, start);
  const std::size_t b = a + Offset(text.substr(a), count);
  std::string out(text.substr(0, a));
  out += insert;
  out += text.substr(b);
  return out;
}

std::string Left(std::string_view text, std::int32_t count) {
  return Substr(text, 0, count);
}

std::string Encode(char32_t cp) {
  std::string out;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

}  // namespace kiv::utf8
