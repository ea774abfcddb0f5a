// The matcher. The intermediate form is compiled to a program of
// code-point instructions (and a second one that reads the pattern
// backwards). Every search is linear in the text:
// - a lazy DFA over classes of code points runs the program forwards to
//   decide whether there is a match and where the leftmost-first match ends,
//   skipping with a start-byte prefilter where no match can begin;
// - a backward lazy DFA from that end finds where the match begins;
// - capture groups are read from that start by a bounded backtracker (each
//   instruction and offset visited once) or, for wide windows, by a Pike VM
//   (a breadth-first simulation whose thread lists are ordered by
//   preference, so the first thread to match wins), which also takes over
//   whole searches when a pattern's DFA outgrows its memory budget.
#include "regex/regex.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <mutex>
#include <unordered_map>

#include "core/utf8.hpp"
#include "regex/hir.hpp"
#include "regex/internals.hpp"
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

// What the DFA knows of the character on one side of a position.
constexpr std::uint8_t kCtxLF = 1;
constexpr std::uint8_t kCtxCR = 2;
constexpr std::uint8_t kCtxWordAscii = 4;
constexpr std::uint8_t kCtxWordUnicode = 8;
constexpr std::uint8_t kCtxEnd = 16;    // after: the end of the text
constexpr std::uint8_t kCtxStart = 32;  // before: the start of the text

struct Decoded {
  char32_t c;
  std::size_t len;
};

// The character at byte i (i < s.size()); a byte that does not begin a
// well-formed character is kInvalid of length 1.
inline Decoded decode(std::string_view s, std::size_t i) {
  const core::Utf8Step step = core::utf8_step(s, i);
  return step.valid ? Decoded{step.code_point, step.length} : Decoded{kInvalid, 1};
}

// The character ending at byte i (i > 0), or kInvalid of length 1 when the
// bytes before i do not end with a well-formed character.
inline Decoded decode_before(std::string_view s, std::size_t i) {
  const auto last = static_cast<unsigned char>(s[i - 1]);
  if (last < 0x80) return {last, 1};
  const core::Utf8Step step = core::utf8_step_back(s, i);
  return step.valid ? Decoded{step.code_point, step.length} : Decoded{kInvalid, 1};
}

inline bool is_word_byte(unsigned char b) {
  return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '_';
}

bool is_word_char(char32_t c) {
  if (c < 0x80) return is_word_byte(static_cast<unsigned char>(c));
  if (c == kInvalid) return false;
  return unicode::set_contains(unicode::perl_word(), c);
}

// What the DFA knows of a character: its kCtx* bits.
std::uint8_t char_flags(char32_t c) {
  std::uint8_t f = 0;
  if (c == '\n') f |= kCtxLF;
  if (c == '\r') f |= kCtxCR;
  if (c < 0x80 && is_word_byte(static_cast<unsigned char>(c))) f |= kCtxWordAscii;
  if (is_word_char(c)) f |= kCtxWordUnicode;
  return f;
}

// Whether an assertion holds between a position whose character before has
// the context `before` and whose character after has `after`.
bool look_ctx(Look look, std::uint8_t before, std::uint8_t after) {
  switch (look) {
    case Look::kStart:
      return before & kCtxStart;
    case Look::kEnd:
      return after & kCtxEnd;
    case Look::kStartLF:
      return before & (kCtxStart | kCtxLF);
    case Look::kEndLF:
      return after & (kCtxEnd | kCtxLF);
    case Look::kStartCRLF:
      return (before & (kCtxStart | kCtxLF)) || ((before & kCtxCR) && !(after & kCtxLF));
    case Look::kEndCRLF:
      return (after & (kCtxEnd | kCtxCR)) || ((after & kCtxLF) && !(before & kCtxCR));
    default:
      break;
  }
  const bool ascii = look == Look::kWordAscii || look == Look::kWordAsciiNegate || look == Look::kWordStartAscii ||
                     look == Look::kWordEndAscii || look == Look::kWordStartHalfAscii || look == Look::kWordEndHalfAscii;
  const std::uint8_t bit = ascii ? kCtxWordAscii : kCtxWordUnicode;
  const bool b = before & bit, a = after & bit;
  switch (look) {
    case Look::kWordAscii:
    case Look::kWordUnicode:
      return b != a;
    case Look::kWordAsciiNegate:
    case Look::kWordUnicodeNegate:
      return b == a;
    case Look::kWordStartAscii:
    case Look::kWordStartUnicode:
      return !b && a;
    case Look::kWordEndAscii:
    case Look::kWordEndUnicode:
      return b && !a;
    case Look::kWordStartHalfAscii:
    case Look::kWordStartHalfUnicode:
      return !b;
    case Look::kWordEndHalfAscii:
    case Look::kWordEndHalfUnicode:
      return !a;
    default:
      return false;
  }
}

