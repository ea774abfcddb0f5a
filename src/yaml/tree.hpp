#pragma once
// Reading YAML text into the untyped tree.
#include <cstddef>
#include <string_view>

#include "yaml/error.hpp"
#include "yaml/events.hpp"
#include "yaml/node.hpp"

namespace qv::yaml {

// Nodes that following aliases may copy into one tree. Beyond it the text
// is refused as alias abuse, with the same message as the count of aliases
// followed (which is at most 100 per event of the document).
inline constexpr std::size_t kMaxAliasExpansionNodes = 1'000'000;
inline constexpr std::size_t kAliasesPerEvent = 100;
// Bytes of scalar text and tags that following aliases may copy into one
// tree: a few aliases to one long string must not multiply it without end.
inline constexpr std::size_t kMaxAliasExpansionBytes = std::size_t{64} << 20;

// Reads exactly one document. No document at all fails with "EOF while
// parsing a value"; a second one with the "more than one document" error; a
// repeated key with "duplicate entry ..."; an alias names the node most
// recently anchored under its name.
YamlResult<Node> read_tree(std::string_view text);

// The same from events already loaded.
YamlResult<Node> build_tree(const Document& document);

}  // namespace qv::yaml
