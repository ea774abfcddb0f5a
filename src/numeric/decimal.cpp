#include "numeric/decimal.hpp"

#include <algorithm>
#include <array>
#include <utility>

namespace qv::numeric {

namespace {

constexpr std::array<u128, 39> make_powers() {
  std::array<u128, 39> p{};
  p[0] = 1;
  for (std::size_t i = 1; i < p.size(); ++i) p[i] = p[i - 1] * 10;
  return p;
}
// 10^0 .. 10^38, every power of ten that fits 128 bits.
constexpr std::array<u128, 39> kPow10 = make_powers();

constexpr u128 kMax = Decimal::kMaxMantissa;
constexpr int kScaleLimit = static_cast<int>(Decimal::kMaxScale);
// 2^96 ÷ 10 rounded: the mantissa left when a rounding carry reaches 2^96
// and one more digit is dropped.
constexpr u128 kCarryTenth = ((u128{1} << 96) + 5) / 10;

// Unsigned 192-bit integer, three 64-bit limbs, least significant first.
// Wide enough for a product of two mantissas and for a mantissa raised by
// 10^28 to meet another operand's scale.
struct Wide {
  std::array<std::uint64_t, 3> limb{};

  static constexpr Wide of(u128 v) {
    Wide w;
    w.limb[0] = static_cast<std::uint64_t>(v);
    w.limb[1] = static_cast<std::uint64_t>(v >> 64);
    return w;
  }
  static Wide product(u128 a, u128 b) {  // a, b < 2^96
    const std::uint64_t a0 = static_cast<std::uint64_t>(a), a1 = static_cast<std::uint64_t>(a >> 64);
    const std::uint64_t b0 = static_cast<std::uint64_t>(b), b1 = static_cast<std::uint64_t>(b >> 64);
    const u128 p00 = u128{a0} * b0;
    const u128 mid = u128{a0} * b1 + u128{a1} * b0;  // each term < 2^96, no overflow
    const u128 p11 = u128{a1} * b1;                  // < 2^64
    Wide w;
    w.limb[0] = static_cast<std::uint64_t>(p00);
    const u128 l1 = (p00 >> 64) + static_cast<std::uint64_t>(mid);
    w.limb[1] = static_cast<std::uint64_t>(l1);
    w.limb[2] = static_cast<std::uint64_t>(p11 + (mid >> 64) + (l1 >> 64));
    return w;
  }
  bool fits96() const { return limb[2] == 0 && (limb[1] >> 32) == 0; }
  u128 low() const { return (u128{limb[1]} << 64) | limb[0]; }
  bool odd() const { return (limb[0] & 1) != 0; }
  // Multiplies by f; the caller keeps the product below 2^192.
  constexpr void mul(std::uint64_t f) {
    u128 carry = 0;
    for (auto& l : limb) {
      const u128 t = u128{l} * f + carry;
      l = static_cast<std::uint64_t>(t);
      carry = t >> 64;
    }
  }
  // Divides by d > 0 and returns the remainder.
  std::uint64_t div(std::uint64_t d) {
    u128 rem = 0;
    for (std::size_t i = limb.size(); i-- > 0;) {
      const u128 cur = (rem << 64) | limb[i];
      limb[i] = static_cast<std::uint64_t>(cur / d);
      rem = cur % d;
    }
    return static_cast<std::uint64_t>(rem);
  }
  void add(const Wide& o) {
    u128 carry = 0;
    for (std::size_t i = 0; i < limb.size(); ++i) {
      const u128 t = u128{limb[i]} + o.limb[i] + carry;
      limb[i] = static_cast<std::uint64_t>(t);
      carry = t >> 64;
    }
  }
  void sub(const Wide& o) {  // *this >= o
    std::uint64_t borrow = 0;
    for (std::size_t i = 0; i < limb.size(); ++i) {
      const std::uint64_t a = limb[i], b = o.limb[i];
      const std::uint64_t d = a - b - borrow;
      borrow = (a < b || (a == b && borrow)) ? 1 : 0;
      limb[i] = d;
    }
  }
  friend constexpr std::strong_ordering operator<=>(const Wide& a, const Wide& b) {
    for (std::size_t i = a.limb.size(); i-- > 0;) {
      if (a.limb[i] != b.limb[i]) return a.limb[i] <=> b.limb[i];
    }
    return std::strong_ordering::equal;
  }
};

// m × 10^k for a mantissa m < 2^96 and k ≤ 28 (below 2^190).
Wide raised(u128 m, int k) {
  Wide w = Wide::of(m);
  while (k > 0) {
    const int step = std::min(k, 19);
    w.mul(static_cast<std::uint64_t>(kPow10[static_cast<std::size_t>(step)]));
    k -= step;
  }
  return w;
}

struct Reduced {
  u128 mantissa;
  int scale;
};

// 2^96 × 10^e for e = 0..28: a value below the e-th bound keeps a mantissa
// under 2^96 once e digits are dropped. Every product of two mantissas is
// below 2^192, hence below 2^96 × 10^29.
constexpr std::array<Wide, 29> make_limits() {
  std::array<Wide, 29> t{};
  t[0].limb[1] = std::uint64_t{1} << 32;
  for (std::size_t e = 1; e < t.size(); ++e) {
    t[e] = t[e - 1];
    t[e].mul(10);
  }
  return t;
}
constexpr std::array<Wide, 29> kLimits = make_limits();

// Brings an exact value v ÷ 10^scale into range: drops the fewest trailing
// digits that leave a mantissa below 2^96 at a scale of at most 28, rounding
// half to even on everything dropped. A rounding carry that reaches 2^96
// drops one digit more. None when more digits must go than the scale has.
std::optional<Reduced> reduce(Wide v, int scale) {
  if (scale <= kScaleLimit && v.fits96()) return Reduced{v.low(), scale};
  int drop = std::max(scale - kScaleLimit, 0);
  while (drop < static_cast<int>(kLimits.size()) && v >= kLimits[static_cast<std::size_t>(drop)]) ++drop;
  if (drop > scale) return std::nullopt;
  // All but the last dropped digit only tell whether anything non-zero went.
  bool sticky = false;
  for (int rest = drop - 1; rest > 0;) {
    const int step = std::min(rest, 19);
    sticky = v.div(static_cast<std::uint64_t>(kPow10[static_cast<std::size_t>(step)])) != 0 || sticky;
    rest -= step;
  }
  const std::uint64_t last = v.div(10);
  u128 m = v.low();
  if (last > 5 || (last == 5 && (sticky || (m & 1) != 0))) {
    ++m;
    if (m > kMax) {
      if (drop == scale) return std::nullopt;
      m = kCarryTenth;
      ++drop;
    }
  }
  return Reduced{m, scale - drop};
}

unsigned digit_count(u128 v) {
  unsigned n = 1;
  while (n < kPow10.size() && v >= kPow10[n]) ++n;
  return n;
}

// The largest k ≤ 9 for which quotient × 10^k still fits 96 bits and
// scale + k stays within 28; -1 when that k, below 9, cannot lift a negative
// scale to 0 (the integer part of the quotient is out of range).
int search_scale(u128 quotient, int scale) {
  int k = std::min(9, kScaleLimit - scale);
  while (k > 0 && quotient > kMax / kPow10[static_cast<std::size_t>(k)]) --k;
  if (k < 9 && scale + k < 0) return -1;
  return k;
}

// Removes trailing zeros from a quotient that needed extra digits: eight at
// a time while the low 32 bits are all zero, then at most one step each of
// four, two and one. This leaves a zero in some exact quotients (1 ÷ 2 is
// 0.50), which is the form the quotient text must have.
void unscale(u128& m, int& scale) {
  while ((m & 0xFFFFFFFFu) == 0 && scale >= 8 && m % kPow10[8] == 0) {
    m /= kPow10[8];
    scale -= 8;
  }
  for (const int step : {4, 2, 1}) {
    const u128 p = kPow10[static_cast<std::size_t>(step)];
    if (scale >= step && m % p == 0) {
      m /= p;
      scale -= step;
    }
  }
}

}  // namespace

std::string_view describe(DecimalParseError error) {
  switch (error) {
    case DecimalParseError::Empty: return "Invalid decimal: empty";
    case DecimalParseError::UnknownCharacter: return "Invalid decimal: unknown character";
    case DecimalParseError::NoDigits: return "Invalid decimal: no digits found";
    case DecimalParseError::TwoDecimalPoints: return "Invalid decimal: two decimal points";
    case DecimalParseError::LeadingUnderscore: return "Invalid decimal: must start lead with a number";
    case DecimalParseError::TooManyDigits: return "Invalid decimal: overflow from too many digits";
    case DecimalParseError::OverflowAfterRounding: return "Invalid decimal: overflow from mantissa after rounding";
  }
  return "Invalid decimal";
}

std::optional<Decimal> Decimal::from_parts(u128 mantissa, std::uint32_t scale, bool negative) {
  if (mantissa > kMaxMantissa || scale > kMaxScale) return std::nullopt;
  return Decimal(mantissa, scale, negative);
}

Decimal Decimal::from_int(std::int64_t value) {
  return Decimal(magnitude(static_cast<i128>(value)), 0, value < 0);
}

std::expected<Decimal, DecimalParseError> Decimal::parse(std::string_view text) {
  if (text.empty()) return std::unexpected(DecimalParseError::Empty);
  std::size_t i = 0;
  bool negative = false;
  if (text[0] == '+' || text[0] == '-') {
    negative = text[0] == '-';
    i = 1;
  }
  u128 m = 0;
  int scale = 0;
  bool any_digit = false;
  bool in_fraction = false;
  // Set when a fraction digit could not be kept: that digit rounds the
  // mantissa and the rest of the text is not read.
  std::optional<unsigned> rounding_digit;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      const unsigned d = static_cast<unsigned>(c - '0');
      any_digit = true;
      if (!in_fraction) {
        m = m * 10 + d;  // m stays below 2^96 before, so no wrap-around here
        if (m > kMaxMantissa) return std::unexpected(DecimalParseError::TooManyDigits);
      } else if (scale == kScaleLimit || m * 10 + d > kMaxMantissa) {
        rounding_digit = d;
        break;
      } else {
        m = m * 10 + d;
        ++scale;
      }
    } else if (c == '.') {
      if (in_fraction) return std::unexpected(DecimalParseError::TwoDecimalPoints);
      in_fraction = true;
    } else if (c == '_') {
      if (!any_digit) return std::unexpected(DecimalParseError::LeadingUnderscore);
    } else {
      return std::unexpected(DecimalParseError::UnknownCharacter);
    }
  }
  if (!any_digit) return std::unexpected(DecimalParseError::NoDigits);
  if (rounding_digit && *rounding_digit >= 5) {
    ++m;
    if (m > kMaxMantissa) {
      if (scale == 0) return std::unexpected(DecimalParseError::OverflowAfterRounding);
      m = kCarryTenth;
      --scale;
    }
  }
  return Decimal(m, static_cast<std::uint32_t>(scale), negative && m != 0);
}

