#include "core/error.hpp"

namespace qv::core {

std::string EngineError::display() const {
  switch (kind_) {
    case Kind::InvalidInput:
      return "invalid input: " + message_;
    case Kind::VerifierFailed:
      return "verifier " + id_ + " failed: " + message_;
    case Kind::Serialisation:
      return "serialisation error: " + message_;
    case Kind::Integrity:
      return "integrity error: " + message_;
  }
  return message_;
}

}  // namespace qv::core
