#pragma once
// The shared enumerations as JSON: their words written as strings, and
// their readers (a word, or an object whose single member is the word with
// the value null; words compared exactly).
#include "core/vocabulary.hpp"
#include "json/typed.hpp"
#include "json/value.hpp"

namespace qv::json {

// "PASS", "REVIEW" or "FAIL" as a JSON string value.
inline Value decision_to_json(core::Decision d) { return Value(core::to_word(d)); }

template <>
struct TypeReader<core::Decision> : UnitEnumReader<core::Decision, core::kDecisionWords> {};
template <>
struct TypeReader<core::ClaimKind> : UnitEnumReader<core::ClaimKind, core::kClaimKindWords> {};
template <>
struct TypeReader<core::RoundingRule> : UnitEnumReader<core::RoundingRule, core::kRoundingRuleWords> {};

}  // namespace qv::json
