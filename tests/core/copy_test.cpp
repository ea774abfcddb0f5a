#include <gtest/gtest.h>

#include <string>

#include "core/copy.hpp"

namespace qv::core {
namespace {

// Every length across each way of copying (none, three single bytes, two
// overlapping words of 4, 8 or 16 bytes, a library copy): the bytes arrive
// in order, and no byte around them is written.
TEST(CopyBytes, EveryLengthCopiesItsBytesAndNoOthers) {
  std::string from;
  for (int i = 0; i < 80; ++i) from += static_cast<char>('!' + i);
  std::size_t compared = 0;
  for (std::size_t n = 0; n <= 70; ++n) {
    std::string to(n + 16, '.');
    copy_bytes(to.data() + 8, from.data() + 3, n);
    EXPECT_EQ(to, std::string(8, '.') + from.substr(3, n) + std::string(8, '.')) << n;
    ++compared;
  }
  EXPECT_EQ(compared, 71u);
}

}  // namespace
}  // namespace qv::core
