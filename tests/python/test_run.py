"""Run functions as Python sees them: a verified MCP run sealed into a run
record, and stored chains of run records checked."""
import json

import pytest

from oracle import canonical, digest, ed25519_sign, record_hash

SEED = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60"
PUBLIC = "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a"
POLICY = {"id": "p", "default": "ALLOW",
          "rules": [{"id": "r", "match": "tool", "name": "rm", "effect": "DENY"}]}


def request(trace="", **members):
    r = {"trace": trace, "policy_json": json.dumps(POLICY), "run_id": "run-1", "system_id": "sys",
         "started_at": "2026-01-01T00:00:00Z", "signing_key_hex": SEED}
    r.update(members)
    return json.dumps({k: v for k, v in r.items() if v is not ...})


def lines(*messages):
    return "\n".join(json.dumps(m) for m in messages)


def test_registered_with_their_texts(engine):
    assert engine.run_verify_json.__doc__ == (
        "Verify a whole MCP execution. `request_json` is a `RunVerifyRequest`; the\n"
        "result is a sealed `RunRecord` as JSON. Its `content.gate` is the decision.")
    assert engine.run_record_verify.__doc__ == (
        "Verify one run record or a whole JSON Lines chain of them. Returns the\n"
        "number checked; raises on the first broken hash, link or signature.")
    names = engine.__all__
    assert names.index("run_verify_json") < names.index("sign_document_json")
    assert names.index("record_verify_chains") + 1 == names.index("run_record_verify") == names.index("record_verify") - 1


def test_sealed_record_checked_independently(engine):
    call = {"jsonrpc": "2.0", "id": 7, "method": "tools/call", "params": {"name": "rm", "arguments": {"p": "/"}},
            "ts": "2026-01-01T00:00:01Z"}
    text = engine.run_verify_json(request(lines(call, {"id": "7", "result": {"content": []}})))
    record = json.loads(text)
    assert list(record) == ["record_id", "timestamp", "content", "content_hash", "record_hash", "signature",
                            "signer_public_key"]
    c = record["content"]
    assert list(c) == ["schema", "engine_version", "run_id", "run_hash", "log_head", "policy_id", "policy_hash",
                       "gate"]
    assert (c["schema"], c["engine_version"], c["run_id"], c["gate"]) == (
        "quillaveen.run-record/1", "6.0.5", "run-1", "DENY")
    assert c["policy_hash"] == digest(canonical({"id": "p", "default": "ALLOW", "rules": POLICY["rules"]}))
    assert record["record_id"] == "run_" + c["run_hash"][7:19]
    # The seal, recomputed with the independent canonical JSON and Ed25519.
    assert record["content_hash"] == digest(canonical(c))
    assert record["record_hash"] == record_hash(record["content_hash"], None, record["record_id"],
                                                record["timestamp"])
    public, signature = ed25519_sign(bytes.fromhex(SEED), record["record_hash"].encode())
    assert (record["signer_public_key"], record["signature"]) == (PUBLIC, signature.hex())
    assert engine.run_record_verify(text) == 1
    assert engine.run_record_verify(json.dumps(record, indent=None, separators=(", ", " : "))) == 1


def test_chain_of_runs(engine):
    first = engine.run_verify_json(request(previous_record_hash=""))
    assert "previous_record_hash" not in json.loads(first)
    assert engine.run_record_verify(first) == 1
    link = json.loads(first)["record_hash"]
    second = engine.run_verify_json(request(previous_record_hash=link, signing_key_hex=None, parent_run_id=3))
    assert json.loads(second)["previous_record_hash"] == link
    assert engine.run_record_verify(first + "\r\n\n" + second) == 2
    assert engine.run_record_verify("") == 0 and engine.run_record_verify(" \n\t\n") == 0
    with pytest.raises(RuntimeError) as e:
        engine.run_record_verify(second)
    assert e.value.args == ("integrity error: %s: broken chain link" % json.loads(second)["record_id"],)
    altered = first.replace('"gate":"ALLOW"', '"gate":"DENY"')
    with pytest.raises(RuntimeError, match=r"^integrity error: run_[0-9a-f]{12}: content hash mismatch$"):
        engine.run_record_verify(altered + "\n" + second)
    # Reading the whole text comes before any check.
    with pytest.raises(ValueError) as e:
        engine.run_record_verify(altered + "\n" + second + "\n{x")
    assert e.value.args == ("serialisation error: key must be a string at line 1 column 2",)


def test_failures(engine):
    cases = [
        ('{"policy_json": "", "run_id": ""}', "missing field `trace` at line 1 column 33"),
        (request(policy_json="{}"), "invalid input: policy: missing field `id` at line 1 column 2"),
    ]
    for text, message in cases:
        with pytest.raises(ValueError) as e:
            engine.run_verify_json(text)
        assert e.value.args == (message,)
    with pytest.raises(TypeError):
        engine.run_verify_json(b"{}")
    with pytest.raises(TypeError):
        engine.run_record_verify()
