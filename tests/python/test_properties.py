"""Properties over generated inputs: sealed records, chains and documents
verify in every form their readers accept by design, any change to what a
seal covers is refused, and no function raises anything but its documented
exceptions, whatever text it is given."""
import inspect
import json
from decimal import Decimal
from pathlib import Path

import pytest
from hypothesis import HealthCheck, given, settings, strategies as st
from hypothesis.configuration import set_hypothesis_home_dir

import quillaveen._engine as engine_module
from oracle import canonical, digest, ed25519_sign, jsonl, record_hash, sealed_chain
from oracle import content as evidence_content

# Hypothesis caches Unicode tables; they go into the build directory the
# module is loaded from, not the source tree.
set_hypothesis_home_dir(str(Path(engine_module.__file__).parents[2] / "hypothesis"))
# Fixed example counts and a derandomized search keep runs reproducible.
PROPERTY = settings(max_examples=60, derandomize=True, database=None, deadline=None,
                    suppress_health_check=[HealthCheck.too_slow, HealthCheck.data_too_large])

TEXT = st.text(max_size=24)
# Python writes floats below 1e-4 in exponent form; the engine's canonical
# form writes them positionally, so the oracle's hash agrees from there up.
FLOAT = st.floats(allow_nan=False, allow_infinity=False).filter(lambda x: x == 0 or abs(x) >= 1e-4)
U64 = st.integers(0, 2**64 - 1)
JSON = st.recursive(st.none() | st.booleans() | st.integers(-2**63, 2**64 - 1) | FLOAT | TEXT,
                    lambda inner: st.lists(inner, max_size=4) | st.dictionaries(TEXT, inner, max_size=4),
                    max_leaves=12)


def run_content():
    return {"schema": "quillaveen.run-record/1", "engine_version": "6.0.5", "run_id": "", "parent_run_id": "",
            "run_hash": "", "log_head": "", "policy_id": "", "policy_hash": "", "gate": "DENY",
            "breaches": [{"action_id": "", "reason": ""}]}


# Hashed members of each content that the writer gives back as read.
EVIDENCE_LEAVES = {
    ("input_hash",): TEXT, ("locale",): TEXT,
    ("graph", "evidence", 0, "rationale"): TEXT, ("graph", "evidence", 0, "score"): FLOAT,
    ("graph", "evidence", 0, "confidence"): FLOAT, ("graph", "evidence", 0, "receipt", "source_id"): TEXT,
    ("graph", "evidence", 0, "receipt", "source_span", "end"): U64,
    ("outcome", "policy_id"): TEXT, ("outcome", "policy_hash"): TEXT,
    ("outcome", "claims", 0, "reasons"): st.lists(TEXT, max_size=3),
}
RUN_LEAVES = {(k,): TEXT for k in ("run_id", "parent_run_id", "run_hash", "log_head", "policy_id", "policy_hash")}
RUN_LEAVES.update({("breaches", 0, k): TEXT for k in ("action_id", "reason")})
KINDS = {
    "evidence": (lambda: evidence_content(0), EVIDENCE_LEAVES, lambda e, text: e.record_verify(text)),
    "run": (run_content, RUN_LEAVES, lambda e, text: e.run_record_verify(text)),
}


def put(tree, path, value):
    for key in path[:-1]:
        tree = tree[key]
    tree[path[-1]] = value


def get(tree, path):
    for key in path:
        tree = tree[key]
    return tree


def seal(contents, ids, timestamps, seed):
    """Records sealed and linked by the independent oracle."""
    chain, previous = [], None
    for c, record_id, timestamp in zip(contents, ids, timestamps):
        r = {"record_id": record_id, "timestamp": timestamp, "content": c, "content_hash": digest(canonical(c))}
        if previous is not None:
            r["previous_record_hash"] = previous
        r["record_hash"] = previous = record_hash(r["content_hash"], previous, record_id, timestamp)
        public, signature = ed25519_sign(seed, previous.encode())
        r.update(signature=signature.hex(), signer_public_key=public.hex())
        chain.append(r)
    return chain


