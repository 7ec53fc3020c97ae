// The matched-character count of two code ranges (see Module1::CountMatches), computed two
// ways with identical results: the plain scan, quick for names but cubic on long texts, and
// a fast matcher for texts of any length that makes the very same block choices.
#pragma once

#include <cstdint>
#include <span>

namespace scoring {

// The plain scan. Ranges are 1-based and inclusive, as in CountMatches; any range that
// passes CountMatches' guard must lie inside its text (the caller checks). Recurses as deep
// as the number of blocks: meant for short texts.
int32_t PlainMatchCount(std::span<const uint8_t> first, std::span<const uint8_t> second,
                        int32_t start1, int32_t end1, int32_t start2, int32_t end2);

struct MatcherTuning {
  // Characters the suffix automaton may process before the suffix array of both texts is
  // built and the searches through it (blocks as long as the enclosing one; blocks within a
  // position's reach) are switched on. Negative: a multiple of the input size. Zero: from
  // the start, tried on every range they may apply to, without giving up.
  int64_t automaton_budget = -1;
  // Ranges with at most this many character pairs use the plain scan.
  int64_t plain_scan_pairs = 2048;
};

// What the fast matcher did, for tests and the benchmark.
struct MatcherStats {
  int64_t plain_scans = 0;
  int64_t automaton_calls = 0;
  int64_t automaton_characters = 0;
  bool shortcut_enabled = false;
  int64_t shortcut_hits = 0;
  int64_t shortcut_misses = 0;
  int64_t length_groupings = 0;
  int64_t reach_searches = 0;
  int64_t reach_searches_abandoned = 0;
};

// Same arguments and result as PlainMatchCount, in about O((n + m) sqrt(min(n, m)) log n)
// time at worst (linear times the recursion depth on ordinary text) and O(n + m) memory,
// without native recursion.
int32_t FastMatchCount(std::span<const uint8_t> first, std::span<const uint8_t> second,
                       int32_t start1, int32_t end1, int32_t start2, int32_t end2,
                       const MatcherTuning& tuning = {}, MatcherStats* stats = nullptr);

}  // namespace scoring
