// Reads hostile text as a judge's reply and as data inside a judge prompt.
// The reply always gives one finding per prompt claim with well-formed
// texts; the prompt's own fences stay the only markers in it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/utf8.hpp"
#include "engine/judge_prompt.hpp"
#include "engine/judge_reply.hpp"

namespace {

std::size_t count(std::string_view text, std::string_view marker) {
  std::size_t n = 0;
  for (std::size_t at = text.find(marker); at != std::string_view::npos; at = text.find(marker, at + marker.size())) {
    ++n;
  }
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  using namespace qv;

  records::VerificationContext context;
  context.answer = std::string(text);
  context.question = std::string(text);
  records::Source source;
  source.id = "s1";
  source.text = std::string(text);
  context.sources.push_back(source);
  for (const char* id : {"c0", "c1", "c2"}) {
    records::Claim c;
    c.id = id;
    c.text = std::string(text);
    context.claims.push_back(c);
  }
  const engine::JudgePrompt prompt = engine::build_judge_prompt(context, std::string(text));
  // The question, answer and passage fences and one per claim; data next to
  // a fence may lengthen its run but never adds a marker.
  if (count(prompt.user, "<<<") != 6 || count(prompt.user, ">>>") != 6) std::abort();

  records::JudgeReply reply{std::string(text), "m", std::string(text), std::nullopt};
  const auto found = engine::parse_judge_reply(prompt, reply);
  if (found.size() != prompt.claims.size()) std::abort();
  for (std::size_t i = 0; i < found.size(); ++i) {
    if (found[i].claim_id != prompt.claims[i].first) std::abort();
    if (core::is_valid_utf8(text) && !core::is_valid_utf8(found[i].rationale)) std::abort();
  }
  return 0;
}
