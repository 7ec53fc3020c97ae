#!/usr/bin/python3
"""Every build of the scorer gives the same results, byte for byte, on long names.

  same_results.py COMMAND [-- COMMAND]...

Each COMMAND starts one build's pairly-score (the native one, or a Windows one through
cmake/wine-run.sh); each is given the same lines with --batch, and their outputs must be equal.
The names are long, so that the scores run through the fast matcher and their last digits
depend on the floating-point precision each build computes with.
"""
import random
import subprocess
import sys
import tempfile


def long_names():
    rng = random.Random(24)
    pairs = []
    # 328 matched of 2,067, ten times over and more: the quotient rounds differently at the x87
    # unit's 64-bit precision ("...925" instead of "...926").
    for scale in (1, 10, 37):
        common = "A" * (328 * scale)
        pairs.append((common + "B" * (705 * scale), common + "C" * (706 * scale)))
    # Random runs of two letters, an edited copy, and names that share only scattered letters.
    for size in (5_000, 40_000):
        first = "".join(rng.choice("AB") for _ in range(size))
        second = "".join(rng.choice("AB") for _ in range(size + 17))
        pairs.append((first, second))
    text = "".join(rng.choice("abcdefghijklmnopqrstuvwxyzäöüß ") for _ in range(60_000))
    edited = list(text)
    for _ in range(1_200):
        edited[rng.randrange(len(edited))] = rng.choice("XYZé")
    pairs.append((text, "".join(edited)))
    pairs.append(("A" * 100_000, "A" * 100_001))
    pairs.append((("AB" * 20_000) + "Q", "AC" * 20_011))
    return "".join(f"{first}\t{second}\n" for first, second in pairs).encode("utf-8")


def main():
    commands, command = [], []
    for argument in sys.argv[1:] + ["--"]:
        if argument == "--":
            if command:
                commands.append(command + ["--batch"])
            command = []
        else:
            command.append(argument)
    lines = long_names()
    outputs = []
    with tempfile.TemporaryFile() as given:
        given.write(lines)
        for command in commands:
            given.seek(0)
            # Into a file, not a pipe: a Wine server started for the run may keep a pipe open.
            with tempfile.TemporaryFile() as output:
                status = subprocess.run(command, stdin=given, stdout=output).returncode
                output.seek(0)
                outputs.append(output.read())
            if status != 0:
                print(f"same_results: {' '.join(command)} exited with status {status}")
                return 1
    count = lines.count(b"\n")
    for command, output in zip(commands[1:], outputs[1:]):
        if output != outputs[0]:
            print(f"same_results: {' '.join(command)} differs from {' '.join(commands[0])}:")
            for mine, theirs in zip(output.splitlines(), outputs[0].splitlines()):
                if mine != theirs:
                    print(f"  {mine!r} where {theirs!r}")
            return 1
        print(f"same_results: {' '.join(command)}: the same {count} results")
    return 0


if __name__ == "__main__":
    sys.exit(main())
