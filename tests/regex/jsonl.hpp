// A small JSON reader for the reference-case files (JSON lines).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qv::regex::testing {

struct Json {
  enum class Type { kNull, kBool, kNumber, kString, kArray, kObject } type = Type::kNull;
  bool b = false;
  double num = 0;
  std::string str;
  std::vector<Json> arr;
  std::map<std::string, Json> obj;

  bool is_null() const { return type == Type::kNull; }
  const Json& operator[](const std::string& k) const {
    static const Json kNull;
    auto it = obj.find(k);
    return it == obj.end() ? kNull : it->second;
  }
  bool has(const std::string& k) const { return obj.count(k) != 0; }
};

class JsonReader {
 public:
  explicit JsonReader(std::string_view s) : s_(s) {}
  Json read() {
    Json v = value();
    ws();
    if (i_ != s_.size()) throw std::runtime_error("trailing characters");
    return v;
  }

 private:
  std::string_view s_;
  std::size_t i_ = 0;

  void ws() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r')) ++i_;
  }
  char peek() {
    ws();
    if (i_ >= s_.size()) throw std::runtime_error("unexpected end");
    return s_[i_];
  }
  void expect(char c) {
    if (peek() != c) throw std::runtime_error(std::string("expected ") + c);
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
    std::uint32_t v = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = s_.at(i_++);
      v = v * 16 + static_cast<std::uint32_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    return v;
  }
  std::string string() {
    expect('"');
    std::string out;
    while (true) {
      const char c = s_.at(i_++);
      if (c == '"') break;
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      const char e = s_.at(i_++);
      switch (e) {
        case 'n': out.push_back('\n'); break;
        case 't': out.push_back('\t'); break;
        case 'r': out.push_back('\r'); break;
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'u': {
          std::uint32_t c1 = hex4();
          if (c1 >= 0xD800 && c1 <= 0xDBFF && s_.substr(i_, 2) == "\\u") {
            i_ += 2;
            const std::uint32_t c2 = hex4();
            c1 = 0x10000 + ((c1 - 0xD800) << 10) + (c2 - 0xDC00);
          }
          put_utf8(out, c1);
          break;
        }
        default: out.push_back(e);
      }
    }
    return out;
  }
  Json value() {
    Json v;
    const char c = peek();
    if (c == '{') {
      ++i_;
      v.type = Json::Type::kObject;
      if (peek() == '}') {
        ++i_;
        return v;
      }
      while (true) {
        std::string k = string();
        expect(':');
        v.obj.emplace(std::move(k), value());
        if (peek() == ',') {
          ++i_;
          continue;
        }
        expect('}');
        return v;
      }
    }
    if (c == '[') {
      ++i_;
      v.type = Json::Type::kArray;
      if (peek() == ']') {
        ++i_;
        return v;
      }
      while (true) {
        v.arr.push_back(value());
        if (peek() == ',') {
          ++i_;
          continue;
        }
        expect(']');
        return v;
      }
    }
    if (c == '"') {
      v.type = Json::Type::kString;
      v.str = string();
      return v;
    }
    if (s_.substr(i_, 4) == "null") {
      i_ += 4;
      return v;
    }
    if (s_.substr(i_, 4) == "true") {
      i_ += 4;
      v.type = Json::Type::kBool;
      v.b = true;
      return v;
    }
    if (s_.substr(i_, 5) == "false") {
      i_ += 5;
      v.type = Json::Type::kBool;
      return v;
    }
    std::size_t start = i_;
    while (i_ < s_.size() && (std::string_view("+-.eE0123456789").find(s_[i_]) != std::string_view::npos)) ++i_;
    v.type = Json::Type::kNumber;
    v.num = std::stod(std::string(s_.substr(start, i_ - start)));
    return v;
  }
};

}  // namespace qv::regex::testing
