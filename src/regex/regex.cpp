// The matcher: the intermediate form compiled to a program of code-point
// instructions, run by a Pike VM (a breadth-first simulation whose thread
// lists are ordered by preference, so the first thread to match wins). Each
// position of the text is visited once and each instruction at most once per
// position, so time is linear in the text. A start-byte prefilter skips
// stretches of text where no match can begin.
#include "regex/regex.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <mutex>
#include <unordered_map>

#include "regex/hir.hpp"
#include "regex/utf8_ranges.hpp"

namespace qv::regex {

namespace {

enum class Op : std::uint8_t { kClass, kSplit, kSave, kLook, kMatch, kFail };

struct Inst {
  Op op = Op::kFail;
  Look look = Look::kStart;
  std::uint32_t next = 0;
  std::uint32_t alt = 0;     // kSplit: the less preferred branch
  std::uint32_t slot = 0;    // kSave
  std::uint32_t cls = 0;     // kClass: index into Program::classes
};

struct ClassMatcher {
  std::array<std::uint64_t, 2> ascii{};  // membership of U+0000..U+007F
  ClassPtr set;
  bool contains(char32_t c) const {
    if (c < 0x80) return (ascii[c >> 6] >> (c & 63)) & 1;
    return unicode::set_contains(*set, c);
  }
};

constexpr char32_t kInvalid = 0x110000;  // a byte of malformed UTF-8: no class holds it

struct Decoded {
  char32_t c;
  std::size_t len;
};

inline Decoded decode(std::string_view s, std::size_t i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) return {b0, 1};
  std::size_t len;
  char32_t c;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
    c = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    c = b0 & 0x0F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    c = b0 & 0x07;
  } else {
    return {kInvalid, 1};
  }
  if (i + len > s.size()) return {kInvalid, 1};
  for (std::size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return {kInvalid, 1};
    c = (c << 6) | (b & 0x3F);
  }
  if ((len == 3 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) || (len == 4 && (c < 0x10000 || c > 0x10FFFF))) {
    return {kInvalid, 1};
  }
  return {c, len};
}

// The character ending at byte i (i > 0), or kInvalid.
inline char32_t decode_before(std::string_view s, std::size_t i) {
  std::size_t start = i - 1;
  std::size_t steps = 0;
  while (start > 0 && steps < 3 && (static_cast<unsigned char>(s[start]) & 0xC0) == 0x80) {
    --start;
    ++steps;
  }
  const Decoded d = decode(s, start);
  if (start + d.len != i) return kInvalid;
  return d.c;
}

inline bool is_word_byte(unsigned char b) {
  return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '_';
}

bool is_word_char(char32_t c) {
  if (c < 0x80) return is_word_byte(static_cast<unsigned char>(c));
  if (c == kInvalid) return false;
  return unicode::set_contains(unicode::perl_word(), c);
}

bool look_holds(Look look, std::string_view h, std::size_t at) {
  const std::size_t n = h.size();
  switch (look) {
    case Look::kStart:
      return at == 0;
    case Look::kEnd:
      return at == n;
    case Look::kStartLF:
      return at == 0 || h[at - 1] == '\n';
    case Look::kEndLF:
      return at == n || h[at] == '\n';
    case Look::kStartCRLF:
      return at == 0 || h[at - 1] == '\n' || (h[at - 1] == '\r' && (at == n || h[at] != '\n'));
    case Look::kEndCRLF:
      return at == n || h[at] == '\r' || (h[at] == '\n' && (at == 0 || h[at - 1] != '\r'));
    default:
      break;
  }
  bool before, after;
  switch (look) {
    case Look::kWordAscii:
    case Look::kWordAsciiNegate:
    case Look::kWordStartAscii:
    case Look::kWordEndAscii:
    case Look::kWordStartHalfAscii:
    case Look::kWordEndHalfAscii:
      before = at > 0 && is_word_byte(static_cast<unsigned char>(h[at - 1]));
      after = at < n && is_word_byte(static_cast<unsigned char>(h[at]));
      break;
    default:
      before = at > 0 && is_word_char(decode_before(h, at));
      after = at < n && is_word_char(decode(h, at).c);
      break;
  }
  switch (look) {
    case Look::kWordAscii:
    case Look::kWordUnicode:
      return before != after;
    case Look::kWordAsciiNegate:
    case Look::kWordUnicodeNegate:
      return before == after;
    case Look::kWordStartAscii:
    case Look::kWordStartUnicode:
      return !before && after;
    case Look::kWordEndAscii:
    case Look::kWordEndUnicode:
      return before && !after;
    case Look::kWordStartHalfAscii:
    case Look::kWordStartHalfUnicode:
      return !before;
    case Look::kWordEndHalfAscii:
    case Look::kWordEndHalfUnicode:
      return !after;
    default:
      return false;
  }
}

}  // namespace

