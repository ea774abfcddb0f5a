"""docs/reference.md names every member that the module's readers accept and
every member of the records it writes. The members are taken from the
readers' own tables in src/, so a member added to a table and left out of
the reference fails here; the readers' own error messages (the length of a
type's array form, the keys an unknown policy key is told to be one of)
check that the tables were read whole."""
import json
import pathlib
import re

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
REFERENCE = ROOT / "docs" / "reference.md"

# Each member table, by its file and the name it gives its type, and the
# heading of the reference section that must name its members.
REQUEST, SOURCE, NUMERIC = "Request members (`VerifyRequest`)", "`sources` (`Source`)", \
    "`numeric` (`NumericConfig`, `MatchOptions`)"
JUDGE, STORED = "`judge` (`JudgeReply`)", "`judge_evidence` (`StoredJudge`)"
RECORD, CONTENT, GRAPH = "Records (`EvidenceRecord`, `UnsignedRecord`)", "Record content (`RecordContent`)", \
    "The graph (`EvidenceGraph`)"
VERIFIERS, FINDINGS = "Verifiers (`VerifierInfo` and `Determinism`)", "Findings (`Evidence`, `Receipt` and `Span`)"
DECISIONS, CONTROLS = "Decisions (`PolicyOutcome` and `ClaimOutcome`)", "`regulatory_mapping` (`RegulatoryControl`)"
RUN_RECORD, EXEC_RULES = "The run record (`RunRecord`, `RunRecordContent`, `Breach`)", "Execution rules (`Rule`)"
SECTIONS = {
    ("records/members.hpp", "VerifyRequest"): REQUEST,
    ("records/members.hpp", "Source"): SOURCE,
    ("records/members.hpp", "NumericConfig"): NUMERIC,
    ("records/members.hpp", "MatchOptions"): NUMERIC,
    ("records/members.hpp", "JudgeReply"): JUDGE,
    ("records/members.hpp", "StoredJudge"): STORED,
    ("records/members.hpp", "EvidenceRecord"): RECORD,
    ("records/members.hpp", "UnsignedRecord"): RECORD,
    ("records/members.hpp", "RecordContent"): CONTENT,
    ("records/members.hpp", "EvidenceGraph"): GRAPH,
    ("records/members.hpp", "VerifierInfo"): VERIFIERS,
    ("records/read.cpp", "Determinism"): VERIFIERS,
    ("records/members.hpp", "Evidence"): FINDINGS,
    ("records/members.hpp", "Receipt"): FINDINGS,
    ("records/members.hpp", "Span"): FINDINGS,
    ("records/members.hpp", "PolicyOutcome"): DECISIONS,
    ("records/members.hpp", "ClaimOutcome"): DECISIONS,
    ("records/members.hpp", "RegulatoryControl"): CONTROLS,
    ("records/document.cpp", "SignedDocument"): "Signed documents",
    ("engine/judge_reply.cpp", "ReplyBody"): JUDGE,
    ("engine/judge_reply.cpp", "ReplyClaim"): JUDGE,
    ("engine/policy_read.cpp", "Policy"): "Policy keys (`Policy`)",
    ("engine/policy_read.cpp", "ScopeRules"): "`scope` (`ScopeRules`)",
    ("engine/policy_read.cpp", "RiskClasses"): "`risk_classes` (`RiskClasses`)",
    ("engine/policy_read.cpp", "JudgeRules"): "`judge` (`JudgeRules`)",
    ("engine/policy_read.cpp", "VerifierSets"): "`verifiers` (`VerifierSets`)",
    ("engine/policy_read.cpp", "DeterminismPolicy"): "`determinism` (`DeterminismPolicy`)",
    ("engine/policy_read.cpp", "DecisionRules"): "`decision` (`DecisionRules`)",
    ("engine/policy_read.cpp", "RegulatoryControl"): CONTROLS,
    ("verifiers/rule_set.cpp", "RuleSet"): "Rule sets (`RuleSet`)",
    ("verifiers/rule_set.cpp", "Rule"): "Rule-set rules (`Rule`)",
    ("verifiers/rule_set.cpp", "Scope"): "Rule scopes (`Scope`)",
    ("verifiers/rule_set.cpp", "Condition"): "Rule conditions (`Condition`)",
    ("run/driver.cpp", "RunVerifyRequest"): "The run request (`RunVerifyRequest`)",
    ("run/policy.cpp", "ExecutionPolicy"): "The execution policy (`ExecutionPolicy`)",
    ("run/policy.cpp", "Rule"): EXEC_RULES,
    ("run/policy.cpp", "RuleMatch"): EXEC_RULES,
    ("run/record.cpp", "RunRecord"): RUN_RECORD,
    ("run/record.cpp", "RunRecordContent"): RUN_RECORD,
    ("run/record.cpp", "Breach"): RUN_RECORD,
}
# Written into the input hash, never read and never shown to a caller.
SET_ASIDE = {("records/members.hpp", "Claim"), ("records/members.hpp", "VerificationContext")}

