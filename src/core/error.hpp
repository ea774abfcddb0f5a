#pragma once
// The one error type of the engine. Every operation that can fail returns
// std::expected<T, EngineError>; the Python boundary raises its display text.
#include <cstdint>
#include <expected>
#include <string>
#include <utility>

namespace qv::core {

class EngineError {
 public:
  // In this order; the order is part of the type's identity.
  enum class Kind : std::uint8_t { InvalidInput, VerifierFailed, Serialisation, Integrity };

  static EngineError invalid_input(std::string message) { return {Kind::InvalidInput, {}, std::move(message)}; }
  static EngineError verifier_failed(std::string id, std::string message) {
    return {Kind::VerifierFailed, std::move(id), std::move(message)};
  }
  static EngineError serialisation(std::string message) { return {Kind::Serialisation, {}, std::move(message)}; }
  static EngineError integrity(std::string message) { return {Kind::Integrity, {}, std::move(message)}; }

  Kind kind() const { return kind_; }
  const std::string& message() const { return message_; }
  // The verifier id; empty for every kind but VerifierFailed.
  const std::string& verifier_id() const { return id_; }

  // "invalid input: {}", "verifier {} failed: {}", "serialisation error: {}"
  // or "integrity error: {}", with the payload inserted as it is.
  std::string display() const;

  bool operator==(const EngineError&) const = default;

 private:
  EngineError(Kind kind, std::string id, std::string message)
      : kind_(kind), id_(std::move(id)), message_(std::move(message)) {}

  Kind kind_;
  std::string id_;
  std::string message_;
};

template <class T>
using Result = std::expected<T, EngineError>;

}  // namespace qv::core
