#pragma once
// The verification road as the module's functions take it: one request as
// JSON text in, one JSON text out. A request that does not read fails with
// the reader's own error text (its message, line and column); anything the
// engine refuses fails with its EngineError.
#include <string>
#include <string_view>

#include "records/call.hpp"

namespace qv::engine {

enum class RecordForm { Sealed, Unsigned };
enum class Timed { No, Yes };

// The sealed record (or the unsigned one, the request's signing key not
// used), alone or as {"record": ..., "timings": ...}, compact.
records::CallResult<std::string> verify_request_json(std::string_view request_json, RecordForm form, Timed timed);

// The judge prompt for the request, compact: template_id, template_hash,
// prompt_hash, system, user, claims, passages.
records::CallResult<std::string> judge_prompt_request_json(std::string_view request_json);

}  // namespace qv::engine
