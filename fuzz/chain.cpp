// The chain reader and verifier, and the signed-document reader and check,
// on arbitrary text: no crash, no undefined behaviour, what is accepted
// stays accepted when written out and read again, and the chain's record
// reader reads each line as the full reader does.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "record_agreement.hpp"
#include "records/chain.hpp"
#include "records/document.hpp"
#include "records/digest.hpp"
#include "records/write.hpp"
#include "records/verify.hpp"

using qv::fuzzing::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  using namespace qv::records;

  if (auto records = parse_evidence_records_jsonl(text)) {
    // The canonical text written straight from the builders is the one the
    // value tree gives.
    for (const auto& r : *records) check(compute_content_hash(r.content).value() ==
                                                  qv::records::canonical_digest(record_content_to_value(r.content)).value());
    const auto verdict = check_record_chain(*records);
    // Written out and read back, the chain reads the same and verifies alike.
    std::string again;
    for (const auto& r : *records) again += write_evidence_record_json(r) + "\r\n \n";
    auto reread = parse_evidence_records_jsonl(again);
    check(reread.has_value() && *reread == *records);
    check(check_record_chain(*reread).has_value() == verdict.has_value());
  } else {
    check(records.error().kind() == qv::core::EngineError::Kind::Serialisation);
  }

  // Each line read by the chain's record reader, one reader for them all,
  // as the full reader reads it.
  {
    EvidenceRecordReader reader;
    EvidenceRecordReader seal_reader(EvidenceRecordReader::Keep::Seal);
    JsonLines lines(text);
    while (const auto line = lines.next()) qv::fuzzing::records_agree(reader, seal_reader, *line);
  }

  // Several chains, split at U+001E: checking while reading ends as reading
  // every text first and then checking does.
  std::vector<std::string> texts;
  for (std::size_t start = 0;;) {
    const std::size_t cut = text.find('\x1e', start);
    texts.emplace_back(text.substr(start, cut == std::string_view::npos ? std::string_view::npos : cut - start));
    if (cut == std::string_view::npos) break;
    start = cut + 1;
  }
  std::vector<std::vector<EvidenceRecord>> chains;
  std::optional<qv::core::EngineError> unreadable;
  for (const auto& t : texts) {
    auto records = parse_evidence_records_jsonl(t);
    if (!records) {
      unreadable = records.error();
      break;
    }
    chains.push_back(std::move(*records));
  }
  const auto streamed = verify_jsonl_chains(texts, true);
  if (unreadable) {
    check(!streamed && streamed.error() == *unreadable);
  } else {
    const auto phased = check_record_chains(chains);
    check(streamed.has_value() == phased.has_value());
    check(streamed ? *streamed == *phased : streamed.error() == phased.error());
    const auto single = verify_jsonl_chains(std::span<const std::string>(texts.data(), 1), false);
    const auto whole = check_record_chain(chains[0]);
    check(single.has_value() == whole.has_value());
    check(single ? *single == chains[0].size() : single.error() == whole.error());
  }

  if (auto document = read_signed_document_json(text)) {
    const bool ok = verify_signed_document(*document).has_value();
    const auto written = write_signed_document_json(*document);
    check(written.has_value());  // read within the depth limit, so written within it
    auto reread = read_signed_document_json(*written);
    check(reread.has_value());
    check(verify_signed_document(*reread).has_value() == ok);
  }
  return 0;
}
