// Fuzzes Format with arbitrary values and format strings in each locale.
//
// Input: one byte choosing the locale and how the value is passed (as text,
// or converted to a Double or a Date when it is one), then the value text, a
// NUL byte and the format string. Besides "no crash, only kiv::Error", it
// checks that text that is neither a number nor a date comes back unchanged.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const kiv::Locale* locales[] = {&kiv::Locale::Invariant(), &kiv::Locale::EnglishUK(),
                                  &kiv::Locale::German()};
  kiv::LocaleScope scope(*locales[data[0] % 3]);
  const int mode = (data[0] / 3) % 3;
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t nul = input.find('\0');
  const std::string_view text = input.substr(0, nul);
  const std::string_view format = nul == std::string_view::npos ? "" : input.substr(nul + 1);

  kiv::Variant value{text};
  try {
    if (mode == 1 && kiv::IsNumeric(value)) value = kiv::Variant(kiv::CDbl(value));
    if (mode == 2 && kiv::IsDate(value)) value = kiv::Variant(kiv::CDate(value));
  } catch (const kiv::Error&) {
    std::abort();  // what IsNumeric / IsDate accept must convert
  }
  try {
    const std::string out = kiv::Format(value, format);
    if (value.isString() && !kiv::IsNumeric(value) && !kiv::IsDate(value) && out != text &&
        !format.empty()) {
      // Only text formats (@ & < > !) may change such a text.
      if (format.find_first_of("@&<>!") == std::string_view::npos) std::abort();
    }
  } catch (const kiv::Error&) {
  }
  return 0;
}
