#include "crypto/hex.hpp"

#include <array>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qv::crypto {

namespace {

// 0..15 for a hex digit of either case, 0xff otherwise.
constexpr std::array<unsigned char, 256> kDigitValue = [] {
  std::array<unsigned char, 256> t{};
  for (auto& v : t) v = 0xff;
  for (int c = '0'; c <= '9'; ++c) t[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c - '0');
  for (int c = 'a'; c <= 'f'; ++c) t[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c - 'a' + 10);
  for (int c = 'A'; c <= 'F'; ++c) t[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c - 'A' + 10);
  return t;
}();

#if defined(__SSE2__)
// Sixteen hex digits of either case to their values, and a mask with a bit
// set for each byte that is not a hex digit.
inline __m128i digit_values(__m128i v, unsigned& bad) {
  const __m128i digit = _mm_sub_epi8(v, _mm_set1_epi8('0'));
  const __m128i letter = _mm_sub_epi8(_mm_or_si128(v, _mm_set1_epi8(0x20)), _mm_set1_epi8('a'));
  // Unsigned x <= limit when min(x, limit) == x.
  const __m128i is_digit = _mm_cmpeq_epi8(_mm_min_epu8(digit, _mm_set1_epi8(9)), digit);
  const __m128i is_letter = _mm_cmpeq_epi8(_mm_min_epu8(letter, _mm_set1_epi8(5)), letter);
  bad |= ~static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(is_digit, is_letter))) & 0xffffu;
  return _mm_or_si128(_mm_and_si128(is_digit, digit),
                      _mm_and_si128(is_letter, _mm_add_epi8(letter, _mm_set1_epi8(10))));
}

// Sixteen values of pairs of digits: the first of each pair (the low byte
// of each 16-bit lane) is the high nibble.
inline __m128i pair_bytes(__m128i values) {
  const __m128i high = _mm_slli_epi16(_mm_and_si128(values, _mm_set1_epi16(0x00ff)), 4);
  return _mm_or_si128(high, _mm_srli_epi16(values, 8));
}
#endif

// Decodes text (even length, 2 * out.size() digits) into out. The digits
// are decoded without a test each (32 at a time where SSE2 is there); a
// non-digit shows in the or of them all, and is then looked for from the
// start.
std::expected<void, HexError> decode_pairs(std::string_view text, unsigned char* out) {
  unsigned bad = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  for (; text.size() - i >= 32; i += 32) {
    const __m128i a = digit_values(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i)), bad);
    const __m128i b = digit_values(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i + 16)), bad);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i / 2), _mm_packus_epi16(pair_bytes(a), pair_bytes(b)));
  }
  bad = bad != 0 ? 0xf0 : 0;
#endif
  for (; i + 1 < text.size(); i += 2) {
    const unsigned h = kDigitValue[static_cast<unsigned char>(text[i])];
    const unsigned l = kDigitValue[static_cast<unsigned char>(text[i + 1])];
    bad |= h | l;
    out[i / 2] = static_cast<unsigned char>((h << 4) | l);
  }
  if ((bad & 0xf0) == 0) return {};
  for (std::size_t k = 0; k < text.size(); ++k) {
    const auto c = static_cast<unsigned char>(text[k]);
    if (kDigitValue[c] == 0xff) return std::unexpected(HexError{HexError::Kind::InvalidCharacter, c, k});
  }
  return {};
}

}  // namespace

void write_hex(std::span<const unsigned char> bytes, char* out) {
  static constexpr char kDigits[] = "0123456789abcdef";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    out[2 * i] = kDigits[bytes[i] >> 4];
    out[2 * i + 1] = kDigits[bytes[i] & 0x0f];
  }
}

std::string hex_encode(std::span<const unsigned char> bytes) {
  std::string out(bytes.size() * 2, '\0');
  write_hex(bytes, out.data());
  return out;
}

std::expected<std::vector<unsigned char>, HexError> decode_hex(std::string_view text) {
  if (text.size() % 2 != 0) return std::unexpected(HexError{HexError::Kind::OddLength, 0, 0});
  std::vector<unsigned char> out(text.size() / 2);
  if (auto r = decode_pairs(text, out.data()); !r) return std::unexpected(r.error());
  return out;
}

std::expected<void, HexError> decode_hex_into(std::string_view text, std::span<unsigned char> out) {
  if (text.size() % 2 != 0) return std::unexpected(HexError{HexError::Kind::OddLength, 0, 0});
  if (text.size() / 2 != out.size()) return std::unexpected(HexError{HexError::Kind::InvalidLength, 0, 0});
  return decode_pairs(text, out.data());
}

std::string latin1_char_literal(unsigned char byte) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out = "'";
  switch (byte) {
    case 0x00: out += "\\0"; break;
    case '\t': out += "\\t"; break;
    case '\n': out += "\\n"; break;
    case '\r': out += "\\r"; break;
    case '\'': out += "\\'"; break;
    case '\\': out += "\\\\"; break;
    default:
      if (byte >= 0x20 && byte < 0x7f) {
        out += static_cast<char>(byte);
      } else if (byte >= 0xa1 && byte != 0xad) {
        // A printable Latin-1 letter or sign, as its two-byte UTF-8 form.
        out += static_cast<char>(0xc0 | (byte >> 6));
        out += static_cast<char>(0x80 | (byte & 0x3f));
      } else {
        // Controls (C0, DEL, C1), the no-break space and the soft hyphen.
        out += "\\u{";
        if (byte >= 0x10) out += kDigits[byte >> 4];
        out += kDigits[byte & 0x0f];
        out += '}';
      }
  }
  out += '\'';
  return out;
}

std::string HexError::display() const {
  switch (kind) {
    case Kind::OddLength: return "Odd number of digits";
    case Kind::InvalidLength: return "Invalid string length";
    case Kind::InvalidCharacter:
      return "Invalid character " + latin1_char_literal(byte) + " at position " + std::to_string(position);
  }
  return {};
}

}  // namespace qv::crypto
