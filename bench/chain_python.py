"""Verifying a chain of 10,000 sealed evidence records: record_verify beside
what a Python user would write instead (json, hashlib and PyNaCl), on the
same text in the same run. Writes Google Benchmark's JSON form.

    PYTHONPATH=build-bench/python python3 bench/chain_python.py [out.json]
"""
import hashlib
import json
import pathlib
import sys
import time

import nacl.signing

import quillaveen._engine as engine

RECORDS = 10_000


def make_chain():
    """Sealed records of the demo's request with varied answers, each linked
    to the one before and signed with one key."""
    base = json.loads((pathlib.Path(__file__).parents[1] / "examples" / "sample_request.json").read_text())
    base["signing_key_hex"] = engine.keygen()
    lines, previous = [], None
    for i in range(RECORDS):
        request = dict(base, answer=f"Revenue rose {i % 97}.{i % 10}% to EUR {4 + i % 5}.31 billion in {2000 + i % 25}.")
        if previous:
            request["previous_record_hash"] = previous
        record = engine.verify_json(json.dumps(request))
        previous = json.loads(record)["record_hash"]
        lines.append(record)
    return "\n".join(lines) + "\n"


def digest(text):
    return "sha256:" + hashlib.sha256(text.encode()).hexdigest()


def verify_chain(text):
    """Every content hash, record hash, link and Ed25519 signature; the
    number of records, or an exception at the first broken one."""
    previous, count = None, 0
    for line in text.splitlines():
        if not line.strip():
            continue
        r = json.loads(line)
        content_hash = digest(json.dumps(r["content"], sort_keys=True, separators=(",", ":"), ensure_ascii=False))
        if content_hash != r["content_hash"]:
            raise ValueError(f"record {count}: content hash mismatch")
        if r.get("previous_record_hash") != previous:
            raise ValueError(f"record {count}: broken link")
        record_hash = digest(f"{content_hash}\n{previous or ''}\n{r['record_id']}\n{r['timestamp']}")
        if record_hash != r["record_hash"]:
            raise ValueError(f"record {count}: record hash mismatch")
        key = nacl.signing.VerifyKey(bytes.fromhex(r["signer_public_key"]))
        key.verify(record_hash.encode(), bytes.fromhex(r["signature"]))
        previous, count = record_hash, count + 1
    return count


def measure(name, function, text, seconds):
    """Google Benchmark's fields for the mean time of one call."""
    assert function(text) == RECORDS, name
    calls, start, cpu = 0, time.perf_counter(), time.process_time()
    while calls < 3 or time.perf_counter() - start < seconds:
        function(text)
        calls += 1
    elapsed = (time.perf_counter() - start) / calls
    cpu = (time.process_time() - cpu) / calls
    # Rates by CPU time, as Google Benchmark gives them.
    print(f"{name:<34} {elapsed * 1e3:10.1f} ms  {cpu * 1e3:10.1f} ms CPU  {RECORDS / cpu:12.0f} records/s  "
          f"({calls} calls)")
    return {"name": name, "run_type": "iteration", "iterations": calls, "real_time": elapsed * 1e3,
            "cpu_time": cpu * 1e3, "time_unit": "ms", "items_per_second": RECORDS / cpu,
            "bytes_per_second": len(text.encode()) / cpu}


def main():
    text = make_chain()
    results = [measure("record_verify/python_module", engine.record_verify, text, 3.0),
               measure("pure_python_json_hashlib_nacl", verify_chain, text, 3.0)]
    ratio = results[1]["cpu_time"] / results[0]["cpu_time"]
    print(f"{RECORDS} records, {len(text) / 1e6:.1f} MB: pure Python takes {ratio:.1f}x the CPU time of record_verify")
    if len(sys.argv) > 1:
        context = {"executable": "chain_python.py", "records": RECORDS, "chain_bytes": len(text.encode())}
        pathlib.Path(sys.argv[1]).write_text(json.dumps({"context": context, "benchmarks": results}, indent=1))


if __name__ == "__main__":
    main()
