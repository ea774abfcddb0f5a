"""The verification functions: requests to sealed records, checked against the
independent hashing and signing code of the oracle module."""
import copy
import json
import pathlib

import pytest

from oracle import canonical, digest, ed25519_sign, jsonl, record_hash

SAMPLE = json.loads((pathlib.Path(__file__).parents[2] / "examples" / "sample_request.json").read_text())
SEED = bytes(range(32))


def run(engine, request, fn="verify_json"):
    return json.loads(getattr(engine, fn)(json.dumps(request)))


def request(**changes):
    r = copy.deepcopy(SAMPLE)
    r.update(changes)
    return r


def findings(record):
    return [(e["claim_id"], e["verifier_id"], e["result"]) for e in record["content"]["graph"]["evidence"]]


def test_sealed_record_against_the_oracle(engine):
    record = run(engine, request(signing_key_hex=SEED.hex().upper()))
    assert list(record) == ["record_id", "timestamp", "content", "content_hash", "previous_record_hash",
                            "record_hash", "signature", "signer_public_key"]
    content = record["content"]
    assert record["content_hash"] == digest(canonical(content))
    assert record["record_id"].startswith("rec_" + record["content_hash"][7:19] + "_")
    assert len(record["record_id"]) == 29 and len(record["timestamp"]) == 20 and record["timestamp"].endswith("Z")
    assert record["record_hash"] == record_hash(record["content_hash"], None, record["record_id"],
                                                record["timestamp"])
    public, signature = ed25519_sign(SEED, record["record_hash"].encode())
    assert (record["signer_public_key"], record["signature"]) == (public.hex(), signature.hex())
    assert engine.record_verify(json.dumps(record)) == 1

    assert content["schema"] == "quillaveen.evidence-record/1"
    assert content["bundle_hash"] == "sha256:unbundled" and content["locale"] == "en"
    assert [v["id"] for v in content["graph"]["verifiers"]] == [
        "quillaveen.intent", "quillaveen.numeric", "quillaveen.rules.house", "quillaveen.scope"]
    rules = content["graph"]["verifiers"][2]
    assert rules["artefacts"] == [["ruleset", digest(canonical(json.loads(SAMPLE["rule_sets_json"][0])))]]
    assert "failures" not in content["graph"]
    assert findings(record) == sorted(findings(record), key=lambda f: (f[0].encode(), f[1].encode()))
    outcome = content["outcome"]
    assert outcome["decision"] == "FAIL" and outcome["policy_id"] == "quillaveen_default_v1"
    failing = [c for c in outcome["claims"] if c["decision"] != "PASS"]
    assert [c["decision"] for c in failing] == ["FAIL"]
    assert failing[0]["reasons"][0].startswith("quillaveen.numeric contradicted: EUR 1.2 billion not in sources")

    # The built-in policy's hash, kept from its first reading, is the one the
    # same policy gets when a request spells it out.
    spelt_out = request(policy_yaml=engine.builtin_policy_yaml("quillaveen_default_v1"))
    named = run(engine, spelt_out)["content"]["outcome"]
    assert outcome["policy_hash"] == named["policy_hash"] == engine.policy_lint("quillaveen_default_v1")[0]

    # The next record chains to this one.
    second = run(engine, request(previous_record_hash=record["record_hash"]))
    assert second["previous_record_hash"] == record["record_hash"]
    assert engine.record_verify(jsonl([record, second])) == 2


def test_runs_agree_on_content(engine):
    keyed = request(signing_key_hex=SEED.hex())
    a, b = run(engine, keyed), run(engine, keyed)
    timed = run(engine, keyed, "verify_timed_json")
    assert list(timed) == ["record", "timings"]
    for other in (b, timed["record"]):
        assert other["content"] == a["content"] and other["content_hash"] == a["content_hash"]
        assert other["record_id"] != a["record_id"] and other["signer_public_key"] == a["signer_public_key"]
    assert run(engine, request())["signer_public_key"] != run(engine, request())["signer_public_key"]
    ids = [v[0] for v in timed["timings"]["verifiers"]]
    assert ids == ["quillaveen.numeric", "quillaveen.scope", "quillaveen.intent", "quillaveen.rules.house"]
    assert all(isinstance(us, int) for _, us in timed["timings"]["verifiers"])
    assert timed["timings"]["total_us"] >= sum(us for _, us in timed["timings"]["verifiers"])


