#include "verifiers/intent.hpp"

#include <array>
#include <mutex>
#include <utility>

#include "core/panic.hpp"
#include "core/utf8.hpp"
#include "regex/regex.hpp"
#include "unicode/case.hpp"
#include "unicode/properties.hpp"
#include "unicode/white_space.hpp"

namespace qv::verifiers {
namespace {

using records::Claim;
using records::EvidenceResult;

constexpr std::string_view kCountSignals =
    R"((?xi) \bhow\s+many\b | \bcu[aá]nt[oa]s\b | \bwie\s+viele\b | \bnumber\s+of\b)";
constexpr std::array<std::string_view, 9> kAmountSignals = {R"(\bhow\s+much\b)",
                                                            R"(\bin\s+(millions|thousands|billions)\b)",
                                                            R"(\btotal\b)",
                                                            R"(\bamount\b)",
                                                            R"(\bcu[aá]nto\b)",
                                                            R"(\bimporte\b)",
                                                            R"(\ben\s+(millones|miles)\b)",
                                                            R"(\bcombien\b)",
                                                            R"(\bwie\s+viel\b)"};
constexpr std::array<std::string_view, 16> kPercentSignals = {
    R"(%)",
    R"(\bpercent(age)?s?\b)",
    R"(\bportion\b)",
    R"(\bproportion\b)",
    R"(\bshare\s+of\b)",
    R"(\bratio\b)",
    R"(\b(growth|return|change|decline|increase|decrease)\s+rate\b)",
    R"(\brate\s+of\s+(growth|change|return)\b)",
    R"(\bporcentaje\b)",
    R"(\bpor\s+ciento\b)",
    R"(\bproporci[oó]n\b)",
    R"(\bpercentatge\b)",
    R"(\bpourcentage\b)",
    R"(\bprozent)",
    R"(\bpercentuale\b)",
    R"(\bpercentagem\b)"};

template <std::size_t N>
std::string verbose_alternatives(const std::array<std::string_view, N>& alternatives) {
  std::string pattern = "(?xi)";
  for (std::size_t i = 0; i < N; ++i) {
    if (i != 0) pattern += " | ";
    pattern += alternatives[i];
  }
  return pattern;
}

// A fixed pattern compiled once per process on first use; a failure is a
// broken build and stops the call with the pattern's name.
struct SignalPattern {
  std::once_flag once;
  std::optional<regex::Regex> compiled;
  const regex::Regex& get(const std::string& pattern, std::string_view name) {
    std::call_once(once, [&] {
      auto re = regex::Regex::compile(pattern);
      if (re) compiled = std::move(*re);
    });
    if (!compiled) core::panic(std::string(name));
    return *compiled;
  }
};

const regex::Regex& percent_signals() {
  static SignalPattern p;
  return p.get(verbose_alternatives(kPercentSignals), "percent signals");
}
const regex::Regex& count_signals() {
  static SignalPattern p;
  return p.get(std::string(kCountSignals), "count");
}
const regex::Regex& amount_signals() {
  static SignalPattern p;
  return p.get(verbose_alternatives(kAmountSignals), "amount signals");
}

bool is_token_char(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '$';
  return c == U'£' || c == U'€' || c == U'¥' || unicode::is_alphabetic(c) || unicode::is_numeric(c);
}

bool is_single_sign(std::string_view word) { return word == "$" || word == "£" || word == "¥" || word == "€"; }

bool is_introducing_word(std::string_view word) {
  return word == "in" || word == "en" || word == "of" || word == "de" || word == "measured";
}

std::size_t char_count(std::string_view text) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < text.size(); i += core::utf8_step(text, i).length) ++n;
  return n;
}

struct AskedUnit {
  std::string word;
  FigureUnit unit;
};

std::optional<AskedUnit> find_asked_unit(std::string_view question, const FigureReader& figures) {
  const std::string lowered = unicode::to_lowercase(question);
  const std::vector<std::string_view> words = question_tokens(lowered);
  for (std::size_t i = 0; i < words.size(); ++i) {
    bool introduced = false;
    for (std::size_t back = 1; back <= 3 && back <= i; ++back)
      introduced = introduced || is_introducing_word(words[i - back]);
    if (!introduced) continue;
    if (char_count(words[i]) < 2 && !is_single_sign(words[i])) continue;
    std::optional<FigureUnit> unit = figures.unit_of_word(words[i]);
    if (!unit || unit->kind == FigureDimension::Dimensionless || unit->kind == FigureDimension::Percent) {
      continue;
    }
    return AskedUnit{std::string(words[i]), std::move(*unit)};
  }
  return std::nullopt;
}

struct Issue {
  std::string rationale;
  std::string_view note;
};

std::optional<Issue> kind_issue(AskedKind kind, const Figure& figure, const Claim& claim) {
  const FigureDimension d = figure.unit.kind;
  bool agrees = false;
  if (kind == AskedKind::Percent) {
    agrees = d == FigureDimension::Percent || (d == FigureDimension::Dimensionless && figure.scale_power == 0);
  } else {
    agrees = d != FigureDimension::Percent;
  }
  if (agrees) return std::nullopt;
  return Issue{"the question asks for " + std::string(asked_kind_description(kind)) + "; the answer's figure " +
                   claim.text + " is " + describe_figure_kind(figure.unit),
               "intent_mismatch"};
}

