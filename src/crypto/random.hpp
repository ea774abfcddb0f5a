#pragma once
#include <cstddef>
#include <span>

namespace qv::crypto {

// Fills `out` from the operating system's random source, in requests of at
// most 256 bytes. A failing source is a broken invariant: it panics with
// "Error: {}" and the system's error text.
void os_random_bytes(std::span<unsigned char> out);

}  // namespace qv::crypto