def test_unsigned_record_signed_outside(engine):
    unsigned = run(engine, request(signing_key_hex="not even hex"), "verify_unsigned_json")
    assert list(unsigned) == ["record_id", "timestamp", "content", "content_hash", "previous_record_hash",
                              "record_hash"]
    assert unsigned["previous_record_hash"] is None
    public, signature = ed25519_sign(SEED, unsigned["record_hash"].encode())
    sealed = engine.attach_signature_json(json.dumps(unsigned), "ed25519", public.hex(), signature.hex())
    assert engine.record_verify(sealed) == 1
    timed = run(engine, request(), "verify_unsigned_timed_json")
    assert list(timed) == ["record", "timings"] and "signature" not in timed["record"]


def decision(engine, **changes):
    return run(engine, request(**changes))["content"]["outcome"]


def test_decision_paths(engine):
    fixed = SAMPLE["answer"].replace("EUR 1.2 billion", "EUR 1.1 billion")
    assert decision(engine, answer=fixed)["decision"] == "PASS"
    review = decision(engine, answer=fixed + " The grid spans 730 km.")
    assert review["decision"] == "REVIEW"
    assert any(r.startswith("quillaveen.numeric unsupported: 730 km")
               for c in review["claims"] for r in c["reasons"])

    # Required and excluded verifiers: the scope verifier is known to lint but
    # not built without a scope; the judge is forbidden by the default policy.
    policy = "extends: quillaveen_default_v1\nid: p\nversion: '1'\nverifiers:\n  required: [quillaveen.scope]\n"
    reply = {"adapter": "acme", "model": "m1", "response": '{"claims": []}'}
    out = decision(engine, answer=fixed, scope={}, policy_yaml=policy)
    assert out["missing_required"] == ["quillaveen.scope"] and out["decision"] == "REVIEW"
    assert out.get("reasons", []) == []
    out = decision(engine, answer=fixed, judge=reply)
    assert out["excluded_verifiers"] == [["llm_judge.acme", "forbidden by policy"]]
    assert out["decision"] == "PASS"

    # Regulatory controls of the decision reached, under the shipped EU policy.
    eu = engine.builtin_policy_yaml("eu_ai_act_high_risk_v1")
    out = decision(engine, policy_yaml=eu)
    assert [c["control"] for c in out["regulatory_mapping"]] == ["accuracy-of-outputs", "automatic-record-keeping"]
    assert out["regulatory_mapping"][0]["triggered_by"] == ["FAIL"]

    # A verifier that cannot run is recorded, and the request goes on.
    content = run(engine, request(locale="xx"))["content"]
    assert content["graph"]["failures"] == [["quillaveen.numeric", "invalid input: unknown locale xx"],
                                            ["quillaveen.scope", "invalid input: unknown locale xx"]]
    assert content["outcome"]["reasons"][0] == (
        "verifier_failed: quillaveen.numeric could not run: invalid input: unknown locale xx")


# Figures as filings write them, each (answer, source, locale, decision, the
# numeric finding's result and notes).
FILING_FIGURES = [
    # A rise written with a plus sign in parentheses beside a figure.
    ("Revenue grew 8.2%.", "Revenue EUR 4.31 billion (+8.2%).", "en", "PASS", "supported", []),
    ("Der Umsatz stieg um 3,5 %.", "Umsatz 4,31 Mrd. EUR (+3,5 %).", "de", "PASS", "supported", []),
    # Accounting parentheses, alone or with a minus sign, still negate once.
    ("The result was -2,500.", "Net result (2,500).", "en", "PASS", "supported", []),
    ("The result was -2,500.", "Net result (-2,500).", "en", "PASS", "supported", []),
    # A figure that differs only in its sign is neither support nor a contradiction.
    ("The result was 2,500.", "Net result (2,500).", "en", "REVIEW", "unsupported", ["sign_differs"]),
    # A table in thousands does not support its digits stated in millions.
    ("Revenue was 4,310 million.", "(in thousands) Revenue | 4,310", "en", "FAIL", "contradicted", []),
    ("Revenue was 4,310 thousand.", "(in thousands) Revenue | 4,310", "en", "PASS", "supported",
     ["unit_or_scale_on_one_side"]),
    ("Revenue was $4.31 billion.", "(in millions) Revenue | 4,310", "en", "PASS", "supported",
     ["dimension_mismatch", "scale_from_header"]),
    ("Revenue was 4,310 million.", "Revenue | 4,310", "en", "PASS", "supported", ["unit_or_scale_on_one_side"]),
    # Its digits stated in thousands are a thousandth of its value.
    ("Revenue was $48.21 thousand.", "(in thousands)\nRevenue | $48,210 | $45,390", "en", "FAIL", "contradicted", []),
]


