#pragma once
#include <cstdint>
#include <span>
#include <string>

namespace qv::crypto {

// Lower-case hex of `bytes`.
std::string hex_encode(std::span<const unsigned char> bytes);

}  // namespace qv::crypto
