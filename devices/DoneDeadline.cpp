#include "devices/DoneDeadline.h"

#include <utility>

namespace auralis::platform {

DoneDeadline::DoneDeadline(FireFn fire) : fire_(std::move(fire)), thread_([this] { run(); }) {}

DoneDeadline::~DoneDeadline() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void DoneDeadline::arm(std::uint64_t serial, MidiStreamHeader* header,
                       std::chrono::steady_clock::time_point deadline) {
  {
    std::lock_guard lock(mutex_);
    serial_ = serial;
    header_ = header;
    deadline_ = deadline;
  }
  wake_.notify_all();
}

void DoneDeadline::disarm() {
  std::unique_lock lock(mutex_);
  serial_ = 0;
  if (std::this_thread::get_id() != thread_.get_id()) wake_.wait(lock, [this] { return !firing_; });
}

void DoneDeadline::run() {
  std::unique_lock lock(mutex_);
  while (!quit_) {
    if (serial_ == 0) {
      wake_.wait(lock);
      continue;
    }
    if (wake_.wait_until(lock, deadline_) == std::cv_status::timeout && serial_ != 0 &&
        std::chrono::steady_clock::now() >= deadline_) {
      const std::uint64_t serial = std::exchange(serial_, 0);
      MidiStreamHeader* header = header_;
      firing_ = true;
      lock.unlock();
      fire_(serial, header);
      lock.lock();
      firing_ = false;
      wake_.notify_all();
    }
  }
}

}  // namespace auralis::platform
