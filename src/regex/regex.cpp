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
#include <memory>
#include <mutex>

#include "regex/hir.hpp"
#include "regex/matchers.hpp"

namespace qv::regex {

namespace {

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


}  // namespace

CacheGuard::CacheGuard(const Program& prog, std::size_t nslots) : prog_(prog) {
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

CacheGuard::~CacheGuard() {
  std::lock_guard<std::mutex> lock(prog_.pool_mutex);
  if (prog_.pool.size() < 8) prog_.pool.push_back(std::move(cache_));
}

Captures to_captures(const std::vector<std::size_t>& slots) {
  Captures c(slots.size() / 2);
  for (std::size_t i = 0; i < c.size(); ++i) {
    if (slots[2 * i] != kNone && slots[2 * i + 1] != kNone) c[i] = Match{slots[2 * i], slots[2 * i + 1]};
  }
  return c;
}

std::expected<Regex, Error> Regex::compile(std::string_view pattern) {
  auto hir = parse(pattern);
  if (!hir) return std::unexpected(hir.error());
  Regex r;
  r.prog_ = compile_program(*hir, pattern);
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

}  // namespace qv::regex
