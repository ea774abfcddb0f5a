// From the syntax tree to the intermediate form: flags take effect, escapes
// and properties become code-point classes, (?i) closes them under simple
// case folding. Runs after the nesting limit has been checked, so its
// recursion is bounded by that limit.
#include <algorithm>
#include <string>
#include <unordered_map>

#include "core/keyed_hash.hpp"
#include "core/utf8.hpp"
#include "regex/ast.hpp"
#include "regex/hir.hpp"

namespace qv::regex {
namespace {

using unicode::RangeSet;

struct Flags {
  bool case_insensitive = false;
  bool multi_line = false;
  bool dot_matches_new_line = false;
  bool swap_greed = false;
  bool unicode = true;
  bool crlf = false;
};

const RangeSet& ascii_class(ast::AsciiKind k) {
  static const RangeSet kTables[] = {
      {{'0', '9'}, {'A', 'Z'}, {'a', 'z'}},                  // alnum
      {{'A', 'Z'}, {'a', 'z'}},                              // alpha
      {{0x00, 0x7F}},                                        // ascii
      {{'\t', '\t'}, {' ', ' '}},                            // blank
      {{0x00, 0x1F}, {0x7F, 0x7F}},                          // cntrl
      {{'0', '9'}},                                          // digit
      {{'!', '~'}},                                          // graph
      {{'a', 'z'}},                                          // lower
      {{' ', '~'}},                                          // print
      {{'!', '/'}, {':', '@'}, {'[', '`'}, {'{', '~'}},      // punct
      {{'\t', '\r'}, {' ', ' '}},                            // space
      {{'A', 'Z'}},                                          // upper
      {{'0', '9'}, {'A', 'Z'}, {'_', '_'}, {'a', 'z'}},      // word
      {{'0', '9'}, {'A', 'F'}, {'a', 'f'}},                  // xdigit
  };
  return kTables[static_cast<std::size_t>(k)];
}

// ASCII-only case folding of a byte class.
RangeSet ascii_fold(const RangeSet& in) {
  RangeSet out = in;
  for (auto r : in) {
    const char32_t lo1 = std::max<char32_t>(r.lo, 'a'), hi1 = std::min<char32_t>(r.hi, 'z');
    if (lo1 <= hi1) out.push_back({lo1 - 32, hi1 - 32});
    const char32_t lo2 = std::max<char32_t>(r.lo, 'A'), hi2 = std::min<char32_t>(r.hi, 'Z');
    if (lo2 <= hi2) out.push_back({lo2 + 32, hi2 + 32});
  }
  unicode::canonicalize(out);
  return out;
}

bool is_ascii(const RangeSet& s) { return s.empty() || s.back().hi <= 0x7F; }

class Translator {
 public:
  Translator(const ast::Ast& ast, std::string_view pattern) : ast_(ast), pattern_(pattern) {}

  std::expected<Hir, Error> run() {
    auto root = tr(ast_.root);
    if (!root) return std::unexpected(root.error());
    hir_.root = *root;
    hir_.captures_len = ast_.capture_count + 1;
    hir_.names.resize(hir_.captures_len);
    for (const ast::Node& n : ast_.nodes) {
      if (n.kind == ast::Kind::kGroup && n.sub == static_cast<std::uint8_t>(ast::GroupKind::kCaptureName)) {
        hir_.names[n.capture_index] = n.name;
      }
    }
    return std::move(hir_);
  }

 private:
  using Res = std::expected<std::uint32_t, Error>;
  using SetRes = std::expected<RangeSet, Error>;

  const ast::Ast& ast_;
  std::string_view pattern_;
  Flags flags_;
  Hir hir_;
  std::unordered_map<std::uint64_t, std::vector<ClassPtr>> interned_;

  Error error(Span span, ErrorKind kind) const { return Error{kind, std::string(pattern_), span, std::nullopt}; }

  // Equal classes share one set. The sets come from the caller's pattern,
  // so they are told apart by the keyed hash of their bounds: no pattern can
  // be written to put many classes in one bucket.
  ClassPtr intern(RangeSet set) {
    std::string bounds;
    for (auto r : set) {
      const std::uint32_t pair[2] = {static_cast<std::uint32_t>(r.lo), static_cast<std::uint32_t>(r.hi)};
      bounds.append(reinterpret_cast<const char*>(pair), sizeof pair);
    }
    auto& bucket = interned_[core::keyed_hash(bounds)];
    for (const ClassPtr& p : bucket) {
      if (*p == set) return p;
    }
    bucket.push_back(std::make_shared<const RangeSet>(std::move(set)));
    return bucket.back();
  }

