#include "verifiers/findings.hpp"

#include <algorithm>

namespace qv::verifiers {

void sort_findings_small(std::vector<records::Evidence>& findings) {
  if (findings.size() < 2) return;
  if (findings.size() < 21) {
    // Insertion sort: stable, and cheap on the short lists most requests give.
    for (std::size_t i = 1; i < findings.size(); ++i) {
      std::size_t j = i;
      while (j > 0 && records::evidence_before(findings[i], findings[j - 1])) --j;
      if (j != i) std::rotate(findings.begin() + static_cast<std::ptrdiff_t>(j),
                              findings.begin() + static_cast<std::ptrdiff_t>(i),
                              findings.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    }
    return;
  }
  std::stable_sort(findings.begin(), findings.end(), records::evidence_before);
}

}  // namespace qv::verifiers
