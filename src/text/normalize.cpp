#include "text/normalize.hpp"

#include "unicode/nfkc.hpp"
#include "unicode/well_formed.hpp"
#include "unicode/white_space.hpp"

namespace qv::text {
namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';

// Steps 1 and 2: CR LF and lone CR both become LF. Byte-wise, since CR and LF
// never occur inside a multi-byte sequence.
std::string unify_line_ends(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != kCr) {
      out.push_back(text[i]);
    } else if (i + 1 < text.size() && text[i + 1] == kLf) {
      // The LF that follows is copied on the next turn.
    } else {
      out.push_back(kLf);
    }
  }
  return out;
}

bool starts_with(std::string_view text, std::size_t i, std::string_view what) {
  return text.size() - i >= what.size() && text.compare(i, what.size(), what) == 0;
}

// UTF-8 forms of the characters steps 3, 4 and 6 deal with.
constexpr std::string_view kDeleted[] = {
    "\u00AD", "\u200B", "\u200C", "\u200D", "\u2060", "\uFEFF",
};
constexpr std::string_view kShielded[] = {"\u00A0", "\u2007", "\u2009", "\u202F"};
constexpr std::string_view kShield = "\uE000";
constexpr std::string_view kNarrowNoBreakSpace = "\u202F";

// Steps 3 and 4, on well-formed UTF-8: a match of a whole sequence starts on
// a character boundary, since its lead byte is never a continuation byte.
std::string delete_and_shield(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0xC2) {
      out.push_back(text[i]);
      ++i;
      continue;
    }
    bool done = false;
    for (std::string_view d : kDeleted) {
      if (starts_with(text, i, d)) {
        i += d.size();
        done = true;
        break;
      }
    }
    if (done) continue;
    for (std::string_view s : kShielded) {
      if (starts_with(text, i, s)) {
        out += kShield;
        i += s.size();
        done = true;
        break;
      }
    }
    if (done) continue;
    out.push_back(text[i]);
    ++i;
  }
  return out;
}

// Step 6 (the text is well-formed after NFKC).
std::string unshield(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (starts_with(text, i, kShield)) {
      out += kNarrowNoBreakSpace;
      i += kShield.size();
    } else {
      out.push_back(text[i]);
      ++i;
    }
  }
  return out;
}

bool is_blank_byte(char c) { return c == ' ' || c == '\t' || c == '\x0B' || c == '\x0C'; }

// Step 7: each run of [ \t\x0B\x0C]+ becomes one space.
std::string collapse_blanks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (!is_blank_byte(text[i])) {
      out.push_back(text[i]);
      ++i;
      continue;
    }
    while (i < text.size() && is_blank_byte(text[i])) ++i;
    out.push_back(' ');
  }
  return out;
}

// Step 8: each run of three or more LF becomes two.
std::string limit_blank_lines(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] != kLf) {
      out.push_back(text[i]);
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < text.size() && text[j] == kLf) ++j;
    out.append(j - i >= 3 ? 2 : j - i, kLf);
    i = j;
  }
  return out;
}

}  // namespace

std::string normalize_text(std::string_view text) {
  std::string s = unify_line_ends(unicode::replace_ill_formed_utf8(text));
  s = delete_and_shield(s);
  s = unicode::nfkc(s);
  s = unshield(s);
  s = collapse_blanks(s);
  s = limit_blank_lines(s);
  return std::string(unicode::trim_white_space(s));
}

}  // namespace qv::text
