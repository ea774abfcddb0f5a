#pragma once
// The events of the first YAML document of a text, as the parser reports
// them, kept in a vector that the tree builder and the typed reader walk.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "yaml/error.hpp"

namespace qv::yaml {

enum class EventKind : std::uint8_t { Scalar, Alias, SequenceStart, SequenceEnd, MappingStart, MappingEnd };
enum class ScalarStyle : std::uint8_t { Plain, SingleQuoted, DoubleQuoted, Literal, Folded };

struct Event {
  EventKind kind = EventKind::Scalar;
  ScalarStyle style = ScalarStyle::Plain;
  // Where the node starts, counting an anchor or tag in front of it.
  Mark mark;
  // Alias: the index of the event that starts the node it names.
  std::size_t target = 0;
  // Scalar: its value.
  std::string text;
  // The tag as the parser resolved it ("tag:yaml.org,2002:int", "!money",
  // "!"); empty when the node has none.
  std::string tag;

  bool is_plain_untagged() const { return style == ScalarStyle::Plain && tag.empty(); }
};

struct Document {
  std::vector<Event> events;
  // The parser's error, or an alias to an unknown anchor, that ended the
  // collection early.
  std::optional<YamlError> error;
  // The text holds no document at all (empty, blank, only comments).
  bool no_document = false;
  // Something follows the first document: another document or an error.
  bool more_documents = false;
};

// Parses the first document. An alias refers to the node most recently
// anchored under its name before it.
Document load_document(std::string_view text);

// The index of the first event after the node starting at `index` (an alias
// counts as one event). Iterative.
std::size_t skip_node(const std::vector<Event>& events, std::size_t index);

}  // namespace qv::yaml
