// Preparing a request into the verification context.
#include "engine/context.hpp"

#include <gtest/gtest.h>

#include "engine/judge_prompt.hpp"
#include "records/read.hpp"

namespace qv::engine {
namespace {

records::VerificationContext prepare(std::string_view json, std::string* extracted_from = nullptr) {
  auto request = records::deserialize_verify_request(json);
  EXPECT_TRUE(request) << request.error().message;
  // Records what the extraction is given; its one claim marks where the
  // context's claims come from.
  const ClaimExtractor extract = [&](std::string_view answer, std::string_view locale,
                                     const records::NumericConfig& numeric) {
    if (extracted_from) {
      *extracted_from = std::string(answer) + "|" + std::string(locale) + "|" + std::string(to_word(numeric.rounding));
    }
    records::Claim c;
    c.id = "c0";
    c.text = std::string(answer);
    return std::vector<records::Claim>{c};
  };
  return prepare_verification_context(request ? *request : records::VerifyRequest{}, extract);
}

TEST(PrepareContext, NormalisesTextsAndKeepsIdentities) {
  std::string extracted_from;
  const records::VerificationContext c = prepare(R"({"answer": "  Revenue\u00a0 rose\r\n\r\n\r\n\r\nby 5\uff05. ",
      "question": " \t ",
      "sources": [{"id": " s 1 ", "text": "Revenue   rose.\r\n", "locator": " p.  3 ",
                   "provenance": {"z key": " A  B ", "a": "x"}}],
      "scope": {"year": "2024", "company": "ACME"},
      "locale": "de-CH", "numeric": {"rounding": "half_even"}})", &extracted_from);
  EXPECT_EQ(c.answer, "Revenue\u202f rose\n\nby 5%.");
  EXPECT_EQ(extracted_from, c.answer + "|de-CH|half_even");
  EXPECT_EQ(c.claims.at(0).text, c.answer);
  // A question of white space only stays present, normalised to empty.
  EXPECT_EQ(c.question, std::optional<std::string>(""));
  ASSERT_EQ(c.sources.size(), 1u);
  EXPECT_EQ(c.sources[0].text, "Revenue rose.");
  EXPECT_EQ(c.sources[0].id, " s 1 ");
  EXPECT_EQ(c.sources[0].locator, std::optional<std::string>(" p.  3 "));
  EXPECT_EQ(c.sources[0].provenance, (records::InsertionMap{{"z key", " A  B "}, {"a", "x"}}));
  EXPECT_EQ(c.scope.begin()->first, "company");
  EXPECT_EQ(c.locale, "de-CH");
}

TEST(PrepareContext, MemberOrderDoesNotMatter) {
  const auto a = prepare(R"({"answer": "x", "sources": [], "scope": {"year": "2024", "company": "ACME"},
                             "metadata": {"k": "1", "j": "2"}})");
  const auto b = prepare(R"({"metadata": {"j": "2", "k": "1"}, "scope": {"company": "ACME", "year": "2024"},
                             "answer": "x", "sources": []})");
  EXPECT_EQ(a, b);
  EXPECT_FALSE(a.question);
  EXPECT_EQ(a.locale, "und");
  EXPECT_EQ(build_judge_prompt(a, std::nullopt).prompt_hash, build_judge_prompt(b, std::nullopt).prompt_hash);
}

}  // namespace
}  // namespace qv::engine
