// The policy hash and the resolved policy YAML: the hash ignores how a
// policy is written, and the resolved text reads back as the same policy.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "core/utf8.hpp"
#include "engine/policy.hpp"

namespace qv::engine {
namespace {

std::string hash_of(std::string_view text) {
  auto p = parse_policy(text);
  EXPECT_TRUE(p.has_value()) << (p ? "" : p.error().display());
  if (!p) return {};
  auto h = compute_policy_hash(*p);
  EXPECT_TRUE(h.has_value());
  return h ? *h : std::string{};
}

TEST(PolicyHash, StableUnderKeyOrderCommentsAndListStyle) {
  const std::string a = hash_of(
      "id: a\nversion: b\nverifiers: {required: [x, y], forbidden: [z]}\n"
      "decision: {conflicts: FAIL, unsupported_from: [], any_contradiction_from: []}\n");
  EXPECT_TRUE(a.starts_with("sha256:") && a.size() == 71u);
  EXPECT_EQ(a, hash_of("# a comment\ndecision:\n  any_contradiction_from: []\n  conflicts: FAIL\n"
                       "verifiers:\n  forbidden:\n  - z\n  required:\n    - x\n    - y\n  optional: []\n"
                       "version: \"b\"\nid: 'a'\n"));
  EXPECT_NE(a, hash_of("id: a\nversion: b\nverifiers: {required: [y, x], forbidden: [z]}\n"
                       "decision: {conflicts: FAIL}\n"));
  // Restating inherited values changes nothing; `extends` is a member.
  const std::string child = hash_of("id: c\nversion: v\nextends: quillaveen_default_v1\n");
  std::string restated(default_policy_text());
  restated.replace(restated.find("quillaveen_default_v1"), 21, "c").replace(restated.find("1.5.0"), 5, "v");
  EXPECT_NE(child, hash_of(restated));
  EXPECT_EQ(child, hash_of(restated + "extends: quillaveen_default_v1\n"));
  EXPECT_NE(hash_of("id: a\nversion: b\nrounding: half_up\n"), hash_of("id: a\nversion: b\nrounding: HALF_UP\n"));
}

// The resolved text of the default policy, as the YAML writer lays it out.
constexpr std::string_view kResolvedDefaultBody =
    "id: quillaveen_default_v1\n"
    "version: 1.5.0\n"
    "description: |\n"
    "  Numeric claims must be exactly supported by the sources. A numeric contradiction fails the answer, and so "
    "does a figure taken from a passage outside the request's scope. A figure the sources do not contain, and the "
    "answer cannot recompute from figures they do, goes to review, and so does an answer whose figure is not the "
    "kind or unit the question asked for, and any claim no deterministic verifier can resolve. No model is needed "
    "and no generative verifier decides.\n"
    "verifiers:\n  required:\n  - quillaveen.numeric\n  recommended:\n  - quillaveen.scope\n  - quillaveen.intent\n"
    "  - quillaveen.rules.*\n  optional: []\n  fallback: []\n  forbidden:\n  - llm_judge.*\n"
    "determinism:\n  minimum_to_decide: reproducible\n"
    "decision:\n  any_contradiction_from:\n  - quillaveen.numeric\n  - quillaveen.scope\n  - quillaveen.rules.*\n"
    "  unsupported_from:\n  - quillaveen.numeric\n  - quillaveen.scope\n  - quillaveen.intent\n"
    "  unresolved_claims: REVIEW\n  conflicts: REVIEW\n  tolerate_unresolved_kinds:\n  - word\n  - statement\n"
    "  tolerate_notes:\n  - year_not_in_sources\n"
    "regulatory_mapping: []\n";

TEST(ResolvedPolicy, DefaultPolicyLayoutAndHeader) {
  const auto text = resolve_policy_text("\tquillaveen_default_v1 ");
  ASSERT_TRUE(text);
  const std::string hash = hash_of(default_policy_text());
  EXPECT_EQ(*text, "# quillaveen_default_v1 v1.5.0\n# hash: " + hash + "\n" + std::string(kResolvedDefaultBody));
  EXPECT_EQ(resolve_policy_text("").error().display(), "invalid input: policy: EOF while parsing a value");

  // An empty list the form leaves out stays out when nothing is inherited.
  const auto small = resolve_policy_text("id: a\nversion: '2'\ndecision: {unsupported_from: [], tolerate_notes: []}\n");
  ASSERT_TRUE(small);
  EXPECT_THAT(*small, ::testing::HasSubstr("version: '2'\ndescription: ''\nverifiers:\n"));
  EXPECT_THAT(*small, ::testing::HasSubstr("decision:\n  any_contradiction_from: []\n  unresolved_claims: REVIEW\n"
                                           "  conflicts: REVIEW\n  tolerate_unresolved_kinds: []\n"
                                           "regulatory_mapping: []\n"));
}

TEST(ResolvedPolicy, ListsEmptiedAgainstTheBaselineAreWrittenAndReadBack) {
  const std::string child =
      "id: mine\nversion: v\nextends: quillaveen_default_v1\n"
      "decision: {unsupported_from: [], tolerate_notes: []}\n";
  const auto text = resolve_policy_text(child);
  ASSERT_TRUE(text);
  EXPECT_THAT(*text, ::testing::HasSubstr("  unsupported_from: []\n"));
  EXPECT_THAT(*text, ::testing::HasSubstr("  tolerate_notes: []\n"));
  const auto back = parse_policy(*text);
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->decision.unsupported_from.empty());
  EXPECT_TRUE(back->decision.tolerate_notes.empty());
  EXPECT_EQ(*back, *parse_policy(child));
  EXPECT_EQ(*compute_policy_hash(*back), hash_of(child));
}

TEST(ResolvedPolicy, LineBreaksInIdOrVersionStayInsideTheHeaderComments) {
  const std::string policy = "id: \"a\\nb\\rc\"\nversion: \"1\\x85\\u2028\\u2029\\x01\\x7f2\"\n";
  const auto text = resolve_policy_text(policy);
  ASSERT_TRUE(text);
  EXPECT_TRUE(text->starts_with("# a b c v1     2\n# hash: " + hash_of(policy) + "\nid: \"a\\nb\\rc\"\n")) << *text;
  const auto back = parse_policy(*text);
  ASSERT_TRUE(back) << back.error().display();
  EXPECT_EQ(back->id, "a\nb\rc");
  EXPECT_EQ(back->version, "1\u0085\u2028\u2029\x01\x7f" "2");
}

// ---------------------------------------------------------------------------
// Generated policies: resolve, read the text back, compare.

// Random policy texts whose keys come in random order, with texts that YAML
// writers must quote, fold or escape, and lists that are often empty.
class Generator {
 public:
  explicit Generator(unsigned seed) : rng_(seed) {}

