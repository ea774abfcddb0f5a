#pragma once
// Copying the short runs that most texts the writers build are made of
// (keys, words, numbers, short strings): two overlapping moves instead of a
// library call.
#include <cstddef>
#include <cstring>

namespace qv::core {

// Copies n bytes, for W <= n <= 2W: the first W and the last W (which may
// overlap), both read before either is written.
template <std::size_t W>
[[gnu::always_inline]] inline void copy_ends(char* to, const char* from, std::size_t n) {
  char a[W];
  char b[W];
  std::memcpy(a, from, W);
  std::memcpy(b, from + n - W, W);
  std::memcpy(to, a, W);
  std::memcpy(to + n - W, b, W);
}

// Copies n bytes, reading and writing no others.
[[gnu::always_inline]] inline void copy_bytes(char* to, const char* from, std::size_t n) {
  if (n >= 8) {
    if (n <= 16) {
      copy_ends<8>(to, from, n);
    } else if (n <= 32) {
      copy_ends<16>(to, from, n);
    } else {
      std::memcpy(to, from, n);
    }
  } else if (n >= 4) {
    copy_ends<4>(to, from, n);
  } else if (n > 0) {
    const char first = from[0];
    const char middle = from[n / 2];
    const char last = from[n - 1];
    to[0] = first;
    to[n / 2] = middle;
    to[n - 1] = last;
  }
}

}  // namespace qv::core
