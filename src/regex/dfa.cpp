// The lazy DFA: states are lists of instructions still to be closed, over
// classes of code points, built on first use within a memory budget. The
// forward DFA decides whether and where the leftmost-first match ends,
// skipping with the start-byte prefilter where no match can begin; the
// backward DFA over the reversed program finds where that match begins.
#include <algorithm>

#include "regex/matchers.hpp"

namespace qv::regex {

namespace {

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
          const Follow next = follow(
              insts[pc], pc, [&](std::uint32_t alt) { stack.push_back(alt); }, [](std::uint32_t) { return true; },
              [&](Look look) { return look_ctx(look, before, after); });
          if (next != Follow::kNext) break;
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

std::uint8_t char_ctx(const Program& prog, char32_t c) {
  return prog.alphabet.flags[prog.alphabet.class_of(c)] & (kCtxLF | kCtxCR | kCtxWordAscii | kCtxWordUnicode);
}

std::uint8_t ctx_before(const Program& prog, std::string_view text, std::size_t at) {
  if (at == 0) return kCtxStart;
  return char_ctx(prog, decode_before(text, at).c);
}

}  // namespace

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

}  // namespace qv::regex
