#include "yaml/error.hpp"

namespace qv::yaml {

std::string YamlError::display() const {
  if (from_parser) return message;
  std::string out;
  if (!path.empty()) {
    out += path;
    out += ": ";
  }
  out += message;
  if (mark && (mark->line != 0 || mark->column != 0)) {
    out += " at line ";
    out += std::to_string(mark->line + 1);
    out += " column ";
    out += std::to_string(mark->column + 1);
  }
  return out;
}

core::EngineError yaml_error_to_engine_error(const YamlError& error) {
  return core::EngineError::invalid_input(error.display());
}

}  // namespace qv::yaml
