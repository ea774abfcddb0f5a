#include "json/value.hpp"

#include "core/panic.hpp"

namespace qv::json {

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
