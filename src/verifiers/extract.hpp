#pragma once
// Claim extraction: the normalised answer cut into numeric claims (one per
// real figure that is not a day of the month, a multiplier or a divisor),
// word claims (one per content word) and statement claims (one per
// sentence), ordered by span and numbered "c0", "c1", ...
#include <optional>
#include <string_view>
#include <vector>

#include "records/types.hpp"

namespace qv::verifiers {

// The claims of a normalised answer. The locale picks the numeral profile
// ("und" when it has none) and, by its exact two-byte text, the stop words;
// `with_units` is handed to quantity extraction unchanged. Never fails.
std::vector<records::Claim> extract_claims(std::string_view answer, std::string_view locale, bool with_units);

// The span [start, end) of `answer` with White_Space trimmed at both ends;
// none when nothing is left or what is left holds no alphabetic character.
// Offsets outside the text, or off character boundaries, give none.
std::optional<records::Span> claim_trimmed_span(std::string_view answer, std::size_t start, std::size_t end);

// Whether `word`, without its trailing full stops and lower-cased, is one of
// the month words (English, Spanish, Catalan, German, French).
bool is_month_word(std::string_view word);

// Whether the lower-cased `word` is a stop word of the list the locale text
// picks: "es", "ca", "gl" Spanish, "de" German, "fr" French, "it" Italian,
// anything else English.
bool is_stop_word(std::string_view lowered_word, std::string_view locale);

}  // namespace qv::verifiers
