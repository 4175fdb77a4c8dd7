// Fuzzes IsNumeric, IsDate and the conversions behind them in each locale.
//
// Input: one byte choosing the locale, then the text. Checks that IsNumeric
// and IsDate agree with CDbl and CDate (what one accepts the other converts,
// what one refuses the other refuses with 13 or 6), and that the text form
// of an accepted value reads back to the same text.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"

namespace {

[[noreturn]] void Fail() {
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const kiv::Locale* locales[] = {&kiv::Locale::Invariant(), &kiv::Locale::EnglishUK(),
                                  &kiv::Locale::German()};
  kiv::LocaleScope scope(*locales[data[0] % 3]);
  const kiv::Variant text{std::string_view(reinterpret_cast<const char*>(data + 1), size - 1)};

  const bool numeric = kiv::IsNumeric(text);
  try {
    const double d = kiv::CDbl(text);
    if (!numeric) Fail();
    const std::string once = kiv::CStr(kiv::Variant(d));
    // Subnormal doubles carry fewer than 15 digits, so only normal ones round-trip.
    if ((d == 0 || std::fabs(d) > 1e-300) &&
        kiv::CStr(kiv::Variant(kiv::CDbl(kiv::Variant(once)))) != once) {
      Fail();
    }
    (void)kiv::CCur(text);
  } catch (const kiv::Error& e) {
    if (e.number() != kiv::err::TypeMismatch && e.number() != kiv::err::Overflow) Fail();
    if (numeric && e.number() == kiv::err::TypeMismatch) Fail();
  }
  try {
    (void)kiv::CLng(text);
    (void)kiv::CBool(text);
  } catch (const kiv::Error&) {
  }

  const bool date = kiv::IsDate(text);
  try {
    const kiv::DateTime d = kiv::CDate(text);
    if (!date) Fail();
    const std::string once = kiv::CStr(kiv::Variant(d));
    if (kiv::CStr(kiv::Variant(kiv::CDate(kiv::Variant(once)))) != once) Fail();
  } catch (const kiv::Error& e) {
    if (date || e.number() != kiv::err::TypeMismatch) Fail();
  }
  return 0;
}
