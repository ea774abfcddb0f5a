"""Gathers the JSON files the benchmarks wrote (Google Benchmark's
--benchmark_out form, one file per executable) into one Markdown table and a
CSV file, and draws the chain-verification comparison when matplotlib is
installed.

    python3 bench/collect.py build-bench/results bench/results
"""
import csv
import json
import os
import pathlib
import platform
import sys
import time

# The chain comparison: the engine in C++, the floor of bare signature
# checks, the module from Python, and the same work in pure Python.
CHAIN = [("bench_records_chain", "BM_RecordVerify10k", "engine, C++"),
         ("bench_records_chain", "BM_BareLibsodiumVerify10k", "bare libsodium signatures"),
         ("chain_python", "record_verify/python_module", "record_verify from Python"),
         ("chain_python", "pure_python_json_hashlib_nacl", "pure Python (json, hashlib, nacl)")]


def rate(value, unit):
    if value is None:
        return ""
    for scale, prefix in ((1e9, "G"), (1e6, "M"), (1e3, "k")):
        if value >= scale:
            return f"{value / scale:.3g} {prefix}{unit}"
    return f"{value:.3g} {unit}"


def duration(value, unit):
    ns = value * {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[unit]
    for scale, name in ((1e9, "s"), (1e6, "ms"), (1e3, "us")):
        if ns >= scale:
            return f"{ns / scale:.4g} {name}"
    return f"{ns:.4g} ns"


# Members of a Google Benchmark entry that are not user counters.
STANDARD = {"name", "run_name", "family_index", "per_family_instance_index", "run_type", "repetitions",
            "repetition_index", "threads", "iterations", "real_time", "cpu_time", "time_unit",
            "items_per_second", "bytes_per_second", "aggregate_name", "aggregate_unit", "label"}


def counters(b):
    return ", ".join(f"{k}={v:.4g}" for k, v in b.items() if k not in STANDARD and isinstance(v, (int, float)))


def rows(source):
    for path in sorted(source.glob("*.json")):
        area = path.stem
        for b in json.loads(path.read_text()).get("benchmarks", []):
            if b.get("error_occurred"):
                yield area, b["name"], "error: " + b.get("error_message", ""), "", "", "", ""
            elif b.get("aggregate_name") == "BigO":
                yield area, b["name"], f"O({b['big_o']}) coefficient {b['real_coefficient']:.3g}", "", "", "", ""
            elif b.get("run_type") == "aggregate":
                continue  # RMS and repetition aggregates add nothing to the table
            else:
                unit = b["time_unit"]
                yield (area, b["name"], duration(b["real_time"], unit), duration(b["cpu_time"], unit),
                       rate(b.get("items_per_second"), "items/s"), rate(b.get("bytes_per_second"), "B/s"), counters(b))


def chain_figures(source):
    found = {}
    for area, name, label in CHAIN:
        path = source / f"{area}.json"
        if not path.exists():
            continue
        for b in json.loads(path.read_text())["benchmarks"]:
            if b["name"] == name and b.get("items_per_second"):
                per_record = b.get("bytes_per_second", 0) / b["items_per_second"]
                found[label] = (b["items_per_second"], per_record)
    return found


def plot(chain, target):
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        return False
    fig, ax = plt.subplots(figsize=(7, 2.8))
    ax.barh(list(chain), [rate for rate, _ in chain.values()])
    ax.invert_yaxis()
    ax.set_xlabel("records verified per second (10,000-record chain)")
    fig.tight_layout()
    fig.savefig(target, dpi=120)
    return True


def main():
    source, target = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
    target.mkdir(parents=True, exist_ok=True)
    table = list(rows(source))
    header = ("executable", "benchmark", "time", "CPU time", "items/s", "bytes/s", "counters")
    with open(target / "benchmarks.csv", "w", newline="") as f:
        csv.writer(f).writerows([header, *table])
    load = ", ".join(f"{x:.2f}" for x in os.getloadavg())
    lines = [f"# Benchmarks, {time.strftime('%Y-%m-%d %H:%M UTC', time.gmtime())}", "",
             f"{platform.machine()}, {os.cpu_count()} cores, load average {load} (at the end of the run).", ""]
    chain = chain_figures(source)
    if chain:
        lines += ["## Verifying a chain of 10,000 sealed records", "",
                  "Records per second of CPU time. The C++ rows verify the benchmark's own chain, the Python rows",
                  "one chain of records made by verify_json; the bytes per record tell them apart.", "",
                  "| how | records/s | bytes per record |", "| --- | ---: | ---: |"]
        lines += [f"| {label} | {rate:,.0f} | {size:,.0f} |" if size else f"| {label} | {rate:,.0f} | |"
                  for label, (rate, size) in chain.items()]
        lines.append("")
        if plot(chain, target / "chain.png"):
            lines += ["![chain verification](chain.png)", ""]
    lines += ["## All benchmarks", "", "| " + " | ".join(header) + " |", "|" + " --- |" * len(header)]
    lines += ["| " + " | ".join(r) + " |" for r in table]
    (target / "benchmarks.md").write_text("\n".join(lines) + "\n")
    print(f"{len(table)} rows written to {target / 'benchmarks.md'} and {target / 'benchmarks.csv'}"
          + ("" if (target / "chain.png").exists() else "; no plot (matplotlib is not installed)"))


if __name__ == "__main__":
    main()
