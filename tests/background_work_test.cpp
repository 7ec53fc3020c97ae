// A computation on a thread of its own, as a window runs a long score: what it returns or
// throws comes back to the thread that started it, which can wait a little for it.
#include <gtest/gtest.h>

#include <atomic>
#include <cfenv>
#include <chrono>
#include <new>
#include <thread>

#include "runtime/background_work.h"
#include "runtime/runtime_error.h"

namespace {

using namespace std::chrono_literals;

TEST(BackgroundWork, HandsBackTheResultOrTheErrorOnceItHasEnded) {
  runtime::BackgroundWork<double> work;
  std::atomic<bool> go{false};
  std::atomic<int> endings{0};
  work.Start(
      [&] {
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

  work.Start([]() -> double { runtime::Raise(runtime::ErrorKind::kOverflow); }, [] {});
  try {
    work.Take();
    FAIL() << "the error was lost";
  } catch (const runtime::RuntimeError& error) {
    EXPECT_EQ(error.Kind(), runtime::ErrorKind::kOverflow);
  }

  // Discarded work is waited for, however it ends; after a stop, a new thread takes the next.
  work.Start([]() -> double { throw std::bad_alloc(); }, [&] { ++endings; });
  work.Discard();
  EXPECT_FALSE(work.IsStarted());
  work.Stop();
  EXPECT_EQ(endings, 2) << "each end told, once";
  work.Start([] { return 4.0; }, [] {});
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
  work.Start([&] { return 1.0 / three; }, [] {});
  const double there = work.Take();
  std::fesetround(FE_TONEAREST);
  EXPECT_NE(here, nearest);
  EXPECT_EQ(there, here);
}

}  // namespace
