// The process-wide cache of the system's fixed patterns: each pattern text
// is compiled once per process and the compiled pattern is shared, read-only,
// until the process ends.
#pragma once

#include <string_view>

#include "regex/regex.hpp"

namespace qv::text {

// The one compiled pattern of this text, compiled on the first request.
// Lookup, compilation and insertion run under one mutex, so concurrent first
// requests compile a pattern once. Only the system's own fixed patterns come
// here: one that does not compile is a broken build and panics with
// "valid regex: ..." (nothing is cached then).
const regex::Regex& cached_regex(std::string_view pattern);

}  // namespace qv::text