Decimal Decimal::operator-() const { return Decimal(mantissa_, scale_, !negative_); }

Decimal Decimal::abs() const { return Decimal(mantissa_, scale_, false); }

Decimal Decimal::normalize() const {
  if (mantissa_ == 0) return Decimal();
  u128 m = mantissa_;
  std::uint32_t s = scale_;
  while (s > 0 && m % 10 == 0) {
    m /= 10;
    --s;
  }
  return Decimal(m, s, negative_);
}

std::optional<Decimal> Decimal::add_signed(const Decimal& other, bool negate_other) const {
  const bool other_negative = other.negative_ != negate_other;
  if (is_zero()) return Decimal(other.mantissa_, other.scale_, other_negative && !other.is_zero());
  if (other.is_zero()) return *this;
  const int scale = std::max(scale_, other.scale_);
  Wide a = raised(mantissa_, scale - scale_);
  Wide b = raised(other.mantissa_, scale - other.scale_);
  bool negative = negative_;
  if (negative_ == other_negative) {
    a.add(b);
  } else if (a >= b) {
    a.sub(b);
  } else {
    b.sub(a);
    a = b;
    negative = other_negative;
  }
  const auto r = reduce(a, scale);
  if (!r) return std::nullopt;
  return Decimal(r->mantissa, static_cast<std::uint32_t>(r->scale), negative && r->mantissa != 0);
}

