#pragma once
// A JSON value: null, boolean, unsigned or negative 64-bit integer, binary64
// float, UTF-8 string, array, or object. Objects keep insertion order and
// their keys are unique. The number representation is part of the value:
// the integer 1 and the float 1.0 are different values.
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "json/ordered_map.hpp"

namespace qv::json {

class Value;
using Array = std::vector<Value>;
// An object: the insertion-ordered map of values, keys unique.
using Object = OrderedMap<Value>;
using Member = KeyedEntry<Value>;

class Value {
 public:
  enum class Kind : std::uint8_t { Null, Bool, U64, I64, F64, String, Array, Object };

  Value() = default;
  // Out of line: keeps the variant's copy and move code in one place (and
  // out of the callers' inlining, where g++ 12 warns falsely about it).
  Value(const Value& other);
  Value(Value&& other) noexcept;
  Value& operator=(const Value& other);
  Value& operator=(Value&& other) noexcept;
  ~Value();

  Value(std::nullptr_t) {}
  Value(bool b) : v_(b) {}
  // Integers: 0 and above are held unsigned, negative ones signed.
  template <std::integral T>
    requires(!std::same_as<T, bool> && !std::same_as<T, char>)
  Value(T n) {
    if constexpr (std::is_signed_v<T>) {
      if (n < 0) {
        v_ = static_cast<std::int64_t>(n);
        return;
      }
    }
    v_ = static_cast<std::uint64_t>(n);
  }
  Value(double d) : v_(d) {}
  Value(std::string s) : v_(std::move(s)) {}
  Value(std::string_view s) : v_(std::string(s)) {}
  Value(const char* s) : v_(std::string(s)) {}
  Value(json::Array a) : v_(std::move(a)) {}
  Value(json::Object o) : v_(std::move(o)) {}

  Kind kind() const { return static_cast<Kind>(v_.index()); }
  bool is_null() const { return kind() == Kind::Null; }
  bool is_bool() const { return kind() == Kind::Bool; }
  bool is_u64() const { return kind() == Kind::U64; }
  bool is_i64() const { return kind() == Kind::I64; }
  bool is_f64() const { return kind() == Kind::F64; }
  bool is_number() const { return is_u64() || is_i64() || is_f64(); }
  bool is_string() const { return kind() == Kind::String; }
  bool is_array() const { return kind() == Kind::Array; }
  bool is_object() const { return kind() == Kind::Object; }

  // Typed access; asking for the wrong kind is a broken invariant.
  bool as_bool() const { return get<bool>(); }
  std::uint64_t as_u64() const { return get<std::uint64_t>(); }
  std::int64_t as_i64() const { return get<std::int64_t>(); }
  double as_f64() const { return get<double>(); }
  const std::string& as_string() const { return get<std::string>(); }
  std::string& as_string() { return get<std::string>(); }
  const json::Array& as_array() const { return get<json::Array>(); }
  json::Array& as_array() { return get<json::Array>(); }
  const json::Object& as_object() const { return get<json::Object>(); }
  json::Object& as_object() { return get<json::Object>(); }

  // The member of an object, or nullptr (also when this is no object).
  const Value* find(std::string_view key) const;
  Value* find(std::string_view key);

  // Same kind and payload; objects compare members in order; floats by ==.
  bool operator==(const Value& other) const = default;

 private:
  template <class T>
  const T& get() const {
    if (const T* p = std::get_if<T>(&v_)) return *p;
    wrong_kind();
  }
  template <class T>
  T& get() {
    if (T* p = std::get_if<T>(&v_)) return *p;
    wrong_kind();
  }
  [[noreturn]] static void wrong_kind();

  std::variant<std::monostate, bool, std::uint64_t, std::int64_t, double, std::string, json::Array, json::Object> v_;
};

}  // namespace qv::json
