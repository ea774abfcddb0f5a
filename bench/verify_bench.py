"""verify_json from Python: requests per second on the demo's sample request and
on a generated heavy one, and each verifier's share of the total time as
verify_timed_json reports it.

    PYTHONPATH=build-bench/python python3 bench/verify_bench.py [out.json]

With a file name it also writes the figures in Google Benchmark's JSON form.
"""
import json
import os
import pathlib
import random
import sys
import time

import quillaveen._engine as engine

WORDS = ["guarantee", "forecast", "outlook", "dividend", "impairment", "goodwill", "restructuring", "litigation",
         "covenant", "hedge", "pension", "lease", "provision", "buyback", "acquisition", "divestment", "subsidy",
         "tariff", "emission", "carbon", "capex", "opex", "EBITDA", "margin", "revenue", "debt", "cash", "liquidity",
         "rating", "churn", "customers", "GWh", "billion", "million", "percent", "quarter", "segment", "plan",
         "record", "growth", "decline", "increase", "decrease", "target", "guidance", "audited", "estimate",
         "reported", "Northern", "Southern"]


def rule_sets():
    """Three rule sets of 50 rules, as the C++ benchmark's heavy request has
    them: each rule scoped to a claim kind (or any), its `when` a pattern on
    the claim's text, some also on the answer or the sources, some with an
    `unless`."""
    kinds = ["numeric", "statement", "temporal", "entity", None]
    emits = ["supported", "unsupported", "contradicted"]
    sets = []
    for s in range(3):
        rules = []
        for k in range(50):
            word = WORDS[(k * 7 + s * 11) % len(WORDS)]
            when = [{"text_matches": f"(?i)\\b{word}s?\\b"},
                    {"text_matches": f"(?i){word}\\D{{0,20}}\\d[\\d,.]*"},
                    {"text_matches": f"\\d+(?:\\.\\d+)?\\s*(?:%|{word})", "source_matches": "(?i)audited statements"},
                    {"text_matches": f"(?i)^(?:.*\\s)?{word}",
                     "answer_matches": "(?i)in line with (?:its|the) plan"}][(k + s) % 4]
            rule = {"id": f"r{s}-{k}", "description": f"a claim about {word}",
                    "scope": {"claim_kind": kinds[k % 5]} if kinds[k % 5] else {}, "when": when}
            if k % 6 == 5:
                rule["unless"] = {"text_matches": "(?i)\\bestimated?\\b"}
            rule["emit"] = emits[k % 3]
            rules.append(rule)
        sets.append(json.dumps({"id": f"house{s}", "version": f"1.{s}", "rules": rules}))
    return sets


def heavy_request():
    """An answer of about 50 KB with 500 figures, one per sentence, and 200
    sources of about 2 KB that quote most of them (some off by a little,
    some nowhere), checked against three rule sets of 50 rules."""
    rng = random.Random(12345)

    def figure(i):
        v = rng.randrange(100000)
        grouped = f"{v:,}"
        return [f"EUR {v // 100}.{v % 10} million", f"{v % 100}.{v % 7}%", f"{grouped} GWh", f"{grouped} customers",
                f"USD {v % 50}.{v % 100} billion", f"${v // 100}m"][i % 6]

    figures = [figure(i) for i in range(500)]
    answer = "".join(f"The {WORDS[i * 13 % len(WORDS)]} business reported {figure(i) if i % 11 == 0 else f} for the "
                     "year, which management called in line with its plan. " for i, f in enumerate(figures))
    sources = []
    for s in range(200):
        text, i = "", s
        while len(text) < 2000:
            at = i % len(figures)
            text += (f"In the reporting period the {WORDS[at * 13 % len(WORDS)]} business recorded "
                     f"{figure(at) if i % 7 == 0 else figures[at]}, according to the audited statements. ")
            i += 200
        sources.append({"id": f"s{s}", "text": text, "provenance": {"company": "Northwind Energy"}})
    return json.dumps({"question": "How did the businesses of Northwind Energy perform?", "answer": answer,
                       "sources": sources, "scope": {"company": "Northwind Energy"}, "rule_sets_json": rule_sets()})


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


context = {"date": time.strftime("%Y-%m-%dT%H:%M:%S%z"), "executable": "verify_bench.py",
           "num_cpus": os.cpu_count(), "load_avg": list(os.getloadavg())}
sample = (pathlib.Path(__file__).parents[1] / "examples" / "sample_request.json").read_text()
measure("sample request", sample)
measure("heavy request", heavy_request(), seconds=5.0)
if len(sys.argv) > 1:
    pathlib.Path(sys.argv[1]).write_text(json.dumps({"context": context, "benchmarks": RESULTS}, indent=1))
