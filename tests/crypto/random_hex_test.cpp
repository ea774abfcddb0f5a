#include <gtest/gtest.h>

#include <array>
#include <set>
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

}  // namespace
