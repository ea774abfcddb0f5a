#include "engine/graph.hpp"

#include <algorithm>
#include <iterator>
#include <string>
#include <utility>

namespace qv::engine {

// Each list is already in order, so an addition is a stable sort of the new
// items merged behind the old ones: equal keys keep the old items first,
// which is what a stable sort of the whole list would give, without sorting
// the whole list again for every verifier.

void add_verifier_evidence(records::EvidenceGraph& graph, records::VerifierInfo info,
                           std::vector<records::Evidence> items) {
  auto& verifiers = graph.verifiers;
  const auto at = std::upper_bound(verifiers.begin(), verifiers.end(), info.id,
                                   [](const std::string& id, const records::VerifierInfo& v) { return id < v.id; });
  verifiers.insert(at, std::move(info));

  if (items.empty()) return;
  std::stable_sort(items.begin(), items.end(), evidence_less);
  auto& evidence = graph.evidence;
  const auto old_size = static_cast<std::ptrdiff_t>(evidence.size());
  evidence.insert(evidence.end(), std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()));
  std::inplace_merge(evidence.begin(), evidence.begin() + old_size, evidence.end(), evidence_less);
}

void add_verifier_failure(records::EvidenceGraph& graph, std::string_view id, std::string_view message) {
  auto& failures = graph.failures;
  const auto key = std::pair<std::string_view, std::string_view>(id, message);
  const auto at = std::upper_bound(failures.begin(), failures.end(), key, [](const auto& k, const records::TextPair& f) {
    return k < std::pair<std::string_view, std::string_view>(f.first, f.second);
  });
  failures.emplace(at, std::string(id), std::string(message));
}

}  // namespace qv::engine
