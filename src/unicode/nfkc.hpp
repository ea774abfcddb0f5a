#pragma once
// Normalization Form KC.
#include <string>
#include <string_view>

namespace qv::unicode {

// The NFKC form of a UTF-8 text: compatibility decomposition, canonical
// ordering of combining marks, canonical composition. The text is taken by
// length (U+0000 is an ordinary character), and ill-formed bytes come out as
// U+FFFD. Runs of combining marks are ordered with a stable sort, so the
// time is O(n log n) whatever the input.
std::string nfkc(std::string_view text);

}  // namespace qv::unicode
