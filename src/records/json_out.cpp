#include "records/json_out.hpp"

#include <algorithm>
#include <utility>

#include "json/writer.hpp"

namespace qv::records::detail {

void TextOut::separate() {
  if (after_key_) {
    after_key_ = false;
  } else if (!first_) {
    out_.push_back(',');
  }
  first_ = false;
}

void TextOut::open(char c) {
  separate();
  out_.push_back(c);
  first_ = true;
}

void TextOut::close(char c) {
  out_.push_back(c);
  first_ = false;
}

void TextOut::key(std::string_view k) {
  separate();
  json::write_json_string(k, out_);
  out_.push_back(':');
  after_key_ = true;
}

void TextOut::string(std::string_view s) {
  separate();
  json::write_json_string(s, out_);
}

void TextOut::unsigned_integer(std::uint64_t n) {
  separate();
  json::write_json_u64(n, out_);
}

void TextOut::floating(double d) {
  separate();
  json::write_json_f64(d, out_);
}

void TextOut::boolean(bool b) {
  separate();
  out_ += b ? "true" : "false";
}

void TextOut::null() {
  separate();
  out_ += "null";
}

void ValueOut::put(json::Value v) {
  if (stack_.empty()) {
    result_ = std::move(v);
    return;
  }
  json::Value& top = stack_.back();
  if (top.is_array()) {
    top.as_array().push_back(std::move(v));
  } else {
    top.as_object().insert_or_assign(std::move(keys_.back()), std::move(v));
    keys_.pop_back();
  }
}

void ValueOut::finish() {
  json::Value done = std::move(stack_.back());
  stack_.pop_back();
  put(std::move(done));
}

void CanonicalOut::put(std::string text) {
  if (frames_.empty()) {
    result_ = std::move(text);
    return;
  }
  Frame& top = frames_.back();
  if (top.object) {
    top.members.emplace_back(std::move(top.key), std::move(text));
    top.key.clear();
  } else {
    if (top.text.size() > 1) top.text.push_back(',');
    top.text += text;
  }
}

void CanonicalOut::string(std::string_view s) {
  std::string text;
  json::write_json_string(s, text);
  put(std::move(text));
}

void CanonicalOut::unsigned_integer(std::uint64_t n) {
  std::string text;
  json::write_json_u64(n, text);
  put(std::move(text));
}

void CanonicalOut::floating(double d) {
  std::string text;
  json::write_json_f64(d, text);
  put(std::move(text));
}

void CanonicalOut::end_array() {
  std::string text = std::move(frames_.back().text);
  frames_.pop_back();
  text.push_back(']');
  put(std::move(text));
}

void CanonicalOut::end_object() {
  auto members = std::move(frames_.back().members);
  frames_.pop_back();
  // std::string compares bytes as unsigned, a prefix first.
  std::sort(members.begin(), members.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::size_t size = 2;
  for (const auto& [k, v] : members) size += k.size() + v.size() + 4;
  std::string text;
  text.reserve(size);
  text.push_back('{');
  for (std::size_t i = 0; i < members.size(); ++i) {
    if (i > 0) text.push_back(',');
    json::write_json_string(members[i].first, text);
    text.push_back(':');
    text += members[i].second;
  }
  text.push_back('}');
  put(std::move(text));
}

}  // namespace qv::records::detail
