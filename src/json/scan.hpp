#pragma once
// The byte scan shared by the string reader and the string writer: the
// first byte that needs care in a JSON string (a quote, a backslash or a
// control byte below 0x20), sixteen bytes at a time where SSE2 is there.
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qv::json::detail {

constexpr bool is_special_string_byte(unsigned char c) { return c < 0x20 || c == '"' || c == '\\'; }

// The offset of the first special byte in data[i, n), or n. `non_ascii` is
// set when a byte of 0x80 or above lies before that offset (it is never
// cleared).
#if defined(__SSE2__)
// The special bytes (mask) and the bytes of 0x80 and above (high) among 16.
struct ScanBlock {
  unsigned mask;
  unsigned high;
};
[[gnu::always_inline]] inline ScanBlock scan_block(const char* p) {
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i control_max = _mm_set1_epi8(0x1F);
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  // An unsigned byte is at most 0x1F when max(byte, 0x1F) is 0x1F.
  const __m128i special = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)),
                                       _mm_cmpeq_epi8(_mm_max_epu8(v, control_max), control_max));
  return {static_cast<unsigned>(_mm_movemask_epi8(special)), static_cast<unsigned>(_mm_movemask_epi8(v))};
}
// The offset of the first special byte of a block, or 16.
[[gnu::always_inline]] inline unsigned first_special(ScanBlock b, bool& non_ascii) {
  if (b.mask == 0) {
    if (b.high != 0) non_ascii = true;
    return 16;
  }
  const unsigned at = static_cast<unsigned>(__builtin_ctz(b.mask));
  if ((b.high & ((1u << at) - 1u)) != 0) non_ascii = true;
  return at;
}
#endif

[[gnu::always_inline]] inline std::size_t find_special_string_byte(const char* data, std::size_t i, std::size_t n, bool& non_ascii) {
#if defined(__SSE2__)
  while (n - i >= 16) {
    const unsigned at = first_special(scan_block(data + i), non_ascii);
    if (at < 16) return i + at;
    i += 16;
  }
  if (i == n) return n;
  if (n >= 16) {
    // The last 16 bytes of the range, the ones before `i` left out.
    const unsigned skip = static_cast<unsigned>(i - (n - 16));
    ScanBlock b = scan_block(data + n - 16);
    b.mask >>= skip;
    b.high >>= skip;
    const unsigned at = first_special(b, non_ascii);
    return at < 16 ? i + at : n;
  }
  // A short range: scanned in a copy padded with plain bytes.
  alignas(16) char padded[16] = {'a', 'a', 'a', 'a', 'a', 'a', 'a', 'a', 'a', 'a', 'a', 'a', 'a', 'a', 'a', 'a'};
  std::memcpy(padded, data + i, n - i);
  const unsigned at = first_special(scan_block(padded), non_ascii);
  return at < 16 ? i + at : n;
#else
  for (; i < n; ++i) {
    const auto c = static_cast<unsigned char>(data[i]);
    if (is_special_string_byte(c)) return i;
    if (c >= 0x80) non_ascii = true;
  }
  return n;
#endif
}

}  // namespace qv::json::detail
