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
  // Scalar: its value. Views into the document's storage.
  std::string_view text;
  // The tag as the parser resolved it ("tag:yaml.org,2002:int", "!money",
  // "!"); empty when the node has none.
  std::string_view tag;

  bool is_plain_untagged() const { return style == ScalarStyle::Plain && tag.empty(); }
};

struct Document {
  Document() = default;
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;
  Document(Document&&) noexcept = default;
  Document& operator=(Document&&) noexcept = default;

  std::vector<Event> events;
  // The parser's error, or an alias to an unknown anchor, that ended the
  // collection early.
  std::optional<YamlError> error;
  // The text holds no document at all (empty, blank, only comments).
  bool no_document = false;
  // Something follows the first document: another document or an error.
  bool more_documents = false;
  // The bytes the events' texts and tags view.
  std::vector<char> storage;
};

// Nesting of sequences and mappings allowed on one path, aliases included.
// Loading stops at the first collection nested deeper in the text (the
// parser's work grows with the square of the flow nesting), with the error
// every reader of the events gives there.
inline constexpr std::size_t kMaxDepth = 128;

// Tags are stored for each node that has one, and a %TAG directive can
// make every short tag long: the tags of one document may take at most
// this many bytes per byte of text (plus kTagBytesAllowance), else the text
// is refused with "repetition limit exceeded".
inline constexpr std::size_t kTagBytesPerTextByte = 8;
inline constexpr std::size_t kTagBytesAllowance = 1 << 20;

// Parses the first document. An alias refers to the node most recently
// anchored under its name before it.
Document load_document(std::string_view text);

// The index of the first event after the node starting at `index` (an alias
// counts as one event). Iterative.
std::size_t skip_node(const std::vector<Event>& events, std::size_t index);

}  // namespace qv::yaml
