// Text normalisation and the unicode layer on arbitrary bytes: nothing reads
// out of bounds, every output is well-formed UTF-8, and the forms that should
// be stable under a second application are.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/normalize.hpp"
#include "unicode/case.hpp"
#include "unicode/nfkc.hpp"
#include "unicode/quote.hpp"
#include "unicode/well_formed.hpp"
#include "unicode/white_space.hpp"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  namespace u = qv::unicode;

  const std::string normal = qv::text::normalize_text(in);
  check(u::is_well_formed_utf8(normal));
  check(normal.find('\r') == std::string::npos);
  check(normal.find("\n\n\n") == std::string::npos);
  check(normal.find("  ") == std::string::npos);
  check(u::trim_white_space(normal).size() == normal.size());
  check(qv::text::normalize_text(normal) == normal);

  const std::string k = u::nfkc(in);
  check(u::is_well_formed_utf8(k));
  check(u::nfkc(k) == k);

  const std::string quoted = u::debug_quote(in);
  check(quoted.size() >= 2 && quoted.front() == '"' && quoted.back() == '"');
  check(u::is_well_formed_utf8(quoted));
  for (char c : quoted) check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);

  check(u::is_well_formed_utf8(u::to_lowercase(in)));

  const std::string_view trimmed = u::trim_white_space(in);
  check(trimmed.data() >= in.data() && trimmed.data() + trimmed.size() <= in.data() + in.size());
  return 0;
}