def test_equality_under_a_declared_scale_comes_before_the_sign(engine):
    # Another source holds the claim with its sign turned; a policy that
    # tolerates a sign difference still gets the one significant digit.
    policy = ("id: losses\nversion: '1'\nextends: quillaveen_default_v1\n"
              "decision:\n  tolerate_notes: [year_not_in_sources, sign_differs]\n")
    record = json.loads(engine.verify_unsigned_json(json.dumps({
        "answer": "Revenue was $5 million.", "locale": "en", "policy_yaml": policy,
        "sources": [{"id": "s1", "text": "(in thousands)\nRevenue | $5,000 | $7,000"},
                    {"id": "s2", "text": "Net loss -$5 million"}]})))
    (numeric,) = [e for e in record["content"]["graph"]["evidence"] if e["verifier_id"] == "quillaveen.numeric"]
    assert (numeric["result"], numeric["receipt"]["source_id"], numeric["receipt"].get("notes", [])) == (
        "unsupported", "s1", [])
    assert record["content"]["outcome"]["decision"] == "REVIEW"


@pytest.mark.parametrize("answer,source,locale,verdict,result,notes", FILING_FIGURES)
def test_filing_figures(engine, answer, source, locale, verdict, result, notes):
    record = json.loads(engine.verify_unsigned_json(json.dumps(
        {"answer": answer, "sources": [{"id": "s", "text": source}], "locale": locale})))
    numeric = [e for e in record["content"]["graph"]["evidence"] if e["verifier_id"] == "quillaveen.numeric"]
    assert len(numeric) == 1
    assert (numeric[0]["result"], numeric[0]["receipt"].get("notes", [])) == (result, notes)
    assert record["content"]["outcome"]["decision"] == verdict


def test_policy_locale_replaces_the_request_locale(engine):
    figures = {"answer": "It weighs 1.234 kg.", "sources": [{"id": "s", "text": "It weighs 1234 kg."}],
               "locale": "en"}
    as_request = json.loads(engine.verify_unsigned_json(json.dumps(figures)))["content"]
    assert as_request["locale"] == "en" and as_request["outcome"]["decision"] == "FAIL"
    german = "extends: quillaveen_default_v1\nid: p\nversion: '1'\nlocale: de\n"
    content = json.loads(engine.verify_unsigned_json(json.dumps(dict(figures, policy_yaml=german))))["content"]
    assert content["locale"] == "de"
    [finding] = [e for e in content["graph"]["evidence"] if e["verifier_id"] == "quillaveen.numeric"]
    assert (finding["result"], finding["rationale"]) == ("supported", "1.234 kg = 1234 kg in s (1234 kg)")
    assert content["outcome"]["decision"] == "PASS"


