#pragma once
// Checking and repairing UTF-8 taken from untrusted bytes.
#include <string>
#include <string_view>

namespace qv::unicode {

bool is_well_formed_utf8(std::string_view bytes);

// The bytes with each ill-formed part (the longest prefix of a well-formed
// sequence, or one byte) replaced by U+FFFD; well-formed input comes back
// unchanged.
std::string replace_ill_formed_utf8(std::string_view bytes);

}  // namespace qv::unicode
