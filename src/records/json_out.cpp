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

}  // namespace qv::records::detail
