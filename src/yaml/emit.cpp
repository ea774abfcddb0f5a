#include "yaml/emit.hpp"

#include <yaml.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>
#include <optional>
#include <vector>

#include "yaml/scalar.hpp"
#include "yaml/tags.hpp"

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

namespace {

bool is_astral_lead(unsigned char c) { return c >= 0xF0 && c <= 0xF4; }

// Characters beyond U+FFFF are printable and written raw, like any other.
// libyaml 0.2.5 takes them for unprintable and would escape them in double
// quotes, so each is emitted as a stand-in of the same byte length that
// libyaml treats as a printable character (a private-use character found
// nowhere else in the document, then "a"), and put back in the output in
// order.
class AstralStandIns {
 public:
  // Picks the private-use character; false when every one of them occurs
  // in the document's texts (then nothing is replaced).
  bool choose(const std::vector<std::string>& texts) {
    std::vector<bool> used(kCount, false);
    bool astral = false;
    for (const std::string& t : texts) {
      for (std::size_t i = 0; i + 2 < t.size(); ++i) {
        const auto b = static_cast<unsigned char>(t[i]);
        astral = astral || is_astral_lead(b);
        if (b == 0xEE || b == 0xEF) {
          const std::uint32_t cp = ((b & 0x0Fu) << 12) | ((static_cast<unsigned char>(t[i + 1]) & 0x3Fu) << 6) |
                                   (static_cast<unsigned char>(t[i + 2]) & 0x3Fu);
          if (cp >= kFirst && cp < kFirst + kCount) used[cp - kFirst] = true;
        }
      }
    }
    if (!astral) return false;
    for (std::uint32_t k = 0; k < kCount; ++k) {
      if (!used[k]) {
        const std::uint32_t cp = kFirst + k;
        marker_ = {static_cast<char>(0xE0 | (cp >> 12)), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                   static_cast<char>(0x80 | (cp & 0x3F)), 'a'};
        return true;
      }
    }
    return false;
  }

  // The text with its 4-byte characters replaced, which are kept in order.
  std::string replace(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
      if (is_astral_lead(static_cast<unsigned char>(text[i])) && i + 4 <= text.size()) {
        originals_.emplace_back(text.substr(i, 4));
        out += marker_;
        i += 4;
      } else {
        out += text[i++];
      }
    }
    return out;
  }

  void restore(std::string& output) const {
    std::string out;
    out.reserve(output.size());
    std::size_t next = 0;
    for (std::size_t i = 0; i < output.size();) {
      if (next < originals_.size() && output.compare(i, marker_.size(), marker_) == 0) {
        out += originals_[next++];
        i += marker_.size();
      } else {
        out += output[i++];
      }
    }
    output = std::move(out);
  }

 private:
  static constexpr std::uint32_t kFirst = 0xE000;
  static constexpr std::uint32_t kCount = 0x1900;  // U+E000..U+F8FF
  std::string marker_;
  std::vector<std::string> originals_;
};

// A tag is written in shorthand: "!" then the rest of the tag, with the
// characters a URI cannot hold percent-escaped. libyaml leaves the flow
// indicators ",[]" raw there, but a shorthand tag cannot hold them (the
// reader ends the tag at them), so each must be written %2C, %5B or %5D.
// libyaml escapes a literal "%" itself, so each indicator is handed to it as
// a token (a marker found in no text or tag of the document, then the two
// hex digits) whose marker becomes "%" in the output.
class FlowIndicatorEscapes {
 public:
  // The part of the tag that libyaml writes after a "!" or "!!" handle.
  static std::string_view shorthand_suffix(std::string_view tag) {
    if (tag.size() > 1 && tag[0] == '!') return tag.substr(1);
    if (tag.size() > kCoreTagPrefix.size() && tag.starts_with(kCoreTagPrefix)) return tag.substr(kCoreTagPrefix.size());
    return {};
  }
  static bool needed(std::string_view tag) { return shorthand_suffix(tag).find_first_of(",[]") != std::string_view::npos; }

