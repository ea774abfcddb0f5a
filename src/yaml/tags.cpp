#include "yaml/tags.hpp"

#include "unicode/quote.hpp"
#include "yaml/scalar.hpp"

namespace qv::yaml {

namespace {

std::string invalid_value(std::string_view text, std::string_view expected) {
  return "invalid value: string " + unicode::debug_quote(text) + ", expected " + std::string(expected);
}

std::expected<Node, std::string> from_resolved(const Resolved& r, std::string_view text) {
  switch (r.kind) {
    case ScalarKind::Null:
      return Node::null();
    case ScalarKind::Bool:
      return Node::boolean(r.b);
    case ScalarKind::U64:
      return Node::u64(r.u);
    case ScalarKind::I64:
      return Node::i64(r.i);
    case ScalarKind::F64:
      return Node::f64(r.f);
    case ScalarKind::U128:
      return std::unexpected("invalid type: integer `" + r.wide + "` as u128, expected any YAML value");
    case ScalarKind::I128:
      return std::unexpected("invalid type: integer `" + r.wide + "` as i128, expected any YAML value");
    case ScalarKind::String:
      break;
  }
  return Node::string(std::string(text));
}

std::expected<Node, std::string> untagged(const Event& e) {
  if (e.style != ScalarStyle::Plain) return Node::string(std::string(e.text));
  return from_resolved(resolve_plain(e.text), e.text);
}

}  // namespace

std::expected<Node, std::string> scalar_node(const Event& e) {
  if (e.tag.empty()) return untagged(e);
  if (is_local_tag(e.tag)) {
    auto inner = untagged(e);
    if (!inner) return inner;
    return Node::tagged(local_tag_name(e.tag), std::move(*inner));
  }
  if (!e.tag.starts_with(kCoreTagPrefix)) return Node::string(std::string(e.text));
  const std::string_view core = std::string_view(e.tag).substr(kCoreTagPrefix.size());
  if (core == "bool") {
    bool b = false;
    if (!resolve_bool(e.text, b)) return std::unexpected(invalid_value(e.text, "a boolean"));
    return Node::boolean(b);
  }
  if (core == "int") {
    Resolved r;
    if (!resolve_int(e.text, r)) return std::unexpected(invalid_value(e.text, "an integer"));
    return from_resolved(r, e.text);
  }
  if (core == "float") {
    double f = 0;
    if (!resolve_float(e.text, f)) return std::unexpected(invalid_value(e.text, "a float"));
    return Node::f64(f);
  }
  if (core == "null") {
    if (!resolve_null(e.text)) return std::unexpected(invalid_value(e.text, "null"));
    return Node::null();
  }
  return Node::string(std::string(e.text));
}

}  // namespace qv::yaml
