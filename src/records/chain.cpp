#include "records/chain.hpp"

#include <string>
#include <unordered_set>

#include "records/verify.hpp"
#include "unicode/white_space.hpp"

namespace qv::records {

std::optional<std::string_view> JsonLines::next() {
  while (pos_ < text_.size()) {
    const std::size_t start = pos_;
    const std::size_t feed = text_.find('\n', start);
    std::string_view line;
    if (feed == std::string_view::npos) {
      line = text_.substr(start);
      pos_ = text_.size();
    } else {
      line = text_.substr(start, feed - start);
      pos_ = feed + 1;
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    }
    if (!unicode::is_blank(line)) return line;
  }
  return std::nullopt;
}

core::Result<void> check_record_chain(std::span<const EvidenceRecord> records) {
  const std::string* previous = nullptr;
  for (const EvidenceRecord& record : records) {
    if (auto ok = verify_evidence_record(record); !ok) return ok;
    const bool linked = record.previous_record_hash ? previous != nullptr && *record.previous_record_hash == *previous
                                                    : previous == nullptr;
    if (!linked) return std::unexpected(core::EngineError::integrity(record.record_id + ": broken chain link"));
    previous = &record.record_hash;
  }
  return {};
}

core::Result<std::uint64_t> check_record_chains(std::span<const std::vector<EvidenceRecord>> chains) {
  std::unordered_set<std::string_view> seen;
  std::uint64_t total = 0;
  for (const auto& chain : chains) {
    if (chain.empty()) continue;
    if (auto ok = check_record_chain(chain); !ok) return std::unexpected(std::move(ok.error()));
    for (const EvidenceRecord& record : chain) {
      if (!seen.insert(record.record_hash).second) {
        return std::unexpected(core::EngineError::integrity(record.record_id + ": the same record is in two chains"));
      }
    }
    total += chain.size();
  }
  return total;
}

}  // namespace qv::records
