#pragma once
// The judge as a verifier: its description, the reading of its raw reply
// into evidence, and the admission of judge evidence stored from an earlier
// run. The judge judges only the statement claims its prompt lists and may
// cite only the passage ids listed there.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.hpp"
#include "engine/judge_prompt.hpp"
#include "engine/policy.hpp"  // kJudgeIdPrefix
#include "records/types.hpp"

namespace qv::engine {

// The texts of the judge's error findings.
inline constexpr std::string_view kJudgeReplyNotJson = "the judge's reply is not the JSON asked for";
inline constexpr std::string_view kJudgeGaveNoLabel = "the judge gave no label";

// "llm_judge." and the adapter name with every character (not byte) other
// than an ASCII letter or digit replaced by "_"; "llm_judge.judge" for an
// empty name.
std::string judge_verifier_id(std::string_view adapter);

// The judge's description: version "quillaveen.judge/1", generative,
// non-deterministic, applies to statements, needs the network; artefacts
// "template" (template id and hash), "prompt", "model" and, when the reply
// has a response, "response" (the digest of its text).
records::VerifierInfo judge_verifier_info(const JudgePrompt& prompt, const records::JudgeReply& reply);

// One finding per claim of the prompt, in the prompt's order. Never fails:
// an absent or unreadable response gives every claim an error finding, a
// claim the reply does not label or labels with an unknown word gets one of
// its own. The response is read within the JSON reader's depth limit.
std::vector<records::Evidence> parse_judge_reply(const JudgePrompt& prompt, const records::JudgeReply& reply);

// Admits stored judge evidence for the current prompt and hands it back
// unchanged. Refused (invalid input), in this order: an info id that does not
// name a judge ("{} is not a judge"); no first "prompt" artefact equal to
// `prompt_hash`; an item of evidence from another verifier. Nothing else of
// the stored values is looked at: spans, claim ids and scores pass as given.
core::Result<records::StoredJudge> check_stored_judge(std::string_view prompt_hash, records::StoredJudge stored);

// The text cut to its first `limit` characters (Unicode scalar values)
// followed by "…" when it has more; unchanged otherwise. An ill-formed byte
// sequence counts as one character and is never split.
std::string truncate_chars(std::string_view text, std::size_t limit);

}  // namespace qv::engine
