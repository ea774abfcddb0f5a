"""Record and document functions as Python sees them."""
import copy
import hashlib
import json

import pytest

SEED = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60"
PUBLIC = "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a"


def sign(engine, kind="report", content='{"b": 1, "a": [1.0, "x"]}', seed=SEED):
    return engine.sign_document_json(kind, content, seed)


def test_sign_document_writes_content_as_given(engine):
    text = sign(engine)
    assert text.startswith('{"kind":"report","content":{"b":1,"a":[1.0,"x"]},"content_hash":"sha256:')
    doc = json.loads(text)
    assert list(doc) == ["kind", "content", "content_hash", "signature", "signer_public_key"]
    assert doc["signer_public_key"] == PUBLIC
    assert len(doc["signature"]) == 128 and doc["signature"] == doc["signature"].lower()
    # Member order does not enter the hash; upper-case seeds are read.
    again = json.loads(sign(engine, content='{"a":[1.0,"x"],"b":1}', seed=SEED.upper()))
    assert (again["content_hash"], again["signature"]) == (doc["content_hash"], doc["signature"])
    assert engine.verify_document_json(text) is None


def test_sign_document_failures(engine):
    with pytest.raises(ValueError) as e:
        sign(engine, content='{"a":1} x', seed="bad")
    assert str(e.value) == "trailing characters at line 1 column 9"
    for seed in (SEED[:62], SEED[:-1] + "g"):
        with pytest.raises(ValueError) as e:
            sign(engine, seed=seed)
        assert e.value.args == ("signing key must be 32 bytes hex",)
    with pytest.raises(ValueError, match=r"^EOF while parsing a value at line 1 column 0$"):
        sign(engine, content="")


def test_verify_document_failures(engine):
    doc = json.loads(sign(engine))

    def verify(**changes):
        d = dict(doc, **changes)
        with pytest.raises(RuntimeError) as e:
            engine.verify_document_json(json.dumps(d))
        return str(e.value)

    assert verify(kind="other") == "integrity error: other: content hash mismatch"
    assert verify(signer_public_key=PUBLIC[:-2]) == "integrity error: bad public key"
    flipped = ("1" if doc["signature"][0] == "0" else "0") + doc["signature"][1:]
    assert verify(signature=flipped) == "integrity error: report: signature does not verify"
    # Upper-case hex and white space between members are accepted.
    d = dict(doc, signature=doc["signature"].upper())
    assert engine.verify_document_json(json.dumps(d, indent=2)) is None


def test_verify_document_reading_errors_are_value_errors(engine):
    doc = json.loads(sign(engine))
    del doc["signature"]
    cases = {
        json.dumps(doc, separators=(",", ":")): "missing field `signature` at line 1 column ",
        '{"kind":"a","kind":"b"}': "duplicate field `kind` at line 1 column 18",
    }
    for text, message in cases.items():
        with pytest.raises(ValueError) as e:
            engine.verify_document_json(text)
        assert str(e.value).startswith(message)


# Independent reference code: canonical JSON, the record hash, and plain
# Ed25519 and P-256 signing (slow; test use only).

