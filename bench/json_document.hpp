#pragma once
// The sample document of the JSON and document benchmarks.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

namespace qv::bench {

// A record-like report of about 1 MB: objects with ids, texts with escapes
// and non-ASCII, integers, short lists, and floats in the forms that texts
// from elsewhere hold, not only the writer's own shortest form: shortest
// digits as a writer of doubles gives them (often 16 or 17), two-place
// fixed forms ("0.50", "1.00"), 17 significant digits ("0.10000000000000001"),
// whole numbers written as floats ("12.0", "3500.00"), exponent forms in
// either case and sign ("1e3", "2.5E-5", "4e+2") and four-place fixed forms
// ("0.1000"). Built as text, as the engine's own writer would write every
// float in its shortest form. Its member order is not the canonical one.
inline const std::string& document() {
  static const std::string doc = [] {
    std::mt19937_64 rng(7);
    std::string out = "[";
    char buf[64];
    const auto add = [&](const char* format, auto... args) {
      const int n = std::snprintf(buf, sizeof buf, format, args...);
      out.append(buf, static_cast<std::size_t>(n));
    };
    const auto uniform = [&] { return static_cast<double>(rng() % 1000000) / 999983.0; };
    static const char* const kExponents[] = {"1e3", "2.5E-5", "4e+2", "1E-5", "7.25e-3", "3e6", "1.5E+2", "6e-1"};
    for (std::size_t i = 0; out.size() < (1u << 20); ++i) {
      if (i) out += ',';
      out += R"({"verifier_id":"quillaveen.numeric","claim_id":"c)" + std::to_string(i);
      out += R"(","result":"supported","score":)";
      const auto shortest = std::to_chars(buf, buf + sizeof buf, uniform());
      out.append(buf, shortest.ptr);
      out += ",\"confidence\":";
      add("%.2f", 0.5 + static_cast<double>(rng() % 51) / 100.0);
      out += R"(,"receipt":{"source_id":"doc-)" + std::to_string(rng() % 1000);
      out += R"(","source_span":[)" + std::to_string(rng() % 5000) + "," + std::to_string(rng() % 5000 + 5000);
      out += R"(],"source_text":"Revenue rose 12.5% to )" "\xE2\x82\xAC" + std::to_string(rng() % 100000);
      out += R"( million in \"Q3\"\n(restated).","notes":["unit_match","scale_million"]},"measure":{"value":)";
      add("%.17g", 1000.0 * uniform());
      out += ",\"expected\":";
      add(i % 2 ? "%.1f" : "%.2f", static_cast<double>(rng() % 5000));
      out += ",\"tolerance\":";
      out += kExponents[i % 8];
      out += ",\"ratio\":";
      add("%.4f", static_cast<double>(rng() % 20000) / 10000.0);
      out += ",\"shortest\":";
      add("%.6g", 0.001 * static_cast<double>(rng() % 100000));
      out += R"(,"unit":"EUR","count":)" + std::to_string(rng() % 100);
      out += R"(},"determinism":{}})";
    }
    out += ']';
    return out;
  }();
  return doc;
}

}  // namespace qv::bench
