// The rules verifier: which rule takes a claim, the findings' texts and
// order, and the once-per-request conditions against a plain per-claim
// evaluation.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "verifiers/rules.hpp"

namespace qv::verifiers {
namespace {

using records::Claim;
using records::EvidenceResult;

Claim claim(std::string id, ClaimKind kind, std::string text, records::InsertionMap attributes = {}) {
  Claim c;
  c.id = std::move(id);
  c.kind = kind;
  c.text = std::move(text);
  c.attributes = std::move(attributes);
  return c;
}

VerificationContext context_of(std::vector<Claim> claims, std::string answer = "",
                               std::vector<std::string> sources = {}) {
  VerificationContext ctx;
  ctx.answer = std::move(answer);
  ctx.claims = std::move(claims);
  for (std::size_t i = 0; i < sources.size(); ++i) ctx.sources.push_back({"s" + std::to_string(i), sources[i], {}, {}});
  ctx.locale = "en";
  return ctx;
}

std::vector<Evidence> run_set(std::string_view rules_json, const VerificationContext& ctx) {
  const std::string text = R"({"id":"house","version":"2","rules":)" + std::string(rules_json) + "}";
  auto set = read_rule_set(text);
  EXPECT_TRUE(set.has_value()) << set.error().display();
  auto v = make_rules_verifier(*set);
  EXPECT_TRUE(v.has_value());
  auto found = (*v)->run(ctx);
  EXPECT_TRUE(found.has_value());
  return *found;
}

// claim id -> result word, in the findings' order.
std::vector<std::pair<std::string, std::string>> outline(const std::vector<Evidence>& findings) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const Evidence& e : findings) out.emplace_back(e.claim_id, std::string(records::to_word(e.result)));
  return out;
}

const records::InsertionMap kKm = {{"canonical", "5000 m"}, {"dimension", "length"}, {"unit", "km"}};

TEST(RulesVerifier, InfoAndFindingTexts) {
  auto set = read_rule_set(R"({"id":"house","version":"2","rules":[{"id":"r1","emit":"contradicted"}]})").value();
  auto v = make_rules_verifier(set).value();
  const VerifierInfo& info = v->info();
  EXPECT_EQ(info.id, "quillaveen.rules.house");
  EXPECT_EQ(info.version, "2");
  EXPECT_EQ(info.kind, records::VerifierKind::Symbolic);
  EXPECT_EQ(info.determinism, records::Determinism::exact());
  EXPECT_EQ(info.applies_to.size(), 6u);
  ASSERT_EQ(info.artefacts.size(), 1u);
  EXPECT_EQ(info.artefacts[0].first, "ruleset");
  EXPECT_EQ(info.artefacts[0].second, rule_set_digest(set).value());
  EXPECT_FALSE(info.needs_network);

  const auto found = run_set(R"([{"id":"r1","emit":"contradicted"},{"id":"r2","description":"fine","emit":"supported"}])",
                             context_of({claim("c0", ClaimKind::Word, "Paris")}));
  ASSERT_EQ(found.size(), 1u);
  const Evidence& e = found[0];
  EXPECT_EQ(e.verifier_id, "quillaveen.rules.house");
  EXPECT_EQ(e.verifier_version, "2");
  EXPECT_EQ(e.result, EvidenceResult::Contradicted);
  EXPECT_EQ(e.score, 0.0);
  EXPECT_EQ(e.confidence, 1.0);
  EXPECT_EQ(e.rationale, "rule r1: ");
  EXPECT_EQ(e.receipt.notes, std::vector<std::string>{"rule:r1"});
  EXPECT_FALSE(e.receipt.source_id || e.receipt.source_span || e.receipt.source_text || e.model_hash || e.calibration_id);

  const auto described = run_set(R"([{"id":"ok","description":"all good","emit":"supported"}])",
                                 context_of({claim("c0", ClaimKind::Word, "Paris")}));
  EXPECT_EQ(described[0].rationale, "rule ok: all good");
  EXPECT_EQ(described[0].score, 1.0);
}

