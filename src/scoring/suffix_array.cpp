#include "scoring/suffix_array.h"

#include <algorithm>
#include <vector>

namespace scoring {
namespace {

// Start (or one past the end) of each symbol's bucket in the suffix array.
void FindBuckets(const int32_t* text, int32_t size, int32_t alphabet, std::vector<int32_t>& bucket,
                 bool ends) {
  bucket.assign(static_cast<std::size_t>(alphabet), 0);
  for (int32_t i = 0; i < size; ++i) ++bucket[static_cast<std::size_t>(text[i])];
  int32_t sum = 0;
  for (int32_t& entry : bucket) {
    const int32_t count = entry;
    sum += count;
    entry = ends ? sum : sum - count;
  }
}

void InduceLarger(const int32_t* text, int32_t* order, int32_t size, int32_t alphabet,
                  const std::vector<uint8_t>& smaller, std::vector<int32_t>& bucket) {
  FindBuckets(text, size, alphabet, bucket, false);
  for (int32_t i = 0; i < size; ++i) {
    const int32_t j = order[i] - 1;
    if (order[i] > 0 && !smaller[static_cast<std::size_t>(j)]) order[bucket[text[j]]++] = j;
  }
}

void InduceSmaller(const int32_t* text, int32_t* order, int32_t size, int32_t alphabet,
                   const std::vector<uint8_t>& smaller, std::vector<int32_t>& bucket) {
  FindBuckets(text, size, alphabet, bucket, true);
  for (int32_t i = size - 1; i >= 0; --i) {
    const int32_t j = order[i] - 1;
    if (order[i] > 0 && smaller[static_cast<std::size_t>(j)]) order[--bucket[text[j]]] = j;
  }
}

// Induced sorting: sort the leftmost-smaller ("LMS") substrings, name them, sort their
// suffixes recursively when names repeat, and induce every other suffix from them.
// Recursion depth is logarithmic: each level at most halves the text.
void SortSuffixes(const int32_t* text, int32_t* order, int32_t size, int32_t alphabet) {
  if (size == 1) {
    order[0] = 0;
    return;
  }
  // smaller[i]: suffix i is smaller than suffix i + 1.
  std::vector<uint8_t> smaller(static_cast<std::size_t>(size));
  smaller[static_cast<std::size_t>(size) - 1] = 1;
  for (int32_t i = size - 2; i >= 0; --i) {
    smaller[static_cast<std::size_t>(i)] =
        text[i] < text[i + 1] ||
        (text[i] == text[i + 1] && smaller[static_cast<std::size_t>(i) + 1]);
  }
  const auto leftmost = [&](int32_t i) {
    return i > 0 && smaller[static_cast<std::size_t>(i)] &&
           !smaller[static_cast<std::size_t>(i) - 1];
  };

  std::vector<int32_t> bucket;
  FindBuckets(text, size, alphabet, bucket, true);
  std::fill(order, order + size, -1);
  for (int32_t i = 1; i < size; ++i) {
    if (leftmost(i)) order[--bucket[text[i]]] = i;
  }
  InduceLarger(text, order, size, alphabet, smaller, bucket);
  InduceSmaller(text, order, size, alphabet, smaller, bucket);

  // The LMS substrings, now in sorted order, to the front; then their names.
  int32_t count = 0;
  for (int32_t i = 0; i < size; ++i) {
    if (leftmost(order[i])) order[count++] = order[i];
  }
  std::fill(order + count, order + size, -1);
  int32_t names = 0;
  int32_t previous = -1;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t position = order[i];
    bool differs = false;
    for (int32_t d = 0;; ++d) {
      if (previous == -1 || text[position + d] != text[previous + d] ||
          smaller[static_cast<std::size_t>(position + d)] !=
              smaller[static_cast<std::size_t>(previous + d)]) {
        differs = true;
        break;
      }
      if (d > 0 && (leftmost(position + d) || leftmost(previous + d))) break;
    }
    if (differs) ++names, previous = position;
    order[count + position / 2] = names - 1;  // LMS positions are at least 2 apart
  }
  for (int32_t i = size - 1, j = size - 1; i >= count; --i) {
    if (order[i] >= 0) order[j--] = order[i];
  }

  int32_t* reduced = order + size - count;
  if (names < count) {
    SortSuffixes(reduced, order, count, names);
  } else {
    for (int32_t i = 0; i < count; ++i) order[reduced[i]] = i;
  }

  // Place the LMS suffixes in their final order at their buckets' ends, then induce.
  for (int32_t i = 1, j = 0; i < size; ++i) {
    if (leftmost(i)) reduced[j++] = i;
  }
  for (int32_t i = 0; i < count; ++i) order[i] = reduced[order[i]];
  std::fill(order + count, order + size, -1);
  FindBuckets(text, size, alphabet, bucket, true);
  for (int32_t i = count - 1; i >= 0; --i) {
    const int32_t j = order[i];
    order[i] = -1;
    order[--bucket[text[j]]] = j;
  }
  InduceLarger(text, order, size, alphabet, smaller, bucket);
  InduceSmaller(text, order, size, alphabet, smaller, bucket);
}

}  // namespace

void BuildSuffixArray(std::span<const int32_t> text, int32_t alphabet, std::span<int32_t> order) {
  if (text.empty()) return;
  SortSuffixes(text.data(), order.data(), static_cast<int32_t>(text.size()), alphabet);
}

void BuildCommonPrefixes(std::span<const int32_t> text, std::span<const int32_t> order,
                         std::span<int32_t> scratch, std::span<int32_t> prefix) {
  const std::size_t size = text.size();
  std::span<int32_t> rank = scratch;
  for (std::size_t r = 0; r < size; ++r)
    rank[static_cast<std::size_t>(order[r])] = static_cast<int32_t>(r);
  // Kasai et al.: the common prefix drops by at most one from one text position to the next.
  // The unique final 0 stops every comparison inside the text.
  std::size_t common = 0;
  for (std::size_t i = 0; i < size; ++i) {
    const auto r = static_cast<std::size_t>(rank[i]);
    if (r == 0) {
      prefix[0] = 0;
      common = 0;
      continue;
    }
    const auto j = static_cast<std::size_t>(order[r - 1]);
    while (text[i + common] == text[j + common]) ++common;
    prefix[r] = static_cast<int32_t>(common);
    if (common > 0) --common;
  }
}

}  // namespace scoring
