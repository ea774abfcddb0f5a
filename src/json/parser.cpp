#include "json/parser.hpp"

#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

#include "core/utf8.hpp"
#include "json/scan.hpp"

namespace qv::json {

namespace {

bool is_digit(int c) { return c >= '0' && c <= '9'; }

int hex_value(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string msg(std::string_view s) { return std::string(s); }

// The byte a one-letter escape stands for, or 0 when the letter is no such
// escape ('u' included: it is read apart).
char simple_escape(int letter) {
  switch (letter) {
    case '"':
    case '\\':
    case '/':
      return static_cast<char>(letter);
    case 'b':
      return '\b';
    case 'f':
      return '\f';
    case 'n':
      return '\n';
    case 'r':
      return '\r';
    case 't':
      return '\t';
    default:
      return 0;
  }
}

}  // namespace

int Parser::skip_ws() {
  while (index_ < text_.size()) {
    const char c = text_[index_];
    if (c != ' ' && c != '\n' && c != '\t' && c != '\r') return static_cast<unsigned char>(c);
    ++index_;
  }
  return -1;
}

JsonError Parser::error_at(std::size_t index, std::string message) const {
  std::size_t line = 1;
  std::size_t line_start = 0;
  for (std::size_t i = 0; i < index; ++i) {
    if (text_[i] == '\n') {
      ++line;
      line_start = i + 1;
    }
  }
  return JsonError{std::move(message), line, index - line_start};
}

void Parser::fix_position(JsonError& e) const {
  if (e.line == 0) {
    JsonError stamped = error(std::move(e.message));
    e = std::move(stamped);
  }
}

JsonResult<void> Parser::enter_refused() {
  ++remaining_depth_;
  return std::unexpected(peek_error(msg(kRecursionLimit)));
}

JsonResult<void> Parser::parse_ident(std::string_view rest) {
  for (char expected : rest) {
    const int c = next();
    if (c < 0) return std::unexpected(error(msg(kEofValue)));
    if (c != static_cast<unsigned char>(expected)) return std::unexpected(error("expected ident"));
  }
  return {};
}

JsonResult<Value> Parser::parse_word(int first) {
  eat();
  switch (first) {
    case 'n':
      if (auto r = parse_ident("ull"); !r) return std::unexpected(std::move(r.error()));
      return Value();
    case 't':
      if (auto r = parse_ident("rue"); !r) return std::unexpected(std::move(r.error()));
      return Value(true);
    default:
      if (auto r = parse_ident("alse"); !r) return std::unexpected(std::move(r.error()));
      return Value(false);
  }
}

JsonResult<Value> Parser::parse_number() {
  const std::size_t start = index_;
  const bool negative = peek() == '-';
  if (negative) eat();

  // Integer part: one '0', or a non-zero digit and more digits.
  const std::size_t int_start = index_;
  const int first = next();
  if (first < 0) return std::unexpected(error(msg(kEofValue)));
  if (first == '0') {
    if (is_digit(peek())) return std::unexpected(peek_error(msg(kInvalidNumber)));
  } else if (first >= '1' && first <= '9') {
    while (is_digit(peek())) eat();
  } else {
    return std::unexpected(error(msg(kInvalidNumber)));
  }
  const std::size_t int_end = index_;
  bool is_float = false;
  bool nonzero = false;  // any non-zero digit in the significand
  for (std::size_t i = int_start; i < int_end; ++i) nonzero = nonzero || text_[i] != '0';
  // Decimal exponent of the leading non-zero digit, before the exponent part.
  std::int64_t lead_exp = nonzero ? static_cast<std::int64_t>(int_end - int_start) - 1 : 0;

  if (peek() == '.') {
    eat();
    is_float = true;
    const std::size_t frac_start = index_;
    while (is_digit(peek())) eat();
    if (index_ == frac_start) {
      return std::unexpected(peek_error(msg(at_end() ? kEofValue : kInvalidNumber)));
    }
    if (!nonzero) {
      for (std::size_t i = frac_start; i < index_; ++i) {
        if (text_[i] != '0') {
          nonzero = true;
          lead_exp = -static_cast<std::int64_t>(i - frac_start) - 1;
          break;
        }
      }
    }
  }

  std::int64_t exp = 0;
  if (peek() == 'e' || peek() == 'E') {
    eat();
    is_float = true;
    bool exp_negative = false;
    if (peek() == '+') {
      eat();
    } else if (peek() == '-') {
      eat();
      exp_negative = true;
    }
    const int d = next();
    if (d < 0) return std::unexpected(error(msg(kEofValue)));
    if (!is_digit(d)) return std::unexpected(error(msg(kInvalidNumber)));
    std::int32_t e = d - '0';
    while (is_digit(peek())) {
      eat();
      const int digit = text_[index_ - 1] - '0';
      if (e > (std::numeric_limits<std::int32_t>::max() - digit) / 10) {
        // The exponent does not fit: infinite unless the value is zero or
        // the exponent negative, in which case the value is a signed zero.
        if (nonzero && !exp_negative) return std::unexpected(error(msg(kOutOfRange)));
        while (is_digit(peek())) eat();
        return Value(negative ? -0.0 : 0.0);
      }
      e = e * 10 + digit;
    }
    exp = exp_negative ? -static_cast<std::int64_t>(e) : e;
  }

  const char* first_char = text_.data() + start;
  const char* last_char = text_.data() + index_;
  if (!is_float) {
    std::uint64_t magnitude = 0;
    auto r = std::from_chars(text_.data() + int_start, text_.data() + int_end, magnitude);
    if (r.ec == std::errc()) {
      if (!negative) return Value(magnitude);
      if (magnitude == 0) return Value(-0.0);
      if (magnitude <= (std::uint64_t{1} << 63)) {
        return Value(static_cast<std::int64_t>(0 - magnitude));
      }
    }
    // Outside both integer ranges: a float.
  }
  if (!nonzero) return Value(negative ? -0.0 : 0.0);

  double d = 0.0;
  auto r = std::from_chars(first_char, last_char, d, std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range || (r.ec == std::errc() && std::isinf(d))) {
    // Too large or too small for binary64: the magnitude decides.
    if (lead_exp + exp >= 0) return std::unexpected(error(msg(kOutOfRange)));
    return Value(negative ? -0.0 : 0.0);
  }
  if (r.ec != std::errc() || r.ptr != last_char) {
    // The literal was checked above; a conversion failure is a broken
    // invariant, reported as a syntax failure rather than a wrong value.
    return std::unexpected(error(msg(kInvalidNumber)));
  }
  return Value(d);
}

JsonResult<std::uint16_t> Parser::decode_hex_escape() {
  if (text_.size() - index_ < 4) {
    index_ = text_.size();
    return std::unexpected(error(msg(kEofString)));
  }
  int v = 0;
  bool ok = true;
  for (int i = 0; i < 4; ++i) {
    const int h = hex_value(static_cast<unsigned char>(text_[index_ + i]));
    if (h < 0) ok = false;
    v = v * 16 + (h < 0 ? 0 : h);
  }
  index_ += 4;
  if (!ok) return std::unexpected(error("invalid escape"));
  return static_cast<std::uint16_t>(v);
}

JsonResult<void> Parser::parse_escape(std::string& out) {
  const int c = next();
  if (c < 0) return std::unexpected(error(msg(kEofString)));
  if (const char simple = simple_escape(c)) {
    out += simple;
    return {};
  }
  if (c != 'u') return std::unexpected(error("invalid escape"));
  auto n = decode_hex_escape();
  if (!n) return std::unexpected(std::move(n.error()));
  const std::uint16_t n1 = *n;
  if (n1 >= 0xDC00 && n1 <= 0xDFFF) {
    // A trailing surrogate with nothing before it.
    return std::unexpected(error("lone leading surrogate in hex escape"));
  }
  if (n1 < 0xD800 || n1 > 0xDBFF) {
    core::append_utf8(out, n1);
    return {};
  }
  // A leading surrogate must be followed at once by an escaped trailing one.
  for (const char expected : {'\\', 'u'}) {
    if (peek() < 0) return std::unexpected(error(msg(kEofString)));
    if (next() != expected) return std::unexpected(error("unexpected end of hex escape"));
  }
  auto m = decode_hex_escape();
  if (!m) return std::unexpected(std::move(m.error()));
  const std::uint16_t n2 = *m;
  if (n2 < 0xDC00 || n2 > 0xDFFF) return std::unexpected(error("lone leading surrogate in hex escape"));
  core::append_utf8(out, 0x10000 + ((char32_t(n1 - 0xD800) << 10) | char32_t(n2 - 0xDC00)));
  return {};
}

void Parser::skip_plain_string_bytes() {
  bool non_ascii = false;
  index_ = detail::find_special_string_byte(text_.data(), index_, text_.size(), non_ascii);
}

JsonResult<std::string_view> Parser::parse_string_view(std::string& scratch) {
  constexpr std::string_view kControl = "control character (\\u0000-\\u001F) found while parsing a string";
  constexpr std::string_view kInvalidUtf8 = "invalid unicode code point";
  // Only bytes of 0x80 and above can make the text ill-formed: escapes
  // always decode to well-formed UTF-8, so a string whose raw bytes are all
  // ASCII needs no check.
  bool non_ascii = false;
  const std::size_t begin = index_;
  index_ = detail::find_special_string_byte(text_.data(), index_, text_.size(), non_ascii);
  if (index_ == text_.size()) return std::unexpected(error(msg(kEofString)));
  if (text_[index_] == '"') {
    const std::string_view s = text_.substr(begin, index_ - begin);
    ++index_;
    if (non_ascii && !core::is_valid_utf8(s)) return std::unexpected(error(msg(kInvalidUtf8)));
    return s;
  }
  // Escapes: the string is decoded into the scratch buffer.
  scratch.assign(text_.data() + begin, index_ - begin);
  for (;;) {
    const char c = text_[index_];
    if (c == '"') {
      ++index_;
      if (non_ascii && !core::is_valid_utf8(scratch)) return std::unexpected(error(msg(kInvalidUtf8)));
      return std::string_view(scratch);
    }
    if (c != '\\') {
      ++index_;
      return std::unexpected(error(msg(kControl)));
    }
    ++index_;
    if (auto r = parse_escape(scratch); !r) return std::unexpected(std::move(r.error()));
    const std::size_t start = index_;
    index_ = detail::find_special_string_byte(text_.data(), index_, text_.size(), non_ascii);
    scratch.append(text_.data() + start, index_ - start);
    if (index_ == text_.size()) return std::unexpected(error(msg(kEofString)));
  }
}

bool Parser::take_written_string(std::string_view& text) {
  const std::size_t begin = index_;
  const std::size_t n = text_.size();
  bool non_ascii = false;
  for (std::size_t i = begin;;) {
    i = detail::find_special_string_byte(text_.data(), i, n, non_ascii);
    if (i == n) return false;
    const char c = text_[i];
    if (c == '"') {
      text = text_.substr(begin, i - begin);
      if (non_ascii && !core::is_valid_utf8(text)) return false;
      index_ = i + 1;
      return true;
    }
    if (c != '\\' || i + 1 == n) return false;  // a control byte, or the end
    switch (text_[i + 1]) {
      case '"':
      case '\\':
      case 'b':
      case 'f':
      case 'n':
      case 'r':
      case 't':
        i += 2;
        break;
      case 'u': {
        // Only \u0000-\u001f in lower case, less the five with a letter.
        if (n - i < 6 || text_[i + 2] != '0' || text_[i + 3] != '0') return false;
        const char high = text_[i + 4];
        const char low = text_[i + 5];
        const int low_value = low >= '0' && low <= '9' ? low - '0' : low >= 'a' && low <= 'f' ? low - 'a' + 10 : -1;
        if ((high != '0' && high != '1') || low_value < 0) return false;
        const int value = (high - '0') * 16 + low_value;
        if (value == 0x08 || value == 0x09 || value == 0x0A || value == 0x0C || value == 0x0D) return false;
        i += 6;
        break;
      }
      default:
        return false;
    }
  }
}

JsonResult<std::string> Parser::parse_string() {
  std::string out;
  auto s = parse_string_view(out);
  if (!s) return std::unexpected(std::move(s.error()));
  if (s->data() == out.data()) return out;  // decoded into `out`
  return std::string(*s);
}

JsonResult<bool> Parser::next_entry_in_full(char close, bool& first) {
  int c = peek_ws();
  if (c == close) return false;
  if (c < 0) return std::unexpected(peek_error(msg(close == ']' ? kEofList : kEofObject)));
  if (first) {
    first = false;
    return true;
  }
  if (c != ',') {
    return std::unexpected(peek_error(msg(close == ']' ? kExpectedListCommaOrEnd : kExpectedObjectCommaOrEnd)));
  }
  eat();
  c = peek_ws();
  if (c == close) return std::unexpected(peek_error(msg(kTrailingComma)));
  if (c < 0) return std::unexpected(peek_error(msg(kEofValue)));
  return true;
}

JsonResult<void> Parser::parse_colon_in_full() {
  const int colon = peek_ws();
  if (colon < 0) return std::unexpected(peek_error(msg(kEofObject)));
  if (colon != ':') return std::unexpected(peek_error(msg(kExpectedColon)));
  eat();
  return {};
}

JsonResult<void> Parser::end() {
  if (peek_ws() >= 0) return std::unexpected(peek_error(msg(kTrailingCharacters)));
  return {};
}

JsonResult<Value> Parser::parse_value() {
  // Containers being built, innermost last.
  struct Frame {
    Value container;
    std::string key;  // the key whose value is being read (objects)
  };
  std::vector<Frame> stack;

  for (;;) {
    // Read one value: a scalar, or the opening of a container.
    Value value;
    bool have_value = true;
    const int c = peek_ws();
    switch (c) {
      case -1:
        return std::unexpected(peek_error(msg(kEofValue)));
      case 'n':
      case 't':
      case 'f': {
        auto word = parse_word(c);
        if (!word) return std::unexpected(std::move(word.error()));
        value = std::move(*word);
        break;
      }
      case '"': {
        eat();
        auto s = parse_string();
        if (!s) return std::unexpected(std::move(s.error()));
        value = Value(std::move(*s));
        break;
      }
      case '[':
      case '{':
        if (auto r = enter(); !r) return std::unexpected(std::move(r.error()));
        eat();
        stack.push_back(Frame{c == '[' ? Value(Array{}) : Value(Object{}), {}});
        have_value = false;
        break;
      default:
        if (c == '-' || is_digit(c)) {
          auto n = parse_number();
          if (!n) return std::unexpected(std::move(n.error()));
          value = std::move(*n);
          break;
        }
        return std::unexpected(peek_error(msg(kExpectedValue)));
    }

    // Hand finished values to their containers, closing containers that end,
    // until the next value to read is positioned.
    bool first = !have_value;  // a container just opened
    for (;;) {
      if (stack.empty()) return value;
      Frame& top = stack.back();
      const bool is_array = top.container.is_array();
      if (have_value) {
        if (is_array) {
          top.container.as_array().push_back(std::move(value));
        } else {
          top.container.as_object().insert_or_assign(std::move(top.key), std::move(value));
        }
      }
      auto more = next_entry(is_array ? ']' : '}', first);
      if (!more) return std::unexpected(std::move(more.error()));
      if (!*more) {
        eat();
        leave();
        value = std::move(top.container);
        stack.pop_back();
        have_value = true;
        first = false;
        continue;
      }
      if (!is_array) {
        if (peek() != '"') return std::unexpected(peek_error(msg(kKeyMustBeString)));
        eat();
        auto key = parse_string();
        if (!key) return std::unexpected(std::move(key.error()));
        top.key = std::move(*key);
        if (auto r = parse_colon(); !r) return std::unexpected(std::move(r.error()));
      }
      break;  // read the next value
    }
  }
}

JsonResult<void> Parser::ignore_string() {
  for (;;) {
    skip_plain_string_bytes();
    if (index_ == text_.size()) return std::unexpected(error(msg(kEofString)));
    const char c = text_[index_];
    if (c == '"') {
      ++index_;
      return {};
    }
    if (c != '\\') {
      return std::unexpected(error("control character (\\u0000-\\u001F) found while parsing a string"));
    }
    ++index_;
    const int e = next();
    if (e < 0) return std::unexpected(error(msg(kEofString)));
    if (simple_escape(e) != 0) continue;
    if (e != 'u') return std::unexpected(error("invalid escape"));
    if (auto r = decode_hex_escape(); !r) return std::unexpected(std::move(r.error()));
  }
}

JsonResult<void> Parser::ignore_number() {
  if (peek() == '-') eat();
  const int first = peek();
  if (first == '0') {
    eat();
    if (is_digit(peek())) return std::unexpected(peek_error(msg(kInvalidNumber)));
  } else if (first >= '1' && first <= '9') {
    eat();
    while (is_digit(peek())) eat();
  } else {
    if (first >= 0) eat();
    return std::unexpected(error(msg(kInvalidNumber)));
  }
  if (peek() == '.') {
    eat();
    const std::size_t s = index_;
    while (is_digit(peek())) eat();
    if (index_ == s) return std::unexpected(peek_error(msg(kInvalidNumber)));
  }
  if (peek() == 'e' || peek() == 'E') {
    eat();
    if (peek() == '+' || peek() == '-') eat();
    const int d = peek();
    if (d >= 0) eat();
    if (!is_digit(d)) return std::unexpected(error(msg(kInvalidNumber)));
    while (is_digit(peek())) eat();
  }
  return {};
}

JsonResult<void> Parser::ignore_value() {
  // Open containers of the skipped value, innermost last.
  std::vector<char> stack;
  auto unwind = [&] {
    for (std::size_t i = 0; i < stack.size(); ++i) leave();
  };
  // Fails at the next byte, giving back the depth of the open containers.
  auto fail = [&](std::string_view message) -> JsonResult<void> {
    unwind();
    return std::unexpected(peek_error(msg(message)));
  };
  for (;;) {
    // One value: a scalar, or the opening of a container.
    const int c = peek_ws();
    bool opened = false;
    JsonResult<void> r;
    switch (c) {
      case -1:
        return fail(kEofValue);
      case 'n':
      case 't':
      case 'f':
        if (auto word = parse_word(c); !word) r = std::unexpected(std::move(word.error()));
        break;
      case '"':
        eat();
        r = ignore_string();
        break;
      case '[':
      case '{':
        r = enter();
        if (r) {
          eat();
          stack.push_back(static_cast<char>(c));
          opened = true;
        }
        break;
      default:
        if (c == '-' || is_digit(c)) {
          r = ignore_number();
        } else {
          r = std::unexpected(peek_error(msg(kExpectedValue)));
        }
        break;
    }
    if (!r) {
      unwind();
      return r;
    }
    if (stack.empty()) return {};

    // Close what ends here, then position on the next value.
    bool accept_comma = !opened;
    for (;;) {
      const char frame = stack.back();
      const int b = peek_ws();
      if (b == ',' && accept_comma) {
        eat();
        break;
      }
      if ((b == ']' && frame == '[') || (b == '}' && frame == '{')) {
        eat();
        leave();
        stack.pop_back();
        if (stack.empty()) return {};
        accept_comma = true;
        continue;
      }
      if (b < 0) return fail(frame == '[' ? kEofList : kEofObject);
      if (accept_comma) return fail(frame == '[' ? kExpectedListCommaOrEnd : kExpectedObjectCommaOrEnd);
      break;
    }
    if (stack.back() == '{') {
      const int q = peek_ws();
      if (q < 0) return fail(kEofObject);
      if (q != '"') return fail(kKeyMustBeString);
      eat();
      JsonResult<void> key = ignore_string();
      if (key) key = parse_colon();
      if (!key) {
        unwind();
        return key;
      }
    }
  }
}

}  // namespace qv::json
