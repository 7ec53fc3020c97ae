// A computation on a thread of its own, as a window runs a long score: what it returns or
// throws comes back to the thread that started it, which can wait a little for it, and a
// cancel reaches the computation it was meant for.
#include <gtest/gtest.h>

#include <atomic>
#include <cfenv>
#include <chrono>
#include <new>
#include <thread>

#include "runtime/background_work.h"
#include "runtime/runtime_error.h"
#include "scoring/cancellation.h"

namespace {

using namespace std::chrono_literals;
using scoring::Cancellation;

TEST(BackgroundWork, HandsBackTheResultOrTheErrorOnceItHasEnded) {
  runtime::BackgroundWork<double> work;
  std::atomic<bool> go{false};
  std::atomic<int> endings{0};
  work.Start(
      [&](const Cancellation&) {
        while (!go) std::this_thread::yield();
        return 2.5;
      },
      [&] { ++endings; });
  EXPECT_TRUE(work.IsStarted());
  EXPECT_FALSE(work.WaitFor(20ms));
  EXPECT_EQ(endings, 0);
  go = true;
  EXPECT_TRUE(work.WaitFor(10s));
  EXPECT_EQ(work.Take(), 2.5);
  EXPECT_FALSE(work.IsStarted());
  EXPECT_FALSE(work.WaitFor(0ms)) << "nothing left to wait for";

  work.Start([](const Cancellation&) -> double { runtime::Raise(runtime::ErrorKind::kOverflow); },
             [] {});
  try {
    work.Take();
    FAIL() << "the error was lost";
  } catch (const runtime::RuntimeError& error) {
    EXPECT_EQ(error.Kind(), runtime::ErrorKind::kOverflow);
  }

  // Discarded work is waited for, however it ends; after a stop, a new thread takes the next.
  work.Start([](const Cancellation&) -> double { throw std::bad_alloc(); }, [&] { ++endings; });
  work.Discard();
  EXPECT_FALSE(work.IsStarted());
  work.Stop();
  EXPECT_EQ(endings, 2) << "each end told, once";
  work.Start([](const Cancellation&) { return 4.0; }, [] {});
  EXPECT_EQ(work.Take(), 4.0);
}

// A new thread starts in the system's default environment; a score must not depend on which
// thread computed it.
TEST(BackgroundWork, ComputesInItsOwnersFloatingPointEnvironment) {
  volatile double three = 3.0;
  const double nearest = 1.0 / three;
  ASSERT_EQ(std::fesetround(FE_UPWARD), 0);
  const double here = 1.0 / three;
  runtime::BackgroundWork<double> work;
  work.Start([&](const Cancellation&) { return 1.0 / three; }, [] {});
  const double there = work.Take();
  std::fesetround(FE_TONEAREST);
  EXPECT_NE(here, nearest);
  EXPECT_EQ(there, here);
}

// Work started while earlier work runs cancels that work through the earlier work's own flag,
// and gets a fresh one; Cancel reaches the work running now.
TEST(BackgroundWork, EachComputationIsCancelledThroughItsOwnFlag) {
  // Runs until its flag is set (or, should the cancel never come, for ten seconds); returns
  // whether it saw the cancel.
  const auto untilCancelled = [](std::atomic<bool>& started) {
    return [&started](const Cancellation& cancellation) {
      started = true;
      const auto giveUp = std::chrono::steady_clock::now() + 10s;
      while (!cancellation.IsCancelled() && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(1ms);
      }
      return cancellation.IsCancelled();
    };
  };
  runtime::BackgroundWork<bool> work;
  std::atomic<bool> firstStarted{false}, secondStarted{false};
  std::atomic<bool> firstCancelled{false};
  work.Start(
      [&](const Cancellation& cancellation) {
        firstCancelled = untilCancelled(firstStarted)(cancellation);
        return true;
      },
      [] {});
  while (!firstStarted) std::this_thread::yield();
  work.Start([](const Cancellation& cancellation) { return cancellation.IsCancelled(); }, [] {});
  EXPECT_TRUE(firstCancelled);
  EXPECT_FALSE(work.Take()) << "the new work was handed the cancelled flag";

  work.Start(untilCancelled(secondStarted), [] {});
  while (!secondStarted) std::this_thread::yield();
  work.Cancel();
  EXPECT_TRUE(work.Take());
}

}  // namespace
