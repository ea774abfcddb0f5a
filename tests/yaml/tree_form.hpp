#pragma once
// The JSON form the reference cases use for a YAML tree: floats that JSON
// cannot hold as {"$float": ".inf"}, mappings with a key that is not a
// string as {"$map": [[key, value], ...]}, tagged nodes as
// {"$tag": "!tag", "$value": node}.
#include <cmath>

#include "json/value.hpp"
#include "yaml/node.hpp"
#include "yaml/scalar.hpp"

namespace qv::yaml::testing {

inline json::Value tree_form(const Node& n) {
  switch (n.kind()) {
    case Node::Kind::Null:
      return json::Value(nullptr);
    case Node::Kind::Bool:
      return json::Value(n.as_bool());
    case Node::Kind::U64:
      return json::Value(n.as_u64());
    case Node::Kind::I64:
      return json::Value(n.as_i64());
    case Node::Kind::F64: {
      if (std::isfinite(n.as_f64())) return json::Value(n.as_f64());
      json::Object o;
      o.insert_or_assign("$float", json::Value(format_float(n.as_f64())));
      return json::Value(std::move(o));
    }
    case Node::Kind::String:
      return json::Value(n.as_string());
    case Node::Kind::Sequence: {
      json::Array a;
      for (const Node& item : n.as_sequence()) a.push_back(tree_form(item));
      return json::Value(std::move(a));
    }
    case Node::Kind::Mapping: {
      bool all_strings = true;
      for (const auto& [k, v] : n.as_mapping()) all_strings = all_strings && k.is_string();
      if (all_strings) {
        json::Object o;
        for (const auto& [k, v] : n.as_mapping()) o.insert_or_assign(k.as_string(), tree_form(v));
        return json::Value(std::move(o));
      }
      json::Array pairs;
      for (const auto& [k, v] : n.as_mapping()) pairs.push_back(json::Value(json::Array{tree_form(k), tree_form(v)}));
      json::Object o;
      o.insert_or_assign("$map", json::Value(std::move(pairs)));
      return json::Value(std::move(o));
    }
    case Node::Kind::Tagged: {
      json::Object o;
      o.insert_or_assign("$tag", json::Value("!" + n.as_tagged().tag));
      o.insert_or_assign("$value", tree_form(*n.as_tagged().node));
      return json::Value(std::move(o));
    }
  }
  return json::Value();
}

}  // namespace qv::yaml::testing
