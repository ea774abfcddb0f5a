#pragma once
#include <span>

namespace qv::crypto {

// Whether 32 bytes in the compressed Edwards form of edwards25519 name a
// curve point when decompressed leniently: the top bit is the sign of x and
// is ignored here (x = 0 with the sign bit set is accepted), y is the low 255
// bits taken modulo p = 2^255 - 19 without a range check, and the only
// refusal is a y for which (y^2 - 1) / (d y^2 + 1) has no square root.
// Public data only: the arithmetic is variable-time.
bool edwards_y_decompresses(std::span<const unsigned char, 32> encoded);

}  // namespace qv::crypto
