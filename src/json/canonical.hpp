#pragma once
// Canonical JSON: every object, at every depth, with its members sorted by
// the bytes of their keys (unsigned, a prefix first); arrays keep their
// order; written compact. It knows nothing of hashing: digests over it are
// taken by the records layer.
#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/copy.hpp"
#include "core/error.hpp"
#include "json/value.hpp"

namespace qv::json {

// The value with every object sorted. Fails with Serialisation "non-finite
// float in canonical JSON" when a float is NaN or infinite.
core::Result<Value> canonicalize_json(Value value);

// The compact text of the canonical form, with the same failure.
core::Result<std::string> canonical_text(const Value& value);

// Writes the canonical text (members of every object sorted by the bytes of
// their keys, compact) straight from the events, without building a value
// tree, for values and typed records alike. Everything is written into one buffer in arrival order; an
// object keeps where each member's text starts and ends and, when it closes,
// rewrites its members in key order unless they came in that order already
// (each key greater than the one before). A key must stay valid until its
// object closes. Buffers are reused from one record to the next.
//
// A key that comes twice in one object (as a text may hold it) is written
// once, with the value that came last, as a value read from that text has it.
//
// A writer given a drain hands the text on in pieces as it becomes final
// (no open object can move it any more), so that a long text of arrays need
// not be held whole: text() then holds only what has not been handed on,
// and finish() hands that on at the end.
class CanonicalOut {
 public:
  using Drain = void (*)(void* context, std::string_view piece);
  // Takes nothing from a reader but its events (not where it stands).
  static constexpr bool kReadsEventsOnly = true;

  void reset() {
    frames_.clear();
    members_.clear();
    len_ = 0;
    objects_open_ = 0;
    non_finite_ = false;
    duplicate_key_ = false;
  }
  void drain_to(Drain drain, void* context) {
    drain_ = drain;
    drain_context_ = context;
  }
  // Hands on the rest of a finished text.
  void finish() {
    if (drain_ != nullptr && len_ != 0) drain_now();
  }
  std::string_view text() const { return std::string_view(buf_.data(), len_); }
  // The text, moved out (the writer starts afresh).
  std::string take_text() {
    buf_.resize(len_);
    buf_.shrink_to_fit();
    std::string out = std::move(buf_);
    buf_.clear();
    reset();
    return out;
  }
  // Whether an object had a key twice.
  bool saw_duplicate_key() const { return duplicate_key_; }
  // Whether a NaN or infinite float came (it is written as null).
  bool saw_non_finite() const { return non_finite_; }

  [[gnu::always_inline]] void begin_object() {
    open(true, '{');
    ++objects_open_;
  }
  [[gnu::always_inline]] void begin_array() { open(false, '['); }
  [[gnu::always_inline]] void end_array() {
    put(']');
    frames_.pop_back();
  }
  void end_object();
  void key(std::string_view k) { member_key(k, false); }
  void string(std::string_view s) {
    place();
    quoted(s);
  }
  // A key or string known to hold no byte the writer escapes (as one read
  // from a text without escapes): written between quotes as it is.
  void plain_key(std::string_view k) { member_key(k, true); }
  // A plain key known to come after every key before it in its object
  // (as a writer that knows its members' order gives them): nothing is
  // kept to reorder. Every key of that object must come this way.
  void ordered_key(std::string_view k) {
    Frame& f = frames_.back();
    if (f.first) {
      f.first = false;
    } else {
      put(',');
    }
    plain_quoted(k);
    put(':');
  }
  [[gnu::always_inline]] void plain_string(std::string_view s) { quoted_at(value_room(s.size() + 2), s); }
  // A string's text as the writers escape it (as Parser::take_written_string
  // takes it): written between quotes as it is.
  [[gnu::always_inline]] void written_string(std::string_view text) { plain_string(text); }
  void unsigned_integer(std::uint64_t n);
  void signed_integer(std::int64_t n);
  void floating(double d);
  // A number's text as the writers write it (as Parser::take_number_text
  // forms it): written as it is.
  [[gnu::always_inline]] void plain_number(std::string_view text) { raw_at(value_room(text.size()), text); }
  void boolean(bool b) {
    place();
    raw(b ? std::string_view("true") : std::string_view("false"));
  }
  void null() {
    place();
    raw("null");
  }

