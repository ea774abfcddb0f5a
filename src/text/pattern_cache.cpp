#include "text/pattern_cache.hpp"

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "core/panic.hpp"

namespace qv::text {
namespace {

struct PatternCache {
  std::mutex mutex;
  // Insertion order; a deque never moves its elements, so references handed
  // out stay valid as the cache grows.
  std::deque<std::pair<std::string, regex::Regex>> entries;
};

PatternCache& cache() {
  // Created on first use and never destroyed.
  static PatternCache* const instance = new PatternCache();
  return *instance;
}

}  // namespace

const regex::Regex& cached_regex(std::string_view pattern) {
  PatternCache& c = cache();
  std::unique_lock<std::mutex> lock(c.mutex);
  for (const auto& [key, re] : c.entries) {
    if (key == pattern) return re;
  }
  auto compiled = regex::Regex::compile(pattern);
  if (!compiled) {
    std::string message = "valid regex: " + compiled.error().to_string();
    lock.unlock();
    core::panic(std::move(message));
  }
  c.entries.emplace_back(std::string(pattern), std::move(*compiled));
  return c.entries.back().second;
}

}  // namespace qv::text
