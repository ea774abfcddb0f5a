#include "yaml/node.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace qv::yaml {

namespace {

Tagged copy_tagged(const Tagged& t) { return Tagged{t.tag, std::make_unique<Node>(*t.node)}; }

void append_size(std::string& out, std::size_t n) {
  out += std::to_string(n);
  out += ':';
}

void append_key_form(const Node& n, std::string& out) {
  switch (n.kind()) {
    case Node::Kind::Null:
      out += 'n';
      return;
    case Node::Kind::Bool:
      out += n.as_bool() ? "T" : "F";
      return;
    case Node::Kind::U64:
      out += 'u';
      out += std::to_string(n.as_u64());
      out += ';';
      return;
    case Node::Kind::I64:
      out += 'i';
      out += std::to_string(n.as_i64());
      out += ';';
      return;
    case Node::Kind::F64: {
      double d = n.as_f64();
      out += 'f';
      if (std::isnan(d)) {
        out += "nan;";
        return;
      }
      if (d == 0) d = 0;  // -0.0 equals 0.0
      char bytes[sizeof d];
      std::memcpy(bytes, &d, sizeof d);
      out.append(bytes, sizeof d);
      return;
    }
    case Node::Kind::String:
      out += 's';
      append_size(out, n.as_string().size());
      out += n.as_string();
      return;
    case Node::Kind::Sequence:
      out += '[';
      append_size(out, n.as_sequence().size());
      for (const Node& item : n.as_sequence()) append_key_form(item, out);
      return;
    case Node::Kind::Mapping: {
      // A set of entries: the entries' forms in sorted order.
      std::vector<std::string> entries;
      entries.reserve(n.as_mapping().size());
      for (const auto& [k, v] : n.as_mapping()) {
        std::string e;
        append_key_form(k, e);
        append_key_form(v, e);
        entries.push_back(std::move(e));
      }
      std::sort(entries.begin(), entries.end());
      out += '{';
      append_size(out, entries.size());
      for (const std::string& e : entries) out += e;
      return;
    }
    case Node::Kind::Tagged:
      out += '!';
      append_size(out, n.as_tagged().tag.size());
      out += n.as_tagged().tag;
      append_key_form(*n.as_tagged().node, out);
      return;
  }
}

}  // namespace

Node::Node(const Node& other) {
  if (other.is_tagged()) {
    v_.emplace<8>(copy_tagged(other.as_tagged()));
  } else {
    std::visit(
        [this](const auto& x) {
          using X = std::decay_t<decltype(x)>;
          if constexpr (!std::is_same_v<X, Tagged>) v_ = x;
        },
        other.v_);
  }
}

Node& Node::operator=(const Node& other) {
  if (this != &other) {
    Node copy(other);
    *this = std::move(copy);
  }
  return *this;
}

const Node* Node::find(std::string_view key) const {
  if (!is_mapping()) return nullptr;
  for (const auto& [k, v] : as_mapping()) {
    if (k.is_string() && k.as_string() == key) return &v;
  }
  return nullptr;
}

Node* Node::find(std::string_view key) {
  return const_cast<Node*>(static_cast<const Node&>(*this).find(key));
}

bool operator==(const Node& a, const Node& b) {
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case Node::Kind::Null:
      return true;
    case Node::Kind::Bool:
      return a.as_bool() == b.as_bool();
    case Node::Kind::U64:
      return a.as_u64() == b.as_u64();
    case Node::Kind::I64:
      return a.as_i64() == b.as_i64();
    case Node::Kind::F64:
      return (std::isnan(a.as_f64()) && std::isnan(b.as_f64())) || a.as_f64() == b.as_f64();
    case Node::Kind::String:
      return a.as_string() == b.as_string();
    case Node::Kind::Sequence:
      return a.as_sequence() == b.as_sequence();
    case Node::Kind::Mapping:
      return a.as_mapping().size() == b.as_mapping().size() && key_form(a) == key_form(b);
    case Node::Kind::Tagged:
      return a.as_tagged().tag == b.as_tagged().tag && *a.as_tagged().node == *b.as_tagged().node;
  }
  return false;
}

std::string key_form(const Node& node) {
  std::string out;
  append_key_form(node, out);
  return out;
}

}  // namespace qv::yaml