 private:
  struct Member {
    std::string_view key;
    std::uint64_t head;  // the key's first 8 bytes, big-endian, 0-padded
    std::size_t start;   // the member's text in the buffer: "key":value
    std::size_t end;
  };
  struct Frame {
    bool object;
    bool first;                 // nothing written yet in the container
    bool in_order;              // an object's keys came in ascending order so far
    std::size_t start;          // where the container's contents start
    std::size_t members_begin;  // the object's members in `members_`
  };

  // The first 8 bytes of a key as one number, so that keys that differ
  // there (most do) compare in one step.
  static std::uint64_t head_of(std::string_view k) {
    const auto big_endian = [](auto v) { return std::endian::native == std::endian::little ? std::byteswap(v) : v; };
    const std::size_t n = k.size();
    if (n >= 8) {
      std::uint64_t h;
      std::memcpy(&h, k.data(), 8);
      return big_endian(h);
    }
    if (n >= 4) {
      // The first four bytes and the last four, which may overlap.
      std::uint32_t a;
      std::uint32_t b;
      std::memcpy(&a, k.data(), 4);
      std::memcpy(&b, k.data() + n - 4, 4);
      return std::uint64_t{big_endian(a)} << 32 | std::uint64_t{big_endian(b)} << (8 * (8 - n));
    }
    std::uint64_t h = 0;
    for (std::size_t i = 0; i < n; ++i) h |= std::uint64_t{static_cast<unsigned char>(k[i])} << (56 - 8 * i);
    return h;
  }
  // By the bytes of the keys, as unsigned values (a prefix first).
  static bool less(const Member& a, const Member& b) {
    if (a.head != b.head) return a.head < b.head;
    return less_after_head(a.key, b.key);
  }
  static bool less_after_head(std::string_view a, std::string_view b) {
    if (a.size() <= 8 || b.size() <= 8) return a.size() < b.size();
    const std::size_t n = std::min(a.size(), b.size()) - 8;
    const int c = std::memcmp(a.data() + 8, b.data() + 8, n);
    return c != 0 ? c < 0 : a.size() < b.size();
  }
  static bool same_key(const Member& a, const Member& b) { return a.head == b.head && a.key == b.key; }
  // Room for n more bytes, written at the returned place.
  [[gnu::always_inline]] char* room(std::size_t n) {
    if (buf_.size() - len_ < n) grow(n);
    return buf_.data() + len_;
  }
  // Grown without filling the new room, which is written before it is read.
  [[gnu::noinline]] void grow(std::size_t n) {
    buf_.resize_and_overwrite(std::max(buf_.size() * 2, len_ + n), [](char*, std::size_t size) { return size; });
  }
  [[gnu::always_inline]] void put(char c) {
    *room(1) = c;
    ++len_;
  }
  [[gnu::always_inline]] void raw(std::string_view s) { raw_at(room(s.size()), s); }
  // The bytes of s, or s between quotes, at p (the room taken for them),
  // and len_ moved past them.
  [[gnu::always_inline]] void raw_at(char* p, std::string_view s) {
    core::copy_bytes(p, s.data(), s.size());
    len_ += s.size();
  }
  [[gnu::always_inline]] void quoted_at(char* p, std::string_view s) {
    p[0] = '"';
    core::copy_bytes(p + 1, s.data(), s.size());
    p[s.size() + 1] = '"';
    len_ += s.size() + 2;
  }
  [[gnu::always_inline]] static void copy_block(char* to, const char* from) {
    char block[16];
    std::memcpy(block, from, 16);
    std::memcpy(to, block, 16);
  }
  // A string with quotes and the writer's escapes.
  void quoted(std::string_view s);
  [[gnu::always_inline]] void plain_quoted(std::string_view s) { quoted_at(room(s.size() + 2), s); }
  void member_key(std::string_view k, bool plain);
  [[gnu::always_inline]] void open(bool object, char bracket) {
    place();
    put(bracket);
    frames_.push_back(Frame{object, true, true, len_, members_.size()});
  }
  // Room for a value of n bytes, after a comma when it is not the first of
  // an array (object members are separated in key()): the value goes at the
  // returned place, and the caller then moves len_ past it.
  [[gnu::always_inline]] char* value_room(std::size_t n) {
    bool comma = false;
    if (!frames_.empty()) {
      Frame& f = frames_.back();
      if (!f.object) {
        if (drain_ != nullptr && objects_open_ == 0 && len_ >= kDrainAt) drain_now();
        comma = !f.first;
        f.first = false;
      }
    }
    char* p = room(n + 1);
    if (comma) {
      *p++ = ',';
      ++len_;
    }
    return p;
  }
  // Before a value written in steps: the same comma, room taken as it goes.
  [[gnu::always_inline]] void place() {
    if (frames_.empty()) return;
    Frame& f = frames_.back();
    if (!f.object) {
      // Inside arrays only, all that came before is final.
      if (drain_ != nullptr && objects_open_ == 0 && len_ >= kDrainAt) drain_now();
      if (!f.first) put(',');
      f.first = false;
    }
  }
  [[gnu::noinline]] void drain_now() {
    drain_(drain_context_, std::string_view(buf_.data(), len_));
    len_ = 0;
  }
  static constexpr std::size_t kDrainAt = 64 * 1024;

