// The whole road: request, policy, transcript lines (batches included),
// record id and signing key.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "crypto/sha256.hpp"
#include "json/reader.hpp"
#include "json/string_size.hpp"
#include "run/convert.hpp"
#include "run/driver.hpp"
#include "run/record.hpp"

namespace {

using namespace qv::run;

constexpr const char* kSeed = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60";
constexpr const char* kDenyRm = R"({"id":"p","default":"ALLOW","rules":[{"id":"r","match":"tool","name":"rm","effect":"DENY"}]})";

RunVerifyRequest request(std::string trace, std::string policy = kDenyRm) {
  return RunVerifyRequest{std::move(trace), std::move(policy), "run-1", "sys", "1.0", "2026-01-01T00:00:00Z",
                          qv::crypto::SecretText(kSeed), {}};
}

std::string failure(const RunVerifyRequest& r) {
  auto record = verify_run(r);
  return record ? "sealed" : record.error().display();
}

const std::string kCall = R"({"id":1,"method":"tools/call","params":{"name":"rm"},"ts":"T1"})";
const std::string kAnswer = R"({"id":1,"result":{}})";

TEST(Driver, EmptyTraceGivesOnlyTheStart) {
  for (const std::string trace : {"", "\n \r\n\t"}) {
    const RunRecord r = verify_run(request(trace, R"({"id":"p","default":"DENY"})")).value();
    EXPECT_EQ(r.content.gate, Effect::Allow);
    EXPECT_TRUE(r.content.breaches.empty());
    EXPECT_EQ(r.record_id, "run_" + r.content.run_hash.substr(7, 12));
    EXPECT_EQ(r.record_id.size(), 16u);
    EXPECT_EQ(r.content.policy_hash, "sha256:" + qv::crypto::sha256_hex(R"({"default":"DENY","id":"p","rules":[]})"));
  }
}

TEST(Driver, SameRequestSameRun) {
  const RunRecord a = verify_run(request(kCall + "\n" + kAnswer)).value();
  const RunRecord b = verify_run(request(kCall + "\r\n" + kAnswer + "\n")).value();
  EXPECT_EQ(a.content, b.content);
  EXPECT_EQ(a.record_id, b.record_id);
  EXPECT_EQ(a.content.gate, Effect::Deny);
  EXPECT_EQ(a.content.policy_id, "p");
  // White space around the members (a tab, a CR, a space) reads as none:
  // the denied call is still logged, and denied.
  for (const std::string space : {"\t", "\r", " "}) {
    const std::string call = "{" + space + R"("id":1,"method":)" + space + R"("tools/call",)" + space + R"("params")" +
                             space + ":" + space + R"({"name":)" + space + R"("rm"})" + space + R"(,"ts":"T1")" + space + "}";
    const RunRecord spaced = verify_run(request(call + "\n" + kAnswer)).value();
    EXPECT_EQ(spaced.content.gate, Effect::Deny) << call;
    EXPECT_EQ(spaced.content, a.content) << call;
  }
  // A number "ts" is no time: the message takes the carried one.
  const RunRecord c = verify_run(request(kCall + "\n" + R"({"id":1,"result":{},"ts":5})")).value();
  const RunRecord d = verify_run(request(kCall + "\n" + R"({"id":1,"result":{},"ts":"T1"})")).value();
  EXPECT_EQ(c.content.run_hash, d.content.run_hash);
  const RunRecord e = verify_run(request(kCall + "\n" + R"({"id":1,"result":{},"ts":"T2"})")).value();
  EXPECT_NE(e.content.run_hash, d.content.run_hash);
  EXPECT_NE(e.content.log_head, d.content.log_head);
}

TEST(Driver, BatchLinesAreReadElementByElement) {
  // A call sent in a batch is judged like one sent on its own line.
  const RunRecord lines = verify_run(request(kCall + "\n7\n" + kAnswer)).value();
  const RunRecord batch = verify_run(request("[" + kCall + ",7,[1]," + kAnswer + "]")).value();
  EXPECT_EQ(batch.content.gate, Effect::Deny);
  EXPECT_EQ(batch.content.run_hash, lines.content.run_hash);
  EXPECT_EQ(batch.content.log_head, lines.content.log_head);
  // An element's "ts" is carried on to the elements and lines after it.
  const RunRecord carried = verify_run(request("[" + kCall + "]\n" + kAnswer)).value();
  EXPECT_EQ(carried.content.run_hash, lines.content.run_hash);
  // An empty batch makes nothing.
  const RunRecord empty = verify_run(request("[]\n[ ]")).value();
  EXPECT_EQ(empty.content.run_hash, verify_run(request("")).value().content.run_hash);
  EXPECT_EQ(failure(request(R"([{"id":1,"method":"tools/call"}])")), "invalid input: tools/call without a name");
}

TEST(Driver, Failures) {
  EXPECT_EQ(failure(request("{}\n \nx")), "invalid input: trace line 3: expected value at line 1 column 1");
  EXPECT_EQ(failure(request("  {} {}  ")), "invalid input: trace line 1: trailing characters at line 1 column 4");
  EXPECT_EQ(failure(request(std::string(200, '[') + std::string(200, ']'))),
            "invalid input: trace line 1: recursion limit exceeded at line 1 column 128");
  EXPECT_EQ(failure(request("x", "{}")), "invalid input: policy: missing field `id` at line 1 column 2");
  auto bad_key = request(kCall);
  for (std::string seed : {std::string(kSeed).substr(0, 62), std::string(kSeed) + "00", std::string(kSeed).substr(0, 63),
                           std::string(kSeed).substr(0, 62) + "zz"}) {
    bad_key.signing_key_hex = qv::crypto::SecretText(std::move(seed));
    EXPECT_EQ(failure(bad_key), "invalid input: signing key must be 32 bytes hex");
  }
  bad_key.trace = "x";
  EXPECT_EQ(failure(bad_key), "invalid input: trace line 1: expected value at line 1 column 1");
  bad_key.trace = "";
  bad_key.signing_key_hex = qv::crypto::SecretText("9D61B19DEFFD5A60BA844AF492EC2CC44449C5697B326919703BAC031CAE7F60");
  EXPECT_EQ(verify_run(bad_key).value().signer_public_key,
            "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a");
}

TEST(Driver, RequestAndChain) {
  auto text = [](std::string json) {
    auto r = run_verify_json(json);
    return r ? *r : display(r.error());
  };
  EXPECT_EQ(text(R"({"trace":"","policy_json":"","run_id":""})"), "missing field `system_id` at line 1 column 41");
  EXPECT_EQ(text(R"(["","{}","r"])"), "invalid length 3, expected struct RunVerifyRequest with 8 elements at line 1 column 13");
  EXPECT_EQ(text(R"({"trace":"","policy_json":"{}","run_id":"r","system_id":"s","started_at":5})"),
            "invalid type: integer `5`, expected a string at line 1 column 74");
  const std::string policy = R"({\"id\":\"p\",\"hash\":\"stated\",\"default\":\"ALLOW\"})";
  const std::string first =
      text(R"(["", ")" + policy + R"(", "r", "s", null, "T", null, ""])");
  ASSERT_EQ(first.rfind("{\"record_id\":\"run_", 0), 0u) << first;
  EXPECT_NE(first.find(R"("policy_hash":"stated")"), std::string::npos);
  // An empty previous_record_hash starting a chain: the Python tests.
}

// The trace is decoded into a buffer of its final size, measured before:
// the measure agrees with the JSON reader on strings of every escape, runs
// of backslashes across the 64-byte steps of the scan, and texts that do
// not close the string.
TEST(Driver, TraceIsReadIntoABufferOfItsSize) {
  const char* pieces[] = {"ab", "\\\\", "\\\"", "\\n", "\\/", "\\u0041", "\\u00E9", "\\u20ac",
                          "\\ud83d\\ude00", "\xc3\xa9", "u", "\\\\u0041", "\\\\\\\\\\\\\\\\", "\\t\\u0000",
                          // where the UTF-8 length of a code point changes, and the first surrogate pair
                          "\\u007F", "\\u0080", "\\u07FF", "\\u0800", "\\uD800\\uDC00"};
  std::mt19937 rng(35);
  std::size_t compared = 0;
  for (int t = 0; t < 3000; ++t) {
    std::string body(32 + rng() % 64, 'x');  // past the short-string buffer
    for (std::uint32_t k = rng() % 48; k > 0; --k) body += pieces[rng() % std::size(pieces)];
    const std::string text = "\"" + body + "\"";
    const std::string decoded = qv::json::read_json(text).value().as_string();
    ASSERT_EQ(qv::json::decoded_string_size(text, 1), decoded.size()) << text;
    // Not closed: the text ends, or its last quote is escaped.
    EXPECT_EQ(qv::json::decoded_string_size(text.substr(0, text.size() - 1), 1), std::nullopt) << text;
    EXPECT_EQ(qv::json::decoded_string_size(text.substr(0, text.size() - 1) + "\\\"", 1), std::nullopt) << text;
    const auto request = deserialize_run_verify_request(R"({"trace":)" + text + R"(,"policy_json":"","run_id":"","system_id":""})");
    ASSERT_EQ(request.value().trace, decoded);
    EXPECT_EQ(request->trace.capacity(), decoded.size()) << text;
    ++compared;
  }
  EXPECT_EQ(compared, 3000u);
  EXPECT_EQ(qv::json::decoded_string_size(R"("\u12)", 1), std::nullopt);
  EXPECT_EQ(qv::json::decoded_string_size(R"("\u12x4")", 1), std::nullopt);
  // A trace that is no string, or not a well-formed one, is refused as before.
  EXPECT_EQ(deserialize_run_verify_request(R"({"trace":5})").error().display(),
            "invalid type: integer `5`, expected a string at line 1 column 10");
  EXPECT_EQ(deserialize_run_verify_request(R"({"trace":"\ud800"})").error().display(),
            "unexpected end of hex escape at line 1 column 17");
  EXPECT_EQ(deserialize_run_verify_request(R"({"trace":"\u00e9\x"})").error().display(),
            "invalid escape at line 1 column 18");
}

TEST(Driver, RunHashAndLogHeadOfTheRoad) {
  // Taken while the events come, the hashes are those of the whole run;
  // the answer's result is hashed as the value it is, an array closed
  // where it closes.
  auto digest = [](const std::string& text) { return "sha256:" + qv::crypto::sha256_hex(text); };
  const std::string e0 = R"({"event":{"type":"run_started"},"id":"ev-0","sequence":0,"timestamp":"2026-01-01T00:00:00Z"})";
  const std::string e1 = R"({"event":{"arguments_hash":")" + digest("null") +
                         R"(","tool":{"name":"rm"},"type":"tool_requested"},"id":"ev-1","sequence":1,"timestamp":"T1"})";
  std::set<std::string> run_hashes;
  for (const auto& [answer, result] : std::vector<std::pair<std::string, std::string>>{
           {kAnswer, "{}"}, {R"({"id":1,"result":[2,[ ]]})", "[2,[]]"}, {R"({"id":1,"result":null})", "null"}}) {
    const RunRecord r = verify_run(request(kCall + "\n" + answer)).value();
    const std::string e2 = R"({"event":{"result_hash":")" + digest(result) +
                           R"(","status":"ok","tool":{"name":"rm"},"type":"tool_completed"},"id":"ev-2","parent":"ev-1","sequence":2,"timestamp":"T1"})";
    EXPECT_EQ(r.content.run_hash, digest(R"({"events":[)" + e0 + "," + e1 + "," + e2 +
                                         R"(],"finished_at":"T1","run_id":"run-1","started_at":"2026-01-01T00:00:00Z",)"
                                         R"("status":"completed","system":{"id":"sys","version":"1.0"}})"))
        << answer;
    EXPECT_EQ(r.content.log_head, digest(e2 + "\n" + digest(e1 + "\n" + digest(e0 + "\n")))) << answer;
    run_hashes.insert(r.content.run_hash);
  }
  EXPECT_EQ(run_hashes.size(), 3u);
}

}  // namespace
