"""Hostile inputs at every door of the module: nesting a million deep, huge
numbers, alias bombs, patterns that defeat backtracking, long texts and long
transcripts. Each call ends, and where it stopped or how much it wrote is
bounded by a count or a size stated here."""
import json
import pathlib
import re

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
BASE = json.loads((ROOT / "examples" / "sample_request.json").read_text())
SEED = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60"
MILLION = 1_000_000
MAX_DEPTH = 128  # containers the readers open before they refuse
SENTENCE = "Revenue rose 8.2% to EUR 4.31 billion. "


def request(**members):
    r = dict(BASE, signing_key_hex=SEED)
    r.update(members)
    return json.dumps(r)


def answer_rule(pattern):
    rule = {"id": "r", "when": {"answer_matches": pattern}, "emit": "contradicted"}
    return json.dumps({"id": "s", "version": "1", "rules": [rule]})


def run_request(trace, rules=()):
    policy = {"id": "p", "default": "ALLOW", "rules": list(rules)}
    return json.dumps({"trace": trace, "policy_json": json.dumps(policy), "run_id": "r", "system_id": "s",
                       "started_at": "2026-01-01T00:00:00Z", "signing_key_hex": SEED})


def call(i, **arguments):
    return json.dumps({"jsonrpc": "2.0", "id": i, "method": "tools/call", "params": {"name": "rm", "arguments": arguments}})


def deep(prefix, suffix=""):
    return prefix, prefix + "[" * MILLION + "]" * MILLION + suffix


def laughs(levels=10):
    """Each level an anchored list of ten aliases to the level below: 10**levels leaves."""
    lines = ["l0: &l0 [x, x, x, x, x, x, x, x, x, x]"]
    lines += [f"l{i}: &l{i} [" + ", ".join([f"*l{i - 1}"] * 10) + "]" for i in range(1, levels)]
    return "\n".join(lines) + "\n"


# (function, prefix of the text before the nesting, arguments): the reader
# stops within MAX_DEPTH + 1 brackets of the prefix, whatever follows.
def nesting_cases():
    prefix, text = deep("")
    yield "sign_document_json", prefix, ("k", text, SEED)
    prefix, text = deep('{"kind":"k","content":', ',"content_hash":"","signature":"","signer_public_key":""}')
    yield "verify_document_json", prefix, (text,)
    prefix, text = deep("")
    yield "yaml_to_json", prefix, (text,)
    prefix, text = deep("a: ")
    yield "policy_lint", prefix, (text,)
    yield "policy_resolve", prefix, (text,)
    prefix, text = deep('{"id":"s","version":"1","skipped":', ',"rules":[]}')
    yield "verify_json", prefix, (request(rule_sets_json=[text]),)
    line = call(1, p=0)
    prefix, text = deep(line[:line.index('"p": ') + 5], "}}}")
    yield "run_verify_json", prefix, (run_request(text),)


@pytest.mark.parametrize("function, prefix, args", list(nesting_cases()), ids=lambda v: v if isinstance(v, str) and len(v) < 30 else "")
def test_nesting_stops_at_the_depth_limit(engine, function, prefix, args):
    with pytest.raises(ValueError) as raised:
        getattr(engine, function)(*args)
    message = str(raised.value)
    found = re.search(r"recursion limit exceeded at line 1 column (\d+)$", message)
    assert found, message
    assert int(found[1]) <= len(prefix) + MAX_DEPTH + 1
    assert len(message) < 256


def test_block_nesting_stops_at_the_depth_limit(engine):
    text = "".join(" " * i + "-\n" for i in range(3000))
    with pytest.raises(ValueError, match=r"recursion limit exceeded at line (\d+) column \d+$") as raised:
        engine.yaml_to_json(text)
    assert int(re.search(r"line (\d+)", str(raised.value))[1]) <= MAX_DEPTH + 1


