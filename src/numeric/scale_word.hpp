#pragma once
// Scale words: "4.5 million", "3 mil millones", "12 bn", "2 Milliarden".
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "numeric/locale.hpp"

namespace qv::numeric {

inline constexpr std::string_view kScaleWordForeignToLocale = "scale_word_foreign_to_locale";

struct ScaleWordRow {
  std::string_view word;
  std::uint32_t power;
  ScaleFamily family;
};

// The 27 scale words in the order they are tried; the first that matches
// wins. There is no "thousands", "billions", "trillions", "miles" or "Mio".
extern const std::array<ScaleWordRow, 27> kScaleWords;

struct ScaleMatch {
  std::size_t end = 0;       // just after the matched word
  std::uint32_t power = 0;   // of ten
  std::vector<std::string_view> notes;  // empty, or kScaleWordForeignToLocale
};

// The scale word that begins at byte `position` of `text` (a character
// boundary), or none. Words of three or more letters match in any case
// (full lower-casing), the short ones ("bn", "mn", "MM", "M", "k", "B")
// only as written; an inner space of a word also matches U+202F. The
// character after the word must not be a letter or digit. A word of the
// other scale convention than `locale_family` still matches, with the note.
std::optional<ScaleMatch> match_scale_word(std::string_view text, std::size_t position, ScaleFamily locale_family);

}  // namespace qv::numeric
