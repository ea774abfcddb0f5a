#pragma once
// The chain's record reader against the full reader, on one text: the same
// record (for a reader that keeps the seal only, every member but the
// content), the same content hash, or the same error; and, for a text that
// goes on past its first line, the record read up to the end of that line
// when the reader takes it so. The readers are the caller's, so that what
// one text leaves in their kept buffers meets the next.
#include <cstdlib>
#include <string>
#include <string_view>

#include "records/digest.hpp"
#include "records/read.hpp"

namespace qv::fuzzing {

inline void check(bool ok) {
  if (!ok) std::abort();
}

inline void records_agree(records::EvidenceRecordReader& reader, records::EvidenceRecordReader& seal_reader,
                          std::string_view text) {
  const auto full = records::read_evidence_record_json(text);
  const auto got = reader.read(text);
  const auto got_seal = seal_reader.read(text);
  check(got.has_value() == full.has_value() && got_seal.has_value() == full.has_value());
  if (!full) {
    check(got.error().display() == full.error().display());
    check(got_seal.error().display() == full.error().display());
  } else {
    const std::string hash = records::compute_content_hash(full->content).value();
    check(reader.record() == *full && reader.content_hash() && *reader.content_hash() == hash);
    records::EvidenceRecord seal = seal_reader.record();
    seal.content = full->content;
    check(seal == *full && seal_reader.content_hash() && *seal_reader.content_hash() == hash);
  }
  // A leading record: its line (without the line feed and a carriage
  // return before it) read alone gives the same.
  const std::size_t line = reader.read_leading(text);
  if (line == 0) return;
  std::string_view own = text.substr(0, line - 1);
  if (own.ends_with('\r')) own.remove_suffix(1);
  const auto alone = records::read_evidence_record_json(own);
  check(alone.has_value() && reader.record() == *alone &&
        *reader.content_hash() == records::compute_content_hash(alone->content).value());
}

}  // namespace qv::fuzzing
