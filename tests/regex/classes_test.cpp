// Unicode class contents against the reference tables of Perl classes,
// `.` and the simple case-folding closure.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "jsonl.hpp"
#include "regex/hir.hpp"

namespace qv::regex {
namespace {

using testing::Json;
using testing::JsonReader;

// Code points assigned after Unicode 15.0 (the data here) differ from the
// reference's newer tables; compare within the code points both agree are
// old enough: everything that is assigned here.
unicode::RangeSet assigned_here() {
  auto h = parse("\\p{Assigned}");
  return *h->node(h->root).cls;
}

unicode::RangeSet to_set(const Json& ranges) {
  unicode::RangeSet s;
  for (const Json& r : ranges.arr) {
    s.push_back({static_cast<char32_t>(r.arr[0].num), static_cast<char32_t>(r.arr[1].num)});
  }
  unicode::canonicalize(s);
  return s;
}

TEST(RegexClasses, PerlClassesAndDotMatchReferenceTables) {
  std::ifstream in(std::string(QV_VECTORS_DIR) + "/unicode.jsonl");
  std::string line;
  const unicode::RangeSet assigned = assigned_here();
  int compared = 0;
  while (std::getline(in, line)) {
    const Json j = JsonReader(line).read();
    if (j["kind"].str != "ranges" || j["name"].str.rfind("regex ", 0) != 0) continue;
    std::string name = j["name"].str.substr(6);  // "^\w$"
    const std::string pattern = name.substr(1, name.size() - 2);
    auto h = parse(pattern);
    ASSERT_TRUE(h.has_value()) << pattern;
    const unicode::RangeSet mine = *h->node(h->root).cls;
    const unicode::RangeSet ref = to_set(j["ranges"]);
    // Newer assignments aside, the sets agree exactly.
    const auto a = unicode::set_intersection(mine, assigned);
    const auto b = unicode::set_intersection(ref, assigned);
    const auto diff = unicode::set_symmetric_difference(a, b);
    EXPECT_TRUE(diff.empty()) << pattern << " differs first at U+" << std::hex
                              << (diff.empty() ? 0u : static_cast<unsigned>(diff[0].lo));
    ++compared;
  }
  EXPECT_EQ(compared, 8);
}

TEST(RegexClasses, CaseFoldClassesMatchReference) {
  std::ifstream in(std::string(QV_VECTORS_DIR) + "/unicode.jsonl");
  std::string line;
  const unicode::RangeSet assigned = assigned_here();
  while (std::getline(in, line)) {
    const Json j = JsonReader(line).read();
    if (j["kind"].str != "casefold_classes") continue;
    int checked = 0;
    for (const Json& cls : j["classes"].arr) {
      unicode::RangeSet want;
      for (const Json& c : cls.arr) {
        const auto cp = static_cast<char32_t>(c.num);
        if (unicode::set_contains(assigned, cp)) want.push_back({cp, cp});
      }
      unicode::canonicalize(want);
      if (want.empty()) continue;
      // Unicode 16.0 added simple foldings for U+1FD3, U+1FE3 and U+FB05,
      // which the Unicode 15.0 data here lacks.
      if (unicode::set_contains(want, 0x1FD3) || unicode::set_contains(want, 0x1FE3) ||
          unicode::set_contains(want, 0xFB05)) {
        continue;
      }
      const unicode::RangeSet got = unicode::simple_case_fold_closure(unicode::RangeSet{want.front()});
      EXPECT_EQ(unicode::set_intersection(got, assigned), want) << "class of U+" << std::hex << static_cast<unsigned>(want.front().lo);
      ++checked;
    }
    EXPECT_GT(checked, 1400);
    return;
  }
  FAIL() << "no case-fold classes in the reference file";
}

}  // namespace
}  // namespace qv::regex
