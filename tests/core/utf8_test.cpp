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
