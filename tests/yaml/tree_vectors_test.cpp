// The tree reader against the reference cases of reading YAML text as an
// untyped tree (section "a" of yaml.jsonl).
#include <gtest/gtest.h>

#include <string>

#include "common/vectors.hpp"
#include "json/writer.hpp"
#include "tree_form.hpp"
#include "yaml/tree.hpp"

namespace qv::yaml {
namespace {

std::string from_hex(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

bool is_ascii(const std::string& s) {
  for (const char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

std::string input_of(const json::Value& line) {
  if (line.find("in_hex") != nullptr) return from_hex(qv::testing::member_text(line, "in_hex"));
  return qv::testing::member_text(line, "in");
}

TEST(YamlTreeVectors, SectionA) {
  std::size_t compared = 0, positions = 0, set_aside = 0;
  for (const json::Value& line : qv::testing::read_vectors("yaml.jsonl")) {
    if (qv::testing::member_text(line, "section") != "a") continue;
    const std::string id = qv::testing::member_text(line, "id");
    const std::string in = input_of(line);
    // The reader of the system refuses a text without any document, where
    // the library gives null: such texts fail with "EOF while parsing a value".
    const bool no_document = id == "87" || id == "567" || id == "568" || id == "569" || id == "570";
    auto tree = read_tree(in);
    ++compared;
    if (no_document) {
      ASSERT_FALSE(tree) << id;
      EXPECT_EQ(tree.error().display(), "EOF while parsing a value") << id;
      ++set_aside;
      continue;
    }
    if (line.find("err") != nullptr) {
      ASSERT_FALSE(tree) << id << ": " << in;
      EXPECT_EQ(tree.error().display(), qv::testing::member_text(line, "err")) << id << ": " << in;
      if (line.find("line") != nullptr) {
        ASSERT_TRUE(tree.error().mark.has_value()) << id;
        EXPECT_EQ(tree.error().mark->line + 1, line.find("line")->as_u64()) << id;
        EXPECT_EQ(tree.error().mark->column + 1, line.find("column")->as_u64()) << id;
        // The parser counts the index in characters, the reference in bytes.
        if (is_ascii(in)) {
          EXPECT_EQ(tree.error().mark->index, line.find("index")->as_u64()) << id;
        }
        ++positions;
      } else {
        EXPECT_FALSE(tree.error().mark.has_value()) << id;
      }
      continue;
    }
    ASSERT_TRUE(tree) << id << ": " << in << " -> " << tree.error().display();
    EXPECT_EQ(json::write_json_compact(testing::tree_form(*tree)), qv::testing::member_text(line, "json"))
        << id << ": " << in;
  }
  EXPECT_EQ(compared, 724u);
  EXPECT_EQ(set_aside, 5u);
  EXPECT_EQ(positions, 116u);
}

}  // namespace
}  // namespace qv::yaml
