// The pipeline's steps as the record shows them: which verifiers are built
// and timed, how their failures are recorded, and where a request ends.
#include <gtest/gtest.h>

#include <string>

#include "engine/pipeline.hpp"

namespace qv::engine {
namespace {

records::VerifyRequest request() {
  records::VerifyRequest r;
  r.question = "What was revenue in 2023?";
  r.answer = "Revenue was $4.5 billion in 2023.";
  r.sources = {records::Source{"s1", "Revenue reached $4.5 billion in 2023.", std::nullopt, {}}};
  return r;
}

std::string error_of(const records::VerifyRequest& r) {
  const auto out = run_verification_pipeline(r);
  return out ? "ok" : out.error().display();
}

TEST(Pipeline, FailingVerifiersAreRecordedAndTimed) {
  records::VerifyRequest r = request();
  r.locale = "xx";
  r.scope = {{"region", "EU"}};
  r.rule_sets_json = {R"({"id": "b", "version": "1", "rules": []})", R"(["a", "2", []])"};
  const auto out = run_verification_pipeline(r);
  ASSERT_TRUE(out) << out.error().display();
  std::vector<std::string> timed;
  for (const auto& [id, us] : out->timings.verifiers) timed.push_back(id);
  EXPECT_EQ(timed, (std::vector<std::string>{"quillaveen.numeric", "quillaveen.scope", "quillaveen.intent",
                                             "quillaveen.rules.b", "quillaveen.rules.a"}));
  const auto& g = out->record.content.graph;
  std::vector<std::string> ran;
  for (const auto& v : g.verifiers) ran.push_back(v.id);
  // The intent verifier needs no profile when the question asks for no kind of figure.
  EXPECT_EQ(ran, (std::vector<std::string>{"quillaveen.intent", "quillaveen.rules.a", "quillaveen.rules.b"}));
  EXPECT_EQ(g.failures, (std::vector<records::TextPair>{{"quillaveen.numeric", "invalid input: unknown locale xx"},
                                                        {"quillaveen.scope", "invalid input: unknown locale xx"}}));
  EXPECT_EQ(out->record.content.outcome.decision, core::Decision::Review);
  EXPECT_EQ(out->record.content.locale, "xx");
  EXPECT_GE(out->timings.total_us, out->timings.verifiers[0].second);
}

TEST(Pipeline, RequestsThatEnd) {
  records::VerifyRequest r = request();
  r.policy_yaml = "id: p\nversion: '1'\nrounding: sideways\n";
  EXPECT_EQ(error_of(r),
            "invalid input: policy: unknown rounding rule unknown variant `sideways`, expected one of `half_up`, "
            "`half_even`, `within_last_digit`");
  // The judge prompt takes the request as read instead.
  EXPECT_TRUE(judge_prompt_for_request(r).has_value());

  r = request();
  r.rule_sets_json = {R"({"id": "a", "version": "1", "rules": []})", "not json"};
  EXPECT_EQ(error_of(r), "invalid input: rule set: expected ident at line 1 column 2");

  // Lint comes before any verifier and before the judge inputs are checked.
  r = request();
  r.policy_yaml = "id: p\nversion: '1'\nverifiers: {required: [quillaveen.nothing]}\n";
  r.judge = records::JudgeReply{"a", "m", "{}", std::nullopt};
  r.judge_evidence = records::StoredJudge{};
  EXPECT_TRUE(error_of(r).starts_with("invalid input: policy lint failed: ")) << error_of(r);
  r.policy_yaml = "   \n";
  EXPECT_EQ(error_of(r), "invalid input: pass a judge reply or stored judge evidence, not both");

  r = request();
  for (const char* key : {"abc", " 0000000000000000000000000000000000000000000000000000000000000000",
                          "000000000000000000000000000000000000000000000000000000000000000g"}) {
    r.signing_key_hex = crypto::SecretText(std::string(key));
    EXPECT_EQ(error_of(r), "invalid input: signing key must be 32 bytes hex");
  }
  r.signing_key_hex = crypto::SecretText(std::string(64, 'A'));
  const auto a = run_verification_pipeline(r);
  const auto b = run_verification_pipeline(r);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->record.signer_public_key, b->record.signer_public_key);
  EXPECT_EQ(a->record.content_hash, b->record.content_hash);
  EXPECT_TRUE(verify_unsigned(r).has_value());
}

}  // namespace
}  // namespace qv::engine
