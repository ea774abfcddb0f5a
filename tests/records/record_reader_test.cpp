// The chain reader (one kept record, the content hash taken while reading)
// against the full reader and the typed canonical writer: for every text
// the same record and content hash, or the same error at the same place,
// whatever the reader read before.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/layouts.hpp"
#include "crypto/digest.hpp"
#include "crypto/hex.hpp"
#include "records/chain.hpp"
#include "records/digest.hpp"
#include "records/read.hpp"
#include "records/seal.hpp"
#include "records/verify.hpp"
#include "records/write.hpp"
#include "sample.hpp"

namespace qv::records {
namespace {

using qv::testing::Layout;
using qv::testing::layouts;
using qv::testing::top_member_value;
using testing::full_record;
using testing::replaced;

// A record the way the engine writes it for the chain benchmarks: every
// defaulted member empty, nothing escaped.
EvidenceRecord plain_record() {
  EvidenceRecord r = full_record();
  r.signature_algorithm.reset();
  RecordContent& c = r.content;
  c.graph.failures.clear();
  c.graph.verifiers[1].artefacts.clear();
  for (Evidence& e : c.graph.evidence) {
    e.rationale = "matches the source";
    e.model_hash.reset();
    e.calibration_id.reset();
  }
  c.outcome.reasons.clear();
  c.outcome.risk_class.reset();
  c.outcome.pass_means.reset();
  return r;
}

// Texts in the plain form and beside it, each a small step away.
std::vector<std::string> texts() {
  const std::string full = write_evidence_record_json(full_record());
  const std::string plain = write_evidence_record_json(plain_record());
  std::vector<std::string> out = {full, plain};
  auto both = [&](std::string_view from, std::string_view to) {
    out.push_back(replaced(full, from, to));
    if (plain.find(from) != std::string::npos) out.push_back(replaced(plain, from, to));
  };
  // Literals whose canonical text differs from them, and ones that do not.
  both(R"("score":1.0)", R"("score":1)");
  both(R"("score":1.0)", R"("score":1.00)");
  both(R"("score":1.0)", R"("score":-0.0)");
  both(R"("score":1.0)", R"("score":1e0)");
  both(R"("score":1.0)", R"("score":123456789012345.0)");
  both(R"("score":1.0)", R"("score":1234567890123456.0)");
  both(R"("score":1.0)", R"("score":9999999999999999.0)");
  both(R"("score":1.0)", R"("score":0.000001)");
  both(R"("confidence":0.25)", R"("confidence":0.250)");
  both(R"("tolerance":0.005)", R"("tolerance":5e-3)");
  both(R"("end":17)", R"("end":18446744073709551615)");
  both(R"("start":3)", R"("start":0)");
  both(R"("source_text":"12.5%")", R"("source_text":"\u00e9t\u00e9 \/ \"q\"")");
  both(R"("source_text":"12.5%")", "\"source_text\":\"\xc3\xa9t\xc3\xa9\x7f\"");
  both(R"("claim_id":"c0")", R"("claim_id":"")");
  both(R"("policy_id":"quillaveen_default_v1")", R"("policy_id":"a\u0000b\u001f")");
  // The record's own members absent or null, the content left whole.
  both(R"(,"signature_algorithm":"ecdsa-p256-sha256")", "");
  both(R"("previous_record_hash":"sha256:prev")", R"("previous_record_hash":null)");
  both(R"(,"previous_record_hash":"sha256:prev")", "");
  // Shorter lists than the record before.
  both(R"(,{"claim_id":"c1","decision":"FAIL","reasons":["r1","r2"]})", "");
  both(R"("reasons":["r1","r2"])", R"("reasons":["r1"])");
  both(R"(["statement","word"])", R"(["word"])");
  // Members present that the writer leaves out, and absent ones it writes.
  both(R"("needs_network":false)", R"("needs_network":false,"artefacts":[])");
  both(R"(,"needs_network":false)", "");
  both(R"("requirement":"",)", "");
  both(R"("policy_hash":"sha256:pp",)", R"("policy_hash":"sha256:pp","risk_class":null,)");
  both(R"("notes":["rounded","unit_match"])", R"("notes":[])");
  both(R"("verifiers":[)", R"("failures":[],"verifiers":[)");
  // White space, other member orders, unknown and repeated members.
  both(R"("decision":"REVIEW",)", "\"decision\" : \"REVIEW\" ,\n\t");
  both(R"("tolerance":0.005})", "\"tolerance\":0.005 \t\r}");
  both(R"({"start":3,"end":17})", R"({"end":17,"start":3})");
  both(R"("locale":"en",)", R"("locale":"en","extra":[1,{"a":null}],)");
  both(R"("record_id")", R"("\u0072ecord_id")");
  both(R"("timestamp")", R"("record_id":"again","timestamp")");
  // Enumerations as objects, and words with escapes.
  both(R"("decision":"REVIEW")", R"("decision":{"REVIEW":null})");
  both(R"("result":"supported")", R"("result":"supp\u006frted")");
  both(R"("class":"exact")", R"("class":"\u0065xact")");
  both(R"({"class":"reproducible","tolerance":0.005})", R"({"tolerance":0.005,"class":"reproducible"})");
  both(R"({"class":"exact"})", R"({"class":"exact","tolerance":1})");
  both(R"({"class":"exact"})", R"(["exact"])");
  // Errors (21 texts).
  both(R"("kind":"exact")", R"("kind":"Exact")");
  both(R"("score":1.0)", R"("score":"1")");
  both(R"("score":1.0)", R"("score":1e400)");
  both(R"({"start":3,"end":17})", R"({"start":-3,"end":17})");
  both(R"(,"signature":"ab")", "");
  both(R"("rationale":)", R"("rationale":"\ud800",)");
  both(R"("end":17)", R"("end":18446744073709551616)");
  both(R"("timestamp":)", R"("timestamp"x:)");
  out.push_back(plain + " x");
  out.push_back("[" + plain + "]");
  out.push_back(plain.substr(0, plain.size() - 1) + ",}");
  return out;
}

// Whether the reader gives what the full reader gives: the same record (with
// `seal_only`, every member but the content, which such a reader does not
// keep), the same content hash, or the same error.
void expect_same(EvidenceRecordReader& reader, const std::string& text, std::size_t& read, std::size_t& refused,
                 bool seal_only = false) {
  const auto expected = read_evidence_record_json(text);
  const auto got = reader.read(text);
  ASSERT_EQ(got.has_value(), expected.has_value()) << text;
  if (!expected) {
    EXPECT_EQ(got.error().display(), expected.error().display()) << text;
    ++refused;
    return;
  }
  EvidenceRecord record = reader.record();
  if (seal_only) record.content = expected->content;
  EXPECT_EQ(record, *expected) << text;
  ASSERT_TRUE(reader.content_hash().has_value());
  EXPECT_EQ(*reader.content_hash(), compute_content_hash(expected->content).value()) << text;
  ++read;
}

// A reader that keeps the seal only.
void expect_same_seal(EvidenceRecordReader& reader, const std::string& text, std::size_t& read,
                      std::size_t& refused) {
  expect_same(reader, text, read, refused, true);
}

TEST(EvidenceRecordReader, GivesWhatTheFullReaderGivesInEveryOrder) {
  const std::vector<std::string> all = texts();
  std::size_t read = 0;
  std::size_t refused = 0;
  EvidenceRecordReader forward;
  for (const std::string& text : all) expect_same(forward, text, read, refused);
  EvidenceRecordReader backward;
  for (auto t = all.rbegin(); t != all.rend(); ++t) expect_same(backward, *t, read, refused);
  // Each text after each other one: what one record left in the kept
  // buffers never reaches the next.
  for (const std::string& before : all) {
    for (const std::string& text : all) {
      EvidenceRecordReader reader;
      std::size_t ignored = 0;
      expect_same(reader, before, ignored, ignored);
      expect_same(reader, text, read, refused);
    }
  }
  // Each text is read n + 2 times; 23 of them are refused: the 21 after
  // "Errors." and the full record given a second risk_class and failures.
  const std::size_t n = all.size();
  EXPECT_EQ(n, 100u);
  EXPECT_EQ(read + refused, n * (n + 2));
  EXPECT_EQ(refused, 23 * (n + 2));
}

TEST(EvidenceRecordReader, KeepingTheSealGivesTheSameSealAndHash) {
  const std::vector<std::string> all = texts();
  std::size_t read = 0;
  std::size_t refused = 0;
  EvidenceRecordReader forward(EvidenceRecordReader::Keep::Seal);
  for (const std::string& text : all) expect_same_seal(forward, text, read, refused);
  EvidenceRecordReader backward(EvidenceRecordReader::Keep::Seal);
  for (auto t = all.rbegin(); t != all.rend(); ++t) expect_same_seal(backward, *t, read, refused);
  // The full record's content after each other text, and each text after
  // the full record: nothing the content left behind reaches the next hash.
  const std::string full = write_evidence_record_json(full_record());
  for (const std::string& text : all) {
    EvidenceRecordReader reader(EvidenceRecordReader::Keep::Seal);
    std::size_t ignored = 0;
    expect_same_seal(reader, text, ignored, ignored);
    expect_same_seal(reader, full, read, refused);
    expect_same_seal(reader, text, read, refused);
  }
  const std::size_t n = all.size();
  EXPECT_EQ(read + refused, 4 * n);
  EXPECT_EQ(refused, 23u * 3);
}

// Records whose list elements repeat those of the record read before: the
// same again, moved to another place, up to their last byte, cut short,
// with white space, among more or fewer elements, too long to be
// remembered. A reader that keeps the seal only gives each the full
// reader's hash or error.
TEST(EvidenceRecordReader, ElementsLikeTheRecordBeforeGiveTheFullReadersHash) {
  const std::string plain = write_evidence_record_json(plain_record());
  const std::string full = write_evidence_record_json(full_record());
  const std::string c0 = R"({"claim_id":"c0","decision":"PASS","reasons":[]})";
  const std::string c1 = R"({"claim_id":"c1","decision":"FAIL","reasons":["r1","r2"]})";
  const std::string both = c0 + "," + c1;
  const std::size_t numeric = plain.find(R"({"id":"quillaveen.numeric")");
  ASSERT_NE(numeric, std::string::npos);
  const std::vector<std::string> sequence = {
      plain,
      plain,
      replaced(plain, both, c1 + "," + c0),
      replaced(plain, both, c0 + "," + replaced(c1, "r2", "r3")),
      replaced(plain, both, c0 + "," + replaced(c1, "FAIL", "PASS")),
      replaced(plain, both, c1),
      replaced(plain, both, both + "," + c0),
      replaced(plain, both, replaced(c0, "{", "{ ") + "," + c1),
      plain,
      plain.substr(0, plain.find(both) + c0.size() - 1),
      replaced(plain, both, c0 + "]," + c1),
      plain.substr(0, numeric) + R"({"id":"quillaveen.numeric","version":"1.0.1")" +
          plain.substr(numeric + std::string_view(R"({"id":"quillaveen.numeric","version":"1.0.0")").size()),
      full,
      full,
      plain,
      full,
      replaced(plain, "matches the source", std::string(20000, 'm')),
      replaced(plain, "matches the source", std::string(20000, 'm')),
      plain,
      replaced(plain, "matches the source", std::string(20000, 'n')),
  };
  std::size_t read = 0;
  std::size_t refused = 0;
  EvidenceRecordReader reader(EvidenceRecordReader::Keep::Seal);
  for (const std::string& text : sequence) expect_same_seal(reader, text, read, refused);
  // The same records, each read after itself.
  for (const std::string& text : sequence) {
    expect_same_seal(reader, text, read, refused);
    expect_same_seal(reader, text, read, refused);
  }
  EXPECT_EQ(read + refused, 3 * sequence.size());
  EXPECT_EQ(refused, 3u * 2);  // the record cut short and the one with a bracket too many
}

// A record at the start of a longer text, read up to the end of its own
// line: the length of the line with its line feed, and the record and hash
// that read() gives for the line (the text up to the line feed, a carriage
// return before it left out); 0 when the line holds more than a record in
// the plain form and white space, or does not end within the text.
TEST(EvidenceRecordReader, ReadsALeadingRecordToTheEndOfItsLine) {
  const std::string plain = write_evidence_record_json(plain_record());
  const std::string spaced = replaced(plain, R"(,"timestamp")", R"(, "timestamp")");
  const std::string literal = replaced(plain, R"("score":1.0)", R"("score":1)");
  const std::string after = plain + "\n";
  struct Case {
    std::string text;
    std::size_t line;  // what read_leading gives
  };
  const std::vector<Case> cases = {
      {plain + "\n" + after, plain.size() + 1},
      {plain + " \t\r\n" + after, plain.size() + 4},
      {plain + "\r\r\n", plain.size() + 3},
      {spaced + "\n" + after, spaced.size() + 1},
      {literal + "\n", literal.size() + 1},
      {plain, 0},
      {plain + " \t", 0},
      {plain + " x\n" + after, 0},
      {plain + "\x0b\n" + after, 0},
      {plain + "\xc2\xa0\n" + after, 0},
      {replaced(plain, R"(,"timestamp")", ",\n\"timestamp\"") + "\n", 0},
      {replaced(plain, R"("locale")", R"("extra":1,"locale")") + "\n" + after, 0},
      {R"({"record_id":1})" "\n" + after, 0},
  };
  std::size_t leading = 0;
  for (const auto keep : {EvidenceRecordReader::Keep::Record, EvidenceRecordReader::Keep::Seal}) {
    for (const Case& c : cases) {
      EvidenceRecordReader reader(keep);
      const std::size_t line = reader.read_leading(c.text);
      EXPECT_EQ(line, c.line) << c.text;
      if (line == 0 || line != c.line) continue;
      std::string_view own = std::string_view(c.text).substr(0, line - 1);
      if (own.ends_with('\r')) own.remove_suffix(1);
      EvidenceRecordReader alone(keep);
      ASSERT_TRUE(alone.read(own).has_value());
      EvidenceRecord got = reader.record();
      EvidenceRecord want = alone.record();
      if (keep == EvidenceRecordReader::Keep::Seal) got.content = want.content = RecordContent{};
      EXPECT_EQ(got, want);
      EXPECT_EQ(reader.content_hash().value(), alone.content_hash().value());
      ++leading;
    }
  }
  EXPECT_EQ(leading, 2u * 5);
}

// Float literals at the edges of the forms taken at once (a decimal that is
// its own shortest form, a whole number with ".0") and just past them, as
// a score, a confidence and a tolerance.
TEST(EvidenceRecordReader, FloatLiteralsAsTheFullReaderReadsThem) {
  const std::string plain = write_evidence_record_json(plain_record());
  const std::vector<std::string_view> literals = {
      "0.1", "0.3", "-1.5", "2.675", "0.000001", "0.00001234567890123", "0.000001234567890123",
      "123456789012345.5", "12345678901234.56", "1234567890123456.5", "0.1234567890123456", "9007199254740993.0",
      "999999999999999.0", "-999999999999999.0", "1000000000000000.0", "0.0", "-0.0", "00.5", "1.0e2", "1.05",
      "1.10", "17.0", "017.0", "4.0E1", "1e-7", "5e-324", "1.7976931348623157e308", "18446744073709551616", "-7"};
  EvidenceRecordReader reader;
  std::size_t read = 0;
  std::size_t refused = 0;
  for (const std::string_view literal : literals) {
    for (const std::string_view member : {R"("score":1.0)", R"("confidence":0.25)", R"("tolerance":0.005)"}) {
      const std::string_view name = member.substr(0, member.find(':') + 1);
      expect_same(reader, replaced(plain, member, std::string(name) + std::string(literal)), read, refused);
    }
  }
  EXPECT_EQ(read + refused, 3 * literals.size());
  EXPECT_EQ(refused, 3u * 2);  // "00.5" and "017.0"
}

// Every prefix of a record, and the record with each byte replaced: the
// same errors, at the same places, as the full reader.
TEST(EvidenceRecordReader, BrokenTextsFailAsInTheFullReader) {
  const std::string plain = write_evidence_record_json(plain_record());
  EvidenceRecordReader reader;
  std::size_t read = 0;
  std::size_t refused = 0;
  for (std::size_t n = 0; n < plain.size(); ++n) expect_same(reader, plain.substr(0, n), read, refused);
  EXPECT_EQ(read, 0u);
  for (std::size_t i = 0; i < plain.size(); ++i) {
    for (const char c : {'"', '}', ',', '1', ' ', '\\', '\x01', '\xff'}) {
      std::string t = plain;
      if (t[i] == c) continue;
      t[i] = c;
      expect_same(reader, t, read, refused);
    }
  }
  // Some replacements still read (a digit in a text, a space between
  // tokens), most do not.
  EXPECT_GT(read, plain.size() / 2);
  EXPECT_GT(refused, 4 * plain.size());
}

}  // namespace
}  // namespace qv::records