  std::uint32_t add(HirNode n) {
    hir_.nodes.push_back(std::move(n));
    return static_cast<std::uint32_t>(hir_.nodes.size() - 1);
  }
  std::uint32_t empty() { return add(HirNode{}); }
  std::uint32_t cls(RangeSet set) {
    HirNode n;
    n.kind = HirKind::kClass;
    n.cls = intern(std::move(set));
    return add(std::move(n));
  }
  std::uint32_t look(Look l) {
    HirNode n;
    n.kind = HirKind::kLook;
    n.look = l;
    return add(std::move(n));
  }

  void set_flags(const std::vector<std::pair<char, bool>>& fl) {
    for (auto [f, on] : fl) {
      switch (f) {
        case 'i': flags_.case_insensitive = on; break;
        case 'm': flags_.multi_line = on; break;
        case 's': flags_.dot_matches_new_line = on; break;
        case 'U': flags_.swap_greed = on; break;
        case 'u': flags_.unicode = on; break;
        case 'R': flags_.crlf = on; break;
        default: break;  // 'x' acts while reading the syntax
      }
    }
  }

  // A literal as a code point; in ASCII mode a \xNN escape above 0x7F
  // would name a byte of invalid UTF-8.
  std::expected<char32_t, Error> literal_scalar(const ast::Node& n) const {
    if (!flags_.unicode && n.hex_x && n.c > 0x7F && n.c <= 0xFF) {
      return std::unexpected(error(n.span, ErrorKind::kInvalidUtf8));
    }
    return n.c;
  }

  std::expected<char32_t, Error> class_literal_byte(const ast::Node& n) const {
    auto c = literal_scalar(n);
    if (!c) return c;
    if (*c > 0x7F) return std::unexpected(error(n.span, ErrorKind::kUnicodeNotAllowed));
    return *c;
  }

  void unicode_fold_and_negate(bool negated, RangeSet& s) const {
    if (flags_.case_insensitive) s = unicode::simple_case_fold_closure(s);
    if (negated) s = unicode::set_complement(s);
  }

  std::expected<void, Error> bytes_fold_and_negate(Span span, bool negated, RangeSet& s) const {
    if (flags_.case_insensitive) s = ascii_fold(s);
    if (negated) s = unicode::set_complement(s, 0xFF);
    if (!is_ascii(s)) return std::unexpected(error(span, ErrorKind::kInvalidUtf8));
    return {};
  }

  SetRes perl_class(const ast::Node& n) const {
    const auto kind = static_cast<ast::PerlKind>(n.sub);
    if (flags_.unicode) {
      RangeSet s = kind == ast::PerlKind::kDigit   ? unicode::perl_digit()
                   : kind == ast::PerlKind::kSpace ? unicode::perl_space()
                                                   : unicode::perl_word();
      if (n.negated) s = unicode::set_complement(s);
      return s;
    }
    RangeSet s = ascii_class(kind == ast::PerlKind::kDigit   ? ast::AsciiKind::kDigit
                             : kind == ast::PerlKind::kSpace ? ast::AsciiKind::kSpace
                                                             : ast::AsciiKind::kWord);
    if (n.negated) s = unicode::set_complement(s, 0xFF);
    if (!is_ascii(s)) return std::unexpected(error(n.span, ErrorKind::kInvalidUtf8));
    return s;
  }

  SetRes unicode_class(const ast::Node& n) const {
    if (!flags_.unicode) return std::unexpected(error(n.span, ErrorKind::kUnicodeNotAllowed));
    const auto kind = static_cast<ast::UnicodeKind>(n.sub);
    auto r = kind == ast::UnicodeKind::kNamedValue ? unicode::property_value_class(n.name, n.value)
                                                   : unicode::property_class(n.name);
    if (!r) {
      return std::unexpected(error(n.span, r.error() == unicode::PropertyError::kPropertyNotFound
                                               ? ErrorKind::kUnicodePropertyNotFound
                                               : ErrorKind::kUnicodePropertyValueNotFound));
    }
    RangeSet s = std::move(*r);
    unicode_fold_and_negate(n.negated, s);
    return s;
  }

