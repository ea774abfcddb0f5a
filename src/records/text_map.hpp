#pragma once
// A map of text to text that keeps the order in which keys first came.
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qv::records {

class InsertionMap {
 public:
  using Entry = std::pair<std::string, std::string>;

  InsertionMap() = default;
  InsertionMap(std::initializer_list<Entry> entries) {
    for (const auto& [k, v] : entries) set(k, v);
  }

  // Sets `key` to `value`. A new key goes to the end; a key already present
  // keeps its place and takes the new value.
  void set(std::string key, std::string value);
  // The same, under the name the JSON map readers use.
  void insert_or_assign(std::string key, std::string value) { set(std::move(key), std::move(value)); }
  // The value of `key`, or null.
  const std::string* find(std::string_view key) const;

  const std::vector<Entry>& entries() const { return entries_; }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }
  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }

  // Equal when the entries are equal in the same order.
  bool operator==(const InsertionMap& other) const { return entries_ == other.entries_; }

 private:
  // Small maps are searched in place; the index is built once they grow,
  // so that filling a map from hostile input stays linear.
  static constexpr std::size_t kIndexFrom = 16;
  std::vector<Entry> entries_;
  std::unordered_map<std::string, std::size_t> index_;
};

}  // namespace qv::records
