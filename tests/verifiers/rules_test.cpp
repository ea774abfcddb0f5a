// The rules verifier: which rule takes a claim, the findings' texts and
// order, and the once-per-request conditions against a plain per-claim
// evaluation on random rule sets.
#include "verifiers/rules.hpp"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

namespace qv::verifiers {
namespace {

using records::Claim;

Claim claim(std::string id, ClaimKind kind, std::string text, records::InsertionMap attributes = {}) {
  return Claim{std::move(id), kind, std::move(text), {}, std::move(attributes)};
}

VerificationContext context_of(std::vector<Claim> claims, std::string answer = "",
                               std::vector<std::string> sources = {}) {
  VerificationContext ctx;
  ctx.answer = std::move(answer);
  ctx.claims = std::move(claims);
  for (std::size_t i = 0; i < sources.size(); ++i) ctx.sources.push_back({"s" + std::to_string(i), sources[i], {}, {}});
  return ctx;
}

std::vector<Evidence> run_set(std::string_view rules_json, const VerificationContext& ctx) {
  auto set = read_rule_set(R"({"id":"house","version":"2","rules":)" + std::string(rules_json) + "}");
  return make_rules_verifier(set.value()).value()->run(ctx).value();
}

// "c0:rule/result c1:..." in the findings' order.
std::string outline(const std::vector<Evidence>& findings) {
  std::string out;
  for (const Evidence& e : findings) {
    out += (out.empty() ? "" : " ") + e.claim_id + ":" + e.receipt.notes.at(0).substr(5) + "/" +
           std::string(records::to_word(e.result));
  }
  return out;
}

const records::InsertionMap kKm = {{"canonical", "5000 m"}, {"dimension", "length"}, {"unit", "km"}};

TEST(RulesVerifier, IdentityAndFindingTexts) {
  auto set = read_rule_set(R"({"id":"house","version":"2","rules":[]})").value();
  auto v = make_rules_verifier(set).value();
  EXPECT_EQ(v->info().id, "quillaveen.rules.house");
  EXPECT_EQ(v->info().artefacts, (std::vector<records::TextPair>{{"ruleset", rule_set_digest(set).value()}}));

  const auto found = run_set(R"([{"id":"r1","emit":"contradicted"}])", context_of({claim("c0", ClaimKind::Word, "x")}));
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].verifier_version, "2");
  EXPECT_EQ(found[0].score, 0.0);
  EXPECT_EQ(found[0].rationale, "rule r1: ");
  EXPECT_EQ(found[0].receipt, (records::Receipt{{}, {}, {}, {"rule:r1"}}));
  const auto ok = run_set(R"([{"id":"ok","description":"all good","emit":"supported"}])",
                          context_of({claim("c0", ClaimKind::Word, "x")}));
  EXPECT_EQ(ok[0].rationale, "rule ok: all good");
  EXPECT_EQ(ok[0].score, 1.0);
}

TEST(RulesVerifier, FirstMatchingRuleUnlessAndScopes) {
  const auto ctx = context_of({claim("c0", ClaimKind::Numeric, "5 km", kKm),
                               claim("c1", ClaimKind::Numeric, "12", {{"dimension", "dimensionless"}}),
                               claim("c2", ClaimKind::Word, "road"), claim("c3", ClaimKind::Statement, "A road.")},
                              "The road is long", {"first passage", "the second mentions roads"});
  EXPECT_EQ(
      outline(run_set(
          R"([{"id":"n","scope":{"claim_kind":"numeric"},"emit":"contradicted"},{"id":"a","emit":"supported"}])", ctx)),
      "c0:n/contradicted c1:n/contradicted c2:a/supported c3:a/supported");
  // `unless` holding hands the claim on to the next rule.
  EXPECT_EQ(outline(run_set(
                R"([{"id":"a","when":{"text_matches":"o"},"unless":{"text_matches":"^road$"},"emit":"unsupported"},
                                {"id":"b","when":{"text_matches":"^r"},"emit":"supported"}])",
                ctx)),
            "c2:b/supported c3:a/unsupported");
  // "*" asks for presence only; other values are compared exactly.
  EXPECT_EQ(outline(run_set(R"([{"id":"d","scope":{"attribute":{"dimension":"*"}},"emit":"supported"}])", ctx)),
            "c0:d/supported c1:d/supported");
  EXPECT_EQ(outline(run_set(R"([{"id":"u","when":{"attribute":{"unit":"km"}},"emit":"supported"}])", ctx)),
            "c0:u/supported");
  EXPECT_EQ(outline(run_set(R"([{"id":"u","scope":{"attribute":{"unit":"KM"}},"emit":"supported"}])", ctx)), "");
  // Answer and source patterns: unanchored searches of the whole text.
  EXPECT_EQ(run_set(R"([{"id":"a","when":{"answer_matches":"long$"},"emit":"supported"}])", ctx).size(), 4u);
  EXPECT_EQ(run_set(R"([{"id":"a","when":{"answer_matches":"^long"},"emit":"supported"}])", ctx).size(), 0u);
  EXPECT_EQ(run_set(R"([{"id":"s","when":{"source_matches":"roads"},"emit":"supported"}])", ctx).size(), 4u);
  auto no_sources = ctx;
  no_sources.sources.clear();
  EXPECT_EQ(run_set(R"([{"id":"s","when":{"source_matches":""},"emit":"supported"}])", no_sources).size(), 0u);
}

