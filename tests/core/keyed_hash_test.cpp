#include "core/keyed_hash.hpp"

#include <gtest/gtest.h>

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

}  // namespace
