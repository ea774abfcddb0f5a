// The judge as a verifier: its id and description, the readings of its
// reply, the truncation of texts, and stored judge evidence.
#include "engine/judge_reply.hpp"

#include <gtest/gtest.h>

#include <string>

namespace qv::engine {
namespace {

using records::Evidence;
using records::EvidenceResult;
using records::JudgeReply;

JudgePrompt prompt_with(std::vector<std::string> claim_ids, std::vector<std::string> passages) {
  JudgePrompt p;
  p.template_id = kJudgeTemplateId;
  p.template_hash = judge_template_hash();
  p.prompt_hash = "sha256:" + std::string(64, 'a');
  p.system = kJudgeSystemText;
  for (std::string& id : claim_ids) p.claims.emplace_back(std::move(id), "text");
  p.passages = std::move(passages);
  return p;
}

JudgeReply reply_with(std::optional<std::string> response) {
  return JudgeReply{"acme-judge", "model-x", std::move(response), std::nullopt};
}

std::vector<Evidence> read(std::vector<std::string> claims, std::vector<std::string> passages,
                           std::optional<std::string> response) {
  return parse_judge_reply(prompt_with(std::move(claims), std::move(passages)), reply_with(std::move(response)));
}

// Result, score, rationale, source id and notes of one finding.
void expect_finding(const Evidence& e, EvidenceResult result, double score, std::string_view rationale,
                    std::optional<std::string> source_id = std::nullopt, std::vector<std::string> notes = {}) {
  EXPECT_EQ(e.result, result);
  EXPECT_EQ(e.score, score);
  EXPECT_EQ(e.rationale, rationale);
  EXPECT_EQ(e.receipt.source_id, source_id);
  EXPECT_EQ(e.receipt.notes, notes);
  EXPECT_FALSE(e.receipt.source_span);
  EXPECT_FALSE(e.receipt.source_text);
  EXPECT_EQ(e.verifier_id, "llm_judge.acme_judge");
  EXPECT_EQ(e.verifier_version, "quillaveen.judge/1");
  EXPECT_EQ(e.confidence, 0.0);
  EXPECT_EQ(e.determinism, records::Determinism::non_deterministic());
  EXPECT_FALSE(e.model_hash);
  EXPECT_FALSE(e.calibration_id);
}

void expect_all_not_json(const std::vector<Evidence>& found, std::size_t count) {
  ASSERT_EQ(found.size(), count);
  for (const Evidence& e : found) expect_finding(e, EvidenceResult::Error, 0.0, kJudgeReplyNotJson);
}

// --- Identity ---------------------------------------------------------------

TEST(JudgeIdentity, VerifierId) {
  EXPECT_EQ(judge_verifier_id(""), "llm_judge.judge");
  EXPECT_EQ(judge_verifier_id("a.b"), "llm_judge.a_b");
  EXPECT_EQ(judge_verifier_id("abc-/4"), "llm_judge.abc__4");
  EXPECT_EQ(judge_verifier_id("Caf\u00e9 9"), "llm_judge.Caf__9");  // one "_" per character
  EXPECT_EQ(judge_verifier_id("\xF0\x9F\x98\x80x"), "llm_judge._x");
}

TEST(JudgeIdentity, VerifierInfo) {
  const JudgePrompt p = prompt_with({"c0"}, {});
  records::VerifierInfo info = judge_verifier_info(p, reply_with("{}"));
  EXPECT_EQ(info.id, "llm_judge.acme_judge");
  EXPECT_EQ(info.version, "quillaveen.judge/1");
  EXPECT_EQ(info.kind, records::VerifierKind::Generative);
  EXPECT_EQ(info.determinism, records::Determinism::non_deterministic());
  EXPECT_EQ(info.applies_to, std::vector<core::ClaimKind>{core::ClaimKind::Statement});
  EXPECT_TRUE(info.needs_network);
  const std::vector<records::TextPair> artefacts = {
      {"template", "quillaveen.judge/1 sha256:6ed1d0b0644d2e5c5e11616ac1f955545a52da5430a9051b8298bfdfa2ea1836"},
      {"prompt", p.prompt_hash},
      {"model", "model-x"},
      // sha256 of the two bytes "{}"
      {"response", "sha256:44136fa355b3678a1146ad16f7e8649e94fb4fc21fe77e8310c060f61caaff8a"}};
  EXPECT_EQ(info.artefacts, artefacts);
  info = judge_verifier_info(p, reply_with(std::nullopt));
  EXPECT_EQ(info.artefacts, std::vector<records::TextPair>(artefacts.begin(), artefacts.begin() + 3));
}

// --- Reply readings ---------------------------------------------------------

TEST(JudgeReplyReading, ObjectInsideProse) {
  const auto found = read({"c3"}, {"s1"},
                          "Here is my verdict. {\"claims\": [{\"id\": \"c3\", \"label\": \" Supported \", "
                          "\"passages\": [\"s1\"], \"reason\": \"stated\"}]} Hope this helps.");
  ASSERT_EQ(found.size(), 1u);
  expect_finding(found[0], EvidenceResult::Supported, 1.0, "cites s1: stated", "s1");
  EXPECT_EQ(found[0].claim_id, "c3");
}

// A claim may be written as an array of its members in order (c1 here).
TEST(JudgeReplyReading, Labels) {
  const auto found = read({"c0", "c1", "c2", "c3", "c4", "c5", "c6"}, {},
                          R"({"claims": [{"id": "c0", "label": "CONTRADICTED", "reason": " no "},
                                         ["c1", "unsupported"],
                                         {"id": "c2", "label": "UNCERTAIN"},
                                         {"id": "c3", "label": "maybe", "passages": ["s9"], "reason": "r"},
                                         {"id": "c4", "label": " \u00a0"},
                                         {"id": "c5", "label": "SUPPORTED\u0130"},
                                         {"id": "c6", "label": "supported", "extra": [1, {"x": null}]}]})");
  ASSERT_EQ(found.size(), 7u);
  expect_finding(found[0], EvidenceResult::Contradicted, 0.0, "no");
  expect_finding(found[1], EvidenceResult::Unsupported, 0.0, "");
  expect_finding(found[2], EvidenceResult::Unsupported, 0.0, "", std::nullopt, {"uncertain"});
  // An unknown label: its passages and reason are not looked at.
  expect_finding(found[3], EvidenceResult::Error, 0.0, "the judge gave the label maybe, not one of the four");
  expect_finding(found[4], EvidenceResult::Error, 0.0, "the judge gave the label , not one of the four");
  // Only A-Z are lower-cased.
  expect_finding(found[5], EvidenceResult::Error, 0.0, "the judge gave the label supported\u0130, not one of the four");
  expect_finding(found[6], EvidenceResult::Supported, 1.0, "");
}

