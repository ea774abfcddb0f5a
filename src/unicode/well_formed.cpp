#include "unicode/well_formed.hpp"

#include "core/utf8.hpp"

namespace qv::unicode {

bool is_well_formed_utf8(std::string_view bytes) { return core::is_valid_utf8(bytes); }

std::string replace_ill_formed_utf8(std::string_view bytes) {
  if (is_well_formed_utf8(bytes)) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size() + 8);
  for (std::size_t i = 0; i < bytes.size();) {
    const core::Utf8Step d = core::utf8_step(bytes, i);
    if (d.valid) {
      out.append(bytes.substr(i, d.length));
    } else {
      core::append_utf8(out, core::kReplacementCharacter);
    }
    i += d.length;
  }
  return out;
}

}  // namespace qv::unicode
