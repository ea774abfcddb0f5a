"""verify_json from Python: requests per second on the demo's sample request and
on generated large ones, and each verifier's share of the total time as
verify_timed_json reports it.

    PYTHONPATH=build-bench/python python3 bench/verify_bench.py [out.json]

With a file name it also writes the figures in Google Benchmark's JSON form.
"""
import json
import pathlib
import random
import sys
import time

import quillaveen._engine as engine

RULE_SET = {"id": "house", "version": "1", "rules": [
    {"id": "no-guarantees", "scope": {"claim_kind": "statement"}, "when": {"text_matches": "(?i)\\bguarantee"},
     "emit": "contradicted"},
    {"id": "pct", "scope": {"claim_kind": "numeric"}, "when": {"text_matches": "%", "source_matches": "(?i)margin"},
     "emit": "supported"}]}
UNITS = ["EUR {} million", "{}%", "{} GWh", "{} customers", "USD {} billion"]


def large_request(scale):
    """A 10 KB answer with 50 figures and two 10 KB sources per unit of scale."""
    rng = random.Random(scale)

    def figure(i):
        v = rng.randrange(1000)
        return UNITS[i % 5].format(f"{v}.{v % 10}")

    figures = [figure(i) for i in range(50 * scale)]
    sources = []
    for s in range(2 * scale):
        text, i = "", s
        while len(text) < 10_000:
            f = figure(i) if i % 7 == 0 else figures[i % len(figures)]
            text += (f"In the reporting period the segment recorded {f}, according to the audited statements "
                     "and the notes to the accounts. ")
            i += 2 * scale
        sources.append({"id": f"s{s}", "text": text, "provenance": {"company": "Northwind Energy"}})
    answer = "".join(
        f"Looking at the operating segment number {i}, the company reported "
        f"{figure(i) if i % 11 == 0 else f} for the year, which management described as in line with its plan "
        "for the period. " for i, f in enumerate(figures))
    return json.dumps({"question": "How did the segments of Northwind Energy perform?", "answer": answer,
                       "sources": sources, "scope": {"company": "Northwind Energy"},
                       "rule_sets_json": [json.dumps(RULE_SET)]})


RESULTS = []  # in Google Benchmark's JSON form


def measure(name, text, seconds=2.0):
    engine.verify_json(text)
    calls, start, cpu = 0, time.perf_counter(), time.process_time()
    while time.perf_counter() - start < seconds:
        engine.verify_json(text)
        calls += 1
    per_call = (time.perf_counter() - start) / calls
    cpu = (time.process_time() - cpu) / calls
    timings = json.loads(engine.verify_timed_json(text))["timings"]
    total = timings["total_us"]
    shares = ", ".join(f"{vid} {us / total:.0%}" for vid, us in timings["verifiers"])
    print(f"{name:<28} {len(text) / 1024:8.1f} KB  {per_call * 1e6:10.0f} us/call  {1 / per_call:9.1f} req/s  "
          f"[{shares}; rest {1 - sum(us for _, us in timings['verifiers']) / total:.0%}]")
    RESULTS.append({"name": f"verify_json/{name}", "run_type": "iteration", "iterations": calls,
                    "real_time": per_call * 1e6, "cpu_time": cpu * 1e6, "time_unit": "us",
                    "items_per_second": 1 / cpu, "bytes_per_second": len(text) / cpu})
    return per_call


sample = (pathlib.Path(__file__).parents[1] / "examples" / "sample_request.json").read_text()
measure("sample request", sample)
small = measure("large request / 10", large_request(1))
large = measure("large request", large_request(10), seconds=5.0)
print(f"10x the input costs {large / small:.1f}x the time")
if len(sys.argv) > 1:
    pathlib.Path(sys.argv[1]).write_text(json.dumps({"context": {"executable": "verify_bench.py"},
                                                     "benchmarks": RESULTS}, indent=1))