TEST(JudgeReplyReading, ClaimsMatchedById) {
  // c5 is not labelled; c9 is not in the prompt; the second c3 comes late;
  // ids are compared byte for byte.
  const auto found = read({"c3", "c5", "C7"}, {},
                          R"({"claims": [{"id": "c9", "label": "supported"}, {"id": "c3", "label": "contradicted"},
                                         {"id": "c3", "label": "supported"}, {"id": "c7", "label": "supported"},
                                         {"id": " C7", "label": "supported"}]})");
  ASSERT_EQ(found.size(), 3u);
  expect_finding(found[0], EvidenceResult::Contradicted, 0.0, "");
  expect_finding(found[1], EvidenceResult::Error, 0.0, kJudgeGaveNoLabel);
  expect_finding(found[2], EvidenceResult::Error, 0.0, kJudgeGaveNoLabel);
  // With no claims in the prompt there are no findings, whatever the reply.
  EXPECT_TRUE(read({}, {"s1"}, R"({"claims": [{"id": "c0", "label": "supported"}]})").empty());
  EXPECT_TRUE(read({}, {}, std::nullopt).empty());
}

TEST(JudgeReplyReading, Citations) {
  const auto found = read({"c0", "c1", "c2", "c3"}, {"s1", "s2"},
                          R"({"claims": [{"id": "c0", "label": "supported", "passages": ["s1", "s9"], "reason": "r"},
                                         {"id": "c1", "label": "supported", "passages": ["s9"], "reason": "r"},
                                         {"id": "c2", "label": "uncertain", "passages": ["s2", "s1", "s2", "x", "y"]},
                                         ["c3", "supported", [], "why"]]})");
  ASSERT_EQ(found.size(), 4u);
  expect_finding(found[0], EvidenceResult::Supported, 1.0, "cites s1: r", "s1", {"cites_unknown_passage"});
  expect_finding(found[1], EvidenceResult::Supported, 1.0, "r", std::nullopt, {"cites_unknown_passage"});
  expect_finding(found[2], EvidenceResult::Unsupported, 0.0, "cites s2, s1, s2: ", "s2",
                 {"uncertain", "cites_unknown_passage"});
  expect_finding(found[3], EvidenceResult::Supported, 1.0, "why");
  // With no passages in the prompt every citation is unknown.
  const auto none = read({"c0"}, {}, R"({"claims": [{"id": "c0", "label": "supported", "passages": ["s1"]}]})");
  expect_finding(none[0], EvidenceResult::Supported, 1.0, "", std::nullopt, {"cites_unknown_passage"});
}

