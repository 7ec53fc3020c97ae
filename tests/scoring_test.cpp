#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "runtime/runtime_error.h"
#include "scoring/module1.h"
#include "scoring/fast_matcher.h"
#include "scoring/pair_scorer.h"
#include "scoring/short_matcher.h"
#include "test_support.h"

namespace {

using Module1::Codes1;
using Module1::Codes2;
using Module1::NameMatchScore;

const runtime::PortableTextServices kText;

double Score(std::u16string_view a, std::u16string_view b) {
  return NameMatchScore(a, b, kText);
}

void ExpectCodesEmpty() {
  EXPECT_TRUE(Codes1.IsEmpty());
  EXPECT_TRUE(Codes2.IsEmpty());
  EXPECT_EQ(Codes1.Capacity(), 0u);
  EXPECT_EQ(Codes2.Capacity(), 0u);
}

struct ScoreCase {
  std::u16string first, second;
  double score;
};

TEST(NameMatchScore, WorkedExamplesToTheLastBit) {
  const std::vector<ScoreCase> cases = {
      {u"anna", u"ANNA", 1.0},
      {u"", u"", 1.0},
      {u"A", u"", 0.0},
      {u"", u"SITA", 0.0},
      {u"ABC", u"ABD", 1.6666666666666665},
      {u"JOHN", u"JANE", 1.25},
      {u"RAM", u"SITA", 0.7142857142857142},
      {u"ab", u"abc", 2.0},
      {u"ROM", u"JULI", 0.0},
      {u"ABCD", u"ABCE", 1.875},
      {u"AAA", u"ABAA", 1.4285714285714284},  // first longest block in scan order, not last
      {u"AAB", u"ABA", 1.6666666666666665},
      {std::u16string(23, u'A') + u"BB", std::u16string(23, u'A') + u"CC", 2.3000000000000003},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << Printable(c.first) << " / " << Printable(c.second));
    EXPECT_EQ(Score(c.first, c.second), c.score);  // exact: same operations, same rounding
    ExpectCodesEmpty();
  }
}

TEST(NameMatchScore, CaseAndBlanks) {
  // Case is ignored per character too: 'a' and 'A' share an ANSI code after upper-casing.
  EXPECT_EQ(Score(u"abc", u"ABD"), Score(u"ABC", u"ABD"));
  // Blanks are characters like any other, and are not trimmed.
  EXPECT_EQ(Score(u" ", u"  "), 1.0 / 3 * 5.0);
  EXPECT_EQ(Score(u"A B", u"AB"), 2.0 / 5 * 5.0);
  // Different texts whose characters all share codes score 2.5 (ÿ upper-cases to Ÿ, 0x9F;
  // both unassigned Greek letters fall back to '?').
  EXPECT_EQ(Score(u"\u00FF", u"\u0178"), 1.0);  // equal once upper-cased
  EXPECT_EQ(Score(u"\u03B1\u03B2", u"\u03B3\u03B4"), 2.5);
}

TEST(CountMatches, GuardsAndTieBreaks) {
  // Driven directly, with the arrays filled the way the score fills them.
  const auto count = [](const std::string& a, const std::string& b) {
    FillCodesForTest(a, b);
    const int32_t k =
        Module1::CountMatches(1, static_cast<int32_t>(a.size()), 1, static_cast<int32_t>(b.size()));
    Codes1.Erase();
    Codes2.Erase();
    return k;
  };
  EXPECT_EQ(count("AAA", "ABAA"), 2);
  EXPECT_EQ(count("JOHN", "JANE"), 2);
  EXPECT_EQ(count("ABCXYZ", "XYZABC"), 3);  // 'ABC' first; no right remainder in the second
  EXPECT_EQ(count("ABAB", "BABA"), 3);

  FillCodesForTest("AB", "AB");
  EXPECT_EQ(Module1::CountMatches(0, 2, 1, 2), 0);  // a start of 0 stops the recursion
  EXPECT_EQ(Module1::CountMatches(2, 1, 1, 2), 0);  // empty first range
  EXPECT_EQ(Module1::CountMatches(1, 2, 2, 1), 0);  // empty second range
  EXPECT_EQ(Module1::CountMatches(2, 2, 1, 2), 1);
  EXPECT_THROW(Module1::CountMatches(1, 3, 1, 2), runtime::RuntimeError);  // beyond Codes1
  Codes1.Erase();
  Codes2.Erase();
}

