#pragma once
// Record chains: JSON Lines texts of sealed records, and the check of a
// chain's seals and links.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <span>
#include <string_view>
#include <vector>

#include "core/error.hpp"
#include "records/types.hpp"

namespace qv::records {

// Walks the record lines of a JSON Lines text: lines end at a line feed
// (a carriage return just before it goes with it), a final line without a
// line feed counts when it is not empty, and lines that are empty or hold
// only White_Space characters are skipped. A line is handed out unchanged.
class JsonLines {
 public:
  explicit JsonLines(std::string_view text) : text_(text) {}
  // The next line that is not blank, or none at the end of the text.
  std::optional<std::string_view> next();

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

// A text handed over a piece at a time, in order: each call gives the next
// piece (valid until the next call), or none at the end. Lets a caller hand
// over a long text without holding all of it in one buffer.
using TextPieces = std::function<std::optional<std::string_view>()>;

// The lines of a text given in pieces, as JsonLines walks them: a line that
// spans pieces is joined in a buffer, every other line is handed out where
// it lies.
class JsonLinePieces {
 public:
  explicit JsonLinePieces(TextPieces pieces) : pieces_(std::move(pieces)) {}
  // The next line that is not blank, valid until the next call.
  std::optional<std::string_view> next();
  // The rest of the current piece, when the next line starts there (no part
  // of it came in an earlier piece); empty otherwise and at the end. For a
  // caller that finds the end of the line itself and then passes it with
  // skip(); valid until the next call.
  std::string_view ahead();
  // Passes the first n bytes of ahead(): one line and its line feed.
  void skip(std::size_t n) { piece_.remove_prefix(n); }

 private:
  // The joined line, handed out from joined_ (carry_ starts afresh).
  std::string_view take_carry();

  TextPieces pieces_;
  std::string_view piece_;  // the rest of the current piece
  std::string carry_;       // the start of a line that goes on in the next piece
  std::string joined_;      // the last line joined from pieces
  bool done_ = false;
};

// The records of a JSON Lines chain, in line order. The first line that is
// not one EvidenceRecord ends the reading with Serialisation "{message} at
// line 1 column {c}" (the position counted within that line alone); no
// record is returned then. A text without records gives an empty list.
core::Result<std::vector<EvidenceRecord>> parse_evidence_records_jsonl(std::string_view text);

// The check of one chain, a record at a time: the record's seal
// (verify_evidence_record), then its link to the record before.
class ChainLinks {
 public:
  core::Result<void> add(const EvidenceRecord& record);
  // The same with the record's content hash already recomputed.
  core::Result<void> add(const EvidenceRecord& record, const core::Result<std::string>& content_hash);

 private:
  bool started_ = false;
  std::string previous_;  // record_hash of the record before
};

// Checks every record's seal and its link, in order: the first record has
// no previous_record_hash, every later one carries the record_hash of the
// record before it ("{id}: broken chain link"). The first failure is
// returned: the seal check's own error, or Integrity.
core::Result<void> check_record_chain(std::span<const EvidenceRecord> records);

// Checks each chain in order (check_record_chain), then records its
// record hashes; a hash seen before, in this chain or an earlier one, fails
// with Integrity "{id}: the same record is in two chains". Returns the
// number of records.
core::Result<std::uint64_t> check_record_chains(std::span<const std::vector<EvidenceRecord>> chains);

// Reads and checks JSON Lines chains in one pass, a record at a time, with
// the outcome of reading every text first and then checking the records
// (check_record_chain on each chain, then, with `refuse_shared`, the
// record hashes across chains as check_record_chains does): a text that
// cannot be read gives its Serialisation error even when an earlier record
// failed a check; otherwise the first integrity failure (Integrity), else
// the number of records. Only a record hash per record is kept.
core::Result<std::uint64_t> verify_jsonl_chains(std::span<const TextPieces> texts, bool refuse_shared);
core::Result<std::uint64_t> verify_jsonl_chains(std::span<const std::string_view> texts, bool refuse_shared);
core::Result<std::uint64_t> verify_jsonl_chains(std::span<const std::string> texts, bool refuse_shared);

}  // namespace qv::records
