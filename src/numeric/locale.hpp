#pragma once
// Locale profiles: which characters separate decimals and groups in a
// language's numerals, and which scale convention its scale words follow.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace qv::numeric {

// The scale convention of a locale and of a scale word: short scale
// (billion = 10^9), long scale (billón = 10^12) or no preference.
enum class ScaleFamily : std::uint8_t { English = 0, Continental = 1, Any = 2 };

struct LocaleProfile {
  std::string_view code;
  std::optional<char32_t> decimal;  // none: undetermined, numerals read both ways
  std::optional<char32_t> group;
  ScaleFamily family = ScaleFamily::Any;
};

// The ten profiles, in table order: und, en, es, ca, de, fr, it, pt, nl, ch.
extern const std::array<LocaleProfile, 10> kLocaleProfiles;

// The profile of a bare language tag, ASCII letters in any case ("EN",
// "Und"); none for the empty tag, region or script subtags ("en-US") and
// languages without a profile.
std::optional<LocaleProfile> locale_profile(std::string_view tag);

}  // namespace qv::numeric
