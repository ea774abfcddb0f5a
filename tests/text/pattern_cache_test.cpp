// The cache of run-time patterns: one compiled pattern per text, shared
// across threads; a fixed pattern that does not compile panics.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "core/panic.hpp"
#include "regex/regex.hpp"
#include "text/pattern_cache.hpp"

namespace qv::text {
namespace {

TEST(PatternCache, CompilesOncePerText) {
  const regex::Regex* first = nullptr;
  std::vector<std::thread> threads;
  std::vector<const regex::Regex*> seen(8);
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&, i] { seen[i] = &cached_regex("[ \\t\\x0B\\x0C]+"); });
  }
  for (auto& t : threads) t.join();
  first = seen[0];
  for (const regex::Regex* p : seen) EXPECT_EQ(p, first);
  EXPECT_NE(&cached_regex("\\n{3,}"), first);
  EXPECT_EQ(&cached_regex("[ \\t\\x0B\\x0C]+"), first);
  EXPECT_TRUE(first->is_match(" "));
  // A fixed pattern that does not compile is a broken build: it panics,
  // caches nothing, and the cache keeps working.
  try {
    cached_regex("(");
    ADD_FAILURE() << "no panic";
  } catch (const core::Panic& p) {
    EXPECT_EQ(p.message.rfind("valid regex: regex parse error:", 0), 0u) << p.message;
  }
  EXPECT_EQ(&cached_regex("[ \\t\\x0B\\x0C]+"), first);
}

}  // namespace
}  // namespace qv::text
