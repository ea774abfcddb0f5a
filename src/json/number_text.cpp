// Number literals taken as the text the writers give the number they read
// as (Parser::take_number_text): from the literal's own digits where those
// decide it, else read and written in full.
#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "json/parser.hpp"
#include "json/writer.hpp"

namespace qv::json {

static_assert(sizeof(Parser::NumberRoom::bytes) >= kF64TextMax, "room for any float's text");

namespace {

// The end of the run of ASCII digits at p, eight bytes at a time where the
// text has them.
[[gnu::always_inline]] inline const char* skip_digits(const char* p, const char* end) {
  if constexpr (std::endian::native == std::endian::little) {
    while (end - p >= 8) {
      std::uint64_t v;
      std::memcpy(&v, p, 8);
      // A byte is a digit when its high half is 3, and still is with 6
      // added. (A carry out of a byte of 0xFA or above, which is no digit,
      // reaches only the bytes after it.)
      const std::uint64_t halves =
          (v & 0xF0F0F0F0F0F0F0F0u) | (((v + 0x0606060606060606u) & 0xF0F0F0F0F0F0F0F0u) >> 4);
      const std::uint64_t other = halves ^ 0x3333333333333333u;
      if (other != 0) return p + (std::countr_zero(other) >> 3);
      p += 8;
    }
  }
  while (p < end && static_cast<unsigned>(static_cast<unsigned char>(*p) - '0') <= 9) ++p;
  return p;
}

// 5^k for k up to 27, the most that fits 64 bits.
constexpr auto kPowersOf5 = [] {
  std::array<std::uint64_t, 28> p{};
  p[0] = 1;
  for (std::size_t k = 1; k < p.size(); ++k) p[k] = p[k - 1] * 5;
  return p;
}();
constexpr auto kPowersOf10 = [] {
  std::array<std::uint64_t, 20> p{};
  p[0] = 1;
  for (std::size_t k = 1; k < p.size(); ++k) p[k] = p[k - 1] * 10;
  return p;
}();
__extension__ typedef unsigned __int128 U128;

// Division by 5^k, k up to 27, as two multiplications by a reciprocal
// (Moeller and Granlund, "Improved division by invariant integers"): the
// divisor shifted to set its top bit, and floor((2^128 - 1) / divisor) -
// 2^64.
struct Divisor {
  std::uint64_t d;
  std::uint64_t inverse;
  int shift;
};
constexpr auto kDivisors = [] {
  std::array<Divisor, 28> r{};
  for (std::size_t k = 0; k < r.size(); ++k) {
    const int shift = std::countl_zero(kPowersOf5[k]);
    const std::uint64_t d = kPowersOf5[k] << shift;
    r[k] = Divisor{d, static_cast<std::uint64_t>(~U128{0} / d), shift};  // the 2^64 drops off
  }
  return r;
}();

// (high * 2^64 + low) / divisor.d for high < divisor.d: the quotient, and
// the remainder in `rest`.
inline std::uint64_t divide(std::uint64_t high, std::uint64_t low, const Divisor& divisor, std::uint64_t& rest) {
  const U128 estimate = U128{divisor.inverse} * high + (U128{high} << 64 | low);
  auto quotient = static_cast<std::uint64_t>(estimate >> 64) + 1;
  rest = low - quotient * divisor.d;
  if (rest > static_cast<std::uint64_t>(estimate)) {
    --quotient;
    rest += divisor.d;
  }
  if (rest >= divisor.d) {
    ++quotient;
    rest -= divisor.d;
  }
  return quotient;
}

// The number that 8 ASCII digits write.
inline std::uint64_t read_eight_digits(const char* p) {
  if constexpr (std::endian::native == std::endian::little) {
    // Pairs, then fours, then all eight, each step in every lane at once.
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    v = ((v & 0x0F0F0F0F0F0F0F0Fu) * 2561) >> 8;
    v = ((v & 0x00FF00FF00FF00FFu) * 6553601) >> 16;
    return ((v & 0x0000FFFF0000FFFFu) * 42949672960001u) >> 32;
  } else {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v = v * 10 + static_cast<std::uint64_t>(p[i] - '0');
    return v;
  }
}

// x below 10^8 as 8 ASCII digits, leading zeros included, in one number
// whose first byte in memory is the first digit: the digits split in
// halves, quarters and eighths at once, each part in its own lane.
inline std::uint64_t eight_digits(std::uint64_t x) {
  const std::uint64_t high4 = (x * 109951163) >> 40;  // x / 10^4
  const std::uint64_t fours = high4 | (x - high4 * 10000) << 32;
  const std::uint64_t high2 = ((fours * 10486) >> 20) & 0x0000007F0000007Fu;  // each lane / 100
  const std::uint64_t twos = high2 | (fours - high2 * 100) << 16;
  const std::uint64_t high1 = ((twos * 103) >> 10) & 0x000F000F000F000Fu;  // each lane / 10
  const std::uint64_t ones = high1 | (twos - high1 * 10) << 8;
  return ones + 0x3030303030303030u;
}

// The count of decimal digits of c (not 0), from the count of its bits
// (1233 / 4096 is about log10 2).
inline int digit_count(std::uint64_t c) {
  const int t = std::bit_width(c) * 1233 >> 12;
  return t + 1 - (c < kPowersOf10[static_cast<std::size_t>(t)] ? 1 : 0);
}

// The `count` digits of c (below 10^17), placed in `room` so that they are
// followed by 24 more bytes of it; returns the first.
inline const char* place_digits(std::uint64_t c, std::size_t count, char (&room)[48]) {
  if constexpr (std::endian::native == std::endian::little) {
    const std::uint64_t parts[3] = {eight_digits(c / 10000000000000000u), eight_digits(c / 100000000 % 100000000),
                                    eight_digits(c % 100000000)};
    std::memcpy(room, parts, 24);
  } else {
    std::to_chars(room + 24 - count, room + 24, c);
  }
  return room + 24 - count;
}

// The writers' text of c * 10^s (c below 10^17, its last digit not 0) at
// `out` (room for kF64TextMax bytes), as detail::lay_out_float lays it out;
// returns the end. The positional forms are put together in registers and
// stored in overlapping pieces, none read back (digits stored in parts and
// read back whole wait for the stores).
inline char* lay_out_digits(char* out, bool negative, std::uint64_t c, int s) {
  const int count = digit_count(c);
  const int e = s + count - 1;  // the first digit's decimal exponent
  if constexpr (std::endian::native == std::endian::little) {
    if (e >= -5 && e <= 15) {
      if (negative) *out++ = '-';
      // The last 16 digits (leading zeros included, the first in the
      // lowest byte), and the 17th from the end.
      const std::uint64_t last16 = c % 10000000000000000u;
      const U128 low = U128{eight_digits(last16 / 100000000)} | U128{eight_digits(last16 % 100000000)} << 64;
      const char top = static_cast<char>('0' + c / 10000000000000000u);
      // The digits from the first, and from the first past the point.
      const auto digits_from = [&](int i) -> U128 {  // 0 <= i < count
        const int skip = 16 - count + i;               // bytes of `low` before digit i
        return skip < 0 ? (low << 8) | static_cast<unsigned char>(top) : low >> (8 * skip);
      };
      if (e < 0) {
        // "0.", zeros, the digits.
        std::memcpy(out, "0.000000", 8);
        out += 1 - e;
        const U128 all = digits_from(0);
        std::memcpy(out, &all, 16);
        if (count == 17) out[16] = static_cast<char>(low >> 120);
        return out + count;
      }
      const U128 all = digits_from(0);
      std::memcpy(out, &all, 16);
      if (e >= count - 1) {
        // A whole number (16 digits at most): zeros up to the point, ".0".
        std::memcpy(out + count, "0000000000000000", 16);
        std::memcpy(out + e + 1, ".0", 2);
        return out + e + 3;
      }
      // The digits before the point, the point, the digits after it.
      const U128 after = digits_from(e + 1);
      std::memcpy(out + e + 2, &after, 16);
      out[e + 1] = '.';
      return out + count + 1;
    }
  }
  char room[48];
  const auto n = static_cast<std::size_t>(count);
  return detail::lay_out_float(out, negative, place_digits(c, n, room), n, e);
}

// The decimal scales (powers of ten of the last digit) of the literals
// converted exactly below: 5^|s| fits 64 bits.
constexpr int kExactScale = 27;

inline int bit_width(U128 x) {
  const auto high = static_cast<std::uint64_t>(x >> 64);
  return high != 0 ? 128 - std::countl_zero(high) : 64 - std::countl_zero(static_cast<std::uint64_t>(x));
}

// x * 2^exp2 (x not 0; plus a little less than one unit of x when
// `sticky`) rounded to the nearest double, half to even: mantissa m in
// [2^52, 2^53) and exponent q, the double being m * 2^q.
inline void round_to_double(U128 x, int exp2, bool sticky, std::uint64_t& m, int& q) {
  const int width = bit_width(x);
  if (width <= 53) {
    // Exact (a remainder comes only with wider quotients).
    m = static_cast<std::uint64_t>(x) << (53 - width);
    q = exp2 - (53 - width);
    return;
  }
  const int shift = width - 53;
  m = static_cast<std::uint64_t>(x >> shift);
  q = exp2 + shift;
  const U128 rest = x & ((U128{1} << shift) - 1);
  const U128 half = U128{1} << (shift - 1);
  if (rest > half || (rest == half && (sticky || (m & 1) != 0))) {
    if (++m == std::uint64_t{1} << 53) {
      m >>= 1;
      ++q;
    }
  }
}

// floor(x * 2^g / 10^s) for x below 2^56 and |s| <= kExactScale, and whether
// it is exact; false when the result does not fit 64 bits.
inline bool scaled(std::uint64_t x, int g, int s, std::uint64_t& floor, bool& exact) {
  U128 r;
  if (s <= 0) {
    // x * 5^-s * 2^(g - s)
    const U128 p = U128{x} * kPowersOf5[static_cast<std::size_t>(-s)];
    const int shift = g - s;
    if (shift >= 0) {
      if (shift >= 64 || (p >> (128 - shift - 1)) != 0) return false;
      r = p << shift;
      exact = true;
    } else if (shift > -128) {
      r = p >> -shift;
      exact = (p & ((U128{1} << -shift) - 1)) == 0;
    } else {
      r = 0;
      exact = p == 0;
    }
  } else {
    // x * 2^(g - s) / 5^s
    const int shift = g - s;
    U128 num = x;
    U128 den = kPowersOf5[static_cast<std::size_t>(s)];
    if (shift >= 0) {
      if (shift > 64) return false;
      num <<= shift;
    } else {
      if (shift < -60) return false;
      den <<= -shift;
    }
    r = num / den;
    exact = num % den == 0;
  }
  if ((r >> 64) != 0) return false;
  floor = static_cast<std::uint64_t>(r);
  return true;
}

// The writers' text of the double nearest the literal d * 10^s (d of 16 or
// 17 digits, |s| <= kExactScale), found in integers: the double read
// exactly, then the bounds of the decimals that read as it, at the
// literal's scale; the shortest of those is the one with the most trailing
// zeros, and of several the nearest to the double. Null when a normal
// double is not reached or two decimals are as near, for the full
// conversion to write.
char* write_shortest_exact(char* out, bool negative, std::uint64_t d, int s) {
  std::uint64_t m;
  int q;
  if (s >= 0) {
    round_to_double(U128{d} * kPowersOf5[static_cast<std::size_t>(s)], s, false, m, q);
  } else {
    // d * 2^k / 5^-s with a quotient of 63 or 64 bits, and a sticky
    // remainder.
    const Divisor& divisor = kDivisors[static_cast<std::size_t>(-s)];
    const int k = 63 + std::bit_width(kPowersOf5[static_cast<std::size_t>(-s)]) - std::bit_width(d);
    const U128 num = U128{d} << (k + divisor.shift);
    std::uint64_t rest;
    const std::uint64_t quotient =
        divide(static_cast<std::uint64_t>(num >> 64), static_cast<std::uint64_t>(num), divisor, rest);
    round_to_double(quotient, s - k, rest != 0, m, q);
  }
  const int biased = q + 1075;
  if (biased < 1 || biased > 2046) return nullptr;
  // In units of 2^(q - 2) the double is 4m; the decimals that read as it
  // lie between the midpoints to its neighbours (the one below is nearer
  // when m is a power of two), on them too when m is even.
  const std::uint64_t mid = 4 * m;
  const std::uint64_t lower = m == std::uint64_t{1} << 52 && biased > 1 ? mid - 1 : mid - 2;
  const bool bounds = m % 2 == 0;
  std::uint64_t lo;
  std::uint64_t hi;
  std::uint64_t twice_mid;
  bool lo_exact;
  bool hi_exact;
  bool mid_exact;
  if (!scaled(lower, q - 2, s, lo, lo_exact) || !scaled(mid + 2, q - 2, s, hi, hi_exact) ||
      !scaled(mid, q - 1, s, twice_mid, mid_exact)) {
    return nullptr;
  }
  // The integers (at the literal's scale) that read as the double.
  if (!(lo_exact && bounds)) ++lo;
  if (hi_exact && !bounds) --hi;
  if (d < lo || d > hi) return nullptr;  // not reached: the literal reads as the double
  // The most trailing zeros any of them has; the double's place at that
  // scale, doubled, cut to an integer (`t`) and whether nothing was cut.
  int zeros = 0;
  std::uint64_t t = twice_mid;
  bool t_exact = mid_exact;
  for (;;) {
    const std::uint64_t next_lo = lo / 10 + (lo % 10 != 0);
    const std::uint64_t next_hi = hi / 10;
    if (next_lo > next_hi) break;
    lo = next_lo;
    hi = next_hi;
    t_exact = t_exact && t % 10 == 0;
    t /= 10;
    ++zeros;
  }
  // Of those with as many, the nearest: half the double's place, rounded.
  if (t_exact && t % 2 == 1) return nullptr;  // a tie
  const std::uint64_t c = std::clamp((t + 1) / 2, lo, hi);
  return lay_out_digits(out, negative, c, s + zeros);
}

}  // namespace

bool Parser::take_number_text(NumberRoom& room, std::string_view& text) {
  const char* const begin = text_.data() + index_;
  const char* const end = text_.data() + text_.size();
  const char* p = begin;
  const bool negative = p < end && *p == '-';
  if (negative) ++p;
  const char* const int_start = p;
  p = skip_digits(p, end);
  const auto int_len = static_cast<std::size_t>(p - int_start);
  if (int_len == 0 || (*int_start == '0' && int_len > 1)) return false;
  const char* const point = p;  // the '.', or the end of the digits
  const char* frac_end = p;
  bool is_float = false;
  if (p < end && *p == '.') {
    frac_end = skip_digits(p + 1, end);
    if (frac_end == p + 1) return false;
    p = frac_end;
    is_float = true;
  }
  int exp = 0;
  if (p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    const bool exp_negative = p < end && *p == '-';
    if (p < end && (*p == '+' || *p == '-')) ++p;
    const char* const exp_start = p;
    while (p < end && *p == '0') ++p;
    const char* const exp_digits = p;
    p = skip_digits(p, end);
    if (p == exp_start || p - exp_digits > 4) return false;
    for (const char* q = exp_digits; q < p; ++q) exp = exp * 10 + (*q - '0');
    if (exp_negative) exp = -exp;
    is_float = true;
  }
  const auto taken = static_cast<std::size_t>(p - begin);
  if (!is_float) {
    if (int_len > 18 || (negative && *int_start == '0')) return false;
    text = std::string_view(begin, taken);
    index_ += taken;
    return true;
  }
  if (int_len > 400 || frac_end - point > 401) return false;

  // The significant digits, from the first non-zero one to the last, and
  // the decimal exponent of the first.
  const char* first = int_start;
  if (*first == '0') {
    first = frac_end == point ? point : point + 1;
    while (first < frac_end && *first == '0') ++first;
  }
  if (first == frac_end) {
    // Every digit is 0: a zero of the literal's sign.
    text = negative ? std::string_view("-0.0") : std::string_view("0.0");
    index_ += taken;
    return true;
  }
  const char* last = frac_end - 1;
  while (*last == '0' || *last == '.') --last;  // stops at `first` at the latest
  const int lead = first < point ? static_cast<int>(point - first) - 1 : -static_cast<int>(first - point);
  const int e = lead + exp;
  if (e < -300 || e > 300) return false;
  const bool split = first < point && last > point;  // digits on both sides of the point
  const auto n = static_cast<std::size_t>(last - first + 1) - (split ? 1 : 0);
  if (p == frac_end && n <= 15 && e >= -5 && e <= 15) {
    // Positional without an exponent, and written so: the literal itself,
    // up to its last significant digit ("0.25", "-12.5"), or to one place
    // after the point for a whole number ("918.00" -> "918.0").
    text = std::string_view(begin, static_cast<std::size_t>((last > point ? last + 1 : point + 2) - begin));
    index_ += taken;
    return true;
  }
  char* const out = room.bytes;
  if (n <= 17) {
    // The significant digits without the point, in one run.
    char digits[48];
    const auto whole = split ? static_cast<std::size_t>(point - first) : n;
    if (end - first >= 48) {
      // Copies of 24 bytes (the text has them) where fewer are needed.
      std::memcpy(digits, first, 24);
      if (split) std::memcpy(digits + whole, point + 1, 24);
    } else {
      std::memcpy(digits, first, whole);
      if (split) std::memcpy(digits + whole, point + 1, n - whole);
    }
    if (n <= 15) {
      text = std::string_view(out, static_cast<std::size_t>(detail::lay_out_float(out, negative, digits, n, e) - out));
      index_ += taken;
      return true;
    }
    // More digits than every float keeps apart: read and written exactly
    // from the digits at a scale within reach.
    const int scale = e - static_cast<int>(n) + 1;
    if (scale >= -kExactScale && scale <= kExactScale) {
      std::uint64_t d = read_eight_digits(digits) * 100000000 + read_eight_digits(digits + 8);
      if (n == 17) d = d * 10 + static_cast<std::uint64_t>(digits[16] - '0');
      if (char* written = write_shortest_exact(out, negative, d, scale)) {
        text = std::string_view(out, static_cast<std::size_t>(written - out));
        index_ += taken;
        return true;
      }
    }
  }
  // Read and written in full.
  double value = 0.0;
  const auto r = std::from_chars(begin, p, value, std::chars_format::general);
  if (r.ec != std::errc() || r.ptr != p) return false;
  char* const written = write_json_f64(value, out);
  text = std::string_view(out, static_cast<std::size_t>(written - out));
  index_ += taken;
  return true;
}

}  // namespace qv::json
