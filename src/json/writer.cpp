#include "json/writer.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <vector>

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

namespace {

// Writes a scalar or the opening of a container. Returns true when a
// non-empty container was opened (its first child is written next).
bool write_head(const Value& v, std::string& out) {
  switch (v.kind()) {
    case Value::Kind::Null:
      out += "null";
      return false;
    case Value::Kind::Bool:
      out += v.as_bool() ? "true" : "false";
      return false;
    case Value::Kind::U64:
      write_json_u64(v.as_u64(), out);
      return false;
    case Value::Kind::I64:
      write_json_i64(v.as_i64(), out);
      return false;
    case Value::Kind::F64:
      write_json_f64(v.as_f64(), out);
      return false;
    case Value::Kind::String:
      write_json_string(v.as_string(), out);
      return false;
    case Value::Kind::Array:
      if (v.as_array().empty()) {
        out += "[]";
        return false;
      }
      out += '[';
      return true;
    case Value::Kind::Object:
      if (v.as_object().empty()) {
        out += "{}";
        return false;
      }
      out += '{';
      return true;
  }
  return false;
}

}  // namespace

void write_json_compact(const Value& value, std::string& out) {
  // Iterative, so values of any depth are written without deep recursion.
  struct Frame {
    const Value* container;
    std::size_t next;
  };
  std::vector<Frame> stack;
  const Value* cur = &value;
  for (;;) {
    if (write_head(*cur, out)) {
      stack.push_back({cur, 0});
    }
    // Find the next value to write, closing finished containers.
    cur = nullptr;
    while (!stack.empty() && cur == nullptr) {
      Frame& f = stack.back();
      if (f.container->is_array()) {
        const Array& a = f.container->as_array();
        if (f.next < a.size()) {
          if (f.next > 0) out += ',';
          cur = &a[f.next++];
        } else {
          out += ']';
          stack.pop_back();
        }
      } else {
        const Object& o = f.container->as_object();
        if (f.next < o.size()) {
          if (f.next > 0) out += ',';
          const Member& m = o.at(f.next++);
          write_json_string(m.key, out);
          out += ':';
          cur = &m.value;
        } else {
          out += '}';
          stack.pop_back();
        }
      }
    }
    if (cur == nullptr) return;
  }
}

std::string write_json_compact(const Value& value) {
  std::string out;
  write_json_compact(value, out);
  return out;
}

}  // namespace qv::json
