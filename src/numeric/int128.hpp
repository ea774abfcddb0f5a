#pragma once
// 128-bit integers: the working width of exact fractions and of decimal
// mantissas. Negation of a signed value goes through its unsigned magnitude,
// so the minimum value is never negated.
#include <cstdint>
#include <string>

namespace qv::numeric {

__extension__ typedef __int128 i128;
__extension__ typedef unsigned __int128 u128;

inline constexpr i128 kI128Max = static_cast<i128>(~static_cast<u128>(0) >> 1);
inline constexpr i128 kI128Min = -kI128Max - 1;

// |v| as an unsigned value; exact for every v, the minimum included.
constexpr u128 magnitude(i128 v) { return v < 0 ? u128{0} - static_cast<u128>(v) : static_cast<u128>(v); }

// Decimal digits of v, no sign, no grouping.
std::string u128_to_string(u128 v);
// Decimal digits of v with a leading '-' when negative.
std::string i128_to_string(i128 v);

}  // namespace qv::numeric
