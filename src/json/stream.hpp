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

  // The cursor is held here, where the writer's stores cannot reach it (a
  // byte stored through a char pointer might be any object's, so one held
  // in the parser is read again after every store); the parser's own is
  // set before each call into it and read back after, and before each
  // event, which a sink may place by it.
  const char* const data = p.text().data();
  const std::size_t n = p.text().size();
  std::size_t i = p.index();
  // The next byte past white space, or -1 at the end (the parser skips
  // what white space there is).
  const auto peek_ws = [&]() __attribute__((always_inline)) -> int {
    if (i < n) {
      const auto c = static_cast<unsigned char>(data[i]);
      if (c > ' ') return c;
    }
    p.seek(i);
    const int c = p.peek_ws();
    i = p.index();
    return c;
  };
  // Before an event: the parser's position, unless the sink reads nothing
  // but the events.
  const auto at_event = [&]() __attribute__((always_inline)) {
    if constexpr (!requires { requires Sink::kReadsEventsOnly; }) p.seek(i);
  };
  // A string or key read without escapes: it holds nothing the writer
  // escapes, which a sink may be told.
  const auto plain_string = [&](std::string_view s) __attribute__((always_inline)) {
    at_event();
    if constexpr (requires { out.plain_string(s); }) {
      out.plain_string(s);
    } else {
      out.string(s);
    }
  };
  const auto plain_key = [&](std::string_view k) __attribute__((always_inline)) {
    at_event();
    if constexpr (requires { out.plain_key(k); }) {
      out.plain_key(k);
    } else {
      out.key(k);
    }
  };
  // Runs a step of the parser from the cursor, and takes its cursor back.
  const auto in_parser = [&](auto step) __attribute__((always_inline)) {
    p.seek(i);
    auto r = step();
    i = p.index();
    return r;
  };

  for (;;) {
    // One value: a scalar, or the opening of a container.
    const int c = peek_ws();
    bool opened = false;
    switch (c) {
      case -1:
        p.seek(i);
        return std::unexpected(p.peek_error(std::string(Parser::kEofValue)));
      case 'n':
      case 't':
      case 'f': {
        auto word = in_parser([&] { return p.parse_word(c); });
        if (!word) return std::unexpected(std::move(word.error()));
        at_event();
        if (word->is_null()) {
          out.null();
        } else {
          out.boolean(word->as_bool());
        }
        break;
      }
      case '"': {
        ++i;
        std::string_view plain;
        if (Parser::take_plain_string_at(data, n, i, plain)) {
          plain_string(plain);
          break;
        }
        if constexpr (requires { out.written_string(plain); }) {
          if (in_parser([&] { return p.take_written_string(plain); })) {
            at_event();
            out.written_string(plain);
            break;
          }
        }
        auto s = in_parser([&] { return p.parse_string_view(scratch); });
        if (!s) return std::unexpected(std::move(s.error()));
        if (s->data() != scratch.data()) {
          plain_string(*s);
        } else {
          at_event();
          out.string(*s);
        }
        break;
      }
      case '[':
      case '{':
        if (auto r = in_parser([&] { return p.enter(); }); !r) return std::unexpected(std::move(r.error()));
        ++i;
        stack.push_back(Frame{c == '[', owned_count});
        at_event();
        if (c == '[') {
          out.begin_array();
        } else {
          out.begin_object();
        }
        opened = true;
        break;
      default: {
        if (c != '-' && (c < '0' || c > '9')) {
          p.seek(i);
          return std::unexpected(p.peek_error(std::string(Parser::kExpectedValue)));
        }
        if constexpr (requires(std::string_view t) { out.plain_number(t); }) {
          // A writer takes the number's text, formed from the literal where
          // its digits suffice (every literal take_short_integer takes among
          // them).
          Parser::NumberRoom room;
          std::string_view number;
          if (in_parser([&] { return p.take_number_text(room, number); })) {
            at_event();
            out.plain_number(number);
            break;
          }
        } else {
          std::uint64_t magnitude = 0;
          bool negative = false;
          if (in_parser([&] { return p.take_short_integer(magnitude, negative); })) {
            at_event();
            if (negative) {
              out.signed_integer(-static_cast<std::int64_t>(magnitude));
            } else {
              out.unsigned_integer(magnitude);
            }
            break;
          }
        }
        auto number = in_parser([&] { return p.parse_number(); });
        if (!number) return std::unexpected(std::move(number.error()));
        at_event();
        if (number->is_u64()) {
          out.unsigned_integer(number->as_u64());
        } else if (number->is_i64()) {
          out.signed_integer(number->as_i64());
        } else {
          out.floating(number->as_f64());
        }
        break;
      }
    }

    // Close the containers that end, until the next value is positioned.
    bool first = opened;
    for (;;) {
      if (stack.empty()) {
        p.seek(i);
        return {};
      }
      // The frame's members read one by one: a copy of the whole frame reads
      // its padding, just written in parts, which stalls the processor.
      const bool array = stack.back().array;
      const char close = array ? ']' : '}';
      // Parser::next_entry's common steps on the cursor held here; anything
      // else (and every error) in the parser.
      bool more;
      const int d = peek_ws();
      if (d == close) {
        more = false;
      } else if (d >= 0 && first) {
        first = false;
        more = true;
      } else {
        more = false;
        bool taken = false;
        if (d == ',' && !first) {
          const std::size_t comma = i++;
          const int e = peek_ws();
          if (e >= 0 && e != close) {
            more = true;
            taken = true;
          } else {
            i = comma;
          }
        }
        if (!taken) {
          auto entry = in_parser([&] { return p.next_entry(close, first); });
          if (!entry) return std::unexpected(std::move(entry.error()));
          more = *entry;
        }
      }
      if (!more) {
        ++i;
        p.leave();
        const std::size_t keys = stack.back().keys;
        stack.pop_back();
        at_event();
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
        if (i >= n || data[i] != '"') {
          p.seek(i);
          return std::unexpected(p.peek_error(std::string(Parser::kKeyMustBeString)));
        }
        ++i;
        std::string_view plain;
        if (Parser::take_plain_string_at(data, n, i, plain)) {
          plain_key(plain);
        } else {
          auto key = in_parser([&] { return p.parse_string_view(scratch); });
          if (!key) return std::unexpected(std::move(key.error()));
          if (key->data() == scratch.data()) {
            at_event();
            owned.emplace_back(*key);
            ++owned_count;
            out.key(owned.back());
          } else {
            plain_key(*key);
          }
        }
        // The colon, at once or after white space.
        if (i < n && data[i] == ':') {
          ++i;
        } else if (auto r = in_parser([&] { return p.parse_colon(); }); !r) {
          return std::unexpected(std::move(r.error()));
        }
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