// Whether an assertion holds at byte `at` of a text.
bool look_holds(Look look, std::string_view h, std::size_t at) {
  const std::uint8_t before = at == 0 ? kCtxStart : char_flags(decode_before(h, at).c);
  const std::uint8_t after = at == h.size() ? kCtxEnd : char_flags(decode(h, at).c);
  return look_ctx(look, before, after);
}

}  // namespace

struct Program {
  std::string pattern;
  std::vector<Inst> insts;
  std::vector<ClassMatcher> classes;
  std::uint32_t start = 0;
  // The same pattern read backwards (no capture slots), which finds where
  // a match that ends at a known offset begins.
  std::vector<Inst> rev_insts;
  std::uint32_t rev_start = 0;
  std::size_t captures_len = 1;
  std::vector<std::optional<std::string>> names;
  // Bytes a match can begin with; unused when a match can be empty.
  std::array<bool, 256> first_byte{};
  bool use_prefilter = false;
  // True when every match must begin at offset 0.
  bool anchored_start = false;

  // The code points split into classes that every class instruction and
  // every assertion treats alike; the lazy DFA moves on these classes.
  struct Alphabet {
    std::vector<char32_t> starts;  // class k is [starts[k], starts[k + 1])
    std::array<std::uint32_t, 128> ascii{};
    std::vector<std::uint8_t> flags;  // kCtx* bits of each class
    std::vector<char32_t> rep;        // a member of each real class
    std::uint32_t invalid = 0;        // malformed UTF-8
    std::uint32_t eot = 0;            // the end of the text
    std::uint32_t count = 0;          // classes, the two above included
    std::uint32_t class_of(char32_t c) const {
      if (c < 0x80) return ascii[c];
      if (c == kInvalid) return invalid;
      return static_cast<std::uint32_t>(std::upper_bound(starts.begin(), starts.end(), c) - starts.begin()) - 1;
    }
  };
  Alphabet alphabet;

  struct Cache;
  mutable std::mutex pool_mutex;
  mutable std::vector<std::unique_ptr<Cache>> pool;
};

namespace {

// ------------------------------------------------------------------ compiler

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

// Capture histories for the Pike VM when a pattern has many groups: a
// thread holds a reference to a chain of (slot, offset) records, newest
// first, instead of a row of every slot. Threads that fork share their
// common past; records are freed by reference counts. The number of live
// records is bounded: extend() refuses past the bound.
struct History {
  struct Record {
    std::size_t value = 0;
    std::uint32_t slot = 0;
    std::uint32_t parent = 0;  // 0: the empty history
    std::uint32_t refs = 0;
  };
  std::vector<Record> records;
  std::vector<std::uint32_t> free;
  std::size_t live = 0;
  std::size_t max_live = 0;

  // Keeps a small arena for the next search; gives a large one back.
  void trim() {
    if (records.capacity() > (std::size_t{1} << 16)) {
      records = {};
      free = {};
    }
  }
  void reset(std::size_t max) {
    records.assign(1, Record{});
    free.clear();
    live = 0;
    max_live = max;
  }
  void retain(std::uint32_t h) {
    if (h != 0) ++records[h].refs;
  }
  void release(std::uint32_t h) {
    while (h != 0 && --records[h].refs == 0) {
      free.push_back(h);
      --live;
      h = records[h].parent;
    }
  }
  // The history `parent` followed by slot := value, held once by the
  // caller; nullopt when the bound is reached.
  std::optional<std::uint32_t> extend(std::uint32_t parent, std::uint32_t slot, std::size_t value) {
    if (live >= max_live) return std::nullopt;
    std::uint32_t id;
    if (!free.empty()) {
      id = free.back();
      free.pop_back();
    } else {
      id = static_cast<std::uint32_t>(records.size());
      records.emplace_back();
    }
    records[id] = Record{value, slot, parent, 1};
    retain(parent);
    ++live;
    return id;
  }
  // The slots of a history: the newest record of each slot.
  void read(std::uint32_t h, std::size_t* out, std::size_t nslots) const {
    std::fill(out, out + nslots, ThreadList::kNone);
    for (; h != 0; h = records[h].parent) {
      const Record& r = records[h];
      if (out[r.slot] == ThreadList::kNone) out[r.slot] = r.value;
    }
  }
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
  std::size_t slot_offset = 0;  // the slots kept are slot_offset .. + nslots
  // The Pike VM with capture histories: its lists hold one history per
  // instruction.
  ThreadList hclist, hnlist;
  History history;

