#include "unicode/nfkc.hpp"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/panic.hpp"
#include "core/utf8.hpp"

namespace qv::unicode {
namespace {

struct Normalizers {
  const icu::Normalizer2* nfkd;
  const icu::Normalizer2* nfc;
};

const Normalizers& normalizers() {
  static const Normalizers n = [] {
    UErrorCode err = U_ZERO_ERROR;
    const icu::Normalizer2* nfkd = icu::Normalizer2::getNFKDInstance(err);
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(err);
    if (U_FAILURE(err) || nfkd == nullptr || nfc == nullptr) core::panic("normalization data unavailable");
    return Normalizers{nfkd, nfc};
  }();
  return n;
}

struct Mark {
  char32_t cp;
  std::uint8_t ccc;
};

// Below U+00A0 no character has a decomposition and all have class 0.
constexpr char32_t kFirstDecomposable = 0xA0;
// Below U+0300 every character has combining class 0.
constexpr char32_t kFirstCombining = 0x300;

std::uint8_t combining_class(char32_t c) {
  if (c < kFirstCombining) return 0;
  return u_getCombiningClass(static_cast<UChar32>(c));
}

// Full compatibility decomposition, code point by code point.
void decompose(std::string_view text, const icu::Normalizer2& nfkd, std::vector<Mark>& out) {
  icu::UnicodeString mapping;
  for (std::size_t i = 0; i < text.size();) {
    const core::Utf8Step d = core::utf8_step(text, i);
    i += d.length;
    if (d.code_point < kFirstDecomposable || !nfkd.getDecomposition(static_cast<UChar32>(d.code_point), mapping)) {
      out.push_back({d.code_point, combining_class(d.code_point)});
      continue;
    }
    for (int32_t k = 0; k < mapping.length();) {
      const UChar32 c = mapping.char32At(k);
      out.push_back({static_cast<char32_t>(c), combining_class(static_cast<char32_t>(c))});
      k += U16_LENGTH(c);
    }
  }
}

// Canonical ordering: each maximal run of non-zero classes is sorted stably by
// class.
void reorder(std::vector<Mark>& marks) {
  const auto by_class = [](const Mark& a, const Mark& b) { return a.ccc < b.ccc; };
  for (std::size_t i = 0; i < marks.size();) {
    if (marks[i].ccc == 0) {
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    while (j < marks.size() && marks[j].ccc != 0) ++j;
    if (j - i > 1) {
      const auto first = marks.begin() + static_cast<std::ptrdiff_t>(i);
      const auto last = marks.begin() + static_cast<std::ptrdiff_t>(j);
      if (!std::is_sorted(first, last, by_class)) std::stable_sort(first, last, by_class);
    }
    i = j;
  }
}

// Canonical composition: each character joins the last starter when nothing
// between them blocks it (a character of class 0 or of a class at least its
// own) and the pair has a primary composite.
void compose(std::vector<Mark>& marks, const icu::Normalizer2& nfc) {
  std::size_t out = 0;
  std::ptrdiff_t starter = -1;  // index in the output of the last starter
  std::uint8_t last_ccc = 0;    // class of the last character written
  for (std::size_t i = 0; i < marks.size(); ++i) {
    const Mark m = marks[i];
    if (starter >= 0) {
      const bool adjacent = static_cast<std::size_t>(starter) + 1 == out;
      const bool blocked = !adjacent && (last_ccc == 0 || last_ccc >= m.ccc);
      if (!blocked) {
        const UChar32 composite =
            nfc.composePair(static_cast<UChar32>(marks[static_cast<std::size_t>(starter)].cp), static_cast<UChar32>(m.cp));
        if (composite >= 0) {
          marks[static_cast<std::size_t>(starter)].cp = static_cast<char32_t>(composite);
          continue;
        }
      }
    }
    marks[out] = m;
    if (m.ccc == 0) starter = static_cast<std::ptrdiff_t>(out);
    last_ccc = m.ccc;
    ++out;
  }
  marks.resize(out);
}

}  // namespace

std::string nfkc(std::string_view text) {
  // Pure ASCII is already in NFKC.
  if (std::all_of(text.begin(), text.end(), [](char b) { return static_cast<unsigned char>(b) < 0x80; })) {
    return std::string(text);
  }
  const Normalizers& n = normalizers();
  std::vector<Mark> marks;
  marks.reserve(text.size());
  decompose(text, *n.nfkd, marks);
  reorder(marks);
  compose(marks, *n.nfc);
  std::string out;
  out.reserve(text.size());
  for (const Mark& m : marks) core::append_utf8(out, m.cp);
  return out;
}

}  // namespace qv::unicode
