// The pattern syntax reader. It keeps explicit stacks for open groups and
// open classes, so no input depth reaches the C++ call stack, and checks the
// nesting limit on the finished tree with an explicit stack too.
#include "regex/parser.hpp"

namespace qv::regex::ast {

std::expected<Ast, Error> Parser::run() {
  Concat concat{span(), {}};
  while (true) {
    bump_space();
    if (is_eof()) break;
    const char32_t c = ch();
    if (c == '(') {
      if (auto r = push_group(concat); !r) return std::unexpected(r.error());
    } else if (c == ')') {
      if (auto r = pop_group(concat); !r) return std::unexpected(r.error());
    } else if (c == '|') {
      push_alternate(concat);
    } else if (c == '[') {
      auto cls = parse_set_class();
      if (!cls) return std::unexpected(cls.error());
      concat.asts.push_back(*cls);
    } else if (c == '?') {
      if (auto r = parse_uncounted_repetition(concat, 0, 1); !r) return std::unexpected(r.error());
    } else if (c == '*') {
      if (auto r = parse_uncounted_repetition(concat, 0, kNoMax); !r) return std::unexpected(r.error());
    } else if (c == '+') {
      if (auto r = parse_uncounted_repetition(concat, 1, kNoMax); !r) return std::unexpected(r.error());
    } else if (c == '{') {
      if (auto r = parse_counted_repetition(concat); !r) return std::unexpected(r.error());
    } else {
      auto p = parse_primitive();
      if (!p) return std::unexpected(p.error());
      concat.asts.push_back(*p);
    }
  }
  auto root = pop_group_end(std::move(concat));
  if (!root) return std::unexpected(root.error());
  if (auto r = check_nest_limit(*root); !r) return std::unexpected(r.error());
  Ast ast;
  ast.nodes = std::move(nodes_);
  ast.root = *root;
  ast.capture_count = capture_index_;
  return ast;
}

void Parser::push_alternate(Concat& concat) {
  concat.span.end = pos_;
  const Position concat_start = concat.span.start;
  const std::uint32_t item = concat_into_ast(std::move(concat));
  if (!stack_group_.empty() && stack_group_.back().is_alternation) {
    stack_group_.back().alternation.asts.push_back(item);
  } else {
    GroupState st;
    st.is_alternation = true;
    st.alternation.span = Span{concat_start, pos_};
    st.alternation.asts.push_back(item);
    stack_group_.push_back(std::move(st));
  }
  bump();
  concat = Concat{span(), {}};
}

std::expected<void, Error> Parser::push_group(Concat& concat) {
  bool is_flags = false;
  auto r = parse_group(is_flags);
  if (!r) return std::unexpected(r.error());
  const Node& n = nodes_[*r];
  if (is_flags) {
    for (auto [f, on] : n.flags) {
      if (f == 'x') ignore_whitespace_ = on;
    }
    concat.asts.push_back(*r);
    return {};
  }
  const bool old = ignore_whitespace_;
  bool next = old;
  for (auto [f, on] : n.flags) {
    if (f == 'x') next = on;
  }
  GroupState st;
  st.concat = std::move(concat);
  st.group = *r;
  st.ignore_whitespace = old;
  stack_group_.push_back(std::move(st));
  ignore_whitespace_ = next;
  concat = Concat{span(), {}};
  return {};
}

std::expected<void, Error> Parser::pop_group(Concat& group_concat) {
  std::optional<Alternation> alt;
  if (stack_group_.empty()) return std::unexpected(error(span_char(), ErrorKind::kGroupUnopened));
  GroupState top = std::move(stack_group_.back());
  stack_group_.pop_back();
  if (top.is_alternation) {
    if (stack_group_.empty() || stack_group_.back().is_alternation) {
      return std::unexpected(error(span_char(), ErrorKind::kGroupUnopened));
    }
    alt = std::move(top.alternation);
    top = std::move(stack_group_.back());
    stack_group_.pop_back();
  }
  ignore_whitespace_ = top.ignore_whitespace;
  group_concat.span.end = pos_;
  bump();
  const std::uint32_t group = top.group;
  nodes_[group].span.end = pos_;
  if (alt) {
    alt->span.end = group_concat.span.end;
    alt->asts.push_back(concat_into_ast(std::move(group_concat)));
    const std::uint32_t a = alternation_into_ast(std::move(*alt));
    nodes_[group].children = {a};
  } else {
    const std::uint32_t c = concat_into_ast(std::move(group_concat));
    nodes_[group].children = {c};
  }
  top.concat.asts.push_back(group);
  group_concat = std::move(top.concat);
  return {};
}

Parser::Res Parser::pop_group_end(Concat concat) {
  concat.span.end = pos_;
  std::uint32_t result;
  if (stack_group_.empty()) {
    result = concat_into_ast(std::move(concat));
  } else if (stack_group_.back().is_alternation) {
    Alternation alt = std::move(stack_group_.back().alternation);
    stack_group_.pop_back();
    alt.span.end = pos_;
    alt.asts.push_back(concat_into_ast(std::move(concat)));
    Node n;
    n.kind = Kind::kAlternation;
    n.span = alt.span;
    n.children = std::move(alt.asts);
    result = add(std::move(n));
  } else {
    return std::unexpected(error(nodes_[stack_group_.back().group].span, ErrorKind::kGroupUnclosed));
  }
  if (!stack_group_.empty()) {
    return std::unexpected(error(nodes_[stack_group_.back().group].span, ErrorKind::kGroupUnclosed));
  }
  return result;
}

std::expected<void, Error> Parser::parse_uncounted_repetition(Concat& concat, std::uint32_t min, std::uint32_t max) {
  if (concat.asts.empty()) return std::unexpected(error(span(), ErrorKind::kRepetitionMissing));
  const std::uint32_t sub = concat.asts.back();
  if (nodes_[sub].kind == Kind::kEmpty || nodes_[sub].kind == Kind::kFlags) {
    return std::unexpected(error(span(), ErrorKind::kRepetitionMissing));
  }
  concat.asts.pop_back();
  bool greedy = true;
  if (bump() && ch() == '?') {
    greedy = false;
    bump();
  }
  concat.asts.push_back(add_repetition(sub, min, max, greedy));
  return {};
}

std::expected<std::uint32_t, Error> Parser::parse_decimal(ErrorKind empty_kind) {
  while (!is_eof() && is_white_space(ch())) bump();
  const Position start = pos_;
  std::string digits;
  while (!is_eof() && ch() >= '0' && ch() <= '9') {
    digits.push_back(static_cast<char>(ch()));
    bump_and_bump_space();
  }
  const Span s{start, pos_};
  while (!is_eof() && is_white_space(ch())) bump_and_bump_space();
  if (digits.empty()) return std::unexpected(error(s, empty_kind));
  std::uint32_t n = 0;
  auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
  if (ec != std::errc() || ptr != digits.data() + digits.size()) {
    return std::unexpected(error(s, ErrorKind::kDecimalInvalid));
  }
  return n;
}

std::expected<void, Error> Parser::parse_counted_repetition(Concat& concat) {
  const Position start = pos_;
  if (concat.asts.empty()) return std::unexpected(error(span(), ErrorKind::kRepetitionMissing));
  const std::uint32_t sub = concat.asts.back();
  if (nodes_[sub].kind == Kind::kEmpty || nodes_[sub].kind == Kind::kFlags) {
    return std::unexpected(error(span(), ErrorKind::kRepetitionMissing));
  }
  concat.asts.pop_back();
  if (!bump_and_bump_space()) return std::unexpected(error(Span{start, pos_}, ErrorKind::kRepetitionCountUnclosed));
  auto count_start = parse_decimal(ErrorKind::kRepetitionCountDecimalEmpty);
  if (is_eof()) return std::unexpected(error(Span{start, pos_}, ErrorKind::kRepetitionCountUnclosed));
  std::uint32_t min = 0;
  std::uint32_t max = 0;
  if (ch() == ',') {
    if (!bump_and_bump_space()) {
      return std::unexpected(error(Span{start, pos_}, ErrorKind::kRepetitionCountUnclosed));
    }
    if (ch() != '}') {
      if (!count_start) return std::unexpected(count_start.error());
      auto count_end = parse_decimal(ErrorKind::kRepetitionCountDecimalEmpty);
      if (!count_end) return std::unexpected(count_end.error());
      min = *count_start;
      max = *count_end;
    } else {
      if (!count_start) return std::unexpected(count_start.error());
      min = *count_start;
      max = kNoMax;
    }
  } else {
    if (!count_start) return std::unexpected(count_start.error());
    min = max = *count_start;
  }
  if (is_eof() || ch() != '}') {
    return std::unexpected(error(Span{start, pos_}, ErrorKind::kRepetitionCountUnclosed));
  }
  bool greedy = true;
  if (bump_and_bump_space() && ch() == '?') {
    greedy = false;
    bump();
  }
  const Span op_span{start, pos_};
  if (max != kNoMax && min > max) return std::unexpected(error(op_span, ErrorKind::kRepetitionCountInvalid));
  concat.asts.push_back(add_repetition(sub, min, max, greedy));
  return {};
}

Parser::Res Parser::parse_group(bool& is_flags) {
  const Span open_span = span_char();
  bump();
  bump_space();
  const Position lookaround_start = open_span.start;
  if (bump_if("?=") || bump_if("?!") || bump_if("?<=") || bump_if("?<!")) {
    return std::unexpected(error(Span{lookaround_start, pos_}, ErrorKind::kUnsupportedLookAround));
  }
  const Span inner_span = span();
  bool starts_with_p = true;
  bool named = bump_if("?P<");
  if (!named) {
    starts_with_p = false;
    named = bump_if("?<");
  }
  (void)starts_with_p;
  if (named) {
    // Capture indices are bounded by the pattern length, far below u32.
    const std::uint32_t index = ++capture_index_;
    Node g;
    g.kind = Kind::kGroup;
    g.sub = static_cast<std::uint8_t>(GroupKind::kCaptureName);
    g.span = open_span;
    g.capture_index = index;
    auto name = parse_capture_name(index);
    if (!name) return std::unexpected(name.error());
    g.name = nodes_[*name].name;
    return add(std::move(g));
  }
  if (bump_if("?")) {
    if (is_eof()) return std::unexpected(error(inner_span, ErrorKind::kGroupUnclosed));
    auto flags = parse_flags();
    if (!flags) return std::unexpected(flags.error());
    const char32_t end = ch();
    bump();
    if (end == ')') {
      if (flags->empty()) return std::unexpected(error(inner_span, ErrorKind::kRepetitionMissing));
      Node f;
      f.kind = Kind::kFlags;
      f.span = Span{open_span.start, pos_};
      f.flags = std::move(*flags);
      is_flags = true;
      return add(std::move(f));
    }
    Node g;
    g.kind = Kind::kGroup;
    g.sub = static_cast<std::uint8_t>(GroupKind::kNonCapturing);
    g.span = open_span;
    g.flags = std::move(*flags);
    return add(std::move(g));
  }
  Node g;
  g.kind = Kind::kGroup;
  g.sub = static_cast<std::uint8_t>(GroupKind::kCaptureIndex);
  g.span = open_span;
  g.capture_index = ++capture_index_;
  return add(std::move(g));
}

// Returns a scratch node holding the name (its span is the name's span).
Parser::Res Parser::parse_capture_name(std::uint32_t) {
  if (is_eof()) return std::unexpected(error(span(), ErrorKind::kGroupNameUnexpectedEof));
  const Position start = pos_;
  while (true) {
    if (ch() == '>') break;
    if (!is_capture_char(ch(), pos_.offset == start.offset)) {
      return std::unexpected(error(span_char(), ErrorKind::kGroupNameInvalid));
    }
    if (!bump()) break;
  }
  const Position end = pos_;
  if (is_eof()) return std::unexpected(error(span(), ErrorKind::kGroupNameUnexpectedEof));
  bump();
  std::string name(pattern_.substr(start.offset, end.offset - start.offset));
  if (name.empty()) return std::unexpected(error(Span{start, start}, ErrorKind::kGroupNameEmpty));
  const Span name_span{start, end};
  auto [it, inserted] = capture_names_.emplace(name, name_span);
  if (!inserted) return std::unexpected(error(name_span, ErrorKind::kGroupNameDuplicate, it->second));
  Node n;
  n.kind = Kind::kEmpty;
  n.span = name_span;
  n.name = std::move(name);
  return add(std::move(n));
}

std::expected<std::vector<std::pair<char, bool>>, Error> Parser::parse_flags() {
  // Items as written: a flag letter, or '-' for the negation operator.
  std::vector<std::pair<char32_t, Span>> items;
  bool last_was_negation = false;
  Span negation_span{};
  auto find_item = [&](char32_t kind) -> std::optional<Span> {
    for (auto& [k, s] : items) {
      if (k == kind) return s;
    }
    return std::nullopt;
  };
  while (ch() != ':' && ch() != ')') {
    if (ch() == '-') {
      last_was_negation = true;
      negation_span = span_char();
      if (auto original = find_item('-')) {
        return std::unexpected(error(span_char(), ErrorKind::kFlagRepeatedNegation, *original));
      }
      items.emplace_back('-', span_char());
    } else {
      last_was_negation = false;
      const char32_t c = ch();
      if (c != 'i' && c != 'm' && c != 's' && c != 'U' && c != 'u' && c != 'R' && c != 'x') {
        return std::unexpected(error(span_char(), ErrorKind::kFlagUnrecognized));
      }
      if (auto original = find_item(c)) {
        return std::unexpected(error(span_char(), ErrorKind::kFlagDuplicate, *original));
      }
      items.emplace_back(c, span_char());
    }
    if (!bump()) return std::unexpected(error(span(), ErrorKind::kFlagUnexpectedEof));
  }
  if (last_was_negation) return std::unexpected(error(negation_span, ErrorKind::kFlagDanglingNegation));
  std::vector<std::pair<char, bool>> flags;
  bool on = true;
  for (auto& [k, s] : items) {
    if (k == '-') {
      on = false;
    } else {
      flags.emplace_back(static_cast<char>(k), on);
    }
  }
  return flags;
}

Parser::Res Parser::parse_primitive() {
  const char32_t c = ch();
  if (c == '\\') return parse_escape();
  Node n;
  n.span = span_char();
  if (c == '.') {
    n.kind = Kind::kDot;
  } else if (c == '^') {
    n.kind = Kind::kAssertion;
    n.sub = static_cast<std::uint8_t>(AssertionKind::kStartLine);
  } else if (c == '$') {
    n.kind = Kind::kAssertion;
    n.sub = static_cast<std::uint8_t>(AssertionKind::kEndLine);
  } else {
    n.kind = Kind::kLiteral;
    n.c = c;
  }
  bump();
  return add(std::move(n));
}

Parser::Res Parser::parse_escape() {
  const Position start = pos_;
  if (!bump()) return std::unexpected(error(Span{start, pos_}, ErrorKind::kEscapeUnexpectedEof));
  const char32_t c = ch();
  if (c >= '0' && c <= '9') {
    return std::unexpected(error(Span{start, span_char().end}, ErrorKind::kUnsupportedBackreference));
  }
  if (c == 'x' || c == 'u' || c == 'U') {
    auto lit = parse_hex();
    if (!lit) return lit;
    nodes_[*lit].span.start = start;
    return lit;
  }
  if (c == 'p' || c == 'P') {
    auto cls = parse_unicode_class();
    if (!cls) return cls;
    nodes_[*cls].span.start = start;
    return cls;
  }
  if (c == 'd' || c == 's' || c == 'w' || c == 'D' || c == 'S' || c == 'W') {
    const std::uint32_t cls = parse_perl_class();
    nodes_[cls].span.start = start;
    return cls;
  }
  bump();
  const Span s = span_with_start(start);
  Node n;
  n.span = s;
  if (is_meta_character(c) || is_escapeable_character(c)) {
    n.kind = Kind::kLiteral;
    n.c = c;
    return add(std::move(n));
  }
  auto literal = [&](char32_t v) {
    n.kind = Kind::kLiteral;
    n.c = v;
    return add(std::move(n));
  };
  auto assertion = [&](AssertionKind k) {
    n.kind = Kind::kAssertion;
    n.sub = static_cast<std::uint8_t>(k);
    return add(std::move(n));
  };
  switch (c) {
    case 'a': return literal(0x07);
    case 'f': return literal(0x0C);
    case 't': return literal('\t');
    case 'n': return literal('\n');
    case 'r': return literal('\r');
    case 'v': return literal(0x0B);
    case 'A': return assertion(AssertionKind::kStartText);
    case 'z': return assertion(AssertionKind::kEndText);
    case 'b': {
      AssertionKind wb = AssertionKind::kWordBoundary;
      if (!is_eof() && ch() == '{') {
        auto special = maybe_parse_special_word_boundary(start);
        if (!special) return std::unexpected(special.error());
        if (*special) wb = **special;
      }
      n.span = span_with_start(start);
      return assertion(wb);
    }
    case 'B': return assertion(AssertionKind::kNotWordBoundary);
    case '<': return assertion(AssertionKind::kWordBoundaryStartAngle);
    case '>': return assertion(AssertionKind::kWordBoundaryEndAngle);
    default:
      return std::unexpected(error(s, ErrorKind::kEscapeUnrecognized));
  }
}

std::expected<std::optional<AssertionKind>, Error> Parser::maybe_parse_special_word_boundary(Position wb_start) {
  auto is_valid_char = [](char32_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-'; };
  const Position start = pos_;
  if (!bump_and_bump_space()) {
    return std::unexpected(error(Span{wb_start, pos_}, ErrorKind::kSpecialWordOrRepetitionUnexpectedEof));
  }
  const Position start_contents = pos_;
  if (!is_valid_char(ch())) {
    pos_ = start;
    return std::optional<AssertionKind>{};
  }
  std::string scratch;
  while (!is_eof() && is_valid_char(ch())) {
    scratch.push_back(static_cast<char>(ch()));
    bump_and_bump_space();
  }
  if (is_eof() || ch() != '}') {
    return std::unexpected(error(Span{start, pos_}, ErrorKind::kSpecialWordBoundaryUnclosed));
  }
  const Position end = pos_;
  bump();
  if (scratch == "start") return AssertionKind::kWordBoundaryStart;
  if (scratch == "end") return AssertionKind::kWordBoundaryEnd;
  if (scratch == "start-half") return AssertionKind::kWordBoundaryStartHalf;
  if (scratch == "end-half") return AssertionKind::kWordBoundaryEndHalf;
  return std::unexpected(error(Span{start_contents, end}, ErrorKind::kSpecialWordBoundaryUnrecognized));
}

Parser::Res Parser::parse_hex() {
  const char32_t kind = ch();
  if (!bump_and_bump_space()) return std::unexpected(error(span(), ErrorKind::kEscapeUnexpectedEof));
  if (ch() == '{') return parse_hex_brace();
  auto r = parse_hex_digits(kind == 'x' ? 2 : kind == 'u' ? 4 : 8);
  if (r && kind == 'x') nodes_[*r].hex_x = true;
  return r;
}

Parser::Res Parser::parse_hex_digits(int digits) {
  const Position start = pos_;
  std::uint64_t value = 0;
  for (int i = 0; i < digits; ++i) {
    if (i > 0 && !bump_and_bump_space()) return std::unexpected(error(span(), ErrorKind::kEscapeUnexpectedEof));
    if (!is_hex(ch())) return std::unexpected(error(span_char(), ErrorKind::kEscapeHexInvalidDigit));
    const char32_t c = ch();
    value = value * 16 + hex_value(c);
  }
  bump_and_bump_space();
  const Position end = pos_;
  if (!is_scalar_value(value)) {
    return std::unexpected(error(Span{start, end}, ErrorKind::kEscapeHexInvalid));
  }
  return add_literal(static_cast<char32_t>(value), Span{start, end});
}

Parser::Res Parser::parse_hex_brace() {
  const Position brace_pos = pos_;
  const Position start = span_char().end;
  std::uint64_t value = 0;
  bool any = false;
  bool overflow = false;
  while (bump_and_bump_space() && ch() != '}') {
    if (!is_hex(ch())) return std::unexpected(error(span_char(), ErrorKind::kEscapeHexInvalidDigit));
    const char32_t c = ch();
    any = true;
    value = value * 16 + hex_value(c);
    if (value > 0xFFFFFFFFu) {
      overflow = true;
      value = 0x100000000u;  // stays out of range without overflowing
    }
  }
  if (is_eof()) return std::unexpected(error(Span{brace_pos, pos_}, ErrorKind::kEscapeUnexpectedEof));
  const Position end = pos_;
  bump_and_bump_space();
  if (!any) return std::unexpected(error(Span{brace_pos, pos_}, ErrorKind::kEscapeHexEmpty));
  if (overflow || !is_scalar_value(value)) {
    return std::unexpected(error(Span{start, end}, ErrorKind::kEscapeHexInvalid));
  }
  return add_literal(static_cast<char32_t>(value), Span{start, pos_});
}

std::expected<void, Error> Parser::check_nest_limit(std::uint32_t root) const {
  // Pre-order walk; every group, bracketed class, class union, class set
  // operation, repetition, alternation and concatenation adds one level.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> stack{{root, 0}};
  while (!stack.empty()) {
    auto [id, parent_depth] = stack.back();
    stack.pop_back();
    const Node& n = nodes_[id];
    std::uint32_t depth = parent_depth;
    switch (n.kind) {
      case Kind::kClassBracketed:
      case Kind::kRepetition:
      case Kind::kGroup:
      case Kind::kAlternation:
      case Kind::kConcat:
      case Kind::kSetUnion:
      case Kind::kSetBinaryOp:
        depth += 1;
        if (depth > kNestLimit) return std::unexpected(error(n.span, ErrorKind::kNestLimitExceeded));
        break;
      default:
        continue;
    }
    for (auto it = n.children.rbegin(); it != n.children.rend(); ++it) stack.emplace_back(*it, depth);
  }
  return {};
}

std::expected<Ast, Error> parse(std::string_view pattern) { return Parser(pattern).run(); }

}  // namespace qv::regex::ast
