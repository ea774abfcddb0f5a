// The policy functions: lint with the policy hash, the shipped texts, and the
// resolved policy.
#include <expected>
#include <string>
#include <utility>
#include <vector>

#include "engine/lint.hpp"
#include "engine/policy.hpp"
#include "python/frame.hpp"
#include "python/functions.hpp"

namespace qv::python {

namespace {

std::expected<std::pair<std::string, std::vector<std::string>>, PyFailure> lint(const std::string& yaml) {
  auto report = engine::lint_policy_text(yaml);
  if (!report) return std::unexpected(value_error(report.error().display()));
  return std::pair{std::move(report->policy_hash), std::move(report->problems)};
}

std::expected<std::string, PyFailure> resolve(const std::string& yaml) {
  auto text = engine::resolve_policy_text(yaml);
  if (!text) return std::unexpected(value_error(text.error().display()));
  return std::move(*text);
}

}  // namespace

PyObject* py_policy_lint(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    std::string text[1];
    if (!bind_text_arguments("policy_lint", {"yaml"}, args, nargs, kwnames, text)) return nullptr;
    return to_python_result(lint(text[0]));
  });
}

PyObject* py_default_policy_yaml(PyObject*, PyObject*) {
  return guarded([]() -> PyObject* { return to_python(engine::default_policy_text()); });
}

PyObject* py_builtin_policy_yaml(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    std::string name[1];
    if (!bind_text_arguments("builtin_policy_yaml", {"name"}, args, nargs, kwnames, name)) return nullptr;
    const auto text = engine::shipped_policy_text(name[0]);
    if (!text) Py_RETURN_NONE;
    return to_python(*text);
  });
}

PyObject* py_policy_resolve(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    std::string text[1];
    if (!bind_text_arguments("policy_resolve", {"yaml"}, args, nargs, kwnames, text)) return nullptr;
    return to_python_result(resolve(text[0]));
  });
}

}  // namespace qv::python