TEST(NameMatchScore, ErrorHalfWayLeavesCodesEmpty) {
  // A character whose ANSI form takes two bytes cannot be a code: overflow, raised after
  // the first array is already filled.
  const DoubleByteTextServices dbcs;
  try {
    NameMatchScore(u"ABC", u"A\u3042", dbcs);
    FAIL() << "expected the overflow error";
  } catch (const runtime::RuntimeError& error) {
    EXPECT_EQ(error.Kind(), runtime::ErrorKind::kOverflow);
  }
  ExpectCodesEmpty();
  // And the next call works normally.
  EXPECT_EQ(NameMatchScore(u"ABC", u"ABD", dbcs), 1.6666666666666665);
  ExpectCodesEmpty();
}

// The tie-break rule restated by brute force: of all common blocks of the greatest length,
// the one with the lowest start in the first text, then in the second.
int BruteForce(const std::string& a, const std::string& b) {
  int best = 0;
  std::size_t bestI = 0, bestJ = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    for (std::size_t j = 0; j < b.size(); ++j) {
      int k = 0;
      while (i + k < a.size() && j + k < b.size() && a[i + k] == b[j + k]) ++k;
      if (k > best) best = k, bestI = i, bestJ = j;
    }
  }
  if (best == 0) return 0;
  return best + BruteForce(a.substr(bestI + best), b.substr(bestJ + best)) +
         BruteForce(a.substr(0, bestI), b.substr(0, bestJ));
}

TEST(NameMatchScore, AgreesWithBruteForceOnSmallAlphabets) {
  std::mt19937 random(20261208);
  for (int alphabet = 2; alphabet <= 4; ++alphabet) {
    for (int trial = 0; trial < 3000; ++trial) {
      const auto make = [&] {
        std::string s(std::uniform_int_distribution<int>(1, 14)(random), 'A');
        for (char& c : s) c = static_cast<char>('A' + random() % alphabet);
        return s;
      };
      const std::string a = make(), b = make();
      const std::u16string wa(a.begin(), a.end()), wb(b.begin(), b.end());
      // Compared as counts: the score's last bit is pinned by the worked examples, and an
      // expected value computed here would round as this build's arithmetic does.
      const double score = Score(wa, wb);
      if (a == b) {
        ASSERT_EQ(score, 1.0) << a;
        continue;
      }
      const auto count = std::lround(score * static_cast<double>(a.size() + b.size()) / 5.0);
      ASSERT_EQ(count, BruteForce(a, b)) << a << " / " << b;
    }
  }
  ExpectCodesEmpty();
}

// Names are matched a machine word at a time: the same blocks, so the same count, as the plain
// scan, up to the longest texts taken.
TEST(ShortMatcher, CountsWhatThePlainScanCounts) {
  std::mt19937 random(63);
  scoring::ShortMatcher matcher;
  for (const int alphabet : {1, 2, 3, 4, 26, 256}) {
    for (int trial = 0; trial < 2000; ++trial) {
      const auto make = [&](std::size_t longest) {
        std::vector<uint8_t> s(1 + random() % longest);
        for (uint8_t& c : s) c = static_cast<uint8_t>(255 - random() % alphabet);
        return s;
      };
      const std::vector<uint8_t> first = make(scoring::ShortMatcher::kLongest);
      const std::vector<uint8_t> second =
          trial % 50 == 0 ? std::vector<uint8_t>(scoring::ShortMatcher::kLongest, 255)
                          : make(scoring::ShortMatcher::kLongest);
      const auto size1 = static_cast<int32_t>(first.size());
      const auto size2 = static_cast<int32_t>(second.size());
      ASSERT_EQ(matcher.Count(first, second),
                scoring::PlainMatchCount(first, second, 1, size1, 1, size2))
          << alphabet << " letters, trial " << trial;
    }
  }
}