struct Program {
  std::string pattern;
  std::vector<Inst> insts;
  std::vector<ClassMatcher> classes;
  std::uint32_t start = 0;
  std::size_t captures_len = 1;
  std::vector<std::optional<std::string>> names;
  // Bytes a match can begin with; unused when a match can be empty.
  std::array<bool, 256> first_byte{};
  bool use_prefilter = false;
  // True when every match must begin at offset 0.
  bool anchored_start = false;

  struct Cache;
  mutable std::mutex pool_mutex;
  mutable std::vector<std::unique_ptr<Cache>> pool;
};

namespace {

// ------------------------------------------------------------------ compiler

class Compiler {
 public:
  Compiler(const Hir& hir, Program& prog) : hir_(hir), prog_(prog) {}

  void run() {
    const std::uint32_t match = add({Op::kMatch});
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
  std::unordered_map<const unicode::RangeSet*, std::uint32_t> class_index_;

  std::uint32_t add(Inst i) {
    prog_.insts.push_back(i);
    return static_cast<std::uint32_t>(prog_.insts.size() - 1);
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
        for (auto it = n.children.rbegin(); it != n.children.rend(); ++it) cur = compile(*it, cur);
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

  // x+ : the body, then a choice between another round and leaving.
  std::uint32_t plus(std::uint32_t sub, bool greedy, std::uint32_t next) {
    const std::uint32_t l = split(0, 0);
    const std::uint32_t body = compile(sub, l);
    Inst& s = prog_.insts[l];
    if (greedy) {
      s.next = body;
      s.alt = next;
    } else {
      s.next = next;
      s.alt = body;
    }
    return body;
  }

  std::uint32_t repetition(const HirNode& n, std::uint32_t next) {
    const std::uint32_t sub = n.children[0];
    const bool greedy = n.greedy;
    if (n.max == kUnbounded) {
      if (n.min == 0) {
        if (hir_.min_len(sub) > 0) {
          const std::uint32_t l = split(0, 0);
          const std::uint32_t body = compile(sub, l);
          Inst& s = prog_.insts[l];
          if (greedy) {
            s.next = body;
            s.alt = next;
          } else {
            s.next = next;
            s.alt = body;
          }
          return l;
        }
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

// ---------------------------------------------------------------- Pike VM

// A set of instruction ids in insertion order, each with its capture slots.
struct ThreadList {
  std::vector<std::uint32_t> dense;
  std::vector<std::uint32_t> sparse;
  std::vector<std::size_t> slots;  // nslots per instruction
  std::size_t nslots = 0;

  void init(std::size_t ninsts, std::size_t ns) {
    dense.clear();
    dense.reserve(ninsts);
    sparse.assign(ninsts, 0);
    nslots = ns;
    slots.assign(ninsts * ns, kNone);
  }
  bool contains(std::uint32_t id) const {
    const std::uint32_t i = sparse[id];
    return i < dense.size() && dense[i] == id;
  }
  void insert(std::uint32_t id) {
    sparse[id] = static_cast<std::uint32_t>(dense.size());
    dense.push_back(id);
  }
  void clear() { dense.clear(); }
  std::size_t* slots_of(std::uint32_t id) { return slots.data() + static_cast<std::size_t>(id) * nslots; }

  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
};

}  // namespace

struct Program::Cache {
  ThreadList clist, nlist;
  std::vector<std::size_t> scratch;
  struct Frame {
    bool restore;
    std::uint32_t id;  // instruction to explore, or slot to restore
    std::size_t value;
  };
  std::vector<Frame> stack;
  std::size_t nslots = 0;

  Cache(const Program& prog, std::size_t ns) : nslots(ns) {
    clist.init(prog.insts.size(), ns);
    nlist.init(prog.insts.size(), ns);
    scratch.assign(ns, ThreadList::kNone);
  }
};

namespace {

constexpr std::size_t kNone = ThreadList::kNone;

// Adds `id` and everything reachable from it without consuming text, in
// order of preference; `slots` are the capture slots of the thread.
void closure(const Program& prog, Program::Cache& cache, ThreadList& list, std::uint32_t id, std::string_view text,
             std::size_t at, std::size_t* slots) {
  auto& stack = cache.stack;
  stack.clear();
  stack.push_back({false, id, 0});
  const std::size_t nslots = cache.nslots;
  while (!stack.empty()) {
    const Program::Cache::Frame f = stack.back();
    stack.pop_back();
    if (f.restore) {
      slots[f.id] = f.value;
      continue;
    }
    std::uint32_t pc = f.id;
    while (true) {
      if (list.contains(pc)) break;
      list.insert(pc);
      const Inst& inst = prog.insts[pc];
      if (inst.op == Op::kSplit) {
        stack.push_back({false, inst.alt, 0});
        pc = inst.next;
        continue;
      }
      if (inst.op == Op::kSave) {
        if (inst.slot < nslots) {
          stack.push_back({true, inst.slot, slots[inst.slot]});
          slots[inst.slot] = at;
        }
        pc = inst.next;
        continue;
      }
      if (inst.op == Op::kLook) {
        if (!look_holds(inst.look, text, at)) break;
        pc = inst.next;
        continue;
      }
      // A thread that waits on text, or a match.
      std::size_t* dst = list.slots_of(pc);
      for (std::size_t k = 0; k < nslots; ++k) dst[k] = slots[k];
      break;
    }
  }
}

// Runs a search from `start`. Fills `out` (nslots entries) with the slots
// of the leftmost-first match and returns true if there is one; with
// `earliest`, returns at the first match state reached.
bool search(const Program& prog, Program::Cache& cache, std::string_view text, std::size_t start, bool earliest,
            std::size_t* out) {
  ThreadList* clist = &cache.clist;
  ThreadList* nlist = &cache.nlist;
  clist->clear();
  nlist->clear();
  const std::size_t n = text.size();
  const std::size_t nslots = cache.nslots;
  bool matched = false;
  std::size_t at = start;
  if (prog.anchored_start && start > 0) return false;
  while (true) {
    if (clist->dense.empty()) {
      if (matched) break;
      if (prog.anchored_start && at > 0) break;
      if (prog.use_prefilter) {
        while (at < n && !prog.first_byte[static_cast<unsigned char>(text[at])]) ++at;
        if (at >= n) break;
      }
    }
    if (!matched && (!prog.anchored_start || at == 0)) {
      std::fill(cache.scratch.begin(), cache.scratch.end(), kNone);
      closure(prog, cache, *clist, prog.start, text, at, cache.scratch.data());
    }
    Decoded d{kInvalid, 1};
    if (at < n) d = decode(text, at);
    for (std::size_t i = 0; i < clist->dense.size(); ++i) {
      const std::uint32_t pc = clist->dense[i];
      const Inst& inst = prog.insts[pc];
      if (inst.op == Op::kMatch) {
        const std::size_t* s = clist->slots_of(pc);
        for (std::size_t k = 0; k < nslots; ++k) out[k] = s[k];
        matched = true;
        if (earliest) return true;
        break;
      }
      if (inst.op == Op::kClass && at < n && prog.classes[inst.cls].contains(d.c)) {
        const std::size_t* s = clist->slots_of(pc);
        for (std::size_t k = 0; k < nslots; ++k) cache.scratch[k] = s[k];
        closure(prog, cache, *nlist, inst.next, text, at + d.len, cache.scratch.data());
      }
    }
    std::swap(clist, nlist);
    nlist->clear();
    if (at >= n) break;
    at += d.len;
  }
  return matched;
}

std::size_t next_boundary(std::string_view text, std::size_t i) {
  while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
  return i;
}

class CacheGuard {
 public:
  CacheGuard(const Program& prog, std::size_t nslots) : prog_(prog) {
    {
      std::lock_guard<std::mutex> lock(prog.pool_mutex);
      for (auto it = prog.pool.begin(); it != prog.pool.end(); ++it) {
        if ((*it)->nslots == nslots) {
          cache_ = std::move(*it);
          prog.pool.erase(it);
          break;
        }
      }
    }
    if (!cache_) cache_ = std::make_unique<Program::Cache>(prog, nslots);
  }
  ~CacheGuard() {
    std::lock_guard<std::mutex> lock(prog_.pool_mutex);
    if (prog_.pool.size() < 8) prog_.pool.push_back(std::move(cache_));
  }
  CacheGuard(const CacheGuard&) = delete;
  CacheGuard& operator=(const CacheGuard&) = delete;
  Program::Cache& get() { return *cache_; }

 private:
  const Program& prog_;
  std::unique_ptr<Program::Cache> cache_;
};

}  // namespace

std::expected<Regex, Error> Regex::compile(std::string_view pattern) {
  auto hir = parse(pattern);
  if (!hir) return std::unexpected(hir.error());
  auto prog = std::make_shared<Program>();
  prog->pattern = std::string(pattern);
  prog->captures_len = hir->captures_len;
  prog->names = hir->names;
  Compiler(*hir, *prog).run();
  FirstSet fs;
  bool nullable = false;
  first_set(*hir, hir->root, fs, nullable);
  prog->use_prefilter = !nullable;
  prog->first_byte = fs.bytes;
  prog->anchored_start = starts_with_text_anchor(*hir, hir->root);
  Regex r;
  r.prog_ = std::move(prog);
  return r;
}

bool Regex::is_match(std::string_view text, std::size_t start) const {
  if (start > text.size()) return false;
  CacheGuard g(*prog_, 0);
  return search(*prog_, g.get(), text, start, true, nullptr);
}

std::optional<Match> Regex::find(std::string_view text, std::size_t start) const {
  if (start > text.size()) return std::nullopt;
  CacheGuard g(*prog_, 2);
  std::size_t slots[2];
  if (!search(*prog_, g.get(), text, start, false, slots)) return std::nullopt;
  return Match{slots[0], slots[1]};
}

namespace {

Captures to_captures(const std::vector<std::size_t>& slots) {
  Captures c(slots.size() / 2);
  for (std::size_t i = 0; i < c.size(); ++i) {
    if (slots[2 * i] != kNone && slots[2 * i + 1] != kNone) c[i] = Match{slots[2 * i], slots[2 * i + 1]};
  }
  return c;
}

// Iterates the non-overlapping matches: after an empty match that ends where
// the previous match ended, the search moves one character on.
template <typename F>
void for_each_match(const Program& prog, Program::Cache& cache, std::string_view text, std::size_t* slots, F&& f) {
  std::size_t start = 0;
  std::optional<std::size_t> last_end;
  while (start <= text.size()) {
    if (!search(prog, cache, text, start, false, slots)) return;
    if (slots[0] == slots[1] && last_end && *last_end == slots[1]) {
      start = next_boundary(text, start + 1);
      if (start > text.size()) return;
      if (!search(prog, cache, text, start, false, slots)) return;
    }
    f();
    start = slots[1];
    last_end = slots[1];
  }
}

}  // namespace

std::optional<Captures> Regex::captures(std::string_view text, std::size_t start) const {
  if (start > text.size()) return std::nullopt;
  const std::size_t nslots = 2 * prog_->captures_len;
  CacheGuard g(*prog_, nslots);
  std::vector<std::size_t> slots(nslots, kNone);
  if (!search(*prog_, g.get(), text, start, false, slots.data())) return std::nullopt;
  return to_captures(slots);
}

std::vector<Match> Regex::find_all(std::string_view text) const {
  std::vector<Match> out;
  CacheGuard g(*prog_, 2);
  std::size_t slots[2];
  for_each_match(*prog_, g.get(), text, slots, [&] { out.push_back({slots[0], slots[1]}); });
  return out;
}

std::vector<Captures> Regex::captures_all(std::string_view text) const {
  std::vector<Captures> out;
  const std::size_t nslots = 2 * prog_->captures_len;
  CacheGuard g(*prog_, nslots);
  std::vector<std::size_t> slots(nslots, kNone);
  for_each_match(*prog_, g.get(), text, slots.data(), [&] { out.push_back(to_captures(slots)); });
  return out;
}

std::size_t Regex::captures_len() const { return prog_->captures_len; }

const std::vector<std::optional<std::string>>& Regex::names() const { return prog_->names; }

std::optional<std::size_t> Regex::group_index(std::string_view name) const {
  for (std::size_t i = 0; i < prog_->names.size(); ++i) {
    if (prog_->names[i] && *prog_->names[i] == name) return i;
  }
  return std::nullopt;
}

const std::string& Regex::pattern() const { return prog_->pattern; }

}  // namespace qv::regex