TEST(JudgeReplyReading, TruncatedTexts) {
  const std::string reason300(300, 'r');
  const std::string reason301 = reason300 + "s";
  const std::string label50 = std::string(39, 'x') + "\u00e9" + std::string(10, 'y');
  const auto found = read({"c0", "c1", "c2"}, {},
                          R"({"claims": [{"id": "c0", "label": "supported", "reason": ")" + reason300 +
                              R"("}, {"id": "c1", "label": "supported", "reason": ")" + reason301 +
                              R"("}, {"id": "c2", "label": ")" + label50 + R"("}]})");
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0].rationale, reason300);
  EXPECT_EQ(found[1].rationale, reason300 + "\u2026");
  EXPECT_EQ(found[2].rationale,
            "the judge gave the label " + std::string(39, 'x') + "\u00e9\u2026, not one of the four");
}

TEST(JudgeReplyReading, UnreadableReplies) {
  const std::vector<std::optional<std::string>> unreadable = {
      std::nullopt,
      "no braces at all",
      "{ never closed",
      "} before {",
      "",
      R"({"other": []})",                                                      // no claims
      R"({"claims": [{"id": "c0"}]})",                                         // no label
      R"({"claims": [], "claims": []})",                                       // repeated member
      R"({"claims": [{"id": "c0", "label": "supported", "label": "x"}]})",     // repeated member
      R"({"claims": [{"id": 0, "label": "supported"}]})",                      // wrong type
      R"({"claims": [{"id": "c0", "label": "supported", "passages": "s1"}]})",  // wrong type
      R"({"claims": [["c0"]]})",                                               // array form too short
      R"({"claims": [["c0", "supported", [], "r", 5]]})",                      // fifth element
      R"({"claims": {}})",
      R"({"claims": []} trailing {"x": 1})",                                   // text after the value
      R"({"claims": [}])",                                                     // syntax
  };
  for (const auto& response : unreadable) {
    SCOPED_TRACE(response.value_or("(absent)"));
    expect_all_not_json(read({"c0", "c1"}, {}, response), 2);
  }
}

TEST(JudgeReplyReading, HostileSizesAndNesting) {
  // Nesting beyond the reader's depth limit, in a skipped member.
  std::string deep = R"({"claims": [], "x": )" + std::string(100000, '[') + std::string(100000, ']') + "}";
  expect_all_not_json(read({"c0"}, {}, deep), 1);
  // Nesting within the limit is read.
  deep = R"({"claims": [{"id": "c0", "label": "supported"}], "x": )" + std::string(120, '[') +
         std::string(120, ']') + "}";
  expect_finding(read({"c0"}, {}, deep)[0], EvidenceResult::Supported, 1.0, "");
  // Many entries for one id and many citations: the first entry counts.
  std::string many = R"({"claims": [)";
  for (int i = 0; i < 20000; ++i) many += R"({"id": "c0", "label": "contradicted", "passages": ["s1", "s2"]},)";
  many += R"({"id": "c0", "label": "supported"}]})";
  expect_finding(read({"c0"}, {"s1"}, many)[0], EvidenceResult::Contradicted, 0.0, "cites s1: ", "s1",
                 {"cites_unknown_passage"});
}

