#pragma once
// The canonical form given to every checked text before offsets are measured.
#include <string>
#include <string_view>

namespace qv::text {

// Normalises a text in nine steps, each applied to the whole result of the
// one before:
//  1. CR LF becomes LF;  2. a remaining CR becomes LF;
//  3. U+00AD, U+200B, U+200C, U+200D, U+2060 and U+FEFF are deleted;
//  4. U+00A0, U+2007, U+2009 and U+202F become U+E000;
//  5. NFKC;
//  6. U+E000 becomes U+202F (so the four spaces of step 4 survive NFKC as
//     U+202F instead of U+0020);
//  7. every run of U+0020, U+0009, U+000B and U+000C becomes one U+0020;
//  8. every run of three or more LF becomes two LF;
//  9. leading and trailing White_Space characters are removed.
// Never fails; U+0000 is kept; ill-formed bytes come out as U+FFFD.
std::string normalize_text(std::string_view text);

}  // namespace qv::text