  // A lazy DFA: states are lists of instructions still to be closed (the
  // kernel, in order of preference going forwards) with the context of the
  // character on the side already read; transitions are computed on first
  // use and kept within a memory budget.
  struct Dfa {
    struct State {
      std::vector<std::uint32_t> kernel;
      std::uint8_t ctx = 0;
      bool fresh = false;  // nothing alive but the search's start loop
    };
    std::vector<State> states;
    std::vector<std::int32_t> table;  // -1 unknown, else next << 1 | matched
    std::unordered_map<std::string, std::uint32_t> index;
    std::size_t memory = 0;
    ThreadList list, seen;
    std::vector<std::uint32_t> stack;
    std::string key;
    std::vector<std::uint32_t> next;
    std::array<std::uint32_t, 64> starts{};  // start state by context, 0 unknown
  };
  Dfa forward, reverse;

  // The bounded backtracker: a bit per (instruction, offset) of its window.
  std::vector<std::uint64_t> visited;
  struct BtFrame {
    bool restore;
    std::uint32_t pc_or_slot;
    std::size_t at_or_value;
  };
  std::vector<BtFrame> bt_stack;
  std::vector<std::size_t> bt_slots;

  Cache(const Program& prog, std::size_t ns) : nslots(ns) {
    // The Pike VM's lists (a slot row per instruction) are made when it
    // first runs: most searches never need it.
    scratch.assign(ns, ThreadList::kNone);
    forward.list.init(prog.insts.size() + 2, 0);
    forward.seen.init(prog.insts.size() + 2, 0);
    reverse.list.init(prog.rev_insts.size() + 2, 0);
    reverse.seen.init(prog.rev_insts.size() + 2, 0);
  }
};

namespace {

constexpr std::size_t kNone = ThreadList::kNone;

// How a Pike VM run keeps the capture slots of its threads: each thread a
// row of slots, copied when it moves on.
struct RowSlots {
  Program::Cache& cache;
  std::size_t* out;
  std::size_t* cur = nullptr;  // the slots of the thread being closed

  ThreadList& list(int k) { return k == 0 ? cache.clist : cache.nlist; }
  void prepare(const Program& prog) {
    if (cache.clist.sparse.size() != prog.insts.size()) {
      cache.clist.init(prog.insts.size(), cache.nslots);
      cache.nlist.init(prog.insts.size(), cache.nslots);
    }
  }
  void begin_empty() {
    std::fill(cache.scratch.begin(), cache.scratch.end(), kNone);
    cur = cache.scratch.data();
  }
  void begin_from(ThreadList& list, std::uint32_t pc) {
    const std::size_t* s = list.slots_of(pc);
    std::copy(s, s + cache.nslots, cache.scratch.begin());
    cur = cache.scratch.data();
  }
  bool save(std::uint32_t slot, std::size_t at) {
    const std::size_t rel = static_cast<std::size_t>(slot) - cache.slot_offset;
    if (slot >= cache.slot_offset && rel < cache.nslots) {
      cache.stack.push_back({true, static_cast<std::uint32_t>(rel), cur[rel]});
      cur[rel] = at;
    }
    return true;
  }
  void restore(const Program::Cache::Frame& f) { cur[f.id] = f.value; }
  void leaf(ThreadList& list, std::uint32_t pc) { std::copy(cur, cur + cache.nslots, list.slots_of(pc)); }
  void matched(ThreadList& list, std::uint32_t pc) {
    const std::size_t* s = list.slots_of(pc);
    std::copy(s, s + cache.nslots, out);
  }
  void clear(const Program&, ThreadList& list) { list.clear(); }
  void finish() {}
};

// The other way: a thread holds a capture history, shared with the threads
// it forked from, so a step costs the same however many groups there are.
// A run fails when the histories reach their bound.
struct HistorySlots {
  Program::Cache& cache;
  std::size_t* out;
  std::uint32_t cur = 0;   // the history of the thread being closed
  std::uint32_t best = 0;  // the history of the match so far, held