@st.composite
def sealed_chains(draw, kind):
    """A chain of one to three records with generated hashed members."""
    make_content, leaves, _ = KINDS[kind]
    contents = []
    for _ in range(draw(st.integers(1, 3))):
        contents.append(make_content())
        for path, values in leaves.items():
            put(contents[-1], path, draw(values))
    n = len(contents)
    ids, timestamps = draw(st.lists(TEXT, min_size=n, max_size=n)), draw(st.lists(TEXT, min_size=n, max_size=n))
    return seal(contents, ids, timestamps, draw(st.binary(min_size=32, max_size=32)))


def float_text(x, rnd):
    """Another notation of the same double: shifted exponent, padding zeros, e or E."""
    shift = rnd.randint(-3, 3)
    body = f"{Decimal(repr(x)).scaleb(-shift):f}"
    zeros = "0" * rnd.randint(0, 2)
    if zeros:
        body += zeros if "." in body else "." + zeros
    return body + rnd.choice("eE") + rnd.choice([str(shift), f"{shift:+d}"])


def render(value, rnd):
    """JSON text in a form the readers accept by design: members in any order,
    white space between tokens, any float notation, escaped or raw non-ASCII,
    and hex signatures and keys in either case."""
    space = lambda: rnd.choice(["", " ", "\t", " \t "])
    if isinstance(value, dict):
        items = list(value.items())
        rnd.shuffle(items)
        return "{" + ",".join(f"{space()}{render(k, rnd)}{space()}:{space()}{render(v, rnd)}{space()}"
                              for k, v in items) + "}"
    if isinstance(value, list):
        return "[" + ",".join(space() + render(v, rnd) + space() for v in value) + "]"
    if isinstance(value, float):
        return float_text(value, rnd)
    return json.dumps(value, ensure_ascii=rnd.random() < 0.5)


def hex_case(record, rnd):
    record = dict(record)
    for key in ("signature", "signer_public_key"):
        if rnd.random() < 0.5:
            record[key] = record[key].upper()
    return record


@pytest.mark.parametrize("kind", sorted(KINDS))
@PROPERTY
@given(data=st.data())
def test_sealed_chains_verify_in_every_accepted_form(engine, kind, data):
    chain = data.draw(sealed_chains(kind))
    verify = KINDS[kind][2]
    assert verify(engine, jsonl(chain)) == len(chain)
    rnd = data.draw(st.randoms(use_true_random=False))
    text = rnd.choice(["\n", "\r\n", "\n \n"]).join(render(hex_case(r, rnd), rnd) for r in chain)
    assert verify(engine, text) == len(chain)
    if kind == "evidence":
        assert engine.record_verify_chains([text, ""]) == len(chain)