std::optional<Decimal> Decimal::checked_add(const Decimal& other) const { return add_signed(other, false); }

std::optional<Decimal> Decimal::checked_sub(const Decimal& other) const { return add_signed(other, true); }

std::optional<Decimal> Decimal::checked_mul(const Decimal& other) const {
  if (is_zero() || other.is_zero()) return Decimal();
  const int scale = scale_ + other.scale_;
  // Two mantissas below 2^32 whose product would lose 20 or more digits to
  // the scale limit come out as a plain zero at scale 0.
  constexpr u128 k32 = u128{1} << 32;
  if (mantissa_ < k32 && other.mantissa_ < k32 && scale - kScaleLimit >= 20) return Decimal();
  const auto r = reduce(Wide::product(mantissa_, other.mantissa_), scale);
  if (!r) return std::nullopt;
  return Decimal(r->mantissa, static_cast<std::uint32_t>(r->scale), negative_ != other.negative_ && r->mantissa != 0);
}

std::optional<Decimal> Decimal::checked_div(const Decimal& other) const {
  if (other.is_zero()) return std::nullopt;
  if (is_zero()) return Decimal();
  const u128 den = other.mantissa_;
  int scale = static_cast<int>(scale_) - static_cast<int>(other.scale_);
  u128 quo = mantissa_ / den;
  u128 rem = mantissa_ % den;
  bool inexact = false;
  for (;;) {
    int k = 0;
    if (rem == 0) {
      if (scale >= 0) break;
      k = std::min(9, -scale);
    } else {
      inexact = true;
      if (scale == kScaleLimit || (k = search_scale(quo, scale)) == 0) {
        // No further digit fits: round the last one half to even.
        const u128 twice = rem * 2;  // rem < den < 2^96
        if (twice > den || (twice == den && (quo & 1) != 0)) {
          ++quo;
          if (quo > kMax) {
            if (--scale < 0) return std::nullopt;
            quo = kCarryTenth;
          }
        }
        break;
      }
      if (k < 0) return std::nullopt;
    }
    const u128 p = kPow10[static_cast<std::size_t>(k)];
    if (quo > kMax / p) return std::nullopt;
    quo *= p;
    scale += k;
    const u128 num = rem * p;  // < 2^96 × 10^9
    quo += num / den;
    rem = num % den;
    if (quo > kMax) {
      // The new digits carried past 96 bits: give one back, rounding half to
      // even with the remainder as a sticky bit.
      if (--scale < 0) return std::nullopt;
      const u128 digit = quo % 10;
      quo /= 10;
      if (digit > 5 || (digit == 5 && (rem != 0 || (quo & 1) != 0))) ++quo;
      break;
    }
  }
  if (inexact) unscale(quo, scale);
  return Decimal(quo, static_cast<std::uint32_t>(scale), negative_ != other.negative_ && quo != 0);
}

