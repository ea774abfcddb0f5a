// Splitting a range of code points into sequences of byte ranges whose
// UTF-8 encodings are exactly that range. Internal to the regex component.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv::regex {

struct Utf8Range {
  std::uint8_t lo, hi;
};

struct Utf8Sequence {
  std::array<Utf8Range, 4> ranges;
  std::size_t len;
};

inline std::size_t encode_utf8(char32_t c, std::uint8_t* out) {
  if (c < 0x80) {
    out[0] = static_cast<std::uint8_t>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<std::uint8_t>(0xC0 | (c >> 6));
    out[1] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = static_cast<std::uint8_t>(0xE0 | (c >> 12));
    out[1] = static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F));
    out[2] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<std::uint8_t>(0xF0 | (c >> 18));
  out[1] = static_cast<std::uint8_t>(0x80 | ((c >> 12) & 0x3F));
  out[2] = static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F));
  out[3] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
  return 4;
}

// Calls f(const Utf8Sequence&) for each sequence of [lo, hi], in ascending
// byte order. Surrogates are skipped.
template <typename F>
void for_each_utf8_sequence(char32_t lo, char32_t hi, F&& f) {
  struct R {
    std::uint32_t start, end;
  };
  std::vector<R> stack{{lo, hi}};
  static constexpr std::uint32_t kMax[] = {0, 0x7F, 0x7FF, 0xFFFF, 0x10FFFF};
  while (!stack.empty()) {
    R r = stack.back();
    stack.pop_back();
    while (true) {
      if (r.start < 0xE000 && r.end > 0xD7FF) {
        stack.push_back({0xE000, r.end});
        r.end = 0xD7FF;
        continue;
      }
      if (r.start > r.end) break;
      bool split = false;
      for (int i = 1; i < 4; ++i) {
        const std::uint32_t max = kMax[i];
        if (r.start <= max && max < r.end) {
          stack.push_back({max + 1, r.end});
          r.end = max;
          split = true;
          break;
        }
      }
      if (split) continue;
      if (r.end <= 0x7F) {
        Utf8Sequence s{};
        s.ranges[0] = {static_cast<std::uint8_t>(r.start), static_cast<std::uint8_t>(r.end)};
        s.len = 1;
        f(s);
        break;
      }
      for (int i = 1; i < 4; ++i) {
        const std::uint32_t m = (1u << (6 * i)) - 1;
        if ((r.start & ~m) != (r.end & ~m)) {
          if ((r.start & m) != 0) {
            stack.push_back({(r.start | m) + 1, r.end});
            r.end = r.start | m;
            split = true;
            break;
          }
          if ((r.end & m) != m) {
            stack.push_back({r.end & ~m, r.end});
            r.end = (r.end & ~m) - 1;
            split = true;
            break;
          }
        }
      }
      if (split) continue;
      std::uint8_t a[4], b[4];
      const std::size_t n = encode_utf8(r.start, a);
      encode_utf8(r.end, b);
      Utf8Sequence s{};
      for (std::size_t i = 0; i < n; ++i) s.ranges[i] = {a[i], b[i]};
      s.len = n;
      f(s);
      break;
    }
  }
}

}  // namespace qv::regex