MEMBER = re.compile(r'\b(?:required|defaulted|optional)<&\w+::\w+[^"()]*>\(\s*"(\w+)"\s*\)')
TABLE = re.compile(r'(?:StructTable|VariantTable)<\w+>\s+\w+\s*\{|struct Members<[^{;]*>\s*\{')
VARIANT = re.compile(r'\{"(\w+)",\s*"\w+",\s*(?:true|false),')


def block(text, start):
    """The text between the brace at `start` and its partner."""
    depth = 0
    for i in range(start, len(text)):
        depth += {"{": 1, "}": -1}.get(text[i], 0)
        if depth == 0:
            return text[start + 1:i]
    raise AssertionError("unbalanced braces")


def member_tables():
    """{(file, type name): member names in declared order}: for a variant
    table its tag, its variants' words and their members."""
    tables = {}
    for path in sorted((ROOT / "src").rglob("*.[ch]pp")):
        text = re.sub(r"//[^\n]*", "", path.read_text())
        name = str(path.relative_to(ROOT / "src"))
        for m in TABLE.finditer(text):
            body = block(text, m.end() - 1)
            label = re.search(r'name\s*=\s*"(\w+)"', body) if m.group().startswith("struct") else \
                re.match(r'\s*"(\w+)"', body)
            if label is None:  # the generic glue that builds a table from Members<T>
                continue
            members = MEMBER.findall(body)
            if "record_head_members" in body:
                head = re.search(r"record_head_members\(\)\s*\{", text)
                members = MEMBER.findall(block(text, head.end() - 1)) + members
            if m.group().startswith("VariantTable"):
                members = [re.findall(r'"(\w+)"', body)[1]] + VARIANT.findall(body) + members
            tables[(name, label.group(1))] = members
    return tables


def sections():
    """{heading text: its section}, a section running to the next heading of
    the same or a higher level."""
    lines = REFERENCE.read_text().splitlines()
    heads = [(i, len(l) - len(l.lstrip("#")), l.lstrip("#").strip()) for i, l in enumerate(lines)
             if re.match(r"#+ ", l)]
    found = {}
    for n, (i, level, title) in enumerate(heads):
        end = next((j for j, lv, _ in heads[n + 1:] if lv <= level), len(lines))
        found[title] = lines[i + 1:end]
    return found


def documented(section, member):
    """A table row of the section whose first cell names the member."""
    return any(re.match(r"\|[^|]*`" + re.escape(member) + r"`", line) for line in section)


def test_every_member_is_named_in_its_section():
    tables, found = member_tables(), sections()
    assert set(tables) == set(SECTIONS) | SET_ASIDE, "a member table without a reference section"
    missing, checked = [], 0
    for key, heading in SECTIONS.items():
        assert heading in found, f"no section {heading!r}"
        assert tables[key], f"no members read from {key}"
        for member in tables[key]:
            checked += 1
            if not documented(found[heading], member):
                missing.append((heading, member))
    assert missing == []
    # Tables compared and set aside, and members checked (211 when written).
    assert (len(SECTIONS), len(SET_ASIDE)) == (40, 2) and checked >= 211


def array_length(call, *args):
    """The member count the reader states for a type's array form."""
    with pytest.raises(ValueError) as raised:
        call(*args)
    return int(re.search(r"with (\d+) elements", str(raised.value)).group(1))


