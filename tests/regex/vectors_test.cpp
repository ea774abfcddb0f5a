// Reference cases: every pattern's compile result (acceptance, or the exact
// error display).
#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/vectors.hpp"
#include "regex/hir.hpp"
#include "regex/regex.hpp"

namespace qv::regex {
namespace {

using json::Value;
using qv::testing::member;
using qv::testing::member_text;

const std::vector<Value>& vectors() {
  static const std::vector<Value> v = qv::testing::read_vectors("regex.jsonl");
  return v;
}

bool kind_is(const Value& line, std::string_view kind) {
  const Value& k = member(line, "kind");
  return k.is_string() && k.as_string() == kind;
}

// The reference refuses these for size; here they compile. Its classes are
// Unicode 16.0, with 5,055 more word characters than the 15.0 data here (and
// more letters), so the same count of the smaller class here compiles to
// less. The size rule itself is checked on the reference's own \w below.
bool refused_for_newer_class(const std::string& p) {
  return p == "\\w{210}" || p == "(?i)\\w{210}" || p == "\\p{L}{245}";
}

TEST(RegexVectors, CompileResultsAgree) {
  qv::testing::Tally tally;
  std::size_t agreed = 0;
  std::vector<std::string> failures;
  for (const Value& line : vectors()) {
    if (!kind_is(line, "compile")) continue;
    const std::string p = member_text(line, "p");
    auto r = parse(p);
    if (refused_for_newer_class(p)) {
      EXPECT_TRUE(r.has_value()) << p;
      tally.set_aside("refused for the size of a 16.0 class");
      continue;
    }
    ++tally.compared;
    if (member(line, "ok").as_bool()) {
      if (r) {
        ++agreed;
        EXPECT_EQ(r->captures_len, member(line, "captures_len").as_u64()) << p;
        const json::Array& names = member(line, "names").as_array();
        ASSERT_EQ(r->names.size(), names.size()) << p;
        for (std::size_t i = 0; i < names.size(); ++i) {
          if (names[i].is_null()) {
            EXPECT_FALSE(r->names[i].has_value()) << p;
          } else {
            EXPECT_EQ(r->names[i].value_or(""), names[i].as_string()) << p;
          }
        }
      } else {
        failures.push_back("accepted by reference, refused here: " + p + "\n" + r.error().to_string());
      }
    } else {
      if (!r) {
        if (r.error().to_string() == member_text(line, "err")) {
          ++agreed;
        } else {
          failures.push_back("different error for " + p + "\n--- expected\n" + member_text(line, "err") +
                             "\n--- got\n" + r.error().to_string());
        }
      } else {
        failures.push_back("refused by reference, accepted here: " + p + "\n" + member_text(line, "err"));
      }
    }
  }
  for (const auto& f : failures) ADD_FAILURE() << f;
  EXPECT_EQ(agreed, tally.compared);
  // 1,012 accepted and 221 refused, the 12 patterns on either side of the
  // six size thresholds among them.
  tally.expect(1230, {{"refused for the size of a 16.0 class", 3}});
}

// The size rule on the reference's own \w (Unicode 16.0): 209 copies fit the
// limit and 210 do not there. The estimate shares every equal state of a
// class automaton, where the reference's bounded caches miss a few, so it is
// the smaller by about 0.25% and 210 copies fit here. A 1% error in either
// direction fails.
TEST(RegexVectors, SizeRuleOnTheReferenceWordClass) {
  unicode::RangeSet word;
  for (const Value& line : qv::testing::read_vectors("unicode.jsonl")) {
    if (member(line, "name").is_string() && member(line, "name").as_string() == "regex ^\\w$") {
      for (const Value& r : member(line, "ranges").as_array()) {
        word.push_back({static_cast<char32_t>(r.as_array().at(0).as_u64()), static_cast<char32_t>(r.as_array().at(1).as_u64())});
      }
    }
  }
  ASSERT_EQ(word.size(), 796u);
  auto repeated = [&](std::uint32_t n) {
    Hir h;
    h.nodes.resize(2);
    h.nodes[0].kind = HirKind::kClass;
    h.nodes[0].cls = std::make_shared<const unicode::RangeSet>(word);
    h.nodes[1].kind = HirKind::kRepetition;
    h.nodes[1].min = h.nodes[1].max = n;
    h.nodes[1].children = {0};
    h.root = 1;
    return compiled_size(h);
  };
  EXPECT_LE(repeated(209), kSizeLimit);
  EXPECT_GT(repeated(211), kSizeLimit);
}

std::string span_text(const std::optional<Match>& m) {
  return m ? "[" + std::to_string(m->start) + "," + std::to_string(m->end) + "]" : "null";
}

std::string span_text(const Value& j) {
  if (j.is_null()) return "null";
  return "[" + std::to_string(j.as_array().at(0).as_u64()) + "," + std::to_string(j.as_array().at(1).as_u64()) + "]";
}

// Unicode 16.0 gave U+0301 the script extensions Cher, Cyrl, Grek, Latn, Sunu
// and Todr (it was Inherited alone); the 15.0 data here has none for it. These
// patterns disagree on the one text holding U+0301 ("e\u0301t\u00e9").
constexpr std::string_view kEte = "e\u0301t\u00e9";
const std::set<std::string, std::less<>> kScxOfCombiningAcute = {
    "\\p{scx=Grek}",     "\\p{Script_Extensions=Greek}", "\\p{scx=Latn}",     "\\p{scx=Latin}",
    "\\p{scx=Greek}",    "\\p{scx=Cyrillic}",            "\\p{scx=Cherokee}", "\\p{scx=Inherited}",
    "\\p{scx=Cyrl}",     "\\p{scx=Zinh}",                "\\p{scx=Qaai}",     "\\p{scx=Todhri}",
    "\\p{scx=Sunuwar}"};

TEST(RegexVectors, MatchResultsAgree) {
  const auto& v = vectors();
  std::string current;
  std::optional<Regex> re;
  qv::testing::Tally tally;
  for (const Value& line : v) {
    if (!kind_is(line, "match")) continue;
    const std::string p = member_text(line, "p");
    if (p != current) {
      current = p;
      auto r = Regex::compile(p);
      ASSERT_TRUE(r.has_value()) << p;
      re = std::move(*r);
    }
    const std::string t = member_text(line, "t");
    // Unicode 16.0 gave U+0301 the script extensions Cher, Cyrl, Grek, Latn,
    // Sunu and Todr; the Unicode 15.0 data here has none for it.
    if (t == kEte && kScxOfCombiningAcute.contains(p)) {
      tally.set_aside("script extensions of U+0301, new in 16.0");
      continue;
    }
    ++tally.compared;
    bool ok = true;
    std::string got, want;
    const bool m = re->is_match(t);
    if (m != member(line, "is_match").as_bool()) ok = false;
    got += std::string("is_match=") + (m ? "true" : "false");
    want += "is_match=" + member_text(line, "is_match");
    const auto f = re->find(t);
    got += " find=" + span_text(f);
    want += " find=" + span_text(member(line, "find"));
    const auto caps = re->captures(t);
    got += " caps=";
    if (caps) {
      for (const auto& c : *caps) got += span_text(c);
    } else {
      got += "null";
    }
    want += " caps=";
    if (member(line, "caps").is_null()) {
      want += "null";
    } else {
      for (const Value& c : member(line, "caps").as_array()) want += span_text(c);
    }
    got += " all=";
    for (const auto& a : re->find_all(t)) got += span_text(std::optional<Match>(a));
    want += " all=";
    for (const Value& a : member(line, "all").as_array()) want += span_text(a);
    if (got != want) ok = false;
    if (!ok) ADD_FAILURE() << "pattern " << p << " text " << t << "\n want " << want << "\n got  " << got;
  }
  // 34 texts for each of the 1,008 accepted patterns up to 300 bytes.
  tally.expect(34259, {{"script extensions of U+0301, new in 16.0", 13}});
}

}  // namespace
}  // namespace qv::regex
