#include "verifiers/declared_scale.hpp"

#include <expected>
#include <string>
#include <utility>

#include "core/panic.hpp"
#include "numeric/scale_exceptions.hpp"
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

// The first context phrase that makes exceptions ("in millions, except per
// share data"): it scales no figure and declares its scale instead.
struct Found {
  std::size_t position;
  Declaration declaration;
};
std::optional<Found> first_context_with_exceptions(std::string_view text) {
  // A scale word's power is the same in either convention; only its notes,
  // dropped here, depend on the locale.
  const auto c = numeric::first_scale_context_with_exceptions(text, numeric::ScaleFamily::Any);
  if (!c) return std::nullopt;
  return Found{c->position, Declaration{c->power, true}};
}

// The first match of the declaration pattern, with its position.
std::optional<Found> first_table_declaration(std::string_view text) {
  const auto caps = declared_scale_regex().captures(text);
  if (!caps || !(*caps)[0]) return std::nullopt;
  std::optional<regex::Match> word;
  for (std::size_t g = 1; g < caps->size() && !word; ++g) word = (*caps)[g];
  if (!word || word->end > text.size() || word->start > word->end) return std::nullopt;
  // Lower-casing, not folding: a long s (U+017F) that the pattern let through
  // stays a long s here and names no scale.
  const std::string lowered = unicode::to_lowercase(text.substr(word->start, word->end - word->start));
  for (const DeclaredScaleWord& w : kDeclaredScaleWords) {
    if (lowered == w.word) {
      return Found{(*caps)[0]->start, Declaration{w.power, numeric::ScaleExceptions(text).follow(word->end)}};
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<Declaration> declared_scale(std::string_view text) {
  const std::optional<Found> table = first_table_declaration(text);
  const std::optional<Found> context = first_context_with_exceptions(text);
  if (table && (!context || table->position < context->position)) return table->declaration;
  if (context) return context->declaration;
  return std::nullopt;
}

std::string_view declared_scale_name(std::uint32_t power) {
  for (const DeclaredScaleWord& w : kDeclaredScaleWords) {
    if (w.power == power) return w.word;
  }
  // The larger scales a context phrase can declare ("in trillion", "en
  // billones", "en trillones"), named in the short scale.
  if (power == 12) return "trillions";
  if (power == 18) return "quintillions";
  return {};
}

namespace {

std::vector<SourceFigure> find_figures(std::span<const records::Source> sources, const numeric::LocaleProfile& profile,
                                       bool with_units, std::vector<LoneFigure>* lone) {
  std::vector<SourceFigure> figures;
  std::vector<numeric::LoneDigit> digits;
  for (const records::Source& source : sources) {
    const std::optional<Declaration> declaration = declared_scale(source.text);
    const auto figure = [&](numeric::Quantity&& q) {
      return SourceFigure{std::move(q), declaration.has_value(), declaration.value_or(Declaration{}), source.id,
                          source.text};
    };
    const std::size_t before = figures.size();
    digits.clear();
    std::vector<numeric::Quantity> quantities =
        lone ? numeric::extract_quantities(source.text, profile, with_units, digits)
             : numeric::extract_quantities(source.text, profile, with_units);
    for (numeric::Quantity& q : quantities) figures.push_back(figure(std::move(q)));
    for (numeric::LoneDigit& d : digits) {
      // Only a scale makes a lone digit worth keeping: a context phrase's,
      // or its source's declaration.
      if (d.quantity.scale_power == 0 && !declaration) continue;
      lone->push_back(LoneFigure{figure(std::move(d.quantity)), before + d.figures_before});
    }
  }
  return figures;
}

}  // namespace

std::vector<SourceFigure> find_declared_scale(std::span<const records::Source> sources,
                                              const numeric::LocaleProfile& profile, bool with_units) {
  return find_figures(sources, profile, with_units, nullptr);
}

std::vector<SourceFigure> find_declared_scale(std::span<const records::Source> sources,
                                              const numeric::LocaleProfile& profile, bool with_units,
                                              std::vector<LoneFigure>& lone) {
  return find_figures(sources, profile, with_units, &lone);
}

}  // namespace qv::verifiers