  ThreadList& list(int k) { return k == 0 ? cache.hclist : cache.hnlist; }
  void prepare(const Program& prog) {
    if (cache.hclist.sparse.size() != prog.insts.size()) {
      cache.hclist.init(prog.insts.size(), 1);
      cache.hnlist.init(prog.insts.size(), 1);
    }
  }
  void begin_empty() { cur = 0; }
  void begin_from(ThreadList& list, std::uint32_t pc) { cur = static_cast<std::uint32_t>(list.slots_of(pc)[0]); }
  // A record made here is held by the closure until its restore frame.
  bool save(std::uint32_t slot, std::size_t at) {
    if (slot >= cache.nslots) return true;
    const auto rec = cache.history.extend(cur, slot, at);
    if (!rec) return false;
    cache.stack.push_back({true, 0, cur});
    cur = *rec;
    return true;
  }
  void restore(const Program::Cache::Frame& f) {
    cache.history.release(cur);
    cur = static_cast<std::uint32_t>(f.value);
  }
  void leaf(ThreadList& list, std::uint32_t pc) {
    list.slots_of(pc)[0] = cur;
    cache.history.retain(cur);
  }
  void matched(ThreadList& list, std::uint32_t pc) {
    const auto h = static_cast<std::uint32_t>(list.slots_of(pc)[0]);
    cache.history.retain(h);
    cache.history.release(best);
    best = h;
  }
  // Drops the histories held by the leaves of a list and empties it.
  void clear(const Program& prog, ThreadList& list) {
    for (const std::uint32_t pc : list.dense) {
      const Op op = prog.insts[pc].op;
      if (op == Op::kClass || op == Op::kMatch || op == Op::kFail) {
        cache.history.release(static_cast<std::uint32_t>(list.slots_of(pc)[0]));
      }
    }
    list.clear();
  }
  void finish() { cache.history.read(best, out, cache.nslots); }
};

// Adds `id` and everything reachable from it without consuming text, in
// order of preference, to the thread that `slots` is closing. False when
// the slots' bound is reached.
template <typename Slots>
bool closure(const Program& prog, Slots& slots, ThreadList& list, std::uint32_t id, std::string_view text,
             std::size_t at) {
  auto& stack = slots.cache.stack;
  stack.clear();
  stack.push_back({false, id, 0});
  while (!stack.empty()) {
    const Program::Cache::Frame f = stack.back();
    stack.pop_back();
    if (f.restore) {
      slots.restore(f);
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
        if (!slots.save(inst.slot, at)) return false;
        pc = inst.next;
        continue;
      }
      if (inst.op == Op::kLook) {
        if (!look_holds(inst.look, text, at)) break;
        pc = inst.next;
        continue;
      }
      // A thread that waits on text, or a match.
      slots.leaf(list, pc);
      break;
    }
  }
  return true;
}

// Runs a search from `start`. Fills the slots' `out` (nslots entries) with
// the slots of the leftmost-first match and gives true if there is one;
// with `earliest`, stops at the first match state reached. nullopt when
// the slots' bound is reached.
template <typename Slots>
std::optional<bool> pike_run(const Program& prog, Slots& slots, std::string_view text, std::size_t start,
                             bool earliest) {
  if (prog.anchored_start && start > 0) return false;
  slots.prepare(prog);
  ThreadList* clist = &slots.list(0);
  ThreadList* nlist = &slots.list(1);
  clist->clear();
  nlist->clear();
  const std::size_t n = text.size();
  bool matched = false;
  std::size_t at = start;
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
      slots.begin_empty();
      if (!closure(prog, slots, *clist, prog.start, text, at)) return std::nullopt;
    }
    Decoded d{kInvalid, 1};
    if (at < n) d = decode(text, at);
    bool done = false;
    for (std::size_t i = 0; i < clist->dense.size(); ++i) {
      const std::uint32_t pc = clist->dense[i];
      const Inst& inst = prog.insts[pc];
      if (inst.op == Op::kMatch) {
        slots.matched(*clist, pc);
        matched = true;
        done = earliest;
        break;
      }
      if (inst.op == Op::kClass && at < n && prog.classes[inst.cls].contains(d.c)) {
        slots.begin_from(*clist, pc);
        if (!closure(prog, slots, *nlist, inst.next, text, at + d.len)) return std::nullopt;
      }
    }
    slots.clear(prog, *clist);
    std::swap(clist, nlist);
    if (done || at >= n) break;
    at += d.len;
  }
  if (matched) slots.finish();
  return matched;
}

bool pike_search(const Program& prog, Program::Cache& cache, std::string_view text, std::size_t start, bool earliest,
                 std::size_t* out) {
  RowSlots slots{cache, out};
  return *pike_run(prog, slots, text, start, earliest);
}

std::optional<bool> pike_search_history(const Program& prog, Program::Cache& cache, std::string_view text,
                                        std::size_t start, bool earliest, std::size_t* out, std::size_t max_records) {
  cache.history.reset(max_records);
  HistorySlots slots{cache, out};
  return pike_run(prog, slots, text, start, earliest);
}

// ------------------------------------------------------------- lazy DFA

constexpr std::size_t kDfaMemoryBudget = 4u << 20;
constexpr int kDfaMaxClears = 8;

