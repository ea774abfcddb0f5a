#include "json/reader.hpp"

#include "json/parser.hpp"

namespace qv::json {

JsonResult<Value> read_json(std::string_view text) {
  Parser p(text);
  auto value = p.parse_value();
  if (!value) return value;
  if (auto r = p.end(); !r) return std::unexpected(std::move(r.error()));
  return value;
}

}  // namespace qv::json
