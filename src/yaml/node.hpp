#pragma once
// The untyped YAML tree: null, boolean, u64, negative i64, f64, string,
// sequence, mapping (entries in document order, keys any node) and a
// node under a local tag.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace qv::yaml {

class Node;
using Sequence = std::vector<Node>;
using Mapping = std::vector<std::pair<Node, Node>>;

struct Tagged {
  // The tag without its leading "!" ("money" for "!money"); the bare "!"
  // stays "!".
  std::string tag;
  std::unique_ptr<Node> node;
};

class Node {
 public:
  enum class Kind : std::uint8_t { Null, Bool, U64, I64, F64, String, Sequence, Mapping, Tagged };

  Node() = default;
  Node(const Node& other);
  Node(Node&&) noexcept = default;
  Node& operator=(const Node& other);
  Node& operator=(Node&&) noexcept = default;
  ~Node() = default;

  static Node null() { return Node(); }
  static Node boolean(bool b) { return Node(V(std::in_place_index<1>, b)); }
  static Node u64(std::uint64_t n) { return Node(V(std::in_place_index<2>, n)); }
  // Negative values only; 0 and above are u64.
  static Node i64(std::int64_t n) { return n >= 0 ? u64(static_cast<std::uint64_t>(n)) : Node(V(std::in_place_index<3>, n)); }
  static Node f64(double d) { return Node(V(std::in_place_index<4>, d)); }
  static Node string(std::string s) { return Node(V(std::in_place_index<5>, std::move(s))); }
  static Node sequence(Sequence s = {}) { return Node(V(std::in_place_index<6>, std::move(s))); }
  static Node mapping(Mapping m = {}) { return Node(V(std::in_place_index<7>, std::move(m))); }
  static Node tagged(std::string tag, Node inner) {
    return Node(V(std::in_place_index<8>, Tagged{std::move(tag), std::make_unique<Node>(std::move(inner))}));
  }

  Kind kind() const { return static_cast<Kind>(v_.index()); }
  bool is_null() const { return kind() == Kind::Null; }
  bool is_string() const { return kind() == Kind::String; }
  bool is_sequence() const { return kind() == Kind::Sequence; }
  bool is_mapping() const { return kind() == Kind::Mapping; }
  bool is_tagged() const { return kind() == Kind::Tagged; }

  bool as_bool() const { return std::get<1>(v_); }
  std::uint64_t as_u64() const { return std::get<2>(v_); }
  std::int64_t as_i64() const { return std::get<3>(v_); }
  double as_f64() const { return std::get<4>(v_); }
  const std::string& as_string() const { return std::get<5>(v_); }
  std::string& as_string() { return std::get<5>(v_); }
  const Sequence& as_sequence() const { return std::get<6>(v_); }
  Sequence& as_sequence() { return std::get<6>(v_); }
  const Mapping& as_mapping() const { return std::get<7>(v_); }
  Mapping& as_mapping() { return std::get<7>(v_); }
  const Tagged& as_tagged() const { return std::get<8>(v_); }
  Tagged& as_tagged() { return std::get<8>(v_); }

  // The value of the entry whose key is the string `key`, or nullptr.
  const Node* find(std::string_view key) const;
  Node* find(std::string_view key);

  // Equality as keys compare: an integer never equals a float, NaN equals
  // NaN and 0.0 equals -0.0, mappings compare as sets of entries.
  friend bool operator==(const Node& a, const Node& b);

 private:
  using V = std::variant<std::monostate, bool, std::uint64_t, std::int64_t, double, std::string, Sequence, Mapping,
                         Tagged>;
  explicit Node(V v) : v_(std::move(v)) {}
  V v_;
};

// An injective text form of a node under the key equality above, for
// hashing keys: equal nodes, and only those, have equal forms.
std::string key_form(const Node& node);

}  // namespace qv::yaml