using Dfa = Program::Cache::Dfa;

// One direction of the lazy DFA over a program. Forwards, the kernel is
// ordered by preference, a search's start loop is the last thread, and a
// match cuts every thread after it (leftmost-first). Backwards, the search
// is anchored and keeps every thread, so it finds the earliest start.
struct DfaRunner {
  const Program& prog;
  const std::vector<Inst>& insts;
  std::uint32_t start;
  bool reverse;
  Dfa& d;
  int clears = 0;

  std::uint32_t prefix() const { return static_cast<std::uint32_t>(insts.size()); }

  void reset() {
    if (!d.states.empty()) return;
    d.states.resize(1);  // state 0: dead
    d.table.assign(prog.alphabet.count, 0);
  }

  std::uint32_t intern(std::vector<std::uint32_t>& kernel, std::uint8_t ctx) {
    if (kernel.empty()) return 0;
    if (reverse) std::sort(kernel.begin(), kernel.end());
    std::string& key = d.key;
    key.assign(1, static_cast<char>(ctx));
    key.append(reinterpret_cast<const char*>(kernel.data()), kernel.size() * sizeof(std::uint32_t));
    auto it = d.index.find(key);
    if (it != d.index.end()) return it->second;
    const std::size_t stride = prog.alphabet.count;
    const std::size_t cost = stride * sizeof(std::int32_t) + 2 * key.size() + 64;
    if (d.memory + cost > kDfaMemoryBudget && d.states.size() > 1) {
      // Start over with only the dead state.
      ++clears;
      d.states.resize(1);
      d.table.assign(stride, 0);
      d.index.clear();
      d.memory = 0;
      d.starts.fill(0);
    }
    const auto id = static_cast<std::uint32_t>(d.states.size());
    Dfa::State st;
    st.kernel = kernel;
    st.ctx = ctx;
    st.fresh = !reverse && kernel.size() == 1 && kernel[0] == prefix();
    d.states.push_back(std::move(st));
    d.table.resize(d.table.size() + stride, -1);
    d.index.emplace(key, id);
    d.memory += cost;
    return id;
  }

  std::uint32_t start_state(std::uint32_t pc, std::uint8_t ctx) {
    std::uint32_t& cached = d.starts[ctx & 63];
    if (cached != 0) return cached;
    std::vector<std::uint32_t> kernel{pc};
    const std::uint32_t id = intern(kernel, ctx);
    d.starts[ctx & 63] = id;
    return id;
  }

  // The transition of state `sid` on class `k`: the next state, and whether
  // a match ends at the position between the two characters.
  std::uint32_t step(std::uint32_t sid, std::uint32_t k, bool& matched) {
    const std::size_t stride = prog.alphabet.count;
    const std::int32_t known = d.table[sid * stride + k];
    if (known >= 0) {
      matched = known & 1;
      return static_cast<std::uint32_t>(known >> 1);
    }
    const std::uint32_t pfx = prefix();
    const std::uint32_t pfx_mark = pfx + 1;
    const std::uint8_t have = d.states[sid].ctx;
    std::uint8_t other = prog.alphabet.flags[k];
    if (reverse && k == prog.alphabet.eot) other = kCtxStart;
    // Assertions see the text in its own order.
    const std::uint8_t before = reverse ? other : have;
    const std::uint8_t after = reverse ? have : other;
    ThreadList& list = d.list;
    list.clear();
    auto& stack = d.stack;
    for (std::uint32_t root : d.states[sid].kernel) {
      stack.clear();
      stack.push_back(root);
      while (!stack.empty()) {
        std::uint32_t pc = stack.back();
        stack.pop_back();
        while (true) {
          if (pc == pfx) {
            stack.push_back(pfx_mark);
            pc = start;
            continue;
          }
          if (list.contains(pc)) break;
          list.insert(pc);
          if (pc == pfx_mark) break;
          const Inst& inst = insts[pc];
          if (inst.op == Op::kSplit) {
            stack.push_back(inst.alt);
            pc = inst.next;
            continue;
          }
          if (inst.op == Op::kSave) {
            pc = inst.next;
            continue;
          }
          if (inst.op == Op::kLook) {
            if (!look_ctx(inst.look, before, after)) break;
            pc = inst.next;
            continue;
          }
          break;
        }
      }
    }
    matched = false;
    std::vector<std::uint32_t>& next = d.next;
    next.clear();
    ThreadList& seen = d.seen;
    seen.clear();
    const bool real = k < prog.alphabet.invalid;
    for (std::uint32_t pc : list.dense) {
      if (pc == pfx_mark) {
        if (k != prog.alphabet.eot && !seen.contains(pfx)) {
          seen.insert(pfx);
          next.push_back(pfx);
        }
        continue;
      }
      const Inst& inst = insts[pc];
      if (inst.op == Op::kMatch) {
        matched = true;
        if (!reverse) break;
        continue;
      }
      if (inst.op == Op::kClass && real && prog.classes[inst.cls].contains(prog.alphabet.rep[k]) &&
          !seen.contains(inst.next)) {
        seen.insert(inst.next);
        next.push_back(inst.next);
      }
    }
    const std::uint8_t ctx = other & (kCtxLF | kCtxCR | kCtxWordAscii | kCtxWordUnicode);
    const int clears_before = clears;
    const std::uint32_t target = intern(next, ctx);
    if (clears == clears_before) d.table[sid * stride + k] = static_cast<std::int32_t>(target << 1 | (matched ? 1 : 0));
    return target;
  }
};

