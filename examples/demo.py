"""Verifies a sample answer with quillaveen._engine and checks the sealed record.

The request in sample_request.json holds a question, an answer with figures,
three source passages with their provenance, a scope, one rule set and no
policy text, so the built-in default policy decides.
"""
import json
import pathlib
import textwrap

import quillaveen._engine as engine

request_text = (pathlib.Path(__file__).parent / "sample_request.json").read_text(encoding="utf-8")
request = json.loads(request_text)

print("engine version:", engine.engine_version())
print("question:", request["question"])
print("answer:")
print(textwrap.indent(textwrap.fill(request["answer"], 96), "  "))
print()

record_text = engine.verify_json(request_text)
record = json.loads(record_text)
content = record["content"]
graph = content["graph"]
outcome = content["outcome"]

print(f"policy: {outcome['policy_id']} v{outcome['policy_version']}  ({outcome['policy_hash']})")
print("verifiers that ran:", ", ".join(f"{v['id']} {v['version']}" for v in graph["verifiers"]))
for verifier_id, message in graph.get("failures", []):
    print(f"  failed: {verifier_id}: {message}")
print()

claims_by_id = {c["claim_id"]: c for c in outcome["claims"]}
print("findings:")
for e in graph["evidence"]:
    where = e["receipt"].get("source_id", "-")
    print(f"  {e['claim_id']:>4}  {e['verifier_id']:<24} {e['result']:<13} {where:<24} {e['rationale']}")
print()

print("decision per claim (only those not PASS):")
for c in outcome["claims"]:
    if c["decision"] != "PASS":
        print(f"  {c['claim_id']}: {c['decision']}")
        for reason in c["reasons"]:
            print(textwrap.indent(textwrap.fill(reason, 92), "      "))
print(f"  ({sum(1 for c in claims_by_id.values() if c['decision'] == 'PASS')} of {len(claims_by_id)} claims PASS)")
for reason in outcome.get("reasons", []):
    print("answer reason:", reason)
print("ANSWER DECISION:", outcome["decision"])
print()

print("sealed record:")
for key in ("record_id", "timestamp", "content_hash", "previous_record_hash", "record_hash", "signer_public_key",
            "signature"):
    value = record[key] if record[key] is not None else "none: the first record of its chain"
    print(f"  {key:<21} {value}")
print(f"  {'input_hash':<21} {content['input_hash']}")
print()

print("record_verify:", engine.record_verify(record_text), "record checked, hashes and signature intact")

tampered = json.loads(record_text)
tampered["content"]["outcome"]["decision"] = "PASS"
try:
    engine.record_verify(json.dumps(tampered))
except RuntimeError as e:
    print("after turning the decision into PASS:", e)
