// Reading execution policies (every error with its position) and the
// policy hash.
#include <gtest/gtest.h>

#include <string>

#include "crypto/sha256.hpp"
#include "run/policy.hpp"

namespace {

using namespace qv::run;

std::string error_of(std::string_view text) {
  auto p = deserialize_execution_policy(text);
  return p ? "read" : p.error().display();
}

// A policy with one rule given as `rule`.
std::string with_rule(std::string_view rule) {
  return R"({"id":"p","default":"ALLOW","rules":[)" + std::string(rule) + "]}";
}

TEST(PolicyReading, PolicyObjectErrors) {
  EXPECT_EQ(error_of(R"({"default":"ALLOW"})"), "missing field `id` at line 1 column 19");
  EXPECT_EQ(error_of(R"({"id":"p"})"), "missing field `default` at line 1 column 10");
  EXPECT_EQ(error_of(R"({"id":"p","default":"deny"})"),
            "unknown variant `deny`, expected one of `ALLOW`, `REVIEW`, `DENY` at line 1 column 26");
  EXPECT_EQ(error_of(R"({"id":"p","default":null})"), "expected value at line 1 column 21");
  EXPECT_EQ(error_of(R"({"id":"p","default":"ALLOW","rules":{}})"),
            "invalid type: map, expected a sequence at line 1 column 36");
  EXPECT_EQ(error_of(R"({"id":"p","rules":[],"rules":[],"default":"ALLOW"})"),
            "duplicate field `rules` at line 1 column 28");
  EXPECT_EQ(error_of("[]"), "invalid length 0, expected struct ExecutionPolicy with 4 elements at line 1 column 2");
  EXPECT_EQ(error_of(R"(["p",null,[]])"),
            "invalid length 3, expected struct ExecutionPolicy with 4 elements at line 1 column 13");
  EXPECT_EQ(error_of(R"("p")"), "invalid type: string \"p\", expected struct ExecutionPolicy at line 1 column 3");
}

TEST(PolicyReading, RuleErrorsInTheirOrder) {
  // The rule starts at column 38; errors found after its object stand at its `}`.
  EXPECT_EQ(error_of(with_rule(R"({"id":"r","match":"tool","effect":"DENY"})")),
            "missing field `name` at line 1 column 78");
  EXPECT_EQ(error_of(with_rule(R"({"id":"r","match":"Tool","effect":"DENY"})")),
            "unknown variant `Tool`, expected one of `tool`, `action`, `risk_at_least`, `any` at line 1 column 78");
  EXPECT_EQ(error_of(with_rule(R"({"match":"tool"})")), "missing field `id` at line 1 column 53");
  EXPECT_EQ(error_of(with_rule(R"({"id":"r","match":"any"})")), "missing field `effect` at line 1 column 61");
  EXPECT_EQ(error_of(with_rule(R"({"id":"r","effect":"DENY"})")), "missing field `match` at line 1 column 63");
  EXPECT_EQ(error_of(with_rule(R"({"id":"r","match":"any","match":"any","effect":"DENY"})")),
            "duplicate field `match` at line 1 column 91");  // found after the object
  EXPECT_EQ(error_of(with_rule(R"({"id":"r","match":4,"effect":"DENY"})")),
            "invalid value: integer `4`, expected variant index 0 <= i < 4 at line 1 column 73");
  EXPECT_EQ(error_of(with_rule(R"({"id":"r","match":null,"effect":"DENY"})")),
            "invalid type: null, expected variant identifier at line 1 column 76");
  EXPECT_EQ(error_of(with_rule(R"({"id":"r","match":2,"risk":1,"effect":"DENY"})")),
            "invalid type: integer `1`, expected string or map at line 1 column 82");
  EXPECT_EQ(error_of(with_rule(R"({"id":"r","match":2,"risk":{},"effect":"DENY"})")),
            "invalid value: map, expected map with a single key at line 1 column 83");
  EXPECT_EQ(error_of(with_rule(R"(["r","any","DENY"])")),
            "invalid type: sequence, expected struct Rule at line 1 column 37");
}

TEST(PolicyReading, AcceptedForms) {
  auto p = deserialize_execution_policy(
      R"({"x":[1,{"y":2}],"rules":[{"id":"a","match":2,"risk":{"high":null},"effect":{"DENY":null}},)"
      R"({"id":"b","match":"any","name":"ignored","effect":"REVIEW"},)"
      R"({"id":"c","match":"tool","name":"rm","server":null,"effect":"ALLOW","z":0}],)"
      R"("hash":null,"default":"REVIEW","id":"p"})");
  ASSERT_TRUE(p) << p.error().display();
  EXPECT_EQ(p->id, "p");
  EXPECT_FALSE(p->hash);
  EXPECT_EQ(p->default_effect, Effect::Review);
  ASSERT_EQ(p->rules.size(), 3u);
  EXPECT_EQ(p->rules[0], (ExecutionRule{"a", RuleMatch{RuleMatch::Kind::RiskAtLeast, "", {}, "", RiskLevel::High},
                                        Effect::Deny}));
  EXPECT_EQ(p->rules[1].match, RuleMatch{});
  EXPECT_EQ(p->rules[2].match, (RuleMatch{RuleMatch::Kind::Tool, "rm", {}, "", RiskLevel::Low}));
  // Array form: hash and rules may be left at their defaults only before `default`.
  auto a = deserialize_execution_policy(R"(["p","given",[],"DENY"])");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->hash, "given");
  EXPECT_EQ(a->default_effect, Effect::Deny);
}

TEST(PolicyHash, KnownTextAndInvariance) {
  const std::string canonical =
      R"({"default":"DENY","id":"p","rules":[{"effect":"DENY","id":"r1","match":"tool","name":"rm","server":"fs"},)"
      R"({"effect":"REVIEW","id":"r2","match":"risk_at_least","risk":"high"},)"
      R"({"effect":"ALLOW","id":"r3","match":"action","operation":"read"},{"effect":"ALLOW","id":"r4","match":"any"}]})";
  const std::string expected = "sha256:" + qv::crypto::sha256_hex(canonical);
  auto hash_of = [](std::string_view text) { return execution_policy_hash(deserialize_execution_policy(text).value()).value(); };
  EXPECT_EQ(hash_of(canonical), expected);
  // Member order, unknown members, a stated hash and the object forms of
  // the words do not enter the hash.
  EXPECT_EQ(hash_of(R"({"rules":[{"server":"fs","name":"rm","match":0,"effect":"DENY","id":"r1","note":1},)"
                    R"({"risk":{"high":null},"match":"risk_at_least","id":"r2","effect":{"REVIEW":null}},)"
                    R"({"id":"r3","match":"action","operation":"read","name":"x","effect":"ALLOW"},)"
                    R"({"id":"r4","match":3,"effect":"ALLOW"}],"hash":"h","id":"p","default":"DENY","extra":{}})"),
            expected);
  // The order of the rules does.
  EXPECT_NE(hash_of(R"({"default":"DENY","id":"p","rules":[{"effect":"ALLOW","id":"r4","match":"any"},)"
                    R"({"effect":"DENY","id":"r1","match":"tool","name":"rm","server":"fs"}]})"),
            hash_of(R"({"default":"DENY","id":"p","rules":[{"effect":"DENY","id":"r1","match":"tool","name":"rm","server":"fs"},)"
                    R"({"effect":"ALLOW","id":"r4","match":"any"}]})"));
  EXPECT_EQ(hash_of(R"({"id":"p","default":"ALLOW"})"),
            "sha256:" + qv::crypto::sha256_hex(R"({"default":"ALLOW","id":"p","rules":[]})"));
}

}  // namespace
