#pragma once
// The compact JSON writer: no white space, a fixed escaping table and a
// fixed number format. Its output decides every canonical digest.
#include <cstdint>
#include <string>
#include <string_view>

#include "json/value.hpp"

namespace qv::json {

// The compact text of a value. Cannot fail; a non-finite float is "null".
std::string write_json_compact(const Value& value);
void write_json_compact(const Value& value, std::string& out);

// Pieces of the format, for writers of typed records:
// a string with quotes and escapes;
void write_json_string(std::string_view text, std::string& out);
// a float: shortest round-trip digits, positional for decimal exponents
// -5..15 ("1.0", "0.00001", "1000000000000000.0"), otherwise exponent form
// with a sign ("1e+16", "1.5e-7"); "-0.0" for negative zero; "null" when
// not finite;
void write_json_f64(double value, std::string& out);
std::string format_f64(double value);
// integers as plain decimal digits.
void write_json_u64(std::uint64_t value, std::string& out);
void write_json_i64(std::int64_t value, std::string& out);

}  // namespace qv::json
