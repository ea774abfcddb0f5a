// Plain values: the evidence order, the insertion-ordered map.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "records/types.hpp"

namespace qv::records {
namespace {

Evidence finding(std::string claim, std::string verifier, EvidenceResult result, std::string tag = "") {
  Evidence e;
  e.claim_id = std::move(claim);
  e.verifier_id = std::move(verifier);
  e.result = result;
  e.rationale = std::move(tag);
  return e;
}

TEST(EvidenceOrder, ClaimThenVerifierThenRankedResult) {
  using R = EvidenceResult;
  std::vector<Evidence> items = {
      finding("c1", "quillaveen.numeric", R::Supported),
      finding("c10", "a", R::Contradicted),
      finding("c0", "quillaveen.scope", R::Error),
      finding("c0", "quillaveen.numeric", R::Error),
      finding("c0", "quillaveen.numeric", R::NotApplicable),
      finding("c0", "quillaveen.numeric", R::Supported),
      finding("c0", "quillaveen.numeric", R::Unsupported),
      finding("c0", "quillaveen.numeric", R::Contradicted),
      finding("c0", "quillaveen.numeri", R::Error),
  };
  std::stable_sort(items.begin(), items.end(), evidence_before);
  std::vector<std::string> got;
  for (const auto& e : items) got.push_back(e.claim_id + " " + e.verifier_id + " " + std::string(to_word(e.result)));
  EXPECT_EQ(got, (std::vector<std::string>{
                     "c0 quillaveen.numeri error",  // a prefix comes first
                     "c0 quillaveen.numeric contradicted",
                     "c0 quillaveen.numeric unsupported",
                     "c0 quillaveen.numeric supported",
                     "c0 quillaveen.numeric not_applicable",
                     "c0 quillaveen.numeric error",
                     "c0 quillaveen.scope error",
                     "c1 quillaveen.numeric supported",
                     "c10 a contradicted",  // bytes, not numbers: "c1" < "c10"
                 }));
}

TEST(EvidenceOrder, BytesCompareUnsignedAndEqualKeysKeepOrder) {
  // "z" (0x7A) before "é" (0xC3 0xA9): bytes compare unsigned.
  EXPECT_LT(evidence_sort_key(finding("z", "v", EvidenceResult::Supported)),
            evidence_sort_key(finding("\xC3\xA9", "v", EvidenceResult::Supported)));
  std::vector<Evidence> items = {finding("c0", "v", EvidenceResult::Supported, "first"),
                                 finding("c0", "v", EvidenceResult::Contradicted, "x"),
                                 finding("c0", "v", EvidenceResult::Supported, "second")};
  std::stable_sort(items.begin(), items.end(), evidence_before);
  EXPECT_EQ(items[1].rationale, "first");
  EXPECT_EQ(items[2].rationale, "second");
}

TEST(InsertionMap, KeepsFirstPositionTakesLastValueSmallAndLarge) {
  for (int n : {3, 40}) {
    InsertionMap m;
    for (int i = 0; i < n; ++i) m.insert_or_assign("k" + std::to_string(i), "v");
    m.insert_or_assign("k1", "late");
    m.insert_or_assign("k0", "later");
    ASSERT_EQ(m.size(), static_cast<std::size_t>(n));
    EXPECT_EQ(m.entries()[0], (InsertionMap::Entry{"k0", "later"}));
    EXPECT_EQ(m.entries()[1], (InsertionMap::Entry{"k1", "late"}));
    ASSERT_NE(m.find("k2"), nullptr);
    EXPECT_EQ(m.find("nope"), nullptr);
    m.insert_or_assign("new", "x");
    EXPECT_EQ(m.entries().back().key, "new");
    EXPECT_EQ(*m.find("new"), "x");
  }
}

}  // namespace
}  // namespace qv::records
