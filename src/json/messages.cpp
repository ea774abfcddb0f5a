#include "json/messages.hpp"

#include "json/writer.hpp"
#include "unicode/quote.hpp"

namespace qv::json {

std::string one_of(std::span<const std::string_view> names) {
  std::string out;
  auto quote = [&out](std::string_view name) {
    out += '`';
    out += name;
    out += '`';
  };
  if (names.size() == 1) {
    quote(names[0]);
  } else if (names.size() == 2) {
    quote(names[0]);
    out += " or ";
    quote(names[1]);
  } else if (!names.empty()) {
    out += "one of ";
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (i > 0) out += ", ";
      quote(names[i]);
    }
  }
  return out;
}

namespace {
JsonError bare(std::string message) { return JsonError{std::move(message), 0, 0}; }

std::string quoted_name(std::string_view prefix, std::string_view name) {
  std::string out(prefix);
  out += " `";
  out += name;
  out += '`';
  return out;
}

// "{prefix} `{name}`, expected ..." or "..., there are no {kinds}".
JsonError unknown_name(std::string_view prefix, std::string_view name, std::span<const std::string_view> expected,
                       std::string_view kinds) {
  std::string m = quoted_name(prefix, name);
  if (expected.empty()) {
    m += ", there are no ";
    m += kinds;
  } else {
    m += ", expected " + one_of(expected);
  }
  return bare(std::move(m));
}

// "{found_part}, expected {expected}"
JsonError found_but_expected(std::string found_part, std::string_view expected) {
  found_part += ", expected ";
  found_part += expected;
  return bare(std::move(found_part));
}
}  // namespace

JsonError missing_field(std::string_view name) { return bare(quoted_name("missing field", name)); }

JsonError duplicate_field(std::string_view name) { return bare(quoted_name("duplicate field", name)); }

JsonError unknown_field(std::string_view name, std::span<const std::string_view> expected) {
  return unknown_name("unknown field", name, expected, "fields");
}

JsonError unknown_variant(std::string_view name, std::span<const std::string_view> expected) {
  return unknown_name("unknown variant", name, expected, "variants");
}

JsonError invalid_type(std::string_view unexpected, std::string_view expected) {
  return found_but_expected("invalid type: " + std::string(unexpected), expected);
}

JsonError invalid_value(std::string_view unexpected, std::string_view expected) {
  return found_but_expected("invalid value: " + std::string(unexpected), expected);
}

JsonError invalid_length(std::size_t length, std::string_view expected) {
  return found_but_expected("invalid length " + std::to_string(length), expected);
}

std::string describe_string(std::string_view text) { return "string " + unicode::debug_quote(text); }

std::string describe(const Value& value) {
  switch (value.kind()) {
    case Value::Kind::Null:
      return "null";
    case Value::Kind::Bool:
      return value.as_bool() ? "boolean `true`" : "boolean `false`";
    case Value::Kind::U64:
    case Value::Kind::I64:
      return "integer `" + write_json_compact(value) + "`";
    case Value::Kind::F64:
      return "floating point `" + format_f64(value.as_f64()) + "`";
    case Value::Kind::String:
      return describe_string(value.as_string());
    case Value::Kind::Array:
      return "sequence";
    case Value::Kind::Object:
      return "map";
  }
  return "value";
}

std::string with_elements(std::string_view what, std::size_t count) {
  std::string out(what);
  out += " with ";
  out += std::to_string(count);
  out += count == 1 ? " element" : " elements";
  return out;
}

std::string elements_in_sequence(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " element in sequence" : " elements in sequence");
}

}  // namespace qv::json
