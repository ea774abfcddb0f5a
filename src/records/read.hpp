#pragma once
// Reading records and requests from JSON text. Each reader takes one whole
// document and returns the value or the JSON layer's error (message and
// position); callers report it through json_error_to_engine_error.
//
// Every object type reads as an object (members in any order, unknown
// members skipped, except in RegulatoryControl) or as an array of its
// members in declared order. Reading checks form only: hashes, links and
// signatures are checked elsewhere.
#include <string_view>

#include "json/error.hpp"
#include "records/record.hpp"
#include "records/request.hpp"

namespace qv::records {

json::JsonResult<EvidenceRecord> read_evidence_record_json(std::string_view text);
// A sealed record is accepted too: its signature members are skipped.
json::JsonResult<UnsignedRecord> read_unsigned_record_json(std::string_view text);
// The request of verify_json and its variants. A previous_record_hash given
// as the empty text reads as absent: it names no record, and a present but
// empty link is refused by every chain check.
json::JsonResult<VerifyRequest> deserialize_verify_request(std::string_view text);

}  // namespace qv::records
