#pragma once
// Reading a record in its plain form, the form the engine writes: objects
// only, members in declared order (absent ones allowed where they have a
// default), strings, numbers and enum words as the readers of read.hpp take
// them. Within that form the result is the one those readers give; any
// other text (another member order, an unknown or repeated member, the
// array form of a struct, an enum as an object, any error) makes the
// reading say false, and the caller reads the text again with the full
// readers, which give the value or the error with its position.
//
// A record is read into the value it is given, reusing its strings and
// lists: every member is either read or set to its default. A reading that
// keeps the sealed members only (K false) reads the content, checks it and
// builds its canonical text all the same, but stores none of its values.
//
// The content's canonical text (what compute_content_hash hashes) is built
// in the same pass. Each value's canonical text is a piece: a span of the
// line when the literal is already in canonical form (a string without
// escapes, an unsigned integer, a float literal that is its own shortest
// form, true, false), else text written into a buffer. A struct gathers its
// members' pieces and, once read, writes them in key order, under the
// writer's presence rules (records/write.hpp). Values are written into the
// buffer of their depth: a struct's members one level below the struct,
// whose text goes into its own level; an array and its elements share one
// level, so that the elements lie in place between its brackets; and a
// struct's member whose place in key order is known when it is reached is
// written in place in the struct's own text (the content's graph and
// outcome, the graph's evidence), so that the large parts are copied once.
//
// The parser's depth count is not kept: the record types nest a fixed few
// levels deep, far below its limit, and a text it would refuse for depth
// is not in the plain form.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "json/parser.hpp"
#include "json/scalar_readers.hpp"
#include "json/writer.hpp"
#include "records/members.hpp"
#include "records/types.hpp"
#include "records/write.hpp"

