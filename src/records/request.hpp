#pragma once
// The request of verify_json and its variants.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/vocabulary.hpp"
#include "records/graph.hpp"
#include "crypto/secret.hpp"
#include "records/text_map.hpp"

namespace qv::records {

using core::RoundingRule;

// A map of text to text held in byte order of its keys.
using SortedMap = std::map<std::string, std::string>;

// One source passage the answer was drawn from.
struct Source {
  std::string id;
  std::string text;
  std::optional<std::string> locator;
  InsertionMap provenance;  // in first-insertion order
  bool operator==(const Source&) const = default;
};

struct MatchOptions {
  bool declared_precision = false;
  bool percent_as_fraction = false;
  bool operator==(const MatchOptions&) const = default;
};

// The numeric verifier's options.
struct NumericConfig {
  MatchOptions matching;
  bool units = true;
  bool derive = true;
  RoundingRule rounding = RoundingRule::WithinLastDigit;
  bool operator==(const NumericConfig&) const = default;
};

// A language-model judge's reply to the prompt the engine built.
struct JudgeReply {
  std::string adapter;
  std::string model;
  std::optional<std::string> response;
  std::optional<std::string> error;
  bool operator==(const JudgeReply&) const = default;
};

// Judge evidence kept from an earlier run, to be reused.
struct StoredJudge {
  VerifierInfo info;
  std::vector<Evidence> evidence;
  std::optional<std::string> failure;
  bool operator==(const StoredJudge&) const = default;
};

struct VerifyRequest {
  std::string answer;
  std::vector<Source> sources;
  std::optional<std::string> question;
  std::string locale = core::default_locale();
  std::string policy_yaml;
  std::vector<std::string> rule_sets_json;
  NumericConfig numeric;
  std::optional<crypto::SecretText> signing_key_hex;  // the Ed25519 seed in hex
  // Never the empty text: a request that gives "" reads as giving none.
  std::optional<std::string> previous_record_hash;
  SortedMap metadata;
  SortedMap scope;
  std::optional<std::string> risk_class;
  std::optional<JudgeReply> judge;
  std::optional<StoredJudge> judge_evidence;
  bool operator==(const VerifyRequest&) const = default;
};

}  // namespace qv::records
