// The graph's fixed orders and the record id and timestamp.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "engine/assemble.hpp"
#include "engine/graph.hpp"
#include "findings.hpp"
#include "records/digest.hpp"
#include "records/write.hpp"

namespace qv::engine {
namespace {

using records::Evidence;
using records::EvidenceResult;

using testing::finding;
using testing::info;

std::vector<std::string> keys(const records::EvidenceGraph& g) {
  std::vector<std::string> out;
  for (const Evidence& e : g.evidence) {
    out.push_back(e.claim_id + "/" + e.verifier_id + "/" + std::string(records::to_word(e.result)) + "/" + e.rationale);
  }
  return out;
}

TEST(EvidenceGraph, OrdersHoldAfterEveryAddition) {
  records::EvidenceGraph g;
  add_verifier_evidence(g, info("v.b"), {finding("c2", "v.b", EvidenceResult::Supported, "1"),
                                         finding("c10", "v.b", EvidenceResult::Supported, "2")});
  add_verifier_evidence(g, info("v.a"), {finding("c2", "v.a", EvidenceResult::Error, "3"),
                                         finding("c2", "v.a", EvidenceResult::Contradicted, "4")});
  // Equal keys keep the order of addition, across and within additions.
  add_verifier_evidence(g, info("v.b"), {finding("c2", "v.b", EvidenceResult::Supported, "5"),
                                         finding("c2", "v.b", EvidenceResult::Supported, "6")});
  add_verifier_evidence(g, info("v.0"), {});
  EXPECT_EQ(keys(g), (std::vector<std::string>{"c10/v.b/supported/2", "c2/v.a/contradicted/4", "c2/v.a/error/3",
                                               "c2/v.b/supported/1", "c2/v.b/supported/5", "c2/v.b/supported/6"}));
  ASSERT_EQ(g.verifiers.size(), 4u);
  EXPECT_EQ(g.verifiers[0].id, "v.0");
  EXPECT_EQ(g.verifiers[1].id, "v.a");
  EXPECT_EQ(g.verifiers[2].id, "v.b");
  EXPECT_EQ(g.verifiers[3].id, "v.b");

  add_verifier_failure(g, "quillaveen.scope", "b");
  add_verifier_failure(g, "quillaveen.numeric", "a");
  add_verifier_failure(g, "quillaveen.numeric", "");
  EXPECT_EQ(g.failures, (std::vector<records::TextPair>{
                            {"quillaveen.numeric", ""}, {"quillaveen.numeric", "a"}, {"quillaveen.scope", "b"}}));
}

TEST(EvidenceGraph, BytesCompareUnsigned) {
  records::EvidenceGraph g;
  add_verifier_evidence(g, info("\xc3\xa9"), {finding("\xc3\xa9", "v", EvidenceResult::Supported)});
  add_verifier_evidence(g, info("z"), {finding("z", "v", EvidenceResult::Supported)});
  EXPECT_EQ(g.verifiers.front().id, "z");
  EXPECT_EQ(g.evidence.front().claim_id, "z");
}

TEST(RecordAssembly, TimestampAndId) {
  using namespace std::chrono;
  const sys_days day = year{2024} / February / 29;
  EXPECT_EQ(format_record_timestamp(day + hours{23} + minutes{59} + seconds{59} + milliseconds{999}),
            "2024-02-29T23:59:59Z");
  EXPECT_EQ(format_record_timestamp(system_clock::time_point{}), "1970-01-01T00:00:00Z");

  const std::string hash = "sha256:0123456789abcdef" + std::string(48, '0');
  EXPECT_EQ(form_record_id(hash, {0x00, 0x01, 0xab, 0xcd, 0xef, 0xff}), "rec_0123456789ab_0001abcdefff");

  records::RecordContent content;
  const auto a = build_evidence_record(content);
  const auto b = build_evidence_record(content);
  ASSERT_TRUE(a && b);
  const auto digest = records::compute_content_hash(content);
  ASSERT_TRUE(digest);
  EXPECT_EQ(a->record_id.size(), 29u);
  EXPECT_EQ(a->record_id.substr(4, 12), digest->substr(7, 12));
  EXPECT_EQ(a->record_id.substr(0, 17), b->record_id.substr(0, 17));
  EXPECT_NE(a->record_id, b->record_id);
  EXPECT_EQ(a->timestamp.size(), 20u);
  EXPECT_EQ(a->timestamp.back(), 'Z');
}

}  // namespace
}  // namespace qv::engine
