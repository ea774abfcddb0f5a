#pragma once
// The two run functions of the module as text in, result out: reading the
// argument, the one call into run verification, and writing the result.
#include <cstdint>
#include <expected>
#include <string>
#include <string_view>
#include <variant>

#include "core/error.hpp"
#include "json/error.hpp"

namespace qv::run {

// A request that cannot be read (the reader's message and position), or a
// run that cannot be verified (the engine error).
using RunVerifyFailure = std::variant<json::JsonError, core::EngineError>;
std::string display(const RunVerifyFailure& failure);

// Reads a RunVerifyRequest, verifies the run and returns the sealed run
// record's JSON text.
std::expected<std::string, RunVerifyFailure> run_verify_json(std::string_view request_json);

// Reads every run record of a JSON Lines text first (a line that cannot be
// read is Serialisation), then checks the chain (Integrity). Returns the
// number of records.
core::Result<std::uint64_t> run_record_verify(std::string_view jsonl);

}  // namespace qv::run
