#!/usr/bin/env python3
"""Runs the benchmark programs and prints our speed as a ratio of each peer's.

Benchmarks are named "<case>.<implementation>" (arguments may follow after '/'); the
implementation "zorvik" is ours, every other one is a peer or a baseline of the same case.
A ratio above 1 means we are faster: ratio = peer time / our time.
Benchmarks that carry a "field_period" counter (seconds) are also listed with their time as a
share of that period, for work that has to fit into one video field.

Usage: bench/run_ratios.py [build dir] [--filter REGEX] [--json OUT]
"""
import argparse
import glob
import json
import os
import subprocess
import sys


def run(binary, bench_filter):
    cmd = [binary, "--benchmark_format=json", "--benchmark_min_time=0.2"]
    if bench_filter:
        cmd.append("--benchmark_filter=" + bench_filter)
    out = subprocess.run(cmd, capture_output=True, text=True).stdout
    if not out.strip():
        return []  # nothing matched the filter in this program
    return json.loads(out)["benchmarks"]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build", nargs="?", default="build/release")
    ap.add_argument("--filter", default="")
    ap.add_argument("--json", default="")
    args = ap.parse_args()

    binaries = sorted(glob.glob(os.path.join(args.build, "bin", "bench_*")))
    if not binaries:
        sys.exit("no benchmark programs in %s/bin (build the release preset first)" % args.build)

    cases = {}
    order = []
    for b in binaries:
        for r in run(b, args.filter):
            if r.get("run_type") == "aggregate":
                continue
            name = r["name"]
            head, _, tail = name.partition("/")
            case, _, impl = head.rpartition(".")
            if not case:
                case, impl = head, "zorvik"
            key = case + ("/" + tail if tail else "")
            if key not in cases:
                cases[key] = {}
                order.append(key)
            cases[key][impl] = r

    report = []
    print("%-46s %-16s %12s %12s %8s" % ("case", "peer", "ours", "peer", "ratio"))
    for key in order:
        impls = cases[key]
        ours = impls.get("zorvik")
        if not ours:
            continue
        for impl, r in impls.items():
            if impl == "zorvik":
                continue
            ratio = r["real_time"] / ours["real_time"]
            unit = ours.get("time_unit", "ns")
            print("%-46s %-16s %9.3f %s %9.3f %s %7.2fx" % (key, impl, ours["real_time"], unit,
                                                          r["real_time"], r.get("time_unit", "ns"), ratio))
            report.append({"case": key, "peer": impl, "ours": ours["real_time"], "peer_time": r["real_time"],
                           "unit": unit, "ratio": ratio})
    seconds = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
    budget = [(key, impl, r) for key in order for impl, r in cases[key].items() if "field_period" in r]
    if budget:
        print()
        print("%-46s %-16s %12s %14s" % ("case", "version", "time", "field periods"))
    for key, impl, r in budget:
        unit = r.get("time_unit", "ns")
        share = r["real_time"] * seconds[unit] / r["field_period"]
        print("%-46s %-16s %9.3f %s %14.3g" % (key, impl, r["real_time"], unit, share))
        report.append({"case": key, "version": impl, "time": r["real_time"], "unit": unit, "field_periods": share})

    if args.json:
        with open(args.json, "w") as f:
            json.dump(report, f, indent=2)


if __name__ == "__main__":
    main()
