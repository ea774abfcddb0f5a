#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "verifiers/extract.hpp"

namespace qv::verifiers {
namespace {

using records::Claim;
using records::ClaimKind;

// "kind:text@start-end" for each claim, in id order.
std::vector<std::string> describe(const std::vector<Claim>& claims) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < claims.size(); ++i) {
    EXPECT_EQ(claims[i].id, "c" + std::to_string(i));
    out.push_back(std::string(core::to_word(claims[i].kind)) + ":" + claims[i].text + "@" +
                  std::to_string(claims[i].span.start) + "-" + std::to_string(claims[i].span.end));
  }
  return out;
}

std::vector<std::string> texts_of(const std::vector<Claim>& claims, ClaimKind kind) {
  std::vector<std::string> out;
  for (const Claim& c : claims) {
    if (c.kind == kind) out.push_back(c.text);
  }
  return out;
}

using Texts = std::vector<std::string>;

TEST(ClaimSpans, AccentedTextGivesByteSpansAndIdsInSpanOrder) {
  const auto claims = extract_claims("Él ganó 1.234 €.", "es", true);
  EXPECT_EQ(describe(claims), (Texts{"word:Él@0-3", "statement:Él ganó 1.234 €.@0-20", "word:ganó@4-9",
                                     "numeric:1.234 €@10-19"}));
  const Claim& n = claims[3];
  EXPECT_EQ(n.attributes.entries(), (std::vector<records::InsertionMap::Entry>{
                                        {"canonical", "1234 EUR"}, {"dimension", "currency:EUR"}, {"unit", "EUR"}}));
}

TEST(ClaimSpans, SentenceWithDateAndStopWords) {
  const auto claims = extract_claims("The report of 15 March 2024 was late.", "en", true);
  EXPECT_EQ(describe(claims), (Texts{"statement:The report of 15 March 2024 was late.@0-37", "word:report@4-10",
                                     "word:March@17-22", "numeric:2024@23-27", "word:late@32-36"}));
  EXPECT_EQ(claims[3].attributes.entries(), (std::vector<records::InsertionMap::Entry>{
                                                {"canonical", "2024"}, {"dimension", "dimensionless"}}));
}

TEST(ClaimSpans, EqualSpansPutWordBeforeStatementAndNumericFirst) {
  EXPECT_EQ(describe(extract_claims("Paris", "en", true)), (Texts{"word:Paris@0-5", "statement:Paris@0-5"}));
  EXPECT_EQ(describe(extract_claims("42.", "en", true)), (Texts{"numeric:42@0-2"}));
  EXPECT_TRUE(extract_claims("", "en", true).empty());
  const auto ambiguous = extract_claims("1.234", "und", true);
  ASSERT_EQ(ambiguous.size(), 1u);
  EXPECT_EQ(*ambiguous[0].attributes.find("canonical"), "1234 | 1.234");
  EXPECT_EQ(*ambiguous[0].attributes.find("ambiguous"), "true");
}

TEST(ClaimSpans, WordsOverlappingFiguresGiveNoWordClaim) {
  const auto covid = extract_claims("COVID19", "en", true);
  EXPECT_EQ(texts_of(covid, ClaimKind::Numeric), Texts{"19"});
  EXPECT_TRUE(texts_of(covid, ClaimKind::Word).empty());
  const auto million = extract_claims("5 million", "en", true);
  EXPECT_EQ(texts_of(million, ClaimKind::Numeric), Texts{"5 million"});
  EXPECT_TRUE(texts_of(million, ClaimKind::Word).empty());
  // A lone digit before a two-letter scale word is no figure; the word stays a word.
  const auto bn = extract_claims("Sales grew by 5 bn this year.", "en", true);
  EXPECT_TRUE(texts_of(bn, ClaimKind::Numeric).empty());
  EXPECT_EQ(texts_of(bn, ClaimKind::Word), (Texts{"Sales", "grew", "bn", "year"}));
  EXPECT_EQ(texts_of(extract_claims("l'eau well-known _x I", "en", true), ClaimKind::Word),
            (Texts{"l'eau", "well-known", "x"}));
}

TEST(ClaimSpans, SentencesEndAtStopsButNotAtDecimalPoints) {
  EXPECT_EQ(texts_of(extract_claims("Sales rose 12.5 percent.", "en", true), ClaimKind::Statement),
            Texts{"Sales rose 12.5 percent."});
  EXPECT_EQ(texts_of(extract_claims("One! Two? Three。 Four\nFive. 3.", "en", true), ClaimKind::Statement),
            (Texts{"One!", "Two?", "Three。", "Four", "Five."}));
}

