#pragma once
#include <cstddef>
#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qv::crypto {

// Lower-case hex of `bytes`.
std::string hex_encode(std::span<const unsigned char> bytes);
// The same written at `out`, which has room for 2 * bytes.size() characters.
void write_hex(std::span<const unsigned char> bytes, char* out);

// Why a hex text could not be decoded. The display texts are part of the
// module's interface:
//   OddLength         "Odd number of digits"
//   InvalidCharacter  "Invalid character {} at position {}" (the offending
//                     byte read as a Latin-1 code point, written as a quoted
//                     character literal, and its 0-based byte index)
//   InvalidLength     "Invalid string length" (a fixed-size decode got a text
//                     of another even length)
// The error never holds more of the input than that one byte.
struct HexError {
  enum class Kind { OddLength, InvalidCharacter, InvalidLength };
  Kind kind = Kind::OddLength;
  unsigned char byte = 0;     // InvalidCharacter only
  std::size_t position = 0;   // InvalidCharacter only

  std::string display() const;
  friend bool operator==(const HexError&, const HexError&) = default;
};

// Hex digits of either case to bytes. An odd length is reported before any
// character is looked at; otherwise the first non-digit is reported.
std::expected<std::vector<unsigned char>, HexError> decode_hex(std::string_view text);

// Decodes into exactly `out.size()` bytes: odd length first, then a length
// other than 2 * out.size() (InvalidLength), then the first bad character.
// On failure `out` may be partly written; callers decoding secrets pass a
// buffer that wipes itself.
std::expected<void, HexError> decode_hex_into(std::string_view text, std::span<unsigned char> out);

// A character literal for one byte taken as a Latin-1 code point: 'z',
// '\'', '\\', '\t', '\0', '\u{1}', '\u{7f}', '\u{a0}', 'Ã'. Printable
// characters stand for themselves (in UTF-8); controls, U+00A0 and U+00AD
// are escaped. The result is always valid UTF-8.
std::string latin1_char_literal(unsigned char byte);

}  // namespace qv::crypto
