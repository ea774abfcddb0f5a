"""verify_json from Python: requests per second on the demo's sample request and
on the heavy one that bench_engine times in C++ (written to a file by
`bench_engine --write-heavy-request FILE`, so both time the same bytes), and
each verifier's share of the total time as verify_timed_json reports it.

    PYTHONPATH=build-bench/python python3 bench/verify_bench.py heavy_request.json [out.json]

With a second file name it also writes the figures in Google Benchmark's JSON form.
"""
import json
import os
import pathlib
import sys
import time

import quillaveen._engine as engine

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
measure("heavy request", pathlib.Path(sys.argv[1]).read_text(), seconds=5.0)
if len(sys.argv) > 2:
    pathlib.Path(sys.argv[2]).write_text(json.dumps({"context": context, "benchmarks": RESULTS}, indent=1))
