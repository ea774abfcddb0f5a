#pragma once
// A small reader for the reference files: one flat JSON object per line whose
// members are strings (simple escapes only), numbers, booleans or null. The
// meta line, which nests, is skipped.
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qv::testing {

struct JsonField {
  enum class Kind { string, literal } kind = Kind::literal;
  std::string text;  // the decoded string, or the literal as written ("null", "true", "-1")
  bool is_null() const { return kind == Kind::literal && text == "null"; }
};

using JsonLine = std::map<std::string, JsonField>;

namespace detail {

inline std::optional<std::string> read_string(const std::string& s, std::size_t& i) {
  std::string out;
  for (++i; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      ++i;
      return out;
    }
    if (c == '\\') {
      if (++i >= s.size()) return std::nullopt;
      switch (s[i]) {
        case 'n': c = '\n'; break;
        case 't': c = '\t'; break;
        case 'r': c = '\r'; break;
        case '"': case '\\': case '/': c = s[i]; break;
        default: return std::nullopt;  // not needed by these files
      }
    }
    out += c;
  }
  return std::nullopt;
}

}  // namespace detail

// One line as a map of member name to value; none for a malformed line.
inline std::optional<JsonLine> parse_json_line(const std::string& s) {
  JsonLine out;
  if (s.empty() || s[0] != '{') return std::nullopt;
  std::size_t i = 1;
  while (i < s.size() && s[i] == '"') {
    auto key = detail::read_string(s, i);
    if (!key || i >= s.size() || s[i] != ':') return std::nullopt;
    ++i;
    JsonField f;
    if (i < s.size() && s[i] == '"') {
      auto v = detail::read_string(s, i);
      if (!v) return std::nullopt;
      f = {JsonField::Kind::string, *v};
    } else {
      const std::size_t start = i;
      while (i < s.size() && s[i] != ',' && s[i] != '}') ++i;
      if (i == start) return std::nullopt;
      f = {JsonField::Kind::literal, s.substr(start, i - start)};
    }
    out[*key] = f;
    if (i < s.size() && s[i] == ',') ++i;
  }
  if (i + 1 != s.size() || s[i] != '}') return std::nullopt;
  return out;
}

// Every case line of a file, in order; malformed lines are counted in `bad`.
inline std::vector<JsonLine> read_json_lines(const std::string& path, std::size_t& bad) {
  std::vector<JsonLine> lines;
  std::ifstream in(path);
  std::string line;
  bad = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line.starts_with("{\"meta\":")) continue;
    if (auto parsed = parse_json_line(line)) lines.push_back(std::move(*parsed));
    else ++bad;
  }
  return lines;
}

}  // namespace qv::testing
