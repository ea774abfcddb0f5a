// JSON Lines splitting and the check of record chains.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crypto/ed25519.hpp"
#include "records/chain.hpp"
#include "records/digest.hpp"
#include "records/write.hpp"
#include "records/seal.hpp"
#include "sample.hpp"

namespace {

using namespace qv::records;

std::vector<std::string> lines_of(std::string_view text) {
  JsonLines lines(text);
  std::vector<std::string> out;
  while (auto line = lines.next()) out.emplace_back(*line);
  return out;
}

using Lines = std::vector<std::string>;

TEST(JsonLines, SplitsAtLineFeedsAndSkipsBlankLines) {
  EXPECT_EQ(lines_of(""), Lines{});
  EXPECT_EQ(lines_of("\n\n \t\n"), Lines{});
  EXPECT_EQ(lines_of("a\nb\n\n\n"), (Lines{"a", "b"}));
  EXPECT_EQ(lines_of("a\r\nb\r\n"), (Lines{"a", "b"}));
  // A carriage return elsewhere stays in the line.
  EXPECT_EQ(lines_of("a\rb\r\r\n\rc"), (Lines{"a\rb\r", "\rc"}));
  // Lines of Unicode white space only are blank; the others are kept whole.
  EXPECT_EQ(lines_of("\xc2\xa0\t\xe3\x80\x80\r\n  a \n\xe2\x80\xa8\n\x0b\x0c\n"), (Lines{"  a "}));
  // Not white space: U+FEFF, U+200B, U+001F.
  EXPECT_EQ(lines_of("\xef\xbb\xbf\n\xe2\x80\x8b\n\x1f"), (Lines{"\xef\xbb\xbf", "\xe2\x80\x8b", "\x1f"}));
  // A lone carriage return line is blank; an ill-formed byte is not.
  EXPECT_EQ(lines_of("\r\n\r\r\n\xff"), (Lines{"\xff"}));
}

// A text handed over in the given pieces.
TextPieces pieces_of(std::vector<std::string> parts) {
  return [parts = std::move(parts), i = std::size_t{0}]() mutable -> std::optional<std::string_view> {
    if (i == parts.size()) return std::nullopt;
    return std::string_view(parts[i++]);
  };
}

// Checks that `lines_from` gives the lines of each text cut into three pieces
// at every two places (empty pieces among them); the number of cuts tried.
template <class LinesFrom>
std::size_t expect_lines_of_every_cut(const std::vector<std::string>& texts, LinesFrom lines_from) {
  std::size_t compared = 0;
  for (const std::string& text : texts) {
    const Lines whole = lines_of(text);
    for (std::size_t a = 0; a <= text.size(); ++a) {
      for (std::size_t b = a; b <= text.size(); ++b) {
        EXPECT_EQ(lines_from(pieces_of({text.substr(0, a), text.substr(a, b - a), text.substr(b)})), whole) << text;
        ++compared;
      }
    }
  }
  return compared;
}

// The same lines when the text comes in pieces, cut at every place (into
// two, three and one-byte pieces, empty pieces among them).
TEST(JsonLinePieces, GiveTheLinesOfTheWholeText) {
  const std::vector<std::string> texts = {"a\r\nbc\n\n \t\nd\re\r\r\n\rf", "\xc2\xa0\r\n  x \n\xe2\x80\xa8\nlast\r",
                                          "", "\n", "one"};
  auto lines_from = [](TextPieces pieces) {
    JsonLinePieces lines(std::move(pieces));
    Lines out;
    while (auto line = lines.next()) out.emplace_back(*line);
    return out;
  };
  EXPECT_EQ(expect_lines_of_every_cut(texts, lines_from), 394u);
  for (const std::string& text : texts) {
    std::vector<std::string> bytes;
    for (char c : text) bytes.emplace_back(1, c);
    EXPECT_EQ(lines_from(pieces_of(bytes)), lines_of(text));
  }
}

// A caller that finds the end of some lines itself (here the lines that
// start with '{' and end within the piece at hand), passing them with
// skip(), and takes every other line from next(): the same lines, wherever
// the text is cut into pieces.
TEST(JsonLinePieces, LinesPassedFromAheadLeaveTheRestAsItWas) {
  const std::vector<std::string> texts = {"{a}\n{b} \r\n\n c\n{d\r\n", "x\n{y}\n", "{only}", "\n\n{z}\n\n", "{\n"};
  std::size_t passed = 0;
  auto lines_from = [&](TextPieces pieces) {
    JsonLinePieces lines(std::move(pieces));
    Lines out;
    while (true) {
      const std::string_view ahead = lines.ahead();
      const std::size_t feed = ahead.find('\n');
      if (ahead.starts_with('{') && feed != std::string_view::npos) {
        std::string_view line = ahead.substr(0, feed);
        if (line.ends_with('\r')) line.remove_suffix(1);
        out.emplace_back(line);
        lines.skip(feed + 1);
        ++passed;
      } else if (const auto line = lines.next()) {
        out.emplace_back(*line);
      } else {
        break;
      }
    }
    return out;
  };
  const std::size_t compared = expect_lines_of_every_cut(texts, lines_from);
  EXPECT_EQ(compared, 288u);
  // Most lines were passed from ahead(), the ones cut by a piece's end not.
  EXPECT_GT(passed, compared);
}

// Three records, each linked to the one before.
std::vector<EvidenceRecord> chain3(const SigningKey& key, const std::string& prefix = "rec_") {
  std::vector<EvidenceRecord> out;
  std::optional<std::string> previous;
  for (int i = 0; i < 3; ++i) {
    auto content = qv::records::testing::full_content();
    content.input_hash = "sha256:" + std::to_string(i);
    out.push_back(seal_evidence_record(content, previous, prefix + std::to_string(i), "2026-01-02T03:04:0" +
                                                                                          std::to_string(i) + "Z",
                                       key)
                      .value());
    previous = out.back().record_hash;
  }
  return out;
}

std::string check(const std::vector<EvidenceRecord>& chain) {
  const auto ok = check_record_chain(chain);
  return ok ? "ok" : ok.error().display();
}

TEST(CheckRecordChain, LinksAreCheckedAfterEachSeal) {
  const SigningKey key = generate_signing_key();
  const auto good = chain3(key);
  EXPECT_EQ(check(good), "ok");
  EXPECT_EQ(check({}), "ok");
  // Left-out, repeated and first-with-a-link records are pinned through the
  // module's record_verify; here the two link forms only sealing can make.
  // A record without a link after the first.
  auto unlinked = seal_evidence_record(good[1].content, std::nullopt, "rec_1", good[1].timestamp, key).value();
  EXPECT_EQ(check({good[0], unlinked}), "integrity error: rec_1: broken chain link");
  // An empty link is a link, and names no record.
  auto empty_link = seal_evidence_record(good[0].content, std::string(), "rec_0", good[0].timestamp, key).value();
  EXPECT_EQ(check({empty_link}), "integrity error: rec_0: broken chain link");
}

TEST(CheckRecordChains, ASharedRecordIsReportedBeforeALaterBrokenChain) {
  const SigningKey key = generate_signing_key();
  const auto a = chain3(key, "rec_a");
  auto bad = chain3(key, "rec_b");
  bad[2].signature[3] = bad[2].signature[3] == '0' ? '1' : '0';
  auto run = [](const std::vector<std::vector<EvidenceRecord>>& chains) -> std::string {
    const auto r = check_record_chains(chains);
    return r ? std::to_string(*r) : r.error().display();
  };
  EXPECT_EQ(run({{}, {}}), "0");
  EXPECT_EQ(run({a, a, bad}), "integrity error: rec_a0: the same record is in two chains");
  EXPECT_EQ(run({a, bad}), "integrity error: rec_b2: signature does not verify");
}

std::string text_of(const std::vector<EvidenceRecord>& chain) {
  std::string out;
  for (const auto& r : chain) out += write_evidence_record_json(r) + "\n";
  return out;
}

std::string run_jsonl(const std::vector<std::string>& texts, bool refuse_shared = true) {
  const auto r = verify_jsonl_chains(texts, refuse_shared);
  return r ? std::to_string(*r) : r.error().display();
}

TEST(ParseChain, ReadsEveryLineOrNothing) {
  const SigningKey key = generate_signing_key();
  const auto a = chain3(key);
  EXPECT_EQ(parse_evidence_records_jsonl(text_of(a)).value(), a);
  EXPECT_EQ(parse_evidence_records_jsonl("\r\n" + text_of(a) + " \n").value(), a);
  EXPECT_TRUE(parse_evidence_records_jsonl(" \n\t\n").value().empty());
  std::string broken = write_evidence_record_json(a[0]) + "\n{\"record_id\":1}\n" + write_evidence_record_json(a[2]);
  EXPECT_EQ(parse_evidence_records_jsonl(broken).error().display(),
            "serialisation error: invalid type: integer `1`, expected a string at line 1 column 14");
}

TEST(VerifyJsonlChains, EndsAsReadingFirstThenChecking) {
  const SigningKey key = generate_signing_key();
  const auto a = chain3(key, "rec_a");
  const auto b = chain3(key, "rec_b");
  auto tampered = b;
  tampered[0].timestamp = "2030-01-01T00:00:00Z";
  // Counting, shared records and broken links are pinned through the
  // module's record_verify_chains; here the rest of the order of failures.
  EXPECT_EQ(run_jsonl({text_of(a), text_of(a)}, false), "6");
  EXPECT_EQ(run_jsonl({text_of(tampered), text_of(a)}), "integrity error: rec_b0: record hash mismatch");
  // An unreadable text wins over a failed check before it.
  EXPECT_EQ(run_jsonl({text_of(tampered), text_of(a) + "[]\n"}),
            "serialisation error: invalid length 0, expected struct EvidenceRecord with 9 elements at line 1 column 2");
  EXPECT_EQ(run_jsonl({text_of(a), text_of(b), text_of({b[0], b[1], tampered[2]})}),
            "integrity error: rec_b0: the same record is in two chains");
}

}  // namespace
