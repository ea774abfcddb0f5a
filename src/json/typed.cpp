#include "json/typed.hpp"

namespace qv::json::typed {

namespace {
bool is_digit(int c) { return c >= '0' && c <= '9'; }

std::optional<std::size_t> find_word(std::span<const std::string_view> words, std::string_view w) {
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (words[i] == w) return i;
  }
  return std::nullopt;
}

JsonError stamped(const Parser& p, JsonError e) {
  p.fix_position(e);
  return e;
}
}  // namespace

JsonError peek_invalid_type(Parser& p, std::string_view expected) {
  std::string found;
  const int c = p.peek();
  switch (c) {
    case 'n':
    case 't':
    case 'f': {
      auto word = p.parse_word(c);
      if (!word) return std::move(word.error());
      found = describe(*word);
      break;
    }
    case '"': {
      p.eat();
      auto s = p.parse_string();
      if (!s) return std::move(s.error());
      found = describe_string(*s);
      break;
    }
    case '[':
      found = "sequence";
      break;
    case '{':
      found = "map";
      break;
    default:
      if (c == '-' || is_digit(c)) {
        auto n = p.parse_number();
        if (!n) return std::move(n.error());
        found = describe(*n);
        break;
      }
      return p.peek_error(std::string(Parser::kExpectedValue));
  }
  return stamped(p, invalid_type(found, expected));
}

JsonResult<void> end_array(Parser& p) {
  const int c = p.peek_ws();
  if (c == ']') {
    p.eat();
    return {};
  }
  if (c == ',') {
    p.eat();
    if (p.peek_ws() == ']') return std::unexpected(p.peek_error(std::string(Parser::kTrailingComma)));
    return std::unexpected(p.peek_error(std::string(Parser::kTrailingCharacters)));
  }
  if (c < 0) return std::unexpected(p.peek_error(std::string(Parser::kEofList)));
  return std::unexpected(p.peek_error(std::string(Parser::kTrailingCharacters)));
}

JsonResult<void> end_object(Parser& p) {
  const int c = p.peek_ws();
  if (c == '}') {
    p.eat();
    return {};
  }
  if (c == ',') return std::unexpected(p.peek_error(std::string(Parser::kTrailingComma)));
  if (c < 0) return std::unexpected(p.peek_error(std::string(Parser::kEofObject)));
  return std::unexpected(p.peek_error(std::string(Parser::kTrailingCharacters)));
}

JsonResult<void> finish(Parser& p, JsonResult<void> body, JsonResult<void> end) {
  if (body && end) return {};
  JsonError e = body ? std::move(end.error()) : std::move(body.error());
  return std::unexpected(stamped(p, std::move(e)));
}

JsonResult<std::size_t> read_variant_word(Parser& p, std::span<const std::string_view> words) {
  auto c = peek_value_start(p);
  if (!c) return std::unexpected(std::move(c.error()));
  if (*c != '"') return std::unexpected(peek_invalid_type(p, "variant identifier"));
  p.eat();
  std::string scratch;
  auto s = p.parse_string_view(scratch);
  if (!s) return std::unexpected(std::move(s.error()));
  if (auto i = find_word(words, *s)) return *i;
  return std::unexpected(stamped(p, unknown_variant(*s, words)));
}

JsonResult<std::size_t> variant_from_value(const Value& v, std::span<const std::string_view> words) {
  if (v.is_string()) {
    if (auto i = find_word(words, v.as_string())) return *i;
    return std::unexpected(unknown_variant(v.as_string(), words));
  }
  if (v.is_u64()) {
    if (v.as_u64() < words.size()) return static_cast<std::size_t>(v.as_u64());
    return std::unexpected(
        invalid_value(describe(v), "variant index 0 <= i < " + std::to_string(words.size())));
  }
  return std::unexpected(invalid_type(describe(v), "variant identifier"));
}

JsonResult<std::size_t> read_unit_enum(Parser& p, std::span<const std::string_view> words) {
  const int c = p.peek_ws();
  if (c == '"') return read_variant_word(p, words);
  if (c < 0) return std::unexpected(p.peek_error(std::string(Parser::kEofValue)));
  if (c != '{') return std::unexpected(p.peek_error(std::string(Parser::kExpectedValue)));
  // {"word": null}
  if (auto r = p.enter(); !r) return std::unexpected(std::move(r.error()));
  p.eat();
  auto body = [&]() -> JsonResult<std::size_t> {
    const int k = p.peek_ws();
    if (k < 0) return std::unexpected(p.peek_error(std::string(Parser::kEofObject)));
    if (k == '}') return std::unexpected(p.peek_error(std::string(Parser::kExpectedValue)));
    if (k != '"') return std::unexpected(p.peek_error(std::string(Parser::kKeyMustBeString)));
    auto w = read_variant_word(p, words);
    if (!w) return w;
    if (auto r = object_colon(p); !r) return std::unexpected(std::move(r.error()));
    auto u = peek_value_start(p);
    if (!u) return std::unexpected(std::move(u.error()));
    if (*u != 'n') return std::unexpected(peek_invalid_type(p, "unit"));
    p.eat();
    if (auto r = p.parse_ident("ull"); !r) return std::unexpected(std::move(r.error()));
    return w;
  };
  auto w = body();
  p.leave();
  if (!w) return w;
  const int close = p.peek_ws();
  if (close == '}') {
    p.eat();
    return w;
  }
  if (close < 0) return std::unexpected(p.error(std::string(Parser::kEofObject)));
  return std::unexpected(p.error(std::string(Parser::kExpectedValue)));
}

