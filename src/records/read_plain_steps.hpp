#pragma once
// The steps of the plain record reader (records/read_plain.hpp): the
// buffers its canonical text is built in, what it keeps between records,
// and the cursor steps that take the compact form at once and leave
// anything else to the parser's own steps.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "core/copy.hpp"
#include "json/parser.hpp"
#include "json/scalar_readers.hpp"
#include "records/types.hpp"

namespace qv::records::plain {

// A text buffer whose appends are inline: the canonical text is built of
// many short pieces.
class Text {
 public:
  std::size_t size() const { return len_; }
  std::string_view view() const { return std::string_view(buf_.data(), len_); }
  void clear() { len_ = 0; }
  void resize(std::size_t n) { len_ = n; }  // only ever shrinks
  [[gnu::always_inline]] void append(const char* data, std::size_t n) {
    if (buf_.size() - len_ < n) grow(n);
    core::copy_bytes(buf_.data() + len_, data, n);
    len_ += n;
  }
  [[gnu::always_inline]] void append(std::string_view s) { append(s.data(), s.size()); }
  [[gnu::always_inline]] void push(char c) {
    if (buf_.size() == len_) grow(1);
    buf_[len_++] = c;
  }

  // A piece written by a writer of the JSON family (which appends to a
  // std::string), copied in.
  template <class Write>
  void append_written(Write write) {
    piece_.clear();
    write(piece_);
    append(piece_);
  }

