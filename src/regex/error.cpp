#include "regex/error.hpp"

#include <algorithm>
#include <string_view>
#include <vector>

namespace qv::regex {

std::string Error::description() const {
  switch (kind) {
    case ErrorKind::kCaptureLimitExceeded:
      return "exceeded the maximum number of capturing groups (4294967295)";
    case ErrorKind::kClassEscapeInvalid:
      return "invalid escape sequence found in character class";
    case ErrorKind::kClassRangeInvalid:
      return "invalid character class range, the start must be <= the end";
    case ErrorKind::kClassRangeLiteral:
      return "invalid range boundary, must be a literal";
    case ErrorKind::kClassUnclosed:
      return "unclosed character class";
    case ErrorKind::kDecimalEmpty:
      return "decimal literal empty";
    case ErrorKind::kDecimalInvalid:
      return "decimal literal invalid";
    case ErrorKind::kEscapeHexEmpty:
      return "hexadecimal literal empty";
    case ErrorKind::kEscapeHexInvalid:
      return "hexadecimal literal is not a Unicode scalar value";
    case ErrorKind::kEscapeHexInvalidDigit:
      return "invalid hexadecimal digit";
    case ErrorKind::kEscapeUnexpectedEof:
      return "incomplete escape sequence, reached end of pattern prematurely";
    case ErrorKind::kEscapeUnrecognized:
      return "unrecognized escape sequence";
    case ErrorKind::kFlagDanglingNegation:
      return "dangling flag negation operator";
    case ErrorKind::kFlagDuplicate:
      return "duplicate flag";
    case ErrorKind::kFlagRepeatedNegation:
      return "flag negation operator repeated";
    case ErrorKind::kFlagUnexpectedEof:
      return "expected flag but got end of regex";
    case ErrorKind::kFlagUnrecognized:
      return "unrecognized flag";
    case ErrorKind::kGroupNameDuplicate:
      return "duplicate capture group name";
    case ErrorKind::kGroupNameEmpty:
      return "empty capture group name";
    case ErrorKind::kGroupNameInvalid:
      return "invalid capture group character";
    case ErrorKind::kGroupNameUnexpectedEof:
      return "unclosed capture group name";
    case ErrorKind::kGroupUnclosed:
      return "unclosed group";
    case ErrorKind::kGroupUnopened:
      return "unopened group";
    case ErrorKind::kNestLimitExceeded:
      return "exceed the maximum number of nested parentheses/brackets (" + std::to_string(kNestLimit) + ")";
    case ErrorKind::kRepetitionCountInvalid:
      return "invalid repetition count range, the start must be <= the end";
    case ErrorKind::kRepetitionCountDecimalEmpty:
      return "repetition quantifier expects a valid decimal";
    case ErrorKind::kRepetitionCountUnclosed:
      return "unclosed counted repetition";
    case ErrorKind::kRepetitionMissing:
      return "repetition operator missing expression";
    case ErrorKind::kSpecialWordBoundaryUnclosed:
      return "special word boundary assertion is either unclosed or contains an invalid character";
    case ErrorKind::kSpecialWordBoundaryUnrecognized:
      return "unrecognized special word boundary assertion, valid choices are: start, end, start-half or end-half";
    case ErrorKind::kSpecialWordOrRepetitionUnexpectedEof:
      return "found either the beginning of a special word boundary or a bounded repetition on a \\b with an "
             "opening brace, but no closing brace";
    case ErrorKind::kUnicodeClassInvalid:
      return "invalid Unicode character class";
    case ErrorKind::kUnsupportedBackreference:
      return "backreferences are not supported";
    case ErrorKind::kUnsupportedLookAround:
      return "look-around, including look-ahead and look-behind, is not supported";
    case ErrorKind::kUnicodeNotAllowed:
      return "Unicode not allowed here";
    case ErrorKind::kInvalidUtf8:
      return "pattern can match invalid UTF-8";
    case ErrorKind::kUnicodePropertyNotFound:
      return "Unicode property not found";
    case ErrorKind::kUnicodePropertyValueNotFound:
      return "Unicode property value not found";
    case ErrorKind::kCompiledTooBig:
      return "Compiled regex exceeds size limit of " + std::to_string(kSizeLimit) + " bytes.";
  }
  return "unknown error";
}

namespace {

// The lines of a text as a line iterator sees them: split at '\n', a final
// '\r' of each line dropped, and no empty last line after a final '\n'.
std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t nl = text.find('\n', start);
    std::string_view line = nl == std::string_view::npos ? text.substr(start) : text.substr(start, nl - start);
    if (nl != std::string_view::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (nl == std::string_view::npos) break;
    start = nl + 1;
  }
  return lines;
}

}  // namespace

std::string Error::to_string() const {
  if (kind == ErrorKind::kCompiledTooBig) return description();

  const std::vector<std::string_view> lines = split_lines(pattern);
  std::size_t line_count = lines.size();
  if (!pattern.empty() && pattern.back() == '\n') ++line_count;
  const std::size_t width = line_count <= 1 ? 0 : std::to_string(line_count).size();

  std::vector<std::vector<Span>> by_line(std::max<std::size_t>(line_count, 1));
  std::vector<Span> multi_line;
  auto add = [&](const Span& s) {
    if (s.start.line == s.end.line) {
      const std::size_t i = s.start.line - 1;
      if (i < by_line.size()) {
        by_line[i].push_back(s);
        std::sort(by_line[i].begin(), by_line[i].end());
      }
    } else {
      multi_line.push_back(s);
      std::sort(multi_line.begin(), multi_line.end());
    }
  };
  add(span);
  if (aux_span) add(*aux_span);

  std::string notated;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (width > 0) {
      const std::string n = std::to_string(i + 1);
      notated.append(width - n.size(), ' ');
      notated += n;
      notated += ": ";
    } else {
      notated += "    ";
    }
    notated += lines[i];
    notated += '\n';
    if (i < by_line.size() && !by_line[i].empty()) {
      std::string notes(width == 0 ? 4 : 2 + width, ' ');
      std::size_t pos = 0;
      for (const Span& s : by_line[i]) {
        while (pos + 1 < s.start.column) {
          notes += ' ';
          ++pos;
        }
        const std::size_t len = s.end.column > s.start.column ? s.end.column - s.start.column : 0;
        for (std::size_t k = 0; k < std::max<std::size_t>(1, len); ++k) {
          notes += '^';
          ++pos;
        }
      }
      notated += notes;
      notated += '\n';
    }
  }

  std::string out = "regex parse error:\n";
  if (pattern.find('\n') != std::string::npos) {
    const std::string divider(79, '~');
    out += divider + "\n";
    out += notated;
    out += divider + "\n";
    if (!multi_line.empty()) {
      std::string notes;
      for (const Span& s : multi_line) {
        if (!notes.empty()) notes += '\n';
        notes += "on line " + std::to_string(s.start.line) + " (column " + std::to_string(s.start.column) +
                 ") through line " + std::to_string(s.end.line) + " (column " +
                 std::to_string(s.end.column - 1) + ")";
      }
      out += notes + "\n";
    }
  } else {
    out += notated;
  }
  out += "error: " + description();
  return out;
}

}  // namespace qv::regex
