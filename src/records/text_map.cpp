#include "records/text_map.hpp"

namespace qv::records {

const std::string* InsertionMap::find(std::string_view key) const {
  if (!index_.empty()) {
    auto it = index_.find(std::string(key));
    return it == index_.end() ? nullptr : &entries_[it->second].second;
  }
  for (const auto& [k, v] : entries_) {
    if (k == key) return &v;
  }
  return nullptr;
}

void InsertionMap::set(std::string key, std::string value) {
  if (!index_.empty()) {
    auto [it, inserted] = index_.try_emplace(key, entries_.size());
    if (!inserted) {
      entries_[it->second].second = std::move(value);
      return;
    }
    entries_.emplace_back(std::move(key), std::move(value));
    return;
  }
  for (auto& [k, v] : entries_) {
    if (k == key) {
      v = std::move(value);
      return;
    }
  }
  entries_.emplace_back(std::move(key), std::move(value));
  if (entries_.size() >= kIndexFrom) {
    index_.reserve(entries_.size() * 2);
    for (std::size_t i = 0; i < entries_.size(); ++i) index_.emplace(entries_[i].first, i);
  }
}

}  // namespace qv::records
