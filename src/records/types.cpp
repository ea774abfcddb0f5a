#include "records/types.hpp"

#include <bit>
#include <cstdint>

namespace qv::records {

namespace {
bool same_bits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }
}  // namespace

bool Determinism::operator==(const Determinism& other) const {
  if (cls != other.cls) return false;
  return cls != Class::Reproducible || same_bits(tolerance, other.tolerance);
}

bool Evidence::operator==(const Evidence& other) const {
  return verifier_id == other.verifier_id && verifier_version == other.verifier_version &&
         claim_id == other.claim_id && result == other.result && same_bits(score, other.score) &&
         same_bits(confidence, other.confidence) && determinism == other.determinism &&
         rationale == other.rationale && receipt == other.receipt && model_hash == other.model_hash &&
         calibration_id == other.calibration_id;
}

}  // namespace qv::records
