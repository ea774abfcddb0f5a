// Every decimal reference case: reading, printing, sign, abs, normalize,
// checked arithmetic, comparison and both roundings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jsonl.hpp"
#include "numeric/decimal.hpp"

namespace {

using qv::numeric::Decimal;
using qv::numeric::MidpointRule;
using qv::numeric::u128;
using qv::testing::JsonField;
using qv::testing::JsonLine;

std::vector<JsonLine> load(const std::string& name) {
  std::size_t bad = 0;
  auto lines = qv::testing::read_json_lines(std::string(QV_VECTORS_DIR) + "/" + name, bad);
  EXPECT_EQ(bad, 0u) << name;
  EXPECT_FALSE(lines.empty()) << name << " is missing";
  return lines;
}

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

Decimal input(const JsonLine& line, const char* key) {
  auto d = Decimal::parse(line.at(key).text);
  EXPECT_TRUE(d.has_value()) << line.at(key).text;
  return d.value_or(Decimal());
}

std::string shown(const std::optional<Decimal>& d) { return d ? d->to_string() : "none"; }

std::string expected_text(const JsonLine& line) {
  const JsonField& r = line.at("r");
  return r.is_null() ? "none" : r.text;
}

TEST(DecimalVectors, ReadingPrintingSignAbsNormalize) {
  Tally tally;
  std::size_t from_str = 0;
  for (const JsonLine& line : load("decimal.jsonl")) {
    if (!line.contains("op")) continue;
    const std::string op = line.at("op").text;
    if (op == "from_str") {
      ++from_str;
      const std::string& s = line.at("s").text;
      const auto d = Decimal::parse(s);
      if (line.contains("err")) {
        tally.check(!d && std::string(describe(d.error())) == line.at("err").text,
                    "from_str '" + s + "': want " + line.at("err").text + ", got " +
                        (d ? d->to_string() : std::string(describe(d.error()))));
        continue;
      }
      const std::string& m = line.at("mantissa").text;
      const bool neg = line.at("neg").text == "true";
      const bool ok = d && d->to_string() == line.at("r").text && d->mantissa() == to_u128(neg ? m.substr(1) : m) &&
                      d->scale() == std::stoul(line.at("scale").text) && d->is_sign_negative() == neg;
      tally.check(ok, "from_str '" + s + "': want " + line.at("r").text + " got " +
                          (d ? d->to_string() + " scale " + std::to_string(d->scale()) : std::string(describe(d.error()))));
    } else if (op == "to_string") {
      const auto d = Decimal::from_parts(to_u128(line.at("m").text), static_cast<std::uint32_t>(std::stoul(line.at("scale").text)),
                                         line.at("neg").text == "true");
      tally.check(d && d->to_string() == line.at("r").text, "to_string " + line.at("m").text + " scale " +
                                                                 line.at("scale").text + ": got " + shown(d));
    } else if (op == "is_sign_negative") {
      const Decimal a = input(line, "a");
      tally.check(a.is_sign_negative() == (line.at("r").text == "true"), "is_sign_negative " + line.at("a").text);
    } else if (op == "abs") {
      const Decimal a = input(line, "a");
      tally.check(a.abs().to_string() == line.at("r").text, "abs " + line.at("a").text + ": got " + a.abs().to_string());
    } else if (op == "normalize") {
      const Decimal a = input(line, "a");
      tally.check(a.normalize().to_string() == line.at("r").text,
                  "normalize " + line.at("a").text + ": got " + a.normalize().to_string());
    } else {
      ADD_FAILURE() << "unexpected op " << op;
    }
  }
  EXPECT_EQ(from_str, 1650u);
  EXPECT_EQ(tally.run(), 1650u + 4 * 3142u);
}

TEST(DecimalVectors, CheckedArithmeticAndComparison) {
  Tally tally;
  for (const JsonLine& line : load("decimal-pairs.jsonl")) {
    if (!line.contains("op")) continue;
    const std::string op = line.at("op").text;
    const Decimal a = input(line, "a");
    const Decimal b = input(line, "b");
    const std::string what = op + " " + line.at("a").text + " " + line.at("b").text + ": want " + line.at("r").text;
    if (op == "cmp") {
      const auto c = a <=> b;
      const int got = c < 0 ? -1 : (c > 0 ? 1 : 0);
      tally.check(std::to_string(got) == line.at("r").text, what);
      // max keeps the second operand on a tie, the larger one otherwise.
      const Decimal& m = a.max(b);
      tally.check(&m == (got > 0 ? &a : &b), "max " + what);
      continue;
    }
    if (op == "eq") {
      tally.check((a == b) == (line.at("r").text == "true"), what);
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
  for (const JsonLine& line : load("decimal-round_dp.jsonl")) {
    if (!line.contains("op")) continue;
    const Decimal a = input(line, "a");
    const auto n = static_cast<std::uint32_t>(std::stoul(line.at("n").text));
    MidpointRule rule = MidpointRule::NearestEven;
    if (line.at("op").text == "round_dp_with_strategy" && line.at("strategy").text == "MidpointAwayFromZero") {
      rule = MidpointRule::AwayFromZero;
    }
    const std::string got = a.round_dp(n, rule).to_string();
    tally.check(got == line.at("r").text, "round_dp " + line.at("a").text + " " + line.at("n").text + ": want " +
                                              line.at("r").text + ", got " + got);
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
  for (const JsonLine& line : load("decimal-round_sf.jsonl")) {
    if (!line.contains("op")) continue;
    const Decimal a = input(line, "a");
    const auto n = static_cast<std::uint32_t>(std::stoul(line.at("n").text));
    const auto r = a.round_sf(n);
    const std::string what = "round_sf " + line.at("a").text + " " + line.at("n").text + ": got " + shown(r);
    if (line.contains("r_invalid_scale")) {
      // The reference returned a scale beyond 28 here; only the value counts.
      ++value_only;
      const std::string want =
          normalized_text(line.at("r_m").text, std::stoi(line.at("r_scale").text), line.at("r_neg").text == "true");
      tally.check(r && r->normalize().to_string() == want && r->scale() <= Decimal::kMaxScale, what + ", want " + want);
      continue;
    }
    tally.check(shown(r) == expected_text(line), what + ", want " + expected_text(line));
  }
  EXPECT_EQ(value_only, 4945u);
  EXPECT_EQ(tally.run(), 36030u);
}

}  // namespace
