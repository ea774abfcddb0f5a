#pragma once
// Reading a JSON text into a Value.
#include <string_view>

#include "json/error.hpp"
#include "json/value.hpp"

namespace qv::json {

// Reads one JSON document: white space around one value and nothing else.
// Objects keep their first-seen key order; a repeated key takes the last
// value. Integer literals that fit are u64 (or i64 when negative); "-0",
// wider integers and literals with a fraction or exponent are floats,
// correctly rounded. At most 127 arrays/objects may be nested.
JsonResult<Value> read_json(std::string_view text);

}  // namespace qv::json
