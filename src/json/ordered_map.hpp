#pragma once
// The one insertion-ordered map of the project: text keys, unique, kept in
// the order in which they first came. JSON objects are this map of values;
// typed reading fills it for maps whose order is part of their meaning.
//
// Small maps are searched in place; once a map grows, an open-addressed
// index of positions is kept beside the entries, hashed with the keyed hash
// (keys come from callers), so filling a map of n entries costs O(n), also
// from hostile input and when keys repeat.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/keyed_hash.hpp"
#include "core/panic.hpp"

namespace qv::json {

template <class V>
struct KeyedEntry {
  std::string key;
  V value;
  bool operator==(const KeyedEntry&) const = default;
};

template <class V>
class OrderedMap {
 public:
  using Entry = KeyedEntry<V>;
  using iterator = typename std::vector<Entry>::iterator;
  using const_iterator = typename std::vector<Entry>::const_iterator;

  OrderedMap() = default;
  OrderedMap(std::initializer_list<std::pair<std::string_view, V>> entries) {
    for (const auto& [k, v] : entries) insert_or_assign(std::string(k), v);
  }

  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  const_iterator begin() const { return entries_.cbegin(); }
  const_iterator end() const { return entries_.cend(); }
  iterator begin() { return entries_.begin(); }
  iterator end() { return entries_.end(); }
  const std::vector<Entry>& entries() const { return entries_; }
  const Entry& at(std::size_t i) const { return entries_[i]; }
  Entry& at(std::size_t i) { return entries_[i]; }

  const V* find(std::string_view key) const {
    const std::size_t i = index_of(key);
    return i == kNone ? nullptr : &entries_[i].value;
  }
  V* find(std::string_view key) {
    const std::size_t i = index_of(key);
    return i == kNone ? nullptr : &entries_[i].value;
  }
  bool contains(std::string_view key) const { return index_of(key) != kNone; }

  // Appends, or, when the key is present, replaces its value in place (the
  // entry keeps its first position).
  V& insert_or_assign(std::string key, V value) {
    const std::size_t i = index_of(key);
    if (i != kNone) {
      entries_[i].value = std::move(value);
      return entries_[i].value;
    }
    if (entries_.size() >= UINT32_MAX - 1) core::panic("map too large");
    entries_.push_back(Entry{std::move(key), std::move(value)});
    const std::size_t n = entries_.size();
    if (n >= kIndexFrom) {
      if (slots_.size() < n * 2) {
        rebuild_index();
      } else {
        index_insert(n - 1);
      }
    }
    return entries_.back().value;
  }
  // The key's value, appended as V{} when absent.
  V& operator[](std::string_view key) {
    if (V* v = find(key)) return *v;
    return insert_or_assign(std::string(key), V{});
  }
  // Removes an entry, keeping the order of the others. False when absent.
  bool erase(std::string_view key) {
    const std::size_t i = index_of(key);
    if (i == kNone) return false;
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
    rebuild_index();
    return true;
  }
  void clear() {
    entries_.clear();
    slots_.clear();
  }
  void reserve(std::size_t n) { entries_.reserve(n); }

  // Reorders the entries by the bytes of their keys (unsigned, a prefix
  // first: std::string compares bytes as unsigned char).
  void sort_by_key() {
    auto by_key = [](const Entry& a, const Entry& b) { return a.key < b.key; };
    if (std::is_sorted(entries_.begin(), entries_.end(), by_key)) return;
    std::sort(entries_.begin(), entries_.end(), by_key);
    rebuild_index();
  }

  // Equal when the entries are equal in the same order.
  bool operator==(const OrderedMap& other) const { return entries_ == other.entries_; }

 private:
  static constexpr std::size_t kIndexFrom = 16;  // below this a scan beats hashing
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  std::size_t index_of(std::string_view key) const {
    if (slots_.empty()) {
      for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].key == key) return i;
      }
      return kNone;
    }
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t s = core::keyed_hash(key) & mask;; s = (s + 1) & mask) {
      const std::uint32_t slot = slots_[s];
      if (slot == 0) return kNone;
      if (entries_[slot - 1].key == key) return slot - 1;
    }
  }
  void index_insert(std::size_t i) { index_insert(slots_, i); }
  void index_insert(std::vector<std::uint32_t>& slots, std::size_t i) const {
    const std::size_t mask = slots.size() - 1;
    std::size_t s = core::keyed_hash(entries_[i].key) & mask;
    while (slots[s] != 0) s = (s + 1) & mask;
    slots[s] = static_cast<std::uint32_t>(i + 1);
  }
  // The index is built aside: when hashing panics (the process's hash key
  // could not be drawn), the map is left without an index, which lookups
  // scan, rather than with a partial one.
  void rebuild_index() {
    slots_.clear();
    if (entries_.size() < kIndexFrom) return;
    std::size_t cap = 64;
    while (cap < entries_.size() * 2) cap *= 2;
    std::vector<std::uint32_t> slots(cap, 0);
    for (std::size_t i = 0; i < entries_.size(); ++i) index_insert(slots, i);
    slots_ = std::move(slots);
  }

  std::vector<Entry> entries_;
  // Positions + 1 (0 = free slot); empty while the map is small.
  std::vector<std::uint32_t> slots_;
};

}  // namespace qv::json
