#pragma once
// A small reader for the flat JSON objects of the reference files, one per
// line: member values are strings, numbers, booleans or null. Nested values
// (the meta line) are kept as raw text.
#include <cstdint>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qv::testing {

struct JsonField {
  enum class Kind { string, number, boolean, null, nested } kind = Kind::null;
  std::string text;  // decoded string, number literal, "true"/"false"
};

using JsonLine = std::map<std::string, JsonField>;

namespace detail {

inline void put_utf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

inline std::optional<std::string> read_string(const std::string& s, std::size_t& i) {
  if (i >= s.size() || s[i] != '"') return std::nullopt;
  std::string out;
  for (++i; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '"') {
      ++i;
      return out;
    }
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i >= s.size()) return std::nullopt;
    switch (s[i]) {
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case 'r': out += '\r'; break;
      case 'b': out += '\b'; break;
      case 'f': out += '\f'; break;
      case 'u': {
        auto hex4 = [&](std::size_t at) -> std::optional<std::uint32_t> {
          if (at + 4 > s.size()) return std::nullopt;
          return static_cast<std::uint32_t>(std::stoul(s.substr(at, 4), nullptr, 16));
        };
        auto cp = hex4(i + 1);
        if (!cp) return std::nullopt;
        i += 4;
        if (*cp >= 0xD800 && *cp < 0xDC00 && i + 2 < s.size() && s[i + 1] == '\\' && s[i + 2] == 'u') {
          auto lo = hex4(i + 3);
          if (!lo) return std::nullopt;
          cp = 0x10000 + ((*cp - 0xD800) << 10) + (*lo - 0xDC00);
          i += 6;
        }
        put_utf8(out, *cp);
        break;
      }
      default: out += s[i]; break;
    }
  }
  return std::nullopt;
}

}  // namespace detail

// One line as a map of member name to value; none for a malformed line.
inline std::optional<JsonLine> parse_json_line(const std::string& s) {
  JsonLine out;
  std::size_t i = 0;
  auto skip_ws = [&] {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r')) ++i;
  };
  skip_ws();
  if (i >= s.size() || s[i] != '{') return std::nullopt;
  ++i;
  for (;;) {
    skip_ws();
    if (i < s.size() && s[i] == '}') return out;
    auto key = detail::read_string(s, i);
    if (!key) return std::nullopt;
    skip_ws();
    if (i >= s.size() || s[i] != ':') return std::nullopt;
    ++i;
    skip_ws();
    JsonField f;
    if (i < s.size() && s[i] == '"') {
      auto v = detail::read_string(s, i);
      if (!v) return std::nullopt;
      f = {JsonField::Kind::string, *v};
    } else if (i < s.size() && (s[i] == '{' || s[i] == '[')) {
      const std::size_t start = i;
      int depth = 0;
      do {
        if (s[i] == '"') {
          if (!detail::read_string(s, i)) return std::nullopt;
          continue;
        }
        if (s[i] == '{' || s[i] == '[') ++depth;
        if (s[i] == '}' || s[i] == ']') --depth;
        ++i;
      } while (i < s.size() && depth > 0);
      f = {JsonField::Kind::nested, s.substr(start, i - start)};
    } else {
      const std::size_t start = i;
      while (i < s.size() && s[i] != ',' && s[i] != '}' && s[i] != ' ') ++i;
      const std::string lit = s.substr(start, i - start);
      if (lit == "null") f = {JsonField::Kind::null, lit};
      else if (lit == "true" || lit == "false") f = {JsonField::Kind::boolean, lit};
      else if (!lit.empty()) f = {JsonField::Kind::number, lit};
      else return std::nullopt;
    }
    out[*key] = f;
    skip_ws();
    if (i < s.size() && s[i] == ',') {
      ++i;
      continue;
    }
    if (i < s.size() && s[i] == '}') return out;
    return std::nullopt;
  }
}

// Every line of a file that parses, in order; the count of malformed lines
// goes to `bad`.
inline std::vector<JsonLine> read_json_lines(const std::string& path, std::size_t& bad) {
  std::vector<JsonLine> lines;
  std::ifstream in(path);
  std::string line;
  bad = 0;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    if (auto parsed = parse_json_line(line)) lines.push_back(std::move(*parsed));
    else ++bad;
  }
  return lines;
}

}  // namespace qv::testing
