#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "runtime/runtime_error.h"
#include "scoring/module1.h"
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

}  // namespace
