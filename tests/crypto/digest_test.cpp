#include <gtest/gtest.h>

#include <string>

#include "crypto/digest.hpp"
#include "crypto/sha256.hpp"

namespace qv {
namespace {

TEST(Sha256, FipsTestVectors) {
  EXPECT_EQ(crypto::sha256_hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(crypto::sha256_hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(crypto::sha256_hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(Sha256, IncrementalMatchesOneShotAndRestarts) {
  std::string data(1000, 'a');
  crypto::Sha256 h;
  h.update(std::string_view(data).substr(0, 3));
  h.update(std::string_view(data).substr(3));
  EXPECT_EQ(h.finish(), crypto::sha256(data));
  h.update("abc");
  EXPECT_EQ(h.finish(), crypto::sha256("abc"));
}

TEST(TextDigest, PrefixedLowerHex) {
  const std::string d = crypto::text_digest("abc");
  EXPECT_EQ(d, "sha256:ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(d.size(), crypto::kDigestLength);
}

}  // namespace
}  // namespace qv
