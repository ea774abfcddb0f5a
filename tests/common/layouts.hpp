#pragma once
// Other layouts of one JSON text, each holding the same value: white space
// at a place between tokens, a letter of a string or key written as an
// escape, a float literal in another form of the same number, the members
// of an object in another order. The readers that take a text in the form
// the engine writes by a faster road are held to give, for every layout,
// what they give for the text without white space (without_space).
//
// For well-formed texts the tests hold. Link with qv_json.
#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "json/reader.hpp"

namespace qv::testing {

struct LayoutOptions {
  // White space may hold a line feed (a whole document, not a line of
  // JSON Lines).
  bool line_feeds = true;
  // Whole float literals may also be written as integers (where every float
  // is read as a float member of a record, "1" reads as 1.0).
  bool whole_floats = false;
  // Members whose values keep the order of their objects' members, at any
  // depth (an id whose compact text is its identity).
  std::set<std::string> kept_order;
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
  constexpr std::string_view kPunctuation = "{}[]:,";
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
    } else if (kPunctuation.find(t[i]) == std::string_view::npos) {
      while (j < t.size() && kPunctuation.find(t[j]) == std::string_view::npos &&
             kSpace.find(t[j]) == std::string_view::npos) {
        ++j;
      }
    }
    out.push_back({i, j});
    i = j;
  }
  return out;
}

// The tokens of the text with nothing between them.
inline std::string without_space(std::string_view t) {
  std::string out;
  for (const JsonToken& token : json_tokens(t)) out += t.substr(token.start, token.end - token.start);
  return out;
}

// The text of the value of a member of the outermost object (as the text
// lays it out), or an empty view when there is none.
inline std::string_view top_member_value(std::string_view t, std::string_view quoted_key) {
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
    const std::size_t v = k + 2;
    for (std::size_t e = v; e < tokens.size(); ++e) {
      const char d = t[tokens[e].start];
      if (d == '{' || d == '[') ++inner;
      if (d == '}' || d == ']') --inner;
      if (inner < 0 || (inner == 0 && d == ',')) return t.substr(tokens[v].start, tokens[e - 1].end - tokens[v].start);
    }
  }
  return {};
}

