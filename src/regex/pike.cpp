// The Pike VM: a breadth-first simulation of the program whose thread
// lists are ordered by preference, so the first thread to match wins. It
// reads capture groups over wide windows and takes over whole searches when
// the lazy DFA outgrows its memory budget.
#include <algorithm>

#include "regex/matchers.hpp"

namespace qv::regex {

namespace {

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
    while (!list.contains(pc)) {
      list.insert(pc);
      const Follow step = follow(
          prog.insts[pc], pc, [&](std::uint32_t alt) { stack.push_back({false, alt, 0}); },
          [&](std::uint32_t slot) { return slots.save(slot, at); },
          [&](Look look) { return look_holds(look, text, at); });
      if (step == Follow::kNext) continue;
      if (step == Follow::kBounded) return false;
      // A thread that waits on text, or a match.
      if (step == Follow::kLeaf) slots.leaf(list, pc);
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

}  // namespace

bool pike_search(const Program& prog, Program::Cache& cache, std::string_view text, std::size_t start, bool earliest,
                 std::size_t* out) {
  RowSlots slots{cache, out};
  return *pike_run(prog, slots, text, start, earliest);
}

namespace {

std::optional<bool> pike_search_history(const Program& prog, Program::Cache& cache, std::string_view text,
                                        std::size_t start, bool earliest, std::size_t* out, std::size_t max_records) {
  cache.history.reset(max_records);
  HistorySlots slots{cache, out};
  return pike_run(prog, slots, text, start, earliest);
}

constexpr std::size_t kPikeSlotBudget = std::size_t{64} << 20;
// Patterns with more slots than this follow capture histories rather than
// copy slot rows.
constexpr std::size_t kRowSlotsAtMost = 32;

}  // namespace

// The Pike VM with all the slots the cache asks for. With many slots its
// threads follow capture histories; otherwise, or when the histories
// outgrow their budget, its two lists hold a row of slots per instruction.
// When the rows would take more than the budget, the groups are read in
// batches, one run per batch: the match itself does not depend on which
// slots are kept.
bool pike_any(const Program& prog, Program::Cache& cache, std::string_view text, std::size_t start, bool earliest,
              std::size_t* out, PikeSlots how) {
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

}  // namespace qv::regex
