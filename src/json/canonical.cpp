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
  const std::uint64_t head = head_of(k);
  // Room for the comma, the quoted key and the colon, taken at once.
  char* p = room(k.size() + 4);
  if (f.first) {
    f.first = false;
  } else {
    Member& before = members_.back();
    before.end = len_;
    if (f.in_order && !(before.head < head || (before.head == head && less_after_head(before.key, k)))) {
      f.in_order = false;
    }
    *p++ = ',';
    ++len_;
  }
  // Stored member by member: a whole Member built aside and copied in is
  // written in parts and read back whole, which stalls the processor.
  Member& m = members_.emplace_back();
  m.key = k;
  m.head = head;
  m.start = len_;
  if (plain) {
    p[k.size() + 2] = ':';  // stored before len_ moves, so that len_ stays in a register
    quoted_at(p, k);
    ++len_;
  } else {
    quoted(k);
    put(':');
  }
}

bool CanonicalOut::Shape::fits(const Member* m, std::size_t count) const {
  if (count != keys.size()) return false;
  for (std::size_t i = 0; i < count; ++i) {
    const ShapeKey& k = keys[i];
    if (m[i].head != k.head || m[i].key.size() != k.size) return false;
    if (k.size > 8) {
      // Up to 16 bytes, the first 8 and the last 8 are the whole key.
      std::uint64_t last;
      std::memcpy(&last, m[i].key.data() + k.size - 8, 8);
      if (last != k.last) return false;
      if (k.size > 16 && std::memcmp(m[i].key.data() + 8, tails.data() + k.tail, k.size - 16) != 0) return false;
    }
  }
  return true;
}

void CanonicalOut::Shape::learn(const Member* m, std::size_t count) {
  keys.clear();
  tails.clear();
  order.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::string_view key = m[i].key;
    std::uint64_t last = 0;
    if (key.size() > 8) std::memcpy(&last, key.data() + key.size() - 8, 8);
    keys.push_back(ShapeKey{m[i].head, last, key.size(), tails.size()});
    if (key.size() > 16) tails.append(key.substr(8, key.size() - 16));
    order[i] = i;
  }
  // Stable, so that of two members with one key the later stays last;
  // objects are mostly small, where insertion beats merging.
  const auto by_key = [m](std::size_t x, std::size_t y) { return less(m[x], m[y]); };
  if (count <= 16) {
    for (std::size_t i = 1; i < count; ++i) {
      const std::size_t x = order[i];
      std::size_t j = i;
      for (; j != 0 && by_key(x, order[j - 1]); --j) order[j] = order[j - 1];
      order[j] = x;
    }
  } else {
    std::stable_sort(order.begin(), order.end(), by_key);
  }
  duplicates = false;
  for (std::size_t i = 1; i < count; ++i) duplicates = duplicates || same_key(m[order[i - 1]], m[order[i]]);
}

const CanonicalOut::Shape& CanonicalOut::sorted_shape(const Member* m, std::size_t count) {
  for (const Shape& shape : shapes_) {
    if (shape.fits(m, count)) return shape;
  }
  Shape& shape = shapes_[next_shape_];
  next_shape_ = (next_shape_ + 1) % shapes_.size();
  shape.learn(m, count);
  return shape;
}

void CanonicalOut::reorder(std::size_t start, const Member* m, std::size_t count) {
  const Shape& shape = sorted_shape(m, count);
  const std::size_t size = len_ - start;
  // The members are copied aside, then back in key order, 32 bytes at
  // once and then 16 at a time: a copy may run past a member's end into the
  // room after it, which the next member (or the closing brace) overwrites.
  // (Most members take one step, so the copy's length seldom misleads the
  // processor's guesses.)
  constexpr std::size_t kBlock = 32;
  if (scratch_.size() < size + kBlock) {
    scratch_.resize_and_overwrite(std::max(2 * scratch_.size(), size + kBlock), [](char*, std::size_t n) { return n; });
  }
  char* const aside = scratch_.data();
  std::memcpy(aside, buf_.data() + start, size);
  (void)room(kBlock + 1);
  char* out = buf_.data() + start;
  const char* const from = aside - start;
  const std::size_t* const order = shape.order.data();
  if (!shape.duplicates) {
    for (std::size_t i = 0; i < count; ++i) {
      const Member& member = m[order[i]];
      const char* p = from + member.start;
      const std::size_t n = member.end - member.start;
      copy_block(out, p);
      copy_block(out + 16, p + 16);
      for (std::size_t k = 32; k < n; k += 16) copy_block(out + k, p + k);
      out += n;
      *out++ = ',';  // after the last member, where the brace goes
    }
    return;  // as long as before
  }
  bool any = false;
  len_ = start;
  for (std::size_t i = 0; i < count; ++i) {
    const Member& member = m[order[i]];
    if (i + 1 < count && same_key(member, m[order[i + 1]])) {
      duplicate_key_ = true;
      continue;  // the later value wins
    }
    if (any) put(',');
    any = true;
    raw(std::string_view(from + member.start, member.end - member.start));
  }
}

void CanonicalOut::end_object() {
  // The frame's members read one by one (a copy of the whole frame reads
  // its padding, just written in parts, which stalls the processor).
  const bool in_order = frames_.back().in_order;
  const std::size_t start = frames_.back().start;
  const std::size_t members_begin = frames_.back().members_begin;
  frames_.pop_back();
  --objects_open_;
  const auto first = members_.begin() + static_cast<std::ptrdiff_t>(members_begin);
  if (first != members_.end()) {
    members_.back().end = len_;
    if (!in_order) reorder(start, &*first, static_cast<std::size_t>(members_.end() - first));
    members_.erase(first, members_.end());
  }
  put('}');
}

}  // namespace qv::json