TEST(RulesVerifier, FirstMatchingRuleWinsAndUnlessPassesOn) {
  const auto ctx = context_of({claim("c0", ClaimKind::Numeric, "5 km", kKm), claim("c1", ClaimKind::Word, "road"),
                               claim("c2", ClaimKind::Statement, "The road is 5 km long.")});
  EXPECT_EQ(outline(run_set(R"([{"id":"n","scope":{"claim_kind":"numeric"},"emit":"contradicted"},
                                {"id":"any","emit":"supported"}])",
                            ctx)),
            (std::vector<std::pair<std::string, std::string>>{
                {"c0", "contradicted"}, {"c1", "supported"}, {"c2", "supported"}}));
  // `unless` holding hands the claim to the next rule; a claim no rule takes
  // gets nothing.
  EXPECT_EQ(outline(run_set(R"([{"id":"a","when":{"text_matches":"o"},"unless":{"text_matches":"^road$"},"emit":"unsupported"},
                                {"id":"b","when":{"text_matches":"^r"},"emit":"supported"}])",
                            ctx)),
            (std::vector<std::pair<std::string, std::string>>{{"c1", "supported"}, {"c2", "unsupported"}}));
}

TEST(RulesVerifier, AttributeScopesAndConditions) {
  const auto ctx = context_of({claim("c0", ClaimKind::Numeric, "5 km", kKm),
                               claim("c1", ClaimKind::Numeric, "12", {{"canonical", "12"}, {"dimension", "dimensionless"}}),
                               claim("c2", ClaimKind::Word, "road")});
  // "*" asks for presence: every numeric claim, no word claim.
  EXPECT_EQ(run_set(R"([{"id":"d","scope":{"attribute":{"dimension":"*"}},"emit":"supported"}])", ctx).size(), 2u);
  EXPECT_EQ(outline(run_set(R"([{"id":"u","scope":{"attribute":{"unit":"km"}},"emit":"supported"}])", ctx)),
            (std::vector<std::pair<std::string, std::string>>{{"c0", "supported"}}));
  EXPECT_EQ(outline(run_set(R"([{"id":"u","when":{"attribute":{"dimension":"dimensionless"}},"emit":"supported"}])", ctx)),
            (std::vector<std::pair<std::string, std::string>>{{"c1", "supported"}}));
  // Values are compared exactly.
  EXPECT_TRUE(run_set(R"([{"id":"u","scope":{"attribute":{"unit":"KM"}},"emit":"supported"}])", ctx).empty());
}

TEST(RulesVerifier, AnswerAndSourcePatterns) {
  auto ctx = context_of({claim("c0", ClaimKind::Word, "road"), claim("c1", ClaimKind::Word, "long")},
                        "The road is long", {"first passage", "the second mentions roads"});
  EXPECT_EQ(run_set(R"([{"id":"a","when":{"answer_matches":"long$"},"emit":"supported"}])", ctx).size(), 2u);
  EXPECT_TRUE(run_set(R"([{"id":"a","when":{"answer_matches":"^long"},"emit":"supported"}])", ctx).empty());
  EXPECT_EQ(run_set(R"([{"id":"s","when":{"source_matches":"roads"},"emit":"supported"}])", ctx).size(), 2u);
  EXPECT_TRUE(run_set(R"([{"id":"s","when":{"source_matches":"(?i)THIRD"},"emit":"supported"}])", ctx).empty());
  ctx.sources.clear();
  EXPECT_TRUE(run_set(R"([{"id":"s","when":{"source_matches":""},"emit":"supported"}])", ctx).empty());
}

TEST(RulesVerifier, FindingsInClaimIdByteOrder) {
  std::vector<Claim> claims;
  for (int i = 0; i < 12; ++i) claims.push_back(claim("c" + std::to_string(i), ClaimKind::Word, "w"));
  const auto found = run_set(R"([{"id":"all","emit":"supported"}])", context_of(claims));
  std::vector<std::string> ids;
  for (const Evidence& e : found) ids.push_back(e.claim_id);
  EXPECT_EQ(ids, (std::vector<std::string>{"c0", "c1", "c10", "c11", "c2", "c3", "c4", "c5", "c6", "c7", "c8", "c9"}));
  EXPECT_TRUE(run_set("[]", context_of(claims)).empty());
}

