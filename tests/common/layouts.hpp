#pragma once
// Other layouts of one JSON text, each holding the same value: white space
// at a place between tokens, a letter of a string or key written as an
// escape, a float literal in another form of the same number, the members
// of an object in another order. The readers that take a text in the form
// the engine writes by a faster road are held to give, for every layout,
// what they give for the compact text.
//
// The text given is the compact text the writers produce (well-formed, no
// white space). Header only, no library needed.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qv::testing {

struct LayoutOptions {
  // White space may hold a line feed (a whole document, not a line of
  // JSON Lines).
  bool line_feeds = true;
  // Float literals may also be written as integers (where every float is
  // read as a float member of a record, "1" reads as 1.0).
  bool whole_floats = false;
};

struct Layout {
  enum class Kind { Space, Escape, Number, Order };
  Kind kind;
  std::string text;
  std::string what;  // how it differs, for failure messages
};

// A token: its span in the text.
struct JsonToken {
  std::size_t start;
  std::size_t end;
};

inline std::vector<JsonToken> json_tokens(std::string_view t) {
  constexpr std::string_view kSpace = " \t\r\n";
  std::vector<JsonToken> out;
  for (std::size_t i = 0; i < t.size();) {
    if (kSpace.find(t[i]) != std::string_view::npos) {
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    if (t[i] == '"') {
      while (t[j] != '"') j += t[j] == '\\' ? 2 : 1;
      ++j;
    } else if (std::string_view("{}[]:,").find(t[i]) == std::string_view::npos) {
      while (j < t.size() && std::string_view("{}[]:,").find(t[j]) == std::string_view::npos &&
             kSpace.find(t[j]) == std::string_view::npos) {
        ++j;
      }
    }
    out.push_back({i, j});
    i = j;
  }
  return out;
}

// The span of the value of a member of the outermost object, or npos
// (at start) when there is none.
inline JsonToken top_member_value(std::string_view t, std::string_view quoted_key) {
  const auto tokens = json_tokens(t);
  int depth = 0;
  for (std::size_t k = 0; k + 2 < tokens.size(); ++k) {
    const char c = t[tokens[k].start];
    if (c == '{' || c == '[') ++depth;
    if (c == '}' || c == ']') --depth;
    if (depth != 1 || t.substr(tokens[k].start, tokens[k].end - tokens[k].start) != quoted_key ||
        t[tokens[k + 1].start] != ':') {
      continue;
    }
    // The value runs to the comma or brace that closes it at this depth.
    int inner = 0;
    std::size_t v = k + 2;
    for (std::size_t e = v; e < tokens.size(); ++e) {
      const char d = t[tokens[e].start];
      if (d == '{' || d == '[') ++inner;
      if (d == '}' || d == ']') --inner;
      if (inner < 0 || (inner == 0 && d == ',')) return {tokens[v].start, tokens[e - 1].end};
    }
  }
  return {std::string_view::npos, std::string_view::npos};
}

namespace layout_detail {

inline bool is_float_literal(std::string_view token) {
  const char c = token.front();
  return (c == '-' || (c >= '0' && c <= '9')) && token.find_first_of(".eE") != std::string_view::npos;
}

// Other literals of the number a float literal reads as: one more trailing
// zero in the fraction, the digits as an integer times a power of ten
// ("5E-1" for "0.5"), and, when asked and the number is whole, an integer.
inline std::vector<std::string> float_forms(std::string_view literal, bool whole) {
  const bool negative = literal.front() == '-';
  const std::string_view body = literal.substr(negative ? 1 : 0);
  const std::size_t e = body.find_first_of("eE");
  const std::string_view mantissa = body.substr(0, e);
  const long exponent = e == std::string_view::npos ? 0 : std::stol(std::string(body.substr(e + 1)));
  const std::size_t point = mantissa.find('.');
  std::string digits(mantissa.substr(0, point));
  std::string fraction(point == std::string_view::npos ? "" : mantissa.substr(point + 1));
  std::string all = digits + fraction;
  const long scale = exponent - static_cast<long>(fraction.size());
  const std::string sign = negative ? "-" : "";
  std::vector<std::string> forms;
  const std::string rest(e == std::string_view::npos ? "" : body.substr(e));
  forms.push_back(sign + std::string(mantissa) + (point == std::string_view::npos ? ".0" : "0") + rest);
  const std::size_t lead = all.find_first_not_of('0');
  const std::string significant = lead == std::string::npos ? "0" : all.substr(lead);
  forms.push_back(sign + significant + "E" + (scale >= 0 ? "+" : "") + std::to_string(scale));
  // A whole number of at most 15 digits, other than minus zero (which an
  // integer cannot write).
  const bool zero = lead == std::string::npos;
  if (whole && !(negative && zero) && e == std::string_view::npos &&
      fraction.find_first_not_of('0') == std::string::npos && digits.size() <= 15) {
    forms.push_back(sign + digits);
  }
  return forms;
}

// The value at token k written again compact, the members of object number
// `reverse` (counted in text order; -1 for every object) in reverse order.
inline std::string rewrite(std::string_view t, const std::vector<JsonToken>& tokens, std::size_t& k, int& object,
                           int reverse) {
  const auto text = [&](std::size_t n) { return std::string(t.substr(tokens[n].start, tokens[n].end - tokens[n].start)); };
  const char c = t[tokens[k].start];
  if (c != '{' && c != '[') return text(k++);
  const bool reversed = c == '{' && (reverse == -1 || reverse == object);
  if (c == '{') ++object;
  ++k;
  std::vector<std::string> parts;
  while (t[tokens[k].start] != (c == '{' ? '}' : ']')) {
    if (t[tokens[k].start] == ',') ++k;
    std::string part;
    if (c == '{') {
      part = text(k) + ":";
      k += 2;
    }
    part += rewrite(t, tokens, k, object, reverse);
    parts.push_back(std::move(part));
  }
  ++k;
  std::string out(1, c);
  for (std::size_t n = 0; n < parts.size(); ++n) {
    if (n > 0) out += ',';
    out += parts[reversed ? parts.size() - 1 - n : n];
  }
  out += c == '{' ? '}' : ']';
  return out;
}

}  // namespace layout_detail

inline std::vector<Layout> layouts(std::string_view compact, LayoutOptions options = {}) {
  using Kind = Layout::Kind;
  const std::vector<JsonToken> tokens = json_tokens(compact);
  std::vector<Layout> out;
  const auto spliced = [&](std::size_t from, std::size_t to, std::string_view with) {
    std::string t(compact);
    t.replace(from, to - from, with);
    return t;
  };
  // White space before every token and after the last.
  const std::vector<std::string_view> spaces =
      options.line_feeds ? std::vector<std::string_view>{" ", "\t", "\r", "\n", " \r\n\t "}
                         : std::vector<std::string_view>{" ", "\t", "\r", " \t\r "};
  for (std::size_t k = 0; k <= tokens.size(); ++k) {
    const std::size_t at = k < tokens.size() ? tokens[k].start : compact.size();
    const std::string_view space = spaces[k % spaces.size()];
    out.push_back({Kind::Space, spliced(at, at, space), "white space at byte " + std::to_string(at)});
  }
  for (const JsonToken& token : tokens) {
    const std::string_view literal = compact.substr(token.start, token.end - token.start);
    if (literal.front() == '"') {
      // The first letter that is not part of an escape, as \u00XX.
      for (std::size_t i = 1; i + 1 < literal.size(); ++i) {
        if (literal[i] == '\\') {
          i += literal[i + 1] == 'u' ? 5 : 1;
          continue;
        }
        const char ch = literal[i];
        if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z')) {
          static constexpr char kHex[] = "0123456789abcdef";
          const std::string escape = std::string("\\u00") + kHex[ch >> 4] + kHex[ch & 0xF];
          out.push_back({Kind::Escape, spliced(token.start + i, token.start + i + 1, escape),
                         "escaped letter at byte " + std::to_string(token.start + i)});
          break;
        }
      }
    } else if (layout_detail::is_float_literal(literal)) {
      for (const std::string& form : layout_detail::float_forms(literal, options.whole_floats)) {
        out.push_back({Kind::Number, spliced(token.start, token.end, form),
                       std::string(literal) + " as " + form + " at byte " + std::to_string(token.start)});
      }
    }
  }
  // Each object's members reversed, then every object's at once.
  int objects = 0;
  for (const JsonToken& token : tokens) objects += compact[token.start] == '{' ? 1 : 0;
  for (int reverse = -1; reverse < objects; ++reverse) {
    std::size_t k = 0;
    int object = 0;
    std::string text = layout_detail::rewrite(compact, tokens, k, object, reverse);
    if (text == compact) continue;  // an object of fewer than two members
    out.push_back({Kind::Order, std::move(text),
                   reverse == -1 ? "every object reversed" : "object " + std::to_string(reverse) + " reversed"});
  }
  return out;
}

}  // namespace qv::testing
