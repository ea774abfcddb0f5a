#include "json/value.hpp"

#include <algorithm>
#include <functional>

#include "core/panic.hpp"

namespace qv::json {

namespace {
// Below this size a linear scan beats hashing.
constexpr std::size_t kIndexThreshold = 16;
constexpr std::size_t kNpos = static_cast<std::size_t>(-1);

std::size_t hash_key(std::string_view key) { return std::hash<std::string_view>{}(key); }
}  // namespace

Object::Object(const Object& other) = default;
Object::Object(Object&&) noexcept = default;
Object& Object::operator=(Object&&) noexcept = default;
Object& Object::operator=(const Object& other) = default;
Object::~Object() = default;

std::size_t Object::index_of(std::string_view key) const {
  if (slots_.empty()) {
    for (std::size_t i = 0; i < members_.size(); ++i) {
      if (members_[i].key == key) return i;
    }
    return kNpos;
  }
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t s = hash_key(key) & mask;; s = (s + 1) & mask) {
    const std::uint32_t slot = slots_[s];
    if (slot == 0) return kNpos;
    if (members_[slot - 1].key == key) return slot - 1;
  }
}

void Object::index_insert(std::size_t i) {
  const std::size_t mask = slots_.size() - 1;
  std::size_t s = hash_key(members_[i].key) & mask;
  while (slots_[s] != 0) s = (s + 1) & mask;
  slots_[s] = static_cast<std::uint32_t>(i + 1);
}

void Object::rebuild_index() {
  slots_.clear();
  if (members_.size() < kIndexThreshold) return;
  std::size_t cap = 64;
  while (cap < members_.size() * 2) cap *= 2;
  slots_.assign(cap, 0);
  for (std::size_t i = 0; i < members_.size(); ++i) index_insert(i);
}

const Value* Object::find(std::string_view key) const {
  const std::size_t i = index_of(key);
  return i == kNpos ? nullptr : &members_[i].value;
}

Value* Object::find(std::string_view key) {
  const std::size_t i = index_of(key);
  return i == kNpos ? nullptr : &members_[i].value;
}

Value& Object::insert_or_assign(std::string key, Value value) {
  const std::size_t i = index_of(key);
  if (i != kNpos) {
    members_[i].value = std::move(value);
    return members_[i].value;
  }
  if (members_.size() >= UINT32_MAX - 1) core::panic("object too large");
  members_.push_back(Member{std::move(key), std::move(value)});
  const std::size_t n = members_.size();
  if (n >= kIndexThreshold) {
    if (slots_.size() < n * 2) {
      rebuild_index();
    } else {
      index_insert(n - 1);
    }
  }
  return members_.back().value;
}

Value& Object::operator[](std::string_view key) {
  if (Value* v = find(key)) return *v;
  return insert_or_assign(std::string(key), Value());
}

bool Object::erase(std::string_view key) {
  const std::size_t i = index_of(key);
  if (i == kNpos) return false;
  members_.erase(members_.begin() + static_cast<std::ptrdiff_t>(i));
  rebuild_index();
  return true;
}

void Object::clear() {
  members_.clear();
  slots_.clear();
}

void Object::reserve(std::size_t n) { members_.reserve(n); }

void Object::sort_by_key() {
  // std::string compares with char_traits<char>, which orders bytes as
  // unsigned char, and a prefix first.
  auto by_key = [](const Member& a, const Member& b) { return a.key < b.key; };
  if (std::is_sorted(members_.begin(), members_.end(), by_key)) return;
  std::sort(members_.begin(), members_.end(), by_key);
  rebuild_index();
}

bool Object::operator==(const Object& other) const { return members_ == other.members_; }

Value::Value(const Value& other) = default;
Value::Value(Value&& other) noexcept = default;
Value& Value::operator=(const Value& other) = default;
Value& Value::operator=(Value&& other) noexcept = default;
namespace {

bool is_nonempty_container(const Value& v) {
  return (v.is_array() && !v.as_array().empty()) || (v.is_object() && !v.as_object().empty());
}

bool has_nested_container(const Value& v) {
  if (v.is_array()) {
    for (const Value& e : v.as_array()) {
      if (is_nonempty_container(e)) return true;
    }
  } else if (v.is_object()) {
    for (const Member& m : v.as_object()) {
      if (is_nonempty_container(m.value)) return true;
    }
  }
  return false;
}

// Moves the non-empty containers among v's children onto `work`.
void detach_nested(Value& v, std::vector<Value>& work) {
  if (v.is_array()) {
    for (Value& e : v.as_array()) {
      if (is_nonempty_container(e)) work.push_back(std::move(e));
    }
  } else if (v.is_object()) {
    for (Member& m : v.as_object()) {
      if (is_nonempty_container(m.value)) work.push_back(std::move(m.value));
    }
  }
}

}  // namespace

Value::~Value() {
  const Kind k = kind();
  if (k != Kind::Array && k != Kind::Object) return;
  // Shallow values are destroyed in place, children first; past a fixed
  // depth nested containers are taken apart with a work list instead, so a
  // value of any depth uses bounded native stack.
  static thread_local unsigned depth = 0;
  if (depth < 64) {
    ++depth;
    if (k == Kind::Array) {
      std::get<json::Array>(v_).clear();
    } else {
      std::get<json::Object>(v_).clear();
    }
    --depth;
    return;
  }
  if (!has_nested_container(*this)) return;
  std::vector<Value> work;
  detach_nested(*this, work);
  while (!work.empty()) {
    Value cur = std::move(work.back());
    work.pop_back();
    detach_nested(cur, work);
  }
}

const Value* Value::find(std::string_view key) const {
  const auto* o = std::get_if<json::Object>(&v_);
  return o == nullptr ? nullptr : o->find(key);
}

Value* Value::find(std::string_view key) {
  auto* o = std::get_if<json::Object>(&v_);
  return o == nullptr ? nullptr : o->find(key);
}

void Value::wrong_kind() { core::panic("JSON value accessed as the wrong kind"); }

}  // namespace qv::json
