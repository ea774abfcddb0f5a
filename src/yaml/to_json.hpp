#pragma once
// YAML text to compact JSON text.
#include <string>
#include <string_view>

#include "core/error.hpp"
#include "json/error.hpp"
#include "yaml/node.hpp"

namespace qv::yaml {

// Reads one YAML document (read_tree) and writes it as compact JSON:
// members in document order, floats in the JSON number form, a non-finite
// float value as null, a tagged node as {"!tag": value}. Mapping keys become
// member names: strings as they are, booleans and integers as their text,
// finite floats in the number form; a non-finite float key fails with
// "float key must be finite (got NaN or +/-inf)", any other key with "key
// must be a string". Output nested deeper than the JSON reader accepts (127
// arrays and objects, a tagged node counting as one) fails with "recursion
// limit exceeded", so that every text returned reads back.
// A YAML error is InvalidInput carrying the YAML message (with its path and
// position); a key that JSON cannot hold is Serialisation carrying the bare
// message. The message alone is what callers show.
core::Result<std::string> yaml_to_json(std::string_view text);

// The JSON writing step alone.
json::JsonResult<std::string> tree_to_json(const Node& node);

}  // namespace qv::yaml
