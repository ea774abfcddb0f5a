#pragma once
// Canonical JSON and the digests taken over it.
#include <string>

#include "core/error.hpp"
#include "json/value.hpp"

namespace qv::json {

// Every object, at every depth, with its members sorted by the bytes of
// their keys; arrays keep their order. Fails with Serialisation
// "non-finite float in canonical JSON" when a float is NaN or infinite.
core::Result<Value> canonicalize_json(Value value);

// "sha256:" and the hex SHA-256 of the compact text of the canonical form.
core::Result<std::string> canonical_digest(Value value);

// The compact text of the canonical form (what canonical_digest hashes).
core::Result<std::string> canonical_text(Value value);

}  // namespace qv::json