Decimal Decimal::round_dp(std::uint32_t dp, MidpointRule rule) const {
  if (scale_ <= dp) return *this;
  const u128 p = kPow10[scale_ - dp];
  u128 q = mantissa_ / p;
  const u128 r = mantissa_ % p;
  const u128 half = p / 2;
  const bool up = rule == MidpointRule::AwayFromZero ? r >= half : (r > half || (r == half && (q & 1) != 0));
  if (up) ++q;
  return Decimal(q, dp, negative_ && q != 0);
}

std::optional<Decimal> Decimal::round_sf(std::uint32_t digits) const {
  if (digits == 0 || is_zero()) return Decimal();
  const unsigned have = digit_count(mantissa_);
  if (digits >= have) {
    // Pad with zeros as far as the scale and the mantissa allow.
    std::uint32_t k = std::min<std::uint32_t>(digits - have, kMaxScale - scale_);
    while (k > 0 && mantissa_ > kMax / kPow10[k]) --k;
    return Decimal(mantissa_ * kPow10[k], scale_ + k, negative_);
  }
  const std::uint32_t drop = have - digits;
  if (drop <= scale_) return round_dp(scale_ - drop);
  // The digits to drop reach past the point: round to a whole number of
  // 10^(drop - scale) and write it at scale 0.
  const u128 p = kPow10[drop];
  u128 q = mantissa_ / p;
  const u128 r = mantissa_ % p;
  if (r > p / 2 || (r == p / 2 && (q & 1) != 0)) ++q;
  const u128 back = kPow10[drop - scale_];
  if (q > kMax / back) return std::nullopt;
  return Decimal(q * back, 0, negative_);
}

int Decimal::compare(const Decimal& a, const Decimal& b) {
  const bool a_neg = a.negative_ && a.mantissa_ != 0;
  const bool b_neg = b.negative_ && b.mantissa_ != 0;
  if (a.mantissa_ == 0 && b.mantissa_ == 0) return 0;
  if (a_neg != b_neg) return a_neg ? -1 : 1;
  int c = 0;
  if (a.scale_ == b.scale_) {
    c = a.mantissa_ < b.mantissa_ ? -1 : (a.mantissa_ > b.mantissa_ ? 1 : 0);
  } else {
    const int scale = std::max(a.scale_, b.scale_);
    const auto order = raised(a.mantissa_, scale - a.scale_) <=> raised(b.mantissa_, scale - b.scale_);
    c = order < 0 ? -1 : (order > 0 ? 1 : 0);
  }
  return a_neg ? -c : c;
}

std::string Decimal::to_string() const {
  std::string digits = u128_to_string(mantissa_);
  if (digits.size() <= scale_) digits.insert(0, scale_ + 1 - digits.size(), '0');
  if (scale_ > 0) digits.insert(digits.size() - scale_, 1, '.');
  if (negative_) digits.insert(0, 1, '-');
  return digits;
}

}  // namespace qv::numeric
