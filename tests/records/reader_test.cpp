// Reading records: round trips, defaults, array forms and every error with
// its exact text and position.
#include <gtest/gtest.h>

#include <string>

#include "json/reader.hpp"
#include "json/writer.hpp"
#include "records/digest.hpp"
#include "records/write.hpp"
#include "records/read.hpp"
#include "sample.hpp"

namespace qv::records {
namespace {

using testing::full_record;
using testing::replaced;

// Column just after the first occurrence of `needle` (after `skip` earlier
// ones): where an error stamped after those bytes is reported.
std::size_t after(std::string_view text, std::string_view needle, int skip = 0) {
  std::size_t i = text.find(needle);
  while (skip-- > 0 && i != std::string_view::npos) i = text.find(needle, i + 1);
  EXPECT_NE(i, std::string_view::npos) << needle;
  return i + needle.size();
}
std::string at(std::size_t column) { return " at line 1 column " + std::to_string(column); }

std::string record_error(std::string_view text) {
  auto r = read_evidence_record_json(text);
  return r ? "read" : r.error().display();
}

std::string full_text() { return write_evidence_record_json(full_record()); }

// The record's members in declared order as a JSON array, the first `n`.
std::string as_array(const EvidenceRecord& r, std::size_t n) {
  json::Value v = evidence_record_to_value(r);
  json::Array items;
  for (const auto& m : v.as_object()) {
    if (items.size() == n) break;
    items.push_back(m.value);
  }
  return json::write_json_compact(json::Value(std::move(items)));
}

TEST(ReadRecord, WriteReadWriteIsByteIdentical) {
  const std::string text = full_text();
  auto r = read_evidence_record_json(text);
  ASSERT_TRUE(r.has_value()) << r.error().display();
  EXPECT_EQ(*r, full_record());
  EXPECT_EQ(write_evidence_record_json(*r), text);

  // Member order, white space and float notation do not matter.
  std::string loose = replaced(text, R"("score":1.0)", "\"score\" :\n 1.00");
  loose = replaced(loose, R"({"record_id":"rec_0123456789ab_0123456789ab",)", "{");
  loose = replaced(loose, R"("signature_algorithm":)", R"("record_id":"rec_0123456789ab_0123456789ab","signature_algorithm":)");
  auto l = read_evidence_record_json(loose);
  ASSERT_TRUE(l.has_value()) << l.error().display();
  EXPECT_EQ(write_evidence_record_json(*l), text);
}

TEST(ReadRecord, AbsentOptionalsAndDefaults) {
  EvidenceRecord r = full_record();
  r.signature_algorithm.reset();
  r.previous_record_hash.reset();
  const std::string text = write_evidence_record_json(r);
  EXPECT_EQ(text.find("signature_algorithm"), std::string::npos);
  EXPECT_NE(text.find(R"("previous_record_hash":null)"), std::string::npos);
  for (const std::string& variant :
       {text, replaced(text, R"(,"previous_record_hash":null)", ""),
        replaced(text, R"("signer_public_key":"cd")", R"("signer_public_key":"cd","signature_algorithm":null)")}) {
    auto read = read_evidence_record_json(variant);
    ASSERT_TRUE(read.has_value()) << read.error().display();
    EXPECT_EQ(*read, r);
  }

  // Outcome without reasons, risk class and pass meaning; a control without
  // requirement; a graph without failures; a verifier without artefacts and
  // needs_network; an evidence item without model hash; empty receipt.
  std::string sparse = replaced(full_text(), R"(,"reasons":["c1: failed"],"risk_class":"high","pass_means":"grounded")",
                                R"(,"risk_class":null)");
  sparse = replaced(sparse, R"("requirement":"",)", "");
  sparse = replaced(sparse, R"(,"failures":[["quillaveen.scope","boom"]])", "");
  sparse = replaced(sparse, R"(,"artefacts":[["ruleset","sha256:ab"]],"needs_network":true)", "");
  sparse = replaced(sparse, R"(,"model_hash":"sha256:mm")", R"(,"model_hash":null)");
  auto s = read_evidence_record_json(sparse);
  ASSERT_TRUE(s.has_value()) << s.error().display();
  const PolicyOutcome& o = s->content.outcome;
  EXPECT_TRUE(o.reasons.empty());
  EXPECT_FALSE(o.risk_class.has_value());
  EXPECT_FALSE(o.pass_means.has_value());
  EXPECT_EQ(o.regulatory_mapping[0].requirement, "");
  EXPECT_TRUE(s->content.graph.failures.empty());
  EXPECT_TRUE(s->content.graph.verifiers[1].artefacts.empty());
  EXPECT_FALSE(s->content.graph.verifiers[1].needs_network);
  EXPECT_FALSE(s->content.graph.evidence[1].model_hash.has_value());
  EXPECT_EQ(s->content.graph.evidence[1].receipt, Receipt{});
}

TEST(ReadRecord, UnknownMembersAreSkippedAndDoNotReachTheHash) {
  const std::string junk = R"("zz":{"deep":[1,{"a":null},1e999,"\uDC00"]},)";
  std::string text = full_text();
  for (std::string_view spot : {R"({"record_id")", R"({"schema")", R"({"verifiers")", R"({"id":"llm_judge.x")",
                                R"({"verifier_id":"llm_judge.x")", R"({"source_id")", R"({"policy_id")",
                                R"({"claim_id":"c1")", R"({"start")"}) {
    text = replaced(text, spot, "{" + junk + std::string(spot.substr(1)));
  }
  auto r = read_evidence_record_json(text);
  ASSERT_TRUE(r.has_value()) << r.error().display();
  EXPECT_EQ(*r, full_record());
}

TEST(ReadRecord, UnsignedReadsSealedAndItsOwnForm) {
  auto u = read_unsigned_record_json(full_text());
  ASSERT_TRUE(u.has_value()) << u.error().display();
  const EvidenceRecord r = full_record();
  const UnsignedRecord expected{r.record_id, r.timestamp, r.content, r.content_hash, r.previous_record_hash,
                                r.record_hash};
  EXPECT_EQ(*u, expected);
  EXPECT_EQ(read_unsigned_record_json(write_unsigned_record_json(expected)), expected);
  const std::string short_array = as_array(r, 5);
  auto s = read_unsigned_record_json(short_array);
  ASSERT_FALSE(s.has_value());
  EXPECT_EQ(s.error().display(),
            "invalid length 5, expected struct UnsignedRecord with 6 elements" + at(short_array.size()));
}

TEST(ReadRecord, ArrayForms) {
  const EvidenceRecord r = full_record();
  auto whole = read_evidence_record_json(as_array(r, 9));
  ASSERT_TRUE(whole.has_value()) << whole.error().display();
  EXPECT_EQ(*whole, r);

  auto eight = read_evidence_record_json(as_array(r, 8));
  ASSERT_TRUE(eight.has_value()) << eight.error().display();
  EXPECT_FALSE(eight->signature_algorithm.has_value());

  const std::string seven = as_array(r, 7);
  EXPECT_EQ(record_error(seven), "invalid length 7, expected struct EvidenceRecord with 9 elements" + at(seven.size()));
  std::string ten = as_array(r, 9);
  ten.insert(ten.size() - 1, ",null");
  EXPECT_EQ(record_error(ten), "trailing characters" + at(ten.size() - 4));

  // Inner arrays: an Evidence of its nine required members, and one short.
  const std::string text = full_text();
  const std::string e1_array =
      R"(["quillaveen.numeric","1.0.0","c0","supported",1,0.25,["exact"],"line\none \"q\"",)"
      R"(["s1",[3,17],"12.5%",["rounded","unit_match"]]])";
  const std::size_t e1_start = text.find(R"({"verifier_id":"quillaveen.numeric")");
  const std::size_t e1_end = text.find(R"(,{"verifier_id":"llm_judge.x")");
  std::string with_array = text;
  with_array.replace(e1_start, e1_end - e1_start, e1_array);
  auto a = read_evidence_record_json(with_array);
  ASSERT_TRUE(a.has_value()) << a.error().display();
  EXPECT_EQ(write_evidence_record_json(*a), text);

