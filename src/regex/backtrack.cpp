// The bounded backtracker: reads capture groups over narrow windows, each
// (instruction, offset) pair visited at most once, so it stays linear.
#include "regex/matchers.hpp"

namespace qv::regex {

namespace {

constexpr std::size_t kBacktrackBits = std::size_t{1} << 21;

}  // namespace

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
      const Follow step = follow(
          inst, pc, [&](std::uint32_t alt) { stack.push_back({false, alt, at}); },
          [&](std::uint32_t slot) {
            if (slot < c.nslots) {
              stack.push_back({true, slot, c.bt_slots[slot]});
              c.bt_slots[slot] = at;
            }
            return true;
          },
          [&](Look look) { return look_holds(look, text, at); });
      if (step != Follow::kNext) break;
    }
  }
  return true;
}

}  // namespace qv::regex
