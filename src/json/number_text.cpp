// Number literals taken as the text the writers give the number they read
// as (Parser::take_number_text): from the literal's own digits where those
// decide it, else read and written in full.
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
__extension__ typedef unsigned __int128 U128;

// The sign of x * 2^shift - y, for shift >= 0.
inline int compare_shifted(U128 x, int shift, U128 y) {
  if (shift >= 128 || x > (~U128{0} >> shift)) return x == 0 ? (y == 0 ? 0 : -1) : 1;
  const U128 z = x << shift;
  return z < y ? -1 : z > y ? 1 : 0;
}

// The sign of d * 10^k - b * 2^f, for d and b below 2^60 and |k| <= 27
// (every product then stays below 2^128).
[[gnu::always_inline]] inline int compare_decimal(std::uint64_t d, int k, std::uint64_t b, int f) {
  U128 x = d;
  U128 y = b;
  int s = 0;  // x * 2^s against y * 2^t
  int t = f;
  if (k >= 0) {
    x *= kPowersOf5[static_cast<std::size_t>(k)];
    s = k;
  } else {
    y *= kPowersOf5[static_cast<std::size_t>(-k)];
    t -= k;
  }
  return s >= t ? compare_shifted(x, s - t, y) : -compare_shifted(y, t - s, x);
}

// The writers' text of a normal float `value` read from a literal whose
// significant digits are `digit_text` (n of them, 16 or 17, `digits` as a
// number; readable for 32 bytes; the first of decimal exponent e), when its
// shortest digits (the fewest that read back as
// `value`; of several such, the nearest to it) are found from the literal's
// own: the literal lies among the decimals that read as `value`, so a
// shorter decimal that does lies beside the literal cut to that length.
// Exact, in 128-bit integers, for e within -11..27; null when not found so
// (another range, a tie, more than two decimals of one length reading as
// the value, a literal that is not the nearest of its length), for the full
// conversion to write.
char* write_shortest_near(char* out, double value, const char* digit_text, std::uint64_t digits, int n, int e) {
  if (e < -11 || e > 27) return nullptr;
  const auto bits = std::bit_cast<std::uint64_t>(value);
  const auto biased = static_cast<int>(bits >> 52 & 0x7FF);
  if (biased == 0 || biased == 0x7FF) return nullptr;  // subnormal or not finite
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  const std::uint64_t mantissa = fraction | std::uint64_t{1} << 52;
  // In units of 2^f the value is 4m; the decimals that read as it lie
  // between the midpoints to its neighbours (the one below is nearer when m
  // is a power of two), on them too when m is even.
  const int f = biased - 1075 - 2;
  const std::uint64_t mid = 4 * mantissa;
  const std::uint64_t lower = fraction == 0 && biased > 1 ? mid - 1 : mid - 2;
  const std::uint64_t upper = mid + 2;
  const bool bounds = mantissa % 2 == 0;
  // For a decimal known to be at most the literal, whether it is above the
  // lower bound; for one at least the literal, below the upper bound (the
  // literal reads as the value, so the other bound holds).
  const auto above_lower = [&](std::uint64_t d, int k) {
    const int c = compare_decimal(d, k, lower, f);
    return c > 0 || (c == 0 && bounds);
  };
  const auto below_upper = [&](std::uint64_t d, int k) {
    const int c = compare_decimal(d, k, upper, f);
    return c < 0 || (c == 0 && bounds);
  };
  // The sign of (d + 1/2) * 10^k - value: which of d and d + 1 is nearer.
  const auto beyond_half = [&](std::uint64_t d, int k) { return compare_decimal(2 * d + 1, k, 2 * mid, f); };

  // The shortest found so far: the literal's first `length` digits, plus
  // one in the last place when `add_one`.
  int length = n;
  bool add_one = false;
  std::uint64_t cut = digits;
  for (int shorter = n - 1; shorter >= 1; --shorter) {
    const int scale = e - shorter + 1;
    cut /= 10;
    const bool down = above_lower(cut, scale);
    const bool up = below_upper(cut + 1, scale);
    if (!down && !up) break;
    // More than two of this length reading as the value: left to the full
    // conversion.
    if ((down && cut > 0 && above_lower(cut - 1, scale)) || (up && below_upper(cut + 2, scale))) return nullptr;
    if (down && up) {
      const int side = beyond_half(cut, scale);
      if (side == 0) return nullptr;
      add_one = side < 0;
    } else {
      add_one = up;
    }
    length = shorter;
  }
  if (length == n) {
    // No shorter decimal: the literal's digits, when no other decimal of
    // their length lies as near the value.
    const int scale = e - n + 1;
    if (beyond_half(digits, scale) <= 0 || beyond_half(digits - 1, scale) >= 0) return nullptr;
  }
  char text[48];
  std::memcpy(text, digit_text, 32);
  auto count = static_cast<std::size_t>(length);
  int lead = e;
  if (add_one) {
    std::size_t i = count;
    while (i > 0 && text[i - 1] == '9') text[--i] = '0';
    if (i == 0) {
      text[0] = '1';  // 99..9 + 1: a 1, one place up
      ++lead;
    } else {
      ++text[i - 1];
    }
  }
  while (count > 1 && text[count - 1] == '0') --count;
  return detail::lay_out_float(out, value < 0, text, count, lead);
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
  char* const out = room.bytes;
  if (n > 15) {
    // More digits than every float keeps apart: read, and written from the
    // shortest digits found beside the literal's own, or in full.
    double value = 0.0;
    const auto r = std::from_chars(begin, p, value, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != p) return false;
    char* written = nullptr;
    if (n <= 17) {
      char digit_text[48];
      std::uint64_t digits = 0;
      std::size_t count = 0;
      for (const char* q = first; q <= last; ++q) {
        if (q == point) continue;
        digit_text[count++] = *q;
        digits = digits * 10 + static_cast<std::uint64_t>(*q - '0');
      }
      written = write_shortest_near(out, value, digit_text, digits, static_cast<int>(n), e);
    }
    if (written == nullptr) written = write_json_f64(value, out);
    text = std::string_view(out, static_cast<std::size_t>(written - out));
    index_ += taken;
    return true;
  }
  char digits[32];
  const auto whole = split ? static_cast<std::size_t>(point - first) : n;
  if (end - first >= 32) {
    // Copies of 16 bytes (the text has them) where fewer are needed.
    std::memcpy(digits, first, 16);
    if (split) std::memcpy(digits + whole, point + 1, 16);
  } else {
    std::memcpy(digits, first, whole);
    if (split) std::memcpy(digits + whole, point + 1, n - whole);
  }
  text = std::string_view(out, static_cast<std::size_t>(detail::lay_out_float(out, negative, digits, n, e) - out));
  index_ += taken;
  return true;
}

}  // namespace qv::json