  SetRes tr_set(std::uint32_t id) {
    const ast::Node& n = ast_.nodes[id];
    switch (n.kind) {
      case ast::Kind::kEmpty:
        return RangeSet{};
      case ast::Kind::kLiteral: {
        if (flags_.unicode) return RangeSet{{n.c, n.c}};
        auto b = class_literal_byte(n);
        if (!b) return std::unexpected(b.error());
        return RangeSet{{*b, *b}};
      }
      case ast::Kind::kSetRange: {
        const ast::Node& a = ast_.nodes[n.children[0]];
        const ast::Node& b = ast_.nodes[n.children[1]];
        if (flags_.unicode) return RangeSet{{a.c, b.c}};
        auto lo = class_literal_byte(a);
        if (!lo) return std::unexpected(lo.error());
        auto hi = class_literal_byte(b);
        if (!hi) return std::unexpected(hi.error());
        return RangeSet{{*lo, *hi}};
      }
      case ast::Kind::kSetAscii: {
        RangeSet s = ascii_class(static_cast<ast::AsciiKind>(n.sub));
        if (flags_.unicode) {
          unicode_fold_and_negate(n.negated, s);
          return s;
        }
        if (auto r = bytes_fold_and_negate(n.span, n.negated, s); !r) return std::unexpected(r.error());
        return s;
      }
      case ast::Kind::kClassUnicode:
        return unicode_class(n);
      case ast::Kind::kClassPerl:
        return perl_class(n);
      case ast::Kind::kClassBracketed: {
        auto inner = tr_set(n.children[0]);
        if (!inner) return inner;
        RangeSet s = std::move(*inner);
        if (flags_.unicode) {
          unicode_fold_and_negate(n.negated, s);
          return s;
        }
        if (auto r = bytes_fold_and_negate(n.span, n.negated, s); !r) return std::unexpected(r.error());
        return s;
      }
      case ast::Kind::kSetUnion: {
        RangeSet s;
        std::size_t merged = 0;
        for (std::uint32_t c : n.children) {
          auto item = tr_set(c);
          if (!item) return item;
          s.insert(s.end(), item->begin(), item->end());
          // Merge as it grows, so repeated items cannot pile up.
          if (s.size() > 2 * merged + 4096) {
            unicode::canonicalize(s);
            merged = s.size();
          }
        }
        unicode::canonicalize(s);
        return s;
      }
      case ast::Kind::kSetBinaryOp: {
        auto lhs = tr_set(n.children[0]);
        if (!lhs) return lhs;
        auto rhs = tr_set(n.children[1]);
        if (!rhs) return rhs;
        if (flags_.case_insensitive) {
          if (flags_.unicode) {
            *lhs = unicode::simple_case_fold_closure(*lhs);
            *rhs = unicode::simple_case_fold_closure(*rhs);
          } else {
            *lhs = ascii_fold(*lhs);
            *rhs = ascii_fold(*rhs);
          }
        }
        switch (static_cast<ast::BinaryOpKind>(n.sub)) {
          case ast::BinaryOpKind::kIntersection: return unicode::set_intersection(*lhs, *rhs);
          case ast::BinaryOpKind::kDifference: return unicode::set_difference(*lhs, *rhs);
          case ast::BinaryOpKind::kSymmetricDifference: return unicode::set_symmetric_difference(*lhs, *rhs);
        }
        return RangeSet{};
      }
      default:
        return std::unexpected(error(n.span, ErrorKind::kClassEscapeInvalid));
    }
  }

  Res literal(const ast::Node& n) {
    auto c = literal_scalar(n);
    if (!c) return std::unexpected(c.error());
    if (!flags_.case_insensitive) return cls(RangeSet{{*c, *c}});
    if (flags_.unicode) {
      if (!unicode::has_simple_case_fold_partner(*c)) return cls(RangeSet{{*c, *c}});
      return cls(unicode::simple_case_fold_closure(RangeSet{{*c, *c}}));
    }
    if (core::utf8_length(*c) > 1) return std::unexpected(error(n.span, ErrorKind::kUnicodeNotAllowed));
    return cls(ascii_fold(RangeSet{{*c, *c}}));
  }

  Res dot(const ast::Node& n) {
    if (!flags_.unicode) return std::unexpected(error(n.span, ErrorKind::kInvalidUtf8));
    RangeSet any{{0, 0xD7FF}, {0xE000, unicode::kMaxCodePoint}};
    if (!flags_.dot_matches_new_line) {
      any = unicode::set_difference(any, flags_.crlf ? RangeSet{{'\n', '\n'}, {'\r', '\r'}} : RangeSet{{'\n', '\n'}});
    }
    return cls(std::move(any));
  }

