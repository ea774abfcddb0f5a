// yaml_to_json.
#include <expected>
#include <string>

#include "python/frame.hpp"
#include "python/functions.hpp"
#include "yaml/to_json.hpp"

namespace qv::python {

namespace {

// Both failures, YAML reading and JSON writing, raise ValueError with the
// bare message.
std::expected<std::string, PyFailure> convert(const std::string& text) {
  auto json = yaml::yaml_to_json(text);
  if (!json) return std::unexpected(value_error(json.error().message()));
  return std::move(*json);
}

}  // namespace

PyObject* py_yaml_to_json(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    std::string text[1];
    if (!bind_text_arguments("yaml_to_json", {"text"}, args, nargs, kwnames, text)) return nullptr;
    return to_python_result(convert(text[0]));
  });
}

}  // namespace qv::python
