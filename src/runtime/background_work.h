// Computations on a thread of their own, one at a time, for a window that must keep answering
// while they run. The window's thread starts one, may wait a little for it, and takes its
// result (or what it threw) once it has ended; a computation never touches a window, and tells
// its owner that it has ended through a callback that only posts a message. Each computation
// gets a cancel flag of its own, made before it starts and kept until it has ended, so that a
// cancel always reaches the computation it was meant for. The thread is started with the first
// computation and kept for the next ones (under Wine, starting a thread takes about 5 ms);
// Stop, or the destructor, ends it, so no thread outlives its owner.
#pragma once

#include <cfenv>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "scoring/cancellation.h"

namespace runtime {

template <typename Result>
class BackgroundWork {
 public:
  BackgroundWork() = default;
  BackgroundWork(const BackgroundWork&) = delete;
  BackgroundWork& operator=(const BackgroundWork&) = delete;
  ~BackgroundWork() { Stop(); }

  // Runs `compute` on the work's thread with its own cancel flag, then `ended` there once its
  // outcome can be taken. Earlier work is cancelled and discarded first.
  void Start(std::function<Result(const scoring::Cancellation&)> compute,
             std::function<void()> ended) {
    Cancel();
    Discard();
    // Made only now that no computation looks at the previous one.
    cancellation_ = std::make_shared<scoring::Cancellation>();
    // The computation sees this thread's floating-point environment (x87 precision and
    // rounding are set per thread, and a new Windows thread starts with the system's), so that
    // a result comes out the same to the last bit wherever it is computed. MinGW's fesetenv
    // leaves SSE's rounding as it was: the rounding is passed on its own.
    Job job{std::move(compute), std::move(ended), cancellation_, {}, std::fegetround()};
    std::fegetenv(&job.environment);
    if (!thread_.joinable()) thread_ = std::thread([this] { Serve(); });  // may throw
    {
      const std::lock_guard lock(mutex_);
      job_ = std::move(job);
      state_ = State::kQueued;
    }
    changed_.notify_all();
  }

  // Stops started work at its next look at its flag (it then ends by throwing
  // scoring::Cancelled); nothing when there is none.
  void Cancel() noexcept {
    if (cancellation_) cancellation_->Cancel();
  }

  // Whether work was started and has been neither taken nor discarded.
  bool IsStarted() const {
    const std::lock_guard lock(mutex_);
    return state_ != State::kIdle;
  }

  // Waits up to `timeout` for started work to end; true once it has.
  bool WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (state_ == State::kIdle) return false;
    return changed_.wait_for(lock, timeout, [this] { return state_ == State::kEnded; });
  }

  // The result of started work, once it has ended (waiting for it until then); what the
  // computation threw is thrown here instead.
  Result Take() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return state_ == State::kEnded; });
    state_ = State::kIdle;
    std::optional<Result> result = std::exchange(result_, std::nullopt);
    if (const std::exception_ptr failure = std::exchange(failure_, nullptr)) {
      std::rethrow_exception(failure);
    }
    return std::move(*result);
  }

  // Waits for started work to end and drops its outcome.
  void Discard() noexcept {
    std::unique_lock lock(mutex_);
    if (state_ == State::kIdle) return;
    changed_.wait(lock, [this] { return state_ == State::kEnded; });
    state_ = State::kIdle;
    result_.reset();
    failure_ = nullptr;
  }

  // Waits for started work to end, drops its outcome and ends the thread.
  void Stop() noexcept {
    Discard();
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
    stopping_ = false;
  }

 private:
  enum class State { kIdle, kQueued, kRunning, kEnded };
  struct Job {
    std::function<Result(const scoring::Cancellation&)> compute;
    std::function<void()> ended;
    std::shared_ptr<const scoring::Cancellation> cancellation;  // the job's own, until it ends
    std::fenv_t environment;
    int rounding;
  };

  void Serve() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return stopping_ || state_ == State::kQueued; });
      if (stopping_) return;
      Job job = std::move(job_);
      state_ = State::kRunning;
      lock.unlock();
      std::fesetenv(&job.environment);
      std::fesetround(job.rounding);
      std::optional<Result> result;
      std::exception_ptr failure;
      try {
        result.emplace(job.compute(*job.cancellation));
      } catch (...) {
        failure = std::current_exception();
      }
      lock.lock();
      result_ = std::move(result);
      failure_ = std::move(failure);
      state_ = State::kEnded;
      changed_.notify_all();
      // Told outside the lock: the owner may be waiting for it meanwhile.
      lock.unlock();
      job.ended();
      lock.lock();
    }
  }

  std::shared_ptr<scoring::Cancellation> cancellation_;  // the latest work's; the owner's thread
  mutable std::mutex mutex_;                             // guards everything below but the thread
  std::condition_variable changed_;
  State state_ = State::kIdle;
  bool stopping_ = false;
  Job job_{};
  std::optional<Result> result_;
  std::exception_ptr failure_;
  std::thread thread_;
};

}  // namespace runtime
