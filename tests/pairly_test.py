#!/usr/bin/python3
"""pairly.SequenceMatcher against difflib.SequenceMatcher(None, a, b, autojunk=False).

Run with the module on the path: PYTHONPATH=build/native/python python3 tests/pairly_test.py
"""
import difflib
import random
import sys
import threading
import unittest

from hypothesis import given, settings, strategies as st

import pairly

settings.register_profile("pairly", derandomize=True, database=None, deadline=None,
                          max_examples=1500)
settings.load_profile("pairly")


def both(a, b):
    return (pairly.SequenceMatcher(None, a, b),
            difflib.SequenceMatcher(None, a, b, autojunk=False))


def results(matcher):
    """Everything the methods give, in one comparable value."""
    return (matcher.get_matching_blocks(), matcher.get_opcodes(),
            [list(matcher.get_grouped_opcodes(n)) for n in (0, 1, 3)],
            matcher.ratio(), matcher.quick_ratio(), matcher.real_quick_ratio(),
            matcher.find_longest_match())


runs = st.lists(st.tuples(st.sampled_from("ab"), st.integers(1, 12)), max_size=8).map(
    lambda pieces: "".join(letter * count for letter, count in pieces))
lines = st.lists(st.sampled_from(["", "}\n", "x = 1\n", "return x\n", "\tpass\n"]),
                 max_size=40)
# 1, 1.0 and True are one element to a dict, and so to difflib; -0.0 and 0 too.
numbers = st.lists(st.sampled_from([0, 1, 1.0, True, 2, -0.0, (1, 2), (1, 2.0)]), max_size=30)
sequences = st.one_of(
    st.text("ab", max_size=40), st.text("abc", max_size=30), runs,
    st.text("aé€😀\u0300", max_size=30), st.text(max_size=20),
    lines, lines.map(tuple), numbers, numbers.map(tuple))


