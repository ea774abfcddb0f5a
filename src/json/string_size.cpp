#include "json/string_size.hpp"

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qv::json {

namespace {

// The backslashes, quotes and letters u among 64 bytes, one bit a byte.
struct Block {
  std::uint64_t backslash = 0, quote = 0, u = 0;
};

Block block_at(const char* p) {
  Block b;
#if defined(__SSE2__)
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i u = _mm_set1_epi8('u');
  const auto bits = [](__m128i v, __m128i c, int k) {
    return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, c)))) << (16 * k);
  };
  for (int k = 0; k < 4; ++k) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    b.backslash |= bits(v, backslash, k);
    b.quote |= bits(v, quote, k);
    b.u |= bits(v, u, k);
  }
#else
  for (int k = 0; k < 64; ++k) {
    const std::uint64_t bit = std::uint64_t{1} << k;
    if (p[k] == '\\') b.backslash |= bit;
    if (p[k] == '"') b.quote |= bit;
    if (p[k] == 'u') b.u |= bit;
  }
#endif
  return b;
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(c | 0x20);
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

}  // namespace

std::optional<std::size_t> decoded_string_size(std::string_view text, std::size_t i) {
  constexpr std::uint64_t kEven = 0x5555555555555555u;  // the bits at even offsets
  const char* data = text.data();
  const std::size_t n = text.size();
  const std::size_t begin = i;
  // In a run of backslashes each pair is one escape, and a run of odd
  // length escapes the byte after it. A run of L backslashes is thus
  // ceil(L / 2) escapes: half of L and of the byte it escapes, if any.
  std::size_t backslashes = 0;
  std::size_t escaped = 0;       // bytes after a run of odd length
  std::size_t saved_by_u = 0;    // what a \u takes beyond the backslash's one byte
  std::uint64_t odd_before = 0;  // 1 when the block before ended in a run of odd length
  for (; i < n; i += 64) {
    Block b;
    if (n - i >= 64) {
      b = block_at(data + i);
    } else {
      char padded[64];
      std::memset(padded, 'a', sizeof padded);
      std::memcpy(padded, data + i, n - i);
      b = block_at(padded);
    }
    // The bytes escaped by a run of odd length, found by adding the runs'
    // first bits to the runs: the carry runs past the run's end, and the
    // parity of where it starts and ends tells the run's length.
    const std::uint64_t bs = b.backslash;
    const std::uint64_t starts = bs & ~(bs << 1);
    const std::uint64_t even_start_mask = kEven ^ odd_before;
    const std::uint64_t even_carries = bs + (starts & even_start_mask);
    std::uint64_t odd_carries = 0;
    const bool carry_out = __builtin_add_overflow(bs, starts & ~even_start_mask, &odd_carries);
    odd_carries |= odd_before;
    odd_before = carry_out ? 1 : 0;
    const std::uint64_t odd_ends = (even_carries & ~bs & ~kEven) | (odd_carries & ~bs & kEven);

    const std::uint64_t closing = b.quote & ~odd_ends;
    const std::uint64_t within = closing != 0 ? (closing & (0 - closing)) - 1 : ~std::uint64_t{0};
    backslashes += static_cast<std::size_t>(std::popcount(bs & within));
    escaped += static_cast<std::size_t>(std::popcount(odd_ends & within));
    for (std::uint64_t us = b.u & odd_ends & within; us != 0; us &= us - 1) {
      const std::size_t at = i + static_cast<std::size_t>(std::countr_zero(us));
      if (n - at < 5) return std::nullopt;
      int unit = 0;
      for (std::size_t k = 1; k < 5; ++k) {
        const int h = hex_value(data[at + k]);
        if (h < 0) return std::nullopt;
        unit = unit * 16 + h;
      }
      // Six bytes for one, two or three of UTF-8; a leading surrogate
      // counts one, which with the three of its trailing one makes the
      // four of the character the pair encodes.
      saved_by_u += unit < 0x80 || (unit >= 0xD800 && unit < 0xDC00) ? 4 : unit < 0x800 ? 3 : 2;
    }
    if (closing != 0) {
      const std::size_t end = i + static_cast<std::size_t>(std::countr_zero(closing));
      return end - begin - (backslashes + escaped) / 2 - saved_by_u;
    }
  }
  return std::nullopt;
}

}  // namespace qv::json
