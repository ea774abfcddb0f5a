#pragma once
#include <string_view>

namespace qv::core {

// The engine version every record carries.
inline constexpr std::string_view kEngineVersion = "6.0.5";

}  // namespace qv::core
