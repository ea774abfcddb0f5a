#include "json/error.hpp"

namespace qv::json {

std::string JsonError::display() const {
  if (line == 0) return message;
  return message + " at line " + std::to_string(line) + " column " + std::to_string(column);
}

core::EngineError json_error_to_engine_error(const JsonError& error) {
  return core::EngineError::serialisation(error.display());
}

}  // namespace qv::json