JsonResult<std::size_t> unit_enum_from_value(const Value& v, std::span<const std::string_view> words) {
  if (v.is_string()) return variant_from_value(v, words);
  if (!v.is_object()) return std::unexpected(invalid_type(describe(v), "string or map"));
  const Object& o = v.as_object();
  if (o.size() != 1) return std::unexpected(invalid_value("map", "map with a single key"));
  auto i = find_word(words, o.at(0).key);
  if (!i) return std::unexpected(unknown_variant(o.at(0).key, words));
  const Value& unit = o.at(0).value;
  // An empty object stands for the unit value too.
  if (!unit.is_null() && !(unit.is_object() && unit.as_object().empty())) {
    return std::unexpected(invalid_type(describe(unit), "unit"));
  }
  return *i;
}

JsonResult<std::uint64_t> read_unsigned(Parser& p, std::uint64_t max, std::string_view expected) {
  auto c = peek_value_start(p);
  if (!c) return std::unexpected(std::move(c.error()));
  if (*c != '-' && !is_digit(*c)) return std::unexpected(peek_invalid_type(p, expected));
  // The common case at once: up to 19 digits without a leading zero (or a
  // lone zero), followed by no fraction or exponent, which fits in 64 bits.
  // Anything else is read as a number in full.
  {
    const std::string_view text = p.text();
    const std::size_t start = p.index();
    std::size_t i = start;
    std::uint64_t value = 0;
    while (i < text.size() && i - start < 20 && is_digit(static_cast<unsigned char>(text[i]))) {
      value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
      ++i;
    }
    const std::size_t digits = i - start;
    const bool plain = digits >= 1 && digits <= 19 && (text[start] != '0' || digits == 1) &&
                       (i == text.size() || (text[i] != '.' && text[i] != 'e' && text[i] != 'E'));
    if (plain && value <= max) {
      p.seek(i);
      return value;
    }
  }
  auto n = p.parse_number();
  if (!n) return std::unexpected(std::move(n.error()));
  if (n->is_u64() && n->as_u64() <= max) return n->as_u64();
  if (n->is_f64()) return std::unexpected(stamped(p, invalid_type(describe(*n), expected)));
  return std::unexpected(stamped(p, invalid_value(describe(*n), expected)));
}

JsonResult<std::uint64_t> unsigned_from_value(const Value& v, std::uint64_t max, std::string_view expected) {
  if (v.is_u64() && v.as_u64() <= max) return v.as_u64();
  if (v.is_u64() || v.is_i64()) return std::unexpected(invalid_value(describe(v), expected));
  return std::unexpected(invalid_type(describe(v), expected));
}

}  // namespace qv::json::typed

namespace qv::json {

JsonResult<void> TypeReader<bool>::read(Parser& p, bool& out) {
  auto c = typed::peek_value_start(p);
  if (!c) return std::unexpected(std::move(c.error()));
  if (*c == 't' || *c == 'f') {
    p.eat();
    if (auto r = p.parse_ident(*c == 't' ? "rue" : "alse"); !r) return r;
    out = *c == 't';
    return {};
  }
  return std::unexpected(typed::peek_invalid_type(p, "a boolean"));
}

JsonResult<void> TypeReader<bool>::from_value(const Value& v, bool& out) {
  if (!v.is_bool()) return std::unexpected(invalid_type(describe(v), "a boolean"));
  out = v.as_bool();
  return {};
}

JsonResult<void> TypeReader<std::string>::read(Parser& p, std::string& out) {
  auto c = typed::peek_value_start(p);
  if (!c) return std::unexpected(std::move(c.error()));
  if (*c != '"') return std::unexpected(typed::peek_invalid_type(p, "a string"));
  p.eat();
  std::string scratch;
  auto s = p.parse_string_view(scratch);
  if (!s) return std::unexpected(std::move(s.error()));
  if (s->data() == scratch.data()) {
    out = std::move(scratch);  // decoded from escapes
  } else {
    out.assign(*s);
  }
  return {};
}

JsonResult<void> TypeReader<std::string>::from_value(const Value& v, std::string& out) {
  if (!v.is_string()) return std::unexpected(invalid_type(describe(v), "a string"));
  out = v.as_string();
  return {};
}

namespace {
double number_as_f64(const Value& n) {
  if (n.is_u64()) return static_cast<double>(n.as_u64());
  if (n.is_i64()) return static_cast<double>(n.as_i64());
  return n.as_f64();
}
}  // namespace

JsonResult<void> TypeReader<double>::read(Parser& p, double& out) {
  auto c = typed::peek_value_start(p);
  if (!c) return std::unexpected(std::move(c.error()));
  if (*c != '-' && !(*c >= '0' && *c <= '9')) return std::unexpected(typed::peek_invalid_type(p, "f64"));
  auto n = p.parse_number();
  if (!n) return std::unexpected(std::move(n.error()));
  out = number_as_f64(*n);
  return {};
}

JsonResult<void> TypeReader<double>::from_value(const Value& v, double& out) {
  if (!v.is_number()) return std::unexpected(invalid_type(describe(v), "f64"));
  out = number_as_f64(v);
  return {};
}

JsonResult<void> TypeReader<Value>::read(Parser& p, Value& out) {
  auto v = p.parse_value();
  if (!v) return std::unexpected(std::move(v.error()));
  out = std::move(*v);
  return {};
}

JsonResult<void> TypeReader<Value>::from_value(const Value& v, Value& out) {
  out = v;
  return {};
}

}  // namespace qv::json
