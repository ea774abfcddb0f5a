#include "verifiers/declared_scale.hpp"

#include <expected>
#include <string>
#include <utility>

#include "core/panic.hpp"
#include "regex/regex.hpp"
#include "unicode/case.hpp"

namespace qv::verifiers {

namespace {

constexpr std::string_view kDeclaredScalePattern =
    "(?i)\\(\\s*(?:\\$|€|£|dollars|usd|eur|euros?)?\\s*in\\s+(thousands|millions|billions)\\b"
    "|\\b(?:dollars|usd|euros?)\\s+in\\s+(thousands|millions|billions)\\b";

const regex::Regex& declared_scale_regex() {
  static const regex::Regex compiled = [] {
    auto r = regex::Regex::compile(kDeclaredScalePattern);
    if (!r) core::panic("declared scale");
    return std::move(*r);
  }();
  return compiled;
}

const regex::Regex& except_regex() {
  static const regex::Regex compiled = [] {
    auto r = regex::Regex::compile("(?i)\\bexcept\\b");
    if (!r) core::panic("declared scale exceptions");
    return std::move(*r);
  }();
  return compiled;
}

// Whether the declaration whose scale word ends at `from` makes exceptions:
// "except" before the first closing parenthesis or line end after it.
bool makes_exceptions(std::string_view text, std::size_t from) {
  const std::size_t end = text.find_first_of(")\n\r", from);
  return except_regex().is_match(text.substr(from, end == std::string_view::npos ? end : end - from));
}

}  // namespace

std::optional<Declaration> declared_scale(std::string_view text) {
  const auto caps = declared_scale_regex().captures(text);
  if (!caps) return std::nullopt;
  std::optional<regex::Match> word;
  for (std::size_t g = 1; g < caps->size() && !word; ++g) word = (*caps)[g];
  if (!word || word->end > text.size() || word->start > word->end) return std::nullopt;
  // Lower-casing, not folding: a long s (U+017F) that the pattern let through
  // stays a long s here and names no scale.
  const std::string lowered = unicode::to_lowercase(text.substr(word->start, word->end - word->start));
  for (const DeclaredScaleWord& w : kDeclaredScaleWords) {
    if (lowered == w.word) return Declaration{w.power, makes_exceptions(text, word->end)};
  }
  return std::nullopt;
}

std::string_view declared_scale_name(std::uint32_t power) {
  for (const DeclaredScaleWord& w : kDeclaredScaleWords) {
    if (w.power == power) return w.word;
  }
  return {};
}

std::vector<SourceFigure> find_declared_scale(std::span<const records::Source> sources,
                                              const numeric::LocaleProfile& profile, bool with_units) {
  std::vector<SourceFigure> figures;
  for (const records::Source& source : sources) {
    const std::optional<Declaration> declaration = declared_scale(source.text);
    for (numeric::Quantity& q : numeric::extract_quantities(source.text, profile, with_units)) {
      figures.push_back(SourceFigure{std::move(q), declaration.has_value(), declaration.value_or(Declaration{}),
                                     source.id, source.text});
    }
  }
  return figures;
}

}  // namespace qv::verifiers
