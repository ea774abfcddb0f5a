// Building judge prompts and reading judge replies of realistic and large size.
#include <benchmark/benchmark.h>

#include <string>

#include "engine/judge_prompt.hpp"
#include "engine/judge_reply.hpp"

namespace {

using namespace qv;

// An answer of `claims` sentences and ten passages of about 4 KB each.
records::VerificationContext sample_context(int claims) {
  records::VerificationContext c;
  c.question = "How did revenue and margin change in fiscal 2024?";
  for (int i = 0; i < claims; ++i) {
    records::Claim claim;
    claim.id = "c" + std::to_string(i);
    claim.text = "Revenue in segment " + std::to_string(i) + " rose 12.5% to $4.2 billion.";
    c.answer += claim.text + " ";
    c.claims.push_back(std::move(claim));
  }
  for (int i = 0; i < 10; ++i) {
    records::Source s;
    s.id = "s" + std::to_string(i);
    s.provenance = {{"doc", "10-K"}, {"page", std::to_string(i + 1)}};
    while (s.text.size() < 4096) s.text += "Net revenue for the period increased by 12.5 percent year over year. ";
    c.sources.push_back(std::move(s));
  }
  c.scope = {{"company", "ACME"}, {"year", "2024"}};
  return c;
}

void BM_BuildPrompt(benchmark::State& state) {
  const records::VerificationContext c = sample_context(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(engine::build_judge_prompt(c, std::string("grounded")));
}
BENCHMARK(BM_BuildPrompt)->Arg(10)->Arg(200);

void BM_NeutralizeMarkerRuns(benchmark::State& state) {
  std::string text;
  while (text.size() < 1 << 20) text += "data <<<<< more >>>>>>>> ";
  for (auto _ : state) benchmark::DoNotOptimize(engine::neutralize_markers(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_NeutralizeMarkerRuns);

void BM_ParseReply(benchmark::State& state) {
  const engine::JudgePrompt prompt = engine::build_judge_prompt(sample_context(static_cast<int>(state.range(0))),
                                                                std::nullopt);
  std::string response = "Here is the verdict:\n```json\n{\"claims\": [";
  for (std::size_t i = 0; i < prompt.claims.size(); ++i) {
    if (i > 0) response += ", ";
    response += R"({"id": ")" + prompt.claims[i].first +
                R"(", "label": "supported", "passages": ["s1", "s3"], "reason": "the filing states it"})";
  }
  response += "]}\n```";
  const records::JudgeReply reply{"acme", "judge-model", response, std::nullopt};
  for (auto _ : state) benchmark::DoNotOptimize(engine::parse_judge_reply(prompt, reply));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * response.size()));
}
BENCHMARK(BM_ParseReply)->Arg(10)->Arg(2000);

}  // namespace

BENCHMARK_MAIN();
