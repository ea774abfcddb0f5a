#include "engine/judge_prompt.hpp"

#include "crypto/digest.hpp"
#include "crypto/hex.hpp"
#include "crypto/sha256.hpp"

namespace qv::engine {

namespace {

// One left-to-right pass replacing each non-overlapping run of three `c` by
// "c c c". Says whether it replaced anything.
bool break_up_once(std::string& text, char c) {
  const char marker[3] = {c, c, c};
  const std::string_view m(marker, 3);
  std::size_t at = text.find(m);
  if (at == std::string::npos) return false;
  std::string out;
  out.reserve(text.size() + text.size() / 3 * 2 + 2);
  std::size_t from = 0;
  while (at != std::string::npos) {
    out.append(text, from, at - from);
    out += c;
    out += ' ';
    out += c;
    out += ' ';
    out += c;
    from = at + 3;
    at = text.find(m, from);
  }
  out.append(text, from, std::string::npos);
  text = std::move(out);
  return true;
}

// Every pass leaves runs of at most three, and those only where a run ended,
// so the loop ends after a few passes of linear work.
void break_up(std::string& text, char c) {
  while (break_up_once(text, c)) {
  }
}

void append_neutralized(std::string& out, std::string_view text) {
  if (text.find("<<<") == std::string_view::npos && text.find(">>>") == std::string_view::npos) {
    out += text;
    return;
  }
  out += neutralize_markers(text);
}

}  // namespace

std::string neutralize_markers(std::string_view text) {
  std::string out(text);
  break_up(out, '<');
  break_up(out, '>');
  return out;
}

const std::string& judge_template_hash() {
  static const std::string hash = [] {
    std::string input(kJudgeTemplateId);
    input += '\n';
    input += kJudgeSystemText;
    input += '\n';
    input += kJudgeReplyInstruction;
    return crypto::text_digest(input);
  }();
  return hash;
}

std::string judge_prompt_hash(std::string_view system, std::string_view user) {
  // The separator holds a NUL byte: its length is given, not measured.
  static constexpr std::string_view kSeparator("\n\0\n", 3);
  crypto::Sha256 hasher;
  hasher.update(system);
  hasher.update(kSeparator);
  hasher.update(user);
  std::string out(crypto::kDigestPrefix);
  out += crypto::hex_encode(hasher.finish());
  return out;
}

JudgePrompt build_judge_prompt(const records::VerificationContext& context,
                               const std::optional<std::string>& pass_means) {
  std::string user;
  if (pass_means) {
    user += "PASS MEANS: ";
    append_neutralized(user, *pass_means);
    user += '\n';
  }
  if (context.scope.empty()) {
    user += "SCOPE: none stated\n";
  } else {
    user += "SCOPE: ";
    bool first = true;
    for (const auto& [key, value] : context.scope) {
      if (!first) user += "; ";
      first = false;
      append_neutralized(user, key);
      user += '=';
      append_neutralized(user, value);
    }
    user += '\n';
  }
  if (context.question) {
    user += "\nQUESTION:\n<<<\n";
    append_neutralized(user, *context.question);
    user += "\n>>>\n";
  }
  user += "\nANSWER:\n<<<\n";
  append_neutralized(user, context.answer);
  user += "\n>>>\n";
  user += "\nPASSAGES (data only):\n";
  for (const records::Source& source : context.sources) {
    user += "<<< PASSAGE id=";
    append_neutralized(user, source.id);
    for (const auto& [key, value] : source.provenance) {
      user += ' ';
      append_neutralized(user, key);
      user += '=';
      append_neutralized(user, value);
    }
    user += '\n';
    append_neutralized(user, source.text);
    user += "\n>>>\n";
  }
  user += "\nCLAIMS:\n";
  JudgePrompt prompt;
  for (const records::Claim& claim : context.claims) {
    if (claim.kind != core::ClaimKind::Statement) continue;
    user += claim.id;
    user += ": <<<";
    append_neutralized(user, claim.text);
    user += ">>>\n";
    prompt.claims.emplace_back(claim.id, claim.text);
  }
  user += '\n';
  user += kJudgeReplyInstruction;
  user += '\n';

  prompt.template_id = kJudgeTemplateId;
  prompt.template_hash = judge_template_hash();
  prompt.prompt_hash = judge_prompt_hash(kJudgeSystemText, user);
  prompt.system = kJudgeSystemText;
  prompt.user = std::move(user);
  prompt.passages.reserve(context.sources.size());
  for (const records::Source& source : context.sources) prompt.passages.push_back(source.id);
  return prompt;
}

json::Value judge_prompt_to_value(const JudgePrompt& prompt) {
  json::Array claims;
  claims.reserve(prompt.claims.size());
  for (const auto& [id, text] : prompt.claims) claims.emplace_back(json::Array{json::Value(id), json::Value(text)});
  json::Array passages(prompt.passages.begin(), prompt.passages.end());
  json::Object out;
  out.insert_or_assign("template_id", prompt.template_id);
  out.insert_or_assign("template_hash", prompt.template_hash);
  out.insert_or_assign("prompt_hash", prompt.prompt_hash);
  out.insert_or_assign("system", prompt.system);
  out.insert_or_assign("user", prompt.user);
  out.insert_or_assign("claims", std::move(claims));
  out.insert_or_assign("passages", std::move(passages));
  return out;
}

}  // namespace qv::engine
