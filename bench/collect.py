"""Gathers the JSON files the benchmarks wrote (Google Benchmark's
--benchmark_out form, one file per executable or script) into one Markdown
table and a CSV file: first every goal with the median and the spread of its
repetitions, measured in this run, then every benchmark. Draws the
chain-verification comparison when matplotlib is installed.

    python3 bench/collect.py build-bench/results bench/results
"""
import csv
import json
import os
import pathlib
import platform
import statistics
import sys
import time

# Every goal, in one place: the file that reports it (executable or script,
# without .json), the benchmark, its counter, how the median must compare
# with the goal, the goal, and what it measures. Each is judged on the median
# over the benchmark's repetitions in the file.
GOALS = [
    ("bench_records_chain", "BM_RecordVerifyOverBare10k", "ratio", ">=", 0.85,
     "record_verify / bare libsodium Ed25519 verify of the same signatures"),
    ("chain_python", "record_verify_over_pure_python", "ratio", ">=", 2.0,
     "record_verify / the same chain verified in pure Python (json, hashlib, PyNaCl)"),
    ("bench_records_chain", "BM_GenericCanonicalDigestOverSha256", "ratio", ">=", 0.25,
     "generic JSON read + canonicalise + digest / SHA-256 of the same bytes"),
    ("bench_records_chain", "BM_TypedCanonicalDigestOverSha256", "ratio", ">=", 0.30,
     "typed record read + canonicalise + digest / SHA-256 of the same bytes"),
    ("bench_documents", "BM_SignDocumentOverSha256", "ratio", ">=", 0.15,
     "sign_document_json / SHA-256 of the content, end to end"),
    ("bench_documents", "BM_VerifyDocumentOverSha256", "ratio", ">=", 0.20,
     "verify_document_json / SHA-256 of the content"),
    ("bench_run", "BM_RunVerify10kAnd100k", "lines_per_s_10k", ">=", 200e3,
     "run_verify_json, 10k transcript lines: lines/s"),
    ("bench_run", "BM_RunVerify10kAnd100k", "lines_per_s_100k", ">=", 200e3,
     "run_verify_json, 100k transcript lines: lines/s"),
    ("bench_run", "BM_RunVerify10kAnd100k", "ratio_100k_over_10k", "<=", 10.5,
     "run_verify_json time, 100k lines / 10k lines"),
    ("chain_python", "record_verify_non_ascii_over_ascii", "ratio", ">=", 0.9,
     "record_verify of non-ASCII text / the same records in ASCII (records/s)"),
]
COMPARE = {">=": lambda value, goal: value >= goal, "<=": lambda value, goal: value <= goal}

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


def figure(value):
    """A goal's figure: three decimals below 10 (so a ratio at its goal
    shows whether it is just over or just under), three significant digits
    above, thousands as k."""
    if abs(value) >= 1e3:
        return f"{value / 1e3:.3g}k"
    return f"{value:.3f}" if abs(value) < 10 else f"{value:.3g}"


# Members of a Google Benchmark entry that are not user counters.
STANDARD = {"name", "run_name", "family_index", "per_family_instance_index", "run_type", "repetitions",
            "repetition_index", "threads", "iterations", "real_time", "cpu_time", "time_unit",
            "items_per_second", "bytes_per_second", "aggregate_name", "aggregate_unit", "label"}


def counters(b):
    return ", ".join(f"{k}={v:.4g}" for k, v in b.items() if k not in STANDARD and isinstance(v, (int, float)))


def load(path):
    """A results file's JSON, or None when it cannot be read (a run that
    stopped while writing it)."""
    try:
        return json.loads(path.read_text())
    except (OSError, ValueError):
        return None


def rows(source):
    for path in sorted(source.glob("*.json")):
        area = path.stem
        for b in (load(path) or {}).get("benchmarks", []):
            name = b["name"]
            if b.get("repetitions", 1) > 1 and "repetition_index" in b:
                name += f" #{b['repetition_index']}"
            if b.get("error_occurred"):
                yield area, name, "error: " + b.get("error_message", ""), "", "", "", ""
            elif b.get("aggregate_name") == "BigO":
                yield area, name, f"O({b['big_o']}) coefficient {b['real_coefficient']:.3g}", "", "", "", ""
            elif b.get("run_type") == "aggregate":
                continue  # RMS and repetition aggregates add nothing to the table
            else:
                unit = b["time_unit"]
                yield (area, name, duration(b["real_time"], unit), duration(b["cpu_time"], unit),
                       rate(b.get("items_per_second"), "items/s"), rate(b.get("bytes_per_second"), "B/s"), counters(b))


