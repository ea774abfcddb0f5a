#include "unicode/well_formed.hpp"

#include "unicode/detail/utf8.hpp"

namespace qv::unicode {

bool is_well_formed_utf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    const detail::Decoded d = detail::decode_at(bytes, i);
    if (!d.valid) return false;
    i += d.length;
  }
  return true;
}

std::string replace_ill_formed_utf8(std::string_view bytes) {
  if (is_well_formed_utf8(bytes)) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size() + 8);
  for (std::size_t i = 0; i < bytes.size();) {
    const detail::Decoded d = detail::decode_at(bytes, i);
    if (d.valid) {
      out.append(bytes.substr(i, d.length));
    } else {
      detail::append_utf8(out, detail::kReplacement);
    }
    i += d.length;
  }
  return out;
}

}  // namespace qv::unicode
