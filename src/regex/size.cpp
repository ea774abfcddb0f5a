// The compiled-size estimate. It models the byte-level automaton a pattern
// compiles to (states of 32 bytes, 8 bytes per class transition, 4 per
// alternative), once forwards with captures and once backwards, and takes
// the larger. Repetitions multiply the size of their body instead of being
// expanded, and each distinct class is measured once.
//
// A Unicode class becomes a UTF-8 automaton whose equal states are shared.
// Here every equal state is shared; a compiler that looks states up in a
// bounded cache misses some and builds them twice. So the estimate of a
// class is the least such a compiler can build (for the word class, about
// 0.25% below a 1000-entry cache keyed by pattern-wide state numbers), and a
// pattern that fits such a compiler's limit fits this one.
#include <algorithm>
#include <array>
#include <map>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "core/utf8.hpp"
#include "regex/hir.hpp"
#include "regex/utf8_ranges.hpp"

namespace qv::regex {
namespace {

constexpr std::size_t kState = 32;
constexpr std::size_t kTransition = 8;
constexpr std::size_t kStateId = 4;

std::size_t sat_add(std::size_t a, std::size_t b) { return a > SIZE_MAX - b ? SIZE_MAX : a + b; }
std::size_t sat_mul(std::size_t a, std::size_t b) {
  if (a == 0 || b == 0) return 0;
  return a > SIZE_MAX / b ? SIZE_MAX : a * b;
}

struct Trans {
  std::uint8_t lo, hi;
  std::uint32_t next;
  friend auto operator<=>(const Trans&, const Trans&) = default;
};

// Forward UTF-8 automaton of a class, built the way a suffix-sharing
// compiler builds it from sorted byte sequences: a state is compiled once
// its last transition is known, and an equal state compiled before is
// reused.
std::size_t forward_class_size(const unicode::RangeSet& set) {
  struct Node {
    std::vector<Trans> trans;
    bool has_last = false;
    std::uint8_t last_lo = 0, last_hi = 0;
  };
  std::map<std::vector<Trans>, std::uint32_t> compiled;
  std::size_t size = kState;  // the shared end state
  std::uint32_t next_id = 1;
  const std::uint32_t target = 0;
  std::vector<Node> uncompiled(1);

  auto compile = [&](std::vector<Trans> node) -> std::uint32_t {
    auto [it, added] = compiled.try_emplace(std::move(node), next_id);
    if (added) {
      ++next_id;
      size = sat_add(size, kState + kTransition * it->first.size());
    }
    return it->second;
  };
  auto set_last = [](Node& n, std::uint32_t next) {
    if (n.has_last) {
      n.trans.push_back({n.last_lo, n.last_hi, next});
      n.has_last = false;
    }
  };
  auto compile_from = [&](std::size_t from) {
    std::uint32_t next = target;
    while (from + 1 < uncompiled.size()) {
      Node n = std::move(uncompiled.back());
      uncompiled.pop_back();
      set_last(n, next);
      next = compile(std::move(n.trans));
    }
    set_last(uncompiled.back(), next);
  };

  for (auto r : set) {
    for_each_utf8_sequence(r.lo, r.hi, [&](const Utf8Sequence& seq) {
      std::size_t prefix = 0;
      while (prefix < seq.len && prefix < uncompiled.size() && uncompiled[prefix].has_last &&
             uncompiled[prefix].last_lo == seq.ranges[prefix].lo && uncompiled[prefix].last_hi == seq.ranges[prefix].hi) {
        ++prefix;
      }
      compile_from(prefix);
      Node& last = uncompiled.back();
      last.has_last = true;
      last.last_lo = seq.ranges[prefix].lo;
      last.last_hi = seq.ranges[prefix].hi;
      for (std::size_t i = prefix + 1; i < seq.len; ++i) {
        Node n;
        n.has_last = true;
        n.last_lo = seq.ranges[i].lo;
        n.last_hi = seq.ranges[i].hi;
        uncompiled.push_back(std::move(n));
      }
    });
  }
  compile_from(0);
  compile(std::move(uncompiled[0].trans));
  return size;
}

// Backward UTF-8 automaton of a class: one alternative per byte sequence,
// the sequences sharing their common suffixes.
std::size_t reverse_class_size(const unicode::RangeSet& set) {
  std::map<std::tuple<std::uint32_t, std::uint8_t, std::uint8_t>, std::uint32_t> suffixes;
  std::size_t size = 2 * kState;  // the alternation and its end
  std::uint32_t next_id = 2;
  const std::uint32_t alt_end = 1;
  for (auto r : set) {
    for_each_utf8_sequence(r.lo, r.hi, [&](const Utf8Sequence& seq) {
      std::uint32_t end = alt_end;
      for (std::size_t i = 0; i < seq.len; ++i) {
        auto [it, added] = suffixes.try_emplace({end, seq.ranges[i].lo, seq.ranges[i].hi}, next_id);
        if (added) {
          ++next_id;
          size = sat_add(size, kState);
        }
        end = it->second;
      }
      size = sat_add(size, kStateId);
    });
  }
  return size;
}

struct Sizer {
  const Hir& hir;
  std::unordered_map<const unicode::RangeSet*, std::pair<std::size_t, std::size_t>> class_sizes;

