"""Verifying a chain of 10,000 sealed evidence records from Python, in
interleaved rounds, each round timing both sides of two comparisons one
after the other:

- record_verify_over_pure_python: record_verify beside what a Python user
  would write instead (json, hashlib and PyNaCl) on the same text; `ratio`
  is the pure-Python CPU time over record_verify's.
- record_verify_non_ascii_over_ascii: record_verify on the chain as Python
  holds text beyond ASCII, beside the same records written in ASCII (every
  other character as a JSON \\u escape); `ratio` is the non-ASCII rate over
  the ASCII rate in records per second.

Writes Google Benchmark's JSON form: one entry per round for each
comparison, with `repetition_index`, and the load average in the context.

    PYTHONPATH=build-bench/python python3 bench/chain_python.py [out.json]
"""
import hashlib
import json
import os
import pathlib
import platform
import re
import sys
import time

import nacl.exceptions
import nacl.signing

import quillaveen._engine as engine

RECORDS = 10_000
ROUNDS = 5
SECONDS = 1.0  # at least, per side and round


def make_chain():
    """Sealed records of the demo's request with varied answers that hold
    text beyond ASCII, as answers in a currency or a name do, each record
    linked to the one before and signed with one key."""
    base = json.loads((pathlib.Path(__file__).parents[1] / "examples" / "sample_request.json").read_text())
    base["signing_key_hex"] = engine.keygen()
    lines, previous = [], None
    for i in range(RECORDS):
        request = dict(base, answer=f"Revenue rose {i % 97}.{i % 10}% to \u20ac{4 + i % 5}.31 billion in "
                                    f"{2000 + i % 25} \u2014 ahead of plan, said the CFO, Zo\u00eb M\u00fcller.")
        if previous:
            request["previous_record_hash"] = previous
        record = engine.verify_json(json.dumps(request))
        previous = json.loads(record)["record_hash"]
        lines.append(record)
    return "\n".join(lines) + "\n"


def in_ascii(text):
    """The same JSON text with every character beyond ASCII written as a \\u
    escape (a surrogate pair beyond U+FFFF): the same records."""
    return re.sub(r"[^\x00-\x7f]", lambda m: json.dumps(m.group(0))[1:-1], text)


def digest(text):
    return "sha256:" + hashlib.sha256(text.encode()).hexdigest()


def verify_chain(text):
    """Every content hash, record hash, link and Ed25519 signature, as
    record_verify checks them; the number of records, or an exception at the
    first broken one."""
    previous, count = None, 0
    for line in text.splitlines():
        if not line.strip():
            continue
        r = json.loads(line)
        content_hash = digest(json.dumps(r["content"], sort_keys=True, separators=(",", ":"), ensure_ascii=False))
        if content_hash != r["content_hash"]:
            raise ValueError(f"record {count}: content hash mismatch")
        record_hash = digest(f"{content_hash}\n{r.get('previous_record_hash') or ''}\n{r['record_id']}\n{r['timestamp']}")
        if record_hash != r["record_hash"]:
            raise ValueError(f"record {count}: record hash mismatch")
        if r.get("signature_algorithm", "ed25519") != "ed25519":
            raise ValueError(f"record {count}: unknown signature algorithm")
        key = nacl.signing.VerifyKey(bytes.fromhex(r["signer_public_key"]))
        key.verify(record_hash.encode(), bytes.fromhex(r["signature"]))
        if r.get("previous_record_hash") != previous:
            raise ValueError(f"record {count}: broken chain link")
        previous, count = record_hash, count + 1
    return count


def tampered(text, at, change):
    lines = text.splitlines()
    record = json.loads(lines[at])
    change(record)
    lines[at] = json.dumps(record, ensure_ascii=False)
    return "\n".join(lines) + "\n"


def flip_decision(decision):
    return "FAIL" if decision == "PASS" else "PASS"


def flip(hex_text):
    return ("1" if hex_text[0] == "0" else "0") + hex_text[1:]


