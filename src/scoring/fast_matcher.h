// The matched-character count of two code ranges (see Module1::CountMatches), computed two
// ways with identical results: the plain scan, quick for names but cubic on long texts, and
// a fast matcher for texts of any length that makes the very same block choices. The fast
// matcher also gives the blocks themselves, of codes or of ids for any other elements.
#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "scoring/cancellation.h"
#include "scoring/match_block.h"

namespace scoring {

// The plain scan. Ranges are 1-based and inclusive, as in CountMatches; any range that
// passes CountMatches' guard must lie inside its text (the caller checks). Recurses as deep
// as the number of blocks: meant for short texts.
int32_t PlainMatchCount(std::span<const uint8_t> first, std::span<const uint8_t> second,
                        int32_t start1, int32_t end1, int32_t start2, int32_t end2);

struct MatcherTuning {
  // Characters the suffix automaton may process before the suffix array of both texts is
  // built and the searches through it (blocks as long as the enclosing one; blocks within a
  // position's reach) are switched on. Negative: once the automaton has cost about what the
  // suffix array would, or its passes stop splitting their ranges (fast_matcher.cpp), and
  // straight away for an input too long for the automaton to stay in cache. Zero: from the
  // start, tried on every range they may apply to, without giving up.
  int64_t automatonBudget = -1;
  // Ranges with at most this many character pairs use the plain scan (of ids, eight times as
  // many).
  int64_t plainScanPairs = 256;
  // Once the suffix array is there, blocks shorter than the reach search tries, in ranges
  // whose shorter side has at most this many characters, are found through a table of that
  // side's blocks rather than through the suffix array or the automaton.
  int32_t shortTableSide = 1 << 15;
};

// What the fast matcher did, for tests and the benchmark.
struct MatcherStats {
  int64_t plainScans = 0;
  int64_t automatonCalls = 0;
  int64_t automatonCharacters = 0;
  int64_t denseAutomatonCharacters = 0;  // of those, through dense states (few symbols)
  bool indexBuilt = false;               // the suffix array and the searches through it
  int64_t lengthGroupings = 0;
  // Searches for a block of exactly the length the range is known not to exceed.
  int64_t groupingHits = 0;
  int64_t groupingMisses = 0;
  // Searches led by each position's longest match anywhere: blocks found, ranges shown to
  // hold no block as long as the search tries, and searches given up as too costly.
  int64_t reachSearches = 0;
  int64_t reachSearchesEmpty = 0;
  int64_t reachSearchesAbandoned = 0;
  // Passes of the table of one range's short blocks.
  int64_t shortTableSearches = 0;
};

// Same arguments and result as PlainMatchCount, in about O((n + m) sqrt(min(n, m)) log n)
// time at worst (linear times the recursion depth on ordinary text) and O(n + m) memory,
// without native recursion: on long texts about 20 bytes a character of both ranges, far
// more only where the automaton must take over on long repetitive ranges. Throws
// std::bad_alloc when the memory is not there, and Cancelled once `cancellation` (if given)
// is cancelled; nothing else. Every part of the work looks at the cancellation after a
// bounded amount of work.
int32_t FastMatchCount(std::span<const uint8_t> first, std::span<const uint8_t> second,
                       int32_t start1, int32_t end1, int32_t start2, int32_t end2,
                       const MatcherTuning& tuning = {}, MatcherStats* stats = nullptr,
                       const Cancellation* cancellation = nullptr);

// The blocks FastMatchCount counts (the same work; up to 12 bytes more a block), with 0-based
// starts in the whole texts, in the order of their starts in the first text, which is also
// their order in the second.
std::vector<MatchBlock> FastMatchBlocks(std::span<const uint8_t> first,
                                        std::span<const uint8_t> second, int32_t start1,
                                        int32_t end1, int32_t start2, int32_t end2,
                                        const MatcherTuning& tuning = {},
                                        MatcherStats* stats = nullptr,
                                        const Cancellation* cancellation = nullptr);

// Ids must be below this.
inline constexpr uint32_t kIdLimit = std::numeric_limits<int32_t>::max() - 2;

// The same for texts of ids, for elements of more kinds than a byte holds: equal elements
// have equal ids. Tables as long as the largest id are made, so ids should be numbered from 0
// up. Throws std::invalid_argument for an id of kIdLimit or more.
std::vector<MatchBlock> FastMatchBlocks(std::span<const uint32_t> first,
                                        std::span<const uint32_t> second, int32_t start1,
                                        int32_t end1, int32_t start2, int32_t end2,
                                        const MatcherTuning& tuning = {},
                                        MatcherStats* stats = nullptr,
                                        const Cancellation* cancellation = nullptr);

// The first of those blocks alone: the earliest longest block of the ranges (lowest start in
// the first text, then in the second), 0-based; length 0 where they have none in common.
MatchBlock FastLongestBlock(std::span<const uint8_t> first, std::span<const uint8_t> second,
                            int32_t start1, int32_t end1, int32_t start2, int32_t end2,
                            const MatcherTuning& tuning = {}, MatcherStats* stats = nullptr,
                            const Cancellation* cancellation = nullptr);
MatchBlock FastLongestBlock(std::span<const uint32_t> first, std::span<const uint32_t> second,
                            int32_t start1, int32_t end1, int32_t start2, int32_t end2,
                            const MatcherTuning& tuning = {}, MatcherStats* stats = nullptr,
                            const Cancellation* cancellation = nullptr);

}  // namespace scoring