def flipped_bit(hex_text):
    data = bytes.fromhex(hex_text)
    return st.integers(0, 8 * len(data) - 1).map(
        lambda bit: bytes(b ^ (1 << bit % 8) if i == bit // 8 else b for i, b in enumerate(data)).hex())


# What a seal covers beside its content, and how each can be changed.
RECORD_CHANGES = {
    "record_id": lambda old: TEXT,
    "timestamp": lambda old: TEXT,
    "previous_record_hash": lambda old: st.none() | TEXT,
    "content_hash": lambda old: TEXT | st.just(old[:7] + old[7:].upper()),
    "record_hash": lambda old: TEXT | st.just(old[:7] + old[7:].upper()),
    "signature": flipped_bit,
    "signer_public_key": flipped_bit,
}


def changed(data, tree, path, values):
    """Puts a value into `tree` at `path` that writes differently from the one there."""
    old = get(tree, path) if path[-1] in get(tree, path[:-1]) else None
    put(tree, path, data.draw(values(old).filter(lambda v: canonical(v) != canonical(old)), label=str(path)))


@pytest.mark.parametrize("kind", sorted(KINDS))
@PROPERTY
@given(data=st.data())
def test_any_change_to_a_sealed_chain_is_refused(engine, kind, data):
    chain = data.draw(sealed_chains(kind))
    leaves = KINDS[kind][1]
    targets = [(k,) for k in RECORD_CHANGES] + [("content",) + p for p in leaves]
    path = data.draw(st.sampled_from(targets))
    values = RECORD_CHANGES[path[0]] if len(path) == 1 else (lambda old: leaves[path[1:]])
    changed(data, chain[data.draw(st.integers(0, len(chain) - 1))], path, values)
    with pytest.raises(RuntimeError, match="^integrity error: "):
        KINDS[kind][2](engine, jsonl(chain))


DOCUMENT_CHANGES = {
    "kind": lambda old: TEXT,
    "content": lambda old: JSON,
    "content_hash": RECORD_CHANGES["content_hash"],
    "signature": flipped_bit,
    "signer_public_key": flipped_bit,
}


@PROPERTY
@given(kind=TEXT, content=JSON, seed=st.binary(min_size=32, max_size=32), data=st.data())
def test_documents_verify_and_refuse_every_change(engine, kind, content, seed, data):
    rnd = data.draw(st.randoms(use_true_random=False))
    doc = json.loads(engine.sign_document_json(kind, render(content, rnd), seed.hex()))
    # The seal, recomputed by the oracle over the content as generated.
    content_hash = digest(canonical({"kind": kind, "content": content}))
    public, signature = ed25519_sign(seed, content_hash.encode())
    assert (doc["content_hash"], doc["signature"], doc["signer_public_key"]) == (
        content_hash, signature.hex(), public.hex())
    assert engine.verify_document_json(render(hex_case(doc, rnd), rnd)) is None
    key = data.draw(st.sampled_from(sorted(DOCUMENT_CHANGES)))
    changed(data, doc, (key,), DOCUMENT_CHANGES[key])
    with pytest.raises(RuntimeError, match="^integrity error: "):
        engine.verify_document_json(json.dumps(doc))


# Result and exception types per function, for any argument of type str
# (`chains` takes a list of them). A function registered later is covered
# by its entry here.
TEXT_IN = (str, (ValueError,))
RECORDS = (int, (ValueError, RuntimeError))
DOCUMENTED = {
    "verify_json": TEXT_IN, "run_verify_json": TEXT_IN, "verify_unsigned_json": TEXT_IN,
    "verify_timed_json": TEXT_IN, "verify_unsigned_timed_json": TEXT_IN, "judge_prompt_json": TEXT_IN,
    "sign_document_json": TEXT_IN, "verify_document_json": (type(None), (ValueError, RuntimeError)),
    "attach_signature_json": TEXT_IN, "record_verify_chains": RECORDS, "run_record_verify": RECORDS,
    "record_verify": RECORDS, "policy_lint": (tuple, (ValueError,)), "default_policy_yaml": (str, ()),
    "builtin_policy_yaml": ((str, type(None)), ()), "policy_resolve": TEXT_IN, "keygen": (str, ()),
    "engine_version": (str, ()), "yaml_to_json": TEXT_IN,
}

SEED = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60"
CHAIN = sealed_chain(bytes.fromhex(SEED), count=2)
RUN_CHAIN = seal([run_content(), run_content()], ["run_a", "run_b"], ["t0", "t1"], bytes.fromhex(SEED))
DOC_HASH = digest(canonical({"kind": "k", "content": [1.5]}))
DOC = {"kind": "k", "content": [1.5], "content_hash": DOC_HASH,
       "signature": ed25519_sign(bytes.fromhex(SEED), DOC_HASH.encode())[1].hex(),
       "signer_public_key": CHAIN[0]["signer_public_key"]}
POLICY_YAML = ("id: p\nversion: '1'\nextends: quillaveen_default_v1\nrounding: half_even\n"
               "verifiers:\n  required: [quillaveen.numeric]\n  forbidden: ['llm_judge.*']\n")
RUN_REQUEST = json.dumps({
    "trace": json.dumps({"jsonrpc": "2.0", "id": 1, "method": "tools/call", "params": {"name": "rm"}}),
    "policy_json": '{"id": "p", "default": "ALLOW", "rules": []}', "run_id": "r", "system_id": "s",
    "started_at": "2026-01-01T00:00:00Z", "signing_key_hex": SEED})
VERIFY_REQUEST = json.dumps({"question": "How much?", "answer": "Revenue was 4.2 million EUR in 2024.",
                             "sources": [{"id": "s1", "text": "Revenue: EUR 4.2m (2024)."}],
                             "signing_key_hex": SEED})
# Valid arguments by parameter name, which the generated texts cut and splice.
SAMPLES = {
    "request_json": [RUN_REQUEST, VERIFY_REQUEST], "kind": ["report"], "content_json": ['{"a": [1.5, "x"]}'],
    "seed_hex": [SEED], "doc_json": [json.dumps(DOC)],
    "unsigned_json": [jsonl(CHAIN[:1])], "algorithm": ["ed25519", "ecdsa-p256-sha256"],
    "public_key_hex": [CHAIN[0]["signer_public_key"]], "signature_hex": [CHAIN[0]["signature"]],
    "jsonl": [jsonl(CHAIN), jsonl(RUN_CHAIN)], "yaml": [POLICY_YAML], "text": [POLICY_YAML, "a: &x [1, {b: ~}]\nc: *x\n"],
    "name": ["quillaveen_default_v1", "eu_ai_act_high_risk_v1"],
}


def spliced(sample):
    return st.tuples(st.integers(0, len(sample)), st.integers(0, 8), TEXT).map(
        lambda t: sample[:t[0]] + t[2] + sample[t[0] + t[1]:])


def argument(name):
    if name == "chains":
        return st.lists(argument("jsonl"), max_size=3)
    return TEXT | st.sampled_from(SAMPLES[name]).flatmap(lambda s: st.just(s) | spliced(s))


def test_every_registered_function_has_documented_types():
    assert set(engine_module.__all__) <= set(DOCUMENTED)


@pytest.mark.parametrize("name", engine_module.__all__)
@PROPERTY
@given(data=st.data())
def test_only_documented_exceptions_for_any_text(engine, name, data):
    function = getattr(engine, name)
    args = [data.draw(argument(p), label=p) for p in inspect.signature(function).parameters]
    result_type, raises = DOCUMENTED[name]
    try:
        result = function(*args)
    except BaseException as e:  # a panic derives from BaseException, not Exception
        assert type(e) in raises, repr(e)
        assert len(e.args) == 1 and isinstance(e.args[0], str)
    else:
        assert isinstance(result, result_type)


VERIFIER_IDS = ["quillaveen.numeric", "quillaveen.scope", "quillaveen.intent", "quillaveen.rules.*"]
DECISIONS = st.sampled_from(["PASS", "REVIEW", "FAIL"])


@st.composite
def child_policy(draw):
    """A policy extending a shipped one, overriding some of its sections, as
    YAML (written in its JSON form, or as block YAML). YAML has no escapes for
    surrogate pairs, so characters past U+FFFF stay as they are, and its
    texts hold only printable characters."""
    policy = {"id": draw(st.from_regex(r"[a-z][a-z0-9_]{0,11}", fullmatch=True)),
              "version": draw(st.sampled_from(["1", "2.0.1", "1.5.0"])),
              "extends": draw(st.sampled_from(["quillaveen_default_v1", "eu_ai_act_high_risk_v1"]))}
    optional = {
        "description": st.text(st.characters(blacklist_categories=("Cs", "Cc"), blacklist_characters="\ufffe\uffff"),
                               max_size=24),
        "locale": st.sampled_from(["en", "de", "fr", "und"]),
        "rounding": st.sampled_from(["half_up", "half_even", "within_last_digit"]),
        "verifiers": st.fixed_dictionaries({}, optional={
            "required": st.lists(st.sampled_from(VERIFIER_IDS[:3]), unique=True, max_size=2),
            "recommended": st.lists(st.sampled_from(VERIFIER_IDS), unique=True)}),
        "decision": st.fixed_dictionaries({}, optional={"unresolved_claims": DECISIONS, "conflicts": DECISIONS}),
    }
    for key, strategy in optional.items():
        if draw(st.booleans()):
            policy[key] = draw(strategy)
    if draw(st.booleans()):
        return json.dumps(policy, ensure_ascii=False)
    return "".join(f"{k}: {json.dumps(v, ensure_ascii=False)}\n" for k, v in policy.items())


@PROPERTY
@given(text=child_policy())
def test_resolved_policies_read_back_to_the_same_hash(engine, text):
    policy_hash, _ = engine.policy_lint(text)
    resolved = engine.policy_resolve(text)
    assert resolved.splitlines()[1] == "# hash: " + policy_hash
    assert engine.policy_lint(resolved)[0] == policy_hash
    assert engine.policy_resolve(resolved) == resolved
