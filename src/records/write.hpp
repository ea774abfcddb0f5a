#pragma once
// Writing the record, graph and context types as JSON. One writer
// (records::emit::value) walks the member lists of records/members.hpp and
// drives every sink of the JSON writer family: the compact text
// (json::TextOut), the value form (json::ValueOut) and the canonical text
// the digests are taken over (json::CanonicalOut), so all of them carry the
// same members under the same presence rules:
// - empty `failures`, `artefacts`, receipt `notes` and outcome `reasons`
//   are left out, and so are absent optional texts and spans (defaulted
//   members that hold nothing);
// - `previous_record_hash` alone is written as null when absent;
// - `receipt` is always an object;
// - `score`, `confidence` and `tolerance` are always floats, null when not
//   finite; span offsets are unsigned integers.
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <tuple>
#include <type_traits>

#include "json/struct_table.hpp"
#include "json/value.hpp"
#include "json/writer.hpp"
#include "records/members.hpp"
#include "records/types.hpp"

namespace qv::records::emit {

template <class X>
inline constexpr bool kIsOptional = false;
template <class X>
inline constexpr bool kIsOptional<std::optional<X>> = true;
template <class X>
inline constexpr bool kIsList = false;
template <class X>
inline constexpr bool kIsList<std::vector<X>> = true;

// Whether a defaulted member holds nothing and is left out.
template <class X>
bool holds_nothing(const X& x) {
  if constexpr (kIsOptional<X>) {
    return !x.has_value();
  } else if constexpr (kIsList<X> || std::is_same_v<X, InsertionMap> || std::is_same_v<X, SortedMap>) {
    return x.empty();
  } else {
    return false;
  }
}

template <class Out, class X>
void value(Out& out, const X& x);

// One member of a struct, the I-th of its list; a defaulted member that
// holds nothing is left out.
template <std::size_t I, class Out, class T>
void member(Out& out, const T& item) {
  constexpr auto m = std::get<I>(Members<T>::list);
  const auto& v = item.*(decltype(m)::member);
  if constexpr (m.kind == json::FieldKind::Default) {
    if (holds_nothing(v)) return;
  }
  out.key(m.name);
  value(out, v);
}

// A struct, member by member from its list.
template <class Out, class T>
void members(Out& out, const T& item) {
  out.begin_object();
  [&]<std::size_t... I>(std::index_sequence<I...>) {
    (member<I>(out, item), ...);
  }(std::make_index_sequence<std::tuple_size_v<decltype(Members<T>::list)>>{});
  out.end_object();
}

// A keyed text, and a keyed optional text left out when absent: for the
// writers of forms that have no member list.
template <class Out>
void text(Out& out, std::string_view key, std::string_view value) {
  out.key(key);
  out.string(value);
}
template <class Out>
void optional_text(Out& out, std::string_view key, const std::optional<std::string>& value) {
  if (value) text(out, key, *value);
}

// Any value of a record type, by its type: texts, floats (null when not
// finite), booleans, unsigned integers, the words of enums, optionals
// (null when absent), lists, text pairs as two-element arrays, text maps
// as objects, JSON values as they are, Determinism by its class, and
// structs by their member lists.
template <class Out, class X>
void value(Out& out, const X& x) {
  if constexpr (std::is_same_v<X, std::string>) {
    out.string(x);
  } else if constexpr (std::is_same_v<X, double>) {
    if (std::isfinite(x)) {
      out.floating(x);
    } else {
      out.null();
    }
  } else if constexpr (std::is_same_v<X, bool>) {
    out.boolean(x);
  } else if constexpr (std::is_same_v<X, std::uint64_t>) {
    out.unsigned_integer(x);
  } else if constexpr (std::is_enum_v<X>) {
    using core::to_word;
    out.string(to_word(x));
  } else if constexpr (kIsOptional<X>) {
    if (x) {
      value(out, *x);
    } else {
      out.null();
    }
  } else if constexpr (kIsList<X>) {
    out.begin_array();
    for (const auto& item : x) value(out, item);
    out.end_array();
  } else if constexpr (std::is_same_v<X, TextPair>) {
    out.begin_array();
    out.string(x.first);
    out.string(x.second);
    out.end_array();
  } else if constexpr (std::is_same_v<X, InsertionMap> || std::is_same_v<X, SortedMap>) {
    out.begin_object();
    for (const auto& [k, v] : x) {
      out.key(k);
      out.string(v);
    }
    out.end_object();
  } else if constexpr (std::is_same_v<X, json::Value>) {
    json::write_value(out, x);
  } else if constexpr (std::is_same_v<X, Determinism>) {
    // Tagged by "class"; only the reproducible class carries a tolerance.
    out.begin_object();
    out.key("class");
    out.string(to_word(x.cls));
    if (x.cls == Determinism::Class::Reproducible) {
      out.key("tolerance");
      value(out, x.tolerance);
    }
    out.end_object();
  } else {
    members(out, x);
  }
}

}  // namespace qv::records::emit

namespace qv::records {

// Compact one-line text of a sealed record: members in declared order,
// `previous_record_hash` null when absent, `signature_algorithm` only when
// present. Cannot fail.
std::string write_evidence_record_json(const EvidenceRecord& record);
// The six members of an unsigned record, by the same rules.
std::string write_unsigned_record_json(const UnsignedRecord& record);
// Appends the object of a record's content.
void write_record_content_json(const RecordContent& content, std::string& output);

// The value form of a record's content, members in declared order.
json::Value record_content_to_value(const RecordContent& content);
// Adds it to `record` under the key "content".
void record_content_to_value(json::Object& record, const RecordContent& content);
// Value forms of whole records, member for member as they are written.
json::Value evidence_record_to_value(const EvidenceRecord& record);
json::Value unsigned_record_to_value(const UnsignedRecord& record);
// The value of any graph or outcome part, as it appears inside a record.
json::Value evidence_to_value(const Evidence& evidence);
json::Value verifier_info_to_value(const VerifierInfo& info);
json::Value regulatory_mapping_to_value(const std::vector<RegulatoryControl>& controls);

// Each verifier's run time in run order and the total, in microseconds.
struct VerifierTimings {
  std::vector<std::pair<std::string, std::uint64_t>> verifiers;
  std::uint64_t total_us = 0;
  bool operator==(const VerifierTimings&) const = default;
};
// {"verifiers": [[id, us], ...], "total_us": n}, integers throughout.
json::Value timings_to_value(const VerifierTimings& timings);

}  // namespace qv::records
