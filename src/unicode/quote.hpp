#pragma once
// The quoted form of a text that error messages show ("invalid type: string
// \"...\", expected ...", "extends \"...\": not a shipped policy").
#include <string>
#include <string_view>

namespace qv::unicode {

// Returns the text between double quotes, escaped character by character:
// `"` and `\` get a backslash; tab, LF, CR and U+0000 are written \t \n \r \0;
// every grapheme extender (U+0301, U+200D, ...) and every other character that
// is not printable (controls, format characters, surrogates, private use,
// unassigned code points, line and paragraph separators, spaces other than
// U+0020) is written \u{hex} with lower-case hex digits and no leading zeros.
// Everything else, `'` included, is copied as it is.
// Input that is not well-formed UTF-8 is quoted as if each ill-formed part
// were U+FFFD (which is printable and copied raw).
std::string debug_quote(std::string_view utf8);

}  // namespace qv::unicode
