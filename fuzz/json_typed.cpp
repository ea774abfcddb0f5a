// Typed reading of arbitrary text, as a struct with every kind of member and
// as a struct with a flattened tagged enum. Nothing may crash; whatever reads
// as a typed value is also well-formed JSON to the syntax-only skipper; every
// position lies inside the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string_view>

#include "json/typed.hpp"

namespace {

enum class Level { Low, Medium, High };
constexpr std::array<std::string_view, 3> kLevels = {"low", "medium", "high"};

struct Match {
  std::size_t variant = 0;
  std::string name;
  std::optional<std::string> server;
  Level level = Level::Low;
  double tolerance = 0;
};

struct Everything {
  std::string text;
  std::uint64_t count = 0;
  std::uint64_t offset = 0;
  double score = 0;
  bool flag = false;
  std::optional<std::string> note;
  std::vector<std::string> tags;
  std::pair<std::string, std::uint64_t> pair;
  std::map<std::string, std::string> sorted;
  qv::json::OrderedMap<std::string> ordered;
  std::optional<Level> level;
  std::vector<Match> matches;
  qv::json::Value raw;
};

struct Flat {
  std::string id;
  Match match;
  Level effect = Level::Low;
};

const qv::json::VariantTable<Match>& match_table();
const qv::json::StructTable<Everything>& everything_table();
const qv::json::StructTable<Flat>& flat_table();

}  // namespace

namespace qv::json {
template <>
struct TypeReader<Level> : UnitEnumReader<Level, kLevels> {};
template <>
struct TypeReader<Match> : TaggedReader<Match, match_table> {};
template <>
struct TypeReader<Everything> : StructReader<Everything, everything_table> {};
template <>
struct TypeReader<Flat> : StructReader<Flat, flat_table> {};
}  // namespace qv::json

namespace {

using namespace qv::json;

const VariantTable<Match>& match_table() {
  static const VariantTable<Match> s{
      "Match",
      "match",
      {{"tool", "Tool", false, {required<&Match::name>("name"), defaulted<&Match::server>("server")}},
       {"risk", "Risk", false, {required<&Match::level>("level")}},
       {"reproducible", "Reproducible", false, {required<&Match::tolerance>("tolerance")}},
       {"any", "Any", true, {}}},
      [](Match& m, std::size_t i) { m.variant = i; }};
  return s;
}

const StructTable<Everything>& everything_table() {
  static const StructTable<Everything> s{"Everything",
                                        {required<&Everything::text>("text"),
                                         required<&Everything::count>("count"),
                                         defaulted<&Everything::offset, UsizeReader>("offset"),
                                         defaulted<&Everything::score>("score"),
                                         defaulted<&Everything::flag>("flag"),
                                         optional<&Everything::note>("note"),
                                         defaulted<&Everything::tags>("tags"),
                                         defaulted<&Everything::pair>("pair"),
                                         defaulted<&Everything::sorted>("sorted"),
                                         defaulted<&Everything::ordered>("ordered"),
                                         defaulted<&Everything::level>("level"),
                                         defaulted<&Everything::matches>("matches"),
                                         defaulted<&Everything::raw>("raw")}};
  return s;
}

const StructTable<Flat>& flat_table() {
  static const StructTable<Flat> s{
      "Flat", {required<&Flat::id>("id"), required<&Flat::effect>("effect")}, false, flattened<&Flat::match>()};
  return s;
}

void check_position(std::string_view text, const JsonError& e) {
  if (e.line == 0) return;
  std::size_t lines = 1;
  for (char c : text) lines += c == '\n';
  if (e.line > lines || e.column > text.size()) std::abort();
}

template <class T>
void exercise(std::string_view text) {
  auto r = read_typed<T>(text);
  if (!r) {
    check_position(text, r.error());
    return;
  }
  Parser skipper(text);
  if (!skipper.ignore_value() || !skipper.end()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  exercise<Everything>(text);
  exercise<Flat>(text);
  exercise<Match>(text);
  return 0;
}
