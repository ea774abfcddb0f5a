// Run records: the written text, the content hash, reading stored records
// and the chain check with its tamper detection.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "common/layouts.hpp"
#include "crypto/digest.hpp"
#include "crypto/ed25519.hpp"
#include "crypto/sha256.hpp"
#include "records/seal.hpp"
#include "run/record.hpp"

namespace {

using namespace qv::run;

const qv::crypto::SigningKey& key() {
  static const auto k = qv::crypto::signing_key_from_seed(std::array<unsigned char, 32>{7});
  return k;
}

RunRecordContent content(std::string run_id, std::vector<Breach> breaches = {}) {
  return RunRecordContent{std::string(kRunRecordSchema), "6.0.5", std::move(run_id), {}, "sha256:run", "sha256:head",
                          "p", "sha256:pol", breaches.empty() ? Effect::Allow : Effect::Deny, std::move(breaches)};
}

RunRecord seal(RunRecordContent c, std::optional<std::string> previous, std::string id) {
  RunRecord r{std::move(id), "2026-01-01T00:00:00Z", std::move(c), "", std::move(previous), "", "", ""};
  r.content_hash = run_record_content_hash(r.content).value();
  auto s = qv::records::sign_record_hash(r.content_hash, r.previous_record_hash, r.record_id, r.timestamp, key());
  r.record_hash = s.record_hash;
  r.signature = s.signature;
  r.signer_public_key = s.public_key;
  return r;
}

std::string verify(std::string_view text) {
  auto records = parse_run_records_jsonl(text);
  if (!records) return records.error().display();
  auto n = check_run_record_chain(*records);
  return n ? std::to_string(*n) : n.error().display();
}

std::string replaced(std::string text, std::string_view from, std::string_view to) {
  const auto at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.replace(at, from.size(), to);
}

TEST(RunRecord, TextAndContentHash) {
  const RunRecord r = seal(content("r", {{"a1", "why"}}), {}, "run_1");
  const std::string text = write_run_record_json(r);
  EXPECT_EQ(text.substr(0, text.find(R"(,"content_hash")")),
            R"({"record_id":"run_1","timestamp":"2026-01-01T00:00:00Z","content":{"schema":"quillaveen.run-record/1",)"
            R"("engine_version":"6.0.5","run_id":"r","run_hash":"sha256:run","log_head":"sha256:head","policy_id":"p",)"
            R"("policy_hash":"sha256:pol","gate":"DENY","breaches":[{"action_id":"a1","reason":"why"}]})");
  EXPECT_EQ(r.content_hash, "sha256:" + qv::crypto::sha256_hex(
                                            R"({"breaches":[{"action_id":"a1","reason":"why"}],"engine_version":"6.0.5",)"
                                            R"("gate":"DENY","log_head":"sha256:head","policy_hash":"sha256:pol",)"
                                            R"("policy_id":"p","run_hash":"sha256:run","run_id":"r","schema":"quillaveen.run-record/1"})"));
  EXPECT_EQ(read_run_record_json(text).value(), r);
  // Absent members left out of the written text: the Python tests.
}

TEST(RunRecord, StoredFormsThatStillVerify) {
  const std::string text = write_run_record_json(seal(content("r"), {}, "run_1"));
  EXPECT_EQ(verify(text), "1");
  // Nulls and an empty breach list read as absent; unknown members are skipped.
  EXPECT_EQ(verify(replaced(text, R"("run_id":"r",)",
                            R"("run_id":"r","parent_run_id":null,"breaches":[],"x":{"y":[1e999]},)")),
            "1");
  EXPECT_EQ(verify(replaced(text, R"({"record_id")", R"({"previous_record_hash":null, "record_id")")), "1");
  // Other escapes for the same characters, white space inside the line.
  EXPECT_EQ(verify(replaced(text, R"("policy_id":"p")", "\"policy_id\" :\t\"\\u0070\"")), "1");
  EXPECT_EQ(verify("\r\n  \n" + text + "\r\n\n"), "1");
}

TEST(RunRecord, ReadingErrors) {
  const std::string text = write_run_record_json(seal(content("r"), {}, "run_1"));
  const std::size_t gate = text.find(R"("gate":)");  // the value's first byte is at column gate + 8
  EXPECT_EQ(verify(replaced(text, R"("gate":"ALLOW")", R"("gate":"allow")")),
            "serialisation error: unknown variant `allow`, expected one of `ALLOW`, `REVIEW`, `DENY` at line 1 column " +
                std::to_string(gate + 14));
  EXPECT_EQ(verify(replaced(text, R"("gate":"ALLOW")", R"("gate":0)")),
            "serialisation error: expected value at line 1 column " + std::to_string(gate + 8));
  EXPECT_EQ(verify(text + text), "serialisation error: trailing characters at line 1 column " + std::to_string(text.size() + 1));
  const std::string no_key = text.substr(0, text.find(R"(,"signer_public_key")")) + "}";
  EXPECT_EQ(verify(no_key), "serialisation error: missing field `signer_public_key` at line 1 column " +
                                std::to_string(no_key.size()));
}

TEST(RunRecord, ChainChecks) {
  const RunRecord first = seal(content("a"), {}, "run_a");
  const RunRecord second = seal(content("b"), first.record_hash, "run_b");
  const std::string a = write_run_record_json(first);
  const std::string b = write_run_record_json(second);
  EXPECT_EQ(verify(a + "\n" + b + "\n"), "2");
  EXPECT_EQ(verify(b + "\n" + a), "integrity error: run_b: broken chain link");
  EXPECT_EQ(verify(a + "\n" + a), "integrity error: run_a: broken chain link");
  EXPECT_EQ(verify(write_run_record_json(seal(content("c"), "", "run_c"))), "integrity error: run_c: broken chain link");
}

TEST(RunRecord, TamperDetection) {
  const std::string text = write_run_record_json(seal(content("r", {{"a1", "why"}}), {}, "run_1"));
  EXPECT_EQ(verify(replaced(text, R"("gate":"DENY")", R"("gate":"ALLOW")")), "integrity error: run_1: content hash mismatch");
  EXPECT_EQ(verify(replaced(text, R"("timestamp":"2026-01-01T00:00:00Z")", R"("timestamp":"2026-01-01T00:00:01Z")")),
            "integrity error: run_1: record hash mismatch");
  // Renamed and relinked records are refused by their record hash.
  EXPECT_EQ(verify(replaced(text, R"("record_id":"run_1")", R"("record_id":"run_2")")),
            "integrity error: run_2: record hash mismatch");
  const RunRecord r = read_run_record_json(text).value();
  RunRecord forged = r;
  forged.signature[0] = forged.signature[0] == '0' ? '1' : '0';
  EXPECT_EQ(verify(write_run_record_json(forged)), "integrity error: run_1: signature does not verify");
  // Altered and out of place: reported as altered.
  const RunRecord first = seal(content("a"), {}, "run_a");
  EXPECT_EQ(verify(write_run_record_json(first) + "\n" + replaced(text, R"("gate":"DENY")", R"("gate":"REVIEW")")),
            "integrity error: run_1: content hash mismatch");
}

// Every layout of a stored record (white space where a line holds it,
// escaped letters, members in another order) verifies in its chain as the
// compact text does; sealed over the hash of a content text that keeps
// such a layout, it is refused.
TEST(RunRecord, EveryLayoutVerifiesAsTheCompactText) {
  const RunRecord first = seal(content("a"), {}, "run_a");
  const RunRecord second = seal(content("b", {{"a1", "why"}, {"a2", "Tool"}}), first.record_hash, "run_b");
  const std::string head = write_run_record_json(first) + "\n";
  const std::string compact = write_run_record_json(second);
  ASSERT_EQ(verify(head + compact), "2");
  std::size_t compared = 0;
  std::size_t forged = 0;
  for (const auto& layout : qv::testing::layouts(compact, {.line_feeds = false, .whole_floats = false, .kept_order = {}})) {
    EXPECT_EQ(verify(head + layout.text), "2") << layout.what << ": " << layout.text;
    ++compared;
    if (layout.kind == qv::testing::Layout::Kind::Escape) continue;  // the seal's texts are not found to replace
    const std::string hash = qv::crypto::text_digest(qv::testing::top_member_value(layout.text, R"("content")"));
    if (hash == second.content_hash) continue;  // the layout left the content in canonical form
    const auto s = qv::records::sign_record_hash(hash, second.previous_record_hash, second.record_id, second.timestamp, key());
    const std::string text = replaced(replaced(replaced(layout.text, second.content_hash, hash), second.record_hash,
                                               s.record_hash),
                                      second.signature, s.signature);
    EXPECT_EQ(verify(head + text), "integrity error: run_b: content hash mismatch") << layout.what;
    ++forged;
  }
  EXPECT_EQ(compared, 350u);
  EXPECT_EQ(forged, 276u);
}

}  // namespace
