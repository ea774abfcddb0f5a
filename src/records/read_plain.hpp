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
// Without storing values, an element of a list of structs whose text is the
// one at the same place in the record read before takes the canonical text
// written then (list_element below).
//
// The parser's depth count is not kept: the record types nest a fixed few
// levels deep, far below its limit, and a text it would refuse for depth
// is not in the plain form.
#include <array>
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
#include "json/writer.hpp"
#include "records/members.hpp"
#include "records/read_plain_steps.hpp"
#include "records/types.hpp"
#include "records/write.hpp"

namespace qv::records::plain {

using emit::kIsList;
using emit::kIsOptional;
using emit::kMemberCount;

// Whether values are stored: always outside the content (C false), and in
// it when the whole record is kept.
template <bool C, bool K>
inline constexpr bool kStore = !C || K;

template <class X>
inline constexpr bool kScalar = std::is_same_v<X, std::string> || std::is_same_v<X, double> ||
                                std::is_same_v<X, bool> || std::is_same_v<X, std::uint64_t> || std::is_enum_v<X>;

// Values whose canonical text is built in their own level's buffer (the
// others give a span of the line where they can).
template <class X>
inline constexpr bool kBuilt = !kScalar<X> && !kIsOptional<X>;

// Which of Context::repeats holds the elements of a list of E.
template <class E>
constexpr std::size_t repeat_list() {
  if constexpr (std::is_same_v<E, VerifierInfo>) {
    return 0;
  } else if constexpr (std::is_same_v<E, Evidence>) {
    return 1;
  } else if constexpr (std::is_same_v<E, ClaimOutcome>) {
    return 2;
  } else {
    static_assert(std::is_same_v<E, RegulatoryControl>);
    return 3;
  }
}

template <class T, std::size_t I>
inline constexpr std::string_view kMemberName = std::get<I>(Members<T>::list).name;
template <class T, std::size_t I>
inline constexpr auto kKeyHead = key_head<kMemberName<T, I>.size()>(kMemberName<T, I>);

template <class X, bool C, bool K>
bool read(json::Parser& p, Context& c, X& out, std::size_t level, Piece& piece);

template <class X, bool C, bool K>
[[gnu::always_inline]] inline bool read_scalar(json::Parser& p, Context& c, X& out, std::size_t level, Piece& piece);

template <class X>
inline constexpr bool kOptionalScalar = false;
template <class X>
inline constexpr bool kOptionalScalar<std::optional<X>> = kScalar<X>;
template <class X, bool C, bool K>
[[gnu::always_inline]] inline bool read_option(json::Parser& p, Context& c, X& out, std::size_t level, Piece& piece);

// A value: scalars and optional scalars inline where they are met, the
// others by call.
template <class X, bool C, bool K>
[[gnu::always_inline]] inline bool read_value(json::Parser& p, Context& c, X& out, std::size_t level, Piece& piece) {
  if constexpr (kScalar<X>) {
    return read_scalar<X, C, K>(p, c, out, level, piece);
  } else if constexpr (kOptionalScalar<X>) {
    return read_option<X, C, K>(p, c, out, level, piece);
  } else {
    return read<X, C, K>(p, c, out, level, piece);
  }
}

// ---------------------------------------------------------------------------
// Structs in object form, members in declared order.

// The place of each member in key order.
template <class T>
consteval std::array<std::size_t, kMemberCount<T>> key_ranks() {
  constexpr auto order = emit::sorted_member_order<T>();
  std::array<std::size_t, kMemberCount<T>> rank{};
  for (std::size_t k = 0; k < kMemberCount<T>; ++k) rank[order[k]] = k;
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
  for (std::size_t k = I + 1; k < kMemberCount<T>; ++k) {
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
  }(std::make_index_sequence<kMemberCount<T>>{});
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
                                                 const std::array<Piece, kMemberCount<T>>& pieces, Text& to,
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
                                                std::array<Piece, kMemberCount<T>>& pieces, bool& first, int& state,
                                                bool& none) {
  if constexpr (I == kMemberCount<T>) {
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
  std::array<Piece, kMemberCount<T>> pieces;
  bool first = true;
  int state = 0;
  bool none = true;  // no member written yet
  if (!members_from<T, C, K>(p, c, out, level, pieces, first, state, none)) return false;
  if (state == 0) state = entry(p, '}', first) == 0 ? 2 : 1;
  if (state != 2) return false;  // a member out of order, unknown or repeated
  p.eat();
  if constexpr (C) {
    Text& to = c.levels[level];
    write_members<T, written_up_to<T, kMemberCount<T>>(), kMemberCount<T>>(c, level, pieces, to, none);
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
  std::size_t tolerance_end = 0;  // where the literal ends, before any white space after it
  int e = entry(p, '}', first);
  if (cls == Determinism::Class::Reproducible) {
    if (e != 1 || !key<kToleranceKey>(p, colon_ok) || !colon_ok) return false;
    peek(p);
    tolerance_start = p.index();
    if (!read_f64<kStore<C, K>>(p, tolerance, tolerance_canonical)) return false;
    tolerance_end = p.index();
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
        to.append(p.text().substr(tolerance_start, tolerance_end - tolerance_start));
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

// Whether the elements of a list of X are remembered from one record to
// the next: structs, in the content, when their values are not stored (a
// remembered element gives its canonical text but not its value).
template <class X, bool C, bool K>
inline constexpr bool kRepeated = C && !kStore<C, K> && requires { Members<X>::list; };

// Element n of a list. The records of a chain come from one engine: their
// verifier lists, and often many of their claims and findings, repeat the
// record before byte for byte. An element whose text is the one at the same
// place in the record read before (a whole object, so it ends where that
// one did) has its canonical text, taken as it was written then; any other
// is read, and remembered for the next record when its texts are short
// (what is remembered stays small whatever the records hold).
template <class X, bool C, bool K>
[[gnu::always_inline]] inline bool list_element(json::Parser& p, Context& c, X& out, std::size_t level,
                                                std::size_t n) {
  if constexpr (kRepeated<X, C, K>) {
    if (n >= Context::kRepeats) return element<X, C, K>(p, c, out, level);
    auto& list = c.repeats[repeat_list<X>()];
    if (list.size() <= n) list.resize(n + 1);
    Repeat& repeat = list[n];
    const std::string_view t = p.text();
    const std::size_t from = p.index();
    const std::size_t size = repeat.text.size();
    if (size > 0 && t.size() - from >= size && std::memcmp(t.data() + from, repeat.text.data(), size) == 0) {
      c.levels[level].append(repeat.canonical);
      p.seek(from + size);
      return true;
    }
    const std::size_t written = c.levels[level].size();
    if (!element<X, C, K>(p, c, out, level)) return false;
    if (p.index() - from <= Context::kRepeatBytes && c.levels[level].size() - written <= Context::kRepeatBytes) {
      repeat.text.assign(t.substr(from, p.index() - from));
      repeat.canonical.assign(c.levels[level].view().substr(written));
    }
    return true;
  } else {
    return element<X, C, K>(p, c, out, level);
  }
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

// null, or the option's value.
template <class X, bool C, bool K>
[[gnu::always_inline]] inline bool read_option(json::Parser& p, Context& c, X& out, std::size_t level, Piece& piece) {
  static constexpr std::array<char, 4> kNull = {'n', 'u', 'l', 'l'};
  if (peek(p) == 'n') {
    if (!at_bytes(p, kNull)) return false;
    const std::size_t start = p.index();
    p.seek(start + kNull.size());
    if constexpr (kStore<C, K>) out.reset();
    piece = Piece{start, kNull.size(), true, true};
    return true;
  }
  if (!out) out.emplace();
  return read_value<typename X::value_type, C, K>(p, c, *out, level, piece);
}

// A value that is not a scalar (read_value reads those where they are met).
template <class X, bool C, bool K>
bool read(json::Parser& p, Context& c, X& out, std::size_t level, Piece& piece) {
  static_assert(!kScalar<X>);
  constexpr bool kKeep = kStore<C, K>;
  if constexpr (kIsOptional<X>) {
    return read_option<X, C, K>(p, c, out, level, piece);
  } else if constexpr (kIsList<X>) {
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
      if (!list_element<typename X::value_type, C, K>(p, c, out[at], level, n)) return false;
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
