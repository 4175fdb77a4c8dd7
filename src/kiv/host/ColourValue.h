#pragma once

#include <cstdint>

#include "kiv/runtime/Variant.h"

namespace kiv {

// A colour value written late-bound: a 32-bit value, also accepted as an
// unsigned number up to &HFFFFFFFF (a system colour written as 2147483663),
// wrapped to the signed form the widgets keep.
std::int32_t ColourValue(const Variant& value);

}  // namespace kiv
