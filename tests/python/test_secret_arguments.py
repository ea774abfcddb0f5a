"""A secret argument that cannot be encoded (a lone surrogate) raises the
interpreter's UnicodeEncodeError, whose object, args and repr must not carry
the secret: the offending character stays at its place, every other one is
replaced, and type, start, end, reason, encoding and str() are unchanged."""
import json
import random

import pytest

BAD = "\ud800"


def seeds():
    rng = random.Random(15)
    for length in range(1, 97):
        base = "".join(rng.choice("0123456789abcdef") for _ in range(length))
        for at in sorted({0, length // 2, length - 1}):
            yield base[:at] + BAD + base[at + 1:], at


def interpreter_error(text):
    with pytest.raises(UnicodeEncodeError) as e:
        text.encode("utf-8")
    return e.value


def runs(text):
    return {text[i:i + 4] for i in range(len(text) - 3)}


def check_masked(error, secret, at):
    own = interpreter_error(secret)
    assert type(error) is UnicodeEncodeError
    assert (error.start, error.end, error.reason, error.encoding) == (at, at + 1, own.reason, own.encoding)
    assert str(error) == str(own)
    assert error.object == "*" * at + BAD + "*" * (len(secret) - at - 1)
    shown = (repr(error), repr(error.args), error.object)
    leaked = [r for r in runs(secret) if any(r in s for s in shown)]
    assert leaked == []


def test_seed_hex_is_masked(engine):
    count = 0
    for seed, at in seeds():
        with pytest.raises(UnicodeEncodeError) as e:
            engine.sign_document_json("k", "{}", seed)
        check_masked(e.value, seed, at)
        count += 1
    assert count == 285


REQUEST_FUNCTIONS = ["run_verify_json", "verify_json", "verify_unsigned_json", "verify_timed_json",
                     "verify_unsigned_timed_json", "judge_prompt_json"]


@pytest.mark.parametrize("function", REQUEST_FUNCTIONS)
def test_requests_are_masked_whole(engine, function):
    # The seed sits inside the request text; the whole argument is masked.
    for seed, _ in seeds():
        request = json.dumps({"run_id": "r", "signing_key_hex": seed}, ensure_ascii=False)
        with pytest.raises(UnicodeEncodeError) as e:
            getattr(engine, function)(request)
        check_masked(e.value, request, request.index(BAD))


def test_other_arguments_keep_the_interpreters_error(engine):
    kind = "report-" + BAD
    with pytest.raises(UnicodeEncodeError) as e:
        engine.sign_document_json(kind, "{}", "00" * 32)
    assert e.value.object == kind
    assert e.value.args == interpreter_error(kind).args