struct DfaResult {
  enum { kNoMatch, kMatch, kGaveUp } kind = kNoMatch;
  std::size_t end = 0;
  std::size_t resume = 0;  // no match begins before this offset
  std::size_t stop = 0;    // no thread of the search is alive past this offset
};

std::uint8_t char_ctx(const Program& prog, char32_t c) {
  return prog.alphabet.flags[prog.alphabet.class_of(c)] & (kCtxLF | kCtxCR | kCtxWordAscii | kCtxWordUnicode);
}

std::uint8_t ctx_before(const Program& prog, std::string_view text, std::size_t at) {
  if (at == 0) return kCtxStart;
  return char_ctx(prog, decode_before(text, at).c);
}

// Finds where the leftmost-first match ends (or, with `earliest`, where
// some match ends first).
DfaResult dfa_search(const Program& prog, Program::Cache& c, std::string_view text, std::size_t start, bool earliest) {
  DfaResult res;
  if (prog.anchored_start && start > 0) return res;
  DfaRunner run{prog, prog.insts, prog.start, false, c.forward};
  run.reset();
  const auto pfx = static_cast<std::uint32_t>(prog.insts.size());
  std::uint32_t sid = run.start_state(prog.anchored_start ? prog.start : pfx, ctx_before(prog, text, start));
  const std::size_t n = text.size();
  std::size_t p = start;
  bool found = false;
  res.resume = start;
  while (true) {
    if (run.clears > kDfaMaxClears) {
      res.kind = DfaResult::kGaveUp;
      return res;
    }
    if (c.forward.states[sid].fresh) {
      res.resume = p;
      if (prog.use_prefilter) {
        std::size_t q = p;
        while (q < n && !prog.first_byte[static_cast<unsigned char>(text[q])]) ++q;
        if (q >= n) break;
        if (q != p) {
          p = q;
          res.resume = p;
          sid = run.start_state(pfx, ctx_before(prog, text, p));
        }
      }
    }
    bool matched = false;
    if (p >= n) {
      run.step(sid, prog.alphabet.eot, matched);
      if (matched) {
        found = true;
        res.end = n;
      }
      break;
    }
    std::uint32_t k;
    std::size_t len = 1;
    const auto b = static_cast<unsigned char>(text[p]);
    if (b < 0x80) {
      k = prog.alphabet.ascii[b];
    } else {
      const Decoded dc = decode(text, p);
      k = prog.alphabet.class_of(dc.c);
      len = dc.len;
    }
    const std::int32_t known = c.forward.table[sid * prog.alphabet.count + k];
    if (known >= 0) {
      matched = known & 1;
      sid = static_cast<std::uint32_t>(known >> 1);
    } else {
      sid = run.step(sid, k, matched);
    }
    if (matched) {
      found = true;
      res.end = p;
      if (earliest) break;
    }
    if (sid == 0) break;
    p += len;
  }
  res.stop = std::min(p, n);
  if (found) res.kind = DfaResult::kMatch;
  return res;
}

// The earliest offset at or after `low` where a match ending at `end` can
// begin, or nullopt (or give-up) when the backwards DFA cannot tell.
std::optional<std::size_t> dfa_start(const Program& prog, Program::Cache& c, std::string_view text, std::size_t end,
                                     std::size_t low) {
  DfaRunner run{prog, prog.rev_insts, prog.rev_start, true, c.reverse};
  run.reset();
  const std::uint8_t ctx = end == text.size() ? kCtxEnd : char_ctx(prog, decode(text, end).c);
  std::uint32_t sid = run.start_state(prog.rev_start, ctx);
  std::optional<std::size_t> best;
  std::size_t p = end;
  while (true) {
    if (run.clears > kDfaMaxClears) return std::nullopt;
    bool matched = false;
    if (p == 0) {
      run.step(sid, prog.alphabet.eot, matched);
      if (matched) best = p;
      break;
    }
    const Decoded dc = decode_before(text, p);
    sid = run.step(sid, prog.alphabet.class_of(dc.c), matched);
    if (matched) best = p;
    if (sid == 0 || p <= low) break;
    p -= dc.len;
  }
  return best;
}