  // Picks the marker: "qv" and 8 hex digits, the smallest number that no
  // text or tag holds in that form. A marker cannot overlap itself, and its
  // letters are never produced by libyaml's escapes, so in the output it
  // appears only where a token was put.
  void choose(const std::vector<std::string>& texts, const std::vector<std::string>& tags) {
    std::vector<std::uint32_t> used;
    auto scan = [&](std::string_view t) {
      for (std::size_t i = t.find("qv"); i != std::string_view::npos; i = t.find("qv", i + 2)) {
        std::uint32_t n = 0;
        if (read_hex(t.substr(i + 2), n)) used.push_back(n);
      }
    };
    for (const std::string& t : texts) scan(t);
    for (const std::string& t : tags) scan(t);
    std::sort(used.begin(), used.end());
    // Fewer than 2^32 numbers are taken (each needs 10 bytes of text).
    std::uint32_t n = 0;
    for (const std::uint32_t u : used) {
      if (u > n) break;
      if (u == n) ++n;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    marker_ = "qv";
    for (int shift = 4 * (kDigits - 1); shift >= 0; shift -= 4) marker_ += kHex[(n >> shift) & 0xF];
  }

  // The tag with each flow indicator of its suffix replaced by a token.
  std::string replace(std::string_view tag) const {
    const std::size_t from = tag.size() - shorthand_suffix(tag).size();
    std::string out(tag.substr(0, from));
    for (const char c : tag.substr(from)) {
      if (c == ',' || c == '[' || c == ']') {
        static constexpr char kHexUpper[] = "0123456789ABCDEF";
        out += marker_;
        out += kHexUpper[static_cast<unsigned char>(c) >> 4];
        out += kHexUpper[static_cast<unsigned char>(c) & 0xF];
      } else {
        out += c;
      }
    }
    return out;
  }

  void restore(std::string& output) const {
    std::string out;
    out.reserve(output.size());
    std::size_t from = 0;
    for (std::size_t at = output.find(marker_); at != std::string::npos; at = output.find(marker_, from)) {
      out.append(output, from, at - from);
      out += '%';
      from = at + marker_.size();
    }
    out.append(output, from);
    output = std::move(out);
  }

 private:
  static constexpr int kDigits = 8;

  static bool read_hex(std::string_view t, std::uint32_t& n) {
    if (t.size() < kDigits) return false;
    n = 0;
    for (int i = 0; i < kDigits; ++i) {
      const char c = t[static_cast<std::size_t>(i)];
      if (c >= '0' && c <= '9') {
        n = n * 16 + static_cast<std::uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        n = n * 16 + static_cast<std::uint32_t>(c - 'a' + 10);
      } else {
        return false;
      }
    }
    return true;
  }

  std::string marker_;
};

enum class Step : std::uint8_t { Scalar, MappingStart, MappingEnd, SequenceStart, SequenceEnd };

}  // namespace

// The events are kept until finish(), which emits them all once the
// stand-in for 4-byte characters is known.
struct Emitter::State {
  struct Pending {
    Step step;
    yaml_scalar_style_t style;
    std::string tag;
  };
  std::vector<Pending> steps;
  std::vector<std::string> texts;  // the scalars' values, in order

  yaml_emitter_t emitter{};
  std::string out;
  std::optional<YamlError> error;

  void emit(yaml_event_t& event, int made) {
    if (error) {
      if (made != 0) yaml_event_delete(&event);
      return;
    }
    if (made == 0) {
      error = bare_error("invalid YAML event");
      return;
    }
    // yaml_emitter_emit takes the event over, also when it fails.
    if (yaml_emitter_emit(&emitter, &event) == 0) {
      if (emitter.error == YAML_MEMORY_ERROR) throw std::bad_alloc();
      error = bare_error(emitter.problem != nullptr ? emitter.problem : "emitter error");
    }
  }

