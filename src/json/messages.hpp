#pragma once
// The texts of typed-reading failures: missing, duplicate and unknown
// fields, unknown variants, and invalid types, values and lengths. These
// errors are made without a position; the reader that reports them stamps
// one (see Parser::fix_position).
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "json/error.hpp"
#include "json/value.hpp"

namespace qv::json {

// "`a`", "`a` or `b`", "one of `a`, `b`, `c`".
std::string one_of(std::span<const std::string_view> names);

JsonError missing_field(std::string_view name);
JsonError duplicate_field(std::string_view name);
// "unknown field `x`, expected ..." or "..., there are no fields".
JsonError unknown_field(std::string_view name, std::span<const std::string_view> expected);
JsonError unknown_variant(std::string_view name, std::span<const std::string_view> expected);
// "invalid type: {unexpected}, expected {expected}"
JsonError invalid_type(std::string_view unexpected, std::string_view expected);
JsonError invalid_value(std::string_view unexpected, std::string_view expected);
JsonError invalid_length(std::size_t length, std::string_view expected);

// How a found value is described: null, boolean `true`, integer `5`,
// floating point `2.0`, string "x" (Debug-quoted), sequence, map.
std::string describe(const Value& value);
std::string describe_string(std::string_view text);

// "struct Item with 4 elements", "... with 1 element".
std::string with_elements(std::string_view what, std::size_t count);
// "2 elements in sequence", "1 element in sequence".
std::string elements_in_sequence(std::size_t count);

}  // namespace qv::json
