#!/usr/bin/python3
"""The Python module pairly against difflib.SequenceMatcher, and on long strings alone.

    bench/python_module.sh                 # builds the module, then runs this
    PYTHONPATH=build/native/python /usr/bin/python3 bench/python_module.py [--quick]

--quick leaves out difflib with autojunk=False on the two-letter strings (about a minute).
Each pairly time is the best of 5 runs of a new SequenceMatcher and its
get_matching_blocks(); difflib's default the best of 3; difflib with autojunk=False one
run, its blocks checked against pairly's. The long strings run in a child process each, for
its peak memory: the growth of the peak resident set over what the process held before the
call (the strings included), per character of both strings.
"""
import difflib
import random
import resource
import subprocess
import sys
import time

import pairly


def two_letter_runs(generator, length, longest=10):
    """Alternating runs of a and b, each 1 to `longest` long."""
    pieces, letter, total = [], "a", 0
    while total < length:
        run = generator.randint(1, longest)
        pieces.append(letter * run)
        total += run
        letter = "b" if letter == "a" else "a"
    return "".join(pieces)[:length]


def edited(generator, text, percent, alphabet):
    """A copy with about `percent`% of the positions deleted, substituted or inserted after."""
    out = []
    for element in text:
        roll = generator.random() * 300
        if roll < percent:
            continue
        out.append(generator.choice(alphabet) if roll < 2 * percent else element)
        if 2 * percent <= roll < 3 * percent:
            out.append(generator.choice(alphabet))
    return out


def source_lines(generator, count):
    """Lines as in program text: a fifth of them blank or one of a few common ones, the rest
    from a pool of 2,000, some of which recur often."""
    common = ["", "}", "{", "return 0;", "break;", "else", "#endif"]
    pool = ["line %d = f(x%d);" % (i, i % 97) for i in range(2000)]
    return [generator.choice(common) if generator.random() < 0.2
            else pool[min(int(generator.paretovariate(0.6)), 2000) - 1]
            for _ in range(count)]


def best(run, times):
    elapsed = []
    for _ in range(times):
        start = time.perf_counter()
        result = run()
        elapsed.append(time.perf_counter() - start)
    return min(elapsed), result


def compare(name, a, b, quick):
    ours, blocks = best(lambda: pairly.SequenceMatcher(None, a, b).get_matching_blocks(), 5)
    default = best(lambda: difflib.SequenceMatcher(None, a, b).get_matching_blocks(), 3)[0]
    print("| %s | %.1f ms | %.1f ms (ratio %.4f, exact %.4f) |" % (
        name, ours * 1000, default * 1000, difflib.SequenceMatcher(None, a, b).ratio(),
        pairly.SequenceMatcher(None, a, b).ratio()), end="", flush=True)
    if quick:
        print(" not run | - | - |")
        return
    exact, theirs = best(
        lambda: difflib.SequenceMatcher(None, a, b, autojunk=False).get_matching_blocks(), 1)
    print(" %.2f s | %.0f | %s |" % (exact, exact / ours, "yes" if theirs == blocks else "NO"),
          flush=True)


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * resource.getpagesize()


def long_strings(family, length):
    """In a child process: time and peak memory of one comparison of two long strings."""
    generator = random.Random(length)
    if family == "edited":
        letters = "abcdefghijklmnopqrstuvwxyz"
        a = "".join(generator.choice(letters) for _ in range(length))
        b = "".join(edited(generator, a, 2, letters))
    else:
        a, b = two_letter_runs(generator, length), two_letter_runs(generator, length)
    before = resident_bytes()
    start = time.process_time()
    blocks = pairly.SequenceMatcher(None, a, b).get_matching_blocks()
    elapsed = time.process_time() - start
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024
    print("| %s | %d | %.2f s | %.1f bytes | %d |" % (
        family, length, elapsed, (peak - before) / (len(a) + len(b)), len(blocks) - 1))


def main():
    if sys.argv[1:2] == ["--long"]:
        long_strings(sys.argv[2], int(sys.argv[3]))
        return
    quick = "--quick" in sys.argv
    generator = random.Random(20000)
    print("| input | pairly | difflib default | difflib autojunk=False | times faster "
          "than autojunk=False | same blocks |")
    print("| --- | ---: | ---: | ---: | ---: | --- |")
    a, b = two_letter_runs(generator, 20000), two_letter_runs(generator, 20000)
    compare("two 20,000-character strings, runs of a and b", a, b, quick)
    lines = source_lines(generator, 20000)
    compare("20,000 lines against a 5%-edited copy", lines,
            edited(generator, lines, 5, lines), False)
    print()
    print("| family | n per side | processor time | peak memory a character | blocks |")
    print("| --- | ---: | ---: | ---: | ---: |")
    for family in ("edited", "runs"):
        subprocess.run([sys.executable, __file__, "--long", family, "1000000"], check=True)


if __name__ == "__main__":
    main()
