#include "json/canonical.hpp"

#include <cmath>
#include <vector>

#include "crypto/digest.hpp"
#include "crypto/sha256.hpp"
#include "json/writer.hpp"

namespace qv::json {

core::Result<Value> canonicalize_json(Value value) {
  // Sorting in place is the same as rebuilding each object in key order.
  // Walked with an explicit stack, so depth costs no native stack.
  std::vector<Value*> pending{&value};
  while (!pending.empty()) {
    Value* v = pending.back();
    pending.pop_back();
    switch (v->kind()) {
      case Value::Kind::F64:
        if (!std::isfinite(v->as_f64())) {
          return std::unexpected(core::EngineError::serialisation("non-finite float in canonical JSON"));
        }
        break;
      case Value::Kind::Array:
        for (Value& e : v->as_array()) pending.push_back(&e);
        break;
      case Value::Kind::Object:
        v->as_object().sort_by_key();
        for (Member& m : v->as_object()) pending.push_back(&m.value);
        break;
      default:
        break;
    }
  }
  return value;
}

core::Result<std::string> canonical_text(Value value) {
  auto canonical = canonicalize_json(std::move(value));
  if (!canonical) return std::unexpected(std::move(canonical.error()));
  return write_json_compact(*canonical);
}

core::Result<std::string> canonical_digest(Value value) {
  auto text = canonical_text(std::move(value));
  if (!text) return std::unexpected(std::move(text.error()));
  return crypto::text_digest(*text);
}

}  // namespace qv::json
