#pragma once
// The "sha256:" digest form used for every hash the engine records.
#include <cstddef>
#include <string>
#include <string_view>

namespace qv::crypto {

inline constexpr std::string_view kDigestPrefix = "sha256:";
// "sha256:" and 64 hex digits.
inline constexpr std::size_t kDigestLength = 71;

// The plain-text digest: "sha256:" followed by the lower-case hex SHA-256 of
// the text's bytes, with no canonicalisation.
std::string text_digest(std::string_view text);
// The same written at `out`, which has room for kDigestLength characters.
void write_text_digest(std::string_view text, char* out);

}  // namespace qv::crypto
