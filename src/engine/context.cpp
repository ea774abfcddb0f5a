#include "engine/context.hpp"

#include "text/normalize.hpp"

namespace qv::engine {

records::VerificationContext prepare_verification_context(const records::VerifyRequest& request,
                                                          const ClaimExtractor& extract_claims) {
  records::VerificationContext context;
  context.answer = text::normalize_text(request.answer);
  if (request.question) context.question = text::normalize_text(*request.question);
  context.sources.reserve(request.sources.size());
  for (const records::Source& source : request.sources) {
    records::Source& prepared = context.sources.emplace_back();
    prepared.id = source.id;
    prepared.text = text::normalize_text(source.text);
    prepared.locator = source.locator;
    prepared.provenance = source.provenance;
  }
  context.claims = extract_claims(context.answer, request.locale, request.numeric);
  // Both maps already hold their keys in byte order.
  context.scope = request.scope;
  context.metadata = request.metadata;
  context.locale = request.locale;
  return context;
}

}  // namespace qv::engine
