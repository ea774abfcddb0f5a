"""The policy functions: shipped texts, lint with the policy hash, resolution."""
import hashlib
import json

import pytest

DEFAULT_DESCRIPTION_LINES = [
    "Numeric claims must be exactly supported by the sources. A numeric",
    "contradiction fails the answer, and so does a figure taken from a passage",
    "outside the request's scope. A figure the sources do not contain, and the",
    "answer cannot recompute from figures they do, goes to review, and so does",
    "an answer whose figure is not the kind or unit the question asked for, and",
    "any claim no deterministic verifier can resolve. No model is needed and no generative",
    "verifier decides.",
]


def default_policy_json_form(policy_id="quillaveen_default_v1", version="1.5.0"):
    """The hashed JSON form of the default policy, built from its settings."""
    return {
        "id": policy_id,
        "version": version,
        "description": " ".join(DEFAULT_DESCRIPTION_LINES) + "\n",
        "verifiers": {
            "required": ["quillaveen.numeric"],
            "recommended": ["quillaveen.scope", "quillaveen.intent", "quillaveen.rules.*"],
            "optional": [],
            "fallback": [],
            "forbidden": ["llm_judge.*"],
        },
        "determinism": {"minimum_to_decide": "reproducible"},
        "decision": {
            "any_contradiction_from": ["quillaveen.numeric", "quillaveen.scope", "quillaveen.rules.*"],
            "unsupported_from": ["quillaveen.numeric", "quillaveen.scope", "quillaveen.intent"],
            "unresolved_claims": "REVIEW",
            "conflicts": "REVIEW",
            "tolerate_unresolved_kinds": ["word", "statement"],
            "tolerate_notes": ["year_not_in_sources"],
        },
        "regulatory_mapping": [],
    }


def digest(form):
    text = json.dumps(form, sort_keys=True, separators=(",", ":"), ensure_ascii=False)
    return "sha256:" + hashlib.sha256(text.encode()).hexdigest()


def test_docstrings(engine):
    assert engine.policy_lint.__doc__ == "`(policy_hash, problems)`."
    assert engine.builtin_policy_yaml.__doc__ == (
        "The YAML of a shipped policy, by id; `None` when no such policy ships.")
    assert engine.policy_resolve.__doc__ == "The resolved policy as YAML, headed by its id, version and hash."


def test_shipped_texts(engine):
    default = engine.default_policy_yaml()
    assert default == engine.builtin_policy_yaml("quillaveen_default_v1")
    assert (len(default.encode()), default.count("\n")) == (1037, 23)
    eu = engine.builtin_policy_yaml(name="eu_ai_act_high_risk_v1")
    assert (len(eu.encode()), eu.count("\n")) == (2084, 44)
    assert eu.startswith("# Policy: what this organisation considers acceptable for a RAG assistant\n"
                         "# whose outputs feed a decision listed in Annex III of Regulation (EU) 2024/1689.\n"
                         "id: eu_ai_act_high_risk_v1\n")
    for name in ["  quillaveen_default_v1\n", "Quillaveen_default_v1", ""]:
        assert engine.builtin_policy_yaml(name) is None


def test_lint_hash_matches_an_independent_json_form(engine):
    policy_hash, problems = engine.policy_lint("  quillaveen_default_v1\n")
    assert problems == []
    assert policy_hash == digest(default_policy_json_form())
    # A child that restates nothing but its own id and version hashes as the
    # default with those, plus its extends member.
    child = "id: mine\nversion: '2'\nextends: quillaveen_default_v1\n"
    form = default_policy_json_form("mine", "2")
    form["extends"] = "quillaveen_default_v1"
    assert engine.policy_lint(child) == (digest(form), [])
    # Emptied lists the form leaves out are left out of the hash as well.
    emptied = child + "decision: {unsupported_from: [], tolerate_notes: []}\n"
    del form["decision"]["unsupported_from"], form["decision"]["tolerate_notes"]
    assert engine.policy_lint(emptied)[0] == digest(form)
    result = engine.policy_lint(yaml="id: a\nversion: b\nrounding: up\n")
    assert type(result) is tuple and type(result[1]) is list
    assert result[1] == ["rounding: unknown rule up; use half_up, half_even, within_last_digit"]


@pytest.mark.parametrize("function", ["policy_lint", "policy_resolve"])
@pytest.mark.parametrize("text, message", [
    ("", "invalid input: policy: EOF while parsing a value"),
    ("id: a\nversion: b\nextends: nope\n", 'invalid input: policy: extends "nope": not a shipped policy; '
     "use one of quillaveen_default_v1, eu_ai_act_high_risk_v1"),
    ("id: a\nversion: b\njudge: {required: 1}\n",
     "invalid input: policy: judge.required: invalid type: integer `1`, expected a boolean at line 3 column 19"),
])
def test_unreadable_policies_raise_value_error(engine, function, text, message):
    with pytest.raises(ValueError) as info:
        getattr(engine, function)(text)
    assert info.value.args == (message,)


def test_resolve_shows_the_merged_policy_and_reads_back(engine):
    child = ("id: \"mine\\nsecond\"\nversion: v2\nextends: eu_ai_act_high_risk_v1\n"
             "decision: {tolerate_notes: [], conflicts: FAIL}\nverifiers: {forbidden: []}\n")
    resolved = engine.policy_resolve(child)
    policy_hash, _ = engine.policy_lint(child)
    lines = resolved.split("\n")
    assert lines[0] == "# mine second vv2"
    assert lines[1] == "# hash: " + policy_hash
    assert lines[2:7] == ["id: |-", "  mine", "  second", "version: v2", "extends: eu_ai_act_high_risk_v1"]
    assert "  tolerate_notes: []" in lines and "  forbidden: []" in lines and "  conflicts: FAIL" in lines
    assert "- framework: EU-AI-Act-2024/1689" in lines
    assert engine.policy_lint(resolved)[0] == policy_hash
    assert engine.policy_resolve(resolved) == resolved


def test_argument_errors(engine):
    for f in (engine.policy_lint, engine.policy_resolve, engine.builtin_policy_yaml):
        with pytest.raises(TypeError):
            f(None)
        with pytest.raises(TypeError):
            f()
