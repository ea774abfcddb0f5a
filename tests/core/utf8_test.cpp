#include <gtest/gtest.h>

#include "core/utf8.hpp"

namespace qv::core {
namespace {

TEST(Utf8, DecodesEachLength) {
  const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // a é € 😀
  std::size_t pos = 0;
  std::u32string got;
  while (pos < text.size()) {
    auto d = decode_utf8(text, pos);
    ASSERT_TRUE(d.has_value()) << pos;
    got.push_back(d->code_point);
    pos += d->length;
  }
  EXPECT_EQ(got, U"a\u00E9\u20AC\U0001F600");
}

TEST(Utf8, RefusesMalformedSequences) {
  for (std::string bad : {"\x80", "\xC0\x80", "\xC1\xBF", "\xC2", "\xE0\x80\x80", "\xED\xA0\x80", "\xF0\x80\x80\x80",
                          "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFE", "\xFF", "\xE2\x82"}) {
    EXPECT_FALSE(decode_utf8(bad, 0).has_value()) << testing::PrintToString(bad);
    EXPECT_FALSE(is_valid_utf8(bad));
  }
  EXPECT_EQ(first_invalid_utf8("ab\xC3\xA9\xFF"), 4u);
  EXPECT_TRUE(is_valid_utf8(std::string("\0\x7F\xEF\xBF\xBF\xF4\x8F\xBF\xBF", 9)));
}

// Long texts (ASCII passed over in blocks): a character, a cut one or a bad
// byte at every place of 48 bytes of ASCII, also after an earlier
// character, is found where stepping one character at a time finds it.
TEST(Utf8, FirstInvalidAtEveryPlaceOfALongText) {
  const auto stepped = [](std::string_view t) {
    std::size_t i = 0;
    while (i < t.size()) {
      const Utf8Step step = utf8_step(t, i);
      if (!step.valid) return i;
      i += step.length;
    }
    return t.size();
  };
  std::size_t compared = 0;
  std::size_t invalid = 0;
  for (const std::string part : {"\xC3\xA9", "\xF0\x9F\x98\x80", "\xE2\x82", "\xFF", "\x80"}) {
    for (const bool earlier : {false, true}) {
      for (std::size_t at = 0; at <= 48; ++at) {
        std::string text(48, 'a');
        if (earlier) text.replace(0, 2, "\xC3\xA9");
        text.insert(at < 2 && earlier ? 2 : at, part);
        EXPECT_EQ(first_invalid_utf8(text), stepped(text)) << testing::PrintToString(text);
        invalid += stepped(text) != text.size();
        ++compared;
      }
    }
  }
  EXPECT_EQ(compared, 5u * 2 * 49);
  EXPECT_EQ(invalid, 3u * 2 * 49);
}

// An ill-formed part is the longest prefix of a well-formed sequence, or one
// byte; a replacing reader turns each into one U+FFFD.
TEST(Utf8, StepsOverIllFormedPartsByTheirLongestValidPrefix) {
  const struct {
    std::string text;
    std::size_t length;
  } cases[] = {{"\x80\x80", 1},     {"\xC0\xAF", 1},         {"\xC2", 1},         {"\xE2\x82", 2},
               {"\xE2\x82" "A", 2}, {"\xE0\x9F\x80", 1},     {"\xED\xA0\x80", 1}, {"\xF0\x9F\x98", 3},
               {"\xF4\x90\x80", 1}, {"\xF0\x9F\x98" "A", 3}, {"\xFF", 1}};
  for (const auto& c : cases) {
    const Utf8Step step = utf8_step(c.text, 0);
    EXPECT_FALSE(step.valid) << testing::PrintToString(c.text);
    EXPECT_EQ(step.code_point, kReplacementCharacter);
    EXPECT_EQ(step.length, c.length) << testing::PrintToString(c.text);
  }
  const Utf8Step ok = utf8_step("x\xF0\x9F\x98\x80", 1);
  EXPECT_TRUE(ok.valid);
  EXPECT_EQ(ok.code_point, U'\U0001F600');
  EXPECT_EQ(ok.length, 4u);
}

TEST(Utf8, StepsBackToTheLeadByteOrOneByte) {
  const std::string text = "a\xE2\x82\xAC\x80\xE2\x82";  // a € <stray> <cut €>
  const Utf8Step euro = utf8_step_back(text, 4);
  EXPECT_TRUE(euro.valid);
  EXPECT_EQ(euro.code_point, U'\u20AC');
  EXPECT_EQ(euro.length, 3u);
  const Utf8Step stray = utf8_step_back(text, 5);  // the € does not end here
  EXPECT_FALSE(stray.valid);
  EXPECT_EQ(stray.length, 1u);
  const Utf8Step cut = utf8_step_back(text, 7);  // the same ill-formed part as forwards
  EXPECT_FALSE(cut.valid);
  EXPECT_EQ(cut.length, 2u);
  EXPECT_EQ(utf8_step_back(text, 1).code_point, U'a');
  EXPECT_EQ(utf8_step_back("\x80\x80\x80\x80\x80", 5).length, 1u);
}

TEST(Utf8, EncodeRoundTripsAcrossLengthBoundaries) {
  for (char32_t cp : {0x0u, 0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xD7FFu, 0xE000u, 0xFFFFu, 0x10000u, 0x10FFFFu}) {
    std::string s;
    append_utf8(s, cp);
    EXPECT_EQ(s.size(), utf8_length(cp));
    auto d = decode_utf8(s, 0);
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->code_point, cp);
    EXPECT_EQ(d->length, s.size());
  }
}

}  // namespace
}  // namespace qv::core
