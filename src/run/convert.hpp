#pragma once
// The two run functions of the module as text in, result out: reading the
// argument, the one call into run verification, and writing the result.
#include <cstdint>
#include <string>
#include <string_view>

#include "core/error.hpp"
#include "records/call.hpp"

namespace qv::run {

// Reads a RunVerifyRequest (an InputError with the reader's message and
// position), verifies the run (its EngineError) and returns the sealed run
// record's JSON text.
records::CallResult<std::string> run_verify_json(std::string_view request_json);

// Reads every run record of a JSON Lines text first (a line that cannot be
// read is Serialisation), then checks the chain (Integrity). Returns the
// number of records.
core::Result<std::uint64_t> run_record_verify(std::string_view jsonl);

}  // namespace qv::run