  YamlResult<std::string> run() {
    if (yaml_emitter_initialize(&emitter) == 0) throw std::bad_alloc();
    struct Release {
      yaml_emitter_t* e;
      ~Release() { yaml_emitter_delete(e); }
    } release{&emitter};
    yaml_emitter_set_unicode(&emitter, 1);
    yaml_emitter_set_width(&emitter, -1);
    yaml_emitter_set_output(&emitter, append_output, &out);
    AstralStandIns stand_ins;
    const bool replacing = stand_ins.choose(texts);
    FlowIndicatorEscapes escapes;
    const bool escaping =
        std::any_of(steps.begin(), steps.end(), [](const Pending& p) { return FlowIndicatorEscapes::needed(p.tag); });
    if (escaping) {
      std::vector<std::string> tags;
      for (const Pending& p : steps) {
        if (!p.tag.empty()) tags.push_back(p.tag);
      }
      escapes.choose(texts, tags);
    }
    yaml_event_t ev;
    emit(ev, yaml_stream_start_event_initialize(&ev, YAML_UTF8_ENCODING));
    emit(ev, yaml_document_start_event_initialize(&ev, nullptr, nullptr, nullptr, 1));
    std::size_t next_text = 0;
    for (const Pending& p : steps) {
      const std::string escaped = escaping && FlowIndicatorEscapes::needed(p.tag) ? escapes.replace(p.tag) : std::string();
      yaml_char_t* tag = p.tag.empty() ? nullptr : chars(escaped.empty() ? p.tag : escaped);
      const int implicit = p.tag.empty() ? 1 : 0;
      switch (p.step) {
        case Step::Scalar: {
          const std::string& raw = texts[next_text++];
          const std::string text = replacing ? stand_ins.replace(raw) : raw;
          if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
            if (!error) error = bare_error("scalar too long");
            break;
          }
          emit(ev, yaml_scalar_event_initialize(&ev, nullptr, tag, chars(text), static_cast<int>(text.size()), implicit,
                                                implicit, p.style));
          break;
        }
        case Step::MappingStart:
          emit(ev, yaml_mapping_start_event_initialize(&ev, nullptr, tag, implicit, YAML_ANY_MAPPING_STYLE));
          break;
        case Step::SequenceStart:
          emit(ev, yaml_sequence_start_event_initialize(&ev, nullptr, tag, implicit, YAML_ANY_SEQUENCE_STYLE));
          break;
        case Step::MappingEnd:
          emit(ev, yaml_mapping_end_event_initialize(&ev));
          break;
        case Step::SequenceEnd:
          emit(ev, yaml_sequence_end_event_initialize(&ev));
          break;
      }
    }
    emit(ev, yaml_document_end_event_initialize(&ev, 1));
    if (error) return std::unexpected(*error);
    if (escaping) escapes.restore(out);
    if (replacing) stand_ins.restore(out);
    return std::move(out);
  }
};

Emitter::Emitter() : s_(std::make_unique<State>()) {}

Emitter::~Emitter() = default;

void Emitter::string(std::string_view text, std::string_view tag) {
  yaml_scalar_style_t style = YAML_ANY_SCALAR_STYLE;
  if (text.find('\n') != std::string_view::npos) {
    style = YAML_LITERAL_SCALAR_STYLE;
  } else if (plain_changes_meaning(text)) {
    style = YAML_SINGLE_QUOTED_SCALAR_STYLE;
  }
  s_->steps.push_back({Step::Scalar, style, std::string(tag)});
  s_->texts.emplace_back(text);
}

void Emitter::plain(std::string_view text, std::string_view tag) {
  s_->steps.push_back({Step::Scalar, YAML_PLAIN_SCALAR_STYLE, std::string(tag)});
  s_->texts.emplace_back(text);
}

void Emitter::begin_mapping(std::string_view tag) {
  s_->steps.push_back({Step::MappingStart, YAML_ANY_SCALAR_STYLE, std::string(tag)});
}
void Emitter::end_mapping() { s_->steps.push_back({Step::MappingEnd, YAML_ANY_SCALAR_STYLE, {}}); }
void Emitter::begin_sequence(std::string_view tag) {
  s_->steps.push_back({Step::SequenceStart, YAML_ANY_SCALAR_STYLE, std::string(tag)});
}
void Emitter::end_sequence() { s_->steps.push_back({Step::SequenceEnd, YAML_ANY_SCALAR_STYLE, {}}); }

YamlResult<std::string> Emitter::finish() { return s_->run(); }

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
    case Node::Kind::Tagged: {
      // The bare "!" stays one "!" (libyaml writes it verbatim, as !<%21>).
      const std::string& t = n.as_tagged().tag;
      write_node(e, *n.as_tagged().node, t == "!" ? t : "!" + t);
      return;
    }
  }
}

}  // namespace

YamlResult<std::string> write_yaml(const Node& node) {
  Emitter e;
  write_node(e, node, {});
  return e.finish();
}

}  // namespace qv::yaml
