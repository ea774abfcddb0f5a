#pragma once
// What a tagged or untagged scalar event means in the tree.
#include <expected>
#include <string>
#include <string_view>

#include "yaml/events.hpp"
#include "yaml/node.hpp"

namespace qv::yaml {

inline constexpr std::string_view kCoreTagPrefix = "tag:yaml.org,2002:";

// A local tag is written "!name" (or the bare "!").
inline bool is_local_tag(std::string_view tag) { return !tag.empty() && tag[0] == '!'; }
// "money" for "!money"; the bare "!" stays "!".
inline std::string local_tag_name(std::string_view tag) {
  return std::string(tag.size() > 1 ? tag.substr(1) : tag);
}

// The tree node of a scalar event, or the message of why it cannot be one
// (an integer wider than 64 bits, a text that does not fit its core tag).
// Plain untagged scalars are typed by their text; quoted and block scalars
// are strings; !!bool, !!int, !!float and !!null force that reading; other
// core and global tags give a string; a local tag wraps the scalar, typed as
// if untagged.
std::expected<Node, std::string> scalar_node(const Event& event);

}  // namespace qv::yaml
