#!/usr/bin/python3
"""pairly-score --batch done with Python's difflib, for the batch benchmark's comparison.

Reads NAME1<TAB>NAME2 lines of ASCII names from standard input and writes what the scorer
writes for them: the matched-character count K from difflib's
SequenceMatcher(None, a, b, autojunk=False) on the upper-cased names (it picks the same
blocks; its default autojunk changes results from 200 characters on), the score 5K/(L1+L2)
with 15 significant digits, and the percentage read back from that text, truncated.
"""
import difflib
import sys


def main():
    out = []
    for line in sys.stdin.buffer:
        first, second = line.rstrip(b"\r\n").decode("ascii").split("\t", 1)
        a, b = first.upper(), second.upper()
        if a == b:
            text = "1"
        elif not a or not b:
            text = "0"
        else:
            matcher = difflib.SequenceMatcher(None, a, b, autojunk=False)
            k = sum(block.size for block in matcher.get_matching_blocks())
            text = f"{k / (len(a) + len(b)) * 5.0:.15g}"
        out.append(f"{text}\t{int(float(text) * 100)}%\n")
    sys.stdout.write("".join(out))


if __name__ == "__main__":
    main()
