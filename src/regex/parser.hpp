// The pattern syntax reader's state and steps, shared by the reader of
// groups, repetitions and escapes (parser.cpp) and the reader of classes
// (class_parser.cpp). Internal to the regex component.
#pragma once

#include <charconv>
#include <optional>
#include <string>

#include "core/keyed_hash.hpp"
#include "core/utf8.hpp"
#include "regex/ast.hpp"
#include "unicode/sets.hpp"

namespace qv::regex::ast {

struct Decoded {
  char32_t c;
  std::size_t len;
};

// Decodes one UTF-8 character; a malformed byte reads as U+FFFD of length 1.
inline Decoded decode_at(std::string_view s, std::size_t i) {
  const core::Utf8Step step = core::utf8_step(s, i);
  return step.valid ? Decoded{step.code_point, step.length} : Decoded{core::kReplacementCharacter, 1};
}

// The value of a hexadecimal digit.
inline std::uint64_t hex_value(char32_t c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

// A code point that is no surrogate.
inline bool is_scalar_value(std::uint64_t v) { return v <= 0x10FFFF && (v < 0xD800 || v > 0xDFFF); }

inline bool is_white_space(char32_t c) { return unicode::set_contains(unicode::perl_space(), c); }

inline bool is_meta_character(char32_t c) {
  switch (c) {
    case '\\': case '.': case '+': case '*': case '?': case '(': case ')': case '|': case '[': case ']':
    case '{': case '}': case '^': case '$': case '#': case '&': case '-': case '~':
      return true;
    default:
      return false;
  }
}

inline bool is_escapeable_character(char32_t c) {
  if (is_meta_character(c)) return true;
  if (c > 0x7F) return false;
  if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return false;
  if (c == '<' || c == '>') return false;
  return true;
}

inline bool is_hex(char32_t c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

inline bool is_capture_char(char32_t c, bool first) {
  if (first) return c == '_' || unicode::is_alphabetic_code_point(c);
  return c == '_' || c == '.' || c == '[' || c == ']' || unicode::is_alphabetic_code_point(c) ||
         unicode::is_numeric_code_point(c);
}

struct Concat {
  Span span;
  std::vector<std::uint32_t> asts;
};

struct Alternation {
  Span span;
  std::vector<std::uint32_t> asts;
};

struct GroupState {
  bool is_alternation = false;
  Concat concat;             // group: the concatenation before the group
  std::uint32_t group = 0;   // group: its node
  bool ignore_whitespace = false;
  Alternation alternation;   // alternation
};

struct ClassUnion {
  Span span;
  std::vector<std::uint32_t> items;
};

struct ClassState {
  bool is_op = false;
  ClassUnion union_;        // open: the parent union
  std::uint32_t set = 0;    // open: the bracketed node
  BinaryOpKind op{};        // op
  std::uint32_t lhs = 0;    // op: the left-hand class set
};

class Parser {
 public:
  explicit Parser(std::string_view pattern) : pattern_(pattern) {}

  std::expected<Ast, Error> run();

 private:
  using Res = std::expected<std::uint32_t, Error>;

  std::string_view pattern_;
  Position pos_;
  bool ignore_whitespace_ = false;
  std::uint32_t capture_index_ = 0;
  std::vector<GroupState> stack_group_;
  std::vector<ClassState> stack_class_;
  core::TextMap<Span> capture_names_;  // keyed: names come from callers' patterns
  std::vector<Node> nodes_;

  // ---- reading primitives
  Error error(Span span, ErrorKind kind, std::optional<Span> aux = std::nullopt) const {
    return Error{kind, std::string(pattern_), span, aux};
  }
  std::size_t offset() const { return pos_.offset; }
  bool is_eof() const { return pos_.offset >= pattern_.size(); }
  char32_t ch() const { return decode_at(pattern_, pos_.offset).c; }
  char32_t char_at(std::size_t i) const { return decode_at(pattern_, i).c; }
  std::size_t char_len() const { return decode_at(pattern_, pos_.offset).len; }
  Span span() const { return Span{pos_, pos_}; }
  Span span_char() const {
    Position next{pos_.offset + char_len(), pos_.line, pos_.column + 1};
    if (ch() == '\n') {
      next.line += 1;
      next.column = 1;
    }
    return Span{pos_, next};
  }
  Span span_with_start(Position start) const { return Span{start, pos_}; }

  bool bump() {
    if (is_eof()) return false;
    const char32_t c = ch();
    if (c == '\n') {
      pos_.line += 1;
      pos_.column = 1;
    } else {
      pos_.column += 1;
    }
    pos_.offset += char_len();
    return !is_eof();
  }
  bool bump_if(std::string_view prefix) {
    if (pattern_.substr(pos_.offset).starts_with(prefix)) {
      const std::size_t end = pos_.offset + prefix.size();
      while (pos_.offset < end) bump();
      return true;
    }
    return false;
  }
  bool bump_and_bump_space() {
    if (!bump()) return false;
    bump_space();
    return !is_eof();
  }
  void bump_space() {
    if (!ignore_whitespace_) return;
    while (!is_eof()) {
      if (is_white_space(ch())) {
        bump();
      } else if (ch() == '#') {
        bump();
        while (!is_eof()) {
          const char32_t c = ch();
          bump();
          if (c == '\n') break;
        }
      } else {
        break;
      }
    }
  }
  std::optional<char32_t> peek() const {
    if (is_eof()) return std::nullopt;
    const std::size_t next = pos_.offset + char_len();
    if (next >= pattern_.size()) return std::nullopt;
    return char_at(next);
  }
  std::optional<char32_t> peek_space() const {
    if (!ignore_whitespace_) return peek();
    if (is_eof()) return std::nullopt;
    std::size_t start = pos_.offset + char_len();
    bool in_comment = false;
    for (std::size_t i = start; i < pattern_.size();) {
      const Decoded d = decode_at(pattern_, i);
      if (is_white_space(d.c)) {
      } else if (!in_comment && d.c == '#') {
        in_comment = true;
      } else if (in_comment && d.c == '\n') {
        in_comment = false;
      } else {
        start = i;
        break;
      }
      i += d.len;
    }
    if (start >= pattern_.size()) return std::nullopt;
    return char_at(start);
  }

  std::uint32_t add(Node n) {
    nodes_.push_back(std::move(n));
    return static_cast<std::uint32_t>(nodes_.size() - 1);
  }
  std::uint32_t add_empty(Span s) {
    Node n;
    n.kind = Kind::kEmpty;
    n.span = s;
    return add(std::move(n));
  }
  // A repetition of `sub` whose operator ends here.
  std::uint32_t add_repetition(std::uint32_t sub, std::uint32_t min, std::uint32_t max, bool greedy) {
    Node n;
    n.kind = Kind::kRepetition;
    n.span = Span{nodes_[sub].span.start, pos_};
    n.min = min;
    n.max = max;
    n.greedy = greedy;
    n.children = {sub};
    return add(std::move(n));
  }
  std::uint32_t add_literal(char32_t c, Span s) {
    Node n;
    n.kind = Kind::kLiteral;
    n.c = c;
    n.span = s;
    return add(std::move(n));
  }
  // A node of `kind` over `children`: the empty node when there are none,
  // the only child itself when there is one.
  std::uint32_t collect(Kind kind, Span span, std::vector<std::uint32_t> children) {
    if (children.empty()) return add_empty(span);
    if (children.size() == 1) return children[0];
    Node n;
    n.kind = kind;
    n.span = span;
    n.children = std::move(children);
    return add(std::move(n));
  }
  std::uint32_t concat_into_ast(Concat c) { return collect(Kind::kConcat, c.span, std::move(c.asts)); }
  std::uint32_t alternation_into_ast(Alternation a) { return collect(Kind::kAlternation, a.span, std::move(a.asts)); }
  std::uint32_t union_into_item(ClassUnion u) { return collect(Kind::kSetUnion, u.span, std::move(u.items)); }
  void union_push(ClassUnion& u, std::uint32_t item) {
    if (u.items.empty()) u.span.start = nodes_[item].span.start;
    u.span.end = nodes_[item].span.end;
    u.items.push_back(item);
  }

  // ---- grammar
  std::expected<void, Error> push_group(Concat& concat);
  std::expected<void, Error> pop_group(Concat& concat);
  void push_alternate(Concat& concat);
  Res pop_group_end(Concat concat);
  std::expected<void, Error> parse_uncounted_repetition(Concat& concat, std::uint32_t min, std::uint32_t max);
  std::expected<void, Error> parse_counted_repetition(Concat& concat);
  std::expected<std::uint32_t, Error> parse_decimal(ErrorKind empty_kind);
  Res parse_group(bool& is_flags);
  Res parse_capture_name(std::uint32_t capture_index);
  std::expected<std::vector<std::pair<char, bool>>, Error> parse_flags();
  Res parse_primitive();
  Res parse_escape();
  Res parse_hex();
  Res parse_hex_digits(int digits);
  Res parse_hex_brace();
  Res parse_unicode_class();
  std::uint32_t parse_perl_class();
  std::expected<std::optional<AssertionKind>, Error> maybe_parse_special_word_boundary(Position wb_start);
  Res parse_set_class();
  std::expected<void, Error> push_class_open(ClassUnion& parent);
  std::expected<std::optional<std::uint32_t>, Error> pop_class(ClassUnion& nested);
  void push_class_op(BinaryOpKind kind, ClassUnion& next);
  std::uint32_t pop_class_op(std::uint32_t rhs);
  Res parse_set_class_range();
  Res parse_set_class_item();
  std::optional<std::uint32_t> maybe_parse_ascii_class();
  Error unclosed_class_error() const;
  std::expected<void, Error> check_nest_limit(std::uint32_t root) const;
};

}  // namespace qv::regex::ast