def same_benchmark(name, benchmark):
    """Whether an entry's name is the benchmark's, with no argument: only
    Google Benchmark's run options may follow (min_time:3.000, repeats:5,
    real_time, ...)."""
    head, *options = name.split("/")
    return head == benchmark and all(":" in o or o in ("real_time", "manual_time", "process_time") for o in options)


def judge(source, goal):
    """One goal measured in the run: a dict with the figures, or with
    `missing` saying what was not found."""
    area, benchmark, counter, comparator, target, _ = goal
    data = load(source / f"{area}.json")
    if data is None:
        return {"missing": f"no {area}.json" if not (source / f"{area}.json").exists() else f"{area}.json unreadable"}
    found = [b for b in data.get("benchmarks", []) if same_benchmark(b.get("run_name", b["name"]), benchmark)]
    load_avg = data.get("context", {}).get("load_avg")
    out = {"load_avg": load_avg}
    failed = [b for b in found if b.get("error_occurred")]
    repetitions = [b for b in found if b.get("run_type", "iteration") == "iteration" and not b.get("error_occurred")]
    if failed:
        return dict(out, missing="error: " + failed[0].get("error_message", ""))
    if not found:
        return dict(out, missing="benchmark not run")
    if not repetitions:
        return dict(out, missing="aggregates only, no repetitions")
    values = [b[counter] for b in repetitions if isinstance(b.get(counter), (int, float))]
    if len(values) < len(repetitions):
        return dict(out, missing=f"no counter {counter}")
    median = statistics.median(values)
    return dict(out, median=median, low=min(values), high=max(values), count=len(values),
                passed=COMPARE[comparator](median, target))


def goal_table(source):
    """The goal rows: measure, goal, median, min-max (repetitions), result,
    load average (1, 5 and 15 minutes, when the file's run began)."""
    table = []
    for goal in GOALS:
        area, benchmark, counter, comparator, target, measure = goal
        found = judge(source, goal)
        load_avg = ", ".join(f"{x:.1f}" for x in found["load_avg"]) if found.get("load_avg") else ""
        where = f"{measure} (`{benchmark}` {counter})"
        if "missing" in found:
            table.append((where, f"{comparator} {figure(target)}", "", "", "missing: " + found["missing"], load_avg))
        else:
            spread = f"{figure(found['low'])}-{figure(found['high'])} ({found['count']})"
            table.append((where, f"{comparator} {figure(target)}", figure(found["median"]), spread,
                          "pass" if found["passed"] else "MISS", load_avg))
    return table


def chain_figures(source):
    found = {}
    for area, name, label in CHAIN:
        for b in (load(source / f"{area}.json") or {}).get("benchmarks", []):
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


def markdown(header, table):
    return ["| " + " | ".join(header) + " |", "|" + " --- |" * len(header)] + ["| " + " | ".join(r) + " |" for r in table]


def main():
    source, target = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
    target.mkdir(parents=True, exist_ok=True)
    goals = goal_table(source)
    goal_header = ("goal", "target", "median", "min-max (repetitions)", "result", "load average")
    table = list(rows(source))
    header = ("executable", "benchmark", "time", "CPU time", "items/s", "bytes/s", "counters")
    with open(target / "benchmarks.csv", "w", newline="") as f:
        csv.writer(f).writerows([goal_header, *goals, (), header, *table])
    load_now = ", ".join(f"{x:.2f}" for x in os.getloadavg())
    lines = [f"# Benchmarks, {time.strftime('%Y-%m-%d %H:%M UTC', time.gmtime())}", "",
             f"{platform.machine()}, {os.cpu_count()} cores, load average {load_now} (at the end of the run).", "",
             "## Goals", "",
             "Each goal's figure is the median over the repetitions of one benchmark in this run, each repetition",
             "timing both sides of the ratio one after the other; the load average is the one at the start of the",
             "file's run.", ""]
    lines += markdown(goal_header, goals) + [""]
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
    lines += ["## All benchmarks", ""] + markdown(header, table)
    (target / "benchmarks.md").write_text("\n".join(lines) + "\n")
    print("\n".join(markdown(goal_header, goals)))
    passed = sum(1 for g in goals if g[4] == "pass")
    print(f"{passed} of {len(goals)} goals pass; {len(table)} rows written to {target / 'benchmarks.md'} and "
          f"{target / 'benchmarks.csv'}" + ("" if (target / "chain.png").exists() else "; no plot (matplotlib is not installed)"))


if __name__ == "__main__":
    main()
