#pragma once
// The byte cursor under every JSON reader: white space, literals, numbers,
// strings, whole values and skipped values, with the error texts and
// positions the readers report. Nothing here recurses on input depth.
//
// Positions: error() stamps the position just after the last consumed byte,
// peek_error() the position of the next byte (capped at the end of text).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/utf8.hpp"
#include "json/error.hpp"
#include "json/scan.hpp"
#include "json/value.hpp"

namespace qv::json {

class Parser {
 public:
  // 127 nested arrays or objects are allowed; the 128th fails.
  static constexpr int kDepthLimit = 128;

  explicit Parser(std::string_view text) : text_(text) {}
  // The parser keeps a view: a temporary text would dangle.
  explicit Parser(std::string&&) = delete;

  std::string_view text() const { return text_; }
  std::size_t index() const { return index_; }
  // Moves the cursor (to read again from a place already checked).
  void seek(std::size_t index) { index_ = index < text_.size() ? index : text_.size(); }
  bool at_end() const { return index_ >= text_.size(); }
  // The next byte, or -1 at the end.
  int peek() const { return at_end() ? -1 : static_cast<unsigned char>(text_[index_]); }
  void eat() { ++index_; }
  int next() {
    const int c = peek();
    if (c >= 0) ++index_;
    return c;
  }
  // Skips space, tab, LF and CR, then peeks.
  int peek_ws() {
    if (index_ < text_.size()) {
      const auto c = static_cast<unsigned char>(text_[index_]);
      if (c > ' ') return c;  // no white space to skip
    }
    return skip_ws();
  }

  JsonError error(std::string message) const { return error_at(index_, std::move(message)); }
  JsonError peek_error(std::string message) const {
    return error_at(index_ < text_.size() ? index_ + 1 : text_.size(), std::move(message));
  }
  JsonError error_at(std::size_t index, std::string message) const;
  // Gives a positionless error the position just after the consumed bytes.
  void fix_position(JsonError& e) const;

  // Depth accounting around an array or object. enter() is called with the
  // bracket peeked, before it is eaten; it fails with "recursion limit
  // exceeded" at the bracket.
  JsonResult<void> enter() {
    if (--remaining_depth_ == 0) return enter_refused();
    return {};
  }
  void leave() { ++remaining_depth_; }

