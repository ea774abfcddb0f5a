#pragma once
// Reading a JSON value as a stream of writer events (begin_object, key,
// string, unsigned_integer, ..., end_array), without building a value: the
// same text, positions and errors as Parser::parse_value, for any sink of
// the writer family (CanonicalOut, TextOut, ValueOut). Iterative, under the
// parser's depth limit.
//
// Members come as the text holds them: a key repeated in an object comes
// twice (a value reader keeps the last value at the first key's place).
// Keys stay valid until their object closes.
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "json/parser.hpp"

namespace qv::json {

template <class Sink>
JsonResult<void> stream_value(Parser& p, Sink& out) {
  struct Frame {
    bool array;
    std::size_t keys;  // escaped keys kept in `owned` when the object opened
  };
  std::vector<Frame> stack;
  // Keys that needed unescaping, each kept until its object closes (a
  // deque keeps them where they are as it grows); others are views into
  // the text.
  std::deque<std::string> owned;
  std::size_t owned_count = 0;  // owned.size(), kept aside as it is often needed
  std::string scratch;

  for (;;) {
    // One value: a scalar, or the opening of a container.
    const int c = p.peek_ws();
    bool opened = false;
    switch (c) {
      case -1:
        return std::unexpected(p.peek_error(std::string(Parser::kEofValue)));
      case 'n':
      case 't':
      case 'f': {
        auto word = p.parse_word(c);
        if (!word) return std::unexpected(std::move(word.error()));
        if (word->is_null()) {
          out.null();
        } else {
          out.boolean(word->as_bool());
        }
        break;
      }
      case '"': {
        p.eat();
        std::string_view plain;
        if (p.take_plain_string(plain)) {
          if constexpr (requires { out.plain_string(plain); }) {
            out.plain_string(plain);
          } else {
            out.string(plain);
          }
          break;
        }
        if constexpr (requires { out.written_string(plain); }) {
          if (p.take_written_string(plain)) {
            out.written_string(plain);
            break;
          }
        }
        auto s = p.parse_string_view(scratch);
        if (!s) return std::unexpected(std::move(s.error()));
        if constexpr (requires { out.plain_string(*s); }) {
          // Read without escapes, it holds nothing the writer escapes.
          if (s->data() != scratch.data()) {
            out.plain_string(*s);
            break;
          }
        }
        out.string(*s);
        break;
      }
      case '[':
      case '{':
        if (auto r = p.enter(); !r) return std::unexpected(std::move(r.error()));
        p.eat();
        stack.push_back(Frame{c == '[', owned_count});
        if (c == '[') {
          out.begin_array();
        } else {
          out.begin_object();
        }
        opened = true;
        break;
      default: {
        if (c != '-' && (c < '0' || c > '9')) return std::unexpected(p.peek_error(std::string(Parser::kExpectedValue)));
        if constexpr (requires(std::string_view t) { out.plain_number(t); }) {
          // A writer takes the number's text, formed from the literal where
          // its digits suffice.
          Parser::NumberRoom room;
          std::string_view number;
          if (p.take_number_text(room, number)) {
            out.plain_number(number);
            break;
          }
        }
        std::uint64_t magnitude = 0;
        bool negative = false;
        if (p.take_short_integer(magnitude, negative)) {
          if (negative) {
            out.signed_integer(-static_cast<std::int64_t>(magnitude));
          } else {
            out.unsigned_integer(magnitude);
          }
          break;
        }
        auto n = p.parse_number();
        if (!n) return std::unexpected(std::move(n.error()));
        if (n->is_u64()) {
          out.unsigned_integer(n->as_u64());
        } else if (n->is_i64()) {
          out.signed_integer(n->as_i64());
        } else {
          out.floating(n->as_f64());
        }
        break;
      }
    }

    // Close the containers that end, until the next value is positioned.
    bool first = opened;
    for (;;) {
      if (stack.empty()) return {};
      // The frame's members read one by one: a copy of the whole frame reads
      // its padding, just written in parts, which stalls the processor.
      const bool array = stack.back().array;
      auto more = p.next_entry(array ? ']' : '}', first);
      if (!more) return std::unexpected(std::move(more.error()));
      if (!*more) {
        p.eat();
        p.leave();
        const std::size_t keys = stack.back().keys;
        stack.pop_back();
        if (array) {
          out.end_array();
        } else {
          out.end_object();
          if (keys != owned_count) {
            owned.resize(keys);
            owned_count = keys;
          }
        }
        first = false;
        continue;
      }
      if (!array) {
        if (p.peek() != '"') return std::unexpected(p.peek_error(std::string(Parser::kKeyMustBeString)));
        p.eat();
        std::string_view plain;
        if (p.take_plain_string(plain)) {
          if constexpr (requires { out.plain_key(plain); }) {
            out.plain_key(plain);
          } else {
            out.key(plain);
          }
          if (auto r = p.parse_colon(); !r) return std::unexpected(std::move(r.error()));
          break;
        }
        auto key = p.parse_string_view(scratch);
        if (!key) return std::unexpected(std::move(key.error()));
        if (key->data() == scratch.data()) {
          owned.emplace_back(*key);
          ++owned_count;
          out.key(owned.back());
        } else if constexpr (requires { out.plain_key(*key); }) {
          out.plain_key(*key);
        } else {
          out.key(*key);
        }
        if (auto r = p.parse_colon(); !r) return std::unexpected(std::move(r.error()));
      }
      break;  // read the next value
    }
  }
}

// One JSON document (one value, white space around it) as events; the same
// errors as read_json.
template <class Sink>
JsonResult<void> stream_json(std::string_view text, Sink& out) {
  Parser p(text);
  if (auto r = stream_value(p, out); !r) return r;
  return p.end();
}

}  // namespace qv::json
