#include "json/canonical.hpp"

#include <charconv>
#include <cmath>
#include <cstring>
#include <utility>

#include "json/scan.hpp"
#include "json/writer.hpp"

namespace qv::json {

namespace {

core::EngineError non_finite_error() {
  return core::EngineError::serialisation("non-finite float in canonical JSON");
}

}  // namespace

core::Result<Value> canonicalize_json(Value value) {
  // Sorting in place is the same as rebuilding each object in key order.
  // Walked with an explicit stack, so depth costs no native stack.
  std::vector<Value*> pending{&value};
  while (!pending.empty()) {
    Value* v = pending.back();
    pending.pop_back();
    switch (v->kind()) {
      case Value::Kind::F64:
        if (!std::isfinite(v->as_f64())) {
          return std::unexpected(non_finite_error());
        }
        break;
      case Value::Kind::Array:
        for (Value& e : v->as_array()) pending.push_back(&e);
        break;
      case Value::Kind::Object:
        v->as_object().sort_by_key();
        for (Member& m : v->as_object()) pending.push_back(&m.value);
        break;
      default:
        break;
    }
  }
  return value;
}

core::Result<std::string> canonical_text(const Value& value) {
  CanonicalOut out;
  write_value(out, value);
  if (out.saw_non_finite()) return std::unexpected(non_finite_error());
  return std::string(out.text());
}

void CanonicalOut::quoted(std::string_view s) {
  bool non_ascii = false;  // not needed here
  if (detail::find_special_string_byte(s.data(), 0, s.size(), non_ascii) == s.size()) {
    plain_quoted(s);  // nothing to escape
    return;
  }
  piece_.clear();
  write_json_string(s, piece_);
  raw(piece_);
}

void CanonicalOut::unsigned_integer(std::uint64_t n) {
  place();
  char* p = room(20);
  len_ = static_cast<std::size_t>(std::to_chars(p, p + 20, n).ptr - buf_.data());
}

void CanonicalOut::signed_integer(std::int64_t n) {
  place();
  char* p = room(20);
  len_ = static_cast<std::size_t>(std::to_chars(p, p + 20, n).ptr - buf_.data());
}

void CanonicalOut::floating(double d) {
  if (!std::isfinite(d)) non_finite_ = true;
  place();
  char* p = room(kF64TextMax);
  len_ = static_cast<std::size_t>(write_json_f64(d, p) - buf_.data());
}

void CanonicalOut::member_key(std::string_view k, bool plain) {
  Frame& f = frames_.back();
  Member m{k, head_of(k), 0, 0};
  if (f.first) {
    f.first = false;
  } else {
    Member& before = members_.back();
    before.end = len_;
    if (f.in_order && !less(before, m)) f.in_order = false;
    put(',');
  }
  m.start = len_;
  members_.push_back(m);
  if (plain) {
    plain_quoted(k);
  } else {
    quoted(k);
  }
  put(':');
}

void CanonicalOut::end_object() {
  const Frame f = frames_.back();
  frames_.pop_back();
  --objects_open_;
  const auto first = members_.begin() + static_cast<std::ptrdiff_t>(f.members_begin);
  if (first != members_.end()) {
    members_.back().end = len_;
    if (!f.in_order) {
      // Stable, so that of two members with one key the later stays last;
      // objects are mostly small, where insertion beats merging.
      if (members_.end() - first <= 16) {
        for (auto i = first + 1; i < members_.end(); ++i) {
          const Member m = *i;
          auto j = i;
          for (; j != first && less(m, *(j - 1)); --j) *j = *(j - 1);
          *j = m;
        }
      } else {
        std::stable_sort(first, members_.end(), less);
      }
      scratch_.assign(buf_, f.start, len_ - f.start);
      len_ = f.start;
      bool any = false;
      for (auto m = first; m != members_.end(); ++m) {
        if (m + 1 != members_.end() && same_key(*m, *(m + 1))) {
          duplicate_key_ = true;
          continue;  // the later value wins
        }
        if (any) put(',');
        any = true;
        raw(std::string_view(scratch_).substr(m->start - f.start, m->end - m->start));
      }
    }
    members_.erase(first, members_.end());
  }
  put('}');
}

}  // namespace qv::json
