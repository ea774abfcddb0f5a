// The compiled program every matcher runs: instructions over code points,
// the same pattern read backwards, the classes and the alphabet the lazy
// DFA moves on, and the step over instructions that consume no text, which
// the lazy DFA, the Pike VM and the backtracker share. Internal to the regex
// component.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/utf8.hpp"
#include "regex/hir.hpp"

namespace qv::regex {

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

// What the DFA knows of a character: its kCtx* bits.
std::uint8_t char_flags(char32_t c);
// char_flags of each character of an ascending list, into `out`, found in
// one walk over the word set rather than a search per character.
void char_flags_ascending(std::span<const char32_t> ascending, std::uint8_t* out);
// Whether an assertion holds between a position whose character before has
// the context `before` and whose character after has `after`.
bool look_ctx(Look look, std::uint8_t before, std::uint8_t after);
// Whether an assertion holds at byte `at` of a text.
bool look_holds(Look look, std::string_view h, std::size_t at);

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

// Appends where the classes of a set begin: each range's first code point
// and the one after its last.
void add_set_cuts(std::vector<char32_t>& cuts, const unicode::RangeSet& set);
// Whether some assertion of the program tests Unicode word boundaries.
bool has_unicode_word_look(const Program& prog);

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

// An offset or slot value that was never set.
inline constexpr std::size_t kNone = ThreadList::kNone;

// The outcome of one step over an instruction that consumes no text.
enum class Follow {
  kNext,     // continue at the updated pc
  kBlocked,  // an assertion does not hold here: the thread ends
  kBounded,  // a save was refused (the caller's bound is reached)
  kLeaf,     // a class, a match or a failure: the thread waits on text or ends
};

// The one step every matcher takes over split, save and look instructions,
// in order of preference: a split continues at its preferred branch and
// hands the other to `push`; a save hands its slot to `save` (which may
// refuse) and continues; an assertion continues only where `holds` says it
// holds. Other instructions are leaves, left to the caller.
template <class Push, class Save, class Holds>
inline Follow follow(const Inst& inst, std::uint32_t& pc, Push&& push, Save&& save, Holds&& holds) {
  switch (inst.op) {
    case Op::kSplit:
      push(inst.alt);
      pc = inst.next;
      return Follow::kNext;
    case Op::kSave:
      if (!save(inst.slot)) return Follow::kBounded;
      pc = inst.next;
      return Follow::kNext;
    case Op::kLook:
      if (!holds(inst.look)) return Follow::kBlocked;
      pc = inst.next;
      return Follow::kNext;
    default:
      return Follow::kLeaf;
  }
}

}  // namespace qv::regex
