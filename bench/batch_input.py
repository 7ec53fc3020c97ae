#!/usr/bin/python3
"""Writes NAME1<TAB>NAME2 lines for the scorer's batch mode, deterministically.

  batch_input.py names COUNT   ordinary names: 3 to 20 letters, capitalised, a quarter of the
                               pairs sharing a part
  batch_input.py mixed COUNT   everything a line may hold: the names above, other scripts,
                               characters outside the BMP, blanks, empty names, CR LF ends,
                               names equal but for case, tabs in the second name, long names
"""
import random
import sys

LETTERS = "abcdefghijklmnopqrstuvwxyz"
# Latin-1 and Latin Extended letters (ÿ and Ÿ, ß), Greek, Cyrillic, hiragana, CJK, combining
# marks, the euro sign, a C1 control, a BOM, and characters outside the BMP (Deseret has case).
OTHERS = ("éÉüÜñÑçÇøØåÅßÿŸœŒšŠžŽāĀłŁőŐ" "αβγδΑΒΓΔσςΣ" "абвгдАБВГДёЁ"
          "あいうえおアイウ" "漢字名前" "\u0301\u0308€\u0085\ufeff"
          "\U00010428\U00010400\U0001F600\U00020000")


def name(rng, low=3, high=20):
    length = rng.randint(low, high)
    return "".join(rng.choice(LETTERS).upper() if i == 0 else rng.choice(LETTERS)
                   for i in range(length))


def ordinary(rng):
    a, b = name(rng), name(rng)
    if rng.randint(0, 3) == 0:
        b = a[:len(a) // 2] + b[len(b) // 2:]
    return a, b


def mixed(rng):
    kind = rng.randint(0, 19)
    if kind <= 7:
        return ordinary(rng)
    if kind == 8:
        a = name(rng)
        return a, "".join(c.swapcase() if rng.randint(0, 1) else c for c in a)
    if kind == 9:
        return rng.choice(["", name(rng)]), rng.choice(["", name(rng)])
    if kind == 10:
        return " " * rng.randint(1, 3), " " * rng.randint(1, 3) + name(rng, 0, 3)
    if kind == 11:  # a second name holding tabs (the first tab splits)
        return name(rng), name(rng) + "\t" + name(rng)
    if kind == 12:  # long names
        a = name(rng, 50, 3000)
        return a, a[: len(a) // 3] + name(rng, 10, 2000)
    if kind == 13:  # a long name against a short one
        return name(rng, 100, 1000), name(rng, 1, 5)
    # other scripts and characters, mixed with letters
    pool = LETTERS + LETTERS.upper() + OTHERS + " -'."
    a = "".join(rng.choice(pool) for _ in range(rng.randint(1, 20)))
    b = "".join(rng.choice(pool) for _ in range(rng.randint(1, 20)))
    if rng.randint(0, 2) == 0:
        b = a[: len(a) // 2] + b
    return a, b


def main():
    kind, count = sys.argv[1], int(sys.argv[2])
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 12)
    make = {"names": ordinary, "mixed": mixed}[kind]
    out = sys.stdout.buffer
    lines = []
    for _ in range(count):
        a, b = make(rng)
        end = "\r\n" if kind == "mixed" and rng.randint(0, 9) == 0 else "\n"
        lines.append((a + "\t" + b + end).encode("utf-8", "surrogatepass"))
        if len(lines) >= 10000:
            out.write(b"".join(lines))
            lines = []
    out.write(b"".join(lines))


if __name__ == "__main__":
    main()
