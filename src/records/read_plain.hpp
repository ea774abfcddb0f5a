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
// A record read here is read into the value it is given, reusing its
// strings and lists: every member is either read or set to its default.
// The member lists are those of records/members.hpp.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "json/parser.hpp"
#include "json/scalar_readers.hpp"
#include "records/members.hpp"
#include "records/types.hpp"

namespace qv::records::plain {

template <class X>
inline constexpr bool kIsVector = false;
template <class X>
inline constexpr bool kIsVector<std::vector<X>> = true;
template <class X>
inline constexpr bool kIsOption = false;
template <class X>
inline constexpr bool kIsOption<std::optional<X>> = true;

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
  } else {
    static_assert(std::is_same_v<E, core::RoundingRule>);
    return core::kRoundingRuleWords;
  }
}

[[gnu::always_inline]] inline bool string_view_at(json::Parser& p, std::string& s, std::string_view& out) {
  if (p.peek_ws() != '"') return false;
  p.eat();
  auto v = p.parse_string_view(s);
  if (!v) return false;
  out = *v;
  return true;
}

// A float as the f64 reader takes it: decimal literals that are their own
// shortest form and short integers at once, anything else in full.
inline bool read_f64(json::Parser& p, double& out) {
  const int c = p.peek_ws();
  if (c != '-' && !(c >= '0' && c <= '9')) return false;
  std::string_view literal;
  if (p.take_short_decimal(literal)) {
    return std::from_chars(literal.data(), literal.data() + literal.size(), out).ec == std::errc();
  }
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

template <class X>
bool read(json::Parser& p, std::string& s, X& out);

// A struct in object form, its members in declared order.
template <class T, std::size_t I = 0>
[[gnu::always_inline]] inline bool members_from(json::Parser& p, std::string& s, T& out, bool& first, int& state) {
  if constexpr (I == std::tuple_size_v<decltype(Members<T>::list)>) {
    return true;
  } else {
    constexpr auto m = std::get<I>(Members<T>::list);
    auto& member = out.*(decltype(m)::member);
    // state: 0 = the next entry not looked at yet, 1 = on its key, 2 = at
    // the closing brace.
    if (state == 0) {
      auto more = p.next_entry('}', first);
      if (!more) return false;
      state = *more ? 1 : 2;
    }
    if (state == 1 && p.take_key(m.name)) {
      if (!p.parse_colon()) return false;
      if (!read(p, s, member)) return false;
      state = 0;
    } else if constexpr (m.kind == json::FieldKind::Required) {
      return false;
    } else {
      static const T kDefault{};
      member = kDefault.*(decltype(m)::member);
    }
    return members_from<T, I + 1>(p, s, out, first, state);
  }
}

template <class T>
bool read_struct(json::Parser& p, std::string& s, T& out) {
  if (p.peek_ws() != '{' || !p.enter()) return false;
  p.eat();
  bool first = true;
  int state = 0;
  if (!members_from<T>(p, s, out, first, state)) return false;
  if (state == 0) {
    auto more = p.next_entry('}', first);
    if (!more || *more) return false;
  } else if (state == 1) {
    return false;  // a member out of order or unknown
  }
  p.eat();
  p.leave();
  return true;
}

// {"class": word} and, for the reproducible class, its tolerance after it.
inline bool read_determinism(json::Parser& p, std::string& s, Determinism& out) {
  if (p.peek_ws() != '{' || !p.enter()) return false;
  p.eat();
  bool first = true;
  auto more = p.next_entry('}', first);
  if (!more || !*more || !p.take_key("class") || !p.parse_colon()) return false;
  std::string_view word;
  if (!string_view_at(p, s, word)) return false;
  std::size_t i = 0;
  while (i < Determinism::kClassWords.size() && Determinism::kClassWords[i] != word) ++i;
  if (i == Determinism::kClassWords.size()) return false;
  out.cls = static_cast<Determinism::Class>(i);
  out.tolerance = 0.0;
  more = p.next_entry('}', first);
  if (!more) return false;
  if (out.cls == Determinism::Class::Reproducible) {
    if (!*more || !p.take_key("tolerance") || !p.parse_colon() || !read_f64(p, out.tolerance)) return false;
    more = p.next_entry('}', first);
    if (!more) return false;
  }
  if (*more) return false;
  p.eat();
  p.leave();
  return true;
}

template <class X>
bool read(json::Parser& p, std::string& s, X& out) {
  if constexpr (std::is_same_v<X, std::string>) {
    std::string_view v;
    if (!string_view_at(p, s, v)) return false;
    out.assign(v.data(), v.size());
    return true;
  } else if constexpr (std::is_same_v<X, double>) {
    return read_f64(p, out);
  } else if constexpr (std::is_same_v<X, bool>) {
    const int c = p.peek_ws();
    if (c != 't' && c != 'f') return false;
    p.eat();
    if (!p.parse_ident(c == 't' ? "rue" : "alse")) return false;
    out = c == 't';
    return true;
  } else if constexpr (std::is_same_v<X, std::uint64_t>) {
    // The limit and name of u64 and usize are the same for this purpose:
    // any failure is read again in full.
    auto n = json::typed::read_unsigned(p, UINT64_MAX, json::kU64Name);
    if (!n) return false;
    out = *n;
    return true;
  } else if constexpr (std::is_enum_v<X>) {
    std::string_view word;
    if (!string_view_at(p, s, word)) return false;
    const auto& words = words_of<X>();
    for (std::size_t i = 0; i < words.size(); ++i) {
      if (words[i] == word) {
        out = static_cast<X>(i);
        return true;
      }
    }
    return false;
  } else if constexpr (kIsOption<X>) {
    if (p.peek_ws() == 'n') {
      p.eat();
      if (!p.parse_ident("ull")) return false;
      out.reset();
      return true;
    }
    if (!out) out.emplace();
    return read(p, s, *out);
  } else if constexpr (kIsVector<X>) {
    if (p.peek_ws() != '[' || !p.enter()) return false;
    p.eat();
    bool first = true;
    std::size_t n = 0;
    for (;; ++n) {
      auto more = p.next_entry(']', first);
      if (!more) return false;
      if (!*more) break;
      if (n == out.size()) out.emplace_back();
      if (!read(p, s, out[n])) return false;
    }
    out.erase(out.begin() + static_cast<std::ptrdiff_t>(n), out.end());
    p.eat();
    p.leave();
    return true;
  } else if constexpr (std::is_same_v<X, TextPair>) {
    if (p.peek_ws() != '[' || !p.enter()) return false;
    p.eat();
    bool first = true;
    auto more = p.next_entry(']', first);
    if (!more || !*more || !read(p, s, out.first)) return false;
    more = p.next_entry(']', first);
    if (!more || !*more || !read(p, s, out.second)) return false;
    more = p.next_entry(']', first);
    if (!more || *more) return false;
    p.eat();
    p.leave();
    return true;
  } else if constexpr (std::is_same_v<X, Determinism>) {
    return read_determinism(p, s, out);
  } else {
    return read_struct(p, s, out);
  }
}

// A whole text holding one value of T and nothing after it but white space.
// `s` takes strings with escapes while they are decoded.
template <class T>
bool read_whole(std::string_view text, std::string& s, T& out) {
  json::Parser p(text);
  return read(p, s, out) && p.end();
}

}  // namespace qv::records::plain
