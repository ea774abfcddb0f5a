#include "unicode/white_space.hpp"

#include "unicode/detail/utf8.hpp"

namespace qv::unicode {

std::string_view trim_start_white_space(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const detail::Decoded d = detail::decode_at(text, i);
    if (!d.valid || !is_white_space(d.cp)) break;
    i += d.length;
  }
  return text.substr(i);
}

std::string_view trim_end_white_space(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0) {
    // Step back over at most three continuation bytes to a lead byte.
    std::size_t start = end - 1;
    while (start > 0 && end - start < 4 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
    const detail::Decoded d = detail::decode_at(text, start);
    if (!d.valid || start + d.length != end || !is_white_space(d.cp)) break;
    end = start;
  }
  return text.substr(0, end);
}

std::string_view trim_white_space(std::string_view text) {
  return trim_end_white_space(trim_start_white_space(text));
}

bool is_blank(std::string_view text) { return trim_start_white_space(text).empty(); }

}  // namespace qv::unicode
