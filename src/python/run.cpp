// The run functions: verifying a whole MCP execution, and checking stored
// chains of run records.
#include <cstdint>
#include <expected>
#include <string>

#include "crypto/secret.hpp"
#include "python/frame.hpp"
#include "python/functions.hpp"
#include "run/convert.hpp"

namespace qv::python {

namespace {

// Every failure is malformed input or a refused request.
std::expected<std::string, PyFailure> verify_run(std::string_view request_json) {
  auto record = run::run_verify_json(request_json);
  if (!record) return std::unexpected(value_error(run::display(record.error())));
  return std::move(*record);
}

std::expected<std::uint64_t, PyFailure> verify_run_records(const std::string& jsonl) {
  const auto count = run::run_record_verify(jsonl);
  if (count) return *count;
  // A text that cannot be read is malformed input; every other failure is a
  // stored record that fails its check.
  const bool unreadable = count.error().kind() == core::EngineError::Kind::Serialisation;
  return std::unexpected(unreadable ? value_error(count.error().display()) : runtime_error(count.error().display()));
}

}  // namespace

PyObject* py_run_verify_json(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    std::string request_json[1];
    const bool bound = bind_text_arguments("run_verify_json", {"request_json"}, args, nargs, kwnames, request_json);
    const crypto::SecretText request(std::move(request_json[0]));  // it may hold a signing seed
    if (!bound) return nullptr;
    return to_python_result(verify_run(request.view()));
  });
}

PyObject* py_run_record_verify(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    std::string jsonl[1];
    if (!bind_text_arguments("run_record_verify", {"jsonl"}, args, nargs, kwnames, jsonl)) return nullptr;
    return to_python_result(verify_run_records(jsonl[0]));
  });
}

}  // namespace qv::python