 private:
  [[gnu::noinline]] void grow(std::size_t n) { buf_.resize(std::max(buf_.size() * 2, len_ + n + 256)); }
  std::string buf_;  // the text is its first len_ bytes
  std::size_t len_ = 0;
  std::string piece_;
};

// An element of a list of structs in the content as the record read before
// held it at the same place: its text in the line and its canonical text.
struct Repeat {
  std::string text;
  std::string canonical;
};

// What the reading keeps between records.
struct Context {
  static constexpr std::size_t kLevels = 8;   // deeper content is read in full
  static constexpr std::size_t kRepeats = 64;  // elements remembered of each list
  static constexpr std::size_t kRepeatBytes = std::size_t{1} << 14;  // each text of at most this many bytes
  std::string_view line;
  std::string scratch;  // a string with escapes, decoded
  std::array<Text, kLevels> levels;
  // The lists of structs: the graph's verifiers and evidence, the
  // outcome's claims and regulatory mapping.
  std::array<std::vector<Repeat>, 4> repeats;
};

// A value's canonical text: a span of the line, or of its level's buffer.
// `nothing` marks a value the writer leaves out as a defaulted member (an
// absent option, null, an empty list). Left uninitialised until a value is
// read (a struct holds one per member, set by the reading of each).
struct Piece {
  std::size_t offset;
  std::size_t size;
  bool in_line;
  bool nothing;
};

[[gnu::always_inline]] inline std::string_view view(const Context& c, std::size_t level, const Piece& piece) {
  return std::string_view((piece.in_line ? c.line.data() : c.levels[level].view().data()) + piece.offset, piece.size);
}

// The words of the enums the records hold, in the order of their values.
template <class E>
constexpr const auto& words_of() {
  if constexpr (std::is_same_v<E, VerifierKind>) {
    return kVerifierKindWords;
  } else if constexpr (std::is_same_v<E, EvidenceResult>) {
    return kEvidenceResultWords;
  } else if constexpr (std::is_same_v<E, core::Decision>) {
    return core::kDecisionWords;
  } else if constexpr (std::is_same_v<E, core::ClaimKind>) {
    return core::kClaimKindWords;
  } else if constexpr (std::is_same_v<E, Determinism::Class>) {
    return Determinism::kClassWords;
  } else {
    static_assert(std::is_same_v<E, core::RoundingRule>);
    return core::kRoundingRuleWords;
  }
}

// ---------------------------------------------------------------------------
// Cursor steps: the compact form at once, anything else through the
// parser's own steps.

// The next byte after white space, or -1 at the end.
[[gnu::always_inline]] inline int peek(json::Parser& p) {
  const std::string_view t = p.text();
  const std::size_t i = p.index();
  if (i < t.size() && static_cast<unsigned char>(t[i]) > ' ') return static_cast<unsigned char>(t[i]);
  return p.peek_ws();
}

// Before an entry of an array or object: 1 on an entry, 0 at the closing
// byte (not consumed), -1 on anything the reading does not take.
[[gnu::always_inline]] inline int entry(json::Parser& p, char close, bool& first) {
  const std::string_view t = p.text();
  const std::size_t i = p.index();
  if (i + 1 < t.size()) {
    const char c = t[i];
    if (c == close) return 0;
    if (first) {
      if (static_cast<unsigned char>(c) > ' ') {
        first = false;
        return 1;
      }
    } else if (c == ',') {
      const char d = t[i + 1];
      if (static_cast<unsigned char>(d) > ' ' && d != close) {
        p.seek(i + 1);
        return 1;
      }
    }
  }
  auto more = p.next_entry(close, first);
  if (!more) return -1;
  return *more ? 1 : 0;
}

// Whether N bytes are equal, compared as a few overlapping words.
template <std::size_t N>
[[gnu::always_inline]] inline bool same_bytes(const char* a, const char* b) {
  if constexpr (N >= 8) {
    std::uint64_t diff = 0;
    for (std::size_t k = 0; k + 8 < N; k += 8) {
      std::uint64_t x = 0;
      std::uint64_t y = 0;
      std::memcpy(&x, a + k, 8);
      std::memcpy(&y, b + k, 8);
      diff |= x ^ y;
    }
    std::uint64_t x = 0;
    std::uint64_t y = 0;
    std::memcpy(&x, a + N - 8, 8);
    std::memcpy(&y, b + N - 8, 8);
    return (diff | (x ^ y)) == 0;
  } else if constexpr (N >= 4) {
    std::uint32_t x0 = 0;
    std::uint32_t y0 = 0;
    std::uint32_t x1 = 0;
    std::uint32_t y1 = 0;
    std::memcpy(&x0, a, 4);
    std::memcpy(&y0, b, 4);
    std::memcpy(&x1, a + N - 4, 4);
    std::memcpy(&y1, b + N - 4, 4);
    return ((x0 ^ y0) | (x1 ^ y1)) == 0;
  } else {
    for (std::size_t k = 0; k < N; ++k) {
      if (a[k] != b[k]) return false;
    }
    return true;
  }
}

// Whether the text at the cursor starts with the N bytes of `bytes`.
template <std::size_t N>
[[gnu::always_inline]] inline bool at_bytes(const json::Parser& p, const std::array<char, N>& bytes) {
  const std::string_view t = p.text();
  const std::size_t i = p.index();
  return t.size() - i >= N && same_bytes<N>(t.data() + i, bytes.data());
}

// `"name":` for a name without bytes that a JSON string escapes.
template <std::size_t N>
consteval std::array<char, N + 3> key_head(std::string_view name) {
  std::array<char, N + 3> h{};
  h[0] = '"';
  for (std::size_t k = 0; k < N; ++k) h[1 + k] = name[k];
  h[N + 1] = '"';
  h[N + 2] = ':';
  return h;
}

// At an entry: the key of `Head` (`"name":`) and its colon, consumed; false
// (nothing consumed) when the entry has another key.
template <const auto& Head>
[[gnu::always_inline]] inline bool key(json::Parser& p, bool& colon_ok) {
  constexpr std::size_t n = Head.size();
  const std::string_view t = p.text();
  const std::size_t i = p.index();
  if (t.size() - i < n) return false;
  if (same_bytes<n>(t.data() + i, Head.data())) {
    p.seek(i + n);
    colon_ok = true;
    return true;
  }
  // White space between the key and its colon.
  if (!same_bytes<n - 1>(t.data() + i, Head.data())) return false;
  p.seek(i + n - 1);
  colon_ok = p.parse_colon().has_value();
  return true;
}

// A string at the cursor; `literal` is its text with quotes when it holds
// no escape (the view then lies in the line).
[[gnu::always_inline]] inline bool string_at(json::Parser& p, Context& c, std::string_view& out, Piece& literal,
                                             bool& escaped) {
  if (peek(p) != '"') return false;
  const std::size_t start = p.index();
  if (json::typed::take_ascii_string(p, out)) {
    escaped = false;
    literal = Piece{start, p.index() - start, true, false};
    return true;
  }
  p.eat();
  auto v = p.parse_string_view(c.scratch);
  if (!v) return false;
  out = *v;
  escaped = v->data() == c.scratch.data() && !c.scratch.empty();
  literal = Piece{start, p.index() - start, true, false};
  return true;
}

// `"word"`, the text of an enum word.
template <class E, std::size_t W>
inline constexpr auto kQuotedWord = [] {
  constexpr std::string_view word = words_of<E>()[W];
  std::array<char, word.size() + 2> q{};
  q[0] = '"';
  for (std::size_t k = 0; k < word.size(); ++k) q[1 + k] = word[k];
  q[word.size() + 1] = '"';
  return q;
}();

// The enum word at the cursor, written as it stands (its own canonical
// text, since the words hold nothing a string escapes): its value and the
// cursor after it, or -1 (nothing consumed) for any other text, which the
// full reader reads or refuses.
template <class E, std::size_t W = 0>
[[gnu::always_inline]] inline int take_word(json::Parser& p) {
  if constexpr (W == words_of<E>().size()) {
    return -1;
  } else {
    if (at_bytes(p, kQuotedWord<E, W>)) {
      p.seek(p.index() + kQuotedWord<E, W>.size());
      return static_cast<int>(W);
    }
    return take_word<E, W + 1>(p);
  }
}

// The value of a decimal literal without exponent (as
// Parser::take_short_decimal takes): when its digits make an integer below
// 2^53 and its scale is at most 20, both are exact doubles and one division
// gives the correctly rounded value, the one the full reader gives; any
// other literal is converted in full.
inline double decimal_value(std::string_view literal) {
  static constexpr double kTens[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10,
                                     1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20};
  const bool negative = literal.front() == '-';
  std::uint64_t digits = 0;
  std::size_t count = 0;
  std::size_t scale = 0;
  bool after_point = false;
  bool plain = true;
  for (std::size_t i = negative ? 1 : 0; i < literal.size() && plain; ++i) {
    const char ch = literal[i];
    if (ch == '.' && !after_point) {
      after_point = true;
    } else if (ch >= '0' && ch <= '9' && ++count <= 19) {
      digits = digits * 10 + static_cast<std::uint64_t>(ch - '0');
      if (after_point) ++scale;
    } else {
      plain = false;
    }
  }
  if (plain && digits < (std::uint64_t{1} << 53) && scale <= 20) {
    const double value = static_cast<double>(digits) / kTens[scale];
    return negative ? -value : value;
  }
  double value = 0;
  std::from_chars(literal.data(), literal.data() + literal.size(), value);
  return value;
}

// A whole number of at most 15 digits written with ".0" (and nothing after
// it that goes on the number): its value, below 10^15, is exact, and the
// writer gives it as it stands. True with the cursor after it.
inline bool take_whole_with_point(json::Parser& p, double& out) {
  const std::string_view t = p.text();
  std::size_t i = p.index();
  const bool negative = i < t.size() && t[i] == '-';
  if (negative) ++i;
  const std::size_t first = i;
  std::uint64_t v = 0;
  while (i < t.size() && i - first <= 15 && t[i] >= '0' && t[i] <= '9') v = v * 10 + static_cast<std::uint64_t>(t[i++] - '0');
  const std::size_t digits = i - first;
  if (digits == 0 || digits > 15 || (t[first] == '0' && digits > 1)) return false;
  if (t.size() - i < 2 || t[i] != '.' || t[i + 1] != '0') return false;
  if (t.size() - i > 2) {
    const char after = t[i + 2];
    if ((after >= '0' && after <= '9') || after == 'e' || after == 'E') return false;
  }
  out = negative ? -static_cast<double>(v) : static_cast<double>(v);
  p.seek(i + 2);
  return true;
}

// A float as the f64 reader takes it. `canonical` is set when the literal
// is already the writer's text of its value: a decimal that is its own
// shortest form, or a whole number below 10^15 written with ".0". The
// value of such a decimal is only worked out when `Value` asks for it (the
// others' values are needed for their canonical text).
template <bool Value>
inline bool read_f64(json::Parser& p, double& out, bool& canonical) {
  const int c = peek(p);
  if (c != '-' && !(c >= '0' && c <= '9')) return false;
  canonical = true;
  // Whole numbers first: the scores and confidences records hold are
  // mostly 0.0 and 1.0.
  if (take_whole_with_point(p, out)) return true;
  std::string_view literal;
  if (p.take_short_decimal(literal)) {
    if constexpr (Value) out = decimal_value(literal);
    return true;
  }
  canonical = false;
  std::uint64_t magnitude = 0;
  bool negative = false;
  if (p.take_short_integer(magnitude, negative)) {
    out = negative ? static_cast<double>(-static_cast<std::int64_t>(magnitude)) : static_cast<double>(magnitude);
    return true;
  }
  auto n = p.parse_number();
  if (!n) return false;
  if (n->is_u64()) {
    out = static_cast<double>(n->as_u64());
  } else if (n->is_i64()) {
    out = static_cast<double>(n->as_i64());
  } else {
    out = n->as_f64();
  }
  return true;
}

// An unsigned integer as the u64 and usize readers take it: up to 19
// digits without a leading zero (or a lone zero) and no fraction or
// exponent at once, anything else through the reader. The limit and name
// of u64 and usize are alike here: any failure is read again in full.
inline bool read_u64(json::Parser& p, std::uint64_t& out) {
  peek(p);
  const std::string_view t = p.text();
  const std::size_t start = p.index();
  std::size_t i = start;
  std::uint64_t value = 0;
  while (i < t.size() && i - start < 20 && static_cast<unsigned>(static_cast<unsigned char>(t[i]) - '0') <= 9) {
    value = value * 10 + static_cast<std::uint64_t>(t[i] - '0');
    ++i;
  }
  const std::size_t digits = i - start;
  if (digits >= 1 && digits <= 19 && (t[start] != '0' || digits == 1) &&
      (i == t.size() || (t[i] != '.' && t[i] != 'e' && t[i] != 'E'))) {
    out = value;
    p.seek(i);
    return true;
  }
  auto n = json::typed::read_unsigned(p, UINT64_MAX, json::kU64Name);
  if (!n) return false;
  out = *n;
  return true;
}

}  // namespace qv::records::plain
