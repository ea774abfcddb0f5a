#include "json/writer.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>
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

void write_json_f64(double value, std::string& out) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  if (value == 0.0) {
    out += std::signbit(value) ? "-0.0" : "0.0";
    return;
  }
  if (std::fabs(value) < 1e15 && value == std::trunc(value)) {
    // A whole number below 10^15 is exact, its shortest digits are its own,
    // and its decimal exponent is under 15: the positional form, ".0" added.
    write_json_i64(static_cast<std::int64_t>(value), out);
    out += ".0";
    return;
  }
  // Shortest round-trip digits in the form [-]d[.ddd]e±XX; when several
  // digit strings of that length read back, the nearest one is given.
  char buf[40];
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  std::string_view sci(buf, static_cast<std::size_t>(r.ptr - buf));
  if (sci.front() == '-') {
    out += '-';
    sci.remove_prefix(1);
  }
  const std::size_t e_pos = sci.find('e');
  char digits[20];
  std::size_t n = 0;
  for (std::size_t i = 0; i < e_pos; ++i) {
    if (sci[i] != '.') digits[n++] = sci[i];
  }
  int exp = 0;
  std::string_view exp_text = sci.substr(e_pos + 1);
  const bool exp_negative = exp_text.front() == '-';
  if (exp_text.front() == '+' || exp_negative) exp_text.remove_prefix(1);
  std::from_chars(exp_text.data(), exp_text.data() + exp_text.size(), exp);
  if (exp_negative) exp = -exp;

  const int count = static_cast<int>(n);
  if (exp >= -5 && exp <= 15) {
    if (exp >= count - 1) {
      out.append(digits, n);
      out.append(static_cast<std::size_t>(exp - count + 1), '0');
      out += ".0";
    } else if (exp < 0) {
      out += "0.";
      out.append(static_cast<std::size_t>(-exp - 1), '0');
      out.append(digits, n);
    } else {
      out.append(digits, static_cast<std::size_t>(exp + 1));
      out += '.';
      out.append(digits + exp + 1, n - static_cast<std::size_t>(exp + 1));
    }
    return;
  }
  out += digits[0];
  if (n > 1) {
    out += '.';
    out.append(digits + 1, n - 1);
  }
  out += exp < 0 ? "e-" : "e+";
  char ebuf[8];
  auto er = std::to_chars(ebuf, ebuf + sizeof ebuf, std::abs(exp));
  out.append(ebuf, er.ptr);
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
