#pragma once
// The scale a source table declares once in its header ("(in thousands)",
// "($ in millions)", "USD in billions"), and the figures of every source
// handed out beside the declaration of their own source. The figures are
// never rescaled here: the numeric verifier applies a declaration only as a
// second chance.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "numeric/locale.hpp"
#include "numeric/quantity.hpp"
#include "records/types.hpp"

namespace qv::verifiers {

struct DeclaredScaleWord {
  std::string_view word;
  std::uint32_t power;
};
// The words a declaration names its scale with, lower-cased.
inline constexpr std::array<DeclaredScaleWord, 3> kDeclaredScaleWords = {{
    {"thousands", 3}, {"millions", 6}, {"billions", 9}}};

// A table's declaration of its scale: the power of ten it names (3, 6 or 9
// for the declaration pattern, any scale word's power for a context phrase)
// and whether it makes exceptions ("(in thousands, except per share
// data)"), for which rows its scale is then not known.
struct Declaration {
  std::uint32_t power = 0;
  bool with_exceptions = false;
  friend bool operator==(const Declaration&, const Declaration&) = default;
};

// The first declaration in `text`; none without one. Only the first counts.
// It makes exceptions when the word "except" (any case) follows its scale
// word before the declaration's closing parenthesis, or before the end of
// the line when no parenthesis closes it there. A context phrase that
// makes exceptions ("In millions, except per share data") scales no figure
// and is a declaration with exceptions, wherever it stands.
std::optional<Declaration> declared_scale(std::string_view text);

// The word of a declared power of ten ("thousands" for 3, "trillions" for
// 12); empty for a power no declaration names.
std::string_view declared_scale_name(std::uint32_t power);

// One figure of a source with its source's declaration. The source id and
// text are borrowed from the sources passed in; `quantity`'s offsets point
// into `source_text`.
struct SourceFigure {
  numeric::Quantity quantity;
  bool declared = false;
  Declaration declaration;  // meaningful only when declared
  std::string_view source_id;
  std::string_view source_text;
};

// The figures of every source, sources in order and, within one, in text
// order, each read with `extract_quantities(text, profile, with_units)`.
std::vector<SourceFigure> find_declared_scale(std::span<const records::Source> sources,
                                              const numeric::LocaleProfile& profile, bool with_units);

// A lone digit of a source (a table cell "| 3 |", which is no figure of its
// own) that a scale reaches: a context phrase's, or its source's
// declaration. `figures_before` is the number of source figures, in the
// order of all sources, that come before it.
struct LoneFigure {
  SourceFigure figure;
  std::size_t figures_before = 0;
};

// The same figures, and, apart, the lone digits a scale reaches.
std::vector<SourceFigure> find_declared_scale(std::span<const records::Source> sources,
                                              const numeric::LocaleProfile& profile, bool with_units,
                                              std::vector<LoneFigure>& lone);

}  // namespace qv::verifiers
