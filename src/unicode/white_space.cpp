#include "unicode/white_space.hpp"

#include "core/utf8.hpp"

namespace qv::unicode {

std::string_view trim_start_white_space(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const core::Utf8Step d = core::utf8_step(text, i);
    if (!d.valid || !is_white_space(d.code_point)) break;
    i += d.length;
  }
  return text.substr(i);
}

std::string_view trim_end_white_space(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0) {
    const core::Utf8Step d = core::utf8_step_back(text, end);
    if (!d.valid || !is_white_space(d.code_point)) break;
    end -= d.length;
  }
  return text.substr(0, end);
}

std::string_view trim_white_space(std::string_view text) {
  return trim_end_white_space(trim_start_white_space(text));
}

bool is_blank(std::string_view text) { return trim_start_white_space(text).empty(); }

}  // namespace qv::unicode
