#include "numeric/scale_word.hpp"

#include <string>

#include "numeric/scan.hpp"
#include "unicode/case.hpp"

namespace qv::numeric {

using F = ScaleFamily;
const std::array<ScaleWordRow, 27> kScaleWords = {{
    {"mil millones", 9, F::Any},  {"mil millons", 9, F::Any},  {"milliards", 9, F::Any},
    {"milliard", 9, F::Any},      {"milliarden", 9, F::Any},   {"milliarde", 9, F::Any},
    {"thousand", 3, F::Any},      {"trillion", 12, F::English}, {"trillón", 18, F::Continental},
    {"trillones", 18, F::Continental}, {"billion", 9, F::English}, {"billón", 12, F::Continental},
    {"billones", 12, F::Continental},  {"millones", 6, F::Any},    {"millón", 6, F::Any},
    {"millions", 6, F::Any},      {"million", 6, F::Any},      {"millionen", 6, F::Any},
    {"milions", 6, F::Any},       {"milió", 6, F::Any},        {"mil", 3, F::Any},
    {"bn", 9, F::Any},            {"mn", 6, F::Any},           {"MM", 6, F::Any},
    {"M", 6, F::Any},             {"k", 3, F::Any},            {"B", 9, F::Any},
}};

namespace {

// A row prepared for matching: its characters and how it compares.
struct PreparedRow {
  std::u32string chars;
  bool caseless = false;
};

const std::array<PreparedRow, 27>& prepared_rows() {
  static const std::array<PreparedRow, 27> rows = [] {
    std::array<PreparedRow, 27> out;
    for (std::size_t i = 0; i < kScaleWords.size(); ++i) {
      const std::string_view w = kScaleWords[i].word;
      bool letters = true;
      for (std::size_t p = 0; p < w.size();) {
        const scan::Char ch = scan::at(w, p);
        out[i].chars.push_back(ch.c);
        const bool letter = ch.c < 0x80 ? ((ch.c | 0x20) >= 'a' && (ch.c | 0x20) <= 'z')
                                        : ch.c >= 0xAA && unicode::is_alphabetic(ch.c);
        letters = letters && (letter || ch.c == U' ');
        p += ch.length;
      }
      out[i].caseless = letters && out[i].chars.size() >= 3;
    }
    return out;
  }();
  return rows;
}

// Whether the lower-cased text from `pos` begins with `word`; the match then
// covers as many characters of the text as the word has. Gives its end, or
// none.
std::optional<std::size_t> match_caseless(std::string_view text, std::size_t pos, const std::u32string& word) {
  std::size_t i = 0;  // characters of the word compared
  std::size_t cursor = pos;
  while (i < word.size()) {
    if (cursor >= text.size()) return std::nullopt;
    const scan::Char ch = scan::at(text, cursor);
    cursor += ch.length;
    const auto same = [&](char32_t m) { return m == word[i] || (word[i] == U' ' && m == U'\u202F'); };
    if (ch.c < 0x80) {
      const char32_t m = ch.c >= U'A' && ch.c <= U'Z' ? ch.c + 0x20 : ch.c;
      if (!same(m)) return std::nullopt;
      ++i;
      continue;
    }
    for (const char32_t m : unicode::lowercase_mapping(ch.c)) {
      if (i == word.size()) break;
      if (!same(m)) return std::nullopt;
      ++i;
    }
  }
  // As many characters of the text as the word has.
  std::size_t end = pos;
  for (std::size_t n = 0; n < word.size() && end < text.size(); ++n) end += scan::at(text, end).length;
  return end;
}

bool starts_scale_word(unsigned char b) {
  switch (b) {
    case 'm': case 'M': case 't': case 'T': case 'b': case 'B': case 'k':
      return true;
    default:
      return b >= 0x80;
  }
}

}  // namespace

std::optional<ScaleMatch> match_scale_word(std::string_view text, std::size_t position, ScaleFamily locale_family) {
  // Every word begins with one of these letters, and no other ASCII
  // character lower-cases to one of them.
  if (position >= text.size() || !starts_scale_word(static_cast<unsigned char>(text[position]))) return std::nullopt;
  const auto& rows = prepared_rows();
  for (std::size_t r = 0; r < kScaleWords.size(); ++r) {
    std::optional<std::size_t> end;
    if (rows[r].caseless) {
      end = match_caseless(text, position, rows[r].chars);
    } else if (text.substr(position).starts_with(kScaleWords[r].word)) {
      end = position + kScaleWords[r].word.size();
    }
    if (!end) continue;
    if (*end < text.size() && scan::is_alphanumeric(scan::at(text, *end).c)) continue;
    ScaleMatch match{*end, kScaleWords[r].power, {}};
    const ScaleFamily row_family = kScaleWords[r].family;
    if (row_family != locale_family && row_family != ScaleFamily::Any && locale_family != ScaleFamily::Any) {
      match.notes.push_back(kScaleWordForeignToLocale);
    }
    return match;
  }
  return std::nullopt;
}

}  // namespace qv::numeric
