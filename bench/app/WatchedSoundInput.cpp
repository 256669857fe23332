#include "WatchedSoundInput.h"

namespace auralis::bench {

WatchedSoundInput::WatchedSoundInput(platform::SoundInput& device)
    : device_(device), log_(kLogSize) {}

bool WatchedSoundInput::open(int device, const platform::WaveFormat& format, DataFn onData) {
  onData_ = std::move(onData);
  head_.store(0);
  tail_.store(0);
  return device_.open(device, format, [this] { delivered(); });
}

void WatchedSoundInput::addBuffer(platform::CaptureHeader* header) {
  const std::size_t tail = tail_.load(std::memory_order_relaxed);
  queue_[tail % kQueuePlaces] = header;
  tail_.store(tail + 1, std::memory_order_release);
  device_.addBuffer(header);
}

void WatchedSoundInput::close() {
  device_.close();
  head_.store(0);
  tail_.store(0);
}

void WatchedSoundInput::delivered() {
  const Clock::time_point now = Clock::now();
  const std::size_t head = head_.load(std::memory_order_relaxed);
  const std::size_t count = count_.load(std::memory_order_relaxed);
  if (head != tail_.load(std::memory_order_acquire) && count < log_.size()) {
    const platform::CaptureHeader& header = *queue_[head % kQueuePlaces];
    Delivery& entry = log_[count];
    entry = {now, -1};
    if (armed_.load(std::memory_order_acquire)) {
      const std::size_t samples = header.bytesRecorded / sizeof(std::int16_t);
      for (std::size_t i = 0; i < samples; ++i)
        if (header.data[i] != 0) {
          entry.firstSound = static_cast<int>(i);
          entry.firstSoundValue = header.data[i];
          armed_.store(false, std::memory_order_release);
          break;
        }
    }
    head_.store(head + 1, std::memory_order_relaxed);
    count_.store(count + 1, std::memory_order_release);
  }
  if (onData_) onData_();
}

}  // namespace auralis::bench
