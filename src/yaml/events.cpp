#include "yaml/events.hpp"

#include <yaml.h>

#include <new>
#include <string>

#include "core/keyed_hash.hpp"

namespace qv::yaml {

namespace {

Mark to_mark(const yaml_mark_t& m) { return Mark{m.index, m.line, m.column}; }

void append_position(std::string& out, const yaml_mark_t& m) {
  out += " at line ";
  out += std::to_string(m.line + 1);
  out += " column ";
  out += std::to_string(m.column + 1);
}

bool is_zero(const yaml_mark_t& m) { return m.line == 0 && m.column == 0; }

// The parser's message: the problem with its position (or its byte offset
// for errors found while decoding), then the context with its own position
// when that differs.
YamlError parser_error(const yaml_parser_t& parser) {
  if (parser.error == YAML_MEMORY_ERROR) throw std::bad_alloc();
  YamlError e;
  e.from_parser = true;
  e.mark = to_mark(parser.problem_mark);
  e.message = parser.problem != nullptr ? parser.problem : "unknown error";
  // libyaml 0.2.5 misspells this one message; callers see it spelt right.
  if (e.message == "did not find expected hexdecimal number") e.message = "did not find expected hexadecimal number";
  if (!is_zero(parser.problem_mark)) {
    append_position(e.message, parser.problem_mark);
  } else if (parser.problem_offset != 0) {
    e.message += " at position ";
    e.message += std::to_string(parser.problem_offset);
  }
  if (parser.context != nullptr) {
    e.message += ", ";
    e.message += parser.context;
    const yaml_mark_t& c = parser.context_mark;
    if (!is_zero(c) && (c.line != parser.problem_mark.line || c.column != parser.problem_mark.column)) {
      append_position(e.message, c);
    }
  }
  return e;
}

ScalarStyle to_style(yaml_scalar_style_t s) {
  switch (s) {
    case YAML_SINGLE_QUOTED_SCALAR_STYLE:
      return ScalarStyle::SingleQuoted;
    case YAML_DOUBLE_QUOTED_SCALAR_STYLE:
      return ScalarStyle::DoubleQuoted;
    case YAML_LITERAL_SCALAR_STYLE:
      return ScalarStyle::Literal;
    case YAML_FOLDED_SCALAR_STYLE:
      return ScalarStyle::Folded;
    default:
      return ScalarStyle::Plain;
  }
}

std::string_view chars(const yaml_char_t* p) {
  return p == nullptr ? std::string_view() : std::string_view(reinterpret_cast<const char*>(p));
}

class Parser {
 public:
  explicit Parser(std::string_view text) {
    if (yaml_parser_initialize(&parser_) == 0) throw std::bad_alloc();
    yaml_parser_set_encoding(&parser_, YAML_UTF8_ENCODING);
    yaml_parser_set_input_string(&parser_, reinterpret_cast<const unsigned char*>(text.data()), text.size());
  }
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;
  ~Parser() { yaml_parser_delete(&parser_); }

  // The next event, or false with the parser's error.
  bool next(yaml_event_t& event) { return yaml_parser_parse(&parser_, &event) != 0; }
  const yaml_parser_t& state() const { return parser_; }

 private:
  yaml_parser_t parser_{};
};

struct EventGuard {
  yaml_event_t event{};
  EventGuard() = default;
  EventGuard(const EventGuard&) = delete;
  EventGuard& operator=(const EventGuard&) = delete;
  ~EventGuard() { yaml_event_delete(&event); }
};

}  // namespace

namespace {

// Copies the events' texts into one block and points the events at it.
class Storage {
 public:
  explicit Storage(std::size_t text_size) : tag_budget_(kTagBytesPerTextByte * text_size + kTagBytesAllowance) {
    // Scalar values are rarely longer than the text that holds them.
    bytes_.reserve(text_size);
    places_.reserve(text_size / 16);
  }

  // Keeps the texts of the next event; false, keeping nothing, when the
  // tags would pass their budget.
  bool add(std::string_view text, std::string_view tag) {
    if (tag.size() > tag_budget_ - tag_bytes_) return false;
    tag_bytes_ += tag.size();
    if (!text.empty() || !tag.empty()) places_.push_back(Place{index_, bytes_.size(), text.size(), tag.size()});
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    bytes_.insert(bytes_.end(), tag.begin(), tag.end());
    ++index_;
    return true;
  }

