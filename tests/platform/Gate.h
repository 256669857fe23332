#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace auralis::platform::testing {

// Holds a device call until the test lets it go, as a device that stalls does.
class Gate {
 public:
  // On the device's thread: waits here until open() is called.
  void pass() {
    std::unique_lock lock(mutex_);
    entered_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return open_; });
  }
  void open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  // False when no call reached the gate within the wait.
  bool waitUntilEntered(std::chrono::milliseconds wait = std::chrono::seconds(5)) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, wait, [this] { return entered_; });
  }
  bool entered() {
    std::lock_guard lock(mutex_);
    return entered_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool entered_ = false;
  bool open_ = false;
};

}  // namespace auralis::platform::testing