  std::string policy() {
    std::vector<std::string> parts = {"id: " + text(), "version: " + text()};
    if (pick(2)) parts.push_back(pick(2) ? "extends: quillaveen_default_v1" : "extends: eu_ai_act_high_risk_v1");
    for (const char* key : {"description", "pass_means", "locale", "rounding"}) {
      if (pick(3) == 0) parts.push_back(std::string(key) + ": " + (pick(4) == 0 ? "~" : text()));
    }
    if (pick(3) == 0) parts.push_back("scope: {required: " + list() + ", missing_scope: " + decision() + "}");
    if (pick(3) == 0) {
      parts.push_back("risk_classes: {default: " + text() + ", routine: " + list() + ", mandatory_review: " +
                      list() + "}");
    }
    if (pick(3) == 0) parts.push_back("judge: {required: " + std::string(pick(2) ? "true" : "False") + "}");
    parts.push_back("verifiers: {" + keys({"required", "recommended", "optional", "fallback", "forbidden"}) + "}");
    if (pick(3) == 0) parts.push_back("determinism: {minimum_to_decide: 'any'}");
    if (pick(4) != 0) {
      parts.push_back("decision: {" + keys({"any_contradiction_from", "unsupported_from", "tolerate_notes"}) +
                      "unresolved_claims: " + decision() + ", tolerate_unresolved_kinds: [numeric, \"word\"]}");
    }
    if (pick(3) == 0) {
      std::string r = "regulatory_mapping: [";
      for (unsigned i = pick(3); i > 0; --i) {
        r += "{framework: " + text() + ", article: " + text() + ", control: " + text() + ", requirement: " +
             text() + ", triggered_by: [" + decision() + "]},";
      }
      parts.push_back(r + "]");
    }
    std::shuffle(parts.begin(), parts.end(), rng_);
    std::string out;
    for (const auto& p : parts) out += p + "\n";
    return out;
  }

