#pragma once
// The Ed25519 cases of RFC 8032 (section 7.1) kept in tests/crypto/data, one
// a line: secret seed : public key : message : signature, in hex. The test
// target defines QV_CRYPTO_TEST_DATA as that folder. A missing file fails the
// calling test.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace qv::testing {

struct Ed25519RfcCase {
  std::string seed, public_key, message, signature;
};

inline std::vector<Ed25519RfcCase> ed25519_rfc8032_cases() {
  const std::string path = QV_CRYPTO_TEST_DATA "/ed25519_rfc8032.txt";
  std::vector<Ed25519RfcCase> out;
  std::ifstream in(path);
  if (!in) {
    ADD_FAILURE() << "test data missing: " << path;
    return out;
  }
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    Ed25519RfcCase c;
    std::getline(fields, c.seed, ':');
    std::getline(fields, c.public_key, ':');
    std::getline(fields, c.message, ':');
    std::getline(fields, c.signature, ':');
    out.push_back(c);
  }
  return out;
}

}  // namespace qv::testing
