#include "records/chain.hpp"

#include <string>

#include "core/keyed_hash.hpp"

#include "json/error.hpp"
#include "records/digest.hpp"
#include "records/read.hpp"
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

std::optional<std::string_view> JsonLinePieces::next() {
  while (true) {
    std::string_view line;
    const std::size_t feed = piece_.find('\n');
    if (feed != std::string_view::npos) {
      line = piece_.substr(0, feed);
      piece_.remove_prefix(feed + 1);
      if (!carry_.empty()) {  // the line began in an earlier piece
        carry_ += line;
        line = take_carry();
      }
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    } else if (!done_) {
      carry_ += piece_;
      piece_ = {};
      if (const auto more = pieces_()) {
        piece_ = *more;
      } else {
        done_ = true;
      }
      continue;
    } else {
      // The final line, without a line feed, is all in carry_.
      if (carry_.empty()) return std::nullopt;
      line = take_carry();
    }
    if (!unicode::is_blank(line)) return line;
  }
}

std::string_view JsonLinePieces::ahead() {
  if (!carry_.empty()) return {};
  while (piece_.empty() && !done_) {
    if (const auto more = pieces_()) {
      piece_ = *more;
    } else {
      done_ = true;
    }
  }
  return piece_;
}

std::string_view JsonLinePieces::take_carry() {
  joined_.swap(carry_);
  carry_.clear();
  return joined_;
}

core::Result<std::vector<EvidenceRecord>> parse_evidence_records_jsonl(std::string_view text) {
  std::vector<EvidenceRecord> records;
  JsonLines lines(text);
  while (const auto line = lines.next()) {
    auto record = read_evidence_record_json(*line);
    if (!record) return std::unexpected(json::json_error_to_engine_error(record.error()));
    records.push_back(std::move(*record));
  }
  return records;
}

core::Result<void> ChainLinks::add(const EvidenceRecord& record) {
  return add(record, compute_content_hash(record.content));
}

core::Result<void> ChainLinks::add(const EvidenceRecord& record, const core::Result<std::string>& content_hash) {
  if (!content_hash) return std::unexpected(content_hash.error());
  if (auto ok = verify_record_seal(seal_check(record, *content_hash)); !ok) return ok;
  const bool linked =
      record.previous_record_hash ? started_ && *record.previous_record_hash == previous_ : !started_;
  if (!linked) return std::unexpected(core::EngineError::integrity(record.record_id + ": broken chain link"));
  started_ = true;
  previous_ = record.record_hash;
  return {};
}

core::Result<void> check_record_chain(std::span<const EvidenceRecord> records) {
  ChainLinks links;
  for (const EvidenceRecord& record : records) {
    if (auto ok = links.add(record); !ok) return ok;
  }
  return {};
}

namespace {

core::EngineError shared_record(const EvidenceRecord& record) {
  return core::EngineError::integrity(record.record_id + ": the same record is in two chains");
}

}  // namespace

core::Result<std::uint64_t> check_record_chains(std::span<const std::vector<EvidenceRecord>> chains) {
  core::TextViewSet seen;  // keyed: record hashes are the caller's text
  std::uint64_t total = 0;
  for (const auto& chain : chains) {
    if (auto ok = check_record_chain(chain); !ok) return std::unexpected(std::move(ok.error()));
    for (const EvidenceRecord& record : chain) {
      if (!seen.insert(record.record_hash).second) return std::unexpected(shared_record(record));
    }
    total += chain.size();
  }
  return total;
}

core::Result<std::uint64_t> verify_jsonl_chains(std::span<const TextPieces> texts, bool refuse_shared) {
  core::TextSet seen;  // keyed: record hashes are the caller's text, read before any seal is checked
  std::optional<core::EngineError> failure;  // the first failed check, kept while the rest is read
  std::uint64_t total = 0;
  // One record's buffers for every line; the checks need no content but its hash.
  EvidenceRecordReader reader(EvidenceRecordReader::Keep::Seal);
  for (const TextPieces& text : texts) {
    ChainLinks links;
    std::optional<core::EngineError> broken;  // this chain's first seal or link failure
    std::optional<core::EngineError> shared;  // its first record seen before
    JsonLinePieces lines(text);
    while (true) {
      // A record in the plain form ends its own line; any other line is
      // found first and read as it is.
      const std::string_view ahead = lines.ahead();
      if (const std::size_t line = ahead.starts_with('{') ? reader.read_leading(ahead) : 0; line > 0) {
        lines.skip(line);
      } else if (const auto next = lines.next()) {
        if (auto read = reader.read(*next); !read) {
          return std::unexpected(json::json_error_to_engine_error(read.error()));
        }
      } else {
        break;
      }
      const EvidenceRecord& record = reader.record();
      ++total;
      if (failure) continue;
      if (!broken) {
        if (auto ok = links.add(record, reader.content_hash()); !ok) broken = std::move(ok.error());
      }
      if (refuse_shared && !shared && !seen.insert(record.record_hash).second) shared = shared_record(record);
    }
    // A chain's own records are all checked before any is compared with
    // the other chains.
    if (!failure) failure = broken ? std::move(broken) : std::move(shared);
  }
  if (failure) return std::unexpected(std::move(*failure));
  return total;
}

namespace {

// Each text as one piece.
template <class Text>
core::Result<std::uint64_t> verify_whole_texts(std::span<const Text> texts, bool refuse_shared) {
  std::vector<TextPieces> pieces;
  pieces.reserve(texts.size());
  for (const Text& text : texts) {
    pieces.emplace_back([view = std::string_view(text), given = false]() mutable -> std::optional<std::string_view> {
      if (given) return std::nullopt;
      given = true;
      return view;
    });
  }
  return verify_jsonl_chains(std::span<const TextPieces>(pieces), refuse_shared);
}

}  // namespace

core::Result<std::uint64_t> verify_jsonl_chains(std::span<const std::string_view> texts, bool refuse_shared) {
  return verify_whole_texts(texts, refuse_shared);
}

core::Result<std::uint64_t> verify_jsonl_chains(std::span<const std::string> texts, bool refuse_shared) {
  return verify_whole_texts(texts, refuse_shared);
}

}  // namespace qv::records
