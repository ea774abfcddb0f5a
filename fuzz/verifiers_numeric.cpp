// Hostile text as an answer, sources and a question, normalised as the
// engine normalises them before anything reads them: claim spans lie on
// character boundaries and hold their text, ids run from c0, the numeric
// verifier gives at most one finding per numeric claim with receipts inside
// their sources, the same findings on a second run, and its best-figure
// and declared-scale lookups (rounded, and equal in any reading) agree with
// trying figure by figure, as do its lookups of lone digits, and its
// shortcut past the search with a claim's sign turned skips only claims
// that search would not match to a figure or lone digit; and the search of
// derived figures' second chances, over operands standing for source
// figures, agrees with trying every candidate in order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "numeric/locale.hpp"
#include "text/normalize.hpp"
#include "verifiers/extract.hpp"
#include "verifiers/numeric.hpp"
#include "verifiers/numeric_derive_chances.hpp"
#include "verifiers/numeric_operands.hpp"
#include "verifiers/numeric_sources.hpp"

namespace {

constexpr std::string_view kLocales[] = {"und", "en", "es", "de", "fr", "it", "ch", "ES"};

bool on_boundary(std::string_view text, std::size_t at) {
  return at == text.size() || (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80);
}

// The operands a derivation run would take from source figures, each as
// the figure it stands for, some tainted; the answer's figures as targets.
// The indexed search of derived figures' chances agrees with trying every
// candidate in order, in the run and with its bare operands given a
// currency.
void derived_chances_agree(const std::vector<qv::verifiers::SourceFigure>& figures,
                           const qv::numeric::LocaleProfile& profile, std::string_view answer, bool units,
                           qv::core::RoundingRule rule, std::uint8_t flags) {
  qv::verifiers::DerivationRun run;
  for (std::size_t i = 0; i < figures.size() && run.operands.size() < 6; ++i) {
    auto op = qv::numeric::make_derivation_operand("s" + std::to_string(i), "t", figures[i].quantity);
    const auto written = qv::verifiers::numeric_detail::figure_writing(figures[i]);
    if (!op || !written) continue;
    run.add(std::move(*op), *written, static_cast<std::uint8_t>((flags >> (i % 8)) & 1 ? 2 : 0));
  }
  std::vector<qv::verifiers::DerivationTarget> targets;
  for (const auto& q : qv::numeric::extract_quantities(answer, profile, units)) {
    if (targets.size() == 3) break;
    const auto exact = qv::numeric::quantity_exact_value(q);
    const auto vm = qv::numeric::quantity_value_and_multiplier(q);
    if (!exact || !vm || q.readings.empty()) continue;
    qv::verifiers::DerivationTarget t;
    t.claim_id = "c" + std::to_string(targets.size());
    t.value = *exact;
    const auto unit = qv::numeric::pow10_fraction(-static_cast<std::int32_t>(q.readings.front().scale()));
    if (unit) t.step = qv::numeric::fraction_mul(*unit, vm->multiplier);
    t.dimension = q.unit.dimension;
    t.significant_digits = q.significant_digits;
    t.scale_power = q.scale_power;
    t.unit = qv::numeric::unit_ratio(q.unit.factor, q.unit.divisor);
    targets.push_back(std::move(t));
  }
  std::vector<qv::verifiers::DerivationRun> runs = qv::verifiers::numeric_detail::with_currency_given(run);
  runs.push_back(std::move(run));
  for (const auto& r : runs) {
    for (const bool tainted_only : {false, true}) {
      const auto a = qv::verifiers::first_chance_matches(r, targets, rule, tainted_only);
      const auto b = qv::verifiers::first_chance_matches_in_order(r, targets, rule, tainted_only);
      for (std::size_t t = 0; t < targets.size(); ++t) {
        for (std::size_t c = 0; c < a[t].size(); ++c) {
          if (a[t][c].has_value() != b[t][c].has_value()) std::abort();
          if (a[t][c] && (a[t][c]->match.position != b[t][c]->match.position ||
                          a[t][c]->match.kind != b[t][c]->match.kind || a[t][c]->taint != b[t][c]->taint)) {
            std::abort();
          }
        }
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t flags = data[0];
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  // Parts separated by a vertical bar: answer | source | source | question.
  std::vector<std::string> parts;
  for (std::size_t bar; (bar = rest.find('|')) != std::string_view::npos && parts.size() < 3;) {
    parts.emplace_back(rest.substr(0, bar));
    rest.remove_prefix(bar + 1);
  }
  parts.emplace_back(rest);

  qv::records::VerificationContext ctx;
  ctx.locale = std::string(kLocales[flags & 7]);
  ctx.answer = qv::text::normalize_text(parts[0]);
  for (std::size_t i = 1; i < parts.size() && i < 3; ++i) {
    ctx.sources.push_back({"s" + std::to_string(i), qv::text::normalize_text(parts[i]), std::nullopt, {}});
  }
  if (parts.size() == 4) ctx.question = qv::text::normalize_text(parts[3]);
  const bool units = (flags & 8) == 0;
  ctx.claims = qv::verifiers::extract_claims(ctx.answer, ctx.locale, units);
  std::size_t numeric = 0;
  for (std::size_t i = 0; i < ctx.claims.size(); ++i) {
    const auto& c = ctx.claims[i];
    if (c.id != "c" + std::to_string(i)) std::abort();
    if (c.span.start > c.span.end || c.span.end > ctx.answer.size()) std::abort();
    if (!on_boundary(ctx.answer, c.span.start) || !on_boundary(ctx.answer, c.span.end)) std::abort();
    if (ctx.answer.substr(c.span.start, c.span.end - c.span.start) != c.text) std::abort();
    numeric += c.kind == qv::records::ClaimKind::Numeric;
  }

  qv::records::NumericConfig options;
  options.units = units;
  options.derive = (flags & 16) == 0;
  options.matching.declared_precision = (flags & 32) != 0;
  options.matching.percent_as_fraction = (flags & 64) != 0;
  options.rounding = static_cast<qv::core::RoundingRule>((flags >> 6) % 3);
  const qv::verifiers::NumericVerifier verifier(options);
  const auto first = verifier.run(ctx);
  if (!first || first->size() > numeric) std::abort();
  for (const auto& e : *first) {
    if (!e.receipt.source_span) continue;
    const auto& span = *e.receipt.source_span;
    const auto& source = ctx.sources.at(std::stoul(e.receipt.source_id.value().substr(1)) - 1).text;
    if (span.start > span.end || span.end > source.size()) std::abort();
  }
  const auto second = verifier.run(ctx);
  if (!second || *second != *first) std::abort();

  const auto profile = *qv::numeric::locale_profile(ctx.locale).or_else([] { return qv::numeric::locale_profile("und"); });
  std::vector<qv::verifiers::LoneFigure> lone;
  const auto figures = qv::verifiers::find_declared_scale(ctx.sources, profile, units, lone);
  const qv::verifiers::SourceFigureIndex index(figures, options.matching, lone);
  for (const auto& q : qv::numeric::extract_quantities(ctx.answer, profile, units)) {
    const auto a = index.best(q);
    const auto b = qv::verifiers::best_figure_in_order(q, figures, options.matching);
    if (a.has_value() != b.has_value()) std::abort();
    if (a && (a->index != b->index || a->comparison.code != b->comparison.code ||
              a->agrees_only_as_written != b->agrees_only_as_written || a->as_written != b->as_written ||
              a->measured_under_scale != b->measured_under_scale ||
              a->comparison.distance.to_string() != b->comparison.distance.to_string())) {
      std::abort();
    }
    const auto exact = qv::numeric::quantity_exact_value(q);
    if (index.first_at_precision_under_declared_scale(q, exact) !=
        qv::verifiers::first_at_precision_under_declared_scale_in_order(q, exact, figures)) {
      std::abort();
    }
    if (index.first_equal_under_declared_scale(q) !=
        qv::verifiers::first_equal_under_declared_scale_in_order(q, figures)) {
      std::abort();
    }
    if (index.first_one_sided(q, true) != qv::verifiers::first_one_sided_in_order(q, figures, true) ||
        index.lone().first_equal_under_scale(q) != qv::verifiers::first_lone_equal_under_scale_in_order(q, lone) ||
        index.lone().first_copied(q) != qv::verifiers::first_lone_copied_in_order(q, lone)) {
      std::abort();
    }
    // A claim whose turned sign matches a figure, where the claim itself
    // matches none, is one the index lets through to that search.
    using qv::verifiers::matches_some_figure_in_order;
    if (matches_some_figure_in_order(qv::verifiers::with_sign_turned(q), figures, options.matching, lone) &&
        !index.may_agree_with_sign_turned(q) && !matches_some_figure_in_order(q, figures, options.matching, lone)) {
      std::abort();
    }
  }
  derived_chances_agree(figures, profile, ctx.answer, units, options.rounding, flags);
  return 0;
}
