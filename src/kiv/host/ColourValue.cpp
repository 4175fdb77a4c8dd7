#include "kiv/host/ColourValue.h"

#include <cmath>

#include "kiv/runtime/Conversions.h"

namespace kiv {

std::int32_t ColourValue(const Variant& value) {
  if (value.isNumber() && value.type() != VarType::Integer && value.type() != VarType::Long) {
    const double d = CDbl(value);
    if (d >= 2147483648.0 && d <= 4294967295.0 && d == std::floor(d)) {
      return static_cast<std::int32_t>(static_cast<std::uint32_t>(d));
    }
  }
  return CLng(value);
}

}  // namespace kiv