  const std::string e1_short = R"(["quillaveen.numeric","1.0.0","c0","supported",1,0.25,["exact"],"r"])";
  with_array = text;
  with_array.replace(e1_start, e1_end - e1_start, e1_short);
  EXPECT_EQ(record_error(with_array),
            "invalid length 8, expected struct Evidence with 11 elements" + at(after(with_array, e1_short)));

  const std::string control = R"(["EU","Art","c"])";
  const std::string three = replaced(text, R"({"framework":"EU AI Act","article":"Art. 14","control":"human_oversight","requirement":"","triggered_by":["REVIEW","FAIL"]})", control);
  EXPECT_EQ(record_error(three),
            "invalid length 4, expected struct RegulatoryControl with 5 elements" + at(after(three, control)));
}

TEST(ReadRecord, MemberErrors) {
  const std::string text = full_text();
  auto fails = [](const std::string& t, std::string_view needle, const std::string& message, int skip = 0) {
    EXPECT_EQ(record_error(t), message + at(after(t, needle, skip))) << t;
  };

  std::string t = replaced(text, R"(,"signature":"ab")", "");
  EXPECT_EQ(record_error(t), "missing field `signature`" + at(t.size()));
  t = replaced(text, R"("missing_required":["quillaveen.rules.*"],)", "");
  EXPECT_EQ(record_error(t), "missing field `missing_required`" + at(after(t, R"("pass_means":"grounded"})")));
  t = replaced(text, R"("excluded_verifiers":[["quillaveen.intent","no question"]])",
               R"("excluded_verifiers":["quillaveen.intent"])");
  fails(t, R"(["quillaveen.intent")", "invalid type: string \"quillaveen.intent\", expected a tuple of size 2");
  t = replaced(text, R"("failures":[["quillaveen.scope","boom"]])", R"("failures":[["quillaveen.scope"]])");
  fails(t, R"(["quillaveen.scope"])", "invalid length 1, expected a tuple of size 2");

  // Decisions: exact words, or an object whose single member is the word.
  t = replaced(text, R"("decision":"REVIEW")", R"("decision":"pass")");
  fails(t, R"("decision":"pass")", "unknown variant `pass`, expected one of `PASS`, `REVIEW`, `FAIL`");
  t = replaced(text, R"("decision":"REVIEW")", R"("decision":0)");
  fails(t, R"("decision":0)", "expected value");
  t = replaced(text, R"("decision":"FAIL")", R"("decision":{"REVIEW":null})");
  auto obj = read_evidence_record_json(t);
  ASSERT_TRUE(obj.has_value()) << obj.error().display();
  EXPECT_EQ(obj->content.outcome.claims[1].decision, Decision::Review);

  // RegulatoryControl refuses unknown members at once.
  t = replaced(text, R"({"framework")", R"({"note":"x","framework")");
  fails(t, R"({"note")",
        "unknown field `note`, expected one of `framework`, `article`, `control`, `requirement`, `triggered_by`");

  // Enumerations of the graph.
  t = replaced(text, R"("kind":"generative")", R"("kind":"ML")");
  fails(t, R"("kind":"ML")",
        "unknown variant `ML`, expected one of `exact`, `symbolic`, `lexical`, `ml`, `geometric`, `generative`, "
        "`user_defined`");
  t = replaced(text, R"("kind":"generative")", R"("kind":{"ml":null})");
  auto ml = read_evidence_record_json(t);
  ASSERT_TRUE(ml.has_value()) << ml.error().display();
  EXPECT_EQ(ml->content.graph.verifiers[1].kind, VerifierKind::Ml);
  t = replaced(text, R"("result":"supported")", R"("result":"Supported")");
  fails(t, R"("result":"Supported")",
        "unknown variant `Supported`, expected one of `supported`, `contradicted`, `unsupported`, "
        "`not_applicable`, `error`");
  t = replaced(text, R"("applies_to":["numeric"])", R"("applies_to":["numbers"])");
  fails(t, R"(["numbers")",
        "unknown variant `numbers`, expected one of `numeric`, `temporal`, `entity`, `citation`, `statement`, "
        "`word`");

  // Numbers: floats take integers, offsets take only non-negative integers.
  t = replaced(text, R"("score":1.0)", R"("score":1)");
  auto one = read_evidence_record_json(t);
  ASSERT_TRUE(one.has_value()) << one.error().display();
  EXPECT_EQ(write_evidence_record_json(*one), text);
  t = replaced(text, R"("score":1.0)", R"("score":null)");
  fails(t, R"("score":null)", "invalid type: null, expected f64");
  t = replaced(text, R"("score":1.0,)", "");
  fails(t, R"("notes":["rounded","unit_match"]}})", "missing field `score`");
  t = replaced(text, R"("source_span":{"start":3,"end":17})", R"("source_span":null)");
  auto no_span = read_evidence_record_json(t);
  ASSERT_TRUE(no_span.has_value()) << no_span.error().display();
  EXPECT_FALSE(no_span->content.graph.evidence[0].receipt.source_span.has_value());
  t = replaced(text, R"({"start":3,"end":17})", R"({"start":3})");
  fails(t, R"({"start":3})", "missing field `end`");
  t = replaced(text, R"({"start":3,"end":17})", R"({"start":-1,"end":17})");
  fails(t, R"("start":-1)", "invalid value: integer `-1`, expected usize");
  t = replaced(text, R"({"start":3,"end":17})", R"({"start":1.5,"end":17})");
  fails(t, R"("start":1.5)", "invalid type: floating point `1.5`, expected usize");
  t = replaced(text, R"("needs_network":true)", R"("needs_network":1)");
  fails(t, R"("needs_network":1)", "invalid type: integer `1`, expected a boolean");

  // Required members of the graph and the receipt.
  t = replaced(text, R"("receipt":{},)", "");
  fails(t, R"("calibration_id":"cal-1"})", "missing field `receipt`");
  const std::size_t ev = text.find(R"("evidence":[)");
  const std::size_t fl = text.find(R"("failures":)");
  t = text;
  t.erase(ev, fl - ev);
  fails(t, R"("failures":[["quillaveen.scope","boom"]]})", "missing field `evidence`");

  // Duplicates are reported at the second key.
  t = replaced(text, R"("timestamp")", R"("record_id":"again","timestamp")");
  fails(t, R"("record_id")", "duplicate field `record_id`", 1);
}

// The tagged shape itself is pinned by the reference cases; here only its
// place inside a record and the array form the cases do not reach.
TEST(ReadRecord, DeterminismInsideARecord) {
  const std::string text = full_text();
  const std::string_view exact = R"("determinism":{"class":"exact"},"applies_to")";
  auto with = [&](std::string_view determinism) {
    return replaced(text, exact, R"("determinism":)" + std::string(determinism) + R"(,"applies_to")");
  };
  std::string t = with(R"({"class":"reproducible"})");
  EXPECT_EQ(record_error(t), "missing field `tolerance`" + at(after(t, R"("determinism":{"class":"reproducible"})")));
  t = with(R"(["reproducible"])");
  EXPECT_EQ(record_error(t), "invalid length 0, expected struct variant Determinism::Reproducible with 1 element" +
                                 at(after(t, R"("determinism":["reproducible"])")));
  auto r = read_evidence_record_json(with(R"(["reproducible",0.25])"));
  ASSERT_TRUE(r.has_value()) << r.error().display();
  EXPECT_EQ(r->content.graph.verifiers[0].determinism, Determinism::reproducible(0.25));
}

TEST(ReadRecord, DocumentErrors) {
  EXPECT_EQ(record_error(R"("x")"), "invalid type: string \"x\", expected struct EvidenceRecord" + at(3));
  EXPECT_EQ(record_error("null"), "invalid type: null, expected struct EvidenceRecord" + at(4));
  EXPECT_EQ(record_error("{}"), "missing field `record_id`" + at(2));
  auto u = read_unsigned_record_json("7");
  ASSERT_FALSE(u.has_value());
  EXPECT_EQ(u.error().display(), "invalid type: integer `7`, expected struct UnsignedRecord" + at(1));
}

}  // namespace
}  // namespace qv::records
