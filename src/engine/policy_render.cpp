// The one serialised form of a policy, written two ways: as a JSON value
// whose canonical digest is the policy hash, and as the YAML document of the
// resolved policy.
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/utf8.hpp"
#include "engine/policy.hpp"
#include "json/value.hpp"
#include "records/digest.hpp"
#include "records/write.hpp"
#include "yaml/emit.hpp"

namespace qv::engine {

namespace {

namespace emit = records::emit;

// Lists that the form leaves out when empty, written anyway: a list the
// policy's baseline sets and the policy empties must be written, or reading
// the resolved text would inherit the baseline's list again.
struct KeepEmpty {
  bool routine = false;
  bool unsupported_from = false;
  bool tolerate_notes = false;
};

// The sinks take the events of the records' member builders (emit.hpp).

// Builds a JSON value.
class JsonSink {
 public:
  void key(std::string_view k) { keys_.emplace_back(k); }
  void string(std::string_view s) { put(json::Value(s)); }
  void boolean(bool b) { put(json::Value(b)); }
  void begin_object() { stack_.emplace_back(json::Object{}); }
  void begin_array() { stack_.emplace_back(json::Array{}); }
  void end_object() { close(); }
  void end_array() { close(); }
  json::Value take() { return std::move(result_); }

 private:
  void close() {
    json::Value v = std::move(stack_.back());
    stack_.pop_back();
    put(std::move(v));
  }
  void put(json::Value v) {
    if (stack_.empty()) {
      result_ = std::move(v);
    } else if (stack_.back().is_object()) {
      stack_.back().as_object().insert_or_assign(std::move(keys_.back()), std::move(v));
      keys_.pop_back();
    } else {
      stack_.back().as_array().push_back(std::move(v));
    }
  }
  std::vector<json::Value> stack_;
  std::vector<std::string> keys_;
  json::Value result_;
};

// Writes YAML: keys and strings by the emitter's string rule.
class YamlSink {
 public:
  void key(std::string_view k) { e_.string(k); }
  void string(std::string_view s) { e_.string(s); }
  void boolean(bool b) { e_.boolean(b); }
  void begin_object() { e_.begin_mapping(); }
  void begin_array() { e_.begin_sequence(); }
  void end_object() { e_.end_mapping(); }
  void end_array() { e_.end_sequence(); }
  yaml::YamlResult<std::string> finish() { return e_.finish(); }

