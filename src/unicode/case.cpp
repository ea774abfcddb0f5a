#include "unicode/case.hpp"

#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <array>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "core/utf8.hpp"

namespace qv::unicode {
namespace {

constexpr char32_t kCapitalSigma = 0x03A3;
constexpr char32_t kSmallSigma = 0x03C3;
constexpr char32_t kFinalSigma = 0x03C2;

bool valid_scalar(char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

bool prop(char32_t c, UProperty p) { return valid_scalar(c) && u_hasBinaryProperty(static_cast<UChar32>(c), p) != 0; }

// Whether, skipping case-ignorable characters, the first character met is
// cased. `step` walks the text forwards or backwards.
template <typename Step>
bool case_ignorable_then_cased(Step step) {
  while (auto c = step()) {
    if (!prop(*c, UCHAR_CASE_IGNORABLE)) return prop(*c, UCHAR_CASED);
  }
  return false;
}

bool is_final_sigma(std::string_view text, std::size_t pos, std::size_t len) {
  std::size_t back = pos;
  const bool before = case_ignorable_then_cased([&]() -> std::optional<char32_t> {
    if (back == 0) return std::nullopt;
    // An ill-formed part before `back` reads as U+FFFD, neither cased nor
    // case-ignorable.
    const core::Utf8Step d = core::utf8_step_back(text, back);
    back -= d.length;
    return d.code_point;
  });
  if (!before) return false;
  std::size_t fwd = pos + len;
  const bool after = case_ignorable_then_cased([&]() -> std::optional<char32_t> {
    if (fwd >= text.size()) return std::nullopt;
    const core::Utf8Step d = core::utf8_step(text, fwd);
    fwd += d.length;
    return d.code_point;
  });
  return !after;
}

void append_lowercase(std::u32string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(c >= 'A' && c <= 'Z' ? c + 0x20 : c);
    return;
  }
  if (!prop(c, UCHAR_CHANGES_WHEN_LOWERCASED)) {
    out.push_back(c);
    return;
  }
  // The root locale's full mapping of the lone character (no context, so a
  // capital sigma gives the small one).
  std::array<UChar, 2> src{};
  int32_t n = 0;
  U16_APPEND_UNSAFE(src.data(), n, static_cast<UChar32>(c));
  std::array<UChar, 16> dst{};
  UErrorCode err = U_ZERO_ERROR;
  const int32_t m = u_strToLower(dst.data(), static_cast<int32_t>(dst.size()), src.data(), n, "", &err);
  if (U_FAILURE(err) || m <= 0 || m > static_cast<int32_t>(dst.size())) {
    out.push_back(static_cast<char32_t>(u_tolower(static_cast<UChar32>(c))));
    return;
  }
  for (int32_t i = 0; i < m;) {
    UChar32 cp;
    U16_NEXT(dst.data(), i, m, cp);
    out.push_back(static_cast<char32_t>(cp));
  }
}

using FoldClasses = std::unordered_map<char32_t, std::vector<char32_t>>;

// Classes of two or more code points, keyed by their common folding.
const FoldClasses& fold_classes() {
  static std::once_flag once;
  static FoldClasses classes;
  std::call_once(once, [] {
    for (UChar32 c = 0; c <= 0x10FFFF; ++c) {
      const UChar32 f = u_foldCase(c, U_FOLD_CASE_DEFAULT);
      if (f != c) classes[static_cast<char32_t>(f)].push_back(static_cast<char32_t>(c));
    }
    for (auto& [f, members] : classes) {
      members.push_back(f);
      std::sort(members.begin(), members.end());
    }
  });
  return classes;
}

}  // namespace

std::u32string lowercase_mapping(char32_t c) {
  std::u32string out;
  append_lowercase(out, c);
  return out;
}

std::string to_lowercase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::u32string mapped;
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      out.push_back(static_cast<char>(b >= 'A' && b <= 'Z' ? b + 0x20 : b));
      ++i;
      continue;
    }
    const core::Utf8Step d = core::utf8_step(text, i);
    if (d.code_point == kCapitalSigma) {
      core::append_utf8(out, is_final_sigma(text, i, d.length) ? kFinalSigma : kSmallSigma);
    } else {
      mapped.clear();
      append_lowercase(mapped, d.code_point);
      for (char32_t m : mapped) core::append_utf8(out, m);
    }
    i += d.length;
  }
  return out;
}

char32_t simple_case_fold(char32_t c) {
  if (!valid_scalar(c)) return c;
  return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
}

std::vector<char32_t> simple_case_fold_class(char32_t c) {
  const FoldClasses& classes = fold_classes();
  const auto it = classes.find(simple_case_fold(c));
  if (it == classes.end()) return {c};
  return it->second;
}

}  // namespace qv::unicode
