// A rule set read, compiled and run on a small request. The input is the
// rule-set text, then optionally a NUL byte and the answer text (which also
// serves as the one source and the question). Nothing may crash; a set that
// reads has a digest; the findings name known claims, at most one each, in id
// order, and a second run gives the same list. The scope and intent
// verifiers then run on the same request.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "verifiers/intent.hpp"
#include "verifiers/numeric_figures.hpp"
#include "verifiers/rules.hpp"
#include "verifiers/scope.hpp"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = input.find('\0');
  const std::string_view set_text = input.substr(0, cut);
  const std::string answer(cut == std::string_view::npos ? std::string_view("Revenue rose 12% to 450 in Paris.")
                                                         : input.substr(cut + 1));

  auto set = qv::verifiers::read_rule_set(set_text);
  if (!set) {
    check(set.error().display().starts_with("invalid input: rule set: "));
    return 0;
  }
  check(qv::verifiers::rule_set_digest(*set).value().size() == 71);
  auto verifier = qv::verifiers::make_rules_verifier(*set);
  if (!verifier) {
    check(verifier.error().message().starts_with("bad regex "));
    return 0;
  }

  qv::records::VerificationContext ctx;
  ctx.answer = answer;
  ctx.locale = "en";
  ctx.sources.push_back({"s0", answer, std::nullopt, {{"company", "ACME"}}});
  const std::pair<qv::core::ClaimKind, std::string_view> pieces[] = {{qv::core::ClaimKind::Numeric, "12%"},
                                                                     {qv::core::ClaimKind::Word, "Paris"},
                                                                     {qv::core::ClaimKind::Statement, answer},
                                                                     {qv::core::ClaimKind::Word, ""}};
  for (std::size_t i = 0; i < std::size(pieces); ++i) {
    qv::records::Claim c;
    c.id = "c" + std::to_string(i);
    c.kind = pieces[i].first;
    c.text = std::string(pieces[i].second);
    if (c.kind == qv::core::ClaimKind::Numeric) c.attributes = {{"dimension", "percent"}, {"unit", "%"}};
    ctx.claims.push_back(std::move(c));
  }

  auto found = (*verifier)->run(ctx);
  check(found.has_value());
  std::set<std::string> seen;
  for (std::size_t i = 0; i < found->size(); ++i) {
    const auto& e = (*found)[i];
    check(e.claim_id.size() == 2 && e.claim_id[0] == 'c' && e.claim_id[1] >= '0' && e.claim_id[1] <= '3');
    check(seen.insert(e.claim_id).second);
    check(i == 0 || (*found)[i - 1].claim_id < e.claim_id);
    check(e.receipt.notes.size() == 1 && e.receipt.notes[0].starts_with("rule:"));
  }
  check((*verifier)->run(ctx).value() == *found);

  // The scope and intent verifiers on the same request, the answer also
  // serving as the question.
  ctx.scope = {{"company", "ACME"}};
  ctx.question = answer;
  const qv::verifiers::ScopeVerifier scope(qv::verifiers::numeric_figures());
  const qv::verifiers::IntentVerifier intent(qv::verifiers::numeric_figures());
  for (const qv::verifiers::Verifier* v :
       {static_cast<const qv::verifiers::Verifier*>(&scope), static_cast<const qv::verifiers::Verifier*>(&intent)}) {
    auto other = v->run(ctx);
    check(other.has_value() && other->size() <= ctx.claims.size());
  }
  return 0;
}