def check_alike(text):
    """Both verifiers count every record of the text and both refuse each of
    a changed content, a changed signature and a broken link, so the pure
    Python side drops no step."""
    assert engine.record_verify(text) == RECORDS and verify_chain(text) == RECORDS
    changes = [lambda r: r["content"]["outcome"].update(decision=flip_decision(r["content"]["outcome"]["decision"])),
               lambda r: r.update(signature=flip(r["signature"])),
               lambda r: r.update(previous_record_hash=None)]
    for change in changes:
        bad = tampered(text, RECORDS // 2, change)
        for verify, errors in ((engine.record_verify, RuntimeError),
                               (verify_chain, (ValueError, nacl.exceptions.BadSignatureError))):
            try:
                verify(bad)
            except errors:
                continue
            raise AssertionError(f"{verify.__name__} accepted a tampered chain")


def timed(function, text):
    """CPU seconds per call and the number of calls, over at least SECONDS."""
    calls, start, cpu = 0, time.perf_counter(), time.process_time()
    while calls < 2 or time.perf_counter() - start < SECONDS:
        if function(text) != RECORDS:
            raise AssertionError(f"{function.__name__} did not verify every record")
        calls += 1
    return (time.process_time() - cpu) / calls, calls


def entry(name, index, calls, seconds, **counters):
    """One repetition in Google Benchmark's form; the time is one iteration,
    both sides together."""
    ms = seconds * 1e3
    return {"name": name, "run_name": name, "run_type": "iteration", "repetitions": ROUNDS,
            "repetition_index": index, "threads": 1, "iterations": calls, "real_time": ms, "cpu_time": ms,
            "time_unit": "ms", **counters}


def main():
    load = os.getloadavg()
    started = time.strftime("%Y-%m-%dT%H:%M:%S%z")
    text = make_chain()
    ascii_text = in_ascii(text)
    assert ascii_text.isascii() and not text.isascii()
    check_alike(text)
    check_alike(ascii_text)

    results, totals = [], {"module": [0.0, 0], "python": [0.0, 0]}
    for index in range(ROUNDS):
        # Which side goes first alternates, so that a drift in the machine's
        # load weighs on both alike.
        order = (0, 1) if index % 2 == 0 else (1, 0)
        pair = [None, None]
        for side in order:
            pair[side] = timed((engine.record_verify, verify_chain)[side], ascii_text)
        (module_s, module_calls), (python_s, python_calls) = pair
        totals["module"][0] += module_s * module_calls
        totals["module"][1] += module_calls
        totals["python"][0] += python_s * python_calls
        totals["python"][1] += python_calls
        results.append(entry("record_verify_over_pure_python", index, min(module_calls, python_calls),
                             module_s + python_s, ratio=python_s / module_s, records_per_s=RECORDS / module_s,
                             pure_python_per_s=RECORDS / python_s))
        pair = [None, None]
        for side in order:
            pair[side] = timed(engine.record_verify, (ascii_text, text)[side])
        (ascii_s, ascii_calls), (wide_s, wide_calls) = pair
        results.append(entry("record_verify_non_ascii_over_ascii", index, min(ascii_calls, wide_calls),
                             ascii_s + wide_s, ratio=ascii_s / wide_s, records_per_s_ascii=RECORDS / ascii_s,
                             records_per_s_non_ascii=RECORDS / wide_s))
        print(f"round {index}: pure Python / record_verify {python_s / module_s:.2f}x, "
              f"non-ASCII / ASCII {ascii_s / wide_s:.3f}x (load {os.getloadavg()[0]:.1f})")

    # The mean rates over every round, for the chain comparison table.
    size = len(ascii_text)
    for name, key in (("record_verify/python_module", "module"), ("pure_python_json_hashlib_nacl", "python")):
        seconds, calls = totals[key]
        per_call = seconds / calls
        results.append({"name": name, "run_name": name, "run_type": "iteration", "iterations": calls,
                        "real_time": per_call * 1e3, "cpu_time": per_call * 1e3, "time_unit": "ms",
                        "items_per_second": RECORDS / per_call, "bytes_per_second": size / per_call})
        print(f"{name:<34} {per_call * 1e3:10.1f} ms CPU  {RECORDS / per_call:12.0f} records/s  ({calls} calls)")
    print(f"{RECORDS} records, {size / 1e6:.1f} MB in ASCII, {len(text.encode()) / 1e6:.1f} MB as UTF-8")
    if len(sys.argv) > 1:
        context = {"date": started, "executable": "chain_python.py", "host_name": platform.node(),
                   "num_cpus": os.cpu_count(), "load_avg": list(load), "records": RECORDS, "rounds": ROUNDS,
                   "chain_bytes": size, "chain_bytes_non_ascii": len(text.encode())}
        pathlib.Path(sys.argv[1]).write_text(json.dumps({"context": context, "benchmarks": results}, indent=1))


if __name__ == "__main__":
    main()
