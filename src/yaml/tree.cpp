#include "yaml/tree.hpp"

#include <string>
#include <utility>
#include <vector>

#include "core/keyed_hash.hpp"
#include "yaml/path.hpp"
#include "yaml/scalar.hpp"
#include "yaml/tags.hpp"
#include "unicode/quote.hpp"

namespace qv::yaml {

namespace {

std::string duplicate_message(const Node& key) {
  std::string m = "duplicate entry ";
  switch (key.kind()) {
    case Node::Kind::Null:
      return m + "with null key";
    case Node::Kind::Bool:
      return m + (key.as_bool() ? "with key `true`" : "with key `false`");
    case Node::Kind::U64:
      return m + "with key " + std::to_string(key.as_u64());
    case Node::Kind::I64:
      return m + "with key " + std::to_string(key.as_i64());
    case Node::Kind::F64:
      return m + "with key " + format_float(key.as_f64());
    case Node::Kind::String:
      return m + "with key " + unicode::debug_quote(key.as_string());
    default:
      return m + "in YAML map";
  }
}

class Builder {
 public:
  explicit Builder(const Document& doc)
      : doc_(doc), ev_(doc.events), jump_limit_(kAliasesPerEvent * doc.events.size()) {}

  YamlResult<Node> root() {
    std::size_t i = 0;
    return node(i, 0);
  }

 private:
  YamlError ran_out() const { return doc_.error ? *doc_.error : bare_error(kEofWhileParsing); }

  YamlError at(std::string message, const Mark& mark) const {
    return YamlError{std::move(message), path_.text(), mark, false};
  }

  // Counts a node copied through an alias, with the bytes of its text and
  // tag, against the budgets.
  bool over_budget(const Event& e) {
    if (alias_depth_ == 0) return false;
    copied_bytes_ += e.text.size() + e.tag.size();
    return ++copied_ > kMaxAliasExpansionNodes || copied_bytes_ > kMaxAliasExpansionBytes;
  }

  YamlResult<Node> node(std::size_t& i, std::size_t depth) {
    if (i >= ev_.size()) return std::unexpected(ran_out());
    const Event& e = ev_[i];
    switch (e.kind) {
      case EventKind::Alias: {
        if (++jumps_ > jump_limit_) return std::unexpected(bare_error(kRepetitionLimit));
        std::size_t t = e.target;
        ++alias_depth_;
        auto n = node(t, depth);
        --alias_depth_;
        ++i;
        return n;
      }
      case EventKind::Scalar: {
        ++i;
        if (over_budget(e)) return std::unexpected(bare_error(kRepetitionLimit));
        auto r = scalar_node(e);
        if (!r) return std::unexpected(at(std::move(r.error()), e.mark));
        return std::move(*r);
      }
      case EventKind::SequenceStart:
      case EventKind::MappingStart: {
        if (depth >= kMaxDepth) return std::unexpected(YamlError{kRecursionLimit, {}, e.mark, false});
        if (over_budget(e)) return std::unexpected(bare_error(kRepetitionLimit));
        ++i;
        auto n = e.kind == EventKind::SequenceStart ? sequence(i, depth + 1) : mapping(e, i, depth + 1);
        if (!n) return n;
        if (is_local_tag(e.tag)) return Node::tagged(local_tag_name(e.tag), std::move(*n));
        return n;
      }
      default:
        // An end event where a node should start cannot come from the parser.
        return std::unexpected(ran_out());
    }
  }

  YamlResult<Node> sequence(std::size_t& i, std::size_t depth) {
    Sequence items;
    for (std::size_t index = 0;; ++index) {
      if (i >= ev_.size()) return std::unexpected(ran_out());
      if (ev_[i].kind == EventKind::SequenceEnd) {
        ++i;
        return Node::sequence(std::move(items));
      }
      path_.push_index(index);
      auto item = node(i, depth);
      path_.pop();
      if (!item) return item;
      items.push_back(std::move(*item));
    }
  }

  YamlResult<Node> mapping(const Event& start, std::size_t& i, std::size_t depth) {
    Mapping entries;
    core::TextSet keys;
    for (;;) {
      if (i >= ev_.size()) return std::unexpected(ran_out());
      if (ev_[i].kind == EventKind::MappingEnd) {
        ++i;
        return Node::mapping(std::move(entries));
      }
      const Event& key_event = ev_[i];
      auto key = node(i, depth);
      if (!key) return key;
      if (repeats(entries, keys, *key)) return std::unexpected(at(duplicate_message(*key), start.mark));
      if (key_event.kind == EventKind::Scalar) {
        path_.push_key(key_event.text);
      } else {
        path_.push_key("?");
      }
      auto value = node(i, depth);
      path_.pop();
      if (!value) return value;
      entries.emplace_back(std::move(*key), std::move(*value));
    }
  }

  // Whether `key` equals a key of `entries`. Small mappings compare keys
  // directly; larger ones keep a set of the keys' forms, so a mapping of n
  // keys costs O(n).
  static bool repeats(const Mapping& entries, core::TextSet& forms, const Node& key) {
    constexpr std::size_t kCompareUpTo = 16;
    if (entries.size() < kCompareUpTo) {
      for (const auto& entry : entries) {
        if (entry.first == key) return true;
      }
      return false;
    }
    if (forms.empty()) {
      for (const auto& entry : entries) forms.insert(key_form(entry.first));
    }
    return !forms.insert(key_form(key)).second;
  }

  const Document& doc_;
  const std::vector<Event>& ev_;
  const std::size_t jump_limit_;
  std::size_t jumps_ = 0;
  std::size_t copied_ = 0;
  std::size_t copied_bytes_ = 0;
  std::size_t alias_depth_ = 0;
  PathStack path_;
};

}  // namespace

YamlResult<Node> build_tree(const Document& document) {
  if (document.no_document) return std::unexpected(bare_error(kEofWhileParsing));
  Builder b(document);
  auto root = b.root();
  if (!root) return root;
  if (document.error) return std::unexpected(*document.error);
  if (document.more_documents) return std::unexpected(bare_error(kMoreThanOneDocument));
  return root;
}

YamlResult<Node> read_tree(std::string_view text) { return build_tree(load_document(text)); }

}  // namespace qv::yaml
