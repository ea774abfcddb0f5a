#include "unicode/quote.hpp"

#include <unicode/uchar.h>

#include "core/utf8.hpp"

namespace qv::unicode {
namespace {

// A character is printable unless its general category is a control, format,
// surrogate, private-use or unassigned one, a line or paragraph separator, or
// a space separator other than U+0020.
bool is_printable(char32_t c) {
  if (c < 0x20) return false;
  if (c < 0x7F) return true;
  switch (u_charType(static_cast<UChar32>(c))) {
    case U_CONTROL_CHAR:
    case U_FORMAT_CHAR:
    case U_SURROGATE:
    case U_PRIVATE_USE_CHAR:
    case U_UNASSIGNED:
    case U_LINE_SEPARATOR:
    case U_PARAGRAPH_SEPARATOR:
    case U_SPACE_SEPARATOR:
      return false;
    default:
      return true;
  }
}

void append_hex_escape(std::string& out, char32_t c) {
  static constexpr char kDigits[] = "0123456789abcdef";
  char buf[8];
  int n = 0;
  do {
    buf[n++] = kDigits[c & 0xF];
    c >>= 4;
  } while (c != 0);
  out += "\\u{";
  while (n > 0) out.push_back(buf[--n]);
  out.push_back('}');
}

}  // namespace

std::string debug_quote(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() + 2);
  out.push_back('"');
  for (std::size_t i = 0; i < utf8.size();) {
    const core::Utf8Step d = core::utf8_step(utf8, i);
    const char32_t c = d.code_point;
    switch (c) {
      case U'\0': out += "\\0"; break;
      case U'\t': out += "\\t"; break;
      case U'\r': out += "\\r"; break;
      case U'\n': out += "\\n"; break;
      case U'\\': out += "\\\\"; break;
      case U'"': out += "\\\""; break;
      default:
        if (c >= 0x80 && u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_GRAPHEME_EXTEND)) {
          append_hex_escape(out, c);
        } else if (is_printable(c)) {
          if (d.valid) {
            out.append(utf8.substr(i, d.length));
          } else {
            core::append_utf8(out, c);
          }
        } else {
          append_hex_escape(out, c);
        }
    }
    i += d.length;
  }
  out.push_back('"');
  return out;
}

}  // namespace qv::unicode
