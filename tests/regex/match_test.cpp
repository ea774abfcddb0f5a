// Matching: spans and captures on Unicode texts, searches from an offset,
// iteration, the system's fixed patterns, hostile inputs and the cache.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "regex/internals.hpp"
#include "numeric/numeral.hpp"
#include "regex/regex.hpp"

namespace qv::regex {
namespace {

Regex re(std::string_view p) {
  auto r = Regex::compile(p);
  EXPECT_TRUE(r.has_value()) << p << (r ? "" : "\n" + r.error().to_string());
  return std::move(*r);
}

std::vector<std::string> all_texts(const Regex& r, std::string_view t) {
  std::vector<std::string> out;
  for (const Match& m : r.find_all(t)) out.emplace_back(t.substr(m.start, m.end - m.start));
  return out;
}

using V = std::vector<std::string>;

TEST(RegexMatch, LeftmostFirstAndCaptures) {
  EXPECT_EQ(re("samwise|sam").find("samwise")->end, 7u);
  EXPECT_EQ(re("sam|samwise").find("samwise")->end, 3u);
  EXPECT_EQ(re("a+?").find("aaa")->end, 1u);
  EXPECT_EQ(re("(?U)a+").find("aaa")->end, 1u);
  auto c = re("(a)|(b)").captures("xb");
  ASSERT_TRUE(c.has_value());
  EXPECT_FALSE((*c)[1].has_value());
  EXPECT_EQ((*c)[2], (Match{1, 2}));
  // An empty group took part: it is not the same as absent.
  auto e = re("x(a*)y").captures("xy");
  EXPECT_EQ((*e)[1], (Match{1, 1}));
  // (x*)* keeps the preferred (empty-last) capture.
  auto s = re("(a*)*").captures("b");
  EXPECT_EQ((*s)[0], (Match{0, 0}));
  EXPECT_EQ(re("(?P<year>\\d{4})").group_index("year"), 1u);
}

TEST(RegexMatch, SearchFromAnOffsetSeesTheTextBefore) {
  const Regex word = re("\\bcat");
  EXPECT_FALSE(word.find("concat", 3).has_value());
  EXPECT_EQ(word.find("a cat", 2), (Match{2, 5}));
  EXPECT_FALSE(re("^b").find("ab", 1).has_value());
  EXPECT_EQ(re("(?m)^b").find("a\nb", 2), (Match{2, 3}));
  EXPECT_FALSE(re("\\Ab").is_match("ab", 1));
}

TEST(RegexMatch, IterationAndEmptyMatches) {
  const Regex empty = re("a*");
  const auto m = empty.find_all("baaac");
  // The empty match at 4 would touch the match ending there: skipped.
  ASSERT_EQ(m.size(), 3u);
  EXPECT_EQ(m[0], (Match{0, 0}));
  EXPECT_EQ(m[1], (Match{1, 4}));
  EXPECT_EQ(m[2], (Match{5, 5}));
  // Empty matches fall on character boundaries only.
  EXPECT_EQ(re("").find_all("é€").size(), 3u);
  EXPECT_EQ(all_texts(re("[ \\t\\x0B\\x0C]+"), "a \t b\u00A0c"), (V{" \t "}));
  EXPECT_EQ(all_texts(re("\\n{3,}"), "a\n\nb\n\n\n\nc"), (V{"\n\n\n\n"}));
  EXPECT_EQ(all_texts(re("$"), "a\n"), (V{""}));
}

TEST(RegexMatch, NumeralPattern) {
  const Regex r = re(qv::numeric::kNumeralPattern);
  const std::size_t body = *r.group_index("body");
  auto body_of = [&](std::string_view t) {
    auto c = r.captures(t);
    EXPECT_TRUE(c.has_value()) << t;
    const Match m = *(*c)[body];
    return std::string(t.substr(m.start, m.end - m.start));
  };
  EXPECT_EQ(body_of("total 1\u202F234\u202F567,89 €"), "1\u202F234\u202F567,89");
  EXPECT_EQ(body_of("1 234 567"), "1 234 567");
  EXPECT_EQ(body_of("1’234.5"), "1’234.5");
  EXPECT_EQ(body_of("1,234,567.89"), "1,234,567.89");
  // The grouping alternative takes "1,234" of "1,2345": the caller re-reads.
  EXPECT_EQ(body_of("1,2345"), "1,234");
  auto c = r.captures("(−$ 2,500 %)");
  ASSERT_TRUE(c.has_value());
  EXPECT_TRUE((*c)[*r.group_index("open")].has_value());
  EXPECT_TRUE((*c)[*r.group_index("sign")].has_value());
  EXPECT_TRUE((*c)[*r.group_index("cur")].has_value());
  EXPECT_TRUE((*c)[*r.group_index("pct")].has_value());
  EXPECT_TRUE((*c)[*r.group_index("close")].has_value());
  auto plain = r.captures("12");
  EXPECT_FALSE((*plain)[*r.group_index("pct")].has_value());
  const Regex plain_numeral = re(qv::numeric::kPlainNumeralPattern);
  EXPECT_EQ(plain_numeral.find("2345 rest"), (Match{0, 4}));
  EXPECT_FALSE(plain_numeral.find("x2345").has_value());
}

TEST(RegexMatch, DeclaredScaleAndWordPatterns) {
  const Regex scale = re(
      "(?i)\\(\\s*(?:\\$|€|£|dollars|usd|eur|euros?)?\\s*in\\s+(thousands|millions|billions)\\b|\\b(?:dollars|usd|"
      "euros?)\\s+in\\s+(thousands|millions|billions)\\b");
  auto first_group = [&](std::string_view t) -> std::string {
    auto c = scale.captures(t);
    if (!c) return "none";
    const auto& g = (*c)[1] ? (*c)[1] : (*c)[2];
    return std::string(t.substr(g->start, g->end - g->start));
  };
  EXPECT_EQ(first_group("Revenue ($ in Millions)"), "Millions");
  EXPECT_EQ(first_group("figures in USD in\u00A0billions"), "billions");
  EXPECT_EQ(first_group("(in thousandsX)"), "none");
  const Regex word = re("[^\\W\\d_](?:[\\w'’\\-]*[^\\W_])?|[^\\W\\d_]");
  EXPECT_EQ(all_texts(word, "l’été d'un état-major 3rd x_ _y"), (V{"l’été", "d'un", "état-major", "rd", "x", "y"}));
}

TEST(RegexMatch, SignalPatterns) {
  const Regex count = re("(?xi) \\bhow\\s+many\\b | \\bcu[aá]nt[oa]s\\b | \\bwie\\s+viele\\b | \\bnumber\\s+of\\b");
  EXPECT_TRUE(count.is_match("HOW\u00A0MANY people"));
  EXPECT_TRUE(count.is_match("¿CUÁNTOS son?"));
  EXPECT_FALSE(count.is_match("somehow manyfold"));
  const Regex percent = re("(?xi) % | \\bpercent(age)?s?\\b | \\bprozent");
  EXPECT_TRUE(percent.is_match("Prozentsatz"));
  EXPECT_FALSE(percent.is_match("percentile"));
}

TEST(RegexMatch, HostileInputsStayLinear) {
  std::string text(100000, 'a');
  text += 'b';
  EXPECT_FALSE(re("(a+)+$").is_match(text));
  EXPECT_FALSE(re("(a|aa)*c").find(text).has_value());
  const Regex w = re("\\w{200}");
  EXPECT_EQ(w.find_all(std::string(1000, 'x')).size(), 5u);
  // Many empty matches in a long text.
  EXPECT_EQ(re("x*").find_all(std::string(50000, 'y')).size(), 50001u);
}

TEST(RegexMatch, DfaAgreesWithPikeVmWhenItsStatesOverflow) {
  // The n-th character from the end: exponentially many DFA states, so the
  // DFA exhausts its budget and hands the search to the Pike VM.
  const Regex r = re("(?:a|b)*a(?:a|b){16}c?");
  std::string text;
  std::uint32_t x = 12345;
  for (int i = 0; i < 200000; ++i) {
    x = x * 1103515245 + 12345;
    text.push_back((x >> 16) & 1 ? 'a' : 'b');
  }
  text += "c";
  for (std::size_t start : {std::size_t{0}, std::size_t{777}}) {
    EXPECT_EQ(r.captures(text, start), RegexInternals::pike_captures(r, text, start));
    EXPECT_EQ(r.is_match(text, start), RegexInternals::pike_is_match(r, text, start));
  }
  const Regex words = re("(?i)\\b(\\w+)\\s+(\\d+)\\b");
  const std::string t = "März 12, naïve 345 ſtraſſe 6 x";
  for (std::size_t start = 0; start <= t.size(); ++start) {
    EXPECT_EQ(words.captures(t, start), RegexInternals::pike_captures(words, t, start)) << start;
  }
}

TEST(RegexMatch, ManyGroupsKeepTheirCaptures) {
  // 300 optional groups and a last greedy one over 400 a's: group i takes
  // the i-th a, the last group the rest; the Pike VM agrees whether its
  // threads keep rows of slots or shared histories.
  std::string p;
  for (int i = 0; i < 300; ++i) p += "(a)?";
  const Regex r = re(p + "(a*)");
  const std::string text(400, 'a');
  const auto c = r.captures(text);
  ASSERT_TRUE(c.has_value());
  ASSERT_EQ(c->size(), 302u);
  for (std::size_t i = 1; i <= 300; ++i) EXPECT_EQ((*c)[i], (Match{i - 1, i})) << i;
  EXPECT_EQ((*c)[301], (Match{300, 400}));
  EXPECT_EQ(RegexInternals::pike_captures(r, text, 0, PikeSlots::kRows), c);
  EXPECT_EQ(RegexInternals::pike_captures(r, text, 0, PikeSlots::kHistories), c);

  // Both ways of keeping slots agree, also where groups repeat, stay unset
  // or are reset by a later round.
  std::string alt = "(?:";
  for (int i = 0; i < 40; ++i) alt += (i ? "|" : "") + std::string("(a") + char('a' + i % 3) + ")";
  alt += ")*";
  const std::vector<std::string> patterns = {
      alt,
      "(?:(a)|(b)|(ab)|(ba)|(a(b)?)|(\\w)(\\b)?){2,}((x)?(y)?(z)?){3}((c)|(d)|(e)|(f))?",
      "(?m)^((a)|(b))*$((\\s)|(é)|(.))+?((a)+(b)?){0,4}(?P<last>\\w*)((c)?(d)?(e)?(f)?(g)?(h)?)",
  };
  std::uint32_t x = 7;
  for (const std::string& pattern : patterns) {
    const Regex m = re(pattern);
    ASSERT_GT(m.captures_len(), 16u) << pattern;
    for (int k = 0; k < 50; ++k) {
      std::string t;
      for (int i = 0; i < k; ++i) {
        x = x * 1103515245 + 12345;
        static const char* kPieces[] = {"a", "b", "c", "é", " ", "\n", "x", "y"};
        t += kPieces[(x >> 16) % 8];
      }
      const auto rows = RegexInternals::pike_captures(m, t, 0, PikeSlots::kRows);
      EXPECT_EQ(RegexInternals::pike_captures(m, t, 0, PikeSlots::kHistories), rows) << pattern << " / " << t;
      EXPECT_EQ(m.captures(t), rows) << pattern << " / " << t;
    }
  }
}

TEST(RegexMatch, CapturesOfEveryMatch) {
  const Regex r = re("(?P<n>\\d+)(?P<unit>%|kg)?");
  const std::string t = "5kg, 12 and 7%";
  const auto all = r.captures_all(t);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0][2], (Match{1, 3}));
  EXPECT_FALSE(all[1][2].has_value());
  EXPECT_EQ(all[2][0], (Match{12, 14}));
  EXPECT_EQ(all[2][1], (Match{12, 13}));
}