class SameAsDifflib(unittest.TestCase):
    @settings(max_examples=3000)
    @given(sequences, sequences)
    def test_every_method_on_small_sequences(self, a, b):
        ours, theirs = both(a, b)
        self.assertEqual(results(ours), results(theirs))

    @given(st.one_of(st.tuples(st.text("abc", max_size=30), st.text("abc", max_size=30)),
                     st.tuples(runs, runs), st.tuples(lines, lines)), st.data())
    def test_find_longest_match_on_sub_ranges(self, pair, data):
        a, b = pair
        alo = data.draw(st.integers(0, len(a)))
        ahi = data.draw(st.integers(alo, len(a)))
        blo = data.draw(st.integers(0, len(b)))
        bhi = data.draw(st.integers(blo, len(b)))
        ours, theirs = both(a, b)
        found = ours.find_longest_match(alo, ahi, blo, bhi)
        self.assertIs(type(found), difflib.Match)
        self.assertEqual(found, theirs.find_longest_match(alo, ahi, blo, bhi))

    def test_str_against_a_list_of_its_characters(self):
        a, b = "the cat sat", list("a cat sat on it")
        self.assertEqual(results(pairly.SequenceMatcher(None, a, b)),
                         results(difflib.SequenceMatcher(None, a, b, autojunk=False)))
        self.assertEqual(results(pairly.SequenceMatcher(None, b, a)),
                         results(difflib.SequenceMatcher(None, b, a, autojunk=False)))

    def test_more_kinds_of_elements_than_a_byte_holds_on_medium_sizes(self):
        # Past 255 distinct elements the matcher takes ids instead of bytes; where difflib is
        # still quick.
        generator = random.Random(26)
        for size in (300, 1000, 3000):
            a = [generator.randrange(size // 2) for _ in range(size)]
            b = [x if generator.random() < 0.9 else -x for x in a]
            b[size // 3:size // 3] = a[:size // 4]
            ours, theirs = both(a, b)
            self.assertEqual(results(ours), results(theirs))

    def test_two_letters_on_medium_sizes(self):
        generator = random.Random(3)
        for size in (500, 1500):
            a = "".join(generator.choice("ab") for _ in range(size))
            b = "".join(generator.choice("ab") for _ in range(size))
            ours, theirs = both(a, b)
            self.assertEqual(ours.get_matching_blocks(), theirs.get_matching_blocks())


class LongSequences(unittest.TestCase):
    def test_text_lists_and_ids_agree_and_blocks_are_common(self):
        # Too long for difflib: the same comparison by code point, by list element and by ids
        # (strs of more than 255 kinds) must agree, and every block be a common one.
        generator = random.Random(11)
        a = "".join(generator.choice("abcd") for _ in range(200000))
        b = list(a)
        for _ in range(4000):
            b[generator.randrange(len(b))] = generator.choice("abcde")
        b = "".join(b)
        blocks = pairly.SequenceMatcher(None, a, b).get_matching_blocks()
        self.assertEqual(pairly.SequenceMatcher(None, list(a), list(b)).get_matching_blocks(),
                         blocks)
        wide = [chr(0x4E00 + i) for i in range(300)]
        self.assertEqual(pairly.SequenceMatcher(None, a + "".join(wide),
                                                b + "".join(reversed(wide)))
                         .get_matching_blocks()[:-2], blocks[:-1])
        end_a = end_b = 0
        for i, j, size in blocks[:-1]:
            self.assertTrue(i >= end_a and j >= end_b and size > 0)
            self.assertEqual(a[i:i + size], b[j:j + size])
            end_a, end_b = i + size, j + size
        self.assertEqual(blocks[-1], (len(a), len(b), 0))


class Caching(unittest.TestCase):
    def test_set_seq1_set_seq2_and_set_seqs_as_difflib(self):
        ours, theirs = both("abcabba", "cbabac")
        first = ours.get_matching_blocks()
        self.assertIs(ours.get_matching_blocks(), first)  # the same list, as difflib's
        steps = [("set_seq2", "abcd"), ("set_seq1", "xabcdx"), ("set_seqs", ("ab", "ba")),
                 ("set_seq2", ["a", "b"]), ("set_seq1", ("b", "a", "b"))]
        for name, argument in steps:
            arguments = argument if name == "set_seqs" else (argument,)
            getattr(ours, name)(*arguments)
            getattr(theirs, name)(*arguments)
            self.assertEqual(results(ours), results(theirs), name)
            self.assertEqual((ours.a, ours.b), (theirs.a, theirs.b))

    def test_same_object_keeps_the_cache_and_a_is_read_afresh(self):
        a = list("abcd")
        ours, theirs = both(a, list("bcdx"))
        for matcher in (ours, theirs):
            blocks = matcher.get_matching_blocks()
            a.append("x")  # in place: the same object again changes nothing cached
            matcher.set_seq1(a)
            self.assertIs(matcher.get_matching_blocks(), blocks)
            a.pop()
        self.assertEqual(ours.get_opcodes(), theirs.get_opcodes())
        a[0] = "b"  # but each find_longest_match reads a as it is now
        self.assertEqual(ours.find_longest_match(), theirs.find_longest_match())


class Refusals(unittest.TestCase):
    def test_junk_and_autojunk_are_refused_saying_why(self):
        for arguments in [dict(isjunk=str.isspace), dict(autojunk=True), dict(autojunk=1)]:
            with self.assertRaisesRegex(ValueError, "exact matcher"):
                pairly.SequenceMatcher(a="a b", b="ab", **arguments)
        pairly.SequenceMatcher(None, "a", "b", False)
        pairly.SequenceMatcher(autojunk=0)

    def test_unhashable_elements_and_non_sequences_raise_as_in_difflib(self):
        for a, b, call in [("a", [[1]], None), ([[1]], "a", "get_matching_blocks"),
                           ([1, [1]], [1], "find_longest_match"), ("a", 5, None),
                           (None, "a", "ratio"), ("a", None, "get_matching_blocks")]:
            raised = []
            for make in (pairly.SequenceMatcher,
                         lambda *s: difflib.SequenceMatcher(*s, autojunk=False)):
                try:
                    matcher = make(None, a, b)
                    if call:
                        getattr(matcher, call)()
                except TypeError as error:
                    raised.append(str(error))
            self.assertEqual(len(raised), 2, (a, b, call))
            self.assertEqual(raised[0], raised[1])

    def test_ranges_outside_the_sequences_raise_index_error(self):
        # difflib raises IndexError for some of them and quietly gives a block outside the
        # range for others (negative bounds wrap round).
        matcher = pairly.SequenceMatcher(None, "abc", "cab")
        for bounds in [(0, 4, 0, 3), (0, 3, 0, 4), (-1, 3, 0, 3), (0, 3, -2, 3), (0, -1, 0, 3)]:
            with self.assertRaisesRegex(IndexError, "not within"):
                matcher.find_longest_match(*bounds)
        # An empty range gives what difflib gives, its start and no size.
        self.assertEqual(matcher.find_longest_match(2, 1, 0, 3), (2, 0, 0))
        self.assertEqual(matcher.find_longest_match(0, 3, 3, 3), (0, 3, 0))
        with self.assertRaises(TypeError):
            matcher.find_longest_match(0, 1.5)


class Threads(unittest.TestCase):
    def test_sequences_replaced_during_a_match_are_not_given_its_blocks(self):
        # The match runs without the GIL, and only then can the other thread run: the blocks
        # it gives are those of the sequences it started with, and are not kept for the new.
        matcher = pairly.SequenceMatcher(None, "ab" * 150000, "ba" * 150000)
        go = threading.Event()
        changer = threading.Thread(target=lambda: go.wait() and matcher.set_seqs("xy", "yx"))
        changer.start()
        interval = sys.getswitchinterval()
        sys.setswitchinterval(100)
        try:
            go.set()
            blocks = matcher.get_matching_blocks()
        finally:
            sys.setswitchinterval(interval)
            changer.join()
        self.assertEqual(blocks, [(0, 1, 299999), (300000, 300000, 0)])
        self.assertEqual(matcher.get_matching_blocks(), [(0, 1, 1), (2, 2, 0)])


if __name__ == "__main__":
    unittest.main()
