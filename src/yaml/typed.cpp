#include "yaml/typed.hpp"

#include "json/messages.hpp"
#include "unicode/quote.hpp"
#include "yaml/scalar.hpp"
#include "yaml/tags.hpp"

namespace qv::yaml {

YamlResult<std::optional<std::size_t>> Cursor::enter_alias() {
  const Event& e = event();
  if (e.kind != EventKind::Alias) return std::optional<std::size_t>();
  if (++jumps_ > jump_limit_) return std::unexpected(bare_error(kRepetitionLimit));
  const std::size_t resume = pos_ + 1;
  pos_ = e.target;
  return std::optional<std::size_t>(resume);
}

namespace {

bool is_core(const Event& e, std::string_view name) {
  return e.tag.size() == kCoreTagPrefix.size() + name.size() && e.tag.starts_with(kCoreTagPrefix) &&
         e.tag.ends_with(name);
}

}  // namespace

namespace typed {

namespace {

std::string describe_node(const Node& n) {
  switch (n.kind()) {
    case Node::Kind::Null:
      return "unit value";
    case Node::Kind::Bool:
      return n.as_bool() ? "boolean `true`" : "boolean `false`";
    case Node::Kind::U64:
      return "integer `" + std::to_string(n.as_u64()) + "`";
    case Node::Kind::I64:
      return "integer `" + std::to_string(n.as_i64()) + "`";
    case Node::Kind::F64:
      return "floating point `" + display_float(n.as_f64()) + "`";
    case Node::Kind::String:
      return json::describe_string(n.as_string());
    case Node::Kind::Sequence:
      return "sequence";
    case Node::Kind::Mapping:
      return "map";
    case Node::Kind::Tagged:
      return describe_node(*n.as_tagged().node);
  }
  return {};
}

}  // namespace

std::string describe(const Event& e) {
  switch (e.kind) {
    case EventKind::SequenceStart:
      return "sequence";
    case EventKind::MappingStart:
      return "map";
    default:
      break;
  }
  auto n = scalar_node(e);
  if (!n) return json::describe_string(e.text);
  return describe_node(*n);
}

YamlError invalid_type(Cursor& c, std::string_view expected) {
  return c.at(json::invalid_type(describe(c.event()), expected).message, c.event().mark);
}

bool is_absent(const Event& e, bool& bad_null) {
  bad_null = false;
  if (e.kind != EventKind::Scalar) return false;
  if (e.style != ScalarStyle::Plain) return false;
  if (e.tag.empty()) return e.text.empty() || resolve_null(e.text);
  if (is_core(e, "null")) {
    if (resolve_null(e.text)) return true;
    bad_null = true;
  }
  return false;
}

YamlError bad_null(Cursor& c) {
  return c.at(json::invalid_value(json::describe_string(c.event().text), "null").message, c.event().mark);
}

YamlResult<std::size_t> read_variant(Cursor& c, std::span<const std::string_view> words) {
  const Event& e = c.event();
  if (e.kind != EventKind::Scalar) return std::unexpected(invalid_type(c, "variant identifier"));
  auto find = [&](std::string_view word) -> std::optional<std::size_t> {
    for (std::size_t i = 0; i < words.size(); ++i) {
      if (words[i] == word) return i;
    }
    return std::nullopt;
  };
  if (is_local_tag(e.tag)) {
    // A local tag names the variant; its value must be null.
    const std::string name = local_tag_name(e.tag);
    const auto i = find(name);
    if (!i) return std::unexpected(bare_error(json::unknown_variant(name, words).message));
    if (!(e.style == ScalarStyle::Plain && (e.text.empty() || resolve_null(e.text)))) {
      return std::unexpected(bad_null(c));
    }
    c.advance();
    return *i;
  }
  const auto i = find(e.text);
  if (!i) return std::unexpected(c.at(json::unknown_variant(e.text, words).message, e.mark));
  c.advance();
  return *i;
}

YamlResult<std::string_view> read_key(Cursor& c) {
  auto resume = c.enter_alias();
  if (!resume) return std::unexpected(std::move(resume.error()));
  const Event& e = c.event();
  if (e.kind != EventKind::Scalar) {
    return std::unexpected(c.at(json::invalid_type(describe(e), "field identifier").message, e.mark));
  }
  c.advance();
  c.resume(*resume);
  return std::string_view(e.text);
}

YamlError unknown_field(Cursor& c, std::string_view key, const Mark& mark, std::span<const std::string_view> names) {
  return c.at(json::unknown_field(key, names).message, mark);
}

YamlError missing_field(Cursor& c, std::string_view name, const Mark& mark) {
  return c.at(json::missing_field(name).message, mark);
}

YamlError duplicate_field(Cursor& c, std::string_view name, const Mark& mark) {
  return c.at(json::duplicate_field(name).message, mark);
}

}  // namespace typed

YamlResult<void> TypeReader<std::string>::read(Cursor& c, std::string& out) {
  const Event& e = c.event();
  if (e.kind != EventKind::Scalar) return std::unexpected(typed::invalid_type(c, "a string"));
  out.assign(e.text);
  c.advance();
  return {};
}

YamlResult<void> TypeReader<bool>::read(Cursor& c, bool& out) {
  const Event& e = c.event();
  // A plain scalar whatever its tag, or a literal block tagged !!bool.
  const bool accepted = e.kind == EventKind::Scalar && (e.style == ScalarStyle::Plain ||
                                                        (e.style == ScalarStyle::Literal && is_core(e, "bool")));
  if (!accepted || !resolve_bool(e.text, out)) return std::unexpected(typed::invalid_type(c, "a boolean"));
  c.advance();
  return {};
}

}  // namespace qv::yaml
