#pragma once
// Record chains: JSON Lines texts of sealed records, and the check of a
// chain's seals and links.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "core/error.hpp"
#include "records/record.hpp"

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

}  // namespace qv::records
