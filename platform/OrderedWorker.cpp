#include "platform/OrderedWorker.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <utility>

namespace auralis::platform {

struct OrderedWorker::Shared {
  std::mutex mutex;
  std::condition_variable wake;     // the thread: a task, a due time, or the end
  std::condition_variable settled;  // waiters: nothing left to run, or the thread has ended
  std::deque<Task> ready;
  std::multimap<Clock::time_point, Task> delayed;
  bool busy = false;
  bool quit = false;
  bool finished = false;
  bool stopped = false;  // takes no more tasks

  bool idle() const { return ready.empty() && !busy; }

  void schedule(std::chrono::milliseconds delay, Task task) {
    std::lock_guard lock(mutex);
    if (stopped) return;
    delayed.emplace(Clock::now() + delay, std::move(task));
    wake.notify_one();
  }

  // Waits on settled until done() or the deadline; the latest deadline waits as long as it takes.
  template <class Done>
  bool settle(std::unique_lock<std::mutex>& lock, Clock::time_point deadline, Done done) {
    if (deadline == Clock::time_point::max()) {
      settled.wait(lock, done);
      return true;
    }
    return settled.wait_until(lock, deadline, done);
  }
};

OrderedWorker::OrderedWorker(Mode mode) : mode_(mode), shared_(std::make_shared<Shared>()) {
  if (mode_ == Mode::OwnThread) thread_ = std::thread([shared = shared_] { serve(shared); });
}

OrderedWorker::~OrderedWorker() {
  stop();
}

void OrderedWorker::run(Task task) {
  if (mode_ == Mode::AtOnce) {
    task();
    return;
  }
  std::lock_guard lock(shared_->mutex);
  if (shared_->stopped) return;
  shared_->ready.push_back(std::move(task));
  shared_->wake.notify_one();
}

void OrderedWorker::runAfter(std::chrono::milliseconds delay, Task task) {
  shared_->schedule(delay, std::move(task));
}

void OrderedWorker::retry(std::function<bool()> attempt, RetryDelays delays) {
  scheduleRetry(shared_, delays.first, std::move(attempt), delays);
}

// The attempt holds the shared state only weakly: dropping the delayed tasks frees it.
void OrderedWorker::scheduleRetry(const std::shared_ptr<Shared>& shared,
                                  std::chrono::milliseconds delay, std::function<bool()> attempt,
                                  RetryDelays delays) {
  std::weak_ptr<Shared> weak = shared;
  shared->schedule(delay, [weak, delay, attempt, delays] {
    if (attempt()) return;
    if (const auto held = weak.lock()) scheduleRetry(held, delays.after(delay), attempt, delays);
  });
}

void OrderedWorker::runDelayed() {
  std::multimap<Clock::time_point, Task> due;
  {
    std::lock_guard lock(shared_->mutex);
    due.swap(shared_->delayed);
    if (mode_ == Mode::OwnThread) {
      for (auto& [time, task] : due) shared_->ready.push_back(std::move(task));
      shared_->wake.notify_one();
      return;
    }
  }
  for (auto& [time, task] : due) task();
}

void OrderedWorker::dropDelayed() {
  std::multimap<Clock::time_point, Task> dropped;
  {
    std::lock_guard lock(shared_->mutex);
    dropped.swap(shared_->delayed);
  }
  // What the tasks held goes after the lock, since letting it go may call back into the worker.
}

bool OrderedWorker::waitUntilIdle(Clock::time_point deadline) {
  std::unique_lock lock(shared_->mutex);
  return shared_->settle(lock, deadline, [this] { return shared_->idle(); });
}

bool OrderedWorker::idle() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->idle();
}

bool OrderedWorker::stop(Clock::time_point deadline) {
  std::multimap<Clock::time_point, Task> delayed;
  std::unique_lock lock(shared_->mutex);
  // At once with the end of new tasks, so that a task that runs now cannot leave one behind.
  shared_->stopped = true;
  delayed.swap(shared_->delayed);
  lock.unlock();
  delayed.clear();
  lock.lock();
  if (mode_ == Mode::AtOnce || !thread_.joinable()) return true;
  shared_->quit = true;
  shared_->wake.notify_one();
  if (shared_->settle(lock, deadline, [this] { return shared_->finished; })) {
    lock.unlock();
    thread_.join();
    return true;
  }
  // A task that never returns: its thread keeps what it needs and ends once the task returns.
  std::deque<Task> dropped;
  dropped.swap(shared_->ready);
  lock.unlock();
  thread_.detach();
  return false;
}

void OrderedWorker::serve(const std::shared_ptr<Shared>& shared) {
  std::unique_lock lock(shared->mutex);
  for (;;) {
    const auto now = Clock::now();
    while (!shared->stopped && !shared->delayed.empty() && shared->delayed.begin()->first <= now) {
      shared->ready.push_back(std::move(shared->delayed.begin()->second));
      shared->delayed.erase(shared->delayed.begin());
    }
    if (!shared->ready.empty()) {
      Task task = std::move(shared->ready.front());
      shared->ready.pop_front();
      shared->busy = true;
      lock.unlock();
      task();
      task = nullptr;  // what the task held goes before the worker counts as idle
      lock.lock();
      shared->busy = false;
      if (shared->ready.empty()) shared->settled.notify_all();
      continue;
    }
    if (shared->quit) break;
    if (shared->delayed.empty()) {
      shared->wake.wait(lock);
      continue;
    }
    // A copy: the delayed tasks may be dropped while this thread waits.
    const Clock::time_point due = shared->delayed.begin()->first;
    shared->wake.wait_until(lock, due);
  }
  shared->finished = true;
  shared->settled.notify_all();
}

}  // namespace auralis::platform
