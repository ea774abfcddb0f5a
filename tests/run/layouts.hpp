#pragma once
// Other layouts of one JSON text that read as the same value: white space
// (space, tab, CR) at each place between tokens, each letter of a string
// written as a \u escape, each float in other notations of its value (a
// trailing zero, an exponent) and "-0" as "-0.0", and the members of each
// object whose keys differ in reverse order where the order is not part of
// the value. For texts the tests hold: well-formed, shallow, without a
// line feed.
#include <cctype>
#include <cstdio>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "json/reader.hpp"

namespace layouts {

// The tokens of the text, white space left out.
inline std::vector<std::string_view> tokens(std::string_view text) {
  std::vector<std::string_view> out;
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    std::size_t end = i + 1;
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
      continue;
    }
    if (c == '"') {
      while (text[end] != '"') end += text[end] == '\\' ? 2 : 1;
      ++end;
    } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '-') {
      while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '.' ||
                                   text[end] == '+' || text[end] == '-')) {
        ++end;
      }
    }
    out.push_back(text.substr(i, end - i));
    i = end;
  }
  return out;
}

inline std::string joined(const std::vector<std::string_view>& t, std::size_t space_at = ~std::size_t{0},
                          std::string_view space = "") {
  std::string out;
  for (std::size_t i = 0; i <= t.size(); ++i) {
    if (i == space_at) out += space;
    if (i < t.size()) out += t[i];
  }
  return out;
}

// The value at t[i] with the members of every object whose keys differ
// reversed, but within the value of a member named in `kept` (whose text
// keeps the order); `i` moves past it.
inline std::string reversed(const std::vector<std::string_view>& t, std::size_t& i, const std::set<std::string>& kept,
                            bool keep = false) {
  const std::string_view open = t[i++];
  if (open != "{" && open != "[") return std::string(open);
  const bool object = open == "{";
  std::vector<std::string> items;
  std::set<std::string> keys;
  while (t[i] != "}" && t[i] != "]") {
    std::string item;
    bool keep_value = keep;
    if (object) {
      const std::string key = qv::json::read_json(t[i]).value().as_string();
      keys.insert(key);
      keep_value = keep_value || kept.contains(key);
      item = std::string(t[i]) + ":";
      i += 2;
    }
    items.push_back(item + reversed(t, i, kept, keep_value));
    if (t[i] == ",") ++i;
  }
  ++i;
  const bool reverse = object && !keep && keys.size() == items.size();
  std::string out(open);
  for (std::size_t k = 0; k < items.size(); ++k) {
    out += (k > 0 ? "," : "") + items[reverse ? items.size() - 1 - k : k];
  }
  return out + (object ? "}" : "]");
}

// The other notations of a number token's value: a zero more in the
// fraction, and an exponent added or written otherwise. None for an
// integer but -0 (which reads as -0.0): 7.0 is another value than 7.
inline std::vector<std::string> numbers(std::string_view n) {
  if (n[0] != '-' && !std::isdigit(static_cast<unsigned char>(n[0]))) return {};  // true, false, null
  if (n == "-0") return {"-0.0", "-0e0"};
  const std::size_t e = n.find_first_of("eE");
  if (n.find('.') == std::string_view::npos && e == std::string_view::npos) return {};
  const std::string mantissa(n.substr(0, e));
  const std::string exponent(e == std::string_view::npos ? "" : n.substr(e + 1));
  const std::string longer = mantissa + (mantissa.find('.') == std::string::npos ? ".0" : "0");
  std::string other_exponent = "E0";
  if (!exponent.empty()) {
    other_exponent = std::string(n[e] == 'e' ? "E" : "e") + (exponent[0] == '-' || exponent[0] == '+' ? "" : "+") + exponent;
  }
  return {longer + (e == std::string_view::npos ? "" : std::string(n.substr(e))), mantissa + other_exponent};
}

inline std::vector<std::string> of(std::string_view text, const std::set<std::string>& kept = {}) {
  std::vector<std::string_view> t = tokens(text);
  std::vector<std::string> out;
  for (std::size_t at = 0; at <= t.size(); ++at) {
    for (const char* space : {" ", "\t", "\r"}) out.push_back(joined(t, at, space));
  }
  std::string everywhere;
  for (std::string_view token : t) everywhere += std::string(token) + " \t\r ";
  out.push_back(everywhere);
  for (std::size_t k = 0; k < t.size(); ++k) {
    const std::string_view token = t[k];
    std::vector<std::string> others;
    if (token[0] == '"') {
      for (std::size_t i = 1; i + 1 < token.size(); i += token[i] == '\\' ? (token[i + 1] == 'u' ? 6 : 2) : 1) {
        if (!std::isalpha(static_cast<unsigned char>(token[i]))) continue;
        char escape[8];
        std::snprintf(escape, sizeof escape, i % 2 == 0 ? "\\u%04x" : "\\u%04X", static_cast<unsigned>(token[i]));
        others.push_back(std::string(token.substr(0, i)) + escape + std::string(token.substr(i + 1)));
      }
    } else {
      others = numbers(token);
    }
    for (const std::string& other : others) {
      std::vector<std::string_view> changed = t;
      changed[k] = other;
      out.push_back(joined(changed));
    }
  }
  std::size_t i = 0;
  if (std::string r = reversed(t, i, kept); r != joined(t)) out.push_back(std::move(r));
  return out;
}

}  // namespace layouts
