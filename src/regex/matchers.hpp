// The per-search scratch of every matcher (Program::Cache) and the entry
// points of the lazy DFA, the bounded backtracker and the Pike VM. Internal
// to the regex component.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/keyed_hash.hpp"
#include "regex/program.hpp"
#include "regex/regex.hpp"

namespace qv::regex {

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
    core::TextMap<std::uint32_t> index;  // keyed: kernels come from callers' patterns and texts
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

// A cache taken from the program's pool for one operation (a new one when
// the pool has none for this number of slots) and given back after it.
class CacheGuard {
 public:
  CacheGuard(const Program& prog, std::size_t nslots);
  ~CacheGuard();
  CacheGuard(const CacheGuard&) = delete;
  CacheGuard& operator=(const CacheGuard&) = delete;
  Program::Cache& get() { return *cache_; }

 private:
  const Program& prog_;
  std::unique_ptr<Program::Cache> cache_;
};

// Group spans from capture slots (start and end of each group in turn; a
// group whose slots were never set did not take part).
Captures to_captures(const std::vector<std::size_t>& slots);

// ------------------------------------------------------------- lazy DFA

struct DfaResult {
  enum { kNoMatch, kMatch, kGaveUp } kind = kNoMatch;
  std::size_t end = 0;
  std::size_t resume = 0;  // no match begins before this offset
  std::size_t stop = 0;    // no thread of the search is alive past this offset
};

// Finds where the leftmost-first match ends (or, with `earliest`, where
// some match ends first).
DfaResult dfa_search(const Program& prog, Program::Cache& c, std::string_view text, std::size_t start, bool earliest);

// The earliest offset at or after `low` where a match ending at `end` can
// begin, or nullopt (or give-up) when the backwards DFA cannot tell.
std::optional<std::size_t> dfa_start(const Program& prog, Program::Cache& c, std::string_view text, std::size_t end,
                                     std::size_t low);

// ------------------------------------------------------------- backtracker

// Reads the leftmost-first match that begins at `begin` with its capture
// groups by depth-first search in order of preference, never visiting an
// (instruction, offset) pair twice; threads are known to die by `stop`.
// Returns false when the window is too large for its bit set.
bool backtrack(const Program& prog, Program::Cache& c, std::string_view text, std::size_t begin, std::size_t stop,
               std::size_t* out, bool& found);

// ------------------------------------------------------------- Pike VM

// How the Pike VM keeps a thread's capture slots: a row of every slot, a
// shared history of the slots set, or the one the number of slots favours.
enum class PikeSlots { kAuto, kRows, kHistories };

// A search from `start` keeping a row of slots per thread. Fills `out`
// (the cache's nslots entries) with the slots of the leftmost-first match
// and gives true if there is one; with `earliest`, stops at the first match
// state reached.
bool pike_search(const Program& prog, Program::Cache& cache, std::string_view text, std::size_t start, bool earliest,
                 std::size_t* out);

// The Pike VM with all the slots the cache asks for, keeping them as `how`
// says (by default as the number of slots favours), within a memory budget.
bool pike_any(const Program& prog, Program::Cache& cache, std::string_view text, std::size_t start, bool earliest,
              std::size_t* out, PikeSlots how = PikeSlots::kAuto);

// ------------------------------------------------------------- compiler

// The program of a pattern's intermediate form, forwards and backwards, with
// its prefilter and alphabet.
std::shared_ptr<Program> compile_program(const Hir& hir, std::string_view pattern);

}  // namespace qv::regex
