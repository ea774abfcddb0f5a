#pragma once
// The byte scan shared by the string reader and the string writer: the
// first byte that needs care in a JSON string (a quote, a backslash or a
// control byte below 0x20), sixteen bytes at a time where SSE2 is there.
#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qv::json::detail {

constexpr bool is_special_string_byte(unsigned char c) { return c < 0x20 || c == '"' || c == '\\'; }

// The offset of the first special byte in data[i, n), or n. `non_ascii` is
// set when a byte of 0x80 or above lies before that offset (it is never
// cleared).
inline std::size_t find_special_string_byte(const char* data, std::size_t i, std::size_t n, bool& non_ascii) {
#if defined(__SSE2__)
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i control_max = _mm_set1_epi8(0x1F);
  while (n - i >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    // An unsigned byte is at most 0x1F when max(byte, 0x1F) is 0x1F.
    const __m128i special = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)),
                                         _mm_cmpeq_epi8(_mm_max_epu8(v, control_max), control_max));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(special));
    const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(v));
    if (mask != 0) {
      const unsigned at = static_cast<unsigned>(__builtin_ctz(mask));
      if ((high & ((1u << at) - 1u)) != 0) non_ascii = true;
      return i + at;
    }
    if (high != 0) non_ascii = true;
    i += 16;
  }
#endif
  for (; i < n; ++i) {
    const auto c = static_cast<unsigned char>(data[i]);
    if (is_special_string_byte(c)) return i;
    if (c >= 0x80) non_ascii = true;
  }
  return n;
}

}  // namespace qv::json::detail
