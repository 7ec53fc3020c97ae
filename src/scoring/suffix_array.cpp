#include "scoring/suffix_array.h"

#include <algorithm>
#include <new>

#include "scoring/buffer.h"

namespace scoring {
namespace {

// The sorting passes read the text at positions taken from the array, one cache miss each
// on long texts; asking for them a little ahead keeps several misses in flight. A shorter text
// and its array stay in cache, where asking ahead only costs instructions.
constexpr int32_t kAhead = 16;
constexpr int32_t kAskAheadFrom = 1 << 17;

// Every pass runs in pieces, with a look for a cancel between them.
constexpr WorkStage kStage = WorkStage::kIndex;

inline void Prefetch([[maybe_unused]] const void* address) {
#if defined(__GNUC__)
  __builtin_prefetch(address);
#endif
}

// Start (or one past the end) of each symbol's bucket in the suffix array, from the counts.
void FindBuckets(const Buffer<int32_t>& counts, Buffer<int32_t>& bucket, bool ends,
                 CancelCheck& check) {
  int32_t sum = 0;
  check.ForEach(std::size_t{0}, counts.size(), kStage, [&](std::size_t c) {
    sum += counts[c];
    bucket[c] = ends ? sum : sum - counts[c];
  });
}

// Left to right, each suffix in the array puts the one before it at the head of its
// bucket, when that one is larger than its successor (L-type). Only larger suffixes and the
// leftmost-smaller ones seeded at the buckets' ends are in the array at this point, and the
// one before either is larger exactly when its symbol is at least its successor's: so the
// types come from the text, read where the symbol is read anyway.
template <bool kAskAhead, typename Symbol>
void InduceLarger(const Symbol* text, int32_t* order, int32_t size, const Buffer<int32_t>& counts,
                  Buffer<int32_t>& bucket, CancelCheck& check) {
  FindBuckets(counts, bucket, false, check);
  check.ForEach(int32_t{0}, size, kStage, [&](int32_t i) {
    if (kAskAhead && i + kAhead < size && order[i + kAhead] > 0) {
      Prefetch(text + order[i + kAhead] - 1);
    }
    const int32_t s = order[i];
    if (s <= 0) return;
    const Symbol c = text[s - 1];
    if (c >= text[s]) order[bucket[static_cast<std::size_t>(c)]++] = s - 1;
  });
}

// Right to left, each suffix puts the one before it at the end of its bucket when that one
// is smaller than its successor (S-type). The smaller suffixes of a bucket fill it from its
// end, each before the scan reaches it, and the larger ones stand before them: so an entry
// is smaller exactly when it stands at or past its bucket's current end, or is the final
// symbol's (seeded, never induced). With `mark`, the
// leftmost-smaller suffixes (smaller, after a larger one) are marked as ~position where they
// stand.
template <bool kAskAhead, typename Symbol>
void InduceSmaller(const Symbol* text, int32_t* order, int32_t size, const Buffer<int32_t>& counts,
                   Buffer<int32_t>& bucket, bool mark, CancelCheck& check) {
  FindBuckets(counts, bucket, true, check);
  check.ForEachDown(size - 1, 0, kStage, [&](int32_t i) {
    if (kAskAhead && i >= kAhead && order[i - kAhead] > 0) Prefetch(text + order[i - kAhead] - 1);
    const int32_t s = order[i];
    if (s <= 0) return;
    const Symbol c = text[s - 1];
    const Symbol next = text[s];
    const bool smaller = i >= bucket[static_cast<std::size_t>(next)] || s == size - 1;
    if (c < next || (c == next && smaller)) {
      order[--bucket[static_cast<std::size_t>(c)]] = s - 1;
    } else if (mark && smaller) {
      order[i] = ~s;
    }
  });
}

// Both passes; true marks the leftmost-smaller suffixes as InduceSmaller does.
template <typename Symbol>
void Induce(const Symbol* text, int32_t* order, int32_t size, const Buffer<int32_t>& counts,
            Buffer<int32_t>& bucket, bool mark, CancelCheck& check) {
  if (size >= kAskAheadFrom) {
    InduceLarger<true>(text, order, size, counts, bucket, check);
    InduceSmaller<true>(text, order, size, counts, bucket, mark, check);
  } else {
    InduceLarger<false>(text, order, size, counts, bucket, check);
    InduceSmaller<false>(text, order, size, counts, bucket, mark, check);
  }
}

// Induced sorting: sort the leftmost-smaller ("LMS") substrings, name them, sort their
// suffixes recursively when names repeat, and induce every other suffix from them.
// Recursion depth is logarithmic: each level at most halves the text, and the reduced text
// lives in the unused half of `order`.
template <typename Symbol>
void SortSuffixes(const Symbol* text, int32_t* order, int32_t size, int32_t alphabet,
                  CancelCheck& check) {
  if (size <= 1) {  // 0 never comes, but the compiler cannot tell
    if (size == 1) order[0] = 0;
    return;
  }
  const bool askAhead = size >= kAskAheadFrom;
  // smaller[i]: suffix i is smaller than suffix i + 1.
  Buffer<uint8_t> smaller;
  ResizeOrThrow(smaller, static_cast<uint64_t>(size));
  smaller[static_cast<std::size_t>(size) - 1] = 1;
  check.ForEachDown(size - 2, 0, kStage, [&](int32_t i) {
    smaller[static_cast<std::size_t>(i)] =
        text[i] < text[i + 1] ||
        (text[i] == text[i + 1] && smaller[static_cast<std::size_t>(i) + 1]);
  });
  const auto leftmost = [&](int32_t i) {
    return i > 0 && smaller[static_cast<std::size_t>(i)] &&
           !smaller[static_cast<std::size_t>(i) - 1];
  };

  // The alphabet of a reduced text is its number of names: up to half its length.
  Buffer<int32_t> counts;
  ResizeOrThrow(counts, static_cast<uint64_t>(alphabet));
  FillInPieces(counts.begin(), counts.end(), 0, check, kStage);
  check.ForEach(int32_t{0}, size, kStage,
                [&](int32_t i) { ++counts[static_cast<std::size_t>(text[i])]; });
  Buffer<int32_t> bucket;
  ResizeOrThrow(bucket, static_cast<uint64_t>(alphabet));
  FindBuckets(counts, bucket, true, check);
  FillInPieces(order, order + size, -1, check, kStage);
  check.ForEach(int32_t{1}, size, kStage, [&](int32_t i) {
    if (leftmost(i)) order[--bucket[static_cast<std::size_t>(text[i])]] = i;
  });
  Induce(text, order, size, counts, bucket, true, check);

  // The LMS substrings, now in sorted order, to the front; then their names.
  int32_t count = 0;
  check.ForEach(int32_t{0}, size, kStage, [&](int32_t i) {
    if (order[i] < -1) order[count++] = ~order[i];
  });
  FillInPieces(order + count, order + size, -1, check, kStage);
  int32_t names = 0;
  int32_t previous = -1;
  for (int32_t i = 0; i < count; ++i) {
    if (askAhead && i + kAhead < count) {
      Prefetch(text + order[i + kAhead]);
      Prefetch(smaller.data() + order[i + kAhead]);
    }
    const int32_t position = order[i];
    bool differs = false;
    int32_t d = 0;
    for (;; ++d) {
      check.Every(d, kStage);  // one comparison as long as the text
      if (previous == -1 || text[position + d] != text[previous + d] ||
          smaller[static_cast<std::size_t>(position + d)] !=
              smaller[static_cast<std::size_t>(previous + d)]) {
        differs = true;
        break;
      }
      if (d > 0 && (leftmost(position + d) || leftmost(previous + d))) break;
    }
    check.Add(1 + d, kStage);  // many as long as a run of the text
    if (differs) ++names, previous = position;
    order[count + position / 2] = names - 1;  // LMS positions are at least 2 apart
  }
  int32_t j = size - 1;
  check.ForEachDown(size - 1, count, kStage, [&](int32_t i) {
    if (order[i] >= 0) order[j--] = order[i];
  });

  int32_t* reduced = order + size - count;
  if (names < count) {
    SortSuffixes<int32_t>(reduced, order, count, names, check);
  } else {
    check.ForEach(int32_t{0}, count, kStage, [&](int32_t i) { order[reduced[i]] = i; });
  }

  // Place the LMS suffixes in their final order at their buckets' ends, then induce.
  j = 0;
  check.ForEach(int32_t{1}, size, kStage, [&](int32_t i) {
    if (leftmost(i)) reduced[j++] = i;
  });
  check.ForEach(int32_t{0}, count, kStage, [&](int32_t i) {
    if (askAhead && i + kAhead < count) Prefetch(reduced + order[i + kAhead]);
    order[i] = reduced[order[i]];
  });
  FillInPieces(order + count, order + size, -1, check, kStage);
  FindBuckets(counts, bucket, true, check);
  check.ForEachDown(count - 1, 0, kStage, [&](int32_t i) {
    if (askAhead && i >= kAhead) Prefetch(text + order[i - kAhead]);
    const int32_t suffix = order[i];
    order[i] = -1;
    order[--bucket[static_cast<std::size_t>(text[suffix])]] = suffix;
  });
  Induce(text, order, size, counts, bucket, false, check);
}

// prefix[r] from the order, through each suffix's predecessor in the order taken in text
// order (Kärkkäinen, Manzini and Puglisi): a common prefix drops by at most one from one text
// position to the next, so the comparisons are linear in all. The unique final 0 stops
// every comparison inside the text.
template <bool kAskAhead, typename Symbol>
Buffer<int32_t> CommonPrefixes(std::span<const Symbol> text, std::span<const int32_t> order,
                               CancelCheck& check) {
  const auto size = static_cast<int32_t>(text.size());
  // before[p]: the suffix just before p in the order (-1 for the first); then, in place,
  // p's common prefix with it.
  Buffer<int32_t> before;
  ResizeForScatter(before, text.size(), check, kStage);
  before[static_cast<std::size_t>(order[0])] = -1;
  check.ForEach(int32_t{1}, size, kStage,
                [&](int32_t r) { before[static_cast<std::size_t>(order[r])] = order[r - 1]; });
  int32_t common = 0;
  check.ForEach(int32_t{0}, size, kStage, [&](int32_t p) {
    if (kAskAhead && p + kAhead < size && before[static_cast<std::size_t>(p + kAhead)] >= 0) {
      Prefetch(text.data() + before[static_cast<std::size_t>(p + kAhead)]);
    }
    const int32_t q = before[static_cast<std::size_t>(p)];
    if (q < 0) {
      before[static_cast<std::size_t>(p)] = 0;
      common = 0;
      return;
    }
    // Linear in all, but one comparison can be as long as the text.
    while (text[static_cast<std::size_t>(p + common)] ==
           text[static_cast<std::size_t>(q + common)]) {
      ++common;
      check.Every(common, kStage);
    }
    before[static_cast<std::size_t>(p)] = common;
    if (common > 0) --common;
  });
  Buffer<int32_t> prefix;
  ResizeOrThrow(prefix, text.size());
  check.ForEach(int32_t{0}, size, kStage, [&](int32_t r) {
    if (kAskAhead && r + kAhead < size) Prefetch(before.data() + order[r + kAhead]);
    prefix[static_cast<std::size_t>(r)] = before[static_cast<std::size_t>(order[r])];
  });
  return prefix;
}

template <typename Symbol>
SuffixArray Build(std::span<const Symbol> text, int32_t alphabet, CancelCheck& check) {
  SuffixArray result;
  if (text.empty()) return result;
  ResizeOrThrow(result.order, text.size());
  SortSuffixes(text.data(), result.order.data(), static_cast<int32_t>(text.size()), alphabet,
               check);
  const std::span<const int32_t> order(result.order);
  result.prefix = text.size() >= kAskAheadFrom ? CommonPrefixes<true>(text, order, check)
                                               : CommonPrefixes<false>(text, order, check);
  return result;
}

}  // namespace

SuffixArray BuildSuffixArray(std::span<const uint8_t> text, int32_t alphabet, CancelCheck& check) {
  return Build(text, alphabet, check);
}

SuffixArray BuildSuffixArray(std::span<const uint16_t> text, int32_t alphabet, CancelCheck& check) {
  return Build(text, alphabet, check);
}

SuffixArray BuildSuffixArray(std::span<const int32_t> text, int32_t alphabet, CancelCheck& check) {
  return Build(text, alphabet, check);
}

}  // namespace scoring
