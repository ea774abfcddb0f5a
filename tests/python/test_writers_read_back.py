"""Every function that writes JSON (or YAML) returns only what the module's
own readers read back: for generated inputs a writer accepts, its output is
read by the reader that takes it. Writers are rows of one table; a new
writer joins with its generator, its call and its read-back."""
import copy
import json
import pathlib
import random

import pytest

from oracle import canonical, digest, ed25519_sign, record_hash

SEED = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60"
SEED_BYTES = bytes.fromhex(SEED)
SAMPLE = json.loads((pathlib.Path(__file__).parents[2] / "examples" / "sample_request.json").read_text())

PIECES = ["", "a", "\"", "\\", "\n\t\r\b\f", "\x00", "\x1f", "\x7f", "/", "\u2028", "\u00e9", "\U0001f600",
          "\ud7ff", "\ue000", "{", "]", ": #", "- "]
NUMBERS = [0, 1, -1, 2**64 - 1, -2**63, 2**64, 1.5, -0.0, 1e16, 1e-7, 5e-324, 1.7976931348623157e308, 0.1]


# YAML takes no DEL raw and no surrogate escapes (which JSON text gives
# characters beyond the BMP as).
YAML_PIECES = [p for p in PIECES if p not in ("\x7f", "\U0001f600")]


def text(rng, pieces=PIECES):
    return "".join(rng.choice(pieces) for _ in range(rng.randrange(5)))


def scalar(rng, pieces):
    return rng.choice([None, True, False, text(rng, pieces), rng.choice(NUMBERS)])


def value(rng, depth, pieces=PIECES):
    """A value nested exactly `depth` levels deep (0: a scalar), with random
    siblings of lesser depth."""
    if depth == 0:
        return scalar(rng, pieces)
    children = [value(rng, rng.randrange(min(depth, 3)), pieces) for _ in range(rng.randrange(3))]
    children.insert(rng.randrange(len(children) + 1), value(rng, depth - 1, pieces))
    if rng.random() < 0.5:
        return children
    return {f"{text(rng, pieces)}{i}": c for i, c in enumerate(children)}


def depths(rng):
    return rng.choice([0, 1, 2, 5, 30, 125, 126, 127, 128])


def json_text(rng, v):
    return json.dumps(v, ensure_ascii=rng.random() < 0.5)


# Inputs per writer: argument tuples, some of which the writer refuses.
def document_inputs(rng):
    for _ in range(60):
        yield text(rng), json_text(rng, value(rng, depths(rng))), SEED


def record_inputs(rng):
    for i in range(8):
        c = json.loads(json.dumps(CONTENT))
        c["locale"] = text(rng)
        c["graph"]["evidence"][0]["rationale"] = text(rng)
        c["outcome"]["claims"][0]["claim_id"] = c["graph"]["evidence"][0]["claim_id"] = text(rng) or "c"
        ch = digest(canonical(c))
        rid, ts = f"rec_{i:012x}{text(rng)}", "2026-01-02T03:04:05Z"
        rh = record_hash(ch, None, rid, ts)
        public, sig = ed25519_sign(SEED_BYTES, rh.encode())
        unsigned = {"record_id": rid, "timestamp": ts, "content": c, "content_hash": ch,
                    "previous_record_hash": None, "record_hash": rh}
        yield json_text(rng, unsigned), "ed25519", public.hex(), sig.hex()


def run_inputs(rng):
    policy = {"id": text(rng) or "p", "default": "ALLOW",
              "rules": [{"id": "r", "match": "tool", "name": "rm", "effect": "DENY"}]}
    for _ in range(20):
        call = {"jsonrpc": "2.0", "id": text(rng) or 1, "method": "tools/call",
                "params": {"name": text(rng), "arguments": value(rng, depths(rng) % 100)}}
        request = {"trace": json.dumps(call), "policy_json": json.dumps(policy), "run_id": text(rng),
                   "system_id": text(rng), "started_at": "2026-01-01T00:00:00Z", "signing_key_hex": SEED}
        yield (json_text(rng, request),)


def policy_inputs(rng):
    for base in ("quillaveen_default_v1", "eu_ai_act_high_risk_v1"):
        for _ in range(10):
            yield (f"id: {json.dumps(text(rng))}\nversion: {json.dumps(text(rng))}\nextends: {base}\n",)


def yaml_inputs(rng):
    for _ in range(60):
        yield (json.dumps(value(rng, depths(rng), YAML_PIECES)),)