  Res assertion(const ast::Node& n) {
    const bool u = flags_.unicode;
    switch (static_cast<ast::AssertionKind>(n.sub)) {
      case ast::AssertionKind::kStartLine:
        return look(!flags_.multi_line ? Look::kStart : flags_.crlf ? Look::kStartCRLF : Look::kStartLF);
      case ast::AssertionKind::kEndLine:
        return look(!flags_.multi_line ? Look::kEnd : flags_.crlf ? Look::kEndCRLF : Look::kEndLF);
      case ast::AssertionKind::kStartText:
        return look(Look::kStart);
      case ast::AssertionKind::kEndText:
        return look(Look::kEnd);
      case ast::AssertionKind::kWordBoundary:
        return look(u ? Look::kWordUnicode : Look::kWordAscii);
      case ast::AssertionKind::kNotWordBoundary:
        return look(u ? Look::kWordUnicodeNegate : Look::kWordAsciiNegate);
      case ast::AssertionKind::kWordBoundaryStart:
      case ast::AssertionKind::kWordBoundaryStartAngle:
        return look(u ? Look::kWordStartUnicode : Look::kWordStartAscii);
      case ast::AssertionKind::kWordBoundaryEnd:
      case ast::AssertionKind::kWordBoundaryEndAngle:
        return look(u ? Look::kWordEndUnicode : Look::kWordEndAscii);
      case ast::AssertionKind::kWordBoundaryStartHalf:
        return look(u ? Look::kWordStartHalfUnicode : Look::kWordStartHalfAscii);
      case ast::AssertionKind::kWordBoundaryEndHalf:
        return look(u ? Look::kWordEndHalfUnicode : Look::kWordEndHalfAscii);
    }
    return empty();
  }

  bool only_empty(std::uint32_t id) const {
    const HirNode& n = hir_.nodes[id];
    switch (n.kind) {
      case HirKind::kEmpty:
      case HirKind::kLook:
        return true;
      case HirKind::kClass:
        return false;
      case HirKind::kRepetition:
        return n.max == 0 || only_empty(n.children[0]);
      case HirKind::kCapture:
        return only_empty(n.children[0]);
      case HirKind::kConcat:
      case HirKind::kAlternation:
        return std::all_of(n.children.begin(), n.children.end(), [&](std::uint32_t c) { return only_empty(c); });
    }
    return false;
  }

  std::uint32_t repetition(std::uint32_t sub, std::uint32_t min, std::uint32_t max, bool greedy) {
    if (only_empty(sub)) {
      min = std::min<std::uint32_t>(min, 1);
      max = std::min<std::uint32_t>(max, 1);
    }
    if (min == 0 && max == 0) return empty();
    if (min == 1 && max == 1) return sub;
    HirNode n;
    n.kind = HirKind::kRepetition;
    n.min = min;
    n.max = max == ast::kNoMax ? kUnbounded : max;
    n.greedy = greedy;
    n.children = {sub};
    return add(std::move(n));
  }

  std::uint32_t concat(const std::vector<std::uint32_t>& subs) {
    std::vector<std::uint32_t> out;
    for (std::uint32_t s : subs) {
      const HirNode& n = hir_.nodes[s];
      if (n.kind == HirKind::kEmpty) continue;
      if (n.kind == HirKind::kConcat) {
        out.insert(out.end(), n.children.begin(), n.children.end());
      } else {
        out.push_back(s);
      }
    }
    if (out.empty()) return empty();
    if (out.size() == 1) return out[0];
    HirNode n;
    n.kind = HirKind::kConcat;
    n.children = std::move(out);
    return add(std::move(n));
  }

  std::uint32_t alternation(const std::vector<std::uint32_t>& subs) {
    std::vector<std::uint32_t> out;
    for (std::uint32_t s : subs) {
      const HirNode& n = hir_.nodes[s];
      if (n.kind == HirKind::kAlternation) {
        out.insert(out.end(), n.children.begin(), n.children.end());
      } else {
        out.push_back(s);
      }
    }
    if (out.size() == 1) return out[0];
    // Alternatives that each match one character make one class.
    if (std::all_of(out.begin(), out.end(), [&](std::uint32_t c) { return hir_.nodes[c].kind == HirKind::kClass; })) {
      RangeSet s;
      for (std::uint32_t c : out) s.insert(s.end(), hir_.nodes[c].cls->begin(), hir_.nodes[c].cls->end());
      unicode::canonicalize(s);
      return cls(std::move(s));
    }
    HirNode n;
    n.kind = HirKind::kAlternation;
    n.children = std::move(out);
    return add(std::move(n));
  }

