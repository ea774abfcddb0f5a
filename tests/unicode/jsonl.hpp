#pragma once
// A small JSON reader for the reference-case files (objects, arrays, strings,
// integers, booleans, null); enough for one line at a time.
#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qv::testing {

struct Json {
  enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
  bool boolean = false;
  double number = 0;
  std::string string;
  std::vector<Json> array;
  std::map<std::string, Json> object;

  const Json& operator[](const std::string& key) const {
    static const Json kNull;
    const auto it = object.find(key);
    return it == object.end() ? kNull : it->second;
  }
  bool has(const std::string& key) const { return object.count(key) != 0; }
  char32_t cp() const { return static_cast<char32_t>(number); }
};

class JsonParser {
 public:
  explicit JsonParser(std::string_view text) : t_(text) {}

  Json parse() {
    Json v = value();
    ws();
    if (i_ != t_.size()) fail("trailing characters");
    return v;
  }

 private:
  [[noreturn]] void fail(const char* what) { throw std::runtime_error(std::string("bad JSON: ") + what); }
  void ws() {
    while (i_ < t_.size() && (t_[i_] == ' ' || t_[i_] == '\n' || t_[i_] == '\r' || t_[i_] == '\t')) ++i_;
  }
  char peek() {
    if (i_ >= t_.size()) fail("end");
    return t_[i_];
  }
  void expect(char c) {
    if (peek() != c) fail("unexpected byte");
    ++i_;
  }
  static void put_utf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  std::uint32_t hex4() {
    if (t_.size() - i_ < 4) fail("short escape");
    std::uint32_t v = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = t_[i_++];
      v <<= 4;
      if (c >= '0' && c <= '9') v |= static_cast<std::uint32_t>(c - '0');
      else if (c >= 'a' && c <= 'f') v |= static_cast<std::uint32_t>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') v |= static_cast<std::uint32_t>(c - 'A' + 10);
      else fail("hex digit");
    }
    return v;
  }
  std::string str() {
    expect('"');
    std::string out;
    for (;;) {
      const char c = peek();
      ++i_;
      if (c == '"') return out;
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      const char e = peek();
      ++i_;
      switch (e) {
        case '"': out.push_back('"'); break;
        case '\\': out.push_back('\\'); break;
        case '/': out.push_back('/'); break;
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        case 't': out.push_back('\t'); break;
        case 'u': {
          std::uint32_t c1 = hex4();
          if (c1 >= 0xD800 && c1 < 0xDC00 && t_.substr(i_, 2) == "\\u") {
            i_ += 2;
            const std::uint32_t c2 = hex4();
            c1 = 0x10000 + ((c1 - 0xD800) << 10) + (c2 - 0xDC00);
          }
          put_utf8(out, c1);
          break;
        }
        default: fail("escape");
      }
    }
  }
  Json value() {
    ws();
    Json v;
    const char c = peek();
    if (c == '{') {
      v.kind = Json::Kind::Object;
      ++i_;
      ws();
      if (peek() == '}') { ++i_; return v; }
      for (;;) {
        ws();
        std::string k = str();
        ws();
        expect(':');
        v.object[k] = value();
        ws();
        if (peek() == ',') { ++i_; continue; }
        expect('}');
        return v;
      }
    }
    if (c == '[') {
      v.kind = Json::Kind::Array;
      ++i_;
      ws();
      if (peek() == ']') { ++i_; return v; }
      for (;;) {
        v.array.push_back(value());
        ws();
        if (peek() == ',') { ++i_; continue; }
        expect(']');
        return v;
      }
    }
    if (c == '"') {
      v.kind = Json::Kind::String;
      v.string = str();
      return v;
    }
    if (t_.substr(i_, 4) == "null") { i_ += 4; return v; }
    if (t_.substr(i_, 4) == "true") { i_ += 4; v.kind = Json::Kind::Bool; v.boolean = true; return v; }
    if (t_.substr(i_, 5) == "false") { i_ += 5; v.kind = Json::Kind::Bool; return v; }
    const std::size_t start = i_;
    while (i_ < t_.size() && (std::string_view("+-.eE0123456789").find(t_[i_]) != std::string_view::npos)) ++i_;
    if (start == i_) fail("value");
    v.kind = Json::Kind::Number;
    v.number = std::stod(std::string(t_.substr(start, i_ - start)));
    return v;
  }

  std::string_view t_;
  std::size_t i_ = 0;
};

// Every line of a JSON-lines file under the reference-case folder.
inline std::vector<Json> read_jsonl(const std::string& name) {
  std::ifstream in(std::string(QV_VECTORS_DIR) + "/" + name);
  if (!in) throw std::runtime_error("cannot open " + name);
  std::vector<Json> out;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty()) out.push_back(JsonParser(line).parse());
  }
  return out;
}

}  // namespace qv::testing