constexpr std::size_t kBacktrackBits = std::size_t{1} << 21;

// Reads the leftmost-first match that begins at `begin` with its capture
// groups by depth-first search in order of preference, never visiting an
// (instruction, offset) pair twice; threads are known to die by `stop`.
// Returns false when the window is too large for its bit set.
bool backtrack(const Program& prog, Program::Cache& c, std::string_view text, std::size_t begin, std::size_t stop,
               std::size_t* out, bool& found) {
  const std::size_t width = stop - begin + 1;
  const std::size_t ninsts = prog.insts.size();
  if (width > kBacktrackBits / ninsts) return false;
  c.visited.assign((ninsts * width + 63) / 64, 0);
  c.bt_slots.assign(c.nslots, kNone);
  auto& stack = c.bt_stack;
  stack.clear();
  stack.push_back({false, prog.start, begin});
  const std::size_t n = text.size();
  found = false;
  while (!stack.empty()) {
    const auto f = stack.back();
    stack.pop_back();
    if (f.restore) {
      c.bt_slots[f.pc_or_slot] = f.at_or_value;
      continue;
    }
    std::uint32_t pc = f.pc_or_slot;
    std::size_t at = f.at_or_value;
    while (true) {
      if (at > stop) break;
      const std::size_t bit = pc * width + (at - begin);
      if (c.visited[bit >> 6] >> (bit & 63) & 1) break;
      c.visited[bit >> 6] |= std::uint64_t{1} << (bit & 63);
      const Inst& inst = prog.insts[pc];
      if (inst.op == Op::kMatch) {
        for (std::size_t k = 0; k < c.nslots; ++k) out[k] = c.bt_slots[k];
        found = true;
        return true;
      }
      if (inst.op == Op::kClass) {
        if (at >= n) break;
        const Decoded d = decode(text, at);
        if (!prog.classes[inst.cls].contains(d.c)) break;
        at += d.len;
        pc = inst.next;
        continue;
      }
      if (inst.op == Op::kSplit) {
        stack.push_back({false, inst.alt, at});
        pc = inst.next;
        continue;
      }
      if (inst.op == Op::kSave) {
        if (inst.slot < c.nslots) {
          stack.push_back({true, inst.slot, c.bt_slots[inst.slot]});
          c.bt_slots[inst.slot] = at;
        }
        pc = inst.next;
        continue;
      }
      if (inst.op == Op::kLook) {
        if (!look_holds(inst.look, text, at)) break;
        pc = inst.next;
        continue;
      }
      break;
    }
  }
  return true;
}

constexpr std::size_t kPikeSlotBudget = std::size_t{64} << 20;
// Patterns with more slots than this follow capture histories rather than
// copy slot rows.
constexpr std::size_t kRowSlotsAtMost = 32;

// The Pike VM with all the slots the cache asks for. With many slots its
// threads follow capture histories; otherwise, or when the histories
// outgrow their budget, its two lists hold a row of slots per instruction.
// When the rows would take more than the budget, the groups are read in
// batches, one run per batch: the match itself does not depend on which
// slots are kept.
bool pike_any(const Program& prog, Program::Cache& cache, std::string_view text, std::size_t start, bool earliest,
              std::size_t* out, PikeSlots how = PikeSlots::kAuto) {
  const std::size_t nslots = cache.nslots;
  if (how == PikeSlots::kHistories || (how == PikeSlots::kAuto && nslots > kRowSlotsAtMost)) {
    const auto r = pike_search_history(prog, cache, text, start, earliest, out, kPikeSlotBudget / sizeof(History::Record));
    cache.history.trim();
    if (r) return *r;
  }
  const std::size_t per_slot = 2 * prog.insts.size() * sizeof(std::size_t);
  if (nslots <= 2 || nslots <= kPikeSlotBudget / per_slot) return pike_search(prog, cache, text, start, earliest, out);
  const std::size_t batch = std::max<std::size_t>(2, kPikeSlotBudget / per_slot);
  for (std::size_t off = 0; off < nslots; off += batch) {
    Program::Cache part(prog, std::min(batch, nslots - off));
    part.slot_offset = off;
    if (!pike_search(prog, part, text, start, earliest, out + off)) return false;
  }
  return true;
}

