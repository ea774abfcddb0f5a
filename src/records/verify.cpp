#include "records/verify.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "crypto/digest.hpp"
#include "crypto/sha256.hpp"
#include "crypto/signature.hpp"
#include "json/writer.hpp"
#include "records/emit.hpp"
#include "records/json.hpp"
#include "records/seal.hpp"

namespace qv::records {

namespace {

core::EngineError named(std::string_view record_id, std::string_view text) {
  std::string message(record_id);
  message += ": ";
  message += text;
  return core::EngineError::integrity(std::move(message));
}

// Writes the canonical text (members of every object sorted by the bytes of
// their keys, compact) straight from the member builders, without building a
// value tree: what canonical_digest gives for the same value, at a fraction
// of the cost. Each open container writes into its own buffer; an object
// keeps where each member's text starts and, when it closes, appends its
// members to the enclosing buffer in key order. Buffers are reused from one
// record to the next.
class CanonicalTextOut {
 public:
  void reset() {
    depth_ = 0;
    root_.clear();
  }
  const std::string& text() const { return root_; }

  void begin_object() { open(true); }
  void begin_array() { open(false); }
  void end_array() {
    Frame& f = frames_[--depth_];
    std::string& out = place();
    out.push_back('[');
    out += f.buf;
    out.push_back(']');
  }
  void end_object() {
    Frame& f = frames_[--depth_];
    if (!f.members.empty()) f.members.back().end = f.buf.size();
    std::sort(f.members.begin(), f.members.end(), [&f](const Member& a, const Member& b) {
      return std::string_view(f.keys).substr(a.key, a.key_size) < std::string_view(f.keys).substr(b.key, b.key_size);
    });
    std::string& out = place();
    out.push_back('{');
    for (std::size_t i = 0; i < f.members.size(); ++i) {
      if (i > 0) out.push_back(',');
      out.append(f.buf, f.members[i].start, f.members[i].end - f.members[i].start);
    }
    out.push_back('}');
  }
  void key(std::string_view k) {
    Frame& f = frames_[depth_ - 1];
    if (!f.members.empty()) f.members.back().end = f.buf.size();
    f.members.push_back(Member{f.keys.size(), k.size(), f.buf.size(), 0});
    f.keys.append(k);
    json::write_json_string(k, f.buf);
    f.buf.push_back(':');
  }
  void string(std::string_view s) { json::write_json_string(s, place()); }
  void unsigned_integer(std::uint64_t n) { json::write_json_u64(n, place()); }
  void floating(double d) { json::write_json_f64(d, place()); }
  void boolean(bool b) { place() += b ? "true" : "false"; }
  void null() { place() += "null"; }

 private:
  struct Member {
    std::size_t key;  // offset and size of the raw key in `keys`
    std::size_t key_size;
    std::size_t start;  // the member's text in `buf`: "key":value
    std::size_t end;
  };
  struct Frame {
    bool object = false;
    bool first = true;
    std::string buf;
    std::string keys;
    std::vector<Member> members;
  };

  // A container's text goes to the enclosing buffer when it closes.
  void open(bool object) {
    if (depth_ == frames_.size()) frames_.emplace_back();
    Frame& f = frames_[depth_++];
    f.object = object;
    f.first = true;
    f.buf.clear();
    f.keys.clear();
    f.members.clear();
  }
  // Where the next value goes: the innermost buffer, after a comma when it
  // is an array that already holds a value. Object members are separated
  // when the object closes.
  std::string& place() {
    if (depth_ == 0) return root_;
    Frame& f = frames_[depth_ - 1];
    if (!f.object) {
      if (!f.first) f.buf.push_back(',');
      f.first = false;
    }
    return f.buf;
  }

  std::vector<Frame> frames_;
  std::size_t depth_ = 0;
  std::string root_;
};

std::optional<std::string_view> view(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  return std::string_view(*text);
}

}  // namespace

core::Result<void> verify_record_seal(std::string_view recomputed_content_hash, std::string_view content_hash,
                                      std::optional<std::string_view> previous_record_hash,
                                      std::string_view record_id, std::string_view timestamp,
                                      std::string_view record_hash, std::string_view signature,
                                      std::string_view signer_public_key,
                                      std::optional<std::string_view> signature_algorithm) {
  if (content_hash != recomputed_content_hash) return std::unexpected(named(record_id, "content hash mismatch"));
  if (compute_record_hash(content_hash, previous_record_hash, record_id, timestamp) != record_hash) {
    return std::unexpected(named(record_id, "record hash mismatch"));
  }
  const std::string_view name = signature_algorithm.value_or(crypto::kEd25519Name);
  const auto algorithm = crypto::signature_algorithm_from_name(name);
  if (!algorithm) return std::unexpected(named(record_id, "unknown signature algorithm " + std::string(name)));
  if (auto ok = crypto::verify_signature_hex(*algorithm, record_hash, signature, signer_public_key); !ok) {
    return std::unexpected(core::EngineError::integrity(crypto::signature_failure_message(ok.error(), record_id)));
  }
  return {};
}

std::string content_digest(const RecordContent& content) {
  thread_local CanonicalTextOut out;
  out.reset();
  emit::value(out, content);
  std::string digest(crypto::kDigestPrefix);
  digest += crypto::sha256_hex(out.text());
  return digest;
}

core::Result<void> verify_evidence_record(const EvidenceRecord& record) {
  return verify_record_seal(content_digest(record.content), record.content_hash, view(record.previous_record_hash), record.record_id,
                            record.timestamp, record.record_hash, record.signature, record.signer_public_key,
                            view(record.signature_algorithm));
}

}  // namespace qv::records