# Ed25519 (RFC 8032), extended coordinates.
P = 2**255 - 19
L = 2**252 + 27742317777372353535851937790883648493
D = -121665 * pow(121666, P - 2, P) % P
SQRT_M1 = pow(2, (P - 1) // 4, P)


def _add(a, b):
    x1, y1, z1, t1 = a
    x2, y2, z2, t2 = b
    aa = (y1 - x1) * (y2 - x2) % P
    bb = (y1 + x1) * (y2 + x2) % P
    cc = t1 * 2 * D * t2 % P
    dd = z1 * 2 * z2 % P
    e, f, g, h = bb - aa, dd - cc, dd + cc, bb + aa
    return (e * f % P, g * h % P, f * g % P, e * h % P)


def _scalar_mul(k, pt, add, identity):
    """Double-and-add on either curve."""
    q = identity
    while k:
        if k & 1:
            q = add(q, pt)
        pt = add(pt, pt)
        k >>= 1
    return q


def _mul(s, pt):
    return _scalar_mul(s, pt, _add, (0, 1, 1, 0))


def _encode(pt):
    x, y, z, _ = pt
    zi = pow(z, P - 2, P)
    x, y = x * zi % P, y * zi % P
    return (y | ((x & 1) << 255)).to_bytes(32, "little")


def _base():
    y = 4 * pow(5, P - 2, P) % P
    xx = (y * y - 1) * pow(D * y * y + 1, P - 2, P) % P
    x = pow(xx, (P + 3) // 8, P)
    if (x * x - xx) % P:
        x = x * SQRT_M1 % P
    if x & 1:
        x = P - x
    return (x, y, 1, x * y % P)

BASE = _base()


def ed25519_sign(seed: bytes, message: bytes):
    """(public key, signature) of a message under a 32-byte seed."""
    h = hashlib.sha512(seed).digest()
    a = int.from_bytes(h[:32], "little") & ((1 << 254) - 8) | (1 << 254)
    public = _encode(_mul(a, BASE))
    r = int.from_bytes(hashlib.sha512(h[32:] + message).digest(), "little") % L
    big_r = _encode(_mul(r, BASE))
    k = int.from_bytes(hashlib.sha512(big_r + public + message).digest(), "little") % L
    return public, big_r + ((r + k * a) % L).to_bytes(32, "little")


# P-256, affine coordinates; None is the point at infinity.
PP = 2**256 - 2**224 + 2**192 + 2**96 - 1
N = 0xFFFFFFFF00000000FFFFFFFFFFFFFFFFBCE6FAADA7179E84F3B9CAC2FC632551
G = (0x6B17D1F2E12C4247F8BCE6E563A440F277037D812DEB33A0F4A13945D898C296,
     0x4FE342E2FE1A7F9B8EE7EB4A7C0F9E162BCE33576B315ECECBB6406837BF51F5)


def _padd(a, b):
    if a is None:
        return b
    if b is None:
        return a
    if a[0] == b[0] and (a[1] + b[1]) % PP == 0:
        return None
    if a == b:
        m = (3 * a[0] * a[0] - 3) * pow(2 * a[1], PP - 2, PP) % PP
    else:
        m = (b[1] - a[1]) * pow(b[0] - a[0], PP - 2, PP) % PP
    x = (m * m - a[0] - b[0]) % PP
    return (x, (m * (a[0] - x) - a[1]) % PP)


def _pmul(k, pt):
    return _scalar_mul(k, pt, _padd, None)


def p256_public(d):
    return _pmul(d, G)


def p256_sign(d, message: bytes, k):
    """(r, s) over SHA-256 of the message with the nonce k."""
    e = int.from_bytes(hashlib.sha256(message).digest(), "big")
    r = _pmul(k, G)[0] % N
    s = pow(k, N - 2, N) * (e + r * d) % N
    return r, s


def der_integer(v):
    b = v.to_bytes(33, "big").lstrip(b"\0")
    if not b or b[0] & 0x80:
        b = b"\0" + b
    return b"\x02" + bytes([len(b)]) + b


def der_signature(r, s):
    body = der_integer(r) + der_integer(s)
    return b"\x30" + bytes([len(body)]) + body


# Records.


def canonical(value):
    return json.dumps(value, sort_keys=True, separators=(",", ":"), ensure_ascii=False)


def digest(text):
    return "sha256:" + hashlib.sha256(text.encode()).hexdigest()


def record_hash(content_hash, previous, record_id, timestamp):
    return digest(f"{content_hash}\n{previous or ''}\n{record_id}\n{timestamp}")


def content(i):
    return {
        "schema": "quillaveen.evidence-record/1", "engine_version": "6.0.5",
        "bundle_hash": "sha256:unbundled", "input_hash": "sha256:%064x" % i, "locale": "en",
        "graph": {
            "verifiers": [{"id": "quillaveen.numeric", "version": "1", "kind": "exact",
                           "determinism": {"class": "exact"}, "applies_to": ["numeric"],
                           "needs_network": False}],
            "evidence": [{"verifier_id": "quillaveen.numeric", "verifier_version": "1", "claim_id": "c0",
                          "result": "supported", "score": 1.0, "confidence": 0.5,
                          "determinism": {"class": "exact"}, "rationale": "matched \u00e9",
                          "receipt": {"source_id": "s1", "source_span": {"start": 0, "end": 4}}}],
        },
        "outcome": {"policy_id": "quillaveen_default_v1", "policy_version": "1", "policy_hash": "sha256:p",
                    "decision": "PASS", "claims": [{"claim_id": "c0", "decision": "PASS", "reasons": []}],
                    "missing_required": [], "excluded_verifiers": [], "regulatory_mapping": []},
    }


def unsigned_record(i, previous):
    c = content(i)
    ch = digest(canonical(c))
    rid, ts = f"rec_{i:012x}_{i:012x}", f"2026-01-02T03:04:{i:02d}Z"
    return {"record_id": rid, "timestamp": ts, "content": c, "content_hash": ch,
            "previous_record_hash": previous, "record_hash": record_hash(ch, previous, rid, ts)}


def sealed_chain(seed: bytes, count=3, start=0):
    chain, previous = [], None
    for i in range(start, start + count):
        r = unsigned_record(i, previous)
        public, sig = ed25519_sign(seed, r["record_hash"].encode())
        r["signature"], r["signer_public_key"] = sig.hex(), public.hex()
        chain.append(r)
        previous = r["record_hash"]
    return chain


def jsonl(records, **dumps):
    dumps.setdefault("separators", (",", ":"))
    dumps.setdefault("ensure_ascii", False)
    return "\n".join(json.dumps(r, **dumps) for r in records) + "\n"


# Chains, records and key service signatures.

SEED_BYTES = bytes.fromhex(SEED)


@pytest.fixture(scope="module")
def chain():
    return sealed_chain(SEED_BYTES)


def test_oracle_matches_the_known_key():
    public, _ = ed25519_sign(SEED_BYTES, b"")
    assert public.hex() == PUBLIC


def test_record_verify_counts(engine, chain):
    text = jsonl(chain)
    assert engine.record_verify(text) == 3
    assert engine.record_verify(text.replace("\n", "\r\n")) == 3
    assert engine.record_verify("\n \t\n" + text.replace("\n", "\n\u00a0\t\n\n") + "\n\n") == 3
    assert engine.record_verify(text.rstrip("\n")) == 3
    assert engine.record_verify("") == 0
    assert engine.record_verify("\n  \r\n\u3000\n") == 0


def test_changes_accepted_by_design(engine, chain):
    shuffled = [dict(reversed(list(r.items()))) for r in chain]
    assert engine.record_verify(jsonl(shuffled)) == 3
    assert engine.record_verify(jsonl(chain, indent=None, separators=(", ", " : "))) == 3
    text = jsonl(chain)
    assert engine.record_verify(text.replace('"score":1.0', '"score":1')) == 3
    assert engine.record_verify(text.replace('"confidence":0.5', '"confidence":5.00e-1')) == 3
    upper = copy.deepcopy(chain)
    for r in upper:
        r["signature"], r["signer_public_key"] = r["signature"].upper(), r["signer_public_key"].upper()
    assert engine.record_verify(jsonl(upper)) == 3
    # A member the readers skip does not enter the content hash.
    extra = copy.deepcopy(chain)
    extra[1]["content"]["graph"]["note"] = [1, {"x": None}]
    extra[2]["unknown"] = "skipped"
    assert engine.record_verify(jsonl(extra)) == 3
    # A record given as an array of its members in declared order.
    assert engine.record_verify(jsonl([chain[0], list(chain[1].values()), chain[2]])) == 3


def flip_hex(text):
    return text[:-1] + ("1" if text[-1] == "0" else "0")


TAMPERS = {
    "locale": (lambda r: r["content"].__setitem__("locale", "de"), "content hash mismatch"),
    "score": (lambda r: r["content"]["graph"]["evidence"][0].__setitem__("score", 0.75), "content hash mismatch"),
    "content_hash": (lambda r: r.__setitem__("content_hash", flip_hex(r["content_hash"])), "content hash mismatch"),
    "record_id": (lambda r: r.__setitem__("record_id", r["record_id"] + "x"), "record hash mismatch"),
    "timestamp": (lambda r: r.__setitem__("timestamp", "2026-01-02T03:04:59Z"), "record hash mismatch"),
    "link": (lambda r: r.__setitem__("previous_record_hash", flip_hex(r["previous_record_hash"])),
             "record hash mismatch"),
    "record_hash": (lambda r: r.__setitem__("record_hash", flip_hex(r["record_hash"])), "record hash mismatch"),
    "hash case": (lambda r: r.__setitem__("record_hash", r["record_hash"].upper().replace("SHA256", "sha256")),
                  "record hash mismatch"),
    "signature": (lambda r: r.__setitem__("signature", flip_hex(r["signature"])), "signature does not verify"),
    "key": (lambda r: r.__setitem__("signer_public_key", ed25519_sign(b"\1" * 32, b"")[0].hex()),
            "signature does not verify"),
}


@pytest.mark.parametrize("name", sorted(TAMPERS))
def test_tampering_is_detected(engine, chain, name):
    change, message = TAMPERS[name]
    tampered = copy.deepcopy(chain)
    change(tampered[1])
    with pytest.raises(RuntimeError) as e:
        engine.record_verify(jsonl(tampered))
    assert str(e.value) == f"integrity error: {tampered[1]['record_id']}: {message}"


def test_links(engine, chain):
    cases = [
        ([chain[0], chain[2]], chain[2]["record_id"]),   # a record left out
        ([chain[1], chain[2]], chain[1]["record_id"]),   # the first record names a previous one
        ([chain[0], chain[0]], chain[0]["record_id"]),
    ]
    for records, rid in cases:
        with pytest.raises(RuntimeError) as e:
            engine.record_verify(jsonl(records))
        assert str(e.value) == f"integrity error: {rid}: broken chain link"
    # The seal of a record is checked before its link.
    tampered = copy.deepcopy(chain)
    tampered[1]["content"]["locale"] = "de"
    with pytest.raises(RuntimeError, match="content hash mismatch$"):
        engine.record_verify(jsonl([tampered[0], tampered[1], chain[0]]))


def test_unreadable_lines_are_value_errors(engine, chain):
    lines = jsonl(chain).splitlines()
    broken = "\n".join([lines[0], lines[1][:-1], lines[2]])
    with pytest.raises(ValueError) as e:
        engine.record_verify(broken)
    assert str(e.value) == f"serialisation error: EOF while parsing an object at line 1 column {len(lines[1].encode()) - 1}"
    with pytest.raises(ValueError, match=r"^serialisation error: trailing characters at line 1 column "):
        engine.record_verify(lines[0] + " " + lines[1])
    with pytest.raises(ValueError, match=r"^serialisation error: trailing characters at line 1 column "):
        engine.record_verify(lines[0] + "\u00a0")
    with pytest.raises(ValueError, match=r"^serialisation error: expected value at line 1 column 1$"):
        engine.record_verify("\ufeff" + lines[0])
    # A record printed over several lines fails at its first line.
    with pytest.raises(ValueError, match=r"^serialisation error: EOF while parsing an object at line 1 column 1$"):
        engine.record_verify(json.dumps(chain[0], indent=2))
    # A reading error wins over an integrity failure on an earlier line.
    tampered = copy.deepcopy(chain)
    tampered[0]["content"]["locale"] = "de"
    with pytest.raises(ValueError, match="missing field `signature`"):
        engine.record_verify(jsonl(tampered[:2]) + json.dumps({k: v for k, v in chain[2].items()
                                                                       if k != "signature"}))


def test_record_verify_chains(engine, chain):
    other = sealed_chain(bytes(32), start=10)
    a, b = jsonl(chain), jsonl(other)
    assert engine.record_verify_chains([a, b]) == 6
    assert engine.record_verify_chains((a, "", b)) == 6
    assert engine.record_verify_chains([]) == 0
    assert engine.record_verify_chains(["", "\n"]) == 0
    assert engine.record_verify_chains(b"") == 0
    with pytest.raises(RuntimeError) as e:
        engine.record_verify_chains([a, b, a])
    assert str(e.value) == f"integrity error: {chain[0]['record_id']}: the same record is in two chains"
    with pytest.raises(RuntimeError) as e:
        engine.record_verify_chains([a, jsonl(chain[:2])])
    assert str(e.value) == f"integrity error: {chain[0]['record_id']}: the same record is in two chains"
    # A broken link is reported even when the chains also share a record.
    with pytest.raises(RuntimeError) as e:
        engine.record_verify_chains([a, jsonl([chain[0], chain[2]])])
    assert str(e.value) == f"integrity error: {chain[2]['record_id']}: broken chain link"
    # Every chain is read before any is checked.
    with pytest.raises(ValueError, match="^serialisation error: "):
        engine.record_verify_chains([a, a, "{"])


def test_record_verify_chains_arguments(engine, chain):
    with pytest.raises(TypeError) as e:
        engine.record_verify_chains("abc")
    assert str(e.value) == "Can't extract `str` to `Vec`"
    assert "while processing 'chains'" in e.value.__notes__[0]
    with pytest.raises(TypeError) as e:
        engine.record_verify_chains(("{", 1))
    assert str(e.value) == "'int' object is not an instance of 'str'"
    with pytest.raises(TypeError) as e:
        engine.record_verify_chains({"a": 1})
    assert str(e.value) == "'dict' object is not an instance of 'Sequence'"


class HugeLength:
    """A sequence whose length is a lie: only a capacity hint, never trusted."""

    def __init__(self, items, length):
        self.items, self.length = items, length

    def __getitem__(self, i):
        return self.items[i]

    def __len__(self):
        if isinstance(self.length, Exception):
            raise self.length
        return self.length


def test_record_verify_chains_ignores_a_lying_length(engine, chain):
    text = jsonl(chain)
    for length in (2**62, 2**63 - 1, 2**100, ValueError("no length")):
        assert engine.record_verify_chains(HugeLength([text], length)) == 3


def unsigned_text(record):
    keys = ["record_id", "timestamp", "content", "content_hash", "previous_record_hash", "record_hash"]
    return json.dumps({k: record[k] for k in keys}, separators=(",", ":"), ensure_ascii=False)


def test_attach_ed25519(engine, chain):
    r = chain[0]
    sealed = engine.attach_signature_json(unsigned_text(r), "ed25519", r["signer_public_key"].upper(), r["signature"])
    assert sealed == json.dumps(r, separators=(",", ":"), ensure_ascii=False)
    assert engine.record_verify(sealed) == 1
    # A sealed record is accepted where an unsigned one is read.
    assert engine.attach_signature_json(json.dumps(r), "ed25519", r["signer_public_key"], r["signature"]) == sealed


def test_attach_failures(engine, chain):
    r = chain[0]
    u = unsigned_text(r)
    cases = [
        ((u, "ed25519", "abc", r["signature"]), "Odd number of digits"),
        ((u, "ed25519", "zz", "abc"), "Invalid character 'z' at position 0"),
        ((u, "ed25519", r["signer_public_key"], "00\u00e9"), "Invalid character '\u00c3' at position 2"),
        ((u, "Ed25519", r["signer_public_key"], r["signature"]), "invalid input: unknown signature algorithm Ed25519"),
        ((u, "ed25519", r["signer_public_key"][2:], r["signature"]),
         "invalid input: the key service's signature was refused: integrity error: bad public key"),
        ((u, "ed25519", r["signer_public_key"], flip_hex(r["signature"])),
         f"invalid input: the key service's signature was refused: integrity error: {r['record_id']}: "
         "signature does not verify"),
        ((u, "ecdsa-p256-sha256", "06" + "11" * 64, r["signature"]),
         "invalid input: not a P-256 public key (SEC1 or SubjectPublicKeyInfo DER)"),
        ((u, "ecdsa-p256-sha256", "04%064x%064x" % G, "00" * 64),
         "invalid input: not a P-256 ECDSA signature (r||s or DER)"),
        (("{}", "ed25519", "00", "00"), "missing field `record_id` at line 1 column 2"),
    ]
    for args, message in cases:
        with pytest.raises(ValueError) as e:
            engine.attach_signature_json(*args)
        assert e.value.args == (message,)


def test_attach_p256(engine, chain):
    r = chain[1]
    d = 0xC9AFA9D845BA75166B5C215767B1D6934E50C3DB36E89B127B8A622B120F6721
    x, y = p256_public(d)
    uncompressed = "04%064x%064x" % (x, y)
    compressed = ("03" if y & 1 else "02") + "%064x" % x
    for k in range(7, 40):
        sig_r, sig_s = p256_sign(d, r["record_hash"].encode(), k)
        if sig_s > N // 2:
            break
    low = N - sig_s
    for key in (compressed, uncompressed.upper()):
        for sig in ("%064x%064x" % (sig_r, sig_s), der_signature(sig_r, sig_s).hex()):
            sealed = json.loads(engine.attach_signature_json(unsigned_text(r), "ecdsa-p256-sha256", key, sig))
            assert sealed["signer_public_key"] == uncompressed
            assert sealed["signature"] == "%064x%064x" % (sig_r, low)
            assert sealed["signature_algorithm"] == "ecdsa-p256-sha256"
            # Linked after the first record, the sealed record verifies in its chain.
            first = json.dumps(chain[0])
            assert engine.record_verify(first + "\n" + json.dumps(sealed)) == 2
    # Both forms of s verify in a stored record.
    stored = dict(r, signature="%064x%064x" % (sig_r, sig_s), signer_public_key="05%064x" % x,
                  signature_algorithm="ecdsa-p256-sha256")
    assert y < PP - y  # so the compact form names the same point
    assert engine.record_verify(jsonl([chain[0], stored])) == 2
    stored["signature"] = "%064x%064x" % (sig_r, sig_r)
    with pytest.raises(RuntimeError) as e:
        engine.record_verify(jsonl([chain[0], stored]))
    assert str(e.value) == f"integrity error: {r['record_id']}: signature does not verify"


def test_arguments_must_be_str(engine, chain):
    calls = [
        (engine.record_verify, (b"",), "jsonl"),
        (engine.verify_document_json, (None,), "doc_json"),
        (engine.sign_document_json, ("k", "1", 5), "seed_hex"),
        (engine.attach_signature_json, ("{}", "ed25519", "00", bytearray()), "signature_hex"),
    ]
    for function, args, param in calls:
        with pytest.raises(TypeError) as e:
            function(*args)
        assert str(e.value) == f"'{type(args[-1]).__qualname__}' object is not an instance of 'str'"
        assert e.value.__notes__ == [f"while processing '{param}'"]
    with pytest.raises(TypeError, match=r"^record_verify\(\) missing 1 required positional argument: 'jsonl'$"):
        engine.record_verify()
    # A str subclass is read as its text.
    assert engine.record_verify(type("S", (str,), {})(jsonl(chain))) == 3