 private:
  yaml::Emitter e_;
};

// A list of texts, or of enumeration values by their words.
template <class Sink, class T>
void list_field(Sink& s, std::string_view key, const std::vector<T>& items) {
  s.key(key);
  s.begin_array();
  for (const T& item : items) {
    if constexpr (std::is_same_v<T, std::string>) {
      s.string(item);
    } else {
      s.string(to_word(item));
    }
  }
  s.end_array();
}

// A list the form leaves out when it is empty, unless kept.
template <class Sink>
void nonempty_list_field(Sink& s, std::string_view key, const std::vector<std::string>& items, bool keep) {
  if (!items.empty() || keep) list_field(s, key, items);
}

template <class Sink>
void decision_field(Sink& s, std::string_view key, Decision d) {
  s.key(key);
  emit::value(s, d);
}

template <class Sink>
void write_form(Sink& s, const Policy& p, const KeepEmpty& keep) {
  s.begin_object();
  emit::text(s, "id", p.id);
  emit::text(s, "version", p.version);
  emit::optional_text(s, "extends", p.extends);
  emit::text(s, "description", p.description);
  emit::optional_text(s, "pass_means", p.pass_means);
  emit::optional_text(s, "locale", p.locale);
  emit::optional_text(s, "rounding", p.rounding);
  if (p.scope) {
    s.key("scope");
    s.begin_object();
    list_field(s, "required", p.scope->required);
    decision_field(s, "missing_scope", p.scope->missing_scope);
    s.end_object();
  }
  if (p.risk_classes) {
    s.key("risk_classes");
    s.begin_object();
    emit::text(s, "default", p.risk_classes->default_class);
    nonempty_list_field(s, "routine", p.risk_classes->routine, keep.routine);
    list_field(s, "mandatory_review", p.risk_classes->mandatory_review);
    s.end_object();
  }
  if (p.judge) {
    s.key("judge");
    s.begin_object();
    s.key("required");
    s.boolean(p.judge->required);
    decision_field(s, "contradicted", p.judge->contradicted);
    decision_field(s, "unsupported", p.judge->unsupported);
    s.end_object();
  }
  s.key("verifiers");
  s.begin_object();
  list_field(s, "required", p.verifiers.required);
  list_field(s, "recommended", p.verifiers.recommended);
  list_field(s, "optional", p.verifiers.optional);
  list_field(s, "fallback", p.verifiers.fallback);
  list_field(s, "forbidden", p.verifiers.forbidden);
  s.end_object();
  s.key("determinism");
  s.begin_object();
  emit::text(s, "minimum_to_decide", to_word(p.determinism.minimum_to_decide));
  s.end_object();
  const DecisionRules& d = p.decision;
  s.key("decision");
  s.begin_object();
  list_field(s, "any_contradiction_from", d.any_contradiction_from);
  nonempty_list_field(s, "unsupported_from", d.unsupported_from, keep.unsupported_from);
  decision_field(s, "unresolved_claims", d.unresolved_claims);
  decision_field(s, "conflicts", d.conflicts);
  list_field(s, "tolerate_unresolved_kinds", d.tolerate_unresolved_kinds);
  nonempty_list_field(s, "tolerate_notes", d.tolerate_notes, keep.tolerate_notes);
  s.end_object();
  s.key("regulatory_mapping");
  emit::value(s, p.regulatory_mapping);
  s.end_object();
}

// Which emptied lists the resolved text must still write: those the
// baseline named by `extends` sets.
KeepEmpty keep_emptied_lists(const Policy& p) {
  KeepEmpty keep;
  if (!p.extends) return keep;
  const auto base_text = shipped_policy_text(*p.extends);
  if (!base_text) return keep;
  const auto base = parse_policy(*base_text);
  if (!base) return keep;
  keep.routine = base->risk_classes && !base->risk_classes->routine.empty();
  keep.unsupported_from = !base->decision.unsupported_from.empty();
  keep.tolerate_notes = !base->decision.tolerate_notes.empty();
  return keep;
}

// True for a character that may not stand inside a comment line: a line
// break ends the comment, and the YAML reader refuses the control
// characters (and U+FFFE, U+FFFF) anywhere in a text.
bool breaks_comment(char32_t c) {
  if (c == '\t') return false;
  if (c < 0x20 || c == 0x7F || c == 0x85 || c == 0x2028 || c == 0x2029) return true;
  return (c >= 0x80 && c < 0xA0) || c == 0xFFFE || c == 0xFFFF;
}

// The text for a comment line: each such character written as a space.
std::string comment_text(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const core::Utf8Step step = core::utf8_step(text, i);
    if (breaks_comment(step.code_point)) {
      out += ' ';
    } else {
      out.append(text.substr(i, step.length));
    }
    i += step.length;
  }
  return out;
}

}  // namespace

core::Result<std::string> compute_policy_hash(const Policy& policy) {
  JsonSink sink;
  write_form(sink, policy, KeepEmpty{});
  return records::canonical_digest(sink.take());
}

std::expected<std::string, std::string> write_policy_yaml(const Policy& policy) {
  YamlSink sink;
  write_form(sink, policy, keep_emptied_lists(policy));
  auto text = sink.finish();
  if (!text) return std::unexpected(text.error().display());
  return std::move(*text);
}

core::Result<std::string> resolve_policy_text(std::string_view argument) {
  auto policy = parse_policy(choose_policy_text(argument));
  if (!policy) return std::unexpected(std::move(policy.error()));
  auto hash = compute_policy_hash(*policy);
  if (!hash) return std::unexpected(std::move(hash.error()));
  auto yaml = write_policy_yaml(*policy);
  if (!yaml) return std::unexpected(core::EngineError::invalid_input("policy: " + yaml.error()));
  return "# " + comment_text(policy->id) + " v" + comment_text(policy->version) + "\n# hash: " + *hash + "\n" +
         *yaml;
}

}  // namespace qv::engine
