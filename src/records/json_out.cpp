#include "records/json_out.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <utility>

#include "json/scan.hpp"
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

void CanonicalOut::quoted(std::string_view s) {
  bool non_ascii = false;  // not needed here
  if (json::detail::find_special_string_byte(s.data(), 0, s.size(), non_ascii) == s.size()) {
    // Nothing to escape: the bytes go out as they are.
    char* p = room(s.size() + 2);
    p[0] = '"';
    if (!s.empty()) std::memcpy(p + 1, s.data(), s.size());
    p[s.size() + 1] = '"';
    len_ += s.size() + 2;
    return;
  }
  piece_.clear();
  json::write_json_string(s, piece_);
  raw(piece_);
}

void CanonicalOut::unsigned_integer(std::uint64_t n) {
  place();
  char* p = room(20);
  len_ = static_cast<std::size_t>(std::to_chars(p, p + 20, n).ptr - buf_.data());
}

void CanonicalOut::floating(double d) {
  place();
  piece_.clear();
  json::write_json_f64(d, piece_);
  raw(piece_);
}

void CanonicalOut::key(std::string_view k) {
  Frame& f = frames_.back();
  const Member m{k, 0, 0};
  if (f.first) {
    f.first = false;
  } else {
    Member& before = members_.back();
    before.end = len_;
    if (f.in_order && !less(before, m)) f.in_order = false;
    put(',');
  }
  members_.push_back(m);
  members_.back().start = len_;
  quoted(k);
  put(':');
}

void CanonicalOut::end_object() {
  const Frame f = frames_.back();
  frames_.pop_back();
  const auto first = members_.begin() + static_cast<std::ptrdiff_t>(f.members_begin);
  if (first != members_.end()) {
    members_.back().end = len_;
    if (!f.in_order) {
      std::sort(first, members_.end(), less);
      scratch_.assign(buf_, f.start, len_ - f.start);
      len_ = f.start;
      for (auto m = first; m != members_.end(); ++m) {
        if (m != first) put(',');
        raw(std::string_view(scratch_).substr(m->start - f.start, m->end - m->start));
      }
    }
    members_.erase(first, members_.end());
  }
  put('}');
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
