#include "engine/pipeline.hpp"

#include <array>
#include <chrono>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/panic.hpp"
#include "core/version.hpp"
#include "crypto/ed25519.hpp"
#include "engine/assemble.hpp"
#include "engine/context.hpp"
#include "engine/decision.hpp"
#include "engine/graph.hpp"
#include "engine/judge_reply.hpp"
#include "engine/lint.hpp"
#include "records/seal.hpp"
#include "unicode/white_space.hpp"
#include "verifiers/extract.hpp"
#include "verifiers/intent.hpp"
#include "verifiers/numeric.hpp"
#include "verifiers/numeric_figures.hpp"
#include "verifiers/rule_set.hpp"
#include "verifiers/rules.hpp"
#include "verifiers/scope.hpp"

namespace qv::engine {

namespace {

using Clock = std::chrono::steady_clock;

// Whole microseconds since `start`; zero when the clock went backwards.
std::uint64_t elapsed_us(Clock::time_point start) {
  const auto elapsed = Clock::now() - start;
  if (elapsed.count() <= 0) return 0;
  const auto us = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
  return static_cast<std::uint64_t>(us);
}

constexpr std::array<std::pair<std::string_view, core::RoundingRule>, 3> kRoundingRules = {{
    {"half_up", core::RoundingRule::HalfUp},
    {"half_even", core::RoundingRule::HalfEven},
    {"within_last_digit", core::RoundingRule::WithinLastDigit},
}};

std::vector<verifiers::VerifierPtr> builtin_verifiers(const records::VerificationContext& context,
                                                      const records::NumericConfig& numeric) {
  std::vector<verifiers::VerifierPtr> list;
  list.push_back(std::make_unique<verifiers::NumericVerifier>(numeric));
  if (!context.scope.empty()) list.push_back(std::make_unique<verifiers::ScopeVerifier>(verifiers::numeric_figures()));
  if (context.question && !unicode::is_blank(*context.question)) {
    list.push_back(std::make_unique<verifiers::IntentVerifier>(verifiers::numeric_figures()));
  }
  return list;
}

// Appends one rules verifier per rule-set text, in order; the first text
// that does not read or compile ends the request.
core::Result<void> add_rules_verifiers(const std::vector<std::string>& texts,
                                       std::vector<verifiers::VerifierPtr>& list) {
  for (const std::string& text : texts) {
    auto set = verifiers::read_rule_set(text);
    if (!set) return std::unexpected(std::move(set.error()));
    auto verifier = verifiers::make_rules_verifier(*set);
    if (!verifier) return std::unexpected(std::move(verifier.error()));
    list.push_back(std::move(*verifier));
  }
  return {};
}

// The built verifiers' descriptions, then the built-in ones not yet named.
core::Result<void> lint_against(const Policy& policy, const std::vector<verifiers::VerifierPtr>& list) {
  std::vector<records::VerifierInfo> known;
  for (const auto& v : list) known.push_back(v->info());
  for (records::VerifierInfo& builtin : builtin_verifier_infos()) {
    const bool named = std::ranges::any_of(known, [&](const auto& k) { return k.id == builtin.id; });
    if (!named) known.push_back(std::move(builtin));
  }
  const std::vector<std::string> problems = lint_policy(policy, known);
  if (problems.empty()) return {};
  std::string text = "policy lint failed: ";
  for (std::size_t i = 0; i < problems.size(); ++i) {
    if (i > 0) text += "; ";
    text += problems[i];
  }
  return std::unexpected(core::EngineError::invalid_input(std::move(text)));
}

// Runs every verifier in order, timing each `run`; an error becomes the
// verifier's failure.
void run_verifiers(const std::vector<verifiers::VerifierPtr>& list, const records::VerificationContext& context,
                   records::EvidenceGraph& graph, records::VerifierTimings& timings) {
  for (const auto& verifier : list) {
    const auto t0 = Clock::now();
    auto found = verifier->run(context);
    std::string id = verifier->info().id;
    timings.verifiers.emplace_back(id, elapsed_us(t0));
    if (found) {
      add_verifier_evidence(graph, verifier->info(), std::move(*found));
    } else {
      add_verifier_failure(graph, id, found.error().display());
    }
  }
}

// Stored judge evidence or a judge reply, when the request brings one.
core::Result<void> take_in_judge(const records::VerifyRequest& request, const records::VerificationContext& context,
                                 const Policy& policy, records::EvidenceGraph& graph) {
  if (request.judge && request.judge_evidence) {
    return std::unexpected(
        core::EngineError::invalid_input("pass a judge reply or stored judge evidence, not both"));
  }
  if (request.judge_evidence) {
    const JudgePrompt prompt = build_judge_prompt(context, policy.pass_means);
    auto stored = check_stored_judge(prompt.prompt_hash, *request.judge_evidence);
    if (!stored) return std::unexpected(std::move(stored.error()));
    std::string id = stored->info.id;
    add_verifier_evidence(graph, std::move(stored->info), std::move(stored->evidence));
    if (stored->failure) add_verifier_failure(graph, id, *stored->failure);
  } else if (request.judge) {
    const JudgePrompt prompt = build_judge_prompt(context, policy.pass_means);
    records::VerifierInfo info = judge_verifier_info(prompt, *request.judge);
    if (request.judge->error) {
      std::string id = info.id;
      add_verifier_evidence(graph, std::move(info), {});
      add_verifier_failure(graph, id, *request.judge->error);
    } else {
      add_verifier_evidence(graph, std::move(info), parse_judge_reply(prompt, *request.judge));
    }
  }
  return {};
}

ClaimKinds claim_kinds_by_id(const records::VerificationContext& context) {
  ClaimKinds kinds;
  for (const records::Claim& claim : context.claims) kinds.emplace(claim.id, claim.kind);
  return kinds;
}

std::vector<std::string> scope_keys(const records::VerificationContext& context) {
  std::vector<std::string> keys;
  keys.reserve(context.scope.size());
  for (const auto& entry : context.scope) keys.push_back(entry.first);
  return keys;
}

core::Result<crypto::SigningKey> choose_signing_key(const records::VerifyRequest& request) {
  if (!request.signing_key_hex) return crypto::generate_signing_key();
  auto key = crypto::signing_key_from_seed_hex(request.signing_key_hex->view());
  if (!key) return std::unexpected(signing_key_error());
  return std::move(*key);
}

// The built-in default policy is read and hashed once: every reading gives
// the same policy and hash, and most requests use it.
struct BuiltinPolicy {
  Policy policy;
  std::string hash;
};

const BuiltinPolicy& builtin_policy() {
  static const BuiltinPolicy builtin = [] {
    auto parsed = parse_policy(default_policy_text());
    if (!parsed) core::panic("the built-in default policy does not read: " + parsed.error().display());
    auto hash = compute_policy_hash(*parsed);
    if (!hash) core::panic("the built-in default policy does not hash: " + hash.error().display());
    return BuiltinPolicy{std::move(*parsed), std::move(*hash)};
  }();
  return builtin;
}

}  // namespace

core::EngineError signing_key_error() { return core::EngineError::invalid_input("signing key must be 32 bytes hex"); }

core::Result<Policy> request_policy(const records::VerifyRequest& request) {
  if (unicode::is_blank(request.policy_yaml)) return builtin_policy().policy;
  return parse_policy(request.policy_yaml);
}

core::Result<records::VerifyRequest> apply_policy_to_request(const records::VerifyRequest& request,
                                                             const Policy& policy) {
  records::VerifyRequest applied = request;
  if (policy.locale) applied.locale = *policy.locale;
  if (policy.rounding) {
    const auto rule = std::ranges::find(kRoundingRules, std::string_view(*policy.rounding),
                                        &std::pair<std::string_view, core::RoundingRule>::first);
    if (rule == kRoundingRules.end()) {
      return std::unexpected(core::EngineError::invalid_input(
          "policy: unknown rounding rule unknown variant `" + *policy.rounding +
          "`, expected one of `half_up`, `half_even`, `within_last_digit`"));
    }
    applied.numeric.rounding = rule->second;
  }
  return applied;
}

records::VerificationContext prepare_request_context(const records::VerifyRequest& applied) {
  return prepare_verification_context(
      applied, [](std::string_view answer, std::string_view locale, const records::NumericConfig& numeric) {
        return verifiers::extract_claims(answer, locale, numeric.units);
      });
}

core::Result<VerificationOutput> run_verification_pipeline(const records::VerifyRequest& request) {
  const auto start = Clock::now();

  auto policy = request_policy(request);
  if (!policy) return std::unexpected(std::move(policy.error()));
  auto applied = apply_policy_to_request(request, *policy);
  if (!applied) return std::unexpected(std::move(applied.error()));
  const records::VerificationContext context = prepare_request_context(*applied);

  std::vector<verifiers::VerifierPtr> list = builtin_verifiers(context, applied->numeric);
  if (auto added = add_rules_verifiers(applied->rule_sets_json, list); !added) {
    return std::unexpected(std::move(added.error()));
  }
  if (auto linted = lint_against(*policy, list); !linted) return std::unexpected(std::move(linted.error()));

  records::EvidenceGraph graph;
  records::VerifierTimings timings;
  run_verifiers(list, context, graph, timings);
  if (auto judged = take_in_judge(*applied, context, *policy, graph); !judged) {
    return std::unexpected(std::move(judged.error()));
  }

  auto outcome = unicode::is_blank(request.policy_yaml)
                     ? decide_outcome_with_hash(*policy, builtin_policy().hash, graph, claim_kinds_by_id(context),
                                                scope_keys(context), applied->risk_class)
                     : decide_outcome(*policy, graph, claim_kinds_by_id(context), scope_keys(context),
                                      applied->risk_class);
  if (!outcome) return std::unexpected(std::move(outcome.error()));
  auto input_hash = records::compute_input_hash(context);
  if (!input_hash) return std::unexpected(std::move(input_hash.error()));

  records::RecordContent content{std::string(records::kRecordSchema),
                                 std::string(core::kEngineVersion),
                                 std::string(records::kUnbundledHash),
                                 std::move(*input_hash),
                                 applied->locale,
                                 std::move(graph),
                                 std::move(*outcome)};

  const auto key = choose_signing_key(*applied);
  if (!key) return std::unexpected(key.error());
  auto identity = build_evidence_record(content);
  if (!identity) return std::unexpected(std::move(identity.error()));
  // Sealing takes the content hash the id was formed from rather than
  // hashing the same content a second time.
  records::EvidenceRecord record = records::seal_hashed_evidence_record(
      std::move(content), std::move(identity->content_hash), applied->previous_record_hash,
      std::move(identity->record_id), std::move(identity->timestamp), *key);

  timings.total_us = elapsed_us(start);
  return VerificationOutput{std::move(record), std::move(timings)};
}

core::Result<UnsignedOutput> verify_unsigned(const records::VerifyRequest& request) {
  records::VerifyRequest copy = request;
  copy.signing_key_hex.reset();
  auto output = run_verification_pipeline(copy);
  if (!output) return std::unexpected(std::move(output.error()));
  records::EvidenceRecord& r = output->record;
  return UnsignedOutput{{std::move(r.record_id), std::move(r.timestamp), std::move(r.content),
                         std::move(r.content_hash), std::move(r.previous_record_hash), std::move(r.record_hash)},
                        std::move(output->timings)};
}

core::Result<JudgePrompt> judge_prompt_for_request(const records::VerifyRequest& request) {
  auto policy = request_policy(request);
  if (!policy) return std::unexpected(std::move(policy.error()));
  auto applied = apply_policy_to_request(request, *policy);
  const records::VerificationContext context = prepare_request_context(applied ? *applied : request);
  return build_judge_prompt(context, policy->pass_means);
}

}  // namespace qv::engine
