#pragma once
// The verification pipeline: one request to a sealed evidence record and
// the time each deterministic verifier took. It chooses and applies the
// policy, prepares the context, builds the verifiers that fit the request,
// lints the policy against them, runs them one after another, takes in a
// judge's reply or stored judge evidence, decides, assembles and seals.
#include <optional>
#include <string_view>

#include "core/error.hpp"
#include "engine/judge_prompt.hpp"
#include "engine/policy.hpp"
#include "records/types.hpp"
#include "records/digest.hpp"
#include "records/write.hpp"

namespace qv::engine {

struct VerificationOutput {
  records::EvidenceRecord record;
  records::VerifierTimings timings;
};

struct UnsignedOutput {
  records::UnsignedRecord record;
  records::VerifierTimings timings;
};

// InvalidInput "signing key must be 32 bytes hex".
core::EngineError signing_key_error();

// The request's policy: its `policy_yaml` as written unless that is blank,
// else the default policy, read with its `extends` chain.
core::Result<Policy> request_policy(const records::VerifyRequest& request);

// A copy of the request with the policy's locale and rounding rule, where
// the policy sets them. A rounding rule other than "half_up", "half_even"
// and "within_last_digit" fails with InvalidInput "policy: unknown rounding
// rule ...".
core::Result<records::VerifyRequest> apply_policy_to_request(const records::VerifyRequest& request,
                                                             const Policy& policy);

// The context of an applied request, with the claims of the normalised
// answer. Cannot fail.
records::VerificationContext prepare_request_context(const records::VerifyRequest& applied);

// Every error ends the request with nothing returned; a verifier's error is
// recorded as its failure and the request goes on.
core::Result<VerificationOutput> run_verification_pipeline(const records::VerifyRequest& request);

// The pipeline on a copy without `signing_key_hex` (so a key is drawn for
// this one record), the signature fields dropped.
core::Result<UnsignedOutput> verify_unsigned(const records::VerifyRequest& request);

// The prompt a judge is sent for the request: the pipeline's own policy
// choice and context, with the request as read when the policy's rounding
// rule is unknown. No verifier runs.
core::Result<JudgePrompt> judge_prompt_for_request(const records::VerifyRequest& request);

}  // namespace qv::engine
