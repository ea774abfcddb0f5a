"""Peak memory of the module's chain and document checks, each measured in a
child process of its own: the peak resident size is reset (Linux
/proc/self/clear_refs) once the input text is built, so the figure is what
the call itself adds on top of the text, plus the text and the interpreter.

Prints, per case: the input's UTF-8 size, the str object's own size, the
peak above the interpreter's size before the text was made, and that peak
over the UTF-8 size."""
import os
import subprocess
import sys
import time

CHILD = r'''
import gc, os, sys, time
import quillaveen._engine as engine

def rss(field):
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1]) * 1024
    raise RuntimeError(field)

case, path = sys.argv[1], sys.argv[2]
base = rss("VmRSS")
if case == "document":
    chunk = ",".join(str(i % 100) for i in range(100_000))
    text = "[" + ",".join([chunk] * 370) + "]"
    del chunk
else:
    with open(path, "rb") as f:
        text = f.read().decode("utf-8")
gc.collect()
utf8 = len(text.encode("utf-8"))
gc.collect()
with open("/proc/self/clear_refs", "w") as f:
    f.write("5")
t0 = time.perf_counter()
if case == "verify":
    n = engine.record_verify(text)
elif case == "chains":
    # The same chain twice is refused, but only after every copy is read.
    try:
        engine.record_verify_chains([text] * 50)
    except RuntimeError:
        pass
elif case == "document":
    doc = engine.sign_document_json("report", text, "11" * 32)
    t_sign = time.perf_counter()
    engine.verify_document_json(doc)
    mb = utf8 / (1 << 20)
    print(f"sign {mb / (t_sign - t0):.1f} MB/s, verify {mb / (time.perf_counter() - t_sign):.1f} MB/s", file=sys.stderr)
    del doc
t1 = time.perf_counter()
print(utf8, sys.getsizeof(text), rss("VmHWM") - base, t1 - t0)
'''


def measure(case, path=""):
    out = subprocess.run([sys.executable, "-c", CHILD, case, path], capture_output=True, text=True)
    if out.returncode != 0:
        raise SystemExit(f"{case} {path}: {out.stderr.strip()}")
    utf8, str_size, peak, seconds = out.stdout.split()
    if out.stderr:
        print("   ", out.stderr.strip())
    return int(utf8), int(str_size), int(peak), float(seconds)


def report(label, case, path=""):
    utf8, str_size, peak, seconds = measure(case, path)
    mb = 1 << 20
    print(f"{label:44s} input {utf8 / mb:6.1f} MB (str {str_size / mb:6.1f} MB)  peak {peak / mb:7.1f} MB"
          f"  peak/input {peak / utf8:5.2f}x  {utf8 / mb / seconds:7.1f} MB/s")


def main():
    folder = sys.argv[1]
    print(f"load average: {os.getloadavg()}")
    for name in ("ascii", "latin1", "bmp"):
        path = os.path.join(folder, name + ".jsonl")
        report(f"record_verify, {name} text", "verify", path)
    report("record_verify_chains, one ascii str x 50", "chains", os.path.join(folder, "ascii.jsonl"))
    report("sign + verify document, 100 MB int array", "document")  # rate: both calls together


if __name__ == "__main__":
    main()
