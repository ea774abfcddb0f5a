// The compiler: the intermediate form to a program of code-point
// instructions, and the same pattern read backwards; then the lead bytes a
// match can begin with, whether it is anchored at the start, and the
// alphabet the lazy DFA moves on.
#include <algorithm>
#include <unordered_map>

#include "regex/matchers.hpp"
#include "regex/utf8_ranges.hpp"
#include "unicode/sets.hpp"

namespace qv::regex {

namespace {

class Compiler {
 public:
  Compiler(const Hir& hir, Program& prog, bool reverse)
      : hir_(hir), prog_(prog), insts_(reverse ? prog.rev_insts : prog.insts), reverse_(reverse) {}

  void run() {
    const std::uint32_t match = add({Op::kMatch});
    if (reverse_) {
      prog_.rev_start = compile(hir_.root, match);
      return;
    }
    Inst s1{Op::kSave};
    s1.slot = 1;
    s1.next = match;
    const std::uint32_t save1 = add(s1);
    const std::uint32_t body = compile(hir_.root, save1);
    Inst s0{Op::kSave};
    s0.slot = 0;
    s0.next = body;
    prog_.start = add(s0);
  }

 private:
  const Hir& hir_;
  Program& prog_;
  std::vector<Inst>& insts_;
  bool reverse_;
  std::unordered_map<const unicode::RangeSet*, std::uint32_t> class_index_;

  std::uint32_t add(Inst i) {
    insts_.push_back(i);
    return static_cast<std::uint32_t>(insts_.size() - 1);
  }
  std::uint32_t split(std::uint32_t preferred, std::uint32_t other) {
    Inst i{Op::kSplit};
    i.next = preferred;
    i.alt = other;
    return add(i);
  }
  std::uint32_t class_id(const ClassPtr& set) {
    auto it = class_index_.find(set.get());
    if (it != class_index_.end()) return it->second;
    ClassMatcher m;
    m.set = set;
    for (auto r : *set) {
      for (char32_t c = r.lo; c <= r.hi && c < 0x80; ++c) m.ascii[c >> 6] |= std::uint64_t{1} << (c & 63);
    }
    prog_.classes.push_back(std::move(m));
    const auto id = static_cast<std::uint32_t>(prog_.classes.size() - 1);
    class_index_.emplace(set.get(), id);
    return id;
  }

  // Compiles a node so that it continues at `next`; returns its entry.
  std::uint32_t compile(std::uint32_t id, std::uint32_t next) {
    const HirNode& n = hir_.nodes[id];
    switch (n.kind) {
      case HirKind::kEmpty:
        return next;
      case HirKind::kClass: {
        if (n.cls->empty()) return add({Op::kFail});
        Inst i{Op::kClass};
        i.cls = class_id(n.cls);
        i.next = next;
        return add(i);
      }
      case HirKind::kLook: {
        Inst i{Op::kLook};
        i.look = n.look;
        i.next = next;
        return add(i);
      }
      case HirKind::kCapture: {
        if (reverse_) return compile(n.children[0], next);
        Inst end{Op::kSave};
        end.slot = 2 * n.capture_index + 1;
        end.next = next;
        const std::uint32_t body = compile(n.children[0], add(end));
        Inst start{Op::kSave};
        start.slot = 2 * n.capture_index;
        start.next = body;
        return add(start);
      }
      case HirKind::kConcat: {
        std::uint32_t cur = next;
        if (reverse_) {
          for (std::uint32_t c : n.children) cur = compile(c, cur);
        } else {
          for (auto it = n.children.rbegin(); it != n.children.rend(); ++it) cur = compile(*it, cur);
        }
        return cur;
      }
      case HirKind::kAlternation: {
        std::vector<std::uint32_t> entries;
        entries.reserve(n.children.size());
        for (std::uint32_t c : n.children) entries.push_back(compile(c, next));
        std::uint32_t cur = entries.back();
        for (std::size_t i = entries.size() - 1; i-- > 0;) cur = split(entries[i], cur);
        return cur;
      }
      case HirKind::kRepetition:
        return repetition(n, next);
    }
    return next;
  }

