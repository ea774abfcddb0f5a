#pragma once
// Arbitrary-precision signed integers for checking 128-bit arithmetic
// against exact results. Slow and simple: sign and magnitude in 32-bit limbs.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "numeric/int128.hpp"

namespace qv::testing {

class BigInt {
 public:
  BigInt() = default;
  BigInt(numeric::i128 v) : negative_(v < 0) {  // NOLINT: implicit by design
    numeric::u128 m = numeric::magnitude(v);
    while (m != 0) {
      limbs_.push_back(static_cast<std::uint32_t>(m));
      m >>= 32;
    }
  }

  bool is_zero() const { return limbs_.empty(); }
  bool is_negative() const { return negative_; }

  // Whether the value lies in the signed 128-bit range.
  bool fits_i128() const {
    if (limbs_.size() < 4) return true;
    if (limbs_.size() > 4) return false;
    const bool top_clear = (limbs_[3] >> 31) == 0;
    if (top_clear) return true;
    // Only -2^127 has the top bit set and fits.
    return negative_ && limbs_[3] == 0x80000000u && limbs_[2] == 0 && limbs_[1] == 0 && limbs_[0] == 0;
  }

  friend BigInt operator-(BigInt a) {
    if (!a.is_zero()) a.negative_ = !a.negative_;
    return a;
  }
  friend BigInt operator+(const BigInt& a, const BigInt& b) {
    if (a.negative_ == b.negative_) return make(add_mag(a.limbs_, b.limbs_), a.negative_);
    const int c = cmp_mag(a.limbs_, b.limbs_);
    if (c == 0) return BigInt();
    return c > 0 ? make(sub_mag(a.limbs_, b.limbs_), a.negative_) : make(sub_mag(b.limbs_, a.limbs_), b.negative_);
  }
  friend BigInt operator-(const BigInt& a, const BigInt& b) { return a + (-b); }
  friend BigInt operator*(const BigInt& a, const BigInt& b) {
    std::vector<std::uint32_t> r(a.limbs_.size() + b.limbs_.size(), 0);
    for (std::size_t i = 0; i < a.limbs_.size(); ++i) {
      std::uint64_t carry = 0;
      for (std::size_t j = 0; j < b.limbs_.size(); ++j) {
        const std::uint64_t t = std::uint64_t{a.limbs_[i]} * b.limbs_[j] + r[i + j] + carry;
        r[i + j] = static_cast<std::uint32_t>(t);
        carry = t >> 32;
      }
      r[i + b.limbs_.size()] = static_cast<std::uint32_t>(carry);
    }
    return make(std::move(r), a.negative_ != b.negative_);
  }
  friend bool operator==(const BigInt& a, const BigInt& b) { return a.negative_ == b.negative_ && a.limbs_ == b.limbs_; }
  friend int compare(const BigInt& a, const BigInt& b) {
    if (a.negative_ != b.negative_) return a.negative_ ? -1 : 1;
    const int c = cmp_mag(a.limbs_, b.limbs_);
    return a.negative_ ? -c : c;
  }

 private:
  static BigInt make(std::vector<std::uint32_t> limbs, bool negative) {
    while (!limbs.empty() && limbs.back() == 0) limbs.pop_back();
    BigInt r;
    r.limbs_ = std::move(limbs);
    r.negative_ = negative && !r.limbs_.empty();
    return r;
  }
  static int cmp_mag(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    for (std::size_t i = a.size(); i-- > 0;) {
      if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    }
    return 0;
  }
  static std::vector<std::uint32_t> add_mag(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    std::vector<std::uint32_t> r(std::max(a.size(), b.size()) + 1, 0);
    std::uint64_t carry = 0;
    for (std::size_t i = 0; i + 1 < r.size(); ++i) {
      const std::uint64_t t = std::uint64_t{i < a.size() ? a[i] : 0u} + (i < b.size() ? b[i] : 0u) + carry;
      r[i] = static_cast<std::uint32_t>(t);
      carry = t >> 32;
    }
    r.back() = static_cast<std::uint32_t>(carry);
    return r;
  }
  static std::vector<std::uint32_t> sub_mag(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    std::vector<std::uint32_t> r(a.size(), 0);  // |a| >= |b|
    std::int64_t borrow = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
      std::int64_t t = std::int64_t{a[i]} - (i < b.size() ? b[i] : 0u) - borrow;
      borrow = t < 0 ? 1 : 0;
      if (t < 0) t += std::int64_t{1} << 32;
      r[i] = static_cast<std::uint32_t>(t);
    }
    return r;
  }

  std::vector<std::uint32_t> limbs_;  // least significant first, no leading zero limbs
  bool negative_ = false;
};

}  // namespace qv::testing
