#pragma once
// The numeric verifier: every numeric claim of the answer tested against the
// figures of the sources, supported, contradicted or unsupported, with a
// rationale, note codes and a receipt on the source figure it rests on.
#include <vector>

#include "records/types.hpp"
#include "verifiers/verifier.hpp"

namespace qv::verifiers {

inline constexpr std::string_view kNumericVerifierId = "quillaveen.numeric";
inline constexpr std::string_view kNumericVerifierVersion = "1.3.0";

// Id quillaveen.numeric, version 1.3.0, kind exact, determinism exact,
// applies to numeric claims, no artefacts, no network.
VerifierInfo numeric_verifier_info();

class NumericVerifier final : public Verifier {
 public:
  // The request's numeric options, after a policy's rounding replaced the
  // request's.
  explicit NumericVerifier(const records::NumericConfig& options);

  const VerifierInfo& info() const override { return info_; }
  // Fails only on a locale without a profile: "unknown locale {}".
  core::Result<std::vector<Evidence>> run(const VerificationContext& context) const override;

 private:
  VerifierInfo info_;
  records::NumericConfig options_;
};

}  // namespace qv::verifiers