std::optional<Issue> unit_issue(const std::optional<AskedKind>& kind, const AskedUnit& asked, const Figure& figure,
                                const Claim& claim) {
  const FigureUnit& d = figure.unit;
  const FigureUnit& a = asked.unit;
  if (d.kind == FigureDimension::Dimensionless) {
    return Issue{"the question asks for " + asked.word + "; the answer's figure " + claim.text + " has no unit",
                 "unit_missing"};
  }
  const std::string asks =
      "the question asks for " + asked.word + " (" + describe_dimension(a) + "); the answer's figure " + claim.text;
  if (kind != AskedKind::Percent && d.kind == FigureDimension::Percent) {
    return Issue{asks + " is a percentage", "unit_mismatch"};
  }
  // The same dimension (for currencies, the same code) agrees; a percentage
  // can reach here only when one was asked for.
  if (d == a || d.kind == FigureDimension::Percent) return std::nullopt;
  return Issue{asks + " is in " + describe_dimension(d), "unit_mismatch"};
}

}  // namespace

std::string_view asked_kind_name(AskedKind kind) {
  static constexpr std::array<std::string_view, 3> kNames = {"percent", "amount", "count"};
  return kNames[static_cast<std::size_t>(kind)];
}

std::string_view asked_kind_description(AskedKind kind) {
  static constexpr std::array<std::string_view, 3> kDescriptions = {"a percentage", "an amount", "a count"};
  return kDescriptions[static_cast<std::size_t>(kind)];
}

std::optional<AskedKind> classify_question(std::string_view question) {
  // In this order; a later pattern is compiled only when it is reached.
  if (percent_signals().is_match(question)) return AskedKind::Percent;
  if (count_signals().is_match(question)) return AskedKind::Count;
  if (amount_signals().is_match(question)) return AskedKind::Amount;
  return std::nullopt;
}

std::vector<std::string_view> question_tokens(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const core::Utf8Step step = core::utf8_step(text, i);
    if (!step.valid || !is_token_char(step.code_point)) {
      if (i > start) words.push_back(text.substr(start, i - start));
      start = i + step.length;
    }
    i += step.length;
  }
  if (i > start) words.push_back(text.substr(start, i - start));
  return words;
}

std::string describe_figure_kind(const FigureUnit& unit) {
  switch (unit.kind) {
    case FigureDimension::Dimensionless:
      return "a bare number";
    case FigureDimension::Percent:
      return "a percentage";
    case FigureDimension::Currency:
      return "an amount in " + unit.code;
    default:
      return "a " + std::string(dimension_name(unit.kind));
  }
}

std::string describe_dimension(const FigureUnit& unit) {
  if (unit.kind == FigureDimension::Currency) return unit.code;
  return std::string(dimension_name(unit.kind));
}

VerifierInfo intent_verifier_info() {
  return exact_verifier_info("quillaveen.intent", "1.1.0", records::VerifierKind::Symbolic, {ClaimKind::Numeric});
}

core::Result<std::vector<Evidence>> IntentVerifier::run(const VerificationContext& context) const {
  std::vector<Evidence> findings;
  if (!context.question || unicode::trim_white_space(*context.question).empty()) return findings;
  const std::string& question = *context.question;
  const std::optional<AskedKind> kind = classify_question(question);
  const std::optional<AskedUnit> asked = find_asked_unit(question, figures());
  if (!kind && !asked) return findings;
  if (!figures().knows_locale(context.locale)) {
    return std::unexpected(core::EngineError::invalid_input("unknown locale " + context.locale));
  }

  const Claim* judged = nullptr;
  std::optional<Figure> figure;
  for (auto it = context.claims.rbegin(); it != context.claims.rend() && judged == nullptr; ++it) {
    if (it->kind != ClaimKind::Numeric) continue;
    std::vector<Figure> read = figures().read(it->text, context.locale, true);
    if (read.empty() || read.front().year_like) continue;
    judged = &*it;
    figure = std::move(read.front());
  }
  if (judged == nullptr) return findings;

  std::vector<Issue> issues;
  if (kind) {
    if (auto issue = kind_issue(*kind, *figure, *judged)) issues.push_back(std::move(*issue));
  }
  if (asked) {
    if (auto issue = unit_issue(kind, *asked, *figure, *judged)) issues.push_back(std::move(*issue));
  }

  Evidence e;
  e.verifier_id = info().id;
  e.verifier_version = info().version;
  e.claim_id = judged->id;
  e.confidence = 1.0;
  e.determinism = records::Determinism::exact();
  for (const Issue& issue : issues) e.receipt.notes.emplace_back(issue.note);
  if (kind) e.receipt.notes.push_back("asked:" + std::string(asked_kind_name(*kind)));
  if (asked) e.receipt.notes.push_back("asked_unit:" + describe_dimension(asked->unit));
  if (issues.empty()) {
    e.result = EvidenceResult::Supported;
    e.score = 1.0;
    e.rationale = "the question asks for " +
                  std::string(kind ? asked_kind_description(*kind) : std::string_view("the unit asked for")) +
                  "; the answer's figure " + judged->text + " is " + describe_figure_kind(figure->unit);
  } else {
    e.result = EvidenceResult::Unsupported;
    e.score = 0.0;
    for (std::size_t i = 0; i < issues.size(); ++i) {
      if (i != 0) e.rationale += "; ";
      e.rationale += issues[i].rationale;
    }
  }
  findings.push_back(std::move(e));
  return findings;
}

}  // namespace qv::verifiers
