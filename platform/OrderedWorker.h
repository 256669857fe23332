#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace auralis::platform {

// Waits between attempts that double from the first up to the longest.
struct RetryDelays {
  std::chrono::milliseconds first;
  std::chrono::milliseconds longest;

  std::chrono::milliseconds after(std::chrono::milliseconds previous) const {
    return std::min(2 * previous, longest);
  }
};

// Runs tasks one at a time, in the order given, on a thread of its own, so that a task that
// blocks holds up only the later tasks, never the caller. Tasks may also be given a delay: they
// join the queue once due, and later tasks without a delay do not wait for them.
//
// In the AtOnce mode there is no thread: each task runs at once on the caller's thread, and
// delayed tasks wait until runDelayed(), for work that never blocks and for tests.
class OrderedWorker {
 public:
  using Task = std::function<void()>;
  using Clock = std::chrono::steady_clock;

  enum class Mode {
    OwnThread,  // a thread of the worker's own
    AtOnce,     // the caller's thread, at once
  };

  explicit OrderedWorker(Mode mode = Mode::OwnThread);
  // Stops, waiting as long as the queued tasks take.
  ~OrderedWorker();
  OrderedWorker(const OrderedWorker&) = delete;
  OrderedWorker& operator=(const OrderedWorker&) = delete;

  void run(Task task);
  void runAfter(std::chrono::milliseconds delay, Task task);

  // Runs attempt after delays.first, then again after ever longer delays while it returns false.
  void retry(std::function<bool()> attempt, RetryDelays delays);

  // Makes every delayed task given so far due now, in the order of their due times.
  void runDelayed();
  // Forgets the delayed tasks that are not due yet.
  void dropDelayed();

  // True once every task given so far, except delayed ones not yet due, has returned; false
  // when that has not happened by the deadline.
  bool waitUntilIdle(Clock::time_point deadline = Clock::time_point::max());
  bool idle() const;

  // Drops the delayed tasks, lets the queued ones run and ends the thread. False when they have
  // not all returned by the deadline: the queued ones that have not started are dropped, and the
  // thread is left to end on its own once its task returns, if ever. Tasks given afterwards are
  // dropped.
  bool stop(Clock::time_point deadline = Clock::time_point::max());

  Mode mode() const { return mode_; }

 private:
  struct Shared;

  static void scheduleRetry(const std::shared_ptr<Shared>& shared, std::chrono::milliseconds delay,
                            std::function<bool()> attempt, RetryDelays delays);
  static void serve(const std::shared_ptr<Shared>& shared);

  Mode mode_;
  // The thread holds the shared state, not the worker: an abandoned task may return after the
  // worker has gone.
  std::shared_ptr<Shared> shared_;
  std::thread thread_;
};

}  // namespace auralis::platform
