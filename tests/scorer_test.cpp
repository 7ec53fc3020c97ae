#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "pairly_score/scorer.h"
#include "test_support.h"

namespace {

struct ScorerRun {
  int exitCode;
  std::string output, errors;
};

ScorerRun RunScorer(const std::vector<std::u16string>& arguments, const std::string& input = "") {
  const DoubleByteTextServices text;
  std::istringstream in(input);
  std::ostringstream out, err;
  const int code = pairly_score::Main(arguments, in, out, err, text);
  return {code, out.str(), err.str()};
}

TEST(Scorer, PairPrintsWarningsThenBothCaptions) {
  const ScorerRun run = RunScorer({u"", u"SITA"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, "warning: Enter Your Name!!!\n0\n0%\n");

  EXPECT_EQ(RunScorer({u"RAM", u"SITA"}).output, "0.714285714285714\n71%\n");
}

TEST(Scorer, LongNamesScoreToTheLastDigit) {
  // 328 matched of 2,067: a quotient that rounds differently when computed at the x87 unit's
  // 64-bit precision and then rounded to double ("...925"); every build must print "...926".
  const std::u16string common(328, u'A');
  EXPECT_EQ(
      RunScorer({common + std::u16string(705, u'B'), common + std::u16string(706, u'C')}).output,
      "0.793420416061926\n79%\n");
}

TEST(Scorer, PairReportsRuntimeErrorsAndUsage) {
  const ScorerRun error = RunScorer({u"A", u"\u3042"});
  EXPECT_EQ(error.exitCode, 1);
  EXPECT_EQ(error.output, "");
  EXPECT_EQ(error.errors, "pairly-score: run-time error 6: Overflow\n");

  const ScorerRun usage = RunScorer({u"only one"});
  EXPECT_EQ(usage.exitCode, 2);
  EXPECT_NE(usage.errors.find("usage:"), std::string::npos);
}

TEST(Scorer, BatchScoresEachLineWithoutWarnings) {
  const ScorerRun run = RunScorer({u"--batch"},
                                  "ABC\tABD\n\t\nJOHN\tJANE\r\nA\t\n"
                                  "\xC3\xA9t\xC3\xA9\t\xC3\x89T\xC3\x89\n\xC3\xA9t\xC3\xA9\tETE\n");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output,
            "1.66666666666667\t166%\n1\t100%\n1.25\t125%\n0\t0%\n1\t100%\n"
            "0.833333333333333\t83%\n");
  EXPECT_EQ(run.errors, "");
}

TEST(Scorer, BatchStopsAtTheFirstBadLineNamingIt) {
  const struct {
    std::string input, message;
  } cases[] = {
      {"AB\tAB\nno tab here\nAB\tAB\n", "pairly-score: line 2: no tab between the two names\n"},
      {"AB\tAB\nA\xFF\tB\n", "pairly-score: line 2: not valid UTF-8\n"},
      {"AB\tAB\nA\t\xE3\x81\x82\n", "pairly-score: line 2: run-time error 6: Overflow\n"},
  };
  for (const auto& c : cases) {
    const ScorerRun run = RunScorer({u"--batch"}, c.input);
    EXPECT_NE(run.exitCode, 0);
    EXPECT_EQ(run.output, "1\t100%\n");  // the lines before it are printed
    EXPECT_EQ(run.errors, c.message);
  }
}

}  // namespace