  void finish(Document& doc) {
    doc.storage = std::move(bytes_);
    const char* base = doc.storage.data();
    for (const Place& p : places_) {
      Event& e = doc.events[p.event];
      e.text = std::string_view(base + p.at, p.text);
      e.tag = std::string_view(base + p.at + p.text, p.tag);
    }
  }

 private:
  struct Place {
    std::size_t event, at, text, tag;
  };
  std::vector<char> bytes_;
  std::vector<Place> places_;
  std::size_t index_ = 0;
  std::size_t tag_bytes_ = 0;
  std::size_t tag_budget_;
};

}  // namespace

namespace {

void collect(Document& doc, Storage& storage, std::string_view text) {
  Parser parser(text);
  core::TextMap<std::size_t> anchors;
  auto remember = [&](const yaml_char_t* anchor) {
    if (anchor != nullptr) anchors.insert_or_assign(std::string(chars(anchor)), doc.events.size());
  };
  std::size_t depth = 0;
  for (;;) {
    EventGuard g;
    if (!parser.next(g.event)) {
      doc.error = parser_error(parser.state());
      return;
    }
    const yaml_event_t& ev = g.event;
    Event out;
    out.mark = to_mark(ev.start_mark);
    std::string_view value, tag;
    switch (ev.type) {
      case YAML_STREAM_START_EVENT:
      case YAML_DOCUMENT_START_EVENT:
      case YAML_NO_EVENT:
        continue;
      case YAML_STREAM_END_EVENT:
        doc.no_document = true;
        return;
      case YAML_DOCUMENT_END_EVENT: {
        EventGuard after;
        doc.more_documents = !parser.next(after.event) || after.event.type != YAML_STREAM_END_EVENT;
        return;
      }
      case YAML_ALIAS_EVENT: {
        const auto it = anchors.find(chars(ev.data.alias.anchor));
        if (it == anchors.end()) {
          doc.error = YamlError{"unknown anchor", {}, out.mark, false};
          return;
        }
        out.kind = EventKind::Alias;
        out.target = it->second;
        break;
      }
      case YAML_SCALAR_EVENT:
        remember(ev.data.scalar.anchor);
        out.kind = EventKind::Scalar;
        out.style = to_style(ev.data.scalar.style);
        value = std::string_view(reinterpret_cast<const char*>(ev.data.scalar.value), ev.data.scalar.length);
        tag = chars(ev.data.scalar.tag);
        break;
      case YAML_SEQUENCE_START_EVENT:
        remember(ev.data.sequence_start.anchor);
        out.kind = EventKind::SequenceStart;
        tag = chars(ev.data.sequence_start.tag);
        break;
      case YAML_MAPPING_START_EVENT:
        remember(ev.data.mapping_start.anchor);
        out.kind = EventKind::MappingStart;
        tag = chars(ev.data.mapping_start.tag);
        break;
      case YAML_SEQUENCE_END_EVENT:
        out.kind = EventKind::SequenceEnd;
        break;
      case YAML_MAPPING_END_EVENT:
        out.kind = EventKind::MappingEnd;
        break;
    }
    if (!storage.add(value, tag)) {
      doc.error = bare_error(kRepetitionLimit);
      return;
    }
    doc.events.push_back(out);
    if (out.kind == EventKind::SequenceStart || out.kind == EventKind::MappingStart) {
      if (++depth > kMaxDepth) {
        doc.error = YamlError{kRecursionLimit, {}, out.mark, false};
        return;
      }
    } else if (out.kind == EventKind::SequenceEnd || out.kind == EventKind::MappingEnd) {
      --depth;
    }
  }
}


}  // namespace

Document load_document(std::string_view text) {
  Document doc;
  // A typical event stands for a dozen bytes of text.
  doc.events.reserve(text.size() / 12);
  Storage storage(text.size());
  collect(doc, storage, text);
  storage.finish(doc);
  return doc;
}

std::size_t skip_node(const std::vector<Event>& events, std::size_t index) {
  std::size_t depth = 0;
  while (index < events.size()) {
    switch (events[index++].kind) {
      case EventKind::SequenceStart:
      case EventKind::MappingStart:
        ++depth;
        break;
      case EventKind::SequenceEnd:
      case EventKind::MappingEnd:
        --depth;
        break;
      default:
        break;
    }
    if (depth == 0) break;
  }
  return index;
}

}  // namespace qv::yaml