  // The keys of the last few objects that had to be reordered, in the order
  // they came, and the order that sorts them: the objects of an array mostly
  // share their keys, and each is then reordered without sorting.
  struct ShapeKey {
    std::uint64_t head;
    std::uint64_t last;  // the key's last 8 bytes, when it has more than 8
    std::size_t size;
    std::size_t tail;  // where the bytes after the first 8 are in `tails`
  };
  struct Shape {
    std::vector<ShapeKey> keys;
    std::string tails;
    std::vector<std::size_t> order;
    bool duplicates = false;  // a key comes twice
    [[gnu::always_inline]] inline bool fits(const Member* m, std::size_t count) const;
    void learn(const Member* m, std::size_t count);
  };
  // The shape of an object's members, with their positions in key order.
  const Shape& sorted_shape(const Member* m, std::size_t count);
  // Rewrites an object's members, whose text starts at `start`, in key order.
  void reorder(std::size_t start, const Member* m, std::size_t count);

  // The open containers, innermost last: a stack over a vector that only
  // grows, its steps inline wherever the writer is used.
  struct Frames {
    std::vector<Frame> store;
    std::size_t size = 0;
    [[gnu::always_inline]] bool empty() const { return size == 0; }
    [[gnu::always_inline]] Frame& back() { return store[size - 1]; }
    [[gnu::always_inline]] void pop_back() { --size; }
    void clear() { size = 0; }
    [[gnu::always_inline]] void push_back(const Frame& f) {
      if (size == store.size()) grow();
      store[size++] = f;
    }
    [[gnu::noinline]] void grow() { store.resize(2 * store.size() + 16); }
  };
  Frames frames_;
  std::vector<Member> members_;  // of the open objects, innermost last
  std::string buf_;              // the text is its first len_ bytes
  std::size_t len_ = 0;
  std::string scratch_;  // an object's members while they are reordered
  std::array<Shape, 4> shapes_;
  std::size_t next_shape_ = 0;
  std::string piece_;    // an escaped string being written
  std::size_t objects_open_ = 0;
  Drain drain_ = nullptr;
  void* drain_context_ = nullptr;
  bool non_finite_ = false;
  bool duplicate_key_ = false;
};

}  // namespace qv::json
