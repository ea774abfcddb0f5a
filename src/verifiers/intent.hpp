#pragma once
// The intent verifier: does the answer give the kind of figure the question
// asks for (a percentage, a count, an amount) in the unit it names?
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "verifiers/figures.hpp"

namespace qv::verifiers {

enum class AskedKind : std::uint8_t { Percent, Amount, Count };
// "percent", "amount", "count".
std::string_view asked_kind_name(AskedKind kind);
// "a percentage", "an amount", "a count".
std::string_view asked_kind_description(AskedKind kind);

// What the question asks for by its signal words: percent is tried first,
// then count, then amount; none when no signal matches.
std::optional<AskedKind> classify_question(std::string_view question);

// The words of a text: maximal runs of letters, digits, alphabetic and
// numeric characters and the signs $ £ € ¥.
std::vector<std::string_view> question_tokens(std::string_view text);

// "a bare number", "a percentage", "an amount in {code}", "a {name}".
std::string describe_figure_kind(const FigureUnit& unit);
// The currency code, or the dimension's name.
std::string describe_dimension(const FigureUnit& unit);

// id quillaveen.intent, version "1.1.0", symbolic, exact, numeric.
VerifierInfo intent_verifier_info();

class IntentVerifier final : public FigureVerifier {
 public:
  explicit IntentVerifier(const FigureReader& figures) : FigureVerifier(intent_verifier_info(), figures) {}
  // Zero or one finding, on the answer's last numeric claim that is not a
  // year; InvalidInput "unknown locale {}" when the question asks for
  // something and the locale names no profile.
  core::Result<std::vector<Evidence>> run(const VerificationContext& context) const override;
};

}  // namespace qv::verifiers
