#pragma once
// Typed reading of JSON text: each record type is described by a table of
// its members, and read straight from the text with the error texts and
// positions of the JSON layer.
//
// A reader of T is a TypeReader<T> with two functions:
//   read(Parser&, T&)          reads the value at the parser's position;
//   from_value(const Value&, T&) reads a value that was buffered (the
//                              members of an internally tagged enum).
// Readers exist for bool, u64 (and other unsigned widths, via
// UnsignedReader), f64, std::string, Value, std::optional, std::vector,
// std::pair, sorted and insertion-ordered string maps, and, through their
// tables, structs (StructReader), unit enums (UnitEnumReader) and internally
// tagged enums (TaggedReader). Reading writes into a default-constructed T:
// members that are absent and have a default keep the value T was
// constructed with.
//
// A record type is made readable by a table and a TypeReader:
//
//   struct Span { std::uint64_t start = 0, end = 0; };
//   const StructTable<Span>& span_table() {
//     static const StructTable<Span> s{"Span", {required<&Span::start, UsizeReader>("start"),
//                                              required<&Span::end, UsizeReader>("end")}};
//     return s;
//   }
//   template <> struct qv::json::TypeReader<Span> : StructReader<Span, span_table> {};
//
//   auto span = read_typed<Span>(text);   // JsonResult<Span>
//
// Unit enums: `TypeReader<E> : UnitEnumReader<E, kWords>` with kWords an
// array of words in the order of E's values. Internally tagged enums: a
// VariantTable (tag name, variants with their own members, a function that
// records the variant) and `TypeReader<X> : TaggedReader<X, x_table>`; a
// struct flattens one with `StructTable::flatten = flattened<&S::member>()`.
#include <string_view>

#include "json/ordered_map.hpp"
#include "json/parser.hpp"
#include "json/scalar_readers.hpp"
#include "json/struct_table.hpp"
#include "json/tagged_enum.hpp"

namespace qv::json {

// ---------------------------------------------------------------------------
// A whole document: one value of T and nothing after it but white space.

template <class T, class R = TypeReader<T>>
JsonResult<T> read_typed(std::string_view text) {
  Parser p(text);
  T out{};
  if (auto r = R::read(p, out); !r) return std::unexpected(std::move(r.error()));
  if (auto r = p.end(); !r) return std::unexpected(std::move(r.error()));
  return out;
}

}  // namespace qv::json
