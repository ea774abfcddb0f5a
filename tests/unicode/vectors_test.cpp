// Agreement with the reference cases. Code points that this build's character
// data (Unicode 15.0) leaves unassigned were assigned later; they are skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/vectors.hpp"
#include "core/utf8.hpp"
#include "unicode/case.hpp"
#include "unicode/nfkc.hpp"
#include "unicode/properties.hpp"
#include "unicode/white_space.hpp"

namespace {

using qv::json::Value;
using qv::testing::member;
using qv::testing::member_text;
using qv::testing::read_vectors;
namespace u = qv::unicode;

constexpr char32_t kMax = 0x10FFFF;
// Code points assigned in Unicode 15.0 (149,251 characters and 137,468 for
// private use): the ones compared.
constexpr std::size_t kAssigned = 286719;
bool is_surrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

std::string utf8(const std::u32string& s) {
  std::string out;
  for (char32_t c : s) qv::core::append_utf8(out, c);
  return out;
}

char32_t cp(const Value& v) { return static_cast<char32_t>(v.as_u64()); }

std::u32string cps_of(const Value& array) {
  std::u32string out;
  for (const Value& v : array.as_array()) out.push_back(cp(v));
  return out;
}

std::vector<bool> members(const Value& ranges) {
  std::vector<bool> in(kMax + 1, false);
  for (const Value& r : ranges.as_array()) {
    for (char32_t c = cp(r.as_array()[0]); c <= cp(r.as_array()[1]); ++c) in[c] = true;
  }
  return in;
}

const std::vector<Value>& unicode_lines() {
  static const std::vector<Value> lines = read_vectors("unicode.jsonl");
  return lines;
}

const std::map<std::string, std::function<bool(char32_t)>>& predicates() {
  static const std::map<std::string, std::function<bool(char32_t)>> p = {
      {"std::char::is_whitespace", u::is_white_space},
      {"std::char::is_alphabetic", u::is_alphabetic},
      {"std::char::is_numeric", u::is_numeric},
      {"std::char::is_alphanumeric", u::is_alphanumeric},
      {"std::char::is_lowercase", u::is_lowercase},
      {"std::char::is_uppercase", u::is_uppercase},
      {"std::char::is_control", u::is_control},
      {"regex ^\\w$", u::is_word_character},
      {"regex ^\\d$", u::is_decimal_digit},
      {"regex ^\\s$", u::is_white_space},
      {"regex ^\\W$", [](char32_t c) { return !u::is_word_character(c); }},
      {"regex ^\\D$", [](char32_t c) { return !u::is_decimal_digit(c); }},
      {"regex ^\\S$", [](char32_t c) { return !u::is_white_space(c); }},
  };
  return p;
}

// Characters assigned by Unicode 15.0 whose properties later versions changed
// (the reference cases come from Unicode 16/17 data): Other_Alphabetic for the
// combining Latin letters, U+0295 moved from Ll to Lo, and new simple case
// foldings between canonically equivalent Greek letters and between the st
// ligatures.
std::vector<char32_t> span(char32_t lo, char32_t hi) {
  std::vector<char32_t> out;
  for (char32_t c = lo; c <= hi; ++c) out.push_back(c);
  return out;
}
std::vector<char32_t> later_changes(const std::string& name) {
  if (name == "std::char::is_alphabetic" || name == "std::char::is_alphanumeric") {
    std::vector<char32_t> out = span(0x0363, 0x036F);
    for (char32_t c : span(0x1DD3, 0x1DE6)) out.push_back(c);
    return out;
  }
  if (name == "std::char::is_lowercase") return {0x0295};
  if (name == "casefold") return {0x0390, 0x03B0, 0x1FD3, 0x1FE3, 0xFB05, 0xFB06};
  return {};
}

TEST(UnicodeVectors, PropertySets) {
  int sets = 0;
  for (const Value& line : unicode_lines()) {
    if (member_text(line, "kind") != "ranges") continue;
    const std::string name = member_text(line, "name");
    const auto it = predicates().find(name);
    if (it == predicates().end()) {
      // "." and "(?s:.)" are matters of the pattern engine, not of properties.
      EXPECT_TRUE(name == "regex ^(?s:.)$" || name == "regex ^.$") << name;
      continue;
    }
    ++sets;
    const std::vector<bool> in = members(member(line, "ranges"));
    std::size_t checked = 0;
    std::vector<char32_t> wrong;
    for (char32_t c = 0; c <= kMax; ++c) {
      if (is_surrogate(c) || !u::is_assigned(c)) continue;
      ++checked;
      if (it->second(c) != in[c]) wrong.push_back(c);
    }
    EXPECT_EQ(checked, kAssigned) << name;
    std::string list;
    for (std::size_t k = 0; k < wrong.size() && k < 60; ++k) list += std::to_string(wrong[k]) + " ";
    EXPECT_EQ(wrong, later_changes(name)) << name << ": " << wrong.size() << " disagreements: " << list;
  }
  EXPECT_EQ(sets, 13);
}

TEST(UnicodeVectors, FullLowerCaseMapping) {
  const Value* mapping = nullptr;
  for (const Value& line : unicode_lines()) {
    if (member_text(line, "kind") == "mapping" && member_text(line, "name") == "std::char::to_lowercase") mapping = &line;
  }
  ASSERT_NE(mapping, nullptr);
  std::map<char32_t, std::u32string> expected;
  for (const Value& e : member(*mapping, "entries").as_array()) {
    expected[cp(e.as_array()[0])] = cps_of(e.as_array()[1]);
  }
  ASSERT_EQ(expected.size(), 1488u);
  int wrong = 0;
  std::size_t checked = 0;
  for (char32_t c = 0; c <= kMax; ++c) {
    if (is_surrogate(c) || !u::is_assigned(c)) continue;
    ++checked;
    const auto it = expected.find(c);
    const std::u32string want = it == expected.end() ? std::u32string(1, c) : it->second;
    const std::u32string got = u::lowercase_mapping(c);
    if (got != want && ++wrong <= 20) ADD_FAILURE() << "U+" << std::hex << static_cast<unsigned>(c);
    // The text form agrees on the lone character (no final-sigma context).
    if (it != expected.end()) {
      EXPECT_EQ(u::to_lowercase(utf8(std::u32string(1, c))), utf8(want));
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(checked, kAssigned);
}

TEST(UnicodeVectors, SimpleCaseFoldClasses) {
  const Value* classes = nullptr;
  for (const Value& line : unicode_lines()) {
    if (member_text(line, "kind") == "casefold_classes") classes = &line;
  }
  ASSERT_NE(classes, nullptr);
  std::map<char32_t, std::vector<char32_t>> expected;
  for (const Value& cls : member(*classes, "classes").as_array()) {
    std::vector<char32_t> assigned;
    for (const Value& m : cls.as_array()) {
      if (u::is_assigned(cp(m))) assigned.push_back(cp(m));
    }
    std::sort(assigned.begin(), assigned.end());
    for (char32_t m : assigned) expected[m] = assigned;
  }
  std::vector<char32_t> wrong;
  std::size_t checked = 0;
  for (char32_t c = 0; c <= kMax; ++c) {
    if (is_surrogate(c) || !u::is_assigned(c)) continue;
    ++checked;
    const auto it = expected.find(c);
    const std::vector<char32_t> want = it == expected.end() ? std::vector<char32_t>{c} : it->second;
    if (u::simple_case_fold_class(c) != want) wrong.push_back(c);
  }
  EXPECT_EQ(checked, kAssigned);
  EXPECT_EQ(expected.size(), 2886u);  // of the 2938 members, those assigned in 15.0
  EXPECT_EQ(wrong, later_changes("casefold"));
}

bool all_assigned(const std::u32string& s) {
  return std::all_of(s.begin(), s.end(), [](char32_t c) { return u::is_assigned(c); });
}

TEST(NfkcVectors, EveryCase) {
  const std::vector<Value> lines = read_vectors("nfkc.jsonl");
  std::set<char32_t> changed;
  qv::testing::Tally tally;
  int wrong = 0;
  for (const Value& line : lines) {
    const std::string kind = member_text(line, "kind");
    if (kind == "meta") continue;
    const std::u32string input = kind == "char" ? std::u32string(1, cp(member(line, "cp"))) : cps_of(member(line, "cps"));
    ASSERT_EQ(utf8(input), member_text(line, "s"));
    if (kind == "char") changed.insert(input[0]);
    if (!all_assigned(input)) {
      tally.set_aside(kind + " with a character assigned after 15.0");
      continue;
    }
    ++tally.compared;
    const std::string got = u::nfkc(member_text(line, "s"));
    if (got != member_text(line, "nfkc") && ++wrong <= 20) ADD_FAILURE() << "NFKC of " << member_text(line, "s");
  }
  tally.expect(5590, {{"char with a character assigned after 15.0", 36}, {"string with a character assigned after 15.0", 2}});
  // Every other assigned code point is its own NFKC.
  for (char32_t c = 0; c <= kMax; ++c) {
    if (is_surrogate(c) || changed.count(c) != 0 || !u::is_assigned(c)) continue;
    const std::string s = utf8(std::u32string(1, c));
    if (u::nfkc(s) != s && ++wrong <= 20) ADD_FAILURE() << "U+" << std::hex << static_cast<unsigned>(c);
  }
  EXPECT_EQ(wrong, 0);
}

}  // namespace
