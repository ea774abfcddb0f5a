// Compiled patterns and matching on UTF-8 text.
//
// Matching is leftmost-first (the leftmost match; among those, the one the
// pattern prefers: alternatives in written order, greedy repetitions as long
// as the rest still matches) and takes time linear in the text for every
// pattern. Offsets are byte offsets; searches that start at an offset still
// let anchors and word boundaries see the text before it.
#pragma once

#include <cstddef>
#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "regex/error.hpp"

namespace qv::regex {

struct Match {
  std::size_t start = 0;
  std::size_t end = 0;
  friend bool operator==(const Match&, const Match&) = default;
};

// Group spans of one match: [0] is the whole match; a group that did not
// take part is nullopt.
using Captures = std::vector<std::optional<Match>>;

struct Program;
struct RegexInternals;

class Regex {
 public:
  static std::expected<Regex, Error> compile(std::string_view pattern);

  bool is_match(std::string_view text, std::size_t start = 0) const;
  std::optional<Match> find(std::string_view text, std::size_t start = 0) const;
  std::optional<Captures> captures(std::string_view text, std::size_t start = 0) const;
  // Every non-overlapping match, left to right. After an empty match the
  // next search starts one character further on, and an empty match right
  // where the previous match ended is skipped.
  std::vector<Match> find_all(std::string_view text) const;
  std::vector<Captures> captures_all(std::string_view text) const;

  // Number of groups, the whole match included.
  std::size_t captures_len() const;
  const std::vector<std::optional<std::string>>& names() const;
  std::optional<std::size_t> group_index(std::string_view name) const;
  const std::string& pattern() const;

 private:
  Regex() = default;
  friend struct RegexInternals;
  std::shared_ptr<const Program> prog_;
};

}  // namespace qv::regex
