#pragma once
// The length a JSON string will have once read, measured before reading
// it, so that a long one (a transcript) is decoded into a buffer of its
// final size.
#include <cstddef>
#include <optional>
#include <string_view>

namespace qv::json {

// The length of the JSON string whose text starts at `i` (just past its
// opening quote) once its escapes are decoded: the bytes up to the first
// quote no odd run of backslashes escapes, less what each escape takes
// beyond its decoded form. None when no such quote closes it, or a \u is
// not followed by four hex digits. For a string the JSON reader reads, the
// length of what it reads; for any other, at most its length in the text.
std::optional<std::size_t> decoded_string_size(std::string_view text, std::size_t i);

}  // namespace qv::json