def test_refused_requests(engine):
    def error(fn="verify_json", **changes):
        with pytest.raises(ValueError) as e:
            getattr(engine, fn)(json.dumps(request(**changes)))
        assert len(e.value.args) == 1
        return e.value.args[0]

    with pytest.raises(ValueError, match=r"^missing field `answer` at line 1 column \d+$"):
        engine.verify_json(json.dumps({"sources": []}))
    with pytest.raises(TypeError):
        engine.verify_json(b"{}")
    # Lint ends the request before any verifier or the judge inputs.
    both = {"judge": {"adapter": "a", "model": "m"},
            "judge_evidence": {"info": {"id": "llm_judge.a", "version": "1", "kind": "generative",
                                        "determinism": {"class": "non_deterministic"}, "applies_to": [],
                                        "needs_network": True}, "evidence": []}}
    lint = error(policy_yaml="id: p\nversion: '1'\nverifiers: {required: [acme.nothing]}\n", **both)
    assert lint.startswith("invalid input: policy lint failed: ")
    assert error(**both) == "invalid input: pass a judge reply or stored judge evidence, not both"
    assert error(rule_sets_json=['{"id": "a", "version": "1"}']).startswith(
        "invalid input: rule set: missing field `rules` at line 1")
    for bad in ("ab" * 31 + "a", "ab" * 33, "g" + "a" * 63, " " + "a" * 64):
        assert error(signing_key_hex=bad) == "invalid input: signing key must be 32 bytes hex"
    assert error(risk_class="high") == ("invalid input: policy: the request names risk class high but policy "
                                        "quillaveen_default_v1 defines no risk_classes")

    # An unknown rounding rule refuses verification but not the judge prompt.
    odd = "extends: quillaveen_default_v1\nid: p\nversion: '1'\nrounding: sideways\nlocale: de\n"
    assert error(policy_yaml=odd).startswith("invalid input: policy: unknown rounding rule unknown variant `sideways`")
    assert error("judge_prompt_json", policy_yaml="id: [") .startswith("invalid input: policy: ")
    prompt = run(engine, request(policy_yaml=odd), "judge_prompt_json")
    assert prompt == run(engine, request(policy_yaml="  \n"), "judge_prompt_json")


def test_judge_prompt_and_reply_round_trip(engine):
    plain = request(answer="Revenue was EUR 4.31 billion.", policy_yaml="")
    prompt = run(engine, plain, "judge_prompt_json")
    assert list(prompt) == ["template_id", "template_hash", "prompt_hash", "system", "user", "claims", "passages"]
    assert prompt["passages"] == [s["id"] for s in SAMPLE["sources"]]
    assert [text for _, text in prompt["claims"]] == ["Revenue was EUR 4.31 billion."]
    claim_id = prompt["claims"][0][0]
    reply = json.dumps({"claims": [{"id": claim_id, "label": "supported", "rationale": "p12 says so",
                                    "citations": [SAMPLE["sources"][0]["id"]]}]})
    policy = "id: j\nversion: '1'\njudge: {required: true}\ndeterminism: {minimum_to_decide: any}\n"
    judged = run(engine, request(answer=plain["answer"], policy_yaml=policy,
                                 judge={"adapter": "acme", "model": "m1", "response": reply}))
    judge_evidence = [e for e in judged["content"]["graph"]["evidence"] if e["verifier_id"] == "llm_judge.acme"]
    assert [(e["claim_id"], e["result"]) for e in judge_evidence] == [(claim_id, "supported")]
    assert "judge_missing: the policy requires a judge and none ran" not in judged["content"]["outcome"].get(
        "reasons", [])
    failed = run(engine, request(answer=plain["answer"], policy_yaml=policy,
                                 judge={"adapter": "acme", "model": "m1", "error": "timeout"}))
    assert failed["content"]["graph"]["failures"] == [["llm_judge.acme", "timeout"]]

    # The judge's evidence kept from that run is taken in again for the same
    # prompt, and refused for another one.
    reply = {"adapter": "acme", "model": "m1", "response": reply}
    graph = run(engine, request(answer=plain["answer"], policy_yaml=policy, judge=reply))["content"]["graph"]
    info = next(v for v in graph["verifiers"] if v["id"] == "llm_judge.acme")
    stored = {"info": info, "evidence": judge_evidence, "failure": "partly timed out"}
    again = run(engine, request(answer=plain["answer"], policy_yaml=policy, judge_evidence=stored))
    assert [e for e in again["content"]["graph"]["evidence"] if e["verifier_id"] == "llm_judge.acme"] == judge_evidence
    assert again["content"]["graph"]["failures"] == [["llm_judge.acme", "partly timed out"]]
    with pytest.raises(ValueError, match="^invalid input: stored judge evidence answered another prompt"):
        engine.verify_json(json.dumps(request(answer="Revenue was EUR 4.30 billion.", policy_yaml=policy,
                                              judge_evidence=stored)))

    # Without statement claims the prompt lists no claims but every passage.
    bare = run(engine, request(answer="4.31"), "judge_prompt_json")
    assert bare["claims"] == [] and bare["passages"] == prompt["passages"]
