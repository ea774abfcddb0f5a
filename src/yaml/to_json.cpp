#include "yaml/to_json.hpp"

#include <cmath>

#include "json/writer.hpp"
#include "yaml/tree.hpp"

namespace qv::yaml {

namespace {

json::JsonError write_error(std::string message) { return json::JsonError{std::move(message), 0, 0}; }

json::JsonResult<void> write_key(const Node& key, std::string& out) {
  switch (key.kind()) {
    case Node::Kind::String:
      json::write_json_string(key.as_string(), out);
      return {};
    case Node::Kind::Bool:
      out += key.as_bool() ? "\"true\"" : "\"false\"";
      return {};
    case Node::Kind::U64:
      out += '"';
      json::write_json_u64(key.as_u64(), out);
      out += '"';
      return {};
    case Node::Kind::I64:
      out += '"';
      json::write_json_i64(key.as_i64(), out);
      out += '"';
      return {};
    case Node::Kind::F64:
      if (!std::isfinite(key.as_f64())) {
        return std::unexpected(write_error("float key must be finite (got NaN or +/-inf)"));
      }
      out += '"';
      json::write_json_f64(key.as_f64(), out);
      out += '"';
      return {};
    default:
      return std::unexpected(write_error("key must be a string"));
  }
}

// The JSON reader accepts 127 nested arrays and objects; the text written
// here must read back, so deeper output is refused with the reader's text.
constexpr std::size_t kMaxJsonDepth = 127;

json::JsonResult<void> write_node(const Node& n, std::string& out, std::size_t depth) {
  if ((n.is_sequence() || n.is_mapping() || n.is_tagged()) && ++depth > kMaxJsonDepth) {
    return std::unexpected(write_error("recursion limit exceeded"));
  }
  switch (n.kind()) {
    case Node::Kind::Null:
      out += "null";
      return {};
    case Node::Kind::Bool:
      out += n.as_bool() ? "true" : "false";
      return {};
    case Node::Kind::U64:
      json::write_json_u64(n.as_u64(), out);
      return {};
    case Node::Kind::I64:
      json::write_json_i64(n.as_i64(), out);
      return {};
    case Node::Kind::F64:
      json::write_json_f64(n.as_f64(), out);
      return {};
    case Node::Kind::String:
      json::write_json_string(n.as_string(), out);
      return {};
    case Node::Kind::Sequence: {
      out += '[';
      bool first = true;
      for (const Node& item : n.as_sequence()) {
        if (!first) out += ',';
        first = false;
        if (auto r = write_node(item, out, depth); !r) return r;
      }
      out += ']';
      return {};
    }
    case Node::Kind::Mapping: {
      out += '{';
      bool first = true;
      for (const auto& [k, v] : n.as_mapping()) {
        if (!first) out += ',';
        first = false;
        if (auto r = write_key(k, out); !r) return r;
        out += ':';
        if (auto r = write_node(v, out, depth); !r) return r;
      }
      out += '}';
      return {};
    }
    case Node::Kind::Tagged: {
      out += '{';
      json::write_json_string("!" + n.as_tagged().tag, out);
      out += ':';
      if (auto r = write_node(*n.as_tagged().node, out, depth); !r) return r;
      out += '}';
      return {};
    }
  }
  return {};
}

}  // namespace

json::JsonResult<std::string> tree_to_json(const Node& node) {
  std::string out;
  out.reserve(128);
  if (auto r = write_node(node, out, 0); !r) return std::unexpected(std::move(r.error()));
  return out;
}

core::Result<std::string> yaml_to_json(std::string_view text) {
  auto tree = read_tree(text);
  if (!tree) return std::unexpected(core::EngineError::invalid_input(tree.error().display()));
  auto out = tree_to_json(*tree);
  if (!out) return std::unexpected(core::EngineError::serialisation(out.error().message));
  return std::move(*out);
}

}  // namespace qv::yaml