# (function, arguments, exception, message): refused outright.
REFUSED = [
    # Huge numbers: a million digits, an exponent of a thousand digits.
    ("sign_document_json", ("k", "1" * MILLION, SEED), ValueError, f"number out of range at line 1 column {MILLION}"),
    ("sign_document_json", ("k", "1e" + "9" * 1000, SEED), ValueError, "number out of range at line 1 column 12"),
    # Alias bombs: 10**10 leaves, and a MiB of text copied a hundred times
    # (past the 64 MiB the aliases may copy into one tree).
    ("yaml_to_json", (laughs(),), ValueError, "repetition limit exceeded"),
    ("policy_lint", (laughs(),), ValueError, "invalid input: policy: repetition limit exceeded"),
    ("verify_json", (request(policy_yaml=laughs()),), ValueError, "invalid input: policy: repetition limit exceeded"),
    ("yaml_to_json", ('a: &a "' + "x" * (1 << 20) + '"\nb: [' + "*a, " * 100 + "]\n",), ValueError,
     "repetition limit exceeded"),
]


@pytest.mark.parametrize("function, args, error, message", REFUSED, ids=lambda v: v if isinstance(v, str) and len(v) < 30 else "")
def test_refused_within_limits(engine, function, args, error, message):
    with pytest.raises(error) as raised:
        getattr(engine, function)(*args)
    assert str(raised.value) == message


def test_hostile_patterns_are_bounded(engine):
    # A repetition that would compile past 10 MiB is refused by size.
    with pytest.raises(ValueError, match=r"exceeds size limit of 10485760 bytes\.$"):
        engine.verify_json(request(rule_sets_json=[answer_rule("a{100000}{100000}")]))
    # Nesting a pattern 100 000 deep is refused at 250 levels; the message
    # quotes the pattern, so its size is bounded by the pattern's.
    pattern = "(" * 100_000 + "a" + ")" * 100_000
    with pytest.raises(ValueError, match=r"nested parentheses/brackets \(250\)$") as raised:
        engine.verify_json(request(rule_sets_json=[answer_rule(pattern)]))
    assert len(str(raised.value)) < 3 * len(pattern)
    # Patterns that make a backtracker exponential, against 100 000 letters:
    # the first matches (the rule fires, FAIL), the second never does (PASS).
    answer = "Revenue rose 8.2%. " + "a" * 100_000
    for pattern, decision in (("(a+)+$", "FAIL"), ("(a|aa)*c", "PASS")):
        record = engine.verify_json(request(answer=answer, rule_sets_json=[answer_rule(pattern)]))
        assert json.loads(record)["content"]["outcome"]["decision"] == decision
        assert len(record) < 16 << 10


# (function, arguments, bound on the size of the result in bytes)
def sized_cases():
    long_answer = SENTENCE * 2500
    yield "verify_json", (request(answer=long_answer),), 64 * len(long_answer)
    yield "judge_prompt_json", (request(answer=long_answer),), 4 * len(long_answer) + (64 << 10)
    yield "verify_json", (request(answer="x" * MILLION),), 16 << 10
    yield "verify_json", (request(answer="Revenue was EUR " + "9" * 100_000 + " billion."),), 16 << 10
    yield "yaml_to_json", ("1" * MILLION,), MILLION + 2
    yield "yaml_to_json", ("a: " + "x" * 10 * MILLION,), 10 * MILLION + 8
    # A run record has a fixed size whatever the transcript holds.
    deny = [{"id": "d", "match": "tool", "name": "rm", "effect": "DENY"}]
    yield "run_verify_json", (run_request("\n".join(call(i, p="/") for i in range(20_000)), deny),), 1 << 10
    yield "run_verify_json", (run_request("\n".join([call(1)] * 20_000)),), 1 << 10
    yield "run_verify_json", (run_request(call(1, p="x" * MILLION)),), 1 << 10


@pytest.mark.parametrize("function, args, bound", list(sized_cases()), ids=lambda v: v if isinstance(v, str) and len(v) < 30 else "")
def test_results_of_hostile_sizes_stay_bounded(engine, function, args, bound):
    result = getattr(engine, function)(*args)
    assert isinstance(result, str)
    assert 0 < len(result) <= bound
    json.loads(result)  # and it is whole
