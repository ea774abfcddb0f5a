// yaml_to_json on any bytes: it converts to JSON that reads back, or fails
// with a message, never crashes; and what reads as a tree writes back as
// YAML that reads as the same tree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "json/reader.hpp"
#include "yaml/emit.hpp"
#include "yaml/to_json.hpp"
#include "yaml/tree.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  auto json = qv::yaml::yaml_to_json(text);
  if (!json && json.error().message().empty()) std::abort();
  if (json && !qv::json::read_json(*json)) std::abort();

  auto tree = qv::yaml::read_tree(text);
  if (json && !tree) std::abort();
  if (!tree) return 0;
  auto yaml = qv::yaml::write_yaml(*tree);
  if (!yaml) std::abort();
  auto back = qv::yaml::read_tree(*yaml);
  if (!back || !(*back == *tree)) std::abort();
  return 0;
}
