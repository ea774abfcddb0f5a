#include <gtest/gtest.h>

#include <array>
#include <string>

#include "crypto/ed25519.hpp"
#include "crypto/hex.hpp"

namespace {

std::array<unsigned char, 32> bytes32(const std::string& hex) {
  std::array<unsigned char, 32> out{};
  for (std::size_t i = 0; i < 32; ++i) out[i] = static_cast<unsigned char>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
  return out;
}

// RFC 8032, section 7.1, test 1 (empty message).
TEST(Ed25519, SeedGivesTheRfcKeyAndSignature) {
  const auto seed = bytes32("9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60");
  const auto key = qv::crypto::signing_key_from_seed(seed);
  EXPECT_EQ(qv::crypto::hex_encode(key.public_key()),
            "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a");
  EXPECT_EQ(qv::crypto::hex_encode(key.sign({})),
            "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e06522490155"
            "5fb8821590a33bacc61e39701cf9b46bd25bf5f0595bbe24655141438e7a100b");
  EXPECT_EQ(qv::crypto::hex_encode(key.seed()), "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60");
}

TEST(Ed25519, GeneratedKeysDiffer) {
  const auto a = qv::crypto::generate_signing_key();
  const auto b = qv::crypto::generate_signing_key();
  EXPECT_NE(qv::crypto::hex_encode(a.seed()), qv::crypto::hex_encode(b.seed()));
  EXPECT_NE(a.public_key(), b.public_key());
}

}  // namespace
