"""Record and document functions as Python sees them."""
import copy
import json

import pytest

from oracle import (G, L, N, PP, canonical, der_signature, digest, ed25519_sign, jsonl, p256_public, p256_sign,
                    sealed_chain)

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


def test_document_signature_covers_the_hash_text(engine):
    doc = json.loads(sign(engine))
    content_hash = digest(canonical({"kind": "report", "content": {"b": 1, "a": [1.0, "x"]}}))
    public, signature = ed25519_sign(bytes.fromhex(SEED), content_hash.encode())
    assert (doc["content_hash"], doc["signature"]) == (content_hash, signature.hex())
    # Signed by the independent code: the signature over the 71-byte text
    # verifies; over the hash without its prefix, or with s written
    # non-canonically (s + L, a top bit set), it does not.
    assert engine.verify_document_json(json.dumps(dict(doc, signature=signature.hex()))) is None
    s = int.from_bytes(signature[32:], "little")
    forged = [ed25519_sign(bytes.fromhex(SEED), content_hash[7:].encode())[1]]
    forged += [signature[:32] + v.to_bytes(32, "little") for v in (s + L, s | 1 << 255, s | 1 << 253)]
    for sig in forged:
        with pytest.raises(RuntimeError) as e:
            engine.verify_document_json(json.dumps(dict(doc, signature=sig.hex())))
        assert str(e.value) == "integrity error: report: signature does not verify"


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


def test_long_non_ascii_texts_read_in_pieces(engine, chain):
    # A text beyond ASCII is read a piece of 2**20 characters at a time:
    # lines that cross pieces, blank lines longer than a piece, and the
    # same text given many times read as the whole text does.
    pad = " " * 3000
    records = jsonl(chain, separators=(",", ":" + pad)).splitlines()
    blank = "\u3000" * (2**20 + 7)
    text = "\u00a0" * (2**20 - 100) + "\n" + records[0] + "\r\n" + blank + "\n" + "\n".join(records[1:])
    assert engine.record_verify(text) == 3
    assert engine.record_verify_chains([text, "", jsonl(sealed_chain(bytes(32), start=10))]) == 6
    with pytest.raises(RuntimeError, match="the same record is in two chains$"):
        engine.record_verify_chains([text] * 20)
    broken = text[:2**20 + 50] + "x" + text[2**20 + 50:]  # in the line across the first piece's end
    whole = broken.encode()
    line = whole.split(b"\n")[1]
    with pytest.raises(ValueError) as e:
        engine.record_verify(broken)
    with pytest.raises(ValueError) as ascii_e:
        engine.record_verify(line.decode())
    assert str(e.value) == str(ascii_e.value)
    with pytest.raises(UnicodeEncodeError) as e:
        engine.record_verify_chains([jsonl(chain), text + "\ud800", 5])
    assert e.value.start == len(text)


def test_unencodable_text_wins_over_what_the_chain_says(engine, chain):
    # A str with a lone surrogate raises the interpreter's error at its
    # position whatever the chain before it or after it holds: verified,
    # unreadable, broken, or left unread after an earlier failure.
    good = jsonl(chain)
    lines = good.splitlines()
    pad = "\u00a0" * (2**20 + 9)  # a blank line beyond ASCII, longer than a piece
    cases = [
        (good + pad + "\n\ud800\n", 3),
        ("\ud800\n" + good, 3),
        (lines[0] + "\n" + lines[2] + "\n" + pad + "\ud800", RuntimeError),
        (lines[0][:-1] + "\n" + pad + "\n" + good + "\ud800", ValueError),
        (lines[0] + "\u00e9\n" + pad + "\ud800\udfff", ValueError),
    ]
    for text, without in cases:
        with pytest.raises(UnicodeEncodeError) as e:
            engine.record_verify(text)
        with pytest.raises(UnicodeEncodeError) as own:
            text.encode()
        assert (e.value.start, e.value.end, str(e.value)) == (own.value.start, own.value.end, str(own.value))
        # Without the surrogates the same text verifies or fails as given.
        clean = text.replace("\ud800", "").replace("\udfff", "")
        if isinstance(without, int):
            assert engine.record_verify(clean) == without
        else:
            with pytest.raises(without):
                engine.record_verify(clean)
    assert len(cases) == 5
