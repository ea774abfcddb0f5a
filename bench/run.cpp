// Run verification on MCP transcripts of 10,000 and 100,000 lines (the
// same mix of tool calls, responses, sampling and notifications, with
// numbers written as clients write them), and the
// check of a stored chain of 10,000 run records beside the bare libsodium
// verification of the same signatures.
#include <benchmark/benchmark.h>
#include <sodium.h>

#include <array>
#include <ctime>
#include <cstdint>
#include <string>
#include <vector>

#include "crypto/hex.hpp"
#include "json/writer.hpp"
#include "over_bare.hpp"
#include "run/convert.hpp"
#include "run/record.hpp"

namespace {

constexpr const char* kSeed = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60";

// A line of the transcript: a cycle of ten messages.
std::string message(std::size_t i) {
  const std::string id = std::to_string(i / 10);
  const std::string ts = "\"ts\":\"2026-01-01T00:" + std::to_string(10 + i % 50) + ":00Z\"";
  switch (i % 10) {
    case 0:
      return R"({"jsonrpc":"2.0","id":)" + id + R"(,"method":"tools/call","params":{"name":"read_file","arguments":{"path":"/data/report-)" +
             id + R"(.csv","limit":100,"threshold":2.50E-1}},)" + ts + "}";
    case 1:
      return R"({"jsonrpc":"2.0","id":)" + id + R"(,"result":{"content":[{"type":"text","text":"rows 1-100 of the quarterly figures"}],"isError":false}})";
    case 2:
      return R"({"jsonrpc":"2.0","method":"notifications/progress","params":{"progressToken":)" + id + R"(,"progress":50}})";
    case 3:
      return R"({"jsonrpc":"2.0","id":"s)" + id + R"(","method":"sampling/createMessage","params":{"messages":[{"role":"user","content":{"type":"text","text":"Summarise"}}],"maxTokens":200,"temperature":0.70},)" + ts + "}";
    case 4:
      return R"({"jsonrpc":"2.0","id":"s)" + id + R"(","result":{"role":"assistant","model":"model-a","content":{"type":"text","text":"Revenue rose 4.2%"}}})";
    case 5:
      return R"({"jsonrpc":"2.0","id":)" + id + R"(,"method":"tools/call","params":{"name":"write_file","arguments":{"path":"/out/)" + id +
             R"(.txt","content":"summary"}},)" + ts + "}";
    case 6:
      return R"({"jsonrpc":"2.0","id":)" + id + R"(,"error":{"code":-32000,"message":"read-only file system"}})";
    case 7:
      return R"({"jsonrpc":"2.0","id":)" + id + R"(,"method":"resources/list","params":{}})";
    case 8:
      return R"({"jsonrpc":"2.0","id":)" + id + R"(,"result":{"resources":[]}})";
    default:
      return R"({"jsonrpc":"2.0","method":"notifications/message","params":{"level":"info","data":"step done"}})";
  }
}

std::string request_of(std::size_t lines) {
  std::string trace;
  for (std::size_t i = 0; i < lines; ++i) {
    trace += message(i);
    trace += '\n';
  }
  const std::string policy =
      R"({"id":"ops","default":"ALLOW","rules":[{"id":"w","match":"tool","name":"write_file","effect":"REVIEW"},)"
      R"({"id":"d","match":"tool","name":"delete_file","effect":"DENY"}]})";
  std::string request = R"({"trace":)";
  qv::json::write_json_string(trace, request);
  request += R"(,"policy_json":)";
  qv::json::write_json_string(policy, request);
  request += R"(,"run_id":"bench","system_id":"agent","started_at":"2026-01-01T00:00:00Z","signing_key_hex":")";
  request += kSeed;
  request += "\"}";
  return request;
}

void verify_lines(benchmark::State& state, const std::string& request, std::size_t lines) {
  for (auto _ : state) {
    auto record = qv::run::run_verify_json(request);
    if (!record) state.SkipWithError("not verified");
    benchmark::DoNotOptimize(record);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * lines));
}

// The CPU time of the calling thread: the machine's other work does not
// count, as it would in the wall-clock time of a loaded machine.
double thread_seconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Both sizes one after the other in every iteration: `lines_per_s_10k` and
// `lines_per_s_100k` are the rates, `ratio_100k_over_10k` the 100,000-line
// time over the 10,000-line time (10 for linear cost).
void BM_RunVerify10kAnd100k(benchmark::State& state) {
  static const std::string small = request_of(10000);
  static const std::string large = request_of(100000);
  double small_s = 0;
  double large_s = 0;
  for (auto _ : state) {
    const double t0 = thread_seconds();
    auto a = qv::run::run_verify_json(small);
    const double t1 = thread_seconds();
    auto b = qv::run::run_verify_json(large);
    const double t2 = thread_seconds();
    if (!a || !b) state.SkipWithError("not verified");
    small_s += t1 - t0;
    large_s += t2 - t1;
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters["lines_per_s_10k"] = runs * 10000 / small_s;
  state.counters["lines_per_s_100k"] = runs * 100000 / large_s;
  state.counters["ratio_100k_over_10k"] = large_s / small_s;
}
BENCHMARK(BM_RunVerify10kAnd100k)->Unit(benchmark::kMillisecond)->MinTime(3.0)->Repetitions(5)->DisplayAggregatesOnly(true);

void BM_RunVerify10k(benchmark::State& state) {
  static const std::string request = request_of(10000);
  verify_lines(state, request, 10000);
}
BENCHMARK(BM_RunVerify10k)->Unit(benchmark::kMillisecond);

constexpr std::size_t kRecords = 10000;

struct Chain {
  std::string jsonl;
  std::vector<std::string> messages;
  std::vector<std::array<unsigned char, 64>> signatures;
  std::vector<std::array<unsigned char, 32>> keys;
};

// 10,000 run records, each from a short run, linked one to the next.
const Chain& chain() {
  static const Chain c = [] {
    Chain out;
    std::string previous;
    for (std::size_t i = 0; i < kRecords; ++i) {
      std::string trace = message(10 * i) + "\n" + message(10 * i + 1) + "\n" + message(10 * i + 5);
      std::string request = R"({"trace":)";
      qv::json::write_json_string(trace, request);
      request += R"(,"policy_json":"{\"id\":\"ops\",\"default\":\"REVIEW\"}","run_id":"run-)" + std::to_string(i) +
                 R"(","system_id":"agent")";
      if (!previous.empty()) request += R"(,"previous_record_hash":")" + previous + "\"";
      request += "}";
      const std::string text = qv::run::run_verify_json(request).value();
      const auto record = qv::run::read_run_record_json(text).value();
      out.jsonl += text;
      out.jsonl += '\n';
      out.messages.push_back(record.record_hash);
      std::array<unsigned char, 64> sig{};
      (void)qv::crypto::decode_hex_into(record.signature, sig);
      out.signatures.push_back(sig);
      std::array<unsigned char, 32> key{};
      (void)qv::crypto::decode_hex_into(record.signer_public_key, key);
      out.keys.push_back(key);
      previous = record.record_hash;
    }
    return out;
  }();
  return c;
}

// run_record_verify beside the bare verification of the same signatures.
void BM_RunRecordVerifyOverBare10k(benchmark::State& state) {
  const Chain& c = chain();
  measure_over_bare(state, c, kRecords, [&] { return qv::run::run_record_verify(c.jsonl); });
}
BENCHMARK(BM_RunRecordVerifyOverBare10k)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
