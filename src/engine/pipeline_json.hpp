#pragma once
// The verification road as the module's functions take it: one request as
// JSON text in, one JSON text out. A request that does not read fails with
// the reader's own error (its message, line and column); anything the
// engine refuses fails with its EngineError.
#include <expected>
#include <string>
#include <string_view>
#include <variant>

#include "core/error.hpp"
#include "json/error.hpp"

namespace qv::engine {

using RequestFailure = std::variant<json::JsonError, core::EngineError>;
template <class T>
using RequestResult = std::expected<T, RequestFailure>;

// The display text of either failure.
std::string failure_text(const RequestFailure& failure);

enum class RecordForm { Sealed, Unsigned };
enum class Timed { No, Yes };

// The sealed record (or the unsigned one, the request's signing key not
// used), alone or as {"record": ..., "timings": ...}, compact.
RequestResult<std::string> verify_request_json(std::string_view request_json, RecordForm form, Timed timed);

// The judge prompt for the request, compact: template_id, template_hash,
// prompt_hash, system, user, claims, passages.
RequestResult<std::string> judge_prompt_request_json(std::string_view request_json);

}  // namespace qv::engine