// The plain reading of the rules: every part of every condition tested for
// every claim, straight from the rule set's texts.
bool naive_attributes(const AttributeMap& want, const records::InsertionMap& have) {
  for (const auto& [k, v] : want) {
    const std::string* h = have.find(k);
    if (h == nullptr || (v != "*" && *h != v)) return false;
  }
  return true;
}
bool naive_holds(const Condition& c, const Claim& cl, const VerificationContext& ctx) {
  auto re = [](const std::string& p) { return regex::Regex::compile(p).value(); };
  if (c.text_matches && !re(*c.text_matches).find(cl.text)) return false;
  if (c.answer_matches && !re(*c.answer_matches).find(ctx.answer)) return false;
  if (c.source_matches) {
    bool any = false;
    for (const auto& s : ctx.sources) any = any || re(*c.source_matches).find(s.text).has_value();
    if (!any) return false;
  }
  return naive_attributes(c.attribute, cl.attributes);
}
std::vector<std::pair<std::string, std::string>> naive_outline(const RuleSet& set, const VerificationContext& ctx) {
  std::map<std::string, std::string> by_id;  // byte order of claim ids
  for (const Claim& cl : ctx.claims) {
    for (const Rule& r : set.rules) {
      if (r.scope.claim_kind && *r.scope.claim_kind != cl.kind) continue;
      if (!naive_attributes(r.scope.attribute, cl.attributes) || !naive_holds(r.when, cl, ctx)) continue;
      if (r.unless && naive_holds(*r.unless, cl, ctx)) continue;
      by_id[cl.id] = r.id + "/" + std::string(to_word(r.emit));
      break;
    }
  }
  return {by_id.begin(), by_id.end()};
}

TEST(RulesVerifier, OncePerRequestConditionsAgreeWithPerClaimEvaluation) {
  std::mt19937 rng(18);
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
  const std::vector<std::string> patterns = {"a", "^b", "c$", "(?i)D", "\\d", "xyz", "road", "^$", "e|f"};
  const std::vector<std::string> words = {"a", "bad", "cdc", "Dome", "x1", "road", "ef", "zz", ""};
  const std::vector<std::string> texts = {"a road", "bbb", "nothing here", "Dc", "12 e", ""};
  std::size_t compared = 0, findings = 0;
  for (int round = 0; round < 400; ++round) {
    auto maybe = [&]() -> std::optional<std::string> {
      if (pick(3) == 0) return patterns[pick(patterns.size())];
      return std::nullopt;
    };
    auto condition = [&] {
      Condition c{maybe(), maybe(), maybe(), {}};
      if (pick(4) == 0) c.attribute = {{"k", pick(2) ? "*" : "v"}};
      return c;
    };
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
      claims.push_back(claim("c" + std::to_string(i), static_cast<ClaimKind>(pick(6)), words[pick(words.size())], attrs));
    }
    std::vector<std::string> sources;
    for (std::size_t i = 0, n = pick(3); i < n; ++i) sources.push_back(texts[pick(texts.size())]);
    const auto ctx = context_of(std::move(claims), texts[pick(texts.size())], sources);

    auto v = make_rules_verifier(set);
    ASSERT_TRUE(v.has_value());
    const auto found = (*v)->run(ctx).value();
    std::vector<std::pair<std::string, std::string>> got;
    for (const Evidence& e : found) got.emplace_back(e.claim_id, e.receipt.notes.at(0).substr(5) + "/" + std::string(records::to_word(e.result)));
    ASSERT_EQ(got, naive_outline(set, ctx)) << "round " << round;
    ++compared;
    findings += found.size();
  }
  EXPECT_EQ(compared, 400u);
  EXPECT_GT(findings, 400u);  // the rounds exercise rules that fire
}

}  // namespace
}  // namespace qv::verifiers