 private:
  unsigned pick(unsigned n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(rng_); }
  std::string decision() { return pick(2) ? "REVIEW" : "'FAIL'"; }
  // A text from the pool, double-quoted with escapes, or plain when plain
  // still reads as text (a bare number comes back in its number form).
  std::string text() {
    static const std::vector<std::string> pool = {
        "plain", "1.10", "2", "true", "null", "~", "", " lead", "trail ", "a: b", "#x", "x #y", "multi\nline",
        "end\n", "\n\nx\n\n", "tab\there", "caf\u00e9", "a\u2028b", "x\u0085y", "007", "- dash", "[x]", "'q'",
        "\"dq\"", "0x1F", ".inf", "1e3", "sp  ace ", "\u00a0nbsp", "\r", "k:", "\u200d", "a\\b", "\x01\x7f"};
    const std::string& s = pool[pick(static_cast<unsigned>(pool.size()))];
    if (pick(2) && (s == "1.10" || s == "2" || s == "true" || s == "plain")) return s;
    std::string out = "\"";
    for (std::size_t i = 0; i < s.size();) {
      const auto step = core::utf8_step(s, i);
      const char32_t c = step.code_point;
      if (c < 0x20 || c == '"' || c == '\\' || c == 0x7F || c == 0x85 || c == 0x2028) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
        out += buf;
      } else {
        out.append(s, i, step.length);
      }
      i += step.length;
    }
    return out + "\"";
  }
  std::string list() {
    std::string out = "[";
    for (unsigned i = pick(3); i > 0; --i) out += text() + ", ";
    return out + "]";
  }
  // Some of the keys, each with a list.
  std::string keys(std::initializer_list<const char*> names) {
    std::string out;
    for (const char* k : names) {
      if (pick(3) != 0) out += std::string(k) + ": " + list() + ", ";
    }
    return out;
  }

  std::mt19937 rng_;
};

TEST(ResolvedPolicy, GeneratedPoliciesReadBackWithTheSameHash) {
  Generator gen(20260101);
  int compared = 0, emptied_against_base = 0;
  for (int n = 0; n < 400; ++n) {
    const std::string text = gen.policy();
    const auto policy = parse_policy(text);
    ASSERT_TRUE(policy) << text << "\n" << policy.error().display();
    const auto resolved = resolve_policy_text(text);
    ASSERT_TRUE(resolved) << text;
    // The header is two comment lines whatever the id and version hold.
    const std::size_t first = resolved->find('\n');
    const std::size_t second = resolved->find('\n', first + 1);
    ASSERT_NE(second, std::string::npos);
    EXPECT_TRUE(resolved->substr(first + 1).starts_with("# hash: sha256:")) << *resolved;
    EXPECT_TRUE(resolved->substr(second + 1).starts_with("id:")) << *resolved;

    const auto back = parse_policy(*resolved);
    ASSERT_TRUE(back) << text << "\n---\n" << *resolved << "\n" << back.error().display();
    EXPECT_EQ(*back, *policy) << text << "\n---\n" << *resolved;
    EXPECT_EQ(compute_policy_hash(*back), compute_policy_hash(*policy));
    ++compared;
    if (policy->extends && (policy->decision.unsupported_from.empty() || policy->decision.tolerate_notes.empty())) {
      ++emptied_against_base;
    }
  }
  EXPECT_EQ(compared, 400);
  EXPECT_GT(emptied_against_base, 20);
}

}  // namespace
}  // namespace qv::engine