namespace layout_detail {

using Tokens = std::vector<std::string_view>;

inline std::string joined(const Tokens& tokens, std::size_t space_at = std::string::npos, std::string_view space = {}) {
  std::string out;
  for (std::size_t i = 0; i <= tokens.size(); ++i) {
    if (i == space_at) out += space;
    if (i < tokens.size()) out += tokens[i];
  }
  return out;
}

// A number that reads as a float: a fraction or an exponent, or minus zero.
inline bool is_float_literal(std::string_view token) {
  const char c = token.front();
  return (c == '-' || (c >= '0' && c <= '9')) && (token.find_first_of(".eE") != std::string_view::npos || token == "-0");
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
  const std::string digits(mantissa.substr(0, point));
  const std::string fraction(point == std::string_view::npos ? "" : mantissa.substr(point + 1));
  const std::string all = digits + fraction;
  const long scale = exponent - static_cast<long>(fraction.size());
  const std::string sign = negative ? "-" : "";
  const std::string rest(e == std::string_view::npos ? "" : body.substr(e));
  std::vector<std::string> forms;
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

// The string token with its letter at i written as \u00XX.
inline std::string escaped_at(std::string_view token, std::size_t i, bool upper) {
  const char* hex = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  const auto c = static_cast<unsigned char>(token[i]);
  return std::string(token.substr(0, i)) + "\\u00" + hex[c >> 4] + hex[c & 0xF] + std::string(token.substr(i + 1));
}

// The value at tokens[k] written again, the members of object number
// `reverse` (counted in text order; -1 for every object) in reverse order
// unless its keys repeat or it lies within a member of `kept` names.
inline std::string rewrite(const Tokens& t, std::size_t& k, int& object, int reverse,
                           const std::set<std::string>& kept, bool keep) {
  const std::string_view open = t[k++];
  if (open != "{" && open != "[") return std::string(open);
  const bool is_object = open == "{";
  const int number = is_object ? object++ : -1;
  std::vector<std::string> items;
  std::set<std::string> keys;
  while (t[k] != "}" && t[k] != "]") {
    if (t[k] == ",") ++k;
    std::string item;
    bool keep_value = keep;
    if (is_object) {
      const std::string key = json::read_json(t[k]).value().as_string();
      keys.insert(key);
      keep_value = keep_value || kept.contains(key);
      item = std::string(t[k]) + ":";
      k += 2;
    }
    items.push_back(item + rewrite(t, k, object, reverse, kept, keep_value));
  }
  ++k;
  const bool reversed = is_object && !keep && keys.size() == items.size() && (reverse == -1 || reverse == number);
  std::string out(open);
  for (std::size_t n = 0; n < items.size(); ++n) {
    if (n > 0) out += ',';
    out += items[reversed ? items.size() - 1 - n : n];
  }
  return out + (is_object ? "}" : "]");
}

}  // namespace layout_detail

// The layouts of the text's tokens, each written without white space but
// what the layout adds: space, tab and carriage return (and a line feed,
// when allowed) at every place, and all of them at every place at once;
// the first and last letter of every string (hex digits in either case);
// each float in its other forms; each object reversed, then all at once.
inline std::vector<Layout> layouts(std::string_view text, const LayoutOptions& options = {}) {
  using Kind = Layout::Kind;
  using layout_detail::joined;
  const std::vector<JsonToken> spans = json_tokens(text);
  layout_detail::Tokens tokens;
  for (const JsonToken& s : spans) tokens.push_back(text.substr(s.start, s.end - s.start));
  std::vector<Layout> out;
  std::vector<std::string_view> spaces = {" ", "\t", "\r"};
  if (options.line_feeds) spaces.push_back("\n");
  for (std::size_t k = 0; k <= tokens.size(); ++k) {
    for (const std::string_view space : spaces) {
      out.push_back({Kind::Space, joined(tokens, k, space), "white space before token " + std::to_string(k)});
    }
  }
  std::string everywhere = options.line_feeds ? " \t\r\n " : " \t\r ";
  for (const std::string_view token : tokens) everywhere += std::string(token) + (options.line_feeds ? " \t\r\n " : " \t\r ");
  out.push_back({Kind::Space, std::move(everywhere), "white space at every place"});
  const auto changed = [&](std::size_t k, std::string_view to) {
    layout_detail::Tokens t = tokens;
    t[k] = to;
    return joined(t);
  };
  for (std::size_t k = 0; k < tokens.size(); ++k) {
    const std::string_view token = tokens[k];
    if (token.front() == '"') {
      // The letters that are not part of an escape.
      std::vector<std::size_t> letters;
      for (std::size_t i = 1; i + 1 < token.size(); ++i) {
        if (token[i] == '\\') {
          i += token[i + 1] == 'u' ? 5 : 1;
        } else if ((token[i] >= 'a' && token[i] <= 'z') || (token[i] >= 'A' && token[i] <= 'Z')) {
          letters.push_back(i);
        }
      }
      if (letters.empty()) continue;
      out.push_back({Kind::Escape, changed(k, layout_detail::escaped_at(token, letters.front(), false)),
                     "first letter escaped in token " + std::to_string(k)});
      if (letters.size() > 1) {
        out.push_back({Kind::Escape, changed(k, layout_detail::escaped_at(token, letters.back(), true)),
                       "last letter escaped in token " + std::to_string(k)});
      }
    } else if (layout_detail::is_float_literal(token)) {
      for (const std::string& form : layout_detail::float_forms(token, options.whole_floats)) {
        out.push_back({Kind::Number, changed(k, form), std::string(token) + " as " + form});
      }
    }
  }
  const std::string compact = joined(tokens);
  int objects = 0;
  for (const std::string_view token : tokens) objects += token == "{" ? 1 : 0;
  for (int reverse = -1; reverse < objects; ++reverse) {
    std::size_t k = 0;
    int object = 0;
    std::string reordered = layout_detail::rewrite(tokens, k, object, reverse, options.kept_order, false);
    if (reordered == compact) continue;  // fewer than two members, keys repeated, or kept
    out.push_back({Kind::Order, std::move(reordered),
                   reverse == -1 ? "every object reversed" : "object " + std::to_string(reverse) + " reversed"});
  }
  return out;
}

}  // namespace qv::testing