// --- Truncation -------------------------------------------------------------

TEST(JudgeTruncate, CountsCharactersNotBytes) {
  EXPECT_EQ(truncate_chars("abc", 0), "\u2026");
  EXPECT_EQ(truncate_chars("\u00e9\u00e9\u00e9", 2), "\u00e9\u00e9\u2026");
  EXPECT_EQ(truncate_chars("\u00e9\u00e9", 2), "\u00e9\u00e9");
  // An ill-formed sequence is one character and stays whole.
  EXPECT_EQ(truncate_chars("a\xE2\x82z", 2), "a\xE2\x82\u2026");
}

// --- Stored judge evidence --------------------------------------------------

records::StoredJudge stored_judge(std::string id, std::vector<records::TextPair> artefacts,
                                  std::vector<std::string> evidence_ids) {
  records::StoredJudge s;
  s.info.id = std::move(id);
  s.info.artefacts = std::move(artefacts);
  for (std::string& vid : evidence_ids) {
    Evidence e;
    e.verifier_id = std::move(vid);
    e.claim_id = "c0";
    e.receipt.source_span = records::Span{900, 3};  // passed on as stored
    s.evidence.push_back(std::move(e));
  }
  s.failure = "timeout";
  return s;
}

TEST(JudgeStored, Refusals) {
  const std::string hash = "sha256:" + std::string(64, 'b');
  const auto refused = [&](const records::StoredJudge& s) {
    auto r = check_stored_judge(hash, s);
    return r ? std::string("accepted") : r.error().display();
  };
  EXPECT_EQ(refused(stored_judge("quillaveen.numeric", {{"prompt", hash}}, {})),
            "invalid input: quillaveen.numeric is not a judge");
  EXPECT_EQ(refused(stored_judge("llm_judge", {{"prompt", hash}}, {})), "invalid input: llm_judge is not a judge");
  const std::string another = "invalid input: stored judge evidence answered another prompt; it cannot be reused";
  EXPECT_EQ(refused(stored_judge("llm_judge.x", {}, {})), another);
  EXPECT_EQ(refused(stored_judge("llm_judge.x", {{"Prompt", hash}}, {})), another);
  // Only the first "prompt" artefact counts.
  EXPECT_EQ(refused(stored_judge("llm_judge.x", {{"prompt", hash + " "}, {"prompt", hash}}, {})), another);
  EXPECT_EQ(refused(stored_judge("llm_judge.x", {{"prompt", hash}}, {"llm_judge.x", "llm_judge.y"})),
            "invalid input: stored judge evidence names another verifier");
  // The id check comes first, then the prompt, then the evidence.
  EXPECT_EQ(refused(stored_judge("x", {}, {"y"})), "invalid input: x is not a judge");
  EXPECT_EQ(refused(stored_judge("llm_judge.x", {}, {"y"})), another);
}

TEST(JudgeStored, AcceptedUnchanged) {
  const std::string hash = "sha256:" + std::string(64, 'b');
  const auto s = stored_judge("llm_judge.x", {{"model", "m"}, {"prompt", hash}, {"prompt", "other"}}, {"llm_judge.x"});
  auto r = check_stored_judge(hash, s);
  ASSERT_TRUE(r) << r.error().display();
  EXPECT_EQ(*r, s);
  EXPECT_TRUE(check_stored_judge(hash, stored_judge("llm_judge.x", {{"prompt", hash}}, {})));
}

}  // namespace
}  // namespace qv::engine
