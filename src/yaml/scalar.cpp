#include "yaml/scalar.hpp"

#include <cerrno>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>
#include <string>

#include "core/panic.hpp"

namespace qv::yaml {

namespace {

__extension__ typedef unsigned __int128 u128;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

int digit_value(char c, int base) {
  int v = -1;
  if (c >= '0' && c <= '9') {
    v = c - '0';
  } else if (c >= 'a' && c <= 'f') {
    v = c - 'a' + 10;
  } else if (c >= 'A' && c <= 'F') {
    v = c - 'A' + 10;
  }
  return v < base ? v : -1;
}

enum class IntParse { NotInt, Fits, TooWide };

// Digits of `base`, at least one; TooWide past 128 bits.
IntParse parse_digits(std::string_view s, int base, u128& out) {
  if (s.empty()) return IntParse::NotInt;
  u128 v = 0;
  bool wide = false;
  const u128 max = ~u128{0};
  for (char c : s) {
    const int d = digit_value(c, base);
    if (d < 0) return IntParse::NotInt;
    if (!wide) {
      if (v > (max - static_cast<u128>(d)) / static_cast<u128>(base)) {
        wide = true;
      } else {
        v = v * static_cast<u128>(base) + static_cast<u128>(d);
      }
    }
  }
  out = v;
  return wide ? IntParse::TooWide : IntParse::Fits;
}

// The integer forms. `prefixed` tells whether a base prefix was used.
IntParse parse_int(std::string_view text, bool& negative, bool& prefixed, u128& magnitude) {
  std::string_view s = text;
  bool plus = false;
  if (!s.empty() && s[0] == '+') {
    plus = true;
    s.remove_prefix(1);
  }
  negative = false;
  if (!s.empty() && s[0] == '-') {
    if (plus) return IntParse::NotInt;
    negative = true;
    s.remove_prefix(1);
  }
  prefixed = false;
  if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'o' || s[1] == 'b')) {
    prefixed = true;
    const int base = s[1] == 'x' ? 16 : s[1] == 'o' ? 8 : 2;
    return parse_digits(s.substr(2), base, magnitude);
  }
  return parse_digits(s, 10, magnitude);
}

// Fills `out` from a parsed integer; false when the value does not fit
// 128 bits (the caller decides what that means).
std::string decimal(bool negative, u128 m) {
  std::string digits;
  do {
    digits += static_cast<char>('0' + static_cast<int>(m % 10));
    m /= 10;
  } while (m != 0);
  if (negative) digits += '-';
  return std::string(digits.rbegin(), digits.rend());
}

bool int_value(bool negative, u128 m, Resolved& out) {
  constexpr u128 kU64Max = std::numeric_limits<std::uint64_t>::max();
  constexpr u128 kI64Min = u128{1} << 63;
  constexpr u128 kI128Min = u128{1} << 127;
  if (!negative || m == 0) {
    if (m <= kU64Max) {
      out.kind = ScalarKind::U64;
      out.u = static_cast<std::uint64_t>(m);
    } else {
      out.kind = ScalarKind::U128;
      out.wide = decimal(false, m);
    }
    return true;
  }
  if (m <= kI64Min) {
    out.kind = ScalarKind::I64;
    out.i = m == kI64Min ? std::numeric_limits<std::int64_t>::min() : -static_cast<std::int64_t>(m);
    return true;
  }
  if (m <= kI128Min) {
    out.kind = ScalarKind::I128;
    out.wide = decimal(true, m);
    return true;
  }
  return false;
}

// [+-]?(d+(.d*)?|.d+)([eE][+-]?d+)?
bool float_grammar(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t int_digits = 0;
  while (i < s.size() && is_digit(s[i])) ++i, ++int_digits;
  std::size_t frac_digits = 0;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && is_digit(s[i])) ++i, ++frac_digits;
  }
  if (int_digits == 0 && frac_digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t exp_digits = 0;
    while (i < s.size() && is_digit(s[i])) ++i, ++exp_digits;
    if (exp_digits == 0) return false;
  }
  return i == s.size();
}

locale_t c_locale() {
  static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  if (loc == static_cast<locale_t>(nullptr)) core::panic("the C locale is not available");
  return loc;
}

bool one_of(std::string_view s, std::initializer_list<std::string_view> words) {
  for (std::string_view w : words) {
    if (s == w) return true;
  }
  return false;
}

// Digits without dot and the decimal exponent e of the first digit
// (value = 0.d1d2... * 10^(e+1)), from the shortest round-trip form.
void shortest_digits(double v, std::string& digits, int& exponent) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  const std::string_view s(buf, static_cast<std::size_t>(r.ptr - buf));
  const std::size_t e = s.find('e');
  digits.clear();
  for (std::size_t i = 0; i < e; ++i) {
    if (is_digit(s[i])) digits += s[i];
  }
  exponent = std::stoi(std::string(s.substr(e + 1)));
}

}  // namespace

