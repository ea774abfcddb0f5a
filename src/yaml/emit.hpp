#pragma once
// Writing YAML with libyaml's emitter: one document, no "---", unicode
// written raw, no line wrapping, indentation 2, LF line ends. Styles are
// requested per scalar and libyaml falls back to quoting where a style
// cannot hold the text.
#include <memory>
#include <string>
#include <string_view>

#include "yaml/error.hpp"
#include "yaml/node.hpp"

namespace qv::yaml {

// True when a plain scalar of this text would not read back as this
// string: it would be null, a boolean, an integer (128-bit included) or a
// float, or it is a digit string with a leading zero ("007").
bool plain_changes_meaning(std::string_view text);

class Emitter {
 public:
  Emitter();
  Emitter(const Emitter&) = delete;
  Emitter& operator=(const Emitter&) = delete;
  ~Emitter();

  // A string: a literal block when it holds a line break, single quotes
  // when plain_changes_meaning, else plain (each as libyaml allows).
  void string(std::string_view text, std::string_view tag = {});
  // A plain scalar read back by its text: null, true/false, numbers.
  void plain(std::string_view text, std::string_view tag = {});
  void boolean(bool b) { plain(b ? "true" : "false"); }
  // Collections in libyaml's default (block) style; `tag` is "!name" or empty.
  void begin_mapping(std::string_view tag = {});
  void end_mapping();
  void begin_sequence(std::string_view tag = {});
  void end_sequence();

  // Ends the document and returns the text, or the first error met. Call
  // it once.
  YamlResult<std::string> finish();

 private:
  struct State;
  std::unique_ptr<State> s_;
};

// The tree written back as YAML: null as "null", booleans, integers in
// decimal, floats as format_float writes them, strings by the string rule,
// collections with their keys by the same rules, a tagged node with its
// "!tag" on the inner node (in shorthand; characters a shorthand tag cannot
// hold, the flow indicators ",[]" among them, percent-escaped).
YamlResult<std::string> write_yaml(const Node& node);

}  // namespace qv::yaml
