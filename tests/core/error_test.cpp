#include <gtest/gtest.h>

#include "core/error.hpp"
#include "core/vocabulary.hpp"

namespace qv::core {
namespace {

TEST(EngineErrorDisplay, EachKindUsesItsTemplate) {
  EXPECT_EQ(EngineError::invalid_input("policy lint failed: a; b").display(),
            "invalid input: policy lint failed: a; b");
  EXPECT_EQ(EngineError::verifier_failed("quillaveen.rules.x", "boom").display(),
            "verifier quillaveen.rules.x failed: boom");
  EXPECT_EQ(EngineError::serialisation("non-finite float in canonical JSON").display(),
            "serialisation error: non-finite float in canonical JSON");
  EXPECT_EQ(EngineError::integrity("rec_1: content hash mismatch").display(),
            "integrity error: rec_1: content hash mismatch");
}

TEST(EngineErrorDisplay, EmptyMessageKeepsTheTrailingBlank) {
  EXPECT_EQ(EngineError::integrity("").display(), "integrity error: ");
  EXPECT_EQ(EngineError::verifier_failed("", "").display(), "verifier  failed: ");
}

TEST(EngineErrorDisplay, PayloadIsNotQuotedOrEscaped) {
  EXPECT_EQ(EngineError::invalid_input(std::string("a\"b\n\0c", 6)).display(),
            std::string("invalid input: a\"b\n\0c", 21));
}

TEST(Vocabulary, DecisionOrderAndWords) {
  EXPECT_EQ(combine(Decision::Pass, Decision::Review), Decision::Review);
  EXPECT_EQ(combine(Decision::Fail, Decision::Review), Decision::Fail);
  EXPECT_EQ(to_word(Decision::Review), "REVIEW");
  EXPECT_EQ(decision_from_word("FAIL"), Decision::Fail);
  EXPECT_EQ(decision_from_word("pass"), std::nullopt);  // exact words only
  EXPECT_EQ(claim_kind_from_word("numeric"), ClaimKind::Numeric);
  EXPECT_EQ(to_word(ClaimKind::Numeric), "numeric");
  EXPECT_EQ(claim_kind_from_word("Numeric"), std::nullopt);
  EXPECT_EQ(rounding_rule_from_word("within_last_digit"), RoundingRule::WithinLastDigit);
  EXPECT_EQ(rounding_rule_from_word("half-up"), std::nullopt);
  EXPECT_EQ(default_locale(), "und");
}

}  // namespace
}  // namespace qv::core
