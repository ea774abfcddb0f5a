#include "crypto/edwards_y.hpp"

#include <array>
#include <cstdint>

namespace qv::crypto {

namespace {

__extension__ typedef unsigned __int128 u128;

constexpr std::uint64_t kMask51 = (std::uint64_t{1} << 51) - 1;

// An element of GF(2^255 - 19) in five 51-bit limbs (little-endian). Limbs
// may run a few bits over 51 between operations; reduce() makes it canonical.
struct Fe {
  std::array<std::uint64_t, 5> v{};
};

Fe fe_small(std::uint64_t x) { return Fe{{x, 0, 0, 0, 0}}; }

Fe fe_from_bytes(std::span<const unsigned char, 32> s) {
  std::array<std::uint64_t, 4> w{};
  for (std::size_t i = 0; i < 4; ++i) {
    for (std::size_t j = 0; j < 8; ++j) w[i] |= std::uint64_t{s[8 * i + j]} << (8 * j);
  }
  Fe f;
  f.v[0] = w[0] & kMask51;
  f.v[1] = ((w[0] >> 51) | (w[1] << 13)) & kMask51;
  f.v[2] = ((w[1] >> 38) | (w[2] << 26)) & kMask51;
  f.v[3] = ((w[2] >> 25) | (w[3] << 39)) & kMask51;
  f.v[4] = (w[3] >> 12) & kMask51;  // drops bit 255, the sign of x
  return f;
}

void carry(Fe& f) {
  for (std::size_t i = 0; i < 4; ++i) {
    f.v[i + 1] += f.v[i] >> 51;
    f.v[i] &= kMask51;
  }
  f.v[0] += 19 * (f.v[4] >> 51);
  f.v[4] &= kMask51;
}

Fe fe_add(const Fe& a, const Fe& b) {
  Fe r;
  for (std::size_t i = 0; i < 5; ++i) r.v[i] = a.v[i] + b.v[i];
  carry(r);
  return r;
}

// a - b, computed as a + 4p - b so that no limb goes below zero.
Fe fe_sub(const Fe& a, const Fe& b) {
  constexpr std::uint64_t kFourP0 = 4 * ((std::uint64_t{1} << 51) - 19);
  constexpr std::uint64_t kFourPi = 4 * ((std::uint64_t{1} << 51) - 1);
  Fe r;
  r.v[0] = a.v[0] + kFourP0 - b.v[0];
  for (std::size_t i = 1; i < 5; ++i) r.v[i] = a.v[i] + kFourPi - b.v[i];
  carry(r);
  return r;
}

Fe fe_mul(const Fe& a, const Fe& b) {
  const auto& x = a.v;
  const auto& y = b.v;
  const std::uint64_t y1 = 19 * y[1], y2 = 19 * y[2], y3 = 19 * y[3], y4 = 19 * y[4];
  u128 t0 = u128{x[0]} * y[0] + u128{x[1]} * y4 + u128{x[2]} * y3 + u128{x[3]} * y2 + u128{x[4]} * y1;
  u128 t1 = u128{x[0]} * y[1] + u128{x[1]} * y[0] + u128{x[2]} * y4 + u128{x[3]} * y3 + u128{x[4]} * y2;
  u128 t2 = u128{x[0]} * y[2] + u128{x[1]} * y[1] + u128{x[2]} * y[0] + u128{x[3]} * y4 + u128{x[4]} * y3;
  u128 t3 = u128{x[0]} * y[3] + u128{x[1]} * y[2] + u128{x[2]} * y[1] + u128{x[3]} * y[0] + u128{x[4]} * y4;
  u128 t4 = u128{x[0]} * y[4] + u128{x[1]} * y[3] + u128{x[2]} * y[2] + u128{x[3]} * y[1] + u128{x[4]} * y[0];
  Fe r;
  t1 += static_cast<std::uint64_t>(t0 >> 51);
  r.v[0] = static_cast<std::uint64_t>(t0) & kMask51;
  t2 += static_cast<std::uint64_t>(t1 >> 51);
  r.v[1] = static_cast<std::uint64_t>(t1) & kMask51;
  t3 += static_cast<std::uint64_t>(t2 >> 51);
  r.v[2] = static_cast<std::uint64_t>(t2) & kMask51;
  t4 += static_cast<std::uint64_t>(t3 >> 51);
  r.v[3] = static_cast<std::uint64_t>(t3) & kMask51;
  const u128 c = t4 >> 51;
  r.v[4] = static_cast<std::uint64_t>(t4) & kMask51;
  const u128 low = u128{r.v[0]} + c * 19;
  r.v[0] = static_cast<std::uint64_t>(low) & kMask51;
  r.v[1] += static_cast<std::uint64_t>(low >> 51);
  return r;
}

Fe fe_sq(const Fe& a) { return fe_mul(a, a); }

Fe fe_sq_n(Fe a, int n) {
  for (int i = 0; i < n; ++i) a = fe_sq(a);
  return a;
}

// The canonical representative, every limb below 2^51 and the value below p.
Fe fe_reduce(Fe f) {
  // Three passes leave every limb below 2^51 whatever the input limbs were.
  carry(f);
  carry(f);
  carry(f);
  // q = 1 exactly when f >= p.
  std::uint64_t q = (f.v[0] + 19) >> 51;
  for (std::size_t i = 1; i < 5; ++i) q = (f.v[i] + q) >> 51;
  f.v[0] += 19 * q;
  for (std::size_t i = 0; i < 4; ++i) {
    f.v[i + 1] += f.v[i] >> 51;
    f.v[i] &= kMask51;
  }
  f.v[4] &= kMask51;
  return f;
}

bool fe_equals_small(const Fe& f, std::uint64_t x) {
  const Fe r = fe_reduce(f);
  return r.v[0] == x && r.v[1] == 0 && r.v[2] == 0 && r.v[3] == 0 && r.v[4] == 0;
}

// z^(2^250 - 1) and z^11, the common stem of inversion and the Euler test.
struct PowStem {
  Fe z11;
  Fe z2_250_1;
};

PowStem pow_stem(const Fe& z) {
  const Fe z2 = fe_sq(z);
  const Fe z9 = fe_mul(fe_sq_n(z2, 2), z);
  const Fe z11 = fe_mul(z9, z2);
  const Fe z2_5 = fe_mul(fe_sq(z11), z9);             // 2^5 - 1
  const Fe z2_10 = fe_mul(fe_sq_n(z2_5, 5), z2_5);     // 2^10 - 1
  const Fe z2_20 = fe_mul(fe_sq_n(z2_10, 10), z2_10);  // 2^20 - 1
  const Fe z2_40 = fe_mul(fe_sq_n(z2_20, 20), z2_20);  // 2^40 - 1
  const Fe z2_50 = fe_mul(fe_sq_n(z2_40, 10), z2_10);  // 2^50 - 1
  const Fe z2_100 = fe_mul(fe_sq_n(z2_50, 50), z2_50); // 2^100 - 1
  const Fe z2_200 = fe_mul(fe_sq_n(z2_100, 100), z2_100);
  const Fe z2_250 = fe_mul(fe_sq_n(z2_200, 50), z2_50);
  return {z11, z2_250};
}

// z^(p - 2) = z^(2^255 - 21).
Fe fe_invert(const Fe& z) {
  const PowStem s = pow_stem(z);
  return fe_mul(fe_sq_n(s.z2_250_1, 5), s.z11);
}

// Euler's criterion: z^((p - 1) / 2) = z^(2^254 - 10) is 0, 1 or p - 1.
bool fe_is_square(const Fe& z) {
  const PowStem s = pow_stem(z);
  const Fe z4 = fe_sq_n(z, 2);
  const Fe z6 = fe_mul(z4, fe_sq(z));
  const Fe e = fe_mul(fe_sq_n(s.z2_250_1, 4), z6);
  return fe_equals_small(e, 0) || fe_equals_small(e, 1);
}

// d = -121665 / 121666, the curve constant.
const Fe& curve_d() {
  static const Fe d = fe_sub(fe_small(0), fe_mul(fe_small(121665), fe_invert(fe_small(121666))));
  return d;
}

}  // namespace

bool edwards_y_decompresses(std::span<const unsigned char, 32> encoded) {
  // x^2 = (y^2 - 1) / (d y^2 + 1). The denominator is never zero (-1/d is
  // not a square), so a root exists exactly when u * v is a square.
  const Fe y = fe_from_bytes(encoded);
  const Fe y2 = fe_sq(y);
  const Fe u = fe_sub(y2, fe_small(1));
  const Fe v = fe_add(fe_mul(curve_d(), y2), fe_small(1));
  return fe_is_square(fe_mul(u, v));
}

}  // namespace qv::crypto
