#pragma once
// Reading records and requests from JSON text. Each reader takes one whole
// document and returns the value or the JSON layer's error (message and
// position); callers report it through json_error_to_engine_error.
//
// Every object type reads as an object (members in any order, unknown
// members skipped, except in RegulatoryControl) or as an array of its
// members in declared order. Reading checks form only: hashes, links and
// signatures are checked elsewhere.
//
// The reading tables are built from the member lists (records/members.hpp);
// the TypeReaders below serve any reader that meets these types inside a
// larger document.
#include <memory>
#include <string>
#include <string_view>

#include "core/error.hpp"
#include "crypto/secret.hpp"
#include "json/error.hpp"
#include "json/typed.hpp"
#include "json/vocabulary.hpp"
#include "records/members.hpp"
#include "records/types.hpp"

namespace qv::records {

namespace plain {
struct Context;  // the buffers of the record reader below (records/read_plain_steps.hpp)
}

json::JsonResult<EvidenceRecord> read_evidence_record_json(std::string_view text);
// A sealed record is accepted too: its signature members are skipped.
json::JsonResult<UnsignedRecord> read_unsigned_record_json(std::string_view text);
// The request of verify_json and its variants. A previous_record_hash given
// as the empty text reads as absent: it names no record, and a present but
// empty link is refused by every chain check.
json::JsonResult<VerifyRequest> deserialize_verify_request(std::string_view text);

// Reads sealed records one after another (the lines of a chain) into one
// record whose strings and lists are kept from one record to the next, and
// recomputes each record's content hash as soon as it is read. Each read
// gives what read_evidence_record_json gives for the same text: the whole
// record, or, for a reader that keeps the seal only, every member but the
// content (whose values are then unspecified; its hash is taken all the
// same), which is what checking a chain needs.
class EvidenceRecordReader {
 public:
  enum class Keep { Record, Seal };

  explicit EvidenceRecordReader(Keep keep = Keep::Record);
  ~EvidenceRecordReader();
  EvidenceRecordReader(const EvidenceRecordReader&) = delete;
  EvidenceRecordReader& operator=(const EvidenceRecordReader&) = delete;

  // Reads one record; on failure the reading error, and the record and its
  // hash are not to be used.
  json::JsonResult<void> read(std::string_view text);
  // Reads the record on the line that starts `text`, when it is in the
  // plain form the engine writes and its line ends with a line feed within
  // `text`: the line's length with its line feed, the record and its hash
  // as read() gives them for the line. Otherwise 0, and the record and its
  // hash are not to be used: the caller reads the line with read(). Saves a
  // caller the search for the line's end.
  std::size_t read_leading(std::string_view text);
  // The record last read, good until the next read.
  const EvidenceRecord& record() const { return record_; }
  // Its content hash, recomputed from its content (compute_content_hash).
  const core::Result<std::string>& content_hash() const { return content_hash_; }

 private:
  // The content hash of a record read in the plain form, from its canonical text.
  void take_content_hash();

  Keep keep_;
  EvidenceRecord record_;
  core::Result<std::string> content_hash_;
  std::unique_ptr<plain::Context> context_;  // buffers kept from one record to the next
};

}  // namespace qv::records

namespace qv::records::readers {

// The reading table of a type, built from its member list.
template <class T>
const json::StructTable<T>& table() {
  static const json::StructTable<T> t{Members<T>::name, json::fields_of<T>(Members<T>::list), kDenyUnknownFields<T>};
  return t;
}

const json::VariantTable<Determinism>& determinism_table();

}  // namespace qv::records::readers

namespace qv::json {

template <>
struct TypeReader<records::VerifierKind> : UnitEnumReader<records::VerifierKind, records::kVerifierKindWords> {};
template <>
struct TypeReader<records::EvidenceResult>
    : UnitEnumReader<records::EvidenceResult, records::kEvidenceResultWords> {};
template <>
struct TypeReader<records::Determinism>
    : TaggedReader<records::Determinism, &records::readers::determinism_table> {};

#define QV_RECORDS_STRUCT_READER(Type) \
  template <>                         \
  struct TypeReader<records::Type> : StructReader<records::Type, &records::readers::table<records::Type>> {};
QV_RECORDS_STRUCT_READER(Span)
QV_RECORDS_STRUCT_READER(Receipt)
QV_RECORDS_STRUCT_READER(Evidence)
QV_RECORDS_STRUCT_READER(VerifierInfo)
QV_RECORDS_STRUCT_READER(EvidenceGraph)
QV_RECORDS_STRUCT_READER(ClaimOutcome)
QV_RECORDS_STRUCT_READER(RegulatoryControl)
QV_RECORDS_STRUCT_READER(PolicyOutcome)
QV_RECORDS_STRUCT_READER(RecordContent)
QV_RECORDS_STRUCT_READER(EvidenceRecord)
QV_RECORDS_STRUCT_READER(UnsignedRecord)
QV_RECORDS_STRUCT_READER(Source)
QV_RECORDS_STRUCT_READER(MatchOptions)
QV_RECORDS_STRUCT_READER(NumericConfig)
QV_RECORDS_STRUCT_READER(JudgeReply)
QV_RECORDS_STRUCT_READER(StoredJudge)
QV_RECORDS_STRUCT_READER(VerifyRequest)
#undef QV_RECORDS_STRUCT_READER

// A secret text is read as a string and taken over without a copy left.
template <>
struct TypeReader<crypto::SecretText> {
  static JsonResult<void> read(Parser& p, crypto::SecretText& out);
  static JsonResult<void> from_value(const Value& v, crypto::SecretText& out);
};

}  // namespace qv::json
