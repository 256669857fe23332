#include "platform/DeviceWorker.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

namespace auralis::platform {

struct DeviceWorker::Shared {
  Shared(Mode runMode, PostReplyFn post) : mode(runMode), postReply(std::move(post)) {}

  const Mode mode;
  const PostReplyFn postReply;
  std::mutex mutex;
  std::condition_variable wake;     // the thread: a call, a due time, or the end
  std::condition_variable settled;  // waiters: nothing left to run, or the thread has ended
  std::deque<Task> ready;
  std::multimap<Clock::time_point, Task> delayed;
  bool busy = false;
  bool quit = false;
  bool finished = false;
  bool abandoned = false;  // no reply may reach the interface thread any more
};

DeviceWorker::DeviceWorker(Mode mode, PostReplyFn postReply)
    : mode_(mode), shared_(std::make_shared<Shared>(mode, std::move(postReply))) {
  if (mode_ == Mode::OwnThread) thread_ = std::thread([shared = shared_] { serve(shared); });
}

DeviceWorker::~DeviceWorker() {
  std::unique_lock lock(shared_->mutex);
  // Delayed calls are retries and timers: nobody waits for them any more.
  shared_->delayed.clear();
  if (mode_ == Mode::AtOnce) return;
  shared_->quit = true;
  shared_->wake.notify_one();
  const auto deadline = Clock::now() + kFinishWait;
  if (shared_->settled.wait_until(lock, deadline, [this] { return shared_->finished; })) {
    lock.unlock();
    thread_.join();
    return;
  }
  // A call that never returns: its thread keeps what it needs and ends once the call returns.
  shared_->abandoned = true;
  shared_->ready.clear();
  lock.unlock();
  thread_.detach();
}

void DeviceWorker::run(Task call) {
  if (mode_ == Mode::AtOnce) {
    call();
    return;
  }
  std::lock_guard lock(shared_->mutex);
  shared_->ready.push_back(std::move(call));
  shared_->wake.notify_one();
}

void DeviceWorker::runAfter(std::chrono::milliseconds delay, Task call) {
  std::lock_guard lock(shared_->mutex);
  shared_->delayed.emplace(Clock::now() + delay, std::move(call));
  shared_->wake.notify_one();
}

void DeviceWorker::runDelayedCalls() {
  std::multimap<Clock::time_point, Task> due;
  {
    std::lock_guard lock(shared_->mutex);
    due.swap(shared_->delayed);
    if (mode_ == Mode::OwnThread) {
      for (auto& [time, call] : due) shared_->ready.push_back(std::move(call));
      shared_->wake.notify_one();
      return;
    }
  }
  for (auto& [time, call] : due) call();
}

void DeviceWorker::retry(std::function<bool()> attempt, std::function<bool()> wanted, Task back) {
  retryAfter(kFirstRetryDelay, std::move(attempt), std::move(wanted), std::move(back));
}

void DeviceWorker::retryAfter(std::chrono::milliseconds delay, std::function<bool()> attempt,
                              std::function<bool()> wanted, Task back) {
  callAfter(delay, attempt, [this, delay, attempt, wanted, back](bool succeeded) {
    if (!wanted()) return;
    if (succeeded) {
      back();
      return;
    }
    retryAfter(std::min(2 * delay, kLongestRetryDelay), attempt, wanted, back);
  });
}

bool DeviceWorker::waitUntilIdle(Clock::time_point deadline) {
  std::unique_lock lock(shared_->mutex);
  return shared_->settled.wait_until(lock, deadline,
                                     [this] { return shared_->ready.empty() && !shared_->busy; });
}

bool DeviceWorker::idle() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->ready.empty() && !shared_->busy;
}

void DeviceWorker::respond(const std::shared_ptr<Shared>& shared, Task reply) {
  if (shared->mode == Mode::AtOnce) {
    reply();
    return;
  }
  // Under the lock, so that abandoning the worker and posting a reply never overlap.
  std::lock_guard lock(shared->mutex);
  if (!shared->abandoned && shared->postReply) shared->postReply(std::move(reply));
}

void DeviceWorker::serve(const std::shared_ptr<Shared>& shared) {
  std::unique_lock lock(shared->mutex);
  for (;;) {
    const auto now = Clock::now();
    while (!shared->delayed.empty() && shared->delayed.begin()->first <= now) {
      shared->ready.push_back(std::move(shared->delayed.begin()->second));
      shared->delayed.erase(shared->delayed.begin());
    }
    if (!shared->ready.empty()) {
      Task call = std::move(shared->ready.front());
      shared->ready.pop_front();
      shared->busy = true;
      lock.unlock();
      call();
      call = nullptr;  // what the call held goes before the worker counts as idle
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
    // A copy: the delayed calls may be dropped while this thread waits.
    const Clock::time_point due = shared->delayed.begin()->first;
    shared->wake.wait_until(lock, due);
  }
  shared->finished = true;
  shared->settled.notify_all();
}

}  // namespace auralis::platform
