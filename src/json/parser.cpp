#include "json/parser.hpp"

#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <cmath>
#include <limits>
#include <vector>

#include "core/utf8.hpp"
#include "json/scan.hpp"
#include "json/writer.hpp"

namespace qv::json {

namespace {

bool is_digit(int c) { return c >= '0' && c <= '9'; }

int hex_value(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string msg(std::string_view s) { return std::string(s); }

// The byte a one-letter escape stands for, or 0 when the letter is no such
// escape ('u' included: it is read apart).
char simple_escape(int letter) {
  switch (letter) {
    case '"':
    case '\\':
    case '/':
      return static_cast<char>(letter);
    case 'b':
      return '\b';
    case 'f':
      return '\f';
    case 'n':
      return '\n';
    case 'r':
      return '\r';
    case 't':
      return '\t';
    default:
      return 0;
  }
}

}  // namespace

int Parser::skip_ws() {
  while (index_ < text_.size()) {
    const char c = text_[index_];
    if (c != ' ' && c != '\n' && c != '\t' && c != '\r') return static_cast<unsigned char>(c);
    ++index_;
  }
  return -1;
}

JsonError Parser::error_at(std::size_t index, std::string message) const {
  std::size_t line = 1;
  std::size_t line_start = 0;
  for (std::size_t i = 0; i < index; ++i) {
    if (text_[i] == '\n') {
      ++line;
      line_start = i + 1;
    }
  }
  return JsonError{std::move(message), line, index - line_start};
}

void Parser::fix_position(JsonError& e) const {
  if (e.line == 0) {
    JsonError stamped = error(std::move(e.message));
    e = std::move(stamped);
  }
}

JsonResult<void> Parser::enter_refused() {
  ++remaining_depth_;
  return std::unexpected(peek_error(msg(kRecursionLimit)));
}

JsonResult<void> Parser::parse_ident(std::string_view rest) {
  for (char expected : rest) {
    const int c = next();
    if (c < 0) return std::unexpected(error(msg(kEofValue)));
    if (c != static_cast<unsigned char>(expected)) return std::unexpected(error("expected ident"));
  }
  return {};
}

JsonResult<Value> Parser::parse_word(int first) {
  eat();
  switch (first) {
    case 'n':
      if (auto r = parse_ident("ull"); !r) return std::unexpected(std::move(r.error()));
      return Value();
    case 't':
      if (auto r = parse_ident("rue"); !r) return std::unexpected(std::move(r.error()));
      return Value(true);
    default:
      if (auto r = parse_ident("alse"); !r) return std::unexpected(std::move(r.error()));
      return Value(false);
  }
}

JsonResult<Value> Parser::parse_number() {
  const std::size_t start = index_;
  const bool negative = peek() == '-';
  if (negative) eat();

  // Integer part: one '0', or a non-zero digit and more digits.
  const std::size_t int_start = index_;
  const int first = next();
  if (first < 0) return std::unexpected(error(msg(kEofValue)));
  if (first == '0') {
    if (is_digit(peek())) return std::unexpected(peek_error(msg(kInvalidNumber)));
  } else if (first >= '1' && first <= '9') {
    while (is_digit(peek())) eat();
  } else {
    return std::unexpected(error(msg(kInvalidNumber)));
  }
  const std::size_t int_end = index_;
  bool is_float = false;
  bool nonzero = false;  // any non-zero digit in the significand
  for (std::size_t i = int_start; i < int_end; ++i) nonzero = nonzero || text_[i] != '0';
  // Decimal exponent of the leading non-zero digit, before the exponent part.
  std::int64_t lead_exp = nonzero ? static_cast<std::int64_t>(int_end - int_start) - 1 : 0;

  if (peek() == '.') {
    eat();
    is_float = true;
    const std::size_t frac_start = index_;
    while (is_digit(peek())) eat();
    if (index_ == frac_start) {
      return std::unexpected(peek_error(msg(at_end() ? kEofValue : kInvalidNumber)));
    }
    if (!nonzero) {
      for (std::size_t i = frac_start; i < index_; ++i) {
        if (text_[i] != '0') {
          nonzero = true;
          lead_exp = -static_cast<std::int64_t>(i - frac_start) - 1;
          break;
        }
      }
    }
  }

  std::int64_t exp = 0;
  if (peek() == 'e' || peek() == 'E') {
    eat();
    is_float = true;
    bool exp_negative = false;
    if (peek() == '+') {
      eat();
    } else if (peek() == '-') {
      eat();
      exp_negative = true;
    }
    const int d = next();
    if (d < 0) return std::unexpected(error(msg(kEofValue)));
    if (!is_digit(d)) return std::unexpected(error(msg(kInvalidNumber)));
    std::int32_t e = d - '0';
    while (is_digit(peek())) {
      eat();
      const int digit = text_[index_ - 1] - '0';
      if (e > (std::numeric_limits<std::int32_t>::max() - digit) / 10) {
        // The exponent does not fit: infinite unless the value is zero or
        // the exponent negative, in which case the value is a signed zero.
        if (nonzero && !exp_negative) return std::unexpected(error(msg(kOutOfRange)));
        while (is_digit(peek())) eat();
        return Value(negative ? -0.0 : 0.0);
      }
      e = e * 10 + digit;
    }
    exp = exp_negative ? -static_cast<std::int64_t>(e) : e;
  }

  const char* first_char = text_.data() + start;
  const char* last_char = text_.data() + index_;
  if (!is_float) {
    std::uint64_t magnitude = 0;
    auto r = std::from_chars(text_.data() + int_start, text_.data() + int_end, magnitude);
    if (r.ec == std::errc()) {
      if (!negative) return Value(magnitude);
      if (magnitude == 0) return Value(-0.0);
      if (magnitude <= (std::uint64_t{1} << 63)) {
        return Value(static_cast<std::int64_t>(0 - magnitude));
      }
    }
    // Outside both integer ranges: a float.
  }
  if (!nonzero) return Value(negative ? -0.0 : 0.0);

  double d = 0.0;
  auto r = std::from_chars(first_char, last_char, d, std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range || (r.ec == std::errc() && std::isinf(d))) {
    // Too large or too small for binary64: the magnitude decides.
    if (lead_exp + exp >= 0) return std::unexpected(error(msg(kOutOfRange)));
    return Value(negative ? -0.0 : 0.0);
  }
  if (r.ec != std::errc() || r.ptr != last_char) {
    // The literal was checked above; a conversion failure is a broken
    // invariant, reported as a syntax failure rather than a wrong value.
    return std::unexpected(error(msg(kInvalidNumber)));
  }
  return Value(d);
}

static_assert(sizeof(Parser::NumberRoom::bytes) >= kF64TextMax, "room for any float's text");

namespace {

// The end of the run of ASCII digits at p, eight bytes at a time where the
// text has them.
[[gnu::always_inline]] inline const char* skip_digits(const char* p, const char* end) {
  if constexpr (std::endian::native == std::endian::little) {
    while (end - p >= 8) {
      std::uint64_t v;
      std::memcpy(&v, p, 8);
      // A byte is a digit when its high half is 3, and still is with 6
      // added. (A carry out of a byte of 0xFA or above, which is no digit,
      // reaches only the bytes after it.)
      const std::uint64_t halves =
          (v & 0xF0F0F0F0F0F0F0F0u) | (((v + 0x0606060606060606u) & 0xF0F0F0F0F0F0F0F0u) >> 4);
      const std::uint64_t other = halves ^ 0x3333333333333333u;
      if (other != 0) return p + (std::countr_zero(other) >> 3);
      p += 8;
    }
  }
  while (p < end && static_cast<unsigned>(static_cast<unsigned char>(*p) - '0') <= 9) ++p;
  return p;
}

// 5^k for k up to 27, the most that fits 64 bits.
constexpr auto kPowersOf5 = [] {
  std::array<std::uint64_t, 28> p{};
  p[0] = 1;
  for (std::size_t k = 1; k < p.size(); ++k) p[k] = p[k - 1] * 5;
  return p;
}();
__extension__ typedef unsigned __int128 U128;

// The sign of x * 2^shift - y, for shift >= 0.
inline int compare_shifted(U128 x, int shift, U128 y) {
  if (shift >= 128 || x > (~U128{0} >> shift)) return x == 0 ? (y == 0 ? 0 : -1) : 1;
  const U128 z = x << shift;
  return z < y ? -1 : z > y ? 1 : 0;
}

// The sign of d * 10^k - b * 2^f, for d and b below 2^60 and |k| <= 27
// (every product then stays below 2^128).
[[gnu::always_inline]] inline int compare_decimal(std::uint64_t d, int k, std::uint64_t b, int f) {
  U128 x = d;
  U128 y = b;
  int s = 0;  // x * 2^s against y * 2^t
  int t = f;
  if (k >= 0) {
    x *= kPowersOf5[static_cast<std::size_t>(k)];
    s = k;
  } else {
    y *= kPowersOf5[static_cast<std::size_t>(-k)];
    t -= k;
  }
  return s >= t ? compare_shifted(x, s - t, y) : -compare_shifted(y, t - s, x);
}

// The writers' text of a normal float `value` read from a literal whose
// significant digits are `digit_text` (n of them, 16 or 17, `digits` as a
// number; readable for 32 bytes; the first of decimal exponent e), when its
// shortest digits (the fewest that read back as
// `value`; of several such, the nearest to it) are found from the literal's
// own: the literal lies among the decimals that read as `value`, so a
// shorter decimal that does lies beside the literal cut to that length.
// Exact, in 128-bit integers, for e within -11..27; null when not found so
// (another range, a tie, more than two decimals of one length reading as
// the value, a literal that is not the nearest of its length), for the full
// conversion to write.
char* write_shortest_near(char* out, double value, const char* digit_text, std::uint64_t digits, int n, int e) {
  if (e < -11 || e > 27) return nullptr;
  const auto bits = std::bit_cast<std::uint64_t>(value);
  const auto biased = static_cast<int>(bits >> 52 & 0x7FF);
  if (biased == 0 || biased == 0x7FF) return nullptr;  // subnormal or not finite
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  const std::uint64_t mantissa = fraction | std::uint64_t{1} << 52;
  // In units of 2^f the value is 4m; the decimals that read as it lie
  // between the midpoints to its neighbours (the one below is nearer when m
  // is a power of two), on them too when m is even.
  const int f = biased - 1075 - 2;
  const std::uint64_t mid = 4 * mantissa;
  const std::uint64_t lower = fraction == 0 && biased > 1 ? mid - 1 : mid - 2;
  const std::uint64_t upper = mid + 2;
  const bool bounds = mantissa % 2 == 0;
  // For a decimal known to be at most the literal, whether it is above the
  // lower bound; for one at least the literal, below the upper bound (the
  // literal reads as the value, so the other bound holds).
  const auto above_lower = [&](std::uint64_t d, int k) {
    const int c = compare_decimal(d, k, lower, f);
    return c > 0 || (c == 0 && bounds);
  };
  const auto below_upper = [&](std::uint64_t d, int k) {
    const int c = compare_decimal(d, k, upper, f);
    return c < 0 || (c == 0 && bounds);
  };
  // The sign of (d + 1/2) * 10^k - value: which of d and d + 1 is nearer.
  const auto beyond_half = [&](std::uint64_t d, int k) { return compare_decimal(2 * d + 1, k, 2 * mid, f); };

  // The shortest found so far: the literal's first `length` digits, plus
  // one in the last place when `add_one`.
  int length = n;
  bool add_one = false;
  std::uint64_t cut = digits;
  for (int shorter = n - 1; shorter >= 1; --shorter) {
    const int scale = e - shorter + 1;
    cut /= 10;
    const bool down = above_lower(cut, scale);
    const bool up = below_upper(cut + 1, scale);
    if (!down && !up) break;
    // More than two of this length reading as the value: left to the full
    // conversion.
    if ((down && cut > 0 && above_lower(cut - 1, scale)) || (up && below_upper(cut + 2, scale))) return nullptr;
    if (down && up) {
      const int side = beyond_half(cut, scale);
      if (side == 0) return nullptr;
      add_one = side < 0;
    } else {
      add_one = up;
    }
    length = shorter;
  }
  if (length == n) {
    // No shorter decimal: the literal's digits, when no other decimal of
    // their length lies as near the value.
    const int scale = e - n + 1;
    if (beyond_half(digits, scale) <= 0 || beyond_half(digits - 1, scale) >= 0) return nullptr;
  }
  char text[48];
  std::memcpy(text, digit_text, 32);
  auto count = static_cast<std::size_t>(length);
  int lead = e;
  if (add_one) {
    std::size_t i = count;
    while (i > 0 && text[i - 1] == '9') text[--i] = '0';
    if (i == 0) {
      text[0] = '1';  // 99..9 + 1: a 1, one place up
      ++lead;
    } else {
      ++text[i - 1];
    }
  }
  while (count > 1 && text[count - 1] == '0') --count;
  return detail::lay_out_float(out, value < 0, text, count, lead);
}

}  // namespace

bool Parser::take_number_text(NumberRoom& room, std::string_view& text) {
  const char* const begin = text_.data() + index_;
  const char* const end = text_.data() + text_.size();
  const char* p = begin;
  const bool negative = p < end && *p == '-';
  if (negative) ++p;
  const char* const int_start = p;
  p = skip_digits(p, end);
  const auto int_len = static_cast<std::size_t>(p - int_start);
  if (int_len == 0 || (*int_start == '0' && int_len > 1)) return false;
  const char* const point = p;  // the '.', or the end of the digits
  const char* frac_end = p;
  bool is_float = false;
  if (p < end && *p == '.') {
    frac_end = skip_digits(p + 1, end);
    if (frac_end == p + 1) return false;
    p = frac_end;
    is_float = true;
  }
  int exp = 0;
  if (p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    const bool exp_negative = p < end && *p == '-';
    if (p < end && (*p == '+' || *p == '-')) ++p;
    const char* const exp_start = p;
    while (p < end && *p == '0') ++p;
    const char* const exp_digits = p;
    p = skip_digits(p, end);
    if (p == exp_start || p - exp_digits > 4) return false;
    for (const char* q = exp_digits; q < p; ++q) exp = exp * 10 + (*q - '0');
    if (exp_negative) exp = -exp;
    is_float = true;
  }
  const auto taken = static_cast<std::size_t>(p - begin);
  if (!is_float) {
    if (int_len > 18 || (negative && *int_start == '0')) return false;
    text = std::string_view(begin, taken);
    index_ += taken;
    return true;
  }
  if (int_len > 400 || frac_end - point > 401) return false;

  // The significant digits, from the first non-zero one to the last, and
  // the decimal exponent of the first.
  const char* first = int_start;
  if (*first == '0') {
    first = frac_end == point ? point : point + 1;
    while (first < frac_end && *first == '0') ++first;
  }
  if (first == frac_end) {
    // Every digit is 0: a zero of the literal's sign.
    text = negative ? std::string_view("-0.0") : std::string_view("0.0");
    index_ += taken;
    return true;
  }
  const char* last = frac_end - 1;
  while (*last == '0' || *last == '.') --last;  // stops at `first` at the latest
  const int lead = first < point ? static_cast<int>(point - first) - 1 : -static_cast<int>(first - point);
  const int e = lead + exp;
  if (e < -300 || e > 300) return false;
  const bool split = first < point && last > point;  // digits on both sides of the point
  const auto n = static_cast<std::size_t>(last - first + 1) - (split ? 1 : 0);
  char* const out = room.bytes;
  if (n > 15) {
    // More digits than every float keeps apart: read, and written from the
    // shortest digits found beside the literal's own, or in full.
    double value = 0.0;
    const auto r = std::from_chars(begin, p, value, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != p) return false;
    char* written = nullptr;
    if (n <= 17) {
      char digit_text[48];
      std::uint64_t digits = 0;
      std::size_t count = 0;
      for (const char* q = first; q <= last; ++q) {
        if (q == point) continue;
        digit_text[count++] = *q;
        digits = digits * 10 + static_cast<std::uint64_t>(*q - '0');
      }
      written = write_shortest_near(out, value, digit_text, digits, static_cast<int>(n), e);
    }
    if (written == nullptr) written = write_json_f64(value, out);
    text = std::string_view(out, static_cast<std::size_t>(written - out));
    index_ += taken;
    return true;
  }
  char digits[32];
  const auto whole = split ? static_cast<std::size_t>(point - first) : n;
  if (end - first >= 32) {
    // Copies of 16 bytes (the text has them) where fewer are needed.
    std::memcpy(digits, first, 16);
    if (split) std::memcpy(digits + whole, point + 1, 16);
  } else {
    std::memcpy(digits, first, whole);
    if (split) std::memcpy(digits + whole, point + 1, n - whole);
  }
  text = std::string_view(out, static_cast<std::size_t>(detail::lay_out_float(out, negative, digits, n, e) - out));
  index_ += taken;
  return true;
}

JsonResult<std::uint16_t> Parser::decode_hex_escape() {
  if (text_.size() - index_ < 4) {
    index_ = text_.size();
    return std::unexpected(error(msg(kEofString)));
  }
  int v = 0;
  bool ok = true;
  for (int i = 0; i < 4; ++i) {
    const int h = hex_value(static_cast<unsigned char>(text_[index_ + i]));
    if (h < 0) ok = false;
    v = v * 16 + (h < 0 ? 0 : h);
  }
  index_ += 4;
  if (!ok) return std::unexpected(error("invalid escape"));
  return static_cast<std::uint16_t>(v);
}

JsonResult<void> Parser::parse_escape(std::string& out) {
  const int c = next();
  if (c < 0) return std::unexpected(error(msg(kEofString)));
  if (const char simple = simple_escape(c)) {
    out += simple;
    return {};
  }
  if (c != 'u') return std::unexpected(error("invalid escape"));
  auto n = decode_hex_escape();
  if (!n) return std::unexpected(std::move(n.error()));
  const std::uint16_t n1 = *n;
  if (n1 >= 0xDC00 && n1 <= 0xDFFF) {
    // A trailing surrogate with nothing before it.
    return std::unexpected(error("lone leading surrogate in hex escape"));
  }
  if (n1 < 0xD800 || n1 > 0xDBFF) {
    core::append_utf8(out, n1);
    return {};
  }
  // A leading surrogate must be followed at once by an escaped trailing one.
  for (const char expected : {'\\', 'u'}) {
    if (peek() < 0) return std::unexpected(error(msg(kEofString)));
    if (next() != expected) return std::unexpected(error("unexpected end of hex escape"));
  }
  auto m = decode_hex_escape();
  if (!m) return std::unexpected(std::move(m.error()));
  const std::uint16_t n2 = *m;
  if (n2 < 0xDC00 || n2 > 0xDFFF) return std::unexpected(error("lone leading surrogate in hex escape"));
  core::append_utf8(out, 0x10000 + ((char32_t(n1 - 0xD800) << 10) | char32_t(n2 - 0xDC00)));
  return {};
}

void Parser::skip_plain_string_bytes() {
  bool non_ascii = false;
  index_ = detail::find_special_string_byte(text_.data(), index_, text_.size(), non_ascii);
}

JsonResult<std::string_view> Parser::parse_string_view(std::string& scratch) {
  constexpr std::string_view kControl = "control character (\\u0000-\\u001F) found while parsing a string";
  constexpr std::string_view kInvalidUtf8 = "invalid unicode code point";
  // Only bytes of 0x80 and above can make the text ill-formed: escapes
  // always decode to well-formed UTF-8, so a string whose raw bytes are all
  // ASCII needs no check.
  bool non_ascii = false;
  const std::size_t begin = index_;
  index_ = detail::find_special_string_byte(text_.data(), index_, text_.size(), non_ascii);
  if (index_ == text_.size()) return std::unexpected(error(msg(kEofString)));
  if (text_[index_] == '"') {
    const std::string_view s = text_.substr(begin, index_ - begin);
    ++index_;
    if (non_ascii && !core::is_valid_utf8(s)) return std::unexpected(error(msg(kInvalidUtf8)));
    return s;
  }
  // Escapes: the string is decoded into the scratch buffer.
  scratch.assign(text_.data() + begin, index_ - begin);
  for (;;) {
    const char c = text_[index_];
    if (c == '"') {
      ++index_;
      if (non_ascii && !core::is_valid_utf8(scratch)) return std::unexpected(error(msg(kInvalidUtf8)));
      return std::string_view(scratch);
    }
    if (c != '\\') {
      ++index_;
      return std::unexpected(error(msg(kControl)));
    }
    ++index_;
    if (auto r = parse_escape(scratch); !r) return std::unexpected(std::move(r.error()));
    const std::size_t start = index_;
    index_ = detail::find_special_string_byte(text_.data(), index_, text_.size(), non_ascii);
    scratch.append(text_.data() + start, index_ - start);
    if (index_ == text_.size()) return std::unexpected(error(msg(kEofString)));
  }
}

bool Parser::take_written_string(std::string_view& text) {
  const std::size_t begin = index_;
  const std::size_t n = text_.size();
  bool non_ascii = false;
  for (std::size_t i = begin;;) {
    i = detail::find_special_string_byte(text_.data(), i, n, non_ascii);
    if (i == n) return false;
    const char c = text_[i];
    if (c == '"') {
      text = text_.substr(begin, i - begin);
      if (non_ascii && !valid_utf8(text)) return false;
      index_ = i + 1;
      return true;
    }
    if (c != '\\' || i + 1 == n) return false;  // a control byte, or the end
    switch (text_[i + 1]) {
      case '"':
      case '\\':
      case 'b':
      case 'f':
      case 'n':
      case 'r':
      case 't':
        i += 2;
        break;
      case 'u': {
        // Only \u0000-\u001f in lower case, less the five with a letter.
        if (n - i < 6 || text_[i + 2] != '0' || text_[i + 3] != '0') return false;
        const char high = text_[i + 4];
        const char low = text_[i + 5];
        const int low_value = low >= '0' && low <= '9' ? low - '0' : low >= 'a' && low <= 'f' ? low - 'a' + 10 : -1;
        if ((high != '0' && high != '1') || low_value < 0) return false;
        const int value = (high - '0') * 16 + low_value;
        if (value == 0x08 || value == 0x09 || value == 0x0A || value == 0x0C || value == 0x0D) return false;
        i += 6;
        break;
      }
      default:
        return false;
    }
  }
}

JsonResult<std::string> Parser::parse_string() {
  std::string out;
  auto s = parse_string_view(out);
  if (!s) return std::unexpected(std::move(s.error()));
  if (s->data() == out.data()) return out;  // decoded into `out`
  return std::string(*s);
}

JsonResult<bool> Parser::next_entry_in_full(char close, bool& first) {
  int c = peek_ws();
  if (c == close) return false;
  if (c < 0) return std::unexpected(peek_error(msg(close == ']' ? kEofList : kEofObject)));
  if (first) {
    first = false;
    return true;
  }
  if (c != ',') {
    return std::unexpected(peek_error(msg(close == ']' ? kExpectedListCommaOrEnd : kExpectedObjectCommaOrEnd)));
  }
  eat();
  c = peek_ws();
  if (c == close) return std::unexpected(peek_error(msg(kTrailingComma)));
  if (c < 0) return std::unexpected(peek_error(msg(kEofValue)));
  return true;
}

JsonResult<void> Parser::parse_colon_in_full() {
  const int colon = peek_ws();
  if (colon < 0) return std::unexpected(peek_error(msg(kEofObject)));
  if (colon != ':') return std::unexpected(peek_error(msg(kExpectedColon)));
  eat();
  return {};
}

JsonResult<void> Parser::end() {
  if (peek_ws() >= 0) return std::unexpected(peek_error(msg(kTrailingCharacters)));
  return {};
}

JsonResult<Value> Parser::parse_value() {
  // Containers being built, innermost last.
  struct Frame {
    Value container;
    std::string key;  // the key whose value is being read (objects)
  };
  std::vector<Frame> stack;

  for (;;) {
    // Read one value: a scalar, or the opening of a container.
    Value value;
    bool have_value = true;
    const int c = peek_ws();
    switch (c) {
      case -1:
        return std::unexpected(peek_error(msg(kEofValue)));
      case 'n':
      case 't':
      case 'f': {
        auto word = parse_word(c);
        if (!word) return std::unexpected(std::move(word.error()));
        value = std::move(*word);
        break;
      }
      case '"': {
        eat();
        auto s = parse_string();
        if (!s) return std::unexpected(std::move(s.error()));
        value = Value(std::move(*s));
        break;
      }
      case '[':
      case '{':
        if (auto r = enter(); !r) return std::unexpected(std::move(r.error()));
        eat();
        stack.push_back(Frame{c == '[' ? Value(Array{}) : Value(Object{}), {}});
        have_value = false;
        break;
      default:
        if (c == '-' || is_digit(c)) {
          auto n = parse_number();
          if (!n) return std::unexpected(std::move(n.error()));
          value = std::move(*n);
          break;
        }
        return std::unexpected(peek_error(msg(kExpectedValue)));
    }

    // Hand finished values to their containers, closing containers that end,
    // until the next value to read is positioned.
    bool first = !have_value;  // a container just opened
    for (;;) {
      if (stack.empty()) return value;
      Frame& top = stack.back();
      const bool is_array = top.container.is_array();
      if (have_value) {
        if (is_array) {
          top.container.as_array().push_back(std::move(value));
        } else {
          top.container.as_object().insert_or_assign(std::move(top.key), std::move(value));
        }
      }
      auto more = next_entry(is_array ? ']' : '}', first);
      if (!more) return std::unexpected(std::move(more.error()));
      if (!*more) {
        eat();
        leave();
        value = std::move(top.container);
        stack.pop_back();
        have_value = true;
        first = false;
        continue;
      }
      if (!is_array) {
        if (peek() != '"') return std::unexpected(peek_error(msg(kKeyMustBeString)));
        eat();
        auto key = parse_string();
        if (!key) return std::unexpected(std::move(key.error()));
        top.key = std::move(*key);
        if (auto r = parse_colon(); !r) return std::unexpected(std::move(r.error()));
      }
      break;  // read the next value
    }
  }
}

JsonResult<void> Parser::ignore_string() {
  for (;;) {
    skip_plain_string_bytes();
    if (index_ == text_.size()) return std::unexpected(error(msg(kEofString)));
    const char c = text_[index_];
    if (c == '"') {
      ++index_;
      return {};
    }
    if (c != '\\') {
      return std::unexpected(error("control character (\\u0000-\\u001F) found while parsing a string"));
    }
    ++index_;
    const int e = next();
    if (e < 0) return std::unexpected(error(msg(kEofString)));
    if (simple_escape(e) != 0) continue;
    if (e != 'u') return std::unexpected(error("invalid escape"));
    if (auto r = decode_hex_escape(); !r) return std::unexpected(std::move(r.error()));
  }
}

JsonResult<void> Parser::ignore_number() {
  if (peek() == '-') eat();
  const int first = peek();
  if (first == '0') {
    eat();
    if (is_digit(peek())) return std::unexpected(peek_error(msg(kInvalidNumber)));
  } else if (first >= '1' && first <= '9') {
    eat();
    while (is_digit(peek())) eat();
  } else {
    if (first >= 0) eat();
    return std::unexpected(error(msg(kInvalidNumber)));
  }
  if (peek() == '.') {
    eat();
    const std::size_t s = index_;
    while (is_digit(peek())) eat();
    if (index_ == s) return std::unexpected(peek_error(msg(kInvalidNumber)));
  }
  if (peek() == 'e' || peek() == 'E') {
    eat();
    if (peek() == '+' || peek() == '-') eat();
    const int d = peek();
    if (d >= 0) eat();
    if (!is_digit(d)) return std::unexpected(error(msg(kInvalidNumber)));
    while (is_digit(peek())) eat();
  }
  return {};
}

JsonResult<void> Parser::ignore_value() {
  // Open containers of the skipped value, innermost last.
  std::vector<char> stack;
  auto unwind = [&] {
    for (std::size_t i = 0; i < stack.size(); ++i) leave();
  };
  // Fails at the next byte, giving back the depth of the open containers.
  auto fail = [&](std::string_view message) -> JsonResult<void> {
    unwind();
    return std::unexpected(peek_error(msg(message)));
  };
  for (;;) {
    // One value: a scalar, or the opening of a container.
    const int c = peek_ws();
    bool opened = false;
    JsonResult<void> r;
    switch (c) {
      case -1:
        return fail(kEofValue);
      case 'n':
      case 't':
      case 'f':
        if (auto word = parse_word(c); !word) r = std::unexpected(std::move(word.error()));
        break;
      case '"':
        eat();
        r = ignore_string();
        break;
      case '[':
      case '{':
        r = enter();
        if (r) {
          eat();
          stack.push_back(static_cast<char>(c));
          opened = true;
        }
        break;
      default:
        if (c == '-' || is_digit(c)) {
          r = ignore_number();
        } else {
          r = std::unexpected(peek_error(msg(kExpectedValue)));
        }
        break;
    }
    if (!r) {
      unwind();
      return r;
    }
    if (stack.empty()) return {};

    // Close what ends here, then position on the next value.
    bool accept_comma = !opened;
    for (;;) {
      const char frame = stack.back();
      const int b = peek_ws();
      if (b == ',' && accept_comma) {
        eat();
        break;
      }
      if ((b == ']' && frame == '[') || (b == '}' && frame == '{')) {
        eat();
        leave();
        stack.pop_back();
        if (stack.empty()) return {};
        accept_comma = true;
        continue;
      }
      if (b < 0) return fail(frame == '[' ? kEofList : kEofObject);
      if (accept_comma) return fail(frame == '[' ? kExpectedListCommaOrEnd : kExpectedObjectCommaOrEnd);
      break;
    }
    if (stack.back() == '{') {
      const int q = peek_ws();
      if (q < 0) return fail(kEofObject);
      if (q != '"') return fail(kKeyMustBeString);
      eat();
      JsonResult<void> key = ignore_string();
      if (key) key = parse_colon();
      if (!key) {
        unwind();
        return key;
      }
    }
  }
}

}  // namespace qv::json
