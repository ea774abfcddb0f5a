#pragma once
// The shared enumerations read from YAML: their words, in any scalar style,
// compared exactly.
#include "core/vocabulary.hpp"
#include "yaml/typed.hpp"

namespace qv::yaml {

template <>
struct TypeReader<core::Decision> : UnitEnumReader<core::Decision, core::kDecisionWords> {};
template <>
struct TypeReader<core::ClaimKind> : UnitEnumReader<core::ClaimKind, core::kClaimKindWords> {};

}  // namespace qv::yaml
