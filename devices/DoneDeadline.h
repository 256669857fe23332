#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/MidiOutStream.h"

namespace auralis::platform {

// Gives a phrase's done notice at a deadline unless disarmed first: the last resort against a
// notice that an audio thread can no longer give. The notice runs on the deadline's own thread.
class DoneDeadline {
 public:
  using FireFn = std::function<void(std::uint64_t serial, MidiStreamHeader* header)>;

  explicit DoneDeadline(FireFn fire);
  ~DoneDeadline();
  DoneDeadline(const DoneDeadline&) = delete;
  DoneDeadline& operator=(const DoneDeadline&) = delete;

  // Replaces any deadline armed before; serial 0 is none.
  void arm(std::uint64_t serial, MidiStreamHeader* header,
           std::chrono::steady_clock::time_point deadline);
  // Returns once a notice that was already under way has been given, so that the notice's
  // target may go away afterwards; the notice itself may disarm without waiting.
  void disarm();

 private:
  void run();

  FireFn fire_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::uint64_t serial_ = 0;  // 0: disarmed
  MidiStreamHeader* header_ = nullptr;
  std::chrono::steady_clock::time_point deadline_;
  bool firing_ = false;
  bool quit_ = false;
  std::thread thread_;
};

}  // namespace auralis::platform