// The search every operation uses: the forward DFA decides whether and
// where a match ends, the backward DFA where it begins, and the Pike VM
// reads capture groups from that start (or does everything when the DFA
// gives up on a pattern whose states exceed its memory budget).
bool search(const Program& prog, Program::Cache& cache, std::string_view text, std::size_t start, bool earliest,
            std::size_t* out) {
  const DfaResult r = dfa_search(prog, cache, text, start, earliest && cache.nslots == 0);
  if (r.kind == DfaResult::kGaveUp) return pike_any(prog, cache, text, start, earliest, out);
  if (r.kind == DfaResult::kNoMatch) return false;
  if (cache.nslots == 0) return true;
  const auto s = dfa_start(prog, cache, text, r.end, r.resume);
  if (!s || *s < r.resume || *s > r.end) return pike_any(prog, cache, text, r.resume, earliest, out);
  if (cache.nslots == 2) {
    out[0] = *s;
    out[1] = r.end;
    return true;
  }
  bool found = false;
  if (backtrack(prog, cache, text, *s, std::max(r.stop, r.end), out, found) && found) return true;
  return pike_any(prog, cache, text, *s, earliest, out);
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

namespace {

void build_alphabet(Program& prog) {
  bool unicode_word = false;
  for (const Inst& i : prog.insts) {
    if (i.op != Op::kLook) continue;
    switch (i.look) {
      case Look::kWordUnicode:
      case Look::kWordUnicodeNegate:
      case Look::kWordStartUnicode:
      case Look::kWordEndUnicode:
      case Look::kWordStartHalfUnicode:
      case Look::kWordEndHalfUnicode:
        unicode_word = true;
        break;
      default:
        break;
    }
  }
  std::vector<char32_t> cuts{0, '\n', '\n' + 1, '\r', '\r' + 1, '0', '9' + 1, 'A', 'Z' + 1, '_', '_' + 1, 'a', 'z' + 1, 0x80};
  auto add_set = [&](const unicode::RangeSet& set) {
    for (auto r : set) {
      cuts.push_back(r.lo);
      if (r.hi < unicode::kMaxCodePoint) cuts.push_back(r.hi + 1);
    }
  };
  for (const ClassMatcher& m : prog.classes) add_set(*m.set);
  if (unicode_word) add_set(unicode::perl_word());
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
  Program::Alphabet& a = prog.alphabet;
  a.starts = std::move(cuts);
  const auto real = static_cast<std::uint32_t>(a.starts.size());
  a.invalid = real;
  a.eot = real + 1;
  a.count = real + 2;
  a.rep = a.starts;
  a.flags.assign(a.count, 0);
  for (std::uint32_t k = 0; k < real; ++k) {
    a.flags[k] = char_flags(a.rep[k]);
  }
  a.flags[a.eot] = kCtxEnd;
  for (char32_t c = 0; c < 0x80; ++c) {
    a.ascii[c] = static_cast<std::uint32_t>(std::upper_bound(a.starts.begin(), a.starts.end(), c) - a.starts.begin()) - 1;
  }
}

}  // namespace

std::expected<Regex, Error> Regex::compile(std::string_view pattern) {
  auto hir = parse(pattern);
  if (!hir) return std::unexpected(hir.error());
  auto prog = std::make_shared<Program>();
  prog->pattern = std::string(pattern);
  prog->captures_len = hir->captures_len;
  prog->names = hir->names;
  Compiler(*hir, *prog, false).run();
  Compiler(*hir, *prog, true).run();
  FirstSet fs;
  bool nullable = false;
  first_set(*hir, hir->root, fs, nullable);
  prog->use_prefilter = !nullable;
  prog->first_byte = fs.bytes;
  prog->anchored_start = starts_with_text_anchor(*hir, hir->root);
  build_alphabet(*prog);
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
  std::size_t slots[2] = {0, 0};
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
  std::size_t slots[2] = {0, 0};
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

bool RegexInternals::pike_is_match(const Regex& re, std::string_view text, std::size_t start) {
  if (start > text.size()) return false;
  CacheGuard g(*re.prog_, 0);
  return pike_search(*re.prog_, g.get(), text, start, true, nullptr);
}

std::optional<Captures> RegexInternals::pike_captures(const Regex& re, std::string_view text, std::size_t start,
                                                     PikeSlots how) {
  if (start > text.size()) return std::nullopt;
  const std::size_t nslots = 2 * re.prog_->captures_len;
  CacheGuard g(*re.prog_, nslots);
  std::vector<std::size_t> slots(nslots, kNone);
  if (!pike_any(*re.prog_, g.get(), text, start, false, slots.data(), how)) return std::nullopt;
  return to_captures(slots);
}

}  // namespace qv::regex
