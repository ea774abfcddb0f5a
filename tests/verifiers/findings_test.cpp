#include <gtest/gtest.h>

#include <string>
#include <optional>
#include <vector>

#include "numeric/locale.hpp"
#include "numeric/quantity.hpp"
#include "verifiers/declared_scale.hpp"
#include "verifiers/findings.hpp"

namespace qv::verifiers {
namespace {

records::Evidence finding(std::string claim, std::string verifier, records::EvidenceResult result, std::string tag) {
  records::Evidence e;
  e.claim_id = std::move(claim);
  e.verifier_id = std::move(verifier);
  e.result = result;
  e.rationale = std::move(tag);
  return e;
}

std::vector<std::string> tags(const std::vector<records::Evidence>& list) {
  std::vector<std::string> out;
  for (const auto& e : list) out.push_back(e.rationale);
  return out;
}

TEST(FindingsOrder, ClaimIdsAsBytesThenVerifierThenResultRank) {
  using R = records::EvidenceResult;
  std::vector<records::Evidence> list = {finding("c2", "v", R::Supported, "a"), finding("c10", "v", R::Supported, "b"),
                                         finding("c2", "v", R::Contradicted, "c"), finding("c2", "u", R::Error, "d"),
                                         finding("c1", "v", R::Unsupported, "e")};
  sort_findings_small(list);
  EXPECT_EQ(tags(list), (std::vector<std::string>{"e", "b", "d", "c", "a"}));
}

TEST(FindingsOrder, LongListsSortStablyToo) {
  using R = records::EvidenceResult;
  std::vector<records::Evidence> list;
  for (int i = 0; i < 30; ++i) {
    list.push_back(finding("c" + std::to_string(i % 3), "v", i % 2 ? R::Supported : R::NotApplicable,
                           std::to_string(i)));
  }
  sort_findings_small(list);
  // c0: supported ones (odd i) first in input order, then not_applicable.
  const std::vector<std::string> got = tags(list);
  EXPECT_EQ(std::vector<std::string>(got.begin(), got.begin() + 10),
            (std::vector<std::string>{"3", "9", "15", "21", "27", "0", "6", "12", "18", "24"}));
}

TEST(DeclaredScale, Declarations) {
  struct Case {
    const char* text;
    std::optional<Declaration> declaration;
  };
  const Declaration thousands{3, false}, millions{6, false}, billions{9, false};
  const Case cases[] = {
      {"Revenue (in thousands)", thousands},
      {"Revenue (In Thousands)", thousands},
      {"(IN THOUSANDS)", thousands},
      {"(€in millions", millions},
      {"($ in millions)", millions},
      {"(EUR in billions)", billions},
      {"EUR in billions", std::nullopt},
      {"euros in billions", billions},
      {"USD in millions", millions},
      {"(GBP in millions)", std::nullopt},
      {"(£ in millions)", millions},
      {"(in thousand)", std::nullopt},
      {"in millions", std::nullopt},
      {"(in thousandsx)", std::nullopt},
      {"(in thousands) and later (in millions)", thousands},
      {"(in thou\u017Fands)", std::nullopt},
      // Exceptions: "except" after the scale word, before the declaration's
      // closing parenthesis or, without one, the end of its line.
      {"(in thousands, except employee data)\nEmployees | 12,000", Declaration{3, true}},
      {"(In millions, EXCEPT per share amounts)", Declaration{6, true}},
      {"(in thousands of U.S. dollars, except calendar-ship-days)", Declaration{3, true}},
      {"USD in millions, Except per share data\nRevenue 4,310", Declaration{6, true}},
      {"(in thousands, except", Declaration{3, true}},
      {"Except per share, USD in thousands", thousands},
      {"(in thousands)\nRevenue except one-offs | 48,210", thousands},
      {"(in thousands\nexcept per share)", thousands},
      {"(in thousands\r\nexcept per share)", thousands},
      {"USD in millions\nexcept per share", millions},
      {"(in thousands) (except per share)", thousands},
      {"(in thousands, exceptions noted)", thousands},
      {"(in thousands, unexcepted)", thousands},
      {"(in thousands) and later (in millions, except per share)", thousands},
      {"Segment results\n(in thousands of U.S. dollars)\nRevenue except one-offs | $48,210", thousands},
      // A context phrase that makes exceptions declares its scale with them,
      // wherever it stands; the first declaration counts.
      {"Amounts in millions, except per share data\nNet income | 455", Declaration{6, true}},
      {"In millions, except per share data", Declaration{6, true}},
      {"Figures in millions of dollars (except per share)", Declaration{6, true}},
      {"en millones de euros, except per share", Declaration{6, true}},
      {"in trillion, except per share", Declaration{12, true}},
      {"Except as noted\nAmounts in millions, except per share", Declaration{6, true}},
      {"Amounts in millions, EXCEPTED\nIn millions, eXcept", Declaration{6, true}},
      {"Amounts in millions, except per share\n(in thousands)", Declaration{6, true}},
      {"(in thousands)\nAmounts in millions, except per share", thousands},
      {"Figures in millions\n(in thousands, except per share)", Declaration{3, true}},
      {"in millions\nexcept per share", std::nullopt},
      // Wordings that declare nothing: "thousands" is no scale word.
      {"In thousands, except per share data", std::nullopt},
      {"(Amounts in thousands, except per share data)", std::nullopt},
      {"($000s)", std::nullopt},
      {"(in USD thousands)", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(declared_scale(c.text), c.declaration) << c.text;
}

TEST(DeclaredScale, FiguresCarryTheirOwnSourcesDeclaration) {
  std::vector<records::Source> sources(2);
  sources[0].id = "s0";
  sources[0].text = "Sales 4,200 (in thousands) and 12 million";
  sources[1].id = "s1";
  sources[1].text = "Costs 4,200";
  const auto figures = find_declared_scale(sources, *numeric::locale_profile("en"), true);
  ASSERT_EQ(figures.size(), 3u);
  EXPECT_TRUE(figures[0].declared);
  EXPECT_EQ(figures[0].declaration.power, 3u);
  EXPECT_EQ(figures[0].quantity.scale_power, 0u);  // never rescaled here
  EXPECT_EQ(figures[1].quantity.scale_power, 6u);
  EXPECT_EQ(figures[1].source_id, "s0");
  EXPECT_FALSE(figures[2].declared);
  EXPECT_EQ(figures[2].source_id, "s1");
  EXPECT_EQ(figures[2].source_text.substr(figures[2].quantity.start, 5), "4,200");
}

}  // namespace
}  // namespace qv::verifiers
