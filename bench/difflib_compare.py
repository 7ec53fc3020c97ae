#!/usr/bin/python3
"""Times Python's difflib on the benchmark's inputs and writes the comparison table.

difflib's SequenceMatcher(None, a, b, autojunk=False) picks the same blocks as the score
(its default autojunk changes results from 200 characters on), so the sum of its matching
block sizes must equal our count K; each input runs in a child process under a time cap.
"""
import argparse
import difflib
import json
import os
import subprocess
import sys
import time


def count_one(path_a, path_b):
    with open(path_a, "rb") as f:
        a = f.read().decode("latin-1")
    with open(path_b, "rb") as f:
        b = f.read().decode("latin-1")
    sys.setrecursionlimit(1000000)  # older difflib recursed; harmless otherwise
    start = time.perf_counter()
    matcher = difflib.SequenceMatcher(None, a, b, autojunk=False)
    k = sum(block.size for block in matcher.get_matching_blocks())
    print(k, time.perf_counter() - start)


def difflib_time(path_a, path_b, cap):
    try:
        done = subprocess.run([sys.executable, __file__, "--one", path_a, path_b],
                              capture_output=True, text=True, timeout=cap, check=True)
    except subprocess.TimeoutExpired:
        return None, None
    k, seconds = done.stdout.split()
    return int(k), float(seconds)


def ms(seconds):
    value = seconds * 1000
    return f"{value:,.0f}" if value >= 100 else f"{value:.2g}" if value < 1 else f"{value:.3g}"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--one", nargs=2)
    parser.add_argument("--results")
    parser.add_argument("--inputs")
    parser.add_argument("--cap", type=float, default=10.0)
    args = parser.parse_args()
    if args.one:
        count_one(*args.one)
        return

    with open(args.results) as f:
        results = json.load(f)
    runs = {}
    for run in results["benchmarks"]:
        unit = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[run["time_unit"]]
        runs[run["name"]] = (run["real_time"] * unit, run)

    families = []
    for name in runs:
        if name.startswith("fast/"):
            _, family, n = name.split("/")
            families.append((family, int(n)))

    print(f"Seconds shown in milliseconds. difflib capped at {args.cap:g} s per input "
          "(\"> cap\"); \"-\" not run (the plain scan is cubic or worse there).\n")
    print("| family | n per side | fast (ms) | plain scan (ms) | difflib (ms) | K | difflib K agrees |")
    print("| --- | ---: | ---: | ---: | ---: | ---: | --- |")
    slow = set()
    for family, n in families:
        fast, run = runs[f"fast/{family}/{n}"]
        plain = runs.get(f"plain/{family}/{n}")
        k = int(run["K"])
        if family in slow:
            diff_k, diff_s = None, None
        else:
            stem = os.path.join(args.inputs, f"{family}-{n}")
            diff_k, diff_s = difflib_time(stem + ".a", stem + ".b", args.cap)
            if diff_s is None:
                slow.add(family)  # larger sizes only take longer
        agrees = "-" if diff_k is None else ("yes" if diff_k == k else f"NO ({diff_k})")
        print(f"| {family} | {n} | {ms(fast)} | {ms(plain[0]) if plain else '-'} | "
              f"{ms(diff_s) if diff_s is not None else '> cap'} | {k} | {agrees} |")
    names, _ = runs["names"]
    paste, _ = runs["paste_1M"]
    print(f"\nOrdinary names (3 to 20 letters, whole score with upper-casing and codes): "
          f"{names * 1e9:.0f} ns per pair.  ")
    print(f"1,000,000-character text against a 2%-edited copy (whole score): {ms(paste)} ms.")


if __name__ == "__main__":
    main()
