#include "run/convert.hpp"

#include "run/driver.hpp"
#include "run/record.hpp"

namespace qv::run {

records::CallResult<std::string> run_verify_json(std::string_view request_json) {
  const auto request = deserialize_run_verify_request(request_json);
  if (!request) return std::unexpected(records::InputError{request.error().display()});
  const auto record = verify_run(*request);
  if (!record) return std::unexpected(record.error());
  return write_run_record_json(*record);
}

core::Result<std::uint64_t> run_record_verify(std::string_view jsonl) {
  const auto records = parse_run_records_jsonl(jsonl);
  if (!records) return std::unexpected(records.error());
  return check_run_record_chain(*records);
}

}  // namespace qv::run
