#include "text/pattern_cache.hpp"

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "core/keyed_hash.hpp"
#include "core/panic.hpp"

namespace qv::text {
namespace {

struct PatternCache {
  std::mutex mutex;
  // Insertion order; a deque never moves its elements, so references handed
  // out stay valid as the cache grows.
  std::deque<std::pair<std::string, regex::Regex>> entries;
  // Pattern -> its entry; the views point into `entries`. Keyed: patterns
  // come from callers' rule sets.
  core::TextViewMap<const regex::Regex*> index;
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
  if (auto found = c.index.find(pattern); found != c.index.end()) return *found->second;
  auto compiled = regex::Regex::compile(pattern);
  if (!compiled) {
    std::string message = "valid regex: " + compiled.error().to_string();
    lock.unlock();
    core::panic(std::move(message));
  }
  const auto& [key, re] = c.entries.emplace_back(std::string(pattern), std::move(*compiled));
  c.index.emplace(key, &re);
  return re;
}

}  // namespace qv::text
