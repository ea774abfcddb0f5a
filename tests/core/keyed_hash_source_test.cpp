// The keyed hash against its random source. This binary is linked with
// getentropy wrapped, so the source can be made to fail or to give known
// bytes. The key is drawn once per process, so the steps run in one test.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>

#include "core/keyed_hash.hpp"
#include "core/panic.hpp"
#include "json/ordered_map.hpp"

namespace {

bool source_fails = true;
int source_calls = 0;

}  // namespace

// Fails with ENOSYS (as without a kernel source), or gives the bytes 1, 2, 3...
extern "C" int __wrap_getentropy(void* buffer, std::size_t length) {
  ++source_calls;
  if (source_fails) {
    errno = ENOSYS;
    return -1;
  }
  auto* bytes = static_cast<unsigned char*>(buffer);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<unsigned char>(i + 1);
  return 0;
}

namespace {

template <class F>
std::string panic_of(F&& f) {
  try {
    f();
  } catch (const qv::core::Panic& p) {
    return p.message;
  }
  return "no panic";
}

TEST(KeyedHashSource, FailingSourceStopsEveryUseUntilAKeyIsDrawn) {
  const std::string expected = "Error: " + std::string(std::strerror(ENOSYS)) + " (os error " + std::to_string(ENOSYS) + ")";

  // No key, no hash: each use asks the source again and panics.
  EXPECT_EQ(panic_of([] { qv::core::keyed_hash("a"); }), expected);
  qv::core::TextMap<int> map;
  EXPECT_EQ(panic_of([&] { map.emplace("k", 1); }), expected);
  EXPECT_TRUE(map.empty());
  EXPECT_EQ(source_calls, 2);

  // An ordered map whose first index cannot be built keeps its entries
  // and finds them by scanning.
  qv::json::OrderedMap<int> ordered;
  for (int i = 0; i < 15; ++i) ordered.insert_or_assign("k" + std::to_string(i), i);
  EXPECT_EQ(source_calls, 2);
  EXPECT_EQ(panic_of([&] { ordered.insert_or_assign("k15", 15); }), expected);
  ASSERT_EQ(ordered.size(), 16u);
  EXPECT_EQ(source_calls, 3);

  // Once the source works, the key is its first 16 bytes (two little-endian
  // halves), drawn once.
  source_fails = false;
  constexpr std::uint64_t k0 = 0x0807060504030201ull, k1 = 0x100f0e0d0c0b0a09ull;
  for (const char* t : {"a", "", "0123456789abcdef", "The quick brown fox"}) {
    EXPECT_EQ(qv::core::keyed_hash(t), qv::core::siphash13(k0, k1, t)) << t;
  }
  EXPECT_NE(qv::core::keyed_hash("a"), qv::core::siphash13(0, 0, "a"));
  EXPECT_EQ(source_calls, 4);
  map.emplace("k", 1);
  EXPECT_EQ(map.at("k"), 1);

  // The ordered map builds its index on the next insertion; every entry is
  // found through it, and a repeated key still replaces in place.
  ordered.insert_or_assign("k16", 16);
  ordered.insert_or_assign("k3", 33);
  ASSERT_EQ(ordered.size(), 17u);
  for (int i = 0; i < 17; ++i) {
    const int* v = ordered.find("k" + std::to_string(i));
    ASSERT_NE(v, nullptr) << i;
    EXPECT_EQ(*v, i == 3 ? 33 : i);
  }
  EXPECT_EQ(ordered.find("k17"), nullptr);
  EXPECT_EQ(source_calls, 4);
}

}  // namespace
