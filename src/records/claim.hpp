#pragma once
// One checkable piece of an answer.
#include <string>

#include "core/vocabulary.hpp"
#include "records/graph.hpp"
#include "records/text_map.hpp"

namespace qv::records {

struct Claim {
  std::string id;  // "c0", "c1", ... in span order
  ClaimKind kind = ClaimKind::Statement;
  std::string text;      // the answer's bytes between the span's ends
  Span span;             // byte offsets into the normalised answer
  InsertionMap attributes;
  bool operator==(const Claim&) const = default;
};

}  // namespace qv::records
