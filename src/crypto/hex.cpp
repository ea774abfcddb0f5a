#include "crypto/hex.hpp"

#include <array>

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

// Decodes text (even length, 2 * out.size() digits) into out. The digits
// are decoded without a test each; a non-digit (0xff in the table) shows in
// the or of them all, and is then looked for from the start.
std::expected<void, HexError> decode_pairs(std::string_view text, unsigned char* out) {
  unsigned bad = 0;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
    const unsigned h = kDigitValue[static_cast<unsigned char>(text[i])];
    const unsigned l = kDigitValue[static_cast<unsigned char>(text[i + 1])];
    bad |= h | l;
    out[i / 2] = static_cast<unsigned char>((h << 4) | l);
  }
  if ((bad & 0xf0) == 0) return {};
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (kDigitValue[c] == 0xff) return std::unexpected(HexError{HexError::Kind::InvalidCharacter, c, i});
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