def test_tables_are_read_whole(engine):
    """The parsed tables hold as many members as the readers count, and the
    policy tables the keys the policy reader lists."""
    tables = member_tables()
    request = lambda **members: json.dumps({"answer": "x", "sources": [], **members})
    info = {"id": "llm_judge.a", "version": "1", "kind": "ml", "determinism": {"class": "exact"}, "applies_to": []}
    unsigned = lambda content: json.dumps(["rec_x", "t", content, "h", None, "r"])
    content = lambda graph, outcome: ["s", "e", "b", "i", "und", graph, outcome]
    outcome = lambda claims, controls: ["p", "1", "h", "PASS", claims, [], [], controls]
    run_record = lambda content: json.dumps(["run_x", "t", content])
    attach = lambda text: engine.attach_signature_json(text, "ed25519", "", "")
    probes = {
        ("records/members.hpp", "VerifyRequest"): (engine.verify_json, "[]"),
        ("records/members.hpp", "Source"): (engine.verify_json, '{"answer": "x", "sources": [[]]}'),
        ("records/members.hpp", "MatchOptions"): (engine.verify_json, request(numeric={"matching": []})),
        ("records/members.hpp", "JudgeReply"): (engine.verify_json, request(judge=[])),
        ("records/members.hpp", "StoredJudge"): (engine.verify_json, request(judge_evidence=[])),
        ("records/members.hpp", "VerifierInfo"): (engine.verify_json,
                                                  request(judge_evidence={"info": [], "evidence": []})),
        ("records/members.hpp", "Evidence"): (engine.verify_json,
                                              request(judge_evidence={"info": info, "evidence": [[]]})),
        ("records/members.hpp", "Span"): (engine.verify_json, request(judge_evidence={"info": info, "evidence": [
            ["v", "1", "c0", "supported", 1, 1, {"class": "exact"}, "r", [None, []]]]})),
        ("records/members.hpp", "EvidenceRecord"): (engine.record_verify, "[]"),
        ("records/members.hpp", "UnsignedRecord"): (attach, "[]"),
        ("records/members.hpp", "RecordContent"): (attach, unsigned([])),
        ("records/members.hpp", "EvidenceGraph"): (attach, unsigned(content([], []))),
        ("records/members.hpp", "PolicyOutcome"): (attach, unsigned(content([[], []], []))),
        ("records/members.hpp", "ClaimOutcome"): (attach, unsigned(content([[], []], outcome([[]], [])))),
        ("records/members.hpp", "RegulatoryControl"): (attach, unsigned(content([[], []], outcome([], [[]])))),
        ("records/document.cpp", "SignedDocument"): (engine.verify_document_json, "[]"),
        ("verifiers/rule_set.cpp", "RuleSet"): (engine.verify_json, request(rule_sets_json=["[]"])),
        ("verifiers/rule_set.cpp", "Rule"): (engine.verify_json, request(rule_sets_json=['["a", "1", [[]]]'])),
        ("run/driver.cpp", "RunVerifyRequest"): (engine.run_verify_json, "[]"),
        ("run/policy.cpp", "ExecutionPolicy"): (engine.run_verify_json, json.dumps(
            {"trace": "", "policy_json": "[]", "run_id": "r", "system_id": "s"})),
        ("run/record.cpp", "RunRecord"): (engine.run_record_verify, "[]"),
        ("run/record.cpp", "RunRecordContent"): (engine.run_record_verify, run_record([])),
        ("run/record.cpp", "Breach"): (engine.run_record_verify, run_record(
            ["s", "e", "r", None, "h", None, "p", None, "ALLOW", [[]]])),
    }
    for key, (call, text) in probes.items():
        assert array_length(call, text) == len(tables[key]), key

    # The policy reader names every key of a section when it refuses another.
    policy_keys = {"Policy": "", "ScopeRules": "scope", "RiskClasses": "risk_classes", "JudgeRules": "judge",
                   "VerifierSets": "verifiers", "DeterminismPolicy": "determinism", "DecisionRules": "decision",
                   "RegulatoryControl": "regulatory_mapping"}
    for name, key in policy_keys.items():
        stray = "nosuch: 1" if not key else f"{key}: [{{nosuch: 1}}]" if name == "RegulatoryControl" \
            else f"{key}: {{nosuch: 1}}"
        with pytest.raises(ValueError) as raised:
            engine.policy_lint(f"id: a\nversion: '1'\n{stray}\n")
        assert re.findall(r"`(\w+)`", str(raised.value))[1:] == tables[("engine/policy_read.cpp", name)], name
    assert len(probes) + len(policy_keys) == 31
