// Every decimal reference case: reading, printing, sign, abs, normalize,
// checked arithmetic, comparison and both roundings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/vectors.hpp"
#include "numeric/decimal.hpp"

namespace {

using qv::numeric::Decimal;
using qv::numeric::MidpointRule;
using qv::numeric::u128;
using qv::json::Value;
using qv::testing::member_text;
using qv::testing::read_vectors;

// The case lines of a file (its meta line dropped).
std::vector<Value> load(const std::string& name) {
  std::vector<Value> lines = read_vectors(name);
  std::erase_if(lines, [](const Value& line) { return line.find("meta") != nullptr; });
  EXPECT_FALSE(lines.empty()) << name;
  return lines;
}

// A member as text; see member_text.
std::string at(const Value& line, const char* key) { return member_text(line, key); }

u128 to_u128(const std::string& digits) {
  u128 v = 0;
  for (char c : digits) v = v * 10 + static_cast<unsigned>(c - '0');
  return v;
}

// Collects mismatches; reports the first few in full and the total.
class Tally {
 public:
  void check(bool ok, const std::string& what) {
    ++run_;
    if (ok) return;
    if (++failed_ < 15) ADD_FAILURE() << what;
  }
  std::size_t run() const { return run_; }
  ~Tally() { EXPECT_EQ(failed_, 0u) << "of " << run_ << " cases"; }

