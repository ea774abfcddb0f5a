// The reader of classes: \p{..} and \P{..}, the Perl classes, bracketed
// classes with their ranges, nesting and set operations, and the ASCII
// classes ([:alpha:]).
#include "regex/parser.hpp"

namespace qv::regex::ast {

Parser::Res Parser::parse_unicode_class() {
  const bool negated = ch() == 'P';
  if (!bump_and_bump_space()) return std::unexpected(error(span(), ErrorKind::kEscapeUnexpectedEof));
  Node n;
  n.kind = Kind::kClassUnicode;
  n.negated = negated;
  Position start;
  if (ch() == '{') {
    start = span_char().end;
    std::string scratch;
    while (bump_and_bump_space() && ch() != '}') {
      scratch.append(pattern_.substr(pos_.offset, char_len()));
    }
    if (is_eof()) return std::unexpected(error(span(), ErrorKind::kEscapeUnexpectedEof));
    bump();
    std::size_t i;
    if ((i = scratch.find("!=")) != std::string::npos) {
      n.sub = static_cast<std::uint8_t>(UnicodeKind::kNamedValue);
      n.name = scratch.substr(0, i);
      n.value = scratch.substr(i + 2);
      n.negated = !n.negated;
    } else if ((i = scratch.find(':')) != std::string::npos || (i = scratch.find('=')) != std::string::npos) {
      n.sub = static_cast<std::uint8_t>(UnicodeKind::kNamedValue);
      n.name = scratch.substr(0, i);
      n.value = scratch.substr(i + 1);
    } else {
      n.sub = static_cast<std::uint8_t>(UnicodeKind::kNamed);
      n.name = std::move(scratch);
    }
  } else {
    start = pos_;
    const char32_t c = ch();
    if (c == '\\') return std::unexpected(error(span_char(), ErrorKind::kUnicodeClassInvalid));
    n.name = std::string(pattern_.substr(pos_.offset, char_len()));
    bump_and_bump_space();
    n.sub = static_cast<std::uint8_t>(UnicodeKind::kOneLetter);
  }
  n.span = Span{start, pos_};
  return add(std::move(n));
}

std::uint32_t Parser::parse_perl_class() {
  const char32_t c = ch();
  Node n;
  n.kind = Kind::kClassPerl;
  n.span = span_char();
  bump();
  n.negated = c == 'D' || c == 'S' || c == 'W';
  const char32_t lower = c | 0x20;
  n.sub = static_cast<std::uint8_t>(lower == 'd' ? PerlKind::kDigit : lower == 's' ? PerlKind::kSpace : PerlKind::kWord);
  return add(std::move(n));
}

Error Parser::unclosed_class_error() const {
  for (auto it = stack_class_.rbegin(); it != stack_class_.rend(); ++it) {
    if (!it->is_op) return error(nodes_[it->set].span, ErrorKind::kClassUnclosed);
  }
  return error(span(), ErrorKind::kClassUnclosed);
}

Parser::Res Parser::parse_set_class() {
  ClassUnion u{span(), {}};
  while (true) {
    bump_space();
    if (is_eof()) return std::unexpected(unclosed_class_error());
    const char32_t c = ch();
    if (c == '[') {
      if (!stack_class_.empty()) {
        if (auto cls = maybe_parse_ascii_class()) {
          union_push(u, *cls);
          continue;
        }
      }
      if (auto r = push_class_open(u); !r) return std::unexpected(r.error());
    } else if (c == ']') {
      auto r = pop_class(u);
      if (!r) return std::unexpected(r.error());
      if (*r) return **r;
    } else if (c == '&' && peek() == U'&') {
      bump_if("&&");
      push_class_op(BinaryOpKind::kIntersection, u);
    } else if (c == '-' && peek() == U'-') {
      bump_if("--");
      push_class_op(BinaryOpKind::kDifference, u);
    } else if (c == '~' && peek() == U'~') {
      bump_if("~~");
      push_class_op(BinaryOpKind::kSymmetricDifference, u);
    } else {
      auto item = parse_set_class_range();
      if (!item) return item;
      union_push(u, *item);
    }
  }
}

std::expected<void, Error> Parser::push_class_open(ClassUnion& parent) {
  const Position start = pos_;
  if (!bump_and_bump_space()) return std::unexpected(error(Span{start, pos_}, ErrorKind::kClassUnclosed));
  bool negated = false;
  if (ch() == '^') {
    negated = true;
    if (!bump_and_bump_space()) return std::unexpected(error(Span{start, pos_}, ErrorKind::kClassUnclosed));
  }
  ClassUnion nested{span(), {}};
  while (ch() == '-') {
    union_push(nested, add_literal('-', span_char()));
    if (!bump_and_bump_space()) return std::unexpected(error(Span{start, start}, ErrorKind::kClassUnclosed));
  }
  if (nested.items.empty() && ch() == ']') {
    union_push(nested, add_literal(']', span_char()));
    if (!bump_and_bump_space()) return std::unexpected(error(Span{start, pos_}, ErrorKind::kClassUnclosed));
  }
  Node set;
  set.kind = Kind::kClassBracketed;
  set.negated = negated;
  set.span = Span{start, pos_};
  const std::uint32_t set_id = add(std::move(set));
  ClassState st;
  st.union_ = std::move(parent);
  st.set = set_id;
  stack_class_.push_back(std::move(st));
  parent = std::move(nested);
  return {};
}

std::expected<std::optional<std::uint32_t>, Error> Parser::pop_class(ClassUnion& nested) {
  const std::uint32_t item = union_into_item(std::move(nested));
  const std::uint32_t prevset = pop_class_op(item);
  // The top of the stack is now an open bracket.
  ClassState st = std::move(stack_class_.back());
  stack_class_.pop_back();
  bump();
  Node& set = nodes_[st.set];
  set.span.end = pos_;
  set.children = {prevset};
  if (stack_class_.empty()) return std::optional<std::uint32_t>{st.set};
  union_push(st.union_, st.set);
  nested = std::move(st.union_);
  return std::optional<std::uint32_t>{};
}

void Parser::push_class_op(BinaryOpKind kind, ClassUnion& next) {
  const std::uint32_t item = union_into_item(std::move(next));
  const std::uint32_t lhs = pop_class_op(item);
  ClassState st;
  st.is_op = true;
  st.op = kind;
  st.lhs = lhs;
  stack_class_.push_back(std::move(st));
  next = ClassUnion{span(), {}};
}

std::uint32_t Parser::pop_class_op(std::uint32_t rhs) {
  if (stack_class_.empty() || !stack_class_.back().is_op) return rhs;
  ClassState st = std::move(stack_class_.back());
  stack_class_.pop_back();
  Node n;
  n.kind = Kind::kSetBinaryOp;
  n.sub = static_cast<std::uint8_t>(st.op);
  n.span = Span{nodes_[st.lhs].span.start, nodes_[rhs].span.end};
  n.children = {st.lhs, rhs};
  return add(std::move(n));
}

Parser::Res Parser::parse_set_class_item() {
  if (ch() == '\\') return parse_escape();
  const std::uint32_t id = add_literal(ch(), span_char());
  bump();
  return id;
}

Parser::Res Parser::parse_set_class_range() {
  auto prim1 = parse_set_class_item();
  if (!prim1) return prim1;
  bump_space();
  if (is_eof()) return std::unexpected(unclosed_class_error());
  auto as_item = [&](std::uint32_t id) -> Res {
    const Kind k = nodes_[id].kind;
    if (k == Kind::kLiteral || k == Kind::kClassPerl || k == Kind::kClassUnicode) return id;
    return std::unexpected(error(nodes_[id].span, ErrorKind::kClassEscapeInvalid));
  };
  if (ch() != '-' || peek_space() == U']' || peek_space() == U'-') return as_item(*prim1);
  if (!bump_and_bump_space()) return std::unexpected(unclosed_class_error());
  auto prim2 = parse_set_class_item();
  if (!prim2) return prim2;
  const Span range_span{nodes_[*prim1].span.start, nodes_[*prim2].span.end};
  if (nodes_[*prim1].kind != Kind::kLiteral) {
    return std::unexpected(error(nodes_[*prim1].span, ErrorKind::kClassRangeLiteral));
  }
  if (nodes_[*prim2].kind != Kind::kLiteral) {
    return std::unexpected(error(nodes_[*prim2].span, ErrorKind::kClassRangeLiteral));
  }
  if (nodes_[*prim1].c > nodes_[*prim2].c) return std::unexpected(error(range_span, ErrorKind::kClassRangeInvalid));
  Node n;
  n.kind = Kind::kSetRange;
  n.span = range_span;
  n.children = {*prim1, *prim2};
  return add(std::move(n));
}

std::optional<std::uint32_t> Parser::maybe_parse_ascii_class() {
  const Position start = pos_;
  bool negated = false;
  if (!bump() || ch() != ':') {
    pos_ = start;
    return std::nullopt;
  }
  if (!bump()) {
    pos_ = start;
    return std::nullopt;
  }
  if (ch() == '^') {
    negated = true;
    if (!bump()) {
      pos_ = start;
      return std::nullopt;
    }
  }
  const std::size_t name_start = pos_.offset;
  while (ch() != ':' && bump()) {
  }
  if (is_eof()) {
    pos_ = start;
    return std::nullopt;
  }
  const std::string_view name = pattern_.substr(name_start, pos_.offset - name_start);
  if (!bump_if(":]")) {
    pos_ = start;
    return std::nullopt;
  }
  static constexpr std::pair<std::string_view, AsciiKind> kNames[] = {
      {"alnum", AsciiKind::kAlnum}, {"alpha", AsciiKind::kAlpha}, {"ascii", AsciiKind::kAscii},
      {"blank", AsciiKind::kBlank}, {"cntrl", AsciiKind::kCntrl}, {"digit", AsciiKind::kDigit},
      {"graph", AsciiKind::kGraph}, {"lower", AsciiKind::kLower}, {"print", AsciiKind::kPrint},
      {"punct", AsciiKind::kPunct}, {"space", AsciiKind::kSpace}, {"upper", AsciiKind::kUpper},
      {"word", AsciiKind::kWord},   {"xdigit", AsciiKind::kXdigit}};
  for (auto [n, k] : kNames) {
    if (n == name) {
      Node node;
      node.kind = Kind::kSetAscii;
      node.sub = static_cast<std::uint8_t>(k);
      node.negated = negated;
      node.span = Span{start, pos_};
      return add(std::move(node));
    }
  }
  pos_ = start;
  return std::nullopt;
}

}  // namespace qv::regex::ast
