#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <vector>

#include "platform/SoundInput.h"

namespace auralis::bench {

// A sound input device, watched: every filled buffer is timestamped as the device hands it
// over, on the device's thread, before the program's data notice; and once armed, the first
// buffer holding a sound after silence tells where in it the sound began.
class WatchedSoundInput final : public platform::SoundInput {
 public:
  using Clock = std::chrono::steady_clock;
  struct Delivery {
    Clock::time_point time;
    int firstSound = -1;  // index of the first non-zero sample, when armed; -1 otherwise
    std::int16_t firstSoundValue = 0;
  };

  explicit WatchedSoundInput(platform::SoundInput& device);

  // The next buffer with a non-zero sample records where it is.
  void armForSound() { armed_.store(true, std::memory_order_release); }
  std::size_t deliveries() const { return count_.load(std::memory_order_acquire); }
  const Delivery& delivery(std::size_t index) const { return log_[index]; }

  std::vector<std::string> deviceNames() override { return device_.deviceNames(); }
  bool supportsFormat(int device, const platform::WaveFormat& format) override {
    return device_.supportsFormat(device, format);
  }
  bool open(int device, const platform::WaveFormat& format, DataFn onData) override;
  void prepare(platform::CaptureHeader* header) override { device_.prepare(header); }
  void unprepare(platform::CaptureHeader* header) override { device_.unprepare(header); }
  void addBuffer(platform::CaptureHeader* header) override;
  void start() override { device_.start(); }
  void stop() override { device_.stop(); }
  void close() override;
  bool isOpen() const override { return device_.isOpen(); }
  void setDeviceLostFn(LostFn onLost) override { device_.setDeviceLostFn(std::move(onLost)); }
  bool reconnect() override { return device_.reconnect(); }

 private:
  static constexpr std::size_t kQueuePlaces = 16;
  static constexpr std::size_t kLogSize = 1 << 15;  // over 12 minutes of buffers

  // Device thread: the buffer at the head of the queue has come back filled.
  void delivered();

  platform::SoundInput& device_;
  DataFn onData_;
  // The device fills in queue order, so the queue tells which buffer came back.
  std::array<platform::CaptureHeader*, kQueuePlaces> queue_{};
  std::atomic<std::size_t> head_{0};
  std::atomic<std::size_t> tail_{0};
  std::vector<Delivery> log_;
  std::atomic<std::size_t> count_{0};
  std::atomic<bool> armed_{false};
};

}  // namespace auralis::bench