  // The rest of null/true/false after its first byte was eaten.
  JsonResult<void> parse_ident(std::string_view rest);
  // null, true or false, whose first byte ('n', 't' or 'f') is peeked.
  JsonResult<Value> parse_word(int first);
  // A number literal starting at the next byte ('-' or a digit, not eaten):
  // u64, i64 or f64 (correctly rounded), as a Value.
  JsonResult<Value> parse_number();
  // The common case of a number, taken in one pass: an integer literal of
  // at most 18 digits (so it fits either integer form), without fraction or
  // exponent, and not "-0". True with the cursor after it; false with the
  // cursor unmoved for anything else, which parse_number then reads.
  bool take_short_integer(std::uint64_t& magnitude, bool& negative) {
    std::size_t i = index_;
    const std::size_t n = text_.size();
    negative = i < n && text_[i] == '-';
    if (negative) ++i;
    const std::size_t first = i;
    std::uint64_t v = 0;
    while (i < n && i - first <= 18) {
      const auto d = static_cast<unsigned>(static_cast<unsigned char>(text_[i]) - '0');
      if (d > 9) break;
      v = v * 10 + d;
      ++i;
    }
    const std::size_t digits = i - first;
    if (digits == 0 || digits > 18 || (text_[first] == '0' && (digits > 1 || negative))) return false;
    if (i < n) {
      const char c = text_[i];
      if (c == '.' || c == 'e' || c == 'E') return false;
    }
    magnitude = v;
    index_ = i;
    return true;
  }
  // A decimal literal whose shortest float form is the literal itself, taken
  // as it is: a fraction without exponent, its last digit not 0, at most 15
  // significant digits (so no other literal of as many digits or fewer reads
  // as the same float), the leading digit at most five places after the
  // point. True with the cursor after it; false with the cursor unmoved.
  bool take_short_decimal(std::string_view& literal) {
    const auto digit_at = [this](std::size_t i) {
      return i < text_.size() && static_cast<unsigned>(static_cast<unsigned char>(text_[i]) - '0') <= 9;
    };
    std::size_t i = index_;
    if (i < text_.size() && text_[i] == '-') ++i;
    const std::size_t int_start = i;
    while (digit_at(i) && i - int_start <= 15) ++i;
    const std::size_t int_len = i - int_start;
    if (int_len == 0 || int_len > 15 || i >= text_.size() || text_[i] != '.') return false;
    if (int_len > 1 && text_[int_start] == '0') return false;
    const std::size_t frac_start = ++i;
    while (digit_at(i) && i - frac_start <= 20) ++i;
    const std::size_t frac_len = i - frac_start;
    if (frac_len == 0 || frac_len > 20 || text_[i - 1] == '0') return false;
    if (i < text_.size() && (text_[i] == 'e' || text_[i] == 'E')) return false;
    std::size_t significant = int_len + frac_len;
    if (text_[int_start] == '0') {
      std::size_t zeros = 0;  // ends: the last digit is not 0
      while (text_[frac_start + zeros] == '0') ++zeros;
      if (zeros > 4) return false;
      significant = frac_len - zeros;
    }
    if (significant > 15) return false;
    literal = text_.substr(index_, i - index_);
    index_ = i;
    return true;
  }
  // A number literal ('-' or a digit at the cursor) taken as the text the
  // writers give the number it reads as: an integer of at most 18 digits
  // other than "-0" as it stands, and a literal with a fraction or an
  // exponent whose leading digit's decimal exponent lies within -300..300
  // as a float. A float of at most 15 significant digits (leading and
  // trailing zeros left out) is written from those digits, without reading
  // it: every such decimal in that range reads as a float that no other
  // such decimal reads as, so they are its shortest digits, laid out as the
  // writers lay them out ("1.50" -> "1.5", "1e3" -> "1000.0", "1E-7" ->
  // "1e-7", "-0.00" -> "-0.0"); a longer one is read and written. True with
  // `text` (a view into the text or into `room`) and the cursor after the
  // literal; false with the cursor unmoved for anything else (other
  // integers and exponents, malformed literals), which parse_number reads.
  struct NumberRoom {
    char bytes[48];
  };
  bool take_number_text(NumberRoom& room, std::string_view& text);
  // The common case of a string whose opening quote was eaten, taken in one
  // step on a cursor held apart (the text [data, data + n), `i` just past
  // the opening quote): no escape and no control byte before the closing
  // quote, and well-formed UTF-8. True with the view into the text and `i`
  // after the quote; false with `i` unmoved for anything else, which
  // parse_string_view then reads.
  [[gnu::always_inline]] static bool take_plain_string_at(const char* data, std::size_t n, std::size_t& i,
                                                          std::string_view& s) {
#if defined(__SSE2__)
    const std::size_t begin = i;
    unsigned high = 0;  // bytes of 0x80 and above seen before the quote
    for (std::size_t at = begin; n - at >= 16; at += 16) {
      const detail::ScanBlock b = detail::scan_block(data + at);
      if (b.mask == 0) {
        high |= b.high;
        continue;
      }
      const unsigned k = static_cast<unsigned>(__builtin_ctz(b.mask));
      if (data[at + k] != '"') return false;
      high |= b.high & ((1u << k) - 1u);
      s = std::string_view(data + begin, at + k - begin);
      if (high != 0 && !core::is_valid_utf8(s)) return false;
      i = at + k + 1;
      return true;
    }
#endif
    (void)data;
    (void)n;
    (void)i;
    (void)s;
    return false;
  }
  // A string whose opening quote was eaten, when its text holds only the
  // escapes the writers write (\" \\ \b \f \n \r \t, and \u00xx in lower
  // case for the other bytes below 0x20) and is well-formed UTF-8: its text
  // is then the writers' text of the string it reads as. True with the text
  // between the quotes and the cursor after the closing quote; false with
  // the cursor unmoved for anything else.
  bool take_written_string(std::string_view& text);
  // A string whose opening quote was eaten: escapes decoded, surrogates
  // paired, UTF-8 checked.
  JsonResult<std::string> parse_string();
  // At a key's opening quote: when the text holds `"name"` there, moves
  // past it and says true. Only for a name without bytes that a JSON string
  // escapes, which then reads as that name.
  bool take_key(std::string_view name) {
    const std::size_t close = index_ + 1 + name.size();
    if (close >= text_.size() || text_[close] != '"') return false;
    if (name.compare(text_.substr(index_ + 1, name.size())) != 0) return false;
    index_ = close + 1;
    return true;
  }
  // The same string as a view: into the text when it holds no escape, else
  // into `scratch`, which then holds the decoded string. The view lives as
  // long as the text and `scratch` stay unchanged.
  JsonResult<std::string_view> parse_string_view(std::string& scratch);
  // A whole value (white space before it skipped), built without recursion.
  JsonResult<Value> parse_value();
  // Inside an array (close ']') or object (close '}') being read: skips
  // white space and the `,` before the next element or member (none before
  // the first; `first` is cleared). False at the closing byte (not
  // consumed); true positioned on the next entry's first byte. Fails with
  // "EOF while parsing a list/an object", "expected `,` or `]`/`}`",
  // "trailing comma" or "EOF while parsing a value", at the next byte.
  JsonResult<bool> next_entry(char close, bool& first) {
    // The common steps here; anything else (and every error) in full below.
    const int c = peek_ws();
    if (c == close) return false;
    if (c >= 0 && first) {
      first = false;
      return true;
    }
    if (c == ',' && !first) {
      const std::size_t comma = index_;
      eat();
      const int d = peek_ws();
      if (d >= 0 && d != close) return true;
      index_ = comma;
    }
    return next_entry_in_full(close, first);
  }
  // The `:` after a key (white space before it skipped).
  JsonResult<void> parse_colon() {
    if (peek_ws() == ':') {
      eat();
      return {};
    }
    return parse_colon_in_full();
  }
  // Skips a value checking its syntax only (numbers not range-checked,
  // surrogates not paired), under the depth limit.
  JsonResult<void> ignore_value();
  // Only white space may follow the top-level value.
  JsonResult<void> end();

