#pragma once
// How the text of a scalar is typed, and how numbers are written in YAML.
#include <cstdint>
#include <string>
#include <string_view>

namespace qv::yaml {

// What a plain, untagged scalar means.
enum class ScalarKind : std::uint8_t {
  Null,
  Bool,
  U64,
  I64,
  F64,
  String,
  U128,  // an integer that fits only 128 bits unsigned: refused by the tree
  I128,  // the same, negative
};

struct Resolved {
  ScalarKind kind = ScalarKind::String;
  bool b = false;
  std::uint64_t u = 0;
  std::int64_t i = 0;
  double f = 0;
  // U128 and I128: the value in decimal digits, with its "-".
  std::string wide;
};

// Null ("", "~", "null", "Null", "NULL"), a boolean ("true", "True", "TRUE",
// and the same for false), an integer (one optional "+", then decimal digits
// with an optional "-", or a lower-case 0x/0o/0b prefix with an optional "-"
// before it; no "_"), a float (".inf", ".nan" and their spellings, or the
// decimal form with optional fraction and exponent, when finite), else a
// string. Digit strings with a leading zero ("0123", "-00") stay strings.
Resolved resolve_plain(std::string_view text);

// The single readings a core tag forces; false when the text does not fit.
bool resolve_bool(std::string_view text, bool& out);
bool resolve_null(std::string_view text);  // "~", "null", "Null", "NULL"
// An integer as above; kind becomes U64, I64, U128 or I128.
bool resolve_int(std::string_view text, Resolved& out);
bool resolve_float(std::string_view text, double& out);

// A float as YAML writes it: shortest round-trip digits; positional with
// ".0" for whole values below 1e16 ("1.0", "1000.0"), positional down to
// 1e-5 ("0.00001"), otherwise "1e16", "1.5e-7" (no "+"); ".inf", "-.inf",
// ".nan".
std::string format_float(double value);

// A float as error messages describe it: shortest round-trip digits, always
// positional, ".0" added to whole values; "inf", "-inf", "NaN".
std::string display_float(double value);

}  // namespace qv::yaml