  std::uint32_t loop_split(bool greedy, std::uint32_t body, std::uint32_t exit) {
    return greedy ? split(body, exit) : split(exit, body);
  }

  // The body, then a choice between another round and leaving for `next`.
  // Entered at the body it is x+; entered at the choice, x*.
  struct Loop {
    std::uint32_t choice, body;
  };
  Loop loop(std::uint32_t sub, bool greedy, std::uint32_t next) {
    const std::uint32_t l = split(0, 0);
    const std::uint32_t body = compile(sub, l);
    Inst& s = insts_[l];
    if (greedy) {
      s.next = body;
      s.alt = next;
    } else {
      s.next = next;
      s.alt = body;
    }
    return {l, body};
  }
  std::uint32_t plus(std::uint32_t sub, bool greedy, std::uint32_t next) { return loop(sub, greedy, next).body; }

  std::uint32_t repetition(const HirNode& n, std::uint32_t next) {
    const std::uint32_t sub = n.children[0];
    const bool greedy = n.greedy;
    if (n.max == kUnbounded) {
      if (n.min == 0) {
        if (hir_.min_len(sub) > 0) return loop(sub, greedy, next).choice;
        // x* as (x+)? when x can match empty, which keeps the preference
        // order right.
        const std::uint32_t p = plus(sub, greedy, next);
        return loop_split(greedy, p, next);
      }
      std::uint32_t cur = plus(sub, greedy, next);
      for (std::uint32_t i = 1; i < n.min; ++i) cur = compile(sub, cur);
      return cur;
    }
    std::uint32_t cur = next;
    for (std::uint32_t i = n.min; i < n.max; ++i) {
      const std::uint32_t body = compile(sub, cur);
      cur = loop_split(greedy, body, next);
    }
    for (std::uint32_t i = 0; i < n.min; ++i) cur = compile(sub, cur);
    return cur;
  }
};

// The lead bytes a match can begin with, and whether a match can be empty.
struct FirstSet {
  std::array<bool, 256> bytes{};
  bool nullable = false;
};

void first_set(const Hir& hir, std::uint32_t id, FirstSet& out, bool& nullable) {
  const HirNode& n = hir.nodes[id];
  switch (n.kind) {
    case HirKind::kEmpty:
    case HirKind::kLook:
      nullable = true;
      return;
    case HirKind::kClass:
      for (auto r : *n.cls) {
        std::uint8_t a[4], b[4];
        encode_utf8(r.lo, a);
        encode_utf8(r.hi, b);
        for (unsigned v = a[0]; v <= b[0]; ++v) out.bytes[v] = true;
      }
      nullable = false;
      return;
    case HirKind::kCapture:
      first_set(hir, n.children[0], out, nullable);
      return;
    case HirKind::kConcat:
      for (std::uint32_t c : n.children) {
        bool child_nullable = false;
        first_set(hir, c, out, child_nullable);
        if (!child_nullable) {
          nullable = false;
          return;
        }
      }
      nullable = true;
      return;
    case HirKind::kAlternation: {
      bool any = false;
      for (std::uint32_t c : n.children) {
        bool child_nullable = false;
        first_set(hir, c, out, child_nullable);
        any = any || child_nullable;
      }
      nullable = any;
      return;
    }
    case HirKind::kRepetition: {
      bool child_nullable = false;
      first_set(hir, n.children[0], out, child_nullable);
      nullable = child_nullable || n.min == 0;
      return;
    }
  }
}

bool starts_with_text_anchor(const Hir& hir, std::uint32_t id) {
  while (true) {
    const HirNode& n = hir.nodes[id];
    if (n.kind == HirKind::kLook) return n.look == Look::kStart;
    if (n.kind == HirKind::kCapture || (n.kind == HirKind::kConcat && !n.children.empty())) {
      id = n.children[0];
      continue;
    }
    if (n.kind == HirKind::kAlternation) {
      for (std::uint32_t c : n.children) {
        if (!starts_with_text_anchor(hir, c)) return false;
      }
      return true;
    }
    return false;
  }
}

// Where classes of the alphabet begin, ascending and unique, with the
// flags of each.
struct Cuts {
  std::vector<char32_t> starts;
  std::vector<std::uint8_t> flags;

