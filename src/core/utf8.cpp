#include "core/utf8.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qv::core {

std::size_t valid_utf8_length(std::string_view text, std::size_t pos) {
  if (pos >= text.size()) return 0;
  const Utf8Step step = utf8_step(text, pos);
  return step.valid ? step.length : 0;
}

std::optional<DecodedChar> decode_utf8(std::string_view text, std::size_t pos) {
  if (pos >= text.size()) return std::nullopt;
  const Utf8Step step = utf8_step(text, pos);
  if (!step.valid) return std::nullopt;
  return DecodedChar{step.code_point, step.length};
}

Utf8Step utf8_step_back(std::string_view text, std::size_t end) {
  std::size_t start = end - 1;
  while (start > 0 && end - start < 4 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
  const Utf8Step step = utf8_step(text, start);
  if (start + step.length != end) return {kReplacementCharacter, 1, false};
  return step;
}

std::size_t first_invalid_utf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
#if defined(__SSE2__)
    // Runs of ASCII passed over sixteen bytes at a time, up to the first
    // byte of 0x80 or above.
    if (text.size() - i >= 16) {
      const auto high = static_cast<unsigned>(
          _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i))));
      if (high == 0) {
        i += 16;
        continue;
      }
      i += static_cast<unsigned>(__builtin_ctz(high));
    }
#endif
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    const std::size_t n = valid_utf8_length(text, i);
    if (n == 0) return i;
    i += n;
  }
  return text.size();
}

void append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace qv::core
