#include "yaml/emit.hpp"

#include <yaml.h>

#include <new>

#include "yaml/scalar.hpp"

namespace qv::yaml {

namespace {

int append_output(void* data, unsigned char* buffer, size_t size) {
  static_cast<std::string*>(data)->append(reinterpret_cast<const char*>(buffer), size);
  return 1;
}

yaml_char_t* chars(std::string_view s) {
  // libyaml takes non-const pointers but copies what it is given.
  return reinterpret_cast<yaml_char_t*>(const_cast<char*>(s.data()));
}

}  // namespace

bool plain_changes_meaning(std::string_view text) {
  if (resolve_plain(text).kind != ScalarKind::String) return true;
  std::string_view d = text;
  if (!d.empty() && (d[0] == '+' || d[0] == '-')) d.remove_prefix(1);
  if (d.size() < 2 || d[0] != '0') return false;
  for (const char c : d) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

struct Emitter::State {
  yaml_emitter_t emitter{};
  std::string out;
  std::string tag;  // NUL-terminated copy for libyaml
  std::optional<YamlError> error;

  void emit(yaml_event_t& event, int made) {
    if (made == 0) {
      yaml_event_delete(&event);
      if (!error) error = bare_error("invalid YAML event");
      return;
    }
    // yaml_emitter_emit takes the event over, also when it fails.
    if (yaml_emitter_emit(&emitter, &event) == 0 && !error) {
      if (emitter.error == YAML_MEMORY_ERROR) throw std::bad_alloc();
      error = bare_error(emitter.problem != nullptr ? emitter.problem : "emitter error");
    }
  }

  yaml_char_t* tag_or_null(std::string_view t) {
    if (t.empty()) return nullptr;
    tag.assign(t);
    return chars(tag);
  }

  void scalar(std::string_view text, std::string_view t, yaml_scalar_style_t style) {
    if (error) return;
    yaml_event_t ev;
    const int implicit = t.empty() ? 1 : 0;
    const int made = yaml_scalar_event_initialize(&ev, nullptr, tag_or_null(t), chars(text), static_cast<int>(text.size()),
                                                  implicit, implicit, style);
    emit(ev, made);
  }
};

Emitter::Emitter() : s_(std::make_unique<State>()) {
  if (yaml_emitter_initialize(&s_->emitter) == 0) throw std::bad_alloc();
  yaml_emitter_set_unicode(&s_->emitter, 1);
  yaml_emitter_set_width(&s_->emitter, -1);
  yaml_emitter_set_output(&s_->emitter, append_output, &s_->out);
  yaml_event_t ev;
  s_->emit(ev, yaml_stream_start_event_initialize(&ev, YAML_UTF8_ENCODING));
  s_->emit(ev, yaml_document_start_event_initialize(&ev, nullptr, nullptr, nullptr, 1));
}

Emitter::~Emitter() { yaml_emitter_delete(&s_->emitter); }

void Emitter::string(std::string_view text, std::string_view tag) {
  yaml_scalar_style_t style = YAML_ANY_SCALAR_STYLE;
  if (text.find('\n') != std::string_view::npos) {
    style = YAML_LITERAL_SCALAR_STYLE;
  } else if (plain_changes_meaning(text)) {
    style = YAML_SINGLE_QUOTED_SCALAR_STYLE;
  }
  s_->scalar(text, tag, style);
}

void Emitter::plain(std::string_view text, std::string_view tag) { s_->scalar(text, tag, YAML_PLAIN_SCALAR_STYLE); }

void Emitter::begin_mapping(std::string_view tag) {
  if (s_->error) return;
  yaml_event_t ev;
  const int made = yaml_mapping_start_event_initialize(&ev, nullptr, s_->tag_or_null(tag), tag.empty() ? 1 : 0,
                                                       YAML_ANY_MAPPING_STYLE);
  s_->emit(ev, made);
}

void Emitter::end_mapping() {
  if (s_->error) return;
  yaml_event_t ev;
  s_->emit(ev, yaml_mapping_end_event_initialize(&ev));
}

void Emitter::begin_sequence(std::string_view tag) {
  if (s_->error) return;
  yaml_event_t ev;
  const int made = yaml_sequence_start_event_initialize(&ev, nullptr, s_->tag_or_null(tag), tag.empty() ? 1 : 0,
                                                        YAML_ANY_SEQUENCE_STYLE);
  s_->emit(ev, made);
}

void Emitter::end_sequence() {
  if (s_->error) return;
  yaml_event_t ev;
  s_->emit(ev, yaml_sequence_end_event_initialize(&ev));
}

YamlResult<std::string> Emitter::finish() {
  if (!s_->error) {
    yaml_event_t ev;
    s_->emit(ev, yaml_document_end_event_initialize(&ev, 1));
  }
  if (s_->error) return std::unexpected(*s_->error);
  return std::move(s_->out);
}

namespace {

void write_node(Emitter& e, const Node& n, std::string_view tag) {
  switch (n.kind()) {
    case Node::Kind::Null:
      e.plain("null", tag);
      return;
    case Node::Kind::Bool:
      e.plain(n.as_bool() ? "true" : "false", tag);
      return;
    case Node::Kind::U64:
      e.plain(std::to_string(n.as_u64()), tag);
      return;
    case Node::Kind::I64:
      e.plain(std::to_string(n.as_i64()), tag);
      return;
    case Node::Kind::F64:
      e.plain(format_float(n.as_f64()), tag);
      return;
    case Node::Kind::String:
      e.string(n.as_string(), tag);
      return;
    case Node::Kind::Sequence:
      e.begin_sequence(tag);
      for (const Node& item : n.as_sequence()) write_node(e, item, {});
      e.end_sequence();
      return;
    case Node::Kind::Mapping:
      e.begin_mapping(tag);
      for (const auto& [k, v] : n.as_mapping()) {
        write_node(e, k, {});
        write_node(e, v, {});
      }
      e.end_mapping();
      return;
    case Node::Kind::Tagged:
      write_node(e, *n.as_tagged().node, "!" + n.as_tagged().tag);
      return;
  }
}

}  // namespace

YamlResult<std::string> write_yaml(const Node& node) {
  Emitter e;
  write_node(e, node, {});
  return e.finish();
}

}  // namespace qv::yaml
