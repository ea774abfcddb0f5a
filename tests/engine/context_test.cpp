// Preparing a request into the verification context.
#include "engine/context.hpp"

#include <gtest/gtest.h>

#include "engine/judge_prompt.hpp"
#include "records/read.hpp"

namespace qv::engine {
namespace {

// Records what the extraction was given and answers with one claim over the
// whole answer, so the test sees the claims come from it.
struct SeenByExtraction {
  std::string answer;
  std::string locale;
  records::NumericConfig numeric;
  int calls = 0;
};

ClaimExtractor recording(SeenByExtraction& seen) {
  return [&seen](std::string_view answer, std::string_view locale, const records::NumericConfig& numeric) {
    seen = {std::string(answer), std::string(locale), numeric, seen.calls + 1};
    records::Claim c;
    c.id = "c0";
    c.kind = core::ClaimKind::Statement;
    c.text = std::string(answer);
    c.span = {0, answer.size()};
    return std::vector<records::Claim>{c};
  };
}

records::VerifyRequest request(std::string_view json) {
  auto r = records::deserialize_verify_request(json);
  EXPECT_TRUE(r) << r.error().message;
  return r ? std::move(*r) : records::VerifyRequest{};
}

TEST(PrepareContext, NormalisesTextsAndKeepsIdentities) {
  const auto req = request(R"({"answer": "  Revenue\u00a0 rose\r\n\r\n\r\n\r\nby 5\uff05. ",
      "question": " \t ",
      "sources": [{"id": " s 1 ", "text": "Revenue   rose.\r\n", "locator": " p.  3 ",
                   "provenance": {"z key": " A  B ", "a": "x"}}],
      "scope": {"year": "2024", "company": "ACME"},
      "metadata": {"b": "2", "a": "1"},
      "locale": "de-CH", "numeric": {"rounding": "half_even"}})");
  SeenByExtraction seen;
  const records::VerificationContext c = prepare_verification_context(req, recording(seen));
  EXPECT_EQ(c.answer, "Revenue\u202f rose\n\nby 5%.");
  // A question of white space only stays present, normalised to empty.
  EXPECT_EQ(c.question, std::optional<std::string>(""));
  ASSERT_EQ(c.sources.size(), 1u);
  EXPECT_EQ(c.sources[0].text, "Revenue rose.");
  EXPECT_EQ(c.sources[0].id, " s 1 ");
  EXPECT_EQ(c.sources[0].locator, std::optional<std::string>(" p.  3 "));
  EXPECT_EQ(c.sources[0].provenance, (records::InsertionMap{{"z key", " A  B "}, {"a", "x"}}));
  EXPECT_EQ(c.scope.begin()->first, "company");
  EXPECT_EQ(c.metadata.begin()->first, "a");
  EXPECT_EQ(c.locale, "de-CH");
  EXPECT_EQ(seen.calls, 1);
  EXPECT_EQ(seen.answer, c.answer);
  EXPECT_EQ(seen.locale, "de-CH");
  EXPECT_EQ(seen.numeric.rounding, core::RoundingRule::HalfEven);
  ASSERT_EQ(c.claims.size(), 1u);
  EXPECT_EQ(c.claims[0].text, c.answer);
}

TEST(PrepareContext, MemberOrderDoesNotMatter) {
  SeenByExtraction seen;
  const auto a = prepare_verification_context(
      request(R"({"answer": "x", "sources": [], "scope": {"year": "2024", "company": "ACME"}, "metadata": {"k": "1", "j": "2"}})"),
      recording(seen));
  const auto b = prepare_verification_context(
      request(R"({"metadata": {"j": "2", "k": "1"}, "scope": {"company": "ACME", "year": "2024"}, "answer": "x", "sources": []})"),
      recording(seen));
  EXPECT_EQ(a, b);
  EXPECT_FALSE(a.question);
  EXPECT_EQ(a.locale, "und");
  EXPECT_EQ(build_judge_prompt(a, std::nullopt).prompt_hash, build_judge_prompt(b, std::nullopt).prompt_hash);
}

}  // namespace
}  // namespace qv::engine