  explicit Cuts(std::vector<char32_t> cuts) : starts(std::move(cuts)) {
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    flags.resize(starts.size());
    char_flags_ascending(starts, flags.data());
  }
};

// The cuts every alphabet has (line ends, the ASCII word characters, the
// start of non-ASCII) and, in the second, the bounds of the Unicode word set
// as well; built once per process.
const std::array<Cuts, 2>& fixed_cuts() {
  static const std::array<Cuts, 2> cuts = [] {
    std::vector<char32_t> plain{0, '\n', '\n' + 1, '\r', '\r' + 1, '0', '9' + 1, 'A', 'Z' + 1, '_', '_' + 1, 'a', 'z' + 1, 0x80};
    std::vector<char32_t> word = plain;
    add_set_cuts(word, unicode::perl_word());
    return std::array<Cuts, 2>{Cuts(std::move(plain)), Cuts(std::move(word))};
  }();
  return cuts;
}

// The fixed cuts merged with the classes' own: the same alphabet as
// gathering and sorting every cut and looking each flag up alone, without
// redoing the fixed part for every pattern.
void build_alphabet(Program& prog) {
  std::vector<char32_t> class_starts;
  for (const ClassMatcher& m : prog.classes) add_set_cuts(class_starts, *m.set);
  const Cuts own(std::move(class_starts));
  const Cuts& fixed = fixed_cuts()[has_unicode_word_look(prog) ? 1 : 0];

  Program::Alphabet& a = prog.alphabet;
  a.starts.resize(fixed.starts.size() + own.starts.size());
  a.flags.assign(a.starts.size() + 2, 0);
  std::size_t i = 0, j = 0, n = 0;
  const std::size_t fixed_size = fixed.starts.size(), own_size = own.starts.size();
  while (i < fixed_size || j < own_size) {
    if (j == own_size || (i < fixed_size && fixed.starts[i] <= own.starts[j])) {
      if (j < own_size && fixed.starts[i] == own.starts[j]) ++j;
      a.starts[n] = fixed.starts[i];
      a.flags[n++] = fixed.flags[i++];
    } else {
      a.starts[n] = own.starts[j];
      a.flags[n++] = own.flags[j++];
    }
  }
  a.starts.resize(n);
  const auto real = static_cast<std::uint32_t>(n);
  a.invalid = real;
  a.eot = real + 1;
  a.count = real + 2;
  a.rep = a.starts;
  a.flags.resize(a.count);
  a.flags[a.invalid] = 0;
  a.flags[a.eot] = kCtxEnd;
  // The class of each ASCII character: the last class starting at or before it.
  std::uint32_t k = 0;
  for (char32_t c = 0; c < 0x80; ++c) {
    while (k + 1 < real && a.starts[k + 1] <= c) ++k;
    a.ascii[c] = k;
  }
}

}  // namespace

std::shared_ptr<Program> compile_program(const Hir& hir, std::string_view pattern) {
  auto prog = std::make_shared<Program>();
  prog->pattern = std::string(pattern);
  prog->captures_len = hir.captures_len;
  prog->names = hir.names;
  Compiler(hir, *prog, false).run();
  Compiler(hir, *prog, true).run();
  FirstSet fs;
  bool nullable = false;
  first_set(hir, hir.root, fs, nullable);
  prog->use_prefilter = !nullable;
  prog->first_byte = fs.bytes;
  prog->anchored_start = starts_with_text_anchor(hir, hir.root);
  build_alphabet(*prog);
  return prog;
}

}  // namespace qv::regex
