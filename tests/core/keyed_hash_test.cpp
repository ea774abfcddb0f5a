#include "core/keyed_hash.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <unordered_set>

#include "common/flood_keys.hpp"

namespace {

// Known answers of SipHash-1-3 under the zero key, as CPython 3.11 computes
// hash(bytes) with PYTHONHASHSEED=0 (an independent implementation).
TEST(KeyedHash, SipHash13KnownAnswers) {
  EXPECT_EQ(qv::core::siphash13(0, 0, "a"), 4644417185603328019ull);
  EXPECT_EQ(qv::core::siphash13(0, 0, "abcdefgh"), 4574395652268504554ull);
  EXPECT_EQ(qv::core::siphash13(0, 0, "The quick brown fox jumps over the lazy dog"), 10229494255719302430ull);
  EXPECT_EQ(qv::core::siphash13(0, 0, "0123456"), 9298437322660316025ull);
}

// The process key is drawn from the OS: two keys of a random draw agreeing
// with the zero key on several texts would mean the key was never set.
TEST(KeyedHash, ProcessKeyIsNotTheZeroKey) {
  int same = 0;
  for (const char* t : {"a", "b", "key", "0123456789abcdef"}) same += qv::core::keyed_hash(t) == qv::core::siphash13(0, 0, t);
  EXPECT_LT(same, 4);
  qv::core::TextMap<int> map;
  map.emplace("k", 1);
  EXPECT_EQ(map.find(std::string_view("k"))->second, 1);
}

// Keys built to share one value of the unkeyed std::hash pile into one
// bucket of a table on that hash (every insertion compares with all before
// it); on the keyed hash the same keys spread like any others.
TEST(KeyedHash, FloodKeysCollideOnlyUnderTheUnkeyedHash) {
  constexpr std::size_t kCount = 2000;
  const auto keys = qv::testing::std_hash_colliding_keys(kCount);
  ASSERT_EQ(keys.size(), kCount);
  const std::size_t shared = std::hash<std::string>{}(keys[0]);
  EXPECT_TRUE(std::all_of(keys.begin(), keys.end(), [&](const std::string& k) { return std::hash<std::string>{}(k) == shared; }));

  const std::unordered_set<std::string> unkeyed(keys.begin(), keys.end());
  ASSERT_EQ(unkeyed.size(), kCount);
  EXPECT_EQ(unkeyed.bucket_size(unkeyed.bucket(keys[0])), kCount);

  const qv::core::TextSet keyed(keys.begin(), keys.end());
  ASSERT_EQ(keyed.size(), kCount);
  std::size_t largest = 0;
  for (std::size_t b = 0; b < keyed.bucket_count(); ++b) largest = std::max(largest, keyed.bucket_size(b));
  // About one key per bucket; 13 in one bucket has odds below 1e-7.
  EXPECT_LE(largest, 12u);
}

}  // namespace
