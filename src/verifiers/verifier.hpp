#pragma once
// The one polymorphic interface of the engine: a verifier describes itself
// (`info`) and looks at a prepared request (`run`), giving its findings or an
// error. The engine owns its verifiers as std::unique_ptr<Verifier>, builds
// them per request and runs each once; `run` changes nothing, neither in the
// verifier nor in the context, so running it twice gives the same result.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/error.hpp"
#include "records/types.hpp"

namespace qv::verifiers {

using core::ClaimKind;
using records::Evidence;
using records::VerificationContext;
using records::VerifierInfo;

class Verifier {
 public:
  virtual ~Verifier() = default;
  Verifier() = default;
  Verifier(const Verifier&) = delete;
  Verifier& operator=(const Verifier&) = delete;

  // The verifier's own description, held for its whole life; not copied.
  virtual const VerifierInfo& info() const = 0;

  // The findings on the context's claims, in the evidence order, or the
  // error that keeps this verifier from giving any. The engine records an
  // error as this verifier's failure and goes on with the others.
  virtual core::Result<std::vector<Evidence>> run(const VerificationContext& context) const = 0;
};

using VerifierPtr = std::unique_ptr<Verifier>;

// The description of a verifier with exact determinism, no artefacts and no
// network.
inline VerifierInfo exact_verifier_info(std::string id, std::string version, records::VerifierKind kind,
                                        std::vector<ClaimKind> applies_to) {
  return VerifierInfo{std::move(id), std::move(version), kind, records::Determinism::exact(), std::move(applies_to), {},
                      false};
}

}  // namespace qv::verifiers