namespace qv::records::plain {

// Copies n bytes. The short copies that make up most of a canonical text
// (keys, words, numbers, short strings) are two overlapping moves instead
// of a call.
[[gnu::always_inline]] inline void copy_bytes(char* to, const char* from, std::size_t n) {
  if (n > 32) {
    std::memcpy(to, from, n);
  } else if (n >= 16) {
    char a[16];
    char b[16];
    std::memcpy(a, from, 16);
    std::memcpy(b, from + n - 16, 16);
    std::memcpy(to, a, 16);
    std::memcpy(to + n - 16, b, 16);
  } else if (n >= 8) {
    std::uint64_t a = 0;
    std::uint64_t b = 0;
    std::memcpy(&a, from, 8);
    std::memcpy(&b, from + n - 8, 8);
    std::memcpy(to, &a, 8);
    std::memcpy(to + n - 8, &b, 8);
  } else if (n >= 4) {
    std::uint32_t a = 0;
    std::uint32_t b = 0;
    std::memcpy(&a, from, 4);
    std::memcpy(&b, from + n - 4, 4);
    std::memcpy(to, &a, 4);
    std::memcpy(to + n - 4, &b, 4);
  } else if (n > 0) {
    const char first = from[0];
    const char middle = from[n / 2];
    const char last = from[n - 1];
    to[0] = first;
    to[n / 2] = middle;
    to[n - 1] = last;
  }
}

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
    copy_bytes(buf_.data() + len_, data, n);
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

// What the reading keeps between records.
struct Context {
  static constexpr std::size_t kLevels = 8;  // deeper content is read in full
  std::string_view line;
  std::string scratch;  // a string with escapes, decoded
  std::array<Text, kLevels> levels;
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

template <class X>
inline constexpr bool kIsVector = false;
template <class X>
inline constexpr bool kIsVector<std::vector<X>> = true;
template <class X>
inline constexpr bool kIsOption = false;
template <class X>
inline constexpr bool kIsOption<std::optional<X>> = true;

// Whether values are stored: always outside the content (C false), and in
// it when the whole record is kept.
template <bool C, bool K>
inline constexpr bool kStore = !C || K;

// Values whose canonical text is built in their own level's buffer (the
// others give a span of the line where they can).
template <class X>
inline constexpr bool kBuilt = !std::is_same_v<X, std::string> && !std::is_same_v<X, double> &&
                               !std::is_same_v<X, bool> && !std::is_same_v<X, std::uint64_t> &&
                               !std::is_enum_v<X> && !kIsOption<X>;

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

template <class T, std::size_t I>
inline constexpr std::string_view kMemberName = std::get<I>(Members<T>::list).name;
template <class T, std::size_t I>
inline constexpr auto kKeyHead = key_head<kMemberName<T, I>.size()>(kMemberName<T, I>);

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
  std::string_view literal;
  if (p.take_short_decimal(literal)) {
    if constexpr (Value) out = decimal_value(literal);
    return true;
  }
  if (take_whole_with_point(p, out)) return true;
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

template <class X, bool C, bool K>
bool read(json::Parser& p, Context& c, X& out, std::size_t level, Piece& piece);

template <class X>
inline constexpr bool kScalar = std::is_same_v<X, std::string> || std::is_same_v<X, double> ||
                                std::is_same_v<X, bool> || std::is_same_v<X, std::uint64_t> || std::is_enum_v<X>;
template <class X, bool C, bool K>
[[gnu::always_inline]] inline bool read_scalar(json::Parser& p, Context& c, X& out, std::size_t level, Piece& piece);

// A value: scalars inline where they are met, the others by call.
template <class X, bool C, bool K>
[[gnu::always_inline]] inline bool read_value(json::Parser& p, Context& c, X& out, std::size_t level, Piece& piece) {
  if constexpr (kScalar<X>) {
    return read_scalar<X, C, K>(p, c, out, level, piece);
  } else {
    return read<X, C, K>(p, c, out, level, piece);
  }
}

// ---------------------------------------------------------------------------
// Structs in object form, members in declared order.

template <class T>
inline constexpr std::size_t kCount = std::tuple_size_v<decltype(Members<T>::list)>;

// The place of each member in key order.
template <class T>
consteval std::array<std::size_t, kCount<T>> key_ranks() {
  constexpr auto order = emit::sorted_member_order<T>();
  std::array<std::size_t, kCount<T>> rank{};
  for (std::size_t k = 0; k < kCount<T>; ++k) rank[order[k]] = k;
  return rank;
}

template <class T, std::size_t I>
using MemberType = std::remove_cvref_t<decltype(std::declval<T&>().*(std::get<I>(Members<T>::list).member))>;

// Whether member I of a struct whose canonical text is built is written in
// place, straight after the members before it in key order: it is a
// required member with text of its own (a struct or a list), and every
// member before it in key order is declared before it, so it is known by
// the time I is read. The others are written once the struct is read.
template <class T, std::size_t I>
consteval bool in_place() {
  if (!kBuilt<MemberType<T, I>> || std::get<I>(Members<T>::list).kind != json::FieldKind::Required) return false;
  constexpr auto rank = key_ranks<T>();
  for (std::size_t k = I + 1; k < kCount<T>; ++k) {
    if (rank[k] < rank[I]) return false;
  }
  return true;
}

// The key rank from which members are still to be written when member I is
// reached: just after the last member before I written in place.
template <class T, std::size_t I>
consteval std::size_t written_up_to() {
  constexpr auto rank = key_ranks<T>();
  std::size_t from = 0;
  [&]<std::size_t... J>(std::index_sequence<J...>) {
    ((J < I && in_place<T, J>() ? (from = rank[J] + 1) : 0), ...);
  }(std::make_index_sequence<kCount<T>>{});
  return from;
}

// `,"name":` (without the comma for the first member written).
template <class T, std::size_t I>
[[gnu::always_inline]] inline void write_key(Text& to, bool& first) {
  static_assert(emit::plain_name(kMemberName<T, I>));
  static constexpr auto head = [] {
    constexpr auto key = kKeyHead<T, I>;
    std::array<char, key.size() + 1> h{};
    h[0] = ',';
    for (std::size_t k = 0; k < key.size(); ++k) h[1 + k] = key[k];
    return h;
  }();
  if (first) {
    to.append(head.data() + 1, head.size() - 1);
  } else {
    to.append(head.data(), head.size());
  }
  first = false;
}

// The members of key ranks [K, Until) into `to`, each key and piece, leaving
// out the defaulted members that hold nothing.
template <class T, std::size_t K, std::size_t Until>
[[gnu::always_inline]] inline void write_members(const Context& c, std::size_t level,
                                                 const std::array<Piece, kCount<T>>& pieces, Text& to,
                                                 bool& first) {
  if constexpr (K < Until) {
    static constexpr auto order = emit::sorted_member_order<T>();
    constexpr std::size_t i = order[K];
    constexpr auto m = std::get<i>(Members<T>::list);
    static_assert(m.kind != json::FieldKind::Optional);
    bool written = true;
    if constexpr (m.kind == json::FieldKind::Default) written = !pieces[i].nothing;
    if (written) {
      write_key<T, i>(to, first);
      to.append(view(c, level + 1, pieces[i]));
    }
    write_members<T, K + 1, Until>(c, level, pieces, to, first);
  }
}

template <class T, bool C, bool K, std::size_t I = 0>
[[gnu::always_inline]] inline bool members_from(json::Parser& p, Context& c, T& out, std::size_t level,
                                                std::array<Piece, kCount<T>>& pieces, bool& first, int& state,
                                                bool& none) {
  if constexpr (I == kCount<T>) {
    return true;
  } else {
    constexpr auto m = std::get<I>(Members<T>::list);
    using M = MemberType<T, I>;
    auto& member = out.*(decltype(m)::member);
    // state: 0 = the next entry not looked at yet, 1 = on its key, 2 = at
    // the closing brace.
    if (state == 0) {
      const int e = entry(p, '}', first);
      if (e < 0) return false;
      state = e == 1 ? 1 : 2;
    }
    bool colon_ok = false;
    if (state == 1 && key<kKeyHead<T, I>>(p, colon_ok)) {
      if (!colon_ok) return false;
      if constexpr (C && in_place<T, I>()) {
        // The members before it in key order, its key, then its text read
        // straight into the struct's own text.
        constexpr std::size_t rank = key_ranks<T>()[I];
        Text& to = c.levels[level];
        write_members<T, written_up_to<T, I>(), rank>(c, level, pieces, to, none);
        write_key<T, I>(to, none);
        if (!read_value<M, C, K>(p, c, member, level, pieces[I])) return false;
      } else {
        // The content's canonical text is built from here down.
        constexpr bool kMemberC = C || std::is_same_v<M, RecordContent>;
        if (!read_value<M, kMemberC, K>(p, c, member, C ? level + 1 : 0, pieces[I])) return false;
      }
      state = 0;
    } else if constexpr (m.kind == json::FieldKind::Required) {
      return false;
    } else {
      static const T kDefault{};
      if constexpr (kStore<C, K>) member = kDefault.*(decltype(m)::member);
      // An absent member the writer would write anyway has no piece.
      if constexpr (C) {
        if (!emit::holds_nothing(kDefault.*(decltype(m)::member))) return false;
        pieces[I] = Piece{0, 0, true, true};
      }
    }
    return members_from<T, C, K, I + 1>(p, c, out, level, pieces, first, state, none);
  }
}

template <class T, bool C, bool K>
bool read_struct(json::Parser& p, Context& c, T& out, std::size_t level, Piece& piece) {
  if (peek(p) != '{') return false;
  p.eat();
  if constexpr (C) {
    if (level + 1 >= Context::kLevels) return false;
  }
  const std::size_t mark = C ? c.levels[level + 1].size() : 0;
  const std::size_t start = C ? c.levels[level].size() : 0;
  if constexpr (C) c.levels[level].push('{');
  std::array<Piece, kCount<T>> pieces;
  bool first = true;
  int state = 0;
  bool none = true;  // no member written yet
  if (!members_from<T, C, K>(p, c, out, level, pieces, first, state, none)) return false;
  if (state == 0) state = entry(p, '}', first) == 0 ? 2 : 1;
  if (state != 2) return false;  // a member out of order, unknown or repeated
  p.eat();
  if constexpr (C) {
    Text& to = c.levels[level];
    write_members<T, written_up_to<T, kCount<T>>(), kCount<T>>(c, level, pieces, to, none);
    to.push('}');
    c.levels[level + 1].resize(mark);
    piece = Piece{start, to.size() - start, false, false};
  }
  return true;
}

inline constexpr auto kClassKey = key_head<5>("class");
inline constexpr auto kToleranceKey = key_head<9>("tolerance");

// {"class": word} and, for the reproducible class, its tolerance after it.
template <bool C, bool K>
bool read_determinism(json::Parser& p, Context& c, Determinism& out, std::size_t level, Piece& piece) {
  if (peek(p) != '{') return false;
  p.eat();
  bool first = true;
  bool colon_ok = false;
  if (entry(p, '}', first) != 1 || !key<kClassKey>(p, colon_ok) || !colon_ok) return false;
  peek(p);
  const std::size_t word_start = p.index();
  const int word = take_word<Determinism::Class>(p);
  if (word < 0) return false;
  const std::size_t word_end = p.index();
  const auto cls = static_cast<Determinism::Class>(word);
  double tolerance = 0.0;
  bool tolerance_canonical = false;
  std::size_t tolerance_start = 0;
  int e = entry(p, '}', first);
  if (cls == Determinism::Class::Reproducible) {
    if (e != 1 || !key<kToleranceKey>(p, colon_ok) || !colon_ok) return false;
    peek(p);
    tolerance_start = p.index();
    if (!read_f64<kStore<C, K>>(p, tolerance, tolerance_canonical)) return false;
    e = entry(p, '}', first);
  }
  if (e != 0) return false;
  if constexpr (kStore<C, K>) {
    out.cls = cls;
    out.tolerance = tolerance;
  }
  if constexpr (C) {
    Text& to = c.levels[level];
    const std::size_t start = to.size();
    to.append(R"({"class":)");
    to.append(p.text().substr(word_start, word_end - word_start));
    if (cls == Determinism::Class::Reproducible) {
      to.append(R"(,"tolerance":)");
      if (tolerance_canonical) {
        to.append(p.text().substr(tolerance_start, p.index() - tolerance_start));
      } else {
        to.append_written([&](std::string& o) { json::write_json_f64(tolerance, o); });
      }
    }
    to.push('}');
    piece = Piece{start, to.size() - start, false, false};
  }
  p.eat();
  return true;
}

// An element of an array, its text written where the array's text goes.
template <class X, bool C, bool K>
[[gnu::always_inline]] inline bool element(json::Parser& p, Context& c, X& out, std::size_t level) {
  Piece piece;
  if (!read_value<X, C, K>(p, c, out, level, piece)) return false;
  if constexpr (C && !kBuilt<X>) {
    if (piece.in_line) c.levels[level].append(view(c, level, piece));
  }
  return true;
}

template <class X, bool C, bool K>
[[gnu::always_inline]] inline bool read_scalar(json::Parser& p, Context& c, X& out, std::size_t level, Piece& piece) {
  constexpr bool kKeep = kStore<C, K>;
  if constexpr (std::is_same_v<X, std::string>) {
    std::string_view v;
    bool escaped = false;
    if (!string_at(p, c, v, piece, escaped)) return false;
    if constexpr (kKeep) out.assign(v.data(), v.size());
    if constexpr (C) {
      if (escaped) {
        Text& to = c.levels[level];
        const std::size_t start = to.size();
        to.append_written([&](std::string& o) { json::write_json_string(v, o); });
        piece = Piece{start, to.size() - start, false, false};
      }
    }
    return true;
  } else if constexpr (std::is_same_v<X, double>) {
    peek(p);
    const std::size_t start = p.index();
    bool canonical = false;
    double value = 0.0;
    if (!read_f64<kKeep>(p, value, canonical)) return false;
    if constexpr (kKeep) out = value;
    if constexpr (C) {
      if (canonical) {
        piece = Piece{start, p.index() - start, true, false};
      } else {
        Text& to = c.levels[level];
        const std::size_t at = to.size();
        to.append_written([&](std::string& o) { json::write_json_f64(value, o); });
        piece = Piece{at, to.size() - at, false, false};
      }
    }
    return true;
  } else if constexpr (std::is_same_v<X, bool>) {
    static constexpr std::array<char, 4> kTrue = {'t', 'r', 'u', 'e'};
    static constexpr std::array<char, 5> kFalse = {'f', 'a', 'l', 's', 'e'};
    peek(p);
    const std::size_t start = p.index();
    bool value = true;
    if (at_bytes(p, kTrue)) {
      p.seek(start + kTrue.size());
    } else if (at_bytes(p, kFalse)) {
      p.seek(start + kFalse.size());
      value = false;
    } else {
      return false;
    }
    if constexpr (kKeep) out = value;
    piece = Piece{start, p.index() - start, true, false};
    return true;
  } else if constexpr (std::is_same_v<X, std::uint64_t>) {
    // Every literal an unsigned reader takes is plain digits, its own
    // canonical text.
    peek(p);
    const std::size_t start = p.index();
    std::uint64_t value = 0;
    if (!read_u64(p, value)) return false;
    if constexpr (kKeep) out = value;
    piece = Piece{start, p.index() - start, true, false};
    return true;
  } else if constexpr (std::is_enum_v<X>) {
    peek(p);
    const std::size_t start = p.index();
    const int word = take_word<X>(p);
    if (word < 0) return false;
    if constexpr (kKeep) out = static_cast<X>(word);
    piece = Piece{start, p.index() - start, true, false};
    return true;
  }
}

template <class X, bool C, bool K>
bool read(json::Parser& p, Context& c, X& out, std::size_t level, Piece& piece) {
  constexpr bool kKeep = kStore<C, K>;
  if constexpr (kScalar<X>) {
    return read_scalar<X, C, K>(p, c, out, level, piece);
  } else if constexpr (kIsOption<X>) {
    static constexpr std::array<char, 4> kNull = {'n', 'u', 'l', 'l'};
    if (peek(p) == 'n') {
      if (!at_bytes(p, kNull)) return false;
      const std::size_t start = p.index();
      p.seek(start + kNull.size());
      if constexpr (kKeep) out.reset();
      piece = Piece{start, kNull.size(), true, true};
      return true;
    }
    if (!out) out.emplace();
    return read_value<typename X::value_type, C, K>(p, c, *out, level, piece);
  } else if constexpr (kIsVector<X>) {
    if (peek(p) != '[') return false;
    p.eat();
    const std::size_t start = C ? c.levels[level].size() : 0;
    if constexpr (C) c.levels[level].push('[');
    bool first = true;
    std::size_t n = 0;
    for (;; ++n) {
      const int e = entry(p, ']', first);
      if (e < 0) return false;
      if (e == 0) break;
      // Without storing, the first element stands in for each of them.
      const std::size_t at = kKeep ? n : 0;
      if (at == out.size()) out.emplace_back();
      if constexpr (C) {
        if (n > 0) c.levels[level].push(',');
      }
      if (!element<typename X::value_type, C, K>(p, c, out[at], level)) return false;
    }
    if constexpr (kKeep) out.erase(out.begin() + static_cast<std::ptrdiff_t>(n), out.end());
    p.eat();
    if constexpr (C) {
      c.levels[level].push(']');
      piece = Piece{start, c.levels[level].size() - start, false, n == 0};
    }
    return true;
  } else if constexpr (std::is_same_v<X, TextPair>) {
    if (peek(p) != '[') return false;
    p.eat();
    const std::size_t start = C ? c.levels[level].size() : 0;
    if constexpr (C) c.levels[level].push('[');
    bool first = true;
    if (entry(p, ']', first) != 1 || !element<std::string, C, K>(p, c, out.first, level)) return false;
    if constexpr (C) c.levels[level].push(',');
    if (entry(p, ']', first) != 1 || !element<std::string, C, K>(p, c, out.second, level)) return false;
    if (entry(p, ']', first) != 0) return false;
    p.eat();
    if constexpr (C) {
      c.levels[level].push(']');
      piece = Piece{start, c.levels[level].size() - start, false, false};
    }
    return true;
  } else if constexpr (std::is_same_v<X, Determinism>) {
    return read_determinism<C, K>(p, c, out, level, piece);
  } else {
    return read_struct<X, C, K>(p, c, out, level, piece);
  }
}

// A whole text holding one sealed record and nothing after it but white
// space; the content's canonical text is then c.levels[0].view(). With K
// false the content's values are not stored.
template <bool K>
inline bool read_record(std::string_view text, Context& c, EvidenceRecord& out) {
  c.line = text;
  for (Text& level : c.levels) level.clear();
  json::Parser p(text);
  Piece piece;
  return read<EvidenceRecord, false, K>(p, c, out, 0, piece) && p.end();
}

// A record at the start of a text that goes on past its line: the record,
// with no line feed in it, then only spaces, tabs or carriage returns up to
// a line feed. The length of that line with its line feed, or 0.
template <bool K>
inline std::size_t read_leading_record(std::string_view text, Context& c, EvidenceRecord& out) {
  c.line = text;
  for (Text& level : c.levels) level.clear();
  json::Parser p(text);
  Piece piece;
  if (!read<EvidenceRecord, false, K>(p, c, out, 0, piece)) return 0;
  std::size_t end = p.index();
  // White space between tokens may have crossed a line feed; the record's
  // bytes are fresh in the cache by now, so looking costs little.
  if (std::memchr(text.data(), '\n', end) != nullptr) return 0;
  while (end < text.size() && (text[end] == ' ' || text[end] == '\t' || text[end] == '\r')) ++end;
  if (end == text.size() || text[end] != '\n') return 0;
  return end + 1;
}

}  // namespace qv::records::plain
