// One computation on a thread of its own, for a window that must keep answering while it runs.
// The window's thread starts it, may wait a little for it, and takes its result (or what it
// threw) once it has ended; the computation never touches a window, and tells its owner that it
// has ended through a callback that only posts a message. The owner stops it through whatever
// cancel flag the computation watches; the destructor waits for it, so no thread outlives its
// owner.
#pragma once

#include <cfenv>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace runtime {

template <typename Result>
class BackgroundWork {
 public:
  BackgroundWork() = default;
  BackgroundWork(const BackgroundWork&) = delete;
  BackgroundWork& operator=(const BackgroundWork&) = delete;
  ~BackgroundWork() { Discard(); }

  // Runs `compute` on a new thread, then `ended` on that thread once its outcome can be taken.
  // Earlier work is discarded first.
  void Start(std::function<Result()> compute, std::function<void()> ended) {
    Discard();
    // The computation sees this thread's floating-point environment (x87 precision and
    // rounding are set per thread, and a new Windows thread starts with the system's), so that
    // a result comes out the same to the last bit wherever it is computed. MinGW's fesetenv
    // leaves SSE's rounding as it was: the rounding is set again on its own.
    std::fenv_t environment;
    std::fegetenv(&environment);
    const int rounding = std::fegetround();
    thread_ = std::thread(
        [this, environment, rounding, compute = std::move(compute), ended = std::move(ended)] {
          std::fesetenv(&environment);
          std::fesetround(rounding);
          std::optional<Result> result;
          std::exception_ptr failure;
          try {
            result.emplace(compute());
          } catch (...) {
            failure = std::current_exception();
          }
          {
            const std::lock_guard lock(mutex_);
            result_ = std::move(result);
            failure_ = std::move(failure);
            ended_ = true;
          }
          endedSignal_.notify_all();
          ended();
        });
  }

  // Whether work was started and has been neither taken nor discarded.
  bool IsStarted() const { return thread_.joinable(); }

  // Waits up to `timeout` for started work to end; true once it has.
  bool WaitFor(std::chrono::milliseconds timeout) {
    if (!IsStarted()) return false;
    std::unique_lock lock(mutex_);
    return endedSignal_.wait_for(lock, timeout, [this] { return ended_; });
  }

  // The result, once the work has ended (waiting for it until then); what the computation threw
  // is thrown here instead.
  Result Take() {
    thread_.join();
    ended_ = false;
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
    Result result = std::move(*result_);
    result_.reset();
    return result;
  }

  // Waits for started work to end and drops its outcome.
  void Discard() noexcept {
    if (!IsStarted()) return;
    thread_.join();
    ended_ = false;
    result_.reset();
    failure_ = nullptr;
  }

 private:
  std::thread thread_;
  std::mutex mutex_;  // guards the outcome while the thread runs; joining ends the need
  std::condition_variable endedSignal_;
  bool ended_ = false;
  std::optional<Result> result_;
  std::exception_ptr failure_;
};

}  // namespace runtime