// The plain reading: every part of every condition tested for every claim,
// patterns compiled afresh from the rule set's texts.
bool naive_attributes(const AttributeMap& want, const records::InsertionMap& have) {
  for (const auto& [k, v] : want) {
    const std::string* h = have.find(k);
    if (h == nullptr || (v != "*" && *h != v)) return false;
  }
  return true;
}
bool naive_holds(const Condition& c, const Claim& cl, const VerificationContext& ctx) {
  auto found = [](const std::string& p, const std::string& t) { return regex::Regex::compile(p)->find(t).has_value(); };
  if (c.text_matches && !found(*c.text_matches, cl.text)) return false;
  if (c.answer_matches && !found(*c.answer_matches, ctx.answer)) return false;
  if (c.source_matches && std::none_of(ctx.sources.begin(), ctx.sources.end(),
                                       [&](const records::Source& s) { return found(*c.source_matches, s.text); })) {
    return false;
  }
  return naive_attributes(c.attribute, cl.attributes);
}
std::string naive_outline(const RuleSet& set, const VerificationContext& ctx) {
  std::map<std::string, std::string> by_id;  // byte order of claim ids
  for (const Claim& cl : ctx.claims) {
    for (const Rule& r : set.rules) {
      if ((r.scope.claim_kind && *r.scope.claim_kind != cl.kind) ||
          !naive_attributes(r.scope.attribute, cl.attributes) || !naive_holds(r.when, cl, ctx) ||
          (r.unless && naive_holds(*r.unless, cl, ctx))) {
        continue;
      }
      by_id[cl.id] = r.id + "/" + std::string(to_word(r.emit));
      break;
    }
  }
  std::string out;
  for (const auto& [id, what] : by_id) out += (out.empty() ? "" : " ") + id + ":" + what;
  return out;
}

TEST(RulesVerifier, OncePerRequestConditionsAgreeWithPerClaimEvaluation) {
  std::mt19937 rng(18);
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
  const std::vector<std::string> patterns = {"a", "^b", "c$", "(?i)D", "\\d", "xyz", "road", "^$", "e|f"};
  const std::vector<std::string> texts = {"a", "bad", "cdc", "Dome", "x1", "a road", "ef", "nothing here", ""};
  auto maybe = [&]() -> std::optional<std::string> {
    if (pick(3) == 0) return patterns[pick(patterns.size())];
    return std::nullopt;
  };
  auto condition = [&] {
    Condition c{maybe(), maybe(), maybe(), {}};
    if (pick(4) == 0) c.attribute = {{"k", pick(2) ? "*" : "v"}};
    return c;
  };
  std::size_t compared = 0, findings = 0;
  for (; compared < 400; ++compared) {
    RuleSet set{"r", "1", {}};
    for (std::size_t i = 0, n = pick(6); i < n; ++i) {
      Rule r;
      r.id = "r" + std::to_string(i);
      r.when = condition();
      r.emit = static_cast<RuleEmit>(pick(3));
      if (pick(3) == 0) r.scope.claim_kind = static_cast<ClaimKind>(pick(6));
      if (pick(4) == 0) r.scope.attribute = {{"k", "*"}};
      if (pick(2) == 0) r.unless = condition();
      set.rules.push_back(std::move(r));
    }
    std::vector<Claim> claims;
    for (std::size_t i = 0, n = pick(14); i < n; ++i) {
      records::InsertionMap attrs;
      if (pick(2) == 0) attrs.insert_or_assign("k", pick(2) ? "v" : "w");
      claims.push_back(
          claim("c" + std::to_string(i), static_cast<ClaimKind>(pick(6)), texts[pick(texts.size())], attrs));
    }
    std::vector<std::string> sources(pick(3));
    for (std::string& s : sources) s = texts[pick(texts.size())];
    const auto ctx = context_of(std::move(claims), texts[pick(texts.size())], sources);
    const auto found = make_rules_verifier(set).value()->run(ctx).value();
    ASSERT_EQ(outline(found), naive_outline(set, ctx)) << "round " << compared;
    findings += found.size();
  }
  EXPECT_EQ(compared, 400u);
  EXPECT_GT(findings, 400u);  // rules that fire are well exercised
}

}  // namespace
}  // namespace qv::verifiers
