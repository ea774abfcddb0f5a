"""The benchmark table's goal rows, from results files written the way
Google Benchmark and the bench scripts write them."""
import csv
import json
import pathlib
import sys

ROOT = pathlib.Path(__file__).resolve().parents[2]
# The table maker is a script beside the benchmarks, not part of the package.
sys.path.insert(0, str(ROOT / "bench"))
import collect  # noqa: E402


def repetitions(name, counters, options="/min_time:3.000/repeats:5"):
    """Iteration entries, one per repetition, and the aggregates Google
    Benchmark adds (whose figures must not be taken for repetitions)."""
    runs = [dict({"name": name + options, "run_name": name + options, "run_type": "iteration",
                  "repetitions": len(counters), "repetition_index": i, "iterations": 3, "real_time": 1.0,
                  "cpu_time": 1.0, "time_unit": "ms"}, **c) for i, c in enumerate(counters)]
    aggregates = [{"name": f"{name}{options}_{a}", "run_name": name + options, "run_type": "aggregate",
                   "aggregate_name": a, "iterations": 5, "real_time": 1.0, "cpu_time": 1.0, "time_unit": "ms",
                   "ratio": 99.0} for a in ("mean", "median", "stddev")]
    return runs + aggregates


def write(folder, area, benchmarks, load_avg=(4.0, 5.25, 6.0)):
    (folder / f"{area}.json").write_text(json.dumps({"context": {"load_avg": list(load_avg)}, "benchmarks": benchmarks}))


def test_goal_rows(tmp_path, monkeypatch):
    write(tmp_path, "bench_records_chain",
          repetitions("BM_RecordVerifyOverBare10k", [{"ratio": r} for r in (0.80, 0.90, 0.86, 0.84, 0.88)])
          + repetitions("BM_GenericCanonicalDigestOverSha256", [{"ratio": 0.2}] * 3, options="")[3:]
          + [{"name": "BM_TypedCanonicalDigestOverSha256", "run_type": "iteration", "error_occurred": True,
              "error_message": "not verified"}])
    run = [{"lines_per_s_10k": 2.1e5, "lines_per_s_100k": 1.9e5, "ratio_100k_over_10k": r} for r in (10.6, 10.9, 10.4)]
    # The same family with an argument is another benchmark.
    write(tmp_path, "bench_run", repetitions("BM_RunVerify10kAnd100k", run)
          + repetitions("BM_RunVerify10kAnd100k", [{"lines_per_s_10k": 9e9}], options="/7"))
    write(tmp_path, "chain_python", repetitions("record_verify_over_pure_python", [{"ratio": 2.5}, {"ratio": 1.5}],
                                                options="")
          + repetitions("record_verify_non_ascii_over_ascii", [{"ratio": 0.95}, {}], options=""))
    (tmp_path / "bench_documents.json").write_text('{"context": {}, "benchmarks": [')

    rows = {row[0].split("(`")[1].rstrip(")").replace("`", ""): row[1:] for row in collect.goal_table(tmp_path)}
    assert len(rows) == len(collect.GOALS) == 10
    assert rows["BM_RecordVerifyOverBare10k ratio"] == (">= 0.850", "0.860", "0.800-0.900 (5)", "pass", "4.0, 5.2, 6.0")
    assert rows["BM_RunVerify10kAnd100k lines_per_s_10k"][1:4] == ("210k", "210k-210k (3)", "pass")
    assert rows["BM_RunVerify10kAnd100k lines_per_s_100k"][1:4] == ("190k", "190k-190k (3)", "MISS")
    assert rows["BM_RunVerify10kAnd100k ratio_100k_over_10k"][:4] == ("<= 10.5", "10.6", "10.4-10.9 (3)", "MISS")
    assert rows["record_verify_over_pure_python ratio"][1:4] == ("2.000", "1.500-2.500 (2)", "pass")
    missing = {k: v[3] for k, v in rows.items() if v[3].startswith("missing")}
    assert missing == {
        "BM_GenericCanonicalDigestOverSha256 ratio": "missing: aggregates only, no repetitions",
        "BM_TypedCanonicalDigestOverSha256 ratio": "missing: error: not verified",
        "BM_SignDocumentOverSha256 ratio": "missing: bench_documents.json unreadable",
        "BM_VerifyDocumentOverSha256 ratio": "missing: bench_documents.json unreadable",
        "record_verify_non_ascii_over_ascii ratio": "missing: no counter ratio",
    }

    # The written table: the goals first, then every entry, each repetition named by its index.
    (tmp_path / "bench_documents.json").unlink()
    out = tmp_path / "out"
    monkeypatch.setattr(sys, "argv", ["collect.py", str(tmp_path), str(out)])
    collect.main()
    lines = list(csv.reader(open(out / "benchmarks.csv")))
    assert lines[0][0] == "goal" and lines[11] == [] and lines[12][0] == "executable"
    assert [r[4] for r in lines[1:11]].count("missing: no bench_documents.json") == 2
    names = [r[1] for r in lines[13:]]
    assert names[:2] == ["BM_RecordVerifyOverBare10k/min_time:3.000/repeats:5 #0",
                         "BM_RecordVerifyOverBare10k/min_time:3.000/repeats:5 #1"]
    assert len(names) == 5 + 1 + 3 + 1 + 2 + 2
    text = (out / "benchmarks.md").read_text()
    assert text.index("## Goals") < text.index("## All benchmarks")
