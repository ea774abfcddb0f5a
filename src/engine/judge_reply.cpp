#include "engine/judge_reply.hpp"

#include <optional>
#include <utility>

#include "core/keyed_hash.hpp"
#include "core/utf8.hpp"
#include "crypto/digest.hpp"
#include "json/typed.hpp"
#include "unicode/white_space.hpp"

namespace qv::engine {

namespace {

// The shape the judge is asked to reply in.
struct ReplyClaim {
  std::string id;
  std::string label;
  std::vector<std::string> passages;
  std::string reason;
};

struct ReplyBody {
  std::vector<ReplyClaim> claims;
};

const json::StructTable<ReplyClaim>& reply_claim_table();
const json::StructTable<ReplyBody>& reply_body_table();

}  // namespace
}  // namespace qv::engine

namespace qv::json {
template <>
struct TypeReader<engine::ReplyClaim> : StructReader<engine::ReplyClaim, &engine::reply_claim_table> {};
template <>
struct TypeReader<engine::ReplyBody> : StructReader<engine::ReplyBody, &engine::reply_body_table> {};
}  // namespace qv::json

namespace qv::engine {

namespace {

using records::EvidenceResult;

constexpr std::string_view kJudgeVersion = kJudgeTemplateId;
constexpr std::size_t kReasonLimit = 300;
constexpr std::size_t kLabelLimit = 40;

const json::StructTable<ReplyClaim>& reply_claim_table() {
  using json::defaulted;
  using json::required;
  static const json::StructTable<ReplyClaim> table{"ReplyClaim",
                                                  {
                                                      required<&ReplyClaim::id>("id"),
                                                      required<&ReplyClaim::label>("label"),
                                                      defaulted<&ReplyClaim::passages>("passages"),
                                                      defaulted<&ReplyClaim::reason>("reason"),
                                                  }};
  return table;
}

const json::StructTable<ReplyBody>& reply_body_table() {
  static const json::StructTable<ReplyBody> table{"ReplyBody", {json::required<&ReplyBody::claims>("claims")}};
  return table;
}

// The JSON object inside a response: from its first "{" through its last
// "}", prose or code fences around it ignored. None when it cannot be read.
std::optional<ReplyBody> read_reply_body(const std::optional<std::string>& response) {
  if (!response) return std::nullopt;
  const std::size_t open = response->find('{');
  const std::size_t close = response->rfind('}');
  if (open == std::string::npos || close == std::string::npos || close < open) return std::nullopt;
  auto body = json::read_typed<ReplyBody>(std::string_view(*response).substr(open, close - open + 1));
  if (!body) return std::nullopt;
  return std::move(*body);
}

records::Evidence judge_finding(std::string_view verifier_id, const std::string& claim_id) {
  records::Evidence e;
  e.verifier_id = verifier_id;
  e.verifier_version = kJudgeVersion;
  e.claim_id = claim_id;
  e.score = 0.0;
  e.confidence = 0.0;
  e.determinism = records::Determinism::non_deterministic();
  return e;
}

records::Evidence error_finding(std::string_view verifier_id, const std::string& claim_id, std::string rationale) {
  records::Evidence e = judge_finding(verifier_id, claim_id);
  e.result = EvidenceResult::Error;
  e.rationale = std::move(rationale);
  return e;
}

std::string ascii_lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

struct LabelMeaning {
  EvidenceResult result;
  double score;
  bool uncertain;
};

std::optional<LabelMeaning> label_meaning(std::string_view label) {
  if (label == "supported") return LabelMeaning{EvidenceResult::Supported, 1.0, false};
  if (label == "contradicted") return LabelMeaning{EvidenceResult::Contradicted, 0.0, false};
  if (label == "unsupported") return LabelMeaning{EvidenceResult::Unsupported, 0.0, false};
  if (label == "uncertain") return LabelMeaning{EvidenceResult::Unsupported, 0.0, true};
  return std::nullopt;
}

// The finding for a claim the reply labels.
records::Evidence labelled_finding(std::string_view verifier_id, const std::string& claim_id, const ReplyClaim& entry,
                                   const core::TextViewSet& known_passages) {
  const std::string label = ascii_lower(unicode::trim_white_space(entry.label));
  const std::optional<LabelMeaning> meaning = label_meaning(label);
  if (!meaning) {
    std::string rationale = "the judge gave the label ";
    rationale += truncate_chars(label, kLabelLimit);
    rationale += ", not one of the four";
    return error_finding(verifier_id, claim_id, std::move(rationale));
  }
  records::Evidence e = judge_finding(verifier_id, claim_id);
  e.result = meaning->result;
  e.score = meaning->score;
  if (meaning->uncertain) e.receipt.notes.emplace_back("uncertain");
  std::string cited;
  bool unknown = false;
  for (const std::string& id : entry.passages) {
    if (!known_passages.contains(std::string_view(id))) {
      unknown = true;
      continue;
    }
    if (!e.receipt.source_id) {
      e.receipt.source_id = id;
      cited = "cites ";
    } else {
      cited += ", ";
    }
    cited += id;
  }
  if (unknown) e.receipt.notes.emplace_back("cites_unknown_passage");
  if (!cited.empty()) cited += ": ";
  cited += truncate_chars(unicode::trim_white_space(entry.reason), kReasonLimit);
  e.rationale = std::move(cited);
  return e;
}

}  // namespace

std::string judge_verifier_id(std::string_view adapter) {
  std::string id(kJudgeIdPrefix);
  if (adapter.empty()) {
    id += "judge";
    return id;
  }
  for (std::size_t i = 0; i < adapter.size();) {
    const core::Utf8Step step = core::utf8_step(adapter, i);
    const char32_t c = step.code_point;
    const bool keep = step.valid && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'));
    id += keep ? static_cast<char>(c) : '_';
    i += step.length;
  }
  return id;
}

records::VerifierInfo judge_verifier_info(const JudgePrompt& prompt, const records::JudgeReply& reply) {
  records::VerifierInfo info;
  info.id = judge_verifier_id(reply.adapter);
  info.version = kJudgeVersion;
  info.kind = records::VerifierKind::Generative;
  info.determinism = records::Determinism::non_deterministic();
  info.applies_to = {core::ClaimKind::Statement};
  info.artefacts.emplace_back("template", prompt.template_id + " " + prompt.template_hash);
  info.artefacts.emplace_back("prompt", prompt.prompt_hash);
  info.artefacts.emplace_back("model", reply.model);
  if (reply.response) info.artefacts.emplace_back("response", crypto::text_digest(*reply.response));
  info.needs_network = true;
  return info;
}

std::vector<records::Evidence> parse_judge_reply(const JudgePrompt& prompt, const records::JudgeReply& reply) {
  const std::string verifier_id = judge_verifier_id(reply.adapter);
  std::vector<records::Evidence> out;
  out.reserve(prompt.claims.size());
  if (prompt.claims.empty()) return out;
  const std::optional<ReplyBody> body = read_reply_body(reply.response);
  if (!body) {
    for (const auto& claim : prompt.claims) {
      out.push_back(error_finding(verifier_id, claim.first, std::string(kJudgeReplyNotJson)));
    }
    return out;
  }
  // The first entry for each id; later ones are ignored.
  core::TextViewMap<const ReplyClaim*> entries;
  entries.reserve(body->claims.size());
  for (const ReplyClaim& c : body->claims) entries.try_emplace(c.id, &c);
  core::TextViewSet known_passages(prompt.passages.begin(), prompt.passages.end());
  for (const auto& claim : prompt.claims) {
    const auto it = entries.find(std::string_view(claim.first));
    if (it == entries.end()) {
      out.push_back(error_finding(verifier_id, claim.first, std::string(kJudgeGaveNoLabel)));
    } else {
      out.push_back(labelled_finding(verifier_id, claim.first, *it->second, known_passages));
    }
  }
  return out;
}

core::Result<records::StoredJudge> check_stored_judge(std::string_view prompt_hash, records::StoredJudge stored) {
  const std::string& id = stored.info.id;
  if (!id.starts_with(kJudgeIdPrefix)) return std::unexpected(core::EngineError::invalid_input(id + " is not a judge"));
  const std::string* answered = nullptr;
  for (const records::TextPair& artefact : stored.info.artefacts) {
    if (artefact.first == "prompt") {
      answered = &artefact.second;
      break;
    }
  }
  if (answered == nullptr || *answered != prompt_hash) {
    return std::unexpected(
        core::EngineError::invalid_input("stored judge evidence answered another prompt; it cannot be reused"));
  }
  for (const records::Evidence& e : stored.evidence) {
    if (e.verifier_id != id) {
      return std::unexpected(core::EngineError::invalid_input("stored judge evidence names another verifier"));
    }
  }
  return stored;
}

std::string truncate_chars(std::string_view text, std::size_t limit) {
  std::size_t i = 0;
  for (std::size_t count = 0; i < text.size() && count < limit; ++count) i += core::utf8_step(text, i).length;
  if (i >= text.size()) return std::string(text);
  std::string out(text.substr(0, i));
  out += "\u2026";
  return out;
}

}  // namespace qv::engine
