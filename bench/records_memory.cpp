// Peak memory of the module's chain checks, as a multiple of the input:
// writes a chain of about 100 MB of sealed records (once with ASCII text
// only, once with non-ASCII text), then runs bench/chain_memory.py, which
// calls the module in child processes and reads each child's peak resident
// size. Also the signed document whose content is a 100 MB array of small
// integers: its peak and rate.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <unistd.h>

#include "record_content.hpp"
#include "records/seal.hpp"
#include "records/write.hpp"

namespace {

using namespace qv::records;

constexpr std::size_t kChainBytes = 100u << 20;

using qv::bench::content_of;

void write_chain(const std::filesystem::path& path, std::string_view rationale) {
  const SigningKey key = generate_signing_key();
  std::string text;
  text.reserve(kChainBytes + (64u << 10));
  std::optional<std::string> previous;
  for (std::size_t i = 0; text.size() < kChainBytes; ++i) {
    auto record = seal_evidence_record(content_of(i, rationale), previous, "rec_" + std::to_string(100000000000 + i),
                                       "2026-01-02T03:04:05Z", key)
                      .value();
    text += write_evidence_record_json(record);
    text += '\n';
    previous = record.record_hash;
  }
  std::ofstream(path, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace

int main() {
  const auto dir = std::filesystem::temp_directory_path() / ("qv_chain_memory_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string rationale = "revenue of 12.5 million matches the source table, as stated in the filing";
  write_chain(dir / "ascii.jsonl", rationale);
  write_chain(dir / "latin1.jsonl", "revenue of 12.5 million matches the source table, as stated in the d\xC3\xA9p\xC3\xB4t");
  write_chain(dir / "bmp.jsonl", "revenue of \xE2\x82\xAC" "12.5 million matches the source table, as stated in the filing");
  const std::string command = std::string("PYTHONPATH=") + QV_PYTHON_DIR + " /usr/bin/python3 " + QV_SOURCE_DIR +
                              "/bench/chain_memory.py " + dir.string();
  const int status = std::system(command.c_str());
  std::filesystem::remove_all(dir);
  return status == 0 ? 0 : 1;
}