 private:
  std::size_t run_ = 0, failed_ = 0;
};

Decimal input(const Value& line, const char* key) {
  auto d = Decimal::parse(at(line, key));
  EXPECT_TRUE(d.has_value()) << at(line, key);
  return d.value_or(Decimal());
}

std::string shown(const std::optional<Decimal>& d) { return d ? d->to_string() : "none"; }

std::string expected_text(const Value& line) {
  return qv::testing::member(line, "r").is_null() ? "none" : at(line, "r");
}

TEST(DecimalVectors, ReadingPrintingSignAbsNormalize) {
  Tally tally;
  std::size_t from_str = 0;
  for (const Value& line : load("decimal.jsonl")) {
    if (line.find("op") == nullptr) continue;
    const std::string op = at(line, "op");
    if (op == "from_str") {
      ++from_str;
      const std::string& s = at(line, "s");
      const auto d = Decimal::parse(s);
      if (line.find("err") != nullptr) {
        tally.check(!d && std::string(describe(d.error())) == at(line, "err"),
                    "from_str '" + s + "': want " + at(line, "err") + ", got " +
                        (d ? d->to_string() : std::string(describe(d.error()))));
        continue;
      }
      const std::string& m = at(line, "mantissa");
      const bool neg = at(line, "neg") == "true";
      const bool ok = d && d->to_string() == at(line, "r") && d->mantissa() == to_u128(neg ? m.substr(1) : m) &&
                      d->scale() == std::stoul(at(line, "scale")) && d->is_sign_negative() == neg;
      tally.check(ok, "from_str '" + s + "': want " + at(line, "r") + " got " +
                          (d ? d->to_string() + " scale " + std::to_string(d->scale()) : std::string(describe(d.error()))));
    } else if (op == "to_string") {
      const auto d = Decimal::from_parts(to_u128(at(line, "m")), static_cast<std::uint32_t>(std::stoul(at(line, "scale"))),
                                         at(line, "neg") == "true");
      tally.check(d && d->to_string() == at(line, "r"), "to_string " + at(line, "m") + " scale " +
                                                                 at(line, "scale") + ": got " + shown(d));
    } else if (op == "is_sign_negative") {
      const Decimal a = input(line, "a");
      tally.check(a.is_sign_negative() == (at(line, "r") == "true"), "is_sign_negative " + at(line, "a"));
    } else if (op == "abs") {
      const Decimal a = input(line, "a");
      tally.check(a.abs().to_string() == at(line, "r"), "abs " + at(line, "a") + ": got " + a.abs().to_string());
    } else if (op == "normalize") {
      const Decimal a = input(line, "a");
      tally.check(a.normalize().to_string() == at(line, "r"),
                  "normalize " + at(line, "a") + ": got " + a.normalize().to_string());
    } else {
      ADD_FAILURE() << "unexpected op " << op;
    }
  }
  EXPECT_EQ(from_str, 1650u);
  EXPECT_EQ(tally.run(), 1650u + 4 * 3142u);
}

TEST(DecimalVectors, CheckedArithmeticAndComparison) {
  Tally tally;
  for (const Value& line : load("decimal-pairs.jsonl")) {
    if (line.find("op") == nullptr) continue;
    const std::string op = at(line, "op");
    const Decimal a = input(line, "a");
    const Decimal b = input(line, "b");
    const std::string what = op + " " + at(line, "a") + " " + at(line, "b") + ": want " + at(line, "r");
    if (op == "cmp") {
      const auto c = a <=> b;
      const int got = c < 0 ? -1 : (c > 0 ? 1 : 0);
      tally.check(std::to_string(got) == at(line, "r"), what);
      // max keeps the second operand on a tie, the larger one otherwise.
      const Decimal& m = a.max(b);
      tally.check(&m == (got > 0 ? &a : &b), "max " + what);
      continue;
    }
    if (op == "eq") {
      tally.check((a == b) == (at(line, "r") == "true"), what);
      continue;
    }
    std::optional<Decimal> r;
    if (op == "add") r = a.checked_add(b);
    else if (op == "sub") r = a.checked_sub(b);
    else if (op == "mul") r = a.checked_mul(b);
    else if (op == "div") r = a.checked_div(b);
    else ADD_FAILURE() << "unexpected op " << op;
    tally.check(shown(r) == expected_text(line), what + ", got " + shown(r));
  }
  EXPECT_EQ(tally.run(), 8830u * 7);
}

TEST(DecimalVectors, RoundToDecimalPlaces) {
  Tally tally;
  for (const Value& line : load("decimal-round_dp.jsonl")) {
    if (line.find("op") == nullptr) continue;
    const Decimal a = input(line, "a");
    const auto n = static_cast<std::uint32_t>(std::stoul(at(line, "n")));
    MidpointRule rule = MidpointRule::NearestEven;
    if (at(line, "op") == "round_dp_with_strategy" && at(line, "strategy") == "MidpointAwayFromZero") {
      rule = MidpointRule::AwayFromZero;
    }
    const std::string got = a.round_dp(n, rule).to_string();
    tally.check(got == at(line, "r"), "round_dp " + at(line, "a") + " " + at(line, "n") + ": want " +
                                              at(line, "r") + ", got " + got);
  }
  EXPECT_EQ(tally.run(), 8407u + 16814u);
}

// The value ±m ÷ 10^scale with trailing zeros removed, as text; works for
// scales beyond 28.
std::string normalized_text(std::string m, int scale, bool neg) {
  while (scale > 0 && m.size() > 1 && m.back() == '0') {
    m.pop_back();
    --scale;
  }
  if (m == "0") return "0";
  if (static_cast<int>(m.size()) <= scale) m.insert(0, static_cast<std::size_t>(scale) + 1 - m.size(), '0');
  if (scale > 0) m.insert(m.size() - static_cast<std::size_t>(scale), ".");
  return (neg ? "-" : "") + m;
}

TEST(DecimalVectors, RoundToSignificantFigures) {
  Tally tally;
  std::size_t value_only = 0;
  for (const Value& line : load("decimal-round_sf.jsonl")) {
    if (line.find("op") == nullptr) continue;
    const Decimal a = input(line, "a");
    const auto n = static_cast<std::uint32_t>(std::stoul(at(line, "n")));
    const auto r = a.round_sf(n);
    const std::string what = "round_sf " + at(line, "a") + " " + at(line, "n") + ": got " + shown(r);
    if (line.find("r_invalid_scale") != nullptr) {
      // The reference returned a scale beyond 28 here; only the value counts.
      ++value_only;
      const std::string want =
          normalized_text(at(line, "r_m"), std::stoi(at(line, "r_scale")), at(line, "r_neg") == "true");
      tally.check(r && r->normalize().to_string() == want && r->scale() <= Decimal::kMaxScale, what + ", want " + want);
      continue;
    }
    tally.check(shown(r) == expected_text(line), what + ", want " + expected_text(line));
  }
  EXPECT_EQ(value_only, 4945u);
  EXPECT_EQ(tally.run(), 36030u);
}

}  // namespace
