// Allocation failures in the matcher: each of its allocations in turn is made to fail, and
// each time the count must end in std::bad_alloc (what the caller reports as out of memory),
// never in a crash, a wrong count or another exception; the next count must work again.
#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <random>
#include <vector>

#include "failing_allocations.h"
#include "scoring/fast_matcher.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes RandomText(std::mt19937& random, int length, int alphabet) {
  Bytes text(static_cast<std::size_t>(length));
  for (uint8_t& c : text) c = static_cast<uint8_t>('A' + random() % alphabet);
  return text;
}

TEST(MatcherAllocation, EveryFailureEndsInBadAlloc) {
  std::mt19937 random(3);
  const Bytes text = RandomText(random, 3000, 4);
  Bytes edited = text;
  for (std::size_t i = 0; i < edited.size(); i += 37) edited[i] = 'E';
  const Bytes copy = edited;
  const Bytes other = RandomText(random, 3000, 26);
  const auto size = [](const Bytes& b) { return static_cast<int32_t>(b.size()); };

  // Automaton, suffix array, groupings, reach searches and tables: the default, forced
  // searches, and tables off.
  const scoring::MatcherTuning tunings[] = {{}, {0, 0}, {1, 0, 0}};
  for (const auto& tuning : tunings) {
    for (const Bytes* second : {&copy, &other}) {
      const int32_t expected =
          scoring::FastMatchCount(text, *second, 1, size(text), 1, size(*second), tuning);
      int64_t failing = 0;
      for (;; ++failing) {
        bool failed = false;
        int32_t count = -1;
        bool allMade = false;
        {
          const FailingAllocations failingOne = FailingAllocations::After(failing);
          try {
            count = scoring::FastMatchCount(text, *second, 1, size(text), 1, size(*second), tuning);
          } catch (const std::bad_alloc&) {
            failed = true;
          }
          allMade = failingOne.Failures() == 0;  // the failure was never reached
        }
        if (allMade) {
          EXPECT_EQ(count, expected);
          break;
        }
        ASSERT_TRUE(failed) << "allocation " << failing << " failed, yet the count returned";
      }
      EXPECT_GT(failing, 10);  // the count above made that many allocations
      EXPECT_EQ(scoring::FastMatchCount(text, *second, 1, size(text), 1, size(*second), tuning),
                expected);
    }
  }
}

}  // namespace
