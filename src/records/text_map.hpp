#pragma once
// A map of text to text that keeps the order in which keys first came
// (a source's provenance, a claim's attributes).
#include <string>

#include "json/typed.hpp"

namespace qv::records {

using InsertionMap = json::OrderedMap<std::string>;

}  // namespace qv::records
