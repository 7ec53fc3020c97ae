// Stopping a long score from another thread. The thread that owns the work (the window's)
// sets a Cancellation; the thread computing the score looks at it after every so many units
// of work, counted as it goes (never by the clock), and ends by throwing Cancelled. A unit is
// about one step over one character, so a cancel takes effect within a bounded amount of work
// whatever the input: a few milliseconds here.
#pragma once

#include <atomic>
#include <concepts>
#include <cstdint>
#include <exception>
#include <functional>
#include <limits>
#include <type_traits>

namespace scoring {

// How a cancelled score ends. Deliberately not a runtime error: a cancel is the user's own
// wish, and nothing is reported for it.
class Cancelled : public std::exception {
 public:
  const char* what() const noexcept override { return "cancelled"; }
};

// What the work was doing when it looked at the flag, for tests and benchmarks.
enum class WorkStage {
  kUpperCase,  // upper-casing and comparing the whole texts
  kCodes,      // filling the code arrays, a character at a time through the text services
  kIndex,      // the suffix array of both texts, and what the searches through it need
  kAutomaton,  // building or scanning a suffix automaton
  kSearch,     // searching for a block: through the index, a grouping or a table
  kRanges,     // taking the next pair of ranges of the recursion
  kPlainScan,  // the plain scan of a pair of ranges
};

class Cancellation {
 public:
  using Observer = std::function<void(WorkStage)>;

  Cancellation() = default;
  // Tests and benchmarks watch the work with `observer`: called on the computing thread each
  // time it is about to look at the flag.
  explicit Cancellation(Observer observer) : observer_(std::move(observer)) {}
  Cancellation(const Cancellation&) = delete;
  Cancellation& operator=(const Cancellation&) = delete;

  // From any thread; the work stops at its next look.
  void Cancel() noexcept { cancelled_.store(true, std::memory_order_relaxed); }
  bool IsCancelled() const noexcept { return cancelled_.load(std::memory_order_relaxed); }

  // Throws Cancelled once Cancel has been called.
  void Check(WorkStage stage) const {
    if (observer_) observer_(stage);
    if (IsCancelled()) throw Cancelled();
  }

 private:
  std::atomic<bool> cancelled_{false};
  Observer observer_;
};

// When one computation looks at its Cancellation (none: never): once its count of work done
// comes to the interval. It looks at the first unit, so that even a short computation started
// after the cancel stops. Loops run in pieces of at most the interval, each counted as it
// ends, which costs the loop itself nothing; a loop that cannot be cut so can look each time
// a count of its steps comes to the end of an interval. Used on the computing thread only.
class CancelCheck {
 public:
  // Units of work, or steps of a loop, between two looks: 65,536 steps take a millisecond or
  // two, even when each misses the cache.
  static constexpr int64_t kInterval = int64_t{1} << 16;

  CancelCheck() = default;
  explicit CancelCheck(const Cancellation* cancellation) noexcept
      : cancellation_(cancellation), left_(cancellation ? 0 : kNever) {}
  CancelCheck(const CancelCheck&) = delete;
  CancelCheck& operator=(const CancelCheck&) = delete;

  // `units` more of work done; looks at the flag once they add up to the interval.
  void Add(int64_t units, WorkStage stage) {
    left_ -= units;
    if (left_ <= 0) [[unlikely]]
      Look(stage);
  }

  // for (i = begin; i < end; ++i) step(i), in pieces.
  template <std::integral Index, typename Step>
  void ForEach(Index begin, std::type_identity_t<Index> end, WorkStage stage, Step step) {
    while (begin < end) {
      const Index from = begin;
      for (const Index stop = PieceEnd(begin, end); begin < stop; ++begin) step(begin);
      Add(static_cast<int64_t>(begin - from), stage);
    }
  }

  // The same while step(i) returns true; false when a step ended it.
  template <std::integral Index, typename Step>
  bool ForEachWhile(Index begin, std::type_identity_t<Index> end, WorkStage stage, Step step) {
    while (begin < end) {
      const Index from = begin;
      for (const Index stop = PieceEnd(begin, end); begin < stop; ++begin) {
        if (!step(begin)) {
          Add(static_cast<int64_t>(begin - from) + 1, stage);
          return false;
        }
      }
      Add(static_cast<int64_t>(begin - from), stage);
    }
    return true;
  }

  // for (i = first; i >= last; --i) step(i), in pieces.
  template <std::signed_integral Index, typename Step>
  void ForEachDown(Index first, std::type_identity_t<Index> last, WorkStage stage, Step step) {
    while (first >= last) {
      const Index from = first;
      const Index stop =
          first - last >= kInterval ? static_cast<Index>(first - kInterval) : last - 1;
      for (; first > stop; --first) step(first);
      Add(static_cast<int64_t>(from - first), stage);
    }
  }

  // The end of the piece of a loop from `from` to `end` that runs before its next look.
  template <std::integral Index>
  static Index PieceEnd(Index from, Index end) {
    return static_cast<uint64_t>(end - from) > static_cast<uint64_t>(kInterval)
               ? static_cast<Index>(from + kInterval)
               : end;
  }

  // For a loop with a count of its steps: looks each time it comes to the end of an interval.
  template <std::integral Step>
  void Every(Step step, WorkStage stage) {
    if ((static_cast<uint64_t>(step) & (kInterval - 1)) == kInterval - 1) [[unlikely]]
      Look(stage);
  }

  // Looks now.
  [[gnu::cold, gnu::noinline]] void Look(WorkStage stage) {
    if (!cancellation_) {
      left_ = kNever;
      return;
    }
    left_ = kInterval;
    cancellation_->Check(stage);
  }

 private:
  static constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

  const Cancellation* cancellation_ = nullptr;
  int64_t left_ = kNever;
};

}  // namespace scoring