// The alphabet merged from its fixed cuts and the classes' own equals the
// one gathered, sorted and looked up whole, on random patterns mixing
// Unicode and ASCII word boundaries, case folding and wide classes.
TEST(RegexAlphabet, MergedEqualsPlainOrder) {
  static const std::vector<std::string> pieces = {"\\b", "(?i)", "\\w", "\\p{Greek}", "[a-zé]", "\\B", "(?-u:\\b)",
                                                  "\\d", ".",    "ß",   "K",          "[^\\s]", "σ",    "\\p{Han}",
                                                  "x+",  "\\<",  "\\>", "(?s).",      "[\\x{10000}-\\x{10FFFF}]",
                                                  "\\W", "\\n"};
  std::mt19937 rng(5);
  int compiled = 0, with_word = 0;
  for (int n = 0; n < 400; ++n) {
    std::string pattern;
    for (std::size_t k = 1 + rng() % 5; k > 0; --k) pattern += pieces[rng() % pieces.size()];
    const auto r = Regex::compile(pattern);
    if (!r) continue;
    ++compiled;
    const auto plain = RegexInternals::alphabet_in_plain_order(*r);
    ASSERT_EQ(RegexInternals::alphabet(*r), plain) << pattern;
    with_word += plain.starts.size() > 500;
  }
  EXPECT_GT(compiled, 350);
  EXPECT_GT(with_word, 100);
}

}  // namespace
}  // namespace qv::regex
