#include "json/writer.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "json/parser.hpp"
#include "json/scan.hpp"

namespace qv::json {

void write_json_u64(std::uint64_t value, std::string& out) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, r.ptr);
}

void write_json_i64(std::int64_t value, std::string& out) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, r.ptr);
}

namespace detail {

char* lay_out_float(char* out, bool negative, const char* digits, std::size_t n, int e) {
  // Copies of 16 bytes where fewer are needed: the room and the digits
  // have the bytes, and what lies past the end is not used.
  if (negative) *out++ = '-';
  const int count = static_cast<int>(n);
  if (e >= -5 && e <= 15) {
    if (e >= count - 1) {
      // A whole number: the digits, zeros up to the point, ".0".
      std::memcpy(out, digits, 16);
      if (n > 16) out[16] = digits[16];
      out += n;
      std::memset(out, '0', 16);
      out += e - count + 1;
      std::memcpy(out, ".0", 2);
      return out + 2;
    }
    if (e < 0) {
      std::memcpy(out, "0.000000", 8);
      out += 1 - e;
      std::memcpy(out, digits, 16);
      if (n > 16) out[16] = digits[16];
      return out + n;
    }
    const auto whole = static_cast<std::size_t>(e + 1);
    std::memcpy(out, digits, 16);
    out += whole;
    *out++ = '.';
    std::memcpy(out, digits + whole, 16);
    return out + (n - whole);
  }
  *out++ = digits[0];
  if (n > 1) {
    *out++ = '.';
    std::memcpy(out, digits + 1, 16);
    out += n - 1;
  }
  *out++ = 'e';
  *out++ = e < 0 ? '-' : '+';
  const int magnitude = e < 0 ? -e : e;
  if (magnitude >= 100) *out++ = static_cast<char>('0' + magnitude / 100);
  if (magnitude >= 10) *out++ = static_cast<char>('0' + magnitude / 10 % 10);
  *out++ = static_cast<char>('0' + magnitude % 10);
  return out;
}

}  // namespace detail

char* write_json_f64(double value, char* out) {
  if (!std::isfinite(value)) {
    std::memcpy(out, "null", 4);
    return out + 4;
  }
  if (value == 0.0) {
    if (std::signbit(value)) *out++ = '-';
    std::memcpy(out, "0.0", 3);
    return out + 3;
  }
  if (std::fabs(value) < 1e15 && value == std::trunc(value)) {
    // A whole number below 10^15 is exact, its shortest digits are its own,
    // and its decimal exponent is under 15: the positional form, ".0" added.
    out = std::to_chars(out, out + 20, static_cast<std::int64_t>(value)).ptr;
    std::memcpy(out, ".0", 2);
    return out + 2;
  }
  // Shortest round-trip digits in the form [-]d[.ddd]e±XX; when several
  // digit strings of that length read back, the nearest one is given.
  // The exponent has two or three digits, so the 'e' is found from the end.
  char sci[kF64TextMax];
  const char* const sci_end = std::to_chars(sci, sci + sizeof sci, std::fabs(value), std::chars_format::scientific).ptr;
  const char* const e_at = sci_end[-4] == 'e' ? sci_end - 4 : sci_end - 5;
  int exp = e_at[2] - '0';
  for (const char* s = e_at + 3; s < sci_end; ++s) exp = exp * 10 + (*s - '0');
  if (e_at[1] == '-') exp = -exp;
  // The digits without the point, copied in one step (the buffers have the
  // room; what lies past the digits is not used).
  char digits[kF64TextMax];
  digits[0] = sci[0];
  std::memcpy(digits + 1, sci + 2, 16);
  const std::size_t n = e_at == sci + 1 ? 1 : static_cast<std::size_t>(e_at - sci) - 1;
  return detail::lay_out_float(out, std::signbit(value), digits, n, exp);
}

void write_json_f64(double value, std::string& out) {
  char buf[kF64TextMax];
  out.append(buf, write_json_f64(value, buf));
}

std::string format_f64(double value) {
  std::string out;
  write_json_f64(value, out);
  return out;
}

void write_json_string(std::string_view text, std::string& out) {
  static constexpr char kHex[] = "0123456789abcdef";
  bool non_ascii = false;  // not needed here
  std::size_t i = detail::find_special_string_byte(text.data(), 0, text.size(), non_ascii);
  if (i == text.size()) {
    // Nothing to escape: the quoted text in one step.
    out += '"';
    out += text;
    out += '"';
    return;
  }
  out += '"';
  std::size_t run = 0;  // start of the bytes not yet copied
  for (;; ++i) {
    i = detail::find_special_string_byte(text.data(), i, text.size(), non_ascii);
    if (i == text.size()) break;
    const auto c = static_cast<unsigned char>(text[i]);
    out.append(text.data() + run, i - run);
    run = i + 1;
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case 0x08:
        out += "\\b";
        break;
      case 0x09:
        out += "\\t";
        break;
      case 0x0A:
        out += "\\n";
        break;
      case 0x0C:
        out += "\\f";
        break;
      case 0x0D:
        out += "\\r";
        break;
      default:
        out += "\\u00";
        out += kHex[c >> 4];
        out += kHex[c & 0x0F];
        break;
    }
  }
  out.append(text.data() + run, text.size() - run);
  out += '"';
}

void TextOut::separate() {
  if (after_key_) {
    after_key_ = false;
  } else if (!first_) {
    out_.push_back(',');
  }
  first_ = false;
}

void TextOut::open(char c) {
  separate();
  out_.push_back(c);
  first_ = true;
  if (++depth_ > deepest_) deepest_ = depth_;
}

void TextOut::close(char c) {
  out_.push_back(c);
  first_ = false;
  --depth_;
}

static_assert(kMaxReadableDepth + 1 == Parser::kDepthLimit, "the writers' limit is the reader's");

JsonResult<void> TextOut::readable() const {
  if (deepest_ > kMaxReadableDepth) return std::unexpected(JsonError{std::string(Parser::kRecursionLimit)});
  return {};
}

void TextOut::key(std::string_view k) {
  separate();
  write_json_string(k, out_);
  out_.push_back(':');
  after_key_ = true;
}

void TextOut::string(std::string_view s) {
  separate();
  write_json_string(s, out_);
}

void TextOut::unsigned_integer(std::uint64_t n) {
  separate();
  write_json_u64(n, out_);
}

void TextOut::signed_integer(std::int64_t n) {
  separate();
  write_json_i64(n, out_);
}

void TextOut::floating(double d) {
  separate();
  write_json_f64(d, out_);
}

void TextOut::boolean(bool b) {
  separate();
  out_ += b ? "true" : "false";
}

void TextOut::null() {
  separate();
  out_ += "null";
}

void ValueOut::put(Value v) {
  if (stack_.empty()) {
    result_ = std::move(v);
    return;
  }
  Value& top = stack_.back();
  if (top.is_array()) {
    top.as_array().push_back(std::move(v));
  } else {
    top.as_object().insert_or_assign(std::move(keys_.back()), std::move(v));
    keys_.pop_back();
  }
}

void ValueOut::finish() {
  Value done = std::move(stack_.back());
  stack_.pop_back();
  put(std::move(done));
}

void write_json_compact(const Value& value, std::string& out) {
  TextOut text(out);
  write_value(text, value);
}

std::string write_json_compact(const Value& value) {
  std::string out;
  write_json_compact(value, out);
  return out;
}

}  // namespace qv::json
