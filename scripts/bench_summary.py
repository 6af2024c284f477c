#!/usr/bin/env python3
"""Prints the medians of a benchmark run and the ratios the entry list and the reports are judged
by: how each step grows from 1,000 to 100,000 entries and from each size run to the next (for
instance 10,000 to 100,000 and 100,000 to 300,000), and the record-set open against the bare
engine loop over the same rows at every size, all from the same run."""
import json
import sys
from collections import defaultdict


def medians(files):
    found = {}
    spread = {}
    for name in files:
        with open(name) as f:
            data = json.load(f)
        for b in data["benchmarks"]:
            if b.get("aggregate_name") == "cv":
                spread[b["run_name"]] = 100.0 * b["real_time"]
            if b.get("aggregate_name") != "median":
                continue
            # The per-iteration median and spread that a benchmark reports itself, else the
            # median and coefficient of variation of the repetitions.
            found[b["run_name"]] = (b.get("median_ms", b["real_time"]), b.get("cv_pct"))
    return {run: (ms, spread.get(run) if cv is None else cv) for run, (ms, cv) in found.items()}


def main():
    found = medians(sys.argv[1:])
    by_step = defaultdict(dict)
    for run, (ms, cv) in sorted(found.items()):
        parts = run.split("/")
        step = "/".join([parts[0]] + parts[2:]) if len(parts) > 1 else parts[0]
        size = int(parts[1]) if len(parts) > 1 and parts[1].isdigit() else 0
        by_step[step][size] = ms
        noise = "" if cv is None else f"  cv {cv:5.1f}%"
        print(f"{run:45s} {ms:10.3f} ms{noise}")
    print()
    for step, sizes in sorted(by_step.items()):
        if 1000 in sizes and 100000 in sizes and sizes[1000] > 0:
            print(f"{step:45s} 100,000 / 1,000 entries: {sizes[100000] / sizes[1000]:6.2f}x")
    print()
    for step, sizes in sorted(by_step.items()):
        counts = sorted(n for n in sizes if n > 0)
        steps = [f"{b:,} / {a:,}: {sizes[b] / sizes[a]:6.2f}x"
                 for a, b in zip(counts, counts[1:]) if sizes[a] > 0]
        if steps:
            print(f"{step:45s} " + "   ".join(steps))
    all_sizes = sorted({n for sizes in by_step.values() for n in sizes if n > 0})
    for size in all_sizes:
        bare = by_step.get("BM_BareStepLoop", {}).get(size)
        opened = by_step.get("BM_RecordSetOpen", {}).get(size)
        if bare and opened:
            print(f"record-set open / bare engine loop at {size:,} entries: {opened / bare:.2f}x")


if __name__ == "__main__":
    main()