namespace qv::records {
namespace {

// What each road that reads a stored record gives for a text: the full
// reader with the seal check, the chain reader keeping the record or the
// seal, the line reader of record_verify and record_verify_chains, and
// attaching a signature to the record as an unsigned one; each as "ok"
// (with the content hash or the written record) or the failure's text.
std::vector<std::string> verdicts(const std::string& text, const std::string& head, const SigningKey& key) {
  std::vector<std::string> out;
  const auto shown = [](const auto& r) { return r ? std::string("ok") : r.error().display(); };
  const auto full = read_evidence_record_json(text);
  out.push_back(full ? shown(verify_evidence_record(*full)) + " " + compute_content_hash(full->content).value()
                     : full.error().display());
  for (const auto keep : {EvidenceRecordReader::Keep::Record, EvidenceRecordReader::Keep::Seal}) {
    EvidenceRecordReader reader(keep);
    const auto read = reader.read(text);
    out.push_back(read ? shown(verify_record_seal(seal_check(reader.record(), *reader.content_hash()))) + " " +
                             *reader.content_hash()
                       : read.error().display());
  }
  // As a chain of its own (whose first record must not link to another: its
  // seal is checked first), and in the chain after the record it links to,
  // whose list elements, all the same, the reader remembers.
  for (const std::string& chain_text : {text + "\n", head + "\n" + text + "\n"}) {
    const std::vector<std::string_view> chains = {chain_text};
    const auto chain = verify_jsonl_chains(std::span<const std::string_view>(chains), true);
    out.push_back(chain ? std::to_string(*chain) : chain.error().display());
  }
  const auto unsigned_record = read_unsigned_record_json(text);
  const std::string signature =
      unsigned_record ? crypto::hex_encode(key.sign_text(unsigned_record->record_hash)) : std::string(128, '0');
  const auto attached = attach_signature_json(text, "ed25519", crypto::hex_encode(key.public_key()), signature);
  out.push_back(attached ? *attached : display(attached.error()));
  return out;
}

// Every layout of a sealed record (white space where a line of a chain
// holds it, escaped letters, floats in other forms, members in another
// order) reads, through every road, as the compact text does: accepted,
// with the same content hash. A record sealed over the hash of a content
// text that keeps such a layout is refused by every road.
TEST(EvidenceRecordReader, EveryLayoutReadsAsTheCompactText) {
  const SigningKey key = crypto::signing_key_from_seed_hex(std::string(64, '5')).value();
  RecordContent tolerant = plain_record().content;
  for (Evidence& e : tolerant.graph.evidence) {
    e.determinism = Determinism::reproducible(0.5);
    e.score = 0.125;
  }
  std::size_t compared = 0;
  std::size_t forged = 0;
  for (const RecordContent& content : {full_record().content, plain_record().content, tolerant}) {
    const EvidenceRecord first =
        seal_evidence_record(content, std::nullopt, "rec_head", "2026-01-02T03:04:04Z", key).value();
    const std::string head = write_evidence_record_json(first);
    const EvidenceRecord record =
        seal_evidence_record(content, first.record_hash, "rec_layout", "2026-01-02T03:04:05Z", key).value();
    const std::string compact = write_evidence_record_json(record);
    const std::vector<std::string> expected = verdicts(compact, head, key);
    ASSERT_TRUE(expected[0].starts_with("ok ")) << expected[0];
    ASSERT_EQ(expected[3], "integrity error: rec_layout: broken chain link");
    ASSERT_EQ(expected[4], "2");
    for (const Layout& layout : layouts(compact, {.line_feeds = false, .whole_floats = true, .kept_order = {}})) {
      EXPECT_EQ(verdicts(layout.text, head, key), expected) << layout.what << "\n" << layout.text;
      ++compared;
      if (layout.kind == Layout::Kind::Escape) continue;  // the seal's own texts are not found to replace
      // The content as this layout writes it, taken as its canonical text.
      const std::string_view content_text = top_member_value(layout.text, R"("content")");
      const std::string hash = crypto::text_digest(content_text);
      if (hash == record.content_hash) continue;  // the layout left the content in canonical form
      const RecordSignature seal =
          sign_record_hash(hash, record.previous_record_hash, record.record_id, record.timestamp, key);
      std::string text = replaced(layout.text, record.content_hash, hash);
      text = replaced(text, record.record_hash, seal.record_hash);
      text = replaced(text, record.signature, seal.signature);
      const std::vector<std::string> got = verdicts(text, head, key);
      for (std::size_t road = 0; road < 5; ++road) {
        EXPECT_TRUE(got[road].starts_with("integrity error: rec_layout: content hash mismatch")) << got[road];
      }
      EXPECT_TRUE(got[5].starts_with("invalid input: the key service's signature was refused:")) << got[4];
      ++forged;
    }
  }
  EXPECT_EQ(compared, 4181u);
  EXPECT_EQ(forged, 3404u);
}

}  // namespace
}  // namespace qv::records
