#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "crypto/hex.hpp"
#include "crypto/random.hpp"
#include "crypto/secret.hpp"

namespace {

using qv::crypto::hex_encode;

TEST(Hex, EncodesLowerCaseTwoDigitsPerByte) {
  const std::vector<unsigned char> bytes = {0x00, 0x0f, 0xa0, 0xff, 0x5c};
  EXPECT_EQ(hex_encode(bytes), "000fa0ff5c");
  EXPECT_EQ(hex_encode({}), "");
}

TEST(Random, FillsRequestsLargerThanOneSystemCall) {
  // 1000 bytes take four requests of at most 256 bytes; every part must be filled.
  std::vector<unsigned char> buf(1000, 0);
  qv::crypto::os_random_bytes(buf);
  for (std::size_t start = 0; start < buf.size(); start += 250) {
    int nonzero = 0;
    for (std::size_t i = start; i < std::min(buf.size(), start + 250); ++i) nonzero += buf[i] != 0;
    EXPECT_GT(nonzero, 200) << "block at " << start;
  }
}

TEST(Random, DrawsDifferentBytesEachCall) {
  std::set<std::string> seen;
  for (int i = 0; i < 50; ++i) {
    std::array<unsigned char, 16> b{};
    qv::crypto::os_random_bytes(b);
    seen.insert(hex_encode(b));
  }
  EXPECT_EQ(seen.size(), 50u);
}

TEST(Secret, MovedFromBufferIsWiped) {
  qv::crypto::SecretBytes<8> a;
  for (std::size_t i = 0; i < 8; ++i) a.data()[i] = static_cast<unsigned char>(i + 1);
  qv::crypto::SecretBytes<8> b(std::move(a));
  for (std::size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(a.data()[i], 0);  // NOLINT(bugprone-use-after-move): the wipe is what is tested
    EXPECT_EQ(b.data()[i], i + 1);
  }
}

TEST(Secret, MovedFromTextIsEmpty) {
  qv::crypto::SecretText a(std::string("00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff"));
  qv::crypto::SecretText b(std::move(a));
  EXPECT_TRUE(a.empty());  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(b.view().size(), 64u);
}

}  // namespace

namespace {

using qv::crypto::decode_hex;
using qv::crypto::decode_hex_into;
using qv::crypto::HexError;

TEST(HexDecode, ReadsEitherCase) {
  const std::vector<unsigned char> want = {0x00, 0xab, 0xcd, 0xef, 0x19};
  EXPECT_EQ(decode_hex("00abcdef19").value(), want);
  EXPECT_EQ(decode_hex("00ABCDEF19").value(), want);
  EXPECT_EQ(decode_hex("00aBcDeF19").value(), want);
  EXPECT_TRUE(decode_hex("").value().empty());
}

TEST(HexDecode, OddLengthIsReportedBeforeABadCharacter) {
  EXPECT_EQ(decode_hex("abc").error().display(), "Odd number of digits");
  EXPECT_EQ(decode_hex("zz z").error().display(), "Invalid character 'z' at position 0");
  EXPECT_EQ(decode_hex("zzz").error().display(), "Odd number of digits");
  EXPECT_EQ(decode_hex("0").error().kind, HexError::Kind::OddLength);
}

TEST(HexDecode, NamesTheFirstBadByteAndItsIndex) {
  EXPECT_EQ(decode_hex("0g").error().display(), "Invalid character 'g' at position 1");
  EXPECT_EQ(decode_hex("g0").error().display(), "Invalid character 'g' at position 0");
  EXPECT_EQ(decode_hex("00112x3y").error().display(), "Invalid character 'x' at position 5");
  EXPECT_EQ(decode_hex("0x00").error().display(), "Invalid character 'x' at position 1");
  // A two-byte UTF-8 character: its first byte is reported, as a Latin-1 character.
  EXPECT_EQ(decode_hex("ab\xc3\xa9").error().display(), "Invalid character '\xc3\x83' at position 2");
}

TEST(HexDecode, ShowsEachByteAsACharacterLiteral) {
  const std::vector<std::pair<unsigned char, std::string>> cases = {
      {'z', "'z'"},          {'\'', "'\\''"},         {'\\', "'\\\\'"},        {'"', "'\"'"},
      {' ', "' '"},          {'\t', "'\\t'"},         {'\n', "'\\n'"},         {'\r', "'\\r'"},
      {0x00, "'\\0'"},       {0x01, "'\\u{1}'"},      {0x1f, "'\\u{1f}'"},     {0x7f, "'\\u{7f}'"},
      {0x80, "'\\u{80}'"},   {0x9f, "'\\u{9f}'"},     {0xa0, "'\\u{a0}'"},     {0xad, "'\\u{ad}'"},
      {0xa1, "'\xc2\xa1'"},  {0xc3, "'\xc3\x83'"},    {0xff, "'\xc3\xbf'"},    {'~', "'~'"},
  };
  for (const auto& [byte, literal] : cases) {
    std::string text = "00";
    text += static_cast<char>(byte);
    text += '0';
    EXPECT_EQ(decode_hex(text).error().display(), "Invalid character " + literal + " at position 2")
        << static_cast<int>(byte);
  }
}

// Every byte value at places of long texts (decoded many digits at a time)
// and of their tails, alone or before a later bad byte: a digit of either
// case gives its nibble, any other byte the error at its place.
TEST(HexDecode, EveryByteAtEveryKindOfPlace) {
  auto nibble = [](int c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::size_t decoded = 0;
  std::size_t refused = 0;
  for (const bool later_bad : {false, true}) {
    for (const std::size_t size : {64u, 70u}) {
      for (const std::size_t place : {0u, 1u, 15u, 16u, 17u, 31u, 32u, 47u, 62u}) {
        for (int c = 0; c < 256; ++c) {
          std::string text(size, '7');
          text[place] = static_cast<char>(c);
          if (later_bad) text[size - 1] = 'x';
          const auto got = decode_hex(text);
          if (nibble(c) < 0 || later_bad) {
            ASSERT_FALSE(got.has_value()) << c << " at " << place;
            EXPECT_EQ(got.error().position, nibble(c) < 0 ? place : size - 1) << c << " at " << place;
            EXPECT_EQ(got.error().byte, nibble(c) < 0 ? c : 'x');
            ++refused;
          } else {
            ASSERT_TRUE(got.has_value()) << c << " at " << place;
            const unsigned char want = place % 2 == 0 ? static_cast<unsigned char>(nibble(c) << 4 | 7)
                                                      : static_cast<unsigned char>(0x70 | nibble(c));
            EXPECT_EQ((*got)[place / 2], want) << c << " at " << place;
            EXPECT_EQ((*got)[(place / 2) ^ 1], 0x77);
            ++decoded;
          }
        }
      }
    }
  }
  EXPECT_EQ(decoded, 2u * 9 * 22);
  EXPECT_EQ(refused, 4u * 9 * 256 - decoded);
}

TEST(HexDecode, FixedSizeChecksLengthBeforeCharacters) {
  std::array<unsigned char, 4> out{};
  EXPECT_EQ(decode_hex_into("abc", out).error().display(), "Odd number of digits");
  EXPECT_EQ(decode_hex_into("zzzzzz", out).error().display(), "Invalid string length");
  EXPECT_EQ(decode_hex_into("zz000000", out).error().display(), "Invalid character 'z' at position 0");
  ASSERT_TRUE(decode_hex_into("DEADbeef", out));
  EXPECT_EQ(hex_encode(out), "deadbeef");
}

}  // namespace
