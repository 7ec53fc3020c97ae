#!/usr/bin/python3
"""Measures pairly-score --batch on ordinary names and prints a Markdown table.

  batch_bench.py NATIVE COUNTING WINDOWS_EXE WORK_DIR [--runs N] [--reference OLD_PAIRLY_SCORE]

Whole processes, start-up included, output to a file; each figure the best of N runs, the
runs compared taking turns. Two one-job runs side by side show what two cores give this work
at best. Every run's output is compared: one job against two, native against Wine, against
difflib's, and against an older pairly-score when one is given (also on a mixed input of every
kind of line). Heap allocations are counted by COUNTING, the same program with a counting
operator new.
"""
import argparse
import os
import re
import resource
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
WINE = "/usr/lib/wine/wine64"
# One line this long (MB), from its file and through a pipe, which gives it in small pieces.
LONG_LINES = (48, 96)


def run(command, input_path, env=None, copies=1, piped=False):
    """(wall seconds, CPU seconds, stdout bytes) of one run, its output into a file; with
    `copies`, that many started together, each with an output of its own; `piped`: the input
    through `cat |` rather than from the file."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    sources = [open(input_path, "rb") for _ in range(copies)]
    outputs = [open(f"{input_path}.out{i}", "wb") for i in range(copies)]
    start = time.perf_counter()
    feeders = []
    if piped:
        feeders = [subprocess.Popen(["cat"], stdin=source, stdout=subprocess.PIPE)
                   for source in sources]
    started = [subprocess.Popen(command, stdin=feeders[i].stdout if piped else sources[i],
                                stdout=outputs[i], env=env)
               for i in range(copies)]
    for feeder in feeders:
        feeder.stdout.close()  # the scorer's now
    if any(process.wait() != 0 for process in started + feeders):
        sys.exit(f"{command} failed")
    wall = time.perf_counter() - start
    for file in sources + outputs:
        file.close()
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    with open(f"{input_path}.out0", "rb") as output:
        return wall, cpu, output.read()


def best(runs, configurations):
    """For each (key, command, input, copies, environment[, piped]) configuration, the best
    wall time and best CPU time of `runs` runs and the output (the same each time). The
    configurations take turns, so a change in the machine's speed meanwhile touches them
    alike."""
    walls, cpus, outputs = {}, {}, {}
    for _ in range(runs):
        for key, command, input_path, copies, env, *piped in configurations:
            wall, cpu, out = run(command, input_path, env, copies, *piped)
            if key in outputs and out != outputs[key]:
                sys.exit(f"output differs between runs of {command}")
            outputs[key] = out
            walls.setdefault(key, []).append(wall)
            cpus.setdefault(key, []).append(cpu)
    return {key: (min(walls[key]), min(cpus[key]), outputs[key], walls[key]) for key in outputs}


def same(what, a, b):
    if a != b:
        sys.exit(f"outputs differ: {what}")


def allocations(counting, input_path):
    with open(input_path, "rb") as source:
        done = subprocess.run([counting, "--batch", "--jobs", "1"], stdin=source,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                              check=True)
    return int(re.search(r"heap allocations: (\d+)", done.stderr).group(1))


def write_long_line(megabytes, path):
    """One line of two equal names, `megabytes` MB in all."""
    if not os.path.exists(path):
        name = b"A" * ((megabytes * 1000000 - 2) // 2)
        with open(path, "wb") as out:
            out.write(name + b"\t" + name + b"\n")


def write_input(kind, count, path):
    if not os.path.exists(path):
        with open(path, "wb") as out:
            subprocess.run([sys.executable, os.path.join(HERE, "batch_input.py"), kind, str(count)],
                           stdout=out, check=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("native")
    parser.add_argument("counting")
    parser.add_argument("windows")
    parser.add_argument("work")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--reference")
    args = parser.parse_args()

    inputs = {}
    for kind, count, name in [("names", 1000000, "names-1M"), ("names", 100000, "names-100k"),
                              ("names", 10000, "names-10k"), ("mixed", 100000, "mixed-100k")]:
        inputs[name] = os.path.join(args.work, name + ".tsv")
        write_input(kind, count, inputs[name])
    for megabytes in LONG_LINES:
        inputs[f"line-{megabytes}M"] = os.path.join(args.work, f"line-{megabytes}M.tsv")
        write_long_line(megabytes, inputs[f"line-{megabytes}M"])
    load_before = os.getloadavg()

    wine_env = dict(os.environ, WINEPREFIX=os.path.abspath(os.path.join(args.work, "wineprefix")),
                    WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    os.makedirs(wine_env["WINEPREFIX"], exist_ok=True)
    subprocess.run(["wineserver", "-k"], env=wine_env, stderr=subprocess.DEVNULL)  # a stale one
    subprocess.run(["wineserver", "-p"], env=wine_env, check=True)
    subprocess.run([WINE, "wineboot"], env=wine_env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=True)
    # Two one-job runs side by side too: what two cores give this work at best.
    batch = [args.native, "--batch", "--jobs"]
    wine = [WINE, args.windows, "--batch", "--jobs", "1"]
    try:
        timed = best(args.runs,
                     [((jobs, name), batch + [str(jobs)], inputs[name], 1, None)
                      for name in ("names-1M", "names-100k") for jobs in (1, 2)] +
                     [("side by side", batch + ["1"], inputs["names-1M"], 2, None)] +
                     [(("wine", name), wine, inputs[name], 1, wine_env)
                      for name in ("names-1M", "names-100k")] +
                     [("difflib", [sys.executable, os.path.join(HERE, "difflib_batch.py")],
                       inputs["names-100k"], 1, None)] +
                     [(("line", megabytes, piped), batch + ["1"], inputs[f"line-{megabytes}M"],
                       1, None, piped)
                      for megabytes in LONG_LINES for piped in (False, True)])
    finally:
        subprocess.run(["wineserver", "-k"], env=wine_env)
    native = {key: timed[key] for key in timed if key[0] in (1, 2)}
    wine = {key[1]: timed[key] for key in timed if key[0] == "wine"}
    for name in ("names-1M", "names-100k"):
        same(f"{name}, 1 job and 2", native[1, name][2], native[2, name][2])
        same(f"{name}, native and Wine", native[1, name][2], wine[name][2])

    difflib = timed["difflib"]
    same("names-100k, ours and difflib's", native[1, "names-100k"][2], difflib[2])
    for key in timed:
        if key[0] == "line":
            same(f"one line of {key[1]} MB", timed[key][2], b"1\t100%\n")

    if args.reference:
        for name in ("names-100k", "mixed-100k"):
            ours = run([args.native, "--batch", "--jobs", "2"], inputs[name])[2]
            theirs = run([args.reference, "--batch"], inputs[name])[2]
            same(f"{name}, ours and the reference", ours, theirs)

    allocs = {n: allocations(args.counting, inputs[n]) for n in ("names-10k", "names-100k")}
    load_after = os.getloadavg()

    one, two = native[1, "names-1M"], native[2, "names-1M"]
    per_pair = (one[0] - native[1, "names-100k"][0]) / 900000
    wine_per_pair = (wine["names-1M"][0] - wine["names-100k"][0]) / 900000
    difflib_per_pair = difflib[0] / 100000
    print(f"Best of {args.runs} runs, whole process; load average {load_before[0]:.2f} before, "
          f"{load_after[0]:.2f} after.\n")
    print("| measure | figure |")
    print("| --- | ---: |")
    print(f"| 1,000,000 pairs, `--jobs 1`: wall (CPU) | {one[0]:.3f} s ({one[1]:.3f} s) |")
    print(f"| pairs per second, `--jobs 1` | {1e6 / one[0]:,.0f} |")
    print(f"| 1,000,000 pairs, `--jobs 2`: wall (CPU) | {two[0]:.3f} s ({two[1]:.3f} s) |")
    # Each turn's own ratio too, as the machine's speed drifts from one turn to the next.
    paired = statistics.median(a / b for a, b in zip(one[3], two[3]))
    side_paired = statistics.median(2 * a / b for a, b in zip(one[3], timed["side by side"][3]))
    print(f"| speed-up with 2 jobs: of the best times; median of each turn's | "
          f"{one[0] / two[0]:.2f}; {paired:.2f} |")
    side_by_side = timed["side by side"][0]
    print(f"| two `--jobs 1` runs side by side: wall; their speed-up over one after another, "
          f"of the best times; median of each turn's | "
          f"{side_by_side:.3f} s; {2 * one[0] / side_by_side:.2f}; {side_paired:.2f} |")
    # The part of that the two-job run gets: what is left is the process's own.
    share = statistics.median(c / (2 * b) for b, c in zip(two[3], timed["side by side"][3]))
    print(f"| the two-job speed-up as a share of the side-by-side one: median of each turn's | "
          f"{share:.0%} |")
    print(f"| time per pair natively, `--jobs 1` (1,000,000 less 100,000 pairs) | "
          f"{per_pair * 1e9:.0f} ns |")
    print(f"| time per pair under Wine, `--jobs 1` (the same) | {wine_per_pair * 1e9:.0f} ns |")
    print(f"| Wine against native, per pair | {wine_per_pair / per_pair:.2f} |")
    print(f"| Wine's start-up and 100,000 pairs | {wine['names-100k'][0]:.3f} s |")
    print(f"| Python difflib, 100,000 pairs (same output) | {difflib[0]:.2f} s |")
    print(f"| difflib's time per pair against ours (`--jobs 1`, 1,000,000 pairs) | "
          f"{difflib_per_pair / (one[0] / 1e6):.0f} times |")
    print(f"| heap allocations per pair (100,000 less 10,000 pairs) | "
          f"{(allocs['names-100k'] - allocs['names-10k']) / 90000:.4f} |")
    print(f"| heap allocations of a whole run of 100,000 pairs | {allocs['names-100k']:,} |")
    for megabytes in LONG_LINES:
        from_file, piped = (timed["line", megabytes, p][0] for p in (False, True))
        print(f"| one line of {megabytes} MB: from the file; through `cat \\|`; the pipe's "
              f"time against the file's | {from_file:.2f} s; {piped:.2f} s; "
              f"{piped / from_file:.2f} |")
    if args.reference:
        print("\nOutput identical to the reference pairly-score on names-100k and mixed-100k.")


if __name__ == "__main__":
    main()
