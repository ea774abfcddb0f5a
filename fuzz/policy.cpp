// Reads hostile text as a policy. Every text loads or fails with a
// "policy: " error; a policy that loads lints, hashes and resolves, and its
// resolved text reads back as the same policy.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/lint.hpp"
#include "engine/policy.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qv;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto policy = engine::parse_policy(text);
  if (!policy) {
    if (!policy.error().message().starts_with("policy: ")) std::abort();
    return 0;
  }
  (void)engine::lint_policy(*policy, engine::builtin_verifier_infos());
  const auto hash = engine::compute_policy_hash(*policy);
  const auto resolved = engine::resolve_policy_text(text);
  if (!hash || !resolved) std::abort();
  const auto back = engine::parse_policy(*resolved);
  if (!back || *back != *policy || engine::compute_policy_hash(*back) != hash) std::abort();
  return 0;
}
