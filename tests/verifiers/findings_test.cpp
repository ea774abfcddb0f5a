#include <gtest/gtest.h>

#include <string>
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
  EXPECT_EQ(declared_scale("Revenue (in thousands)"), 3u);
  EXPECT_EQ(declared_scale("Revenue (In Thousands)"), 3u);
  EXPECT_EQ(declared_scale("(IN THOUSANDS)"), 3u);
  EXPECT_EQ(declared_scale("(€in millions"), 6u);
  EXPECT_EQ(declared_scale("($ in millions)"), 6u);
  EXPECT_EQ(declared_scale("(EUR in billions)"), 9u);
  EXPECT_EQ(declared_scale("EUR in billions"), std::nullopt);
  EXPECT_EQ(declared_scale("euros in billions"), 9u);
  EXPECT_EQ(declared_scale("USD in millions"), 6u);
  EXPECT_EQ(declared_scale("(GBP in millions)"), std::nullopt);
  EXPECT_EQ(declared_scale("(£ in millions)"), 6u);
  EXPECT_EQ(declared_scale("(in thousand)"), std::nullopt);
  EXPECT_EQ(declared_scale("in millions"), std::nullopt);
  EXPECT_EQ(declared_scale("(in thousandsx)"), std::nullopt);
  EXPECT_EQ(declared_scale("(in thousands) and later (in millions)"), 3u);
  EXPECT_EQ(declared_scale("(in thou\u017Fands)"), std::nullopt);
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
  EXPECT_EQ(figures[0].declared_power, 3u);
  EXPECT_EQ(figures[0].quantity.scale_power, 0u);  // never rescaled here
  EXPECT_EQ(figures[1].quantity.scale_power, 6u);
  EXPECT_EQ(figures[1].source_id, "s0");
  EXPECT_FALSE(figures[2].declared);
  EXPECT_EQ(figures[2].source_id, "s1");
  EXPECT_EQ(figures[2].source_text.substr(figures[2].quantity.start, 5), "4,200");
}

}  // namespace
}  // namespace qv::verifiers