def verify_inputs(rng):
    for _ in range(10):
        r = copy.deepcopy(SAMPLE)
        r["question"] = text(rng) + r["question"]
        r["answer"] += text(rng)
        r["metadata"] = {text(rng) + str(i): text(rng) for i in range(rng.randrange(3))}
        r["scope"][text(rng) + "x"] = text(rng)
        r["signing_key_hex"] = SEED
        yield (json_text(rng, r),)


def generic_read_back(engine, out, _args):
    # The generic JSON reader, through a document's content, which is
    # written back as read. Signing may refuse content nested 127 deep, as
    # the document would pass the limit: that refusal carries no position,
    # unlike any reader's.
    try:
        document = engine.sign_document_json("k", out, SEED)
    except ValueError as e:
        assert e.args == ("recursion limit exceeded",)
        return
    assert '"content":' + out + ',"content_hash":' in document


def unsigned_read_back(engine, out, _args):
    record = json.loads(out)
    public, signature = ed25519_sign(SEED_BYTES, record["record_hash"].encode())
    sealed = engine.attach_signature_json(out, "ed25519", public.hex(), signature.hex())
    assert engine.record_verify(sealed) == 1


def document_read_back(engine, out, _args):
    assert engine.verify_document_json(out) is None


def record_read_back(engine, out, _args):
    assert engine.record_verify(out) == 1


def run_read_back(engine, out, _args):
    assert engine.run_record_verify(out) == 1


def policy_read_back(engine, out, args):
    assert engine.policy_lint(out)[0] == engine.policy_lint(args[0])[0]
    assert engine.policy_resolve(out) == out


WRITERS = [
    # (name, inputs, call, read back, fewest inputs that must be accepted)
    ("sign_document_json", document_inputs, lambda e, *a: e.sign_document_json(*a), document_read_back, 30),
    ("attach_signature_json", record_inputs, lambda e, *a: e.attach_signature_json(*a), record_read_back, 8),
    ("run_verify_json", run_inputs, lambda e, *a: e.run_verify_json(*a), run_read_back, 10),
    ("policy_resolve", policy_inputs, lambda e, *a: e.policy_resolve(*a), policy_read_back, 10),
    ("yaml_to_json", yaml_inputs, lambda e, *a: e.yaml_to_json(*a), generic_read_back, 20),
    ("verify_json", verify_inputs, lambda e, *a: e.verify_json(*a), record_read_back, 8),
    ("verify_unsigned_json", verify_inputs, lambda e, *a: e.verify_unsigned_json(*a), unsigned_read_back, 8),
    ("verify_timed_json", verify_inputs, lambda e, *a: e.verify_timed_json(*a), generic_read_back, 8),
    ("verify_unsigned_timed_json", verify_inputs, lambda e, *a: e.verify_unsigned_timed_json(*a),
     generic_read_back, 8),
    ("judge_prompt_json", verify_inputs, lambda e, *a: e.judge_prompt_json(*a), generic_read_back, 8),
]


@pytest.mark.parametrize("name,inputs,call,read_back,least", WRITERS, ids=[w[0] for w in WRITERS])
def test_output_reads_back(engine, name, inputs, call, read_back, least):
    rng = random.Random(name)
    accepted = refused = 0
    for args in inputs(rng):
        try:
            out = call(engine, *args)
        except ValueError:
            refused += 1
            continue
        accepted += 1
        read_back(engine, out, args)
    assert accepted >= least, (accepted, refused)


CONTENT = {
    "schema": "quillaveen.evidence-record/1", "engine_version": "6.0.5",
    "bundle_hash": "sha256:unbundled", "input_hash": "sha256:" + "0" * 64, "locale": "en",
    "graph": {
        "verifiers": [{"id": "quillaveen.numeric", "version": "1", "kind": "exact",
                       "determinism": {"class": "exact"}, "applies_to": ["numeric"], "needs_network": False}],
        "evidence": [{"verifier_id": "quillaveen.numeric", "verifier_version": "1", "claim_id": "c0",
                      "result": "supported", "score": 1.0, "confidence": 0.5, "determinism": {"class": "exact"},
                      "rationale": "r", "receipt": {"source_id": "s1", "source_span": {"start": 0, "end": 4}}}],
    },
    "outcome": {"policy_id": "quillaveen_default_v1", "policy_version": "1", "policy_hash": "sha256:p",
                "decision": "PASS", "claims": [{"claim_id": "c0", "decision": "PASS", "reasons": []}],
                "missing_required": [], "excluded_verifiers": [], "regulatory_mapping": []},
}
