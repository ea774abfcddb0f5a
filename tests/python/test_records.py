"""Record and document functions as Python sees them."""
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
    for seed in (SEED[:62], SEED + "00", "0x" + SEED[2:], SEED[:-1] + "g", ""):
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
    assert verify(content={"b": 2, "a": [1.0, "x"]}) == "integrity error: report: content hash mismatch"
    assert verify(signer_public_key=PUBLIC[:-2]) == "integrity error: bad public key"
    assert verify(signer_public_key="02" + "0" * 62) == (
        "integrity error: signature error: Cannot decompress Edwards point")
    assert verify(signature=doc["signature"] + "0") == "integrity error: bad signature encoding"
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
        "[]": "invalid length 0, expected struct SignedDocument with 5 elements at line 1 column 2",
        "7": "invalid type: integer `7`, expected struct SignedDocument at line 1 column 1",
        '{"kind":"a","kind":"b"}': "duplicate field `kind` at line 1 column 18",
    }
    for text, message in cases.items():
        with pytest.raises(ValueError) as e:
            engine.verify_document_json(text)
        assert str(e.value).startswith(message)
