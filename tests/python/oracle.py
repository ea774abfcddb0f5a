"""Independent reference code for the module's tests: canonical JSON, the
record hash, plain Ed25519 and P-256 signing (slow; test use only)."""
import hashlib
import json


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
