// Reading the verify request: defaults, nulls, maps and their order, array
// forms, and every error with its exact text and position.
#include <gtest/gtest.h>

#include <string>

#include "records/chain.hpp"
#include "records/read.hpp"
#include "records/seal.hpp"

namespace qv::records {
namespace {

std::string at(std::size_t column) { return " at line 1 column " + std::to_string(column); }
std::size_t after(std::string_view text, std::string_view needle) {
  const std::size_t i = text.find(needle);
  EXPECT_NE(i, std::string_view::npos) << needle;
  return i + needle.size();
}

std::string error_of(std::string_view text) {
  auto r = deserialize_verify_request(text);
  return r ? "read" : r.error().display();
}

VerifyRequest read_ok(std::string_view text) {
  auto r = deserialize_verify_request(text);
  EXPECT_TRUE(r.has_value()) << text << "\n" << (r ? "" : r.error().display());
  return r ? std::move(*r) : VerifyRequest{};
}

// A request with `extra` members after the two required ones.
std::string request(std::string_view extra = "") {
  return R"({"answer":"a","sources":[])" + std::string(extra.empty() ? "" : ",") + std::string(extra) + "}";
}

TEST(ReadRequest, SmallestRequestTakesEveryDefault) {
  const VerifyRequest r = read_ok(request());
  VerifyRequest expected;
  expected.answer = "a";
  EXPECT_EQ(r, expected);
  EXPECT_EQ(r.locale, "und");
  EXPECT_EQ(r.numeric.rounding, RoundingRule::WithinLastDigit);
  EXPECT_TRUE(r.numeric.units);
  EXPECT_TRUE(r.numeric.derive);
  EXPECT_FALSE(r.numeric.matching.declared_precision || r.numeric.matching.percent_as_fraction);
  // The array form gives the members positionally.
  EXPECT_EQ(read_ok(R"(["a",[]])"), expected);
  EXPECT_EQ(read_ok(R"(  ["a",[],null,"und"]  )"), expected);
}

TEST(ReadRequest, EveryMemberGiven) {
  const VerifyRequest r = read_ok(
      R"({"answer":"A","sources":[{"id":"s1","text":"T","locator":"p. 2","provenance":{"z":"1","a":"2","z":"3"},)"
      R"("attributes":{"x":"y"}}],"question":"Q","locale":"de-CH","policy_yaml":"id: p","rule_sets_json":["{}"],)"
      R"("numeric":{"matching":{"percent_as_fraction":true,"declared_precision":false},"units":false,"derive":false,)"
      R"("rounding":{"half_even":null}},"signing_key_hex":"00ff","previous_record_hash":"sha256:p",)"
      R"("metadata":{"k":"v","k":"w"},"scope":{"year":"2024","company":"X"},"risk_class":"high",)"
      R"("judge":{"adapter":"openai","model":"m","error":null},)"
      R"("judge_evidence":{"info":{"id":"llm_judge.m","version":"1","kind":"generative",)"
      R"("determinism":{"class":"non_deterministic"},"applies_to":["statement"]},"evidence":[],"failure":"timeout"}})");
  ASSERT_EQ(r.sources.size(), 1u);
  EXPECT_EQ(r.sources[0].locator, "p. 2");
  // provenance: a repeated key keeps its first place and its last value.
  EXPECT_EQ(r.sources[0].provenance, (InsertionMap{{"z", "3"}, {"a", "2"}}));
  EXPECT_EQ(r.question, "Q");
  EXPECT_EQ(r.locale, "de-CH");
  EXPECT_EQ(r.policy_yaml, "id: p");
  EXPECT_EQ(r.rule_sets_json, std::vector<std::string>{"{}"});
  EXPECT_EQ(r.numeric, (NumericConfig{{false, true}, false, false, RoundingRule::HalfEven}));
  ASSERT_TRUE(r.signing_key_hex.has_value());
  EXPECT_EQ(r.signing_key_hex->view(), "00ff");
  EXPECT_EQ(r.previous_record_hash, "sha256:p");
  EXPECT_EQ(r.metadata, (SortedMap{{"k", "w"}}));
  // scope: held in byte order of its keys.
  ASSERT_EQ(r.scope.size(), 2u);
  EXPECT_EQ(r.scope.begin()->first, "company");
  EXPECT_EQ(r.risk_class, "high");
  EXPECT_EQ(r.judge, (JudgeReply{"openai", "m", std::nullopt, std::nullopt}));
  ASSERT_TRUE(r.judge_evidence.has_value());
  EXPECT_EQ(r.judge_evidence->info.kind, VerifierKind::Generative);
  EXPECT_EQ(r.judge_evidence->info.determinism, Determinism::non_deterministic());
  EXPECT_EQ(r.judge_evidence->failure, "timeout");
}

TEST(ReadRequest, EmptyPreviousRecordHashReadsAsAbsent) {
  EXPECT_FALSE(read_ok(request(R"("previous_record_hash":"")")).previous_record_hash.has_value());
  EXPECT_FALSE(read_ok(request(R"("previous_record_hash":null)")).previous_record_hash.has_value());
  EXPECT_EQ(read_ok(request(R"("previous_record_hash":" ")")).previous_record_hash, " ");

  // The record made for such a request hashes as with an empty link, and a
  // chain check accepts it as the first record.
  VerifyRequest r = read_ok(request(R"("previous_record_hash":"")"));
  RecordContent content;
  content.outcome.policy_id = "p";
  const auto key = crypto::signing_key_from_seed_hex(std::string(64, '7'));
  ASSERT_TRUE(key.has_value());
  auto sealed = seal_evidence_record(content, r.previous_record_hash, "rec_1", "2026-01-01T00:00:00Z", *key);
  ASSERT_TRUE(sealed.has_value());
  EXPECT_EQ(sealed->record_hash,
            compute_record_hash(sealed->content_hash, std::string_view(), "rec_1", "2026-01-01T00:00:00Z"));
  auto checked = check_record_chain(std::span<const EvidenceRecord>(&*sealed, 1));
  EXPECT_TRUE(checked.has_value()) << checked.error().display();
}

TEST(ReadRequest, NullsAndMissingMembers) {
  for (const char* member : {"question", "signing_key_hex", "previous_record_hash", "risk_class", "judge",
                             "judge_evidence"}) {
    EXPECT_EQ(read_ok(request("\"" + std::string(member) + "\":null")), read_ok(request())) << member;
  }
  EXPECT_EQ(error_of(R"({"sources":[]})"), "missing field `answer`" + at(14));
  EXPECT_EQ(error_of(R"({"answer":"a"})"), "missing field `sources`" + at(14));
  EXPECT_EQ(error_of(R"({"answer":null,"sources":[]})"), "invalid type: null, expected a string" + at(14));
  const struct {
    const char* member;
    const char* expected;
  } nulls[] = {{"locale", "a string"},         {"policy_yaml", "a string"},
               {"rule_sets_json", "a sequence"}, {"numeric", "struct NumericConfig"},
               {"metadata", "a map"},          {"scope", "a map"}};
  for (const auto& n : nulls) {
    const std::string text = request("\"" + std::string(n.member) + "\":null");
    EXPECT_EQ(error_of(text), "invalid type: null, expected " + std::string(n.expected) + at(text.size() - 1));
  }
  std::string text = request(R"("sources":[])");
  EXPECT_EQ(error_of(text), "duplicate field `sources`" + at(after(text, R"([],"sources")")));
  text = request(R"("judge":{"adapter":"a"})");
  EXPECT_EQ(error_of(text), "missing field `model`" + at(after(text, R"({"adapter":"a"})")));
  EXPECT_FALSE(read_ok(request(R"("judge":{"adapter":"a","model":"m"})")).judge->response.has_value());
}

TEST(ReadRequest, SourcesSkipUnknownMembers) {
  const VerifyRequest r = read_ok(R"({"answer":"a","sources":[{"id":"s","attributes":{"k":1},"text":"t"}]})");
  EXPECT_EQ(r.sources, (std::vector<Source>{Source{"s", "t", std::nullopt, {}}}));
  std::string text = R"({"answer":"a","sources":[{"id":"s"}]})";
  EXPECT_EQ(error_of(text), "missing field `text`" + at(after(text, R"({"id":"s"})")));
  text = R"({"answer":"a","sources":[["s"]]})";
  EXPECT_EQ(error_of(text), "invalid length 1, expected struct Source with 4 elements" + at(after(text, R"(["s"])")));
  text = R"({"answer":"a","sources":["s"]})";
  EXPECT_EQ(error_of(text), "invalid type: string \"s\", expected struct Source" + at(after(text, R"(["s")")));
  EXPECT_EQ(read_ok(R"({"answer":"a","sources":[["s","t",null,{"b":"1"}]]})").sources[0].provenance,
            (InsertionMap{{"b", "1"}}));
}

TEST(ReadRequest, NumericOptions) {
  EXPECT_EQ(read_ok(request(R"("numeric":{"rounding":"half_even"})")).numeric,
            (NumericConfig{{}, true, true, RoundingRule::HalfEven}));
  EXPECT_EQ(read_ok(request(R"("numeric":[])")).numeric, NumericConfig{});
  EXPECT_EQ(read_ok(request(R"("numeric":[[true,true],false])")).numeric,
            (NumericConfig{{true, true}, false, true, RoundingRule::WithinLastDigit}));
  std::string text = request(R"("numeric":{"matching":{"declared_precision":true}})");
  EXPECT_EQ(error_of(text),
            "missing field `percent_as_fraction`" + at(after(text, R"({"declared_precision":true})")));
  text = request(R"("numeric":{"matching":[true]})");
  EXPECT_EQ(error_of(text), "invalid length 1, expected struct MatchOptions with 2 elements" + at(after(text, "[true]")));
  text = request(R"("numeric":{"rounding":"HALF_UP"})");
  EXPECT_EQ(error_of(text), "unknown variant `HALF_UP`, expected one of `half_up`, `half_even`, `within_last_digit`" +
                                at(after(text, R"("HALF_UP")")));
  text = request(R"("numeric":{"units":"yes"})");
  EXPECT_EQ(error_of(text), "invalid type: string \"yes\", expected a boolean" + at(after(text, R"("yes")")));
}

TEST(ReadRequest, MapsHoldTextValuesOnly) {
  for (const char* value : {"5", "true", "null", "[]", "{}"}) {
    const std::string text = request(R"("metadata":{"a":)" + std::string(value) + "}");
    EXPECT_NE(error_of(text).find("expected a string"), std::string::npos) << text << " " << error_of(text);
  }
  std::string text = request(R"("scope":{"a":5})");
  EXPECT_EQ(error_of(text), "invalid type: integer `5`, expected a string" + at(after(text, R"("a":5)")));
  text = request(R"("scope":{"a":[1]})");
  EXPECT_EQ(error_of(text), "invalid type: sequence, expected a string" + at(after(text, R"("a":)")));
  const VerifyRequest r = read_ok(request(R"("scope":{"b":"2","a":"1","\u00e9":"3","Z":"0"})"));
  std::vector<std::string> keys;
  for (const auto& [k, v] : r.scope) keys.push_back(k);
  EXPECT_EQ(keys, (std::vector<std::string>{"Z", "a", "b", "\xC3\xA9"}));
}

TEST(ReadRequest, DocumentShapeAndLimits) {
  EXPECT_EQ(error_of(R"("x")"), "invalid type: string \"x\", expected struct VerifyRequest" + at(3));
  EXPECT_EQ(error_of(R"(["a"])"), "invalid length 1, expected struct VerifyRequest with 14 elements" + at(5));
  std::string text = R"(["a",[],null,"und","",[],[],null,null,{},{},null,null,null,0])";
  EXPECT_EQ(error_of(text), "trailing characters" + at(text.size() - 1));

  // 127 nested containers in all are allowed, skipped members included.
  const auto nested = [](int arrays) {
    return R"({"answer":"a","sources":[],"x":)" + std::string(arrays, '[') + std::string(arrays, ']') + "}";
  };
  read_ok(nested(126));
  text = nested(127);
  EXPECT_EQ(error_of(text), "recursion limit exceeded" + at(text.find('[', text.find("\"x\"")) + 127));
}

}  // namespace
}  // namespace qv::records