TEST(DayOfMonth, DaysNextToMonthWordsAreDropped) {
  for (const char* text : {"March 15", "15 de marzo", "le 15 mars", "On 31 dec.", "05 May", "15. März",
                           "15º de enero", "The report of 15 March"}) {
    EXPECT_TRUE(texts_of(extract_claims(text, "en", true), ClaimKind::Numeric).empty()) << text;
  }
  EXPECT_EQ(texts_of(extract_claims("32 March", "en", true), ClaimKind::Numeric), Texts{"32"});
  EXPECT_EQ(texts_of(extract_claims("15 apples", "en", true), ClaimKind::Numeric), Texts{"15"});
  // Any number of trailing full stops is removed before the look-up.
  EXPECT_TRUE(texts_of(extract_claims("Sept" + std::string(100, '.') + " 15", "en", true), ClaimKind::Numeric).empty());
  EXPECT_EQ(texts_of(extract_claims("xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxmarch 15", "en", true), ClaimKind::Numeric),
            Texts{"15"});
}

TEST(DayOfMonth, LongGluedRunIsReadOnce) {
  // Every figure of one long word without spaces is a day candidate.
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "11a";
  const auto claims = extract_claims(text, "en", true);
  EXPECT_EQ(texts_of(claims, ClaimKind::Numeric).size(), 100000u);
  EXPECT_EQ(claims.size(), 100001u);
}

TEST(DayOfMonth, MonthWordsIgnoreCaseAndTrailingStops) {
  EXPECT_TRUE(is_month_word("MARCH"));
  EXPECT_TRUE(is_month_word("Sept.."));
  EXPECT_TRUE(is_month_word("DÉCEMBRE"));
  EXPECT_TRUE(is_month_word("märz"));
  EXPECT_FALSE(is_month_word(""));
  EXPECT_FALSE(is_month_word("..."));
  EXPECT_FALSE(is_month_word("marches"));
}

TEST(Multipliers, MultipliersAndDivisorsAreDropped) {
  for (const char* text : {"x × 100", "100 * x", "100\\cdot x", "x \\times 1000", "2 · 100 = 200", "(a + b) / 12",
                           "(a+b)÷ 10"}) {
    const auto numerics = texts_of(extract_claims(text, "en", true), ClaimKind::Numeric);
    EXPECT_TRUE(std::find(numerics.begin(), numerics.end(), "100") == numerics.end() &&
                std::find(numerics.begin(), numerics.end(), "1000") == numerics.end() &&
                std::find(numerics.begin(), numerics.end(), "12") == numerics.end() &&
                std::find(numerics.begin(), numerics.end(), "10") == numerics.end())
        << text;
  }
  EXPECT_EQ(texts_of(extract_claims("100.0 × x", "en", true), ClaimKind::Numeric), Texts{"100.0"});
  EXPECT_EQ(texts_of(extract_claims("x × 50", "en", true), ClaimKind::Numeric), Texts{"50"});
  EXPECT_EQ(texts_of(extract_claims("a / 12", "en", true), ClaimKind::Numeric), Texts{"12"});
  EXPECT_EQ(texts_of(extract_claims("(a + b) / 13", "en", true), ClaimKind::Numeric), Texts{"13"});
}

TEST(StopWords, ListChosenByExactLocaleText) {
  EXPECT_EQ(texts_of(extract_claims("La casa y el perro", "es", true), ClaimKind::Word), (Texts{"casa", "perro"}));
  EXPECT_EQ(texts_of(extract_claims("La casa y el perro", "gl", true), ClaimKind::Word), (Texts{"casa", "perro"}));
  EXPECT_EQ(texts_of(extract_claims("La casa y el perro", "ES", true), ClaimKind::Word),
            (Texts{"La", "casa", "y", "el", "perro"}));
  EXPECT_EQ(texts_of(extract_claims("Der Hund und die Katze", "de", true), ClaimKind::Word), (Texts{"Hund", "Katze"}));
  EXPECT_EQ(texts_of(extract_claims("Le chat et l'eau à Paris", "fr", true), ClaimKind::Word),
            (Texts{"chat", "l'eau", "Paris"}));
  EXPECT_EQ(texts_of(extract_claims("Il gatto è più bello", "it", true), ClaimKind::Word), (Texts{"gatto", "bello"}));
  EXPECT_EQ(texts_of(extract_claims("The cat and the dog", "xx", true), ClaimKind::Word), (Texts{"cat", "dog"}));
  EXPECT_EQ(texts_of(extract_claims("The cat and the dog", "en-GB", true), ClaimKind::Word), (Texts{"cat", "dog"}));
  EXPECT_TRUE(is_stop_word("más", "ca"));
  EXPECT_TRUE(is_stop_word("über", "de"));
  EXPECT_FALSE(is_stop_word("über", "en"));
}

TEST(ClaimSpans, TrimmedSpanNeedsALetterAndBoundaries) {
  EXPECT_EQ(claim_trimmed_span("  ab  ", 0, 6), (records::Span{2, 4}));
  EXPECT_EQ(claim_trimmed_span(" 12. ", 0, 5), std::nullopt);
  EXPECT_EQ(claim_trimmed_span("é", 1, 2), std::nullopt);  // inside a character
  EXPECT_EQ(claim_trimmed_span("ab", 1, 9), std::nullopt);
  EXPECT_EQ(claim_trimmed_span("\u2028Ⅻ\u3000", 0, 9), (records::Span{3, 6}));
}

}  // namespace
}  // namespace qv::verifiers