  Res tr(std::uint32_t id) {
    const ast::Node& n = ast_.nodes[id];
    switch (n.kind) {
      case ast::Kind::kEmpty:
        return empty();
      case ast::Kind::kFlags:
        set_flags(n.flags);
        return empty();
      case ast::Kind::kLiteral:
        return literal(n);
      case ast::Kind::kDot:
        return dot(n);
      case ast::Kind::kAssertion:
        return assertion(n);
      case ast::Kind::kClassUnicode: {
        auto s = unicode_class(n);
        if (!s) return std::unexpected(s.error());
        return cls(std::move(*s));
      }
      case ast::Kind::kClassPerl: {
        auto s = perl_class(n);
        if (!s) return std::unexpected(s.error());
        return cls(std::move(*s));
      }
      case ast::Kind::kClassBracketed: {
        auto s = tr_set(id);
        if (!s) return std::unexpected(s.error());
        return cls(std::move(*s));
      }
      case ast::Kind::kRepetition: {
        auto sub = tr(n.children[0]);
        if (!sub) return sub;
        return repetition(*sub, n.min, n.max, flags_.swap_greed ? !n.greedy : n.greedy);
      }
      case ast::Kind::kGroup: {
        const Flags saved = flags_;
        const auto gk = static_cast<ast::GroupKind>(n.sub);
        if (gk == ast::GroupKind::kNonCapturing) set_flags(n.flags);
        auto sub = tr(n.children[0]);
        flags_ = saved;
        if (!sub) return sub;
        if (gk == ast::GroupKind::kNonCapturing) return *sub;
        HirNode c;
        c.kind = HirKind::kCapture;
        c.capture_index = n.capture_index;
        c.children = {*sub};
        return add(std::move(c));
      }
      case ast::Kind::kConcat:
      case ast::Kind::kAlternation: {
        std::vector<std::uint32_t> subs;
        subs.reserve(n.children.size());
        for (std::uint32_t c : n.children) {
          auto s = tr(c);
          if (!s) return s;
          subs.push_back(*s);
        }
        return n.kind == ast::Kind::kConcat ? concat(subs) : alternation(subs);
      }
      default:
        return std::unexpected(error(n.span, ErrorKind::kClassEscapeInvalid));
    }
  }
};

}  // namespace

std::expected<Hir, Error> parse(std::string_view pattern) {
  auto ast = ast::parse(pattern);
  if (!ast) return std::unexpected(ast.error());
  auto hir = Translator(*ast, pattern).run();
  if (!hir) return hir;
  if (compiled_size(*hir) > kSizeLimit) {
    return std::unexpected(Error{ErrorKind::kCompiledTooBig, std::string(pattern), Span{}, std::nullopt});
  }
  return hir;
}

std::size_t Hir::min_len(std::uint32_t id) const {
  const HirNode& n = nodes[id];
  switch (n.kind) {
    case HirKind::kEmpty:
    case HirKind::kLook:
      return 0;
    case HirKind::kClass:
      return n.cls->empty() ? 0 : core::utf8_length(n.cls->front().lo);
    case HirKind::kRepetition: {
      const std::size_t s = min_len(n.children[0]);
      return s == 0 ? 0 : (n.min > SIZE_MAX / s ? SIZE_MAX : s * n.min);
    }
    case HirKind::kCapture:
      return min_len(n.children[0]);
    case HirKind::kConcat: {
      std::size_t total = 0;
      for (std::uint32_t c : n.children) total = std::min<std::size_t>(SIZE_MAX / 2, total + min_len(c));
      return total;
    }
    case HirKind::kAlternation: {
      std::size_t best = SIZE_MAX;
      for (std::uint32_t c : n.children) best = std::min(best, min_len(c));
      return best;
    }
  }
  return 0;
}

std::optional<std::size_t> Hir::max_len(std::uint32_t id) const {
  const HirNode& n = nodes[id];
  switch (n.kind) {
    case HirKind::kEmpty:
    case HirKind::kLook:
      return 0;
    case HirKind::kClass:
      return n.cls->empty() ? 0 : core::utf8_length(n.cls->back().hi);
    case HirKind::kRepetition: {
      auto s = max_len(n.children[0]);
      if (!s) return std::nullopt;
      if (*s == 0) return 0;
      if (n.max == kUnbounded || n.max > SIZE_MAX / 8 / *s) return std::nullopt;
      return *s * n.max;
    }
    case HirKind::kCapture:
      return max_len(n.children[0]);
    case HirKind::kConcat: {
      std::size_t total = 0;
      for (std::uint32_t c : n.children) {
        auto s = max_len(c);
        if (!s || *s > SIZE_MAX / 4 - total) return std::nullopt;
        total += *s;
      }
      return total;
    }
    case HirKind::kAlternation: {
      std::size_t best = 0;
      for (std::uint32_t c : n.children) {
        auto s = max_len(c);
        if (!s) return std::nullopt;
        best = std::max(best, *s);
      }
      return best;
    }
  }
  return 0;
}

}  // namespace qv::regex
