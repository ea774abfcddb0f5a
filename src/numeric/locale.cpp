#include "numeric/locale.hpp"

#include <string>

namespace qv::numeric {

const std::array<LocaleProfile, 10> kLocaleProfiles = {{
    {"und", std::nullopt, std::nullopt, ScaleFamily::Any},
    {"en", U'.', U',', ScaleFamily::English},
    {"es", U',', U'.', ScaleFamily::Continental},
    {"ca", U',', U'.', ScaleFamily::Continental},
    {"de", U',', U'.', ScaleFamily::Continental},
    {"fr", U',', U'\u202F', ScaleFamily::Continental},
    {"it", U',', U'.', ScaleFamily::Continental},
    {"pt", U',', U'.', ScaleFamily::Continental},
    {"nl", U',', U'.', ScaleFamily::Continental},
    {"ch", U'.', U'\'', ScaleFamily::Continental},
}};

std::optional<LocaleProfile> locale_profile(std::string_view tag) {
  if (tag.empty() || tag.size() > 3) return std::nullopt;
  std::string lowered(tag);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
  for (const LocaleProfile& p : kLocaleProfiles) {
    if (p.code == lowered) return p;
  }
  return std::nullopt;
}

}  // namespace qv::numeric