bool resolve_null(std::string_view text) {
  return text.size() <= 4 && one_of(text, {"~", "null", "Null", "NULL"});
}

bool resolve_bool(std::string_view text, bool& out) {
  if (text.size() < 4 || text.size() > 5) return false;
  if (one_of(text, {"true", "True", "TRUE"})) {
    out = true;
    return true;
  }
  if (one_of(text, {"false", "False", "FALSE"})) {
    out = false;
    return true;
  }
  return false;
}

bool resolve_int(std::string_view text, Resolved& out) {
  bool negative = false, prefixed = false;
  u128 m = 0;
  if (parse_int(text, negative, prefixed, m) != IntParse::Fits) return false;
  return int_value(negative, m, out);
}

bool resolve_float(std::string_view text, double& out) {
  std::string_view s = text;
  if (!s.empty() && s[0] == '+' && s.size() > 1 && s[1] == '.') {
    if (one_of(s.substr(1), {".inf", ".Inf", ".INF"})) {
      out = std::numeric_limits<double>::infinity();
      return true;
    }
  }
  if (one_of(s, {".inf", ".Inf", ".INF"})) {
    out = std::numeric_limits<double>::infinity();
    return true;
  }
  if (one_of(s, {"-.inf", "-.Inf", "-.INF"})) {
    out = -std::numeric_limits<double>::infinity();
    return true;
  }
  if (one_of(s, {".nan", ".NaN", ".NAN"})) {
    out = std::numeric_limits<double>::quiet_NaN();
    return true;
  }
  if (!float_grammar(s)) return false;
  const std::string z(s);
  const double v = strtod_l(z.c_str(), nullptr, c_locale());
  if (!std::isfinite(v)) return false;
  out = v;
  return true;
}

Resolved resolve_plain(std::string_view text) {
  Resolved r;
  if (text.empty() || resolve_null(text)) {
    r.kind = ScalarKind::Null;
    return r;
  }
  if (resolve_bool(text, r.b)) {
    r.kind = ScalarKind::Bool;
    return r;
  }
  // Every number starts with a digit, a sign or a dot.
  const char first = text[0];
  if (!is_digit(first) && first != '+' && first != '-' && first != '.') return r;
  // A digit string with a leading zero, signed or not, is a string.
  {
    std::string_view d = text;
    if (d[0] == '+' || d[0] == '-') d.remove_prefix(1);
    if (d.size() > 1 && d[0] == '0') {
      bool all = true;
      for (char c : d) all = all && is_digit(c);
      if (all) return r;
    }
  }
  bool negative = false, prefixed = false;
  u128 m = 0;
  switch (parse_int(text, negative, prefixed, m)) {
    case IntParse::Fits:
      if (int_value(negative, m, r)) return r;
      if (prefixed) return r;  // beyond 128 bits with a prefix: a string
      break;
    case IntParse::TooWide:
      if (prefixed) return r;
      break;
    case IntParse::NotInt:
      break;
  }
  if (resolve_float(text, r.f)) {
    r.kind = ScalarKind::F64;
    return r;
  }
  r.kind = ScalarKind::String;
  return r;
}

namespace {

// Shortest round-trip digits of a float, laid out positionally; `yaml`
// switches to exponent form outside 1e-5 <= |v| < 1e16, as YAML numbers are
// written, where messages stay positional.
std::string layout(double v, bool yaml) {
  std::string out;
  if (std::signbit(v)) out += '-';
  if (v == 0) return out + "0.0";
  std::string d;
  int e = 0;
  shortest_digits(v, d, e);
  const int n = static_cast<int>(d.size());
  const int kk = e + 1;  // 10^(kk-1) <= |v| < 10^kk
  if (yaml && (kk > 16 || kk <= -5)) {
    out += d[0];
    if (n > 1) {
      out += '.';
      out += d.substr(1);
    }
    out += 'e';
    out += std::to_string(kk - 1);
  } else if (kk <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-kk), '0');
    out += d;
  } else if (n <= kk) {
    out += d;
    out.append(static_cast<std::size_t>(kk - n), '0');
    out += ".0";
  } else {
    out += d.substr(0, static_cast<std::size_t>(kk));
    out += '.';
    out += d.substr(static_cast<std::size_t>(kk));
  }
  return out;
}

}  // namespace

std::string format_float(double v) {
  if (std::isnan(v)) return ".nan";
  if (std::isinf(v)) return v > 0 ? ".inf" : "-.inf";
  return layout(v, true);
}

std::string display_float(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
  return layout(v, false);
}

}  // namespace qv::yaml