// A platform with two quirks: it upper-cases a Deseret small letter (a surrogate pair) as one
// character while a surrogate on its own stays as it is, so the whole text is not its code
// units one by one; and its code page gives 'B' two bytes, so ASCII is not one byte each.
class QuirkyTextServices : public DoubleByteTextServices {
 public:
  std::u16string UpperCase(std::u16string_view text) const override {
    std::u16string upper = DoubleByteTextServices::UpperCase(text);
    for (std::size_t i = 0; i + 1 < upper.size(); ++i) {
      if (upper[i] == 0xD801 && upper[i + 1] >= 0xDC28 && upper[i + 1] <= 0xDC4F) {
        upper[i + 1] = static_cast<char16_t>(upper[i + 1] - 0x28);
      }
    }
    return upper;
  }
  int32_t AnsiCode(char16_t character) const override {
    return character == u'B' ? 0x8260 : DoubleByteTextServices::AnsiCode(character);
  }
};

// Code 255, the last one byte holds, for a letter and for a mark without case (as code page
// 1250 gives the dot above).
class Code255TextServices : public DoubleByteTextServices {
 public:
  int32_t AnsiCode(char16_t character) const override {
    return character == u'C' || character == u'\u02D9'
               ? 0xFF
               : DoubleByteTextServices::AnsiCode(character);
  }
};

// The batch mode's scorer keeps the services' answers per code unit and its buffers across
// pairs: whatever came before, each pair gets NameMatchScore's result or runtime error, as
// UTF-16 and, where it is ASCII, as bytes.
TEST(PairScorer, GivesNameMatchScoresResultForEveryPair) {
  const std::u16string pool[] = {u"a",
                                 u"A",
                                 u"b",
                                 u"B",
                                 u"c",
                                 u" ",
                                 u"\u00E9",
                                 u"\u00C9",
                                 u"\u00FF",
                                 u"\u0178",
                                 u"\u00DF",
                                 u"\u03B1",
                                 u"\u03A3",
                                 u"\u20AC",
                                 u"\u02D9",
                                 u"\u0301",
                                 u"\u3042",
                                 u"\U00010428",
                                 u"\U00010400",
                                 std::u16string(1, char16_t{0xD801}),
                                 std::u16string(1, char16_t{0xDC28})};
  const runtime::PortableTextServices portable;
  const DoubleByteTextServices doubleByte;
  const QuirkyTextServices quirky;
  const Code255TextServices code255;
  std::mt19937 random(1208);
  const runtime::TextServices* const services[] = {&portable, &doubleByte, &quirky, &code255};
  for (const runtime::TextServices* text : services) {
    scoring::PairScorer scorer(*text);
    int equal = 0, raised = 0;
    for (int trial = 0; trial < 6000; ++trial) {
      const auto name = [&](int longest) {
        std::u16string s;
        const int length = std::uniform_int_distribution<int>(0, longest)(random);
        // Every other pair from the first six only: ASCII.
        const std::size_t choices = trial % 2 == 0 ? 6 : std::size(pool);
        for (int i = 0; i < length; ++i) s += pool[random() % choices];
        return s;
      };
      const std::u16string first = name(trial % 100 == 0 ? 120 : 8);
      const std::u16string second = trial % 3 == 0 ? text->UpperCase(first) : name(8);
      SCOPED_TRACE(testing::Message() << Printable(first) << " / " << Printable(second));
      std::optional<double> expected;
      try {
        expected = NameMatchScore(first, second, *text);
      } catch (const runtime::RuntimeError&) {
        ++raised;
      }
      const auto expectSame = [&](const std::function<double()>& score) {
        if (expected) {
          ASSERT_EQ(score(), *expected);
        } else {
          ASSERT_THROW(score(), runtime::RuntimeError);  // overflow, the only error here
        }
      };
      expectSame([&] { return scorer.Score(first, second); });
      if (trial % 2 == 0) {
        const std::string bytes1(first.begin(), first.end()), bytes2(second.begin(), second.end());
        expectSame([&] { return scorer.ScoreAscii(bytes1, bytes2); });
      }
      equal += expected == 1.0;
    }
    EXPECT_GT(equal, 1000);
    if (text != &portable) {
      EXPECT_GT(raised, 100);
    }
  }
  // Surrogates: a pair the platform upper-cases whole makes equal names; alone they do not.
  scoring::PairScorer scorer(quirky);
  EXPECT_EQ(scorer.Score(u"\U00010428", u"\U00010400"), 1.0);
  EXPECT_EQ(scorer.Score(u"\xDC28", u"\xDC00"), 2.5);
}

}  // namespace