  // Error texts shared by the readers.
  static constexpr std::string_view kEofValue = "EOF while parsing a value";
  static constexpr std::string_view kEofList = "EOF while parsing a list";
  static constexpr std::string_view kEofObject = "EOF while parsing an object";
  static constexpr std::string_view kEofString = "EOF while parsing a string";
  static constexpr std::string_view kExpectedValue = "expected value";
  static constexpr std::string_view kExpectedColon = "expected `:`";
  static constexpr std::string_view kExpectedListCommaOrEnd = "expected `,` or `]`";
  static constexpr std::string_view kExpectedObjectCommaOrEnd = "expected `,` or `}`";
  static constexpr std::string_view kKeyMustBeString = "key must be a string";
  static constexpr std::string_view kTrailingComma = "trailing comma";
  static constexpr std::string_view kTrailingCharacters = "trailing characters";
  static constexpr std::string_view kInvalidNumber = "invalid number";
  static constexpr std::string_view kOutOfRange = "number out of range";
  static constexpr std::string_view kRecursionLimit = "recursion limit exceeded";

 private:
  JsonResult<void> parse_escape(std::string& out);
  JsonResult<std::uint16_t> decode_hex_escape();
  // Advances over string bytes that need no care (no quote, backslash or
  // control byte).
  void skip_plain_string_bytes();
  int skip_ws();
  JsonResult<void> enter_refused();
  JsonResult<bool> next_entry_in_full(char close, bool& first);
  JsonResult<void> parse_colon_in_full();
  JsonResult<void> ignore_string();
  JsonResult<void> ignore_number();

  std::string_view text_;
  std::size_t index_ = 0;
  int remaining_depth_ = kDepthLimit;
};

}  // namespace qv::json