  std::pair<std::size_t, std::size_t> class_size(const unicode::RangeSet& s) {
    if (s.empty()) return {kState, kState};
    if (s.size() == 1 && s[0].lo == s[0].hi) {
      const std::size_t n = kState * core::utf8_length(s[0].lo);
      return {n, n};
    }
    if (s.back().hi <= 0x7F) {
      const std::size_t n = 2 * kState + kTransition * s.size();
      return {n, n};
    }
    auto it = class_sizes.find(&s);
    if (it != class_sizes.end()) return it->second;
    std::pair<std::size_t, std::size_t> r{forward_class_size(s), reverse_class_size(s)};
    class_sizes.emplace(&s, r);
    return r;
  }

  // (forward, backward) sizes of a node.
  std::pair<std::size_t, std::size_t> size(std::uint32_t id) {
    const HirNode& n = hir.nodes[id];
    switch (n.kind) {
      case HirKind::kEmpty:
      case HirKind::kLook:
        return {kState, kState};
      case HirKind::kClass:
        return class_size(*n.cls);
      case HirKind::kCapture: {
        auto s = size(n.children[0]);
        return {sat_add(s.first, 2 * kState), s.second};
      }
      case HirKind::kConcat:
      case HirKind::kAlternation: {
        // The parts, and for an alternation its own states and a branch
        // target per alternative.
        const std::size_t base = n.kind == HirKind::kConcat ? 0 : 2 * kState + kStateId * n.children.size();
        std::pair<std::size_t, std::size_t> t{base, base};
        for (std::uint32_t c : n.children) {
          auto s = size(c);
          t.first = sat_add(t.first, s.first);
          t.second = sat_add(t.second, s.second);
        }
        return t;
      }
      case HirKind::kRepetition: {
        auto s = size(n.children[0]);
        const bool nonempty = hir.min_len(n.children[0]) > 0;
        auto rep = [&](std::size_t body) -> std::size_t {
          const std::size_t uni = kState + 2 * kStateId;
          if (n.min == 0 && n.max == 1) return sat_add(body, uni + kState);
          if (n.max == kUnbounded) {
            if (n.min == 0) return nonempty ? sat_add(body, uni) : sat_add(body, 2 * uni + kState);
            return sat_add(sat_mul(body, n.min), uni);
          }
          const std::size_t prefix = n.min == 0 ? kState : sat_mul(body, n.min);
          if (n.min == n.max) return prefix;
          return sat_add(sat_add(prefix, kState), sat_mul(n.max - n.min, sat_add(body, uni)));
        };
        return {rep(s.first), rep(s.second)};
      }
    }
    return {kState, kState};
  }
};

}  // namespace

std::size_t compiled_size(const Hir& hir) {
  Sizer sizer{hir, {}};
  auto s = sizer.size(hir.root);
  // The unanchored-search prefix, and the match state; forwards also the
  // capture states of the whole match.
  const std::size_t prefix = 3 * kState + kTransition + 2 * kStateId + kState;
  const std::size_t forward = sat_add(s.first, prefix + 2 * kState);
  const std::size_t backward = sat_add(s.second, prefix);
  return std::max(forward, backward);
}

}  // namespace qv::regex
