#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace auralis::platform {

inline constexpr int kDefaultSoundInput = -1;  // the system's default input
inline constexpr int kNoSoundInput = -2;       // no device chosen; every open refuses it

// One capture buffer handed to the device. The device fills it and marks it done, possibly on
// its own thread; the program reads it only after the data notice reached the interface thread.
struct CaptureHeader {
  std::int16_t* data = nullptr;
  std::uint32_t bufferLength = 0;  // bytes
  std::uint32_t bytesRecorded = 0;
  std::atomic<bool> done{false};
  bool prepared = false;
};

// The wanted format: 44100 Hz, mono, 16-bit PCM.
struct WaveFormat {
  int sampleRate = 44100;
  int channels = 1;
  int bitsPerSample = 16;
};

// A sound input device that fills queued buffers in queue order. The data notice is delivered
// through onData, which the caller makes post to the interface thread.
class SoundInput {
 public:
  using DataFn = std::function<void()>;
  using LostFn = std::function<void()>;

  virtual ~SoundInput() = default;
  // Names of the input devices 0 .. n - 1 (the default input is not among them).
  virtual std::vector<std::string> deviceNames() = 0;
  // A query-only open: does the device accept the format?
  virtual bool supportsFormat(int device, const WaveFormat& format) = 0;
  virtual bool open(int device, const WaveFormat& format, DataFn onData) = 0;
  virtual void prepare(CaptureHeader* header) = 0;
  virtual void unprepare(CaptureHeader* header) = 0;
  virtual void addBuffer(CaptureHeader* header) = 0;
  virtual void start() = 0;
  // Returns the buffer being filled, marked done with what it holds; the others stay queued.
  virtual void stop() = 0;
  // Returns every queued buffer marked done, then closes.
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  // Tells, possibly on the device's thread, that the open device stopped working (unplugged, or
  // its audio server gone). Capture has then ended; reconnect(), or a close and a new open, try
  // again. A device that cannot be lost need not tell.
  virtual void setDeviceLostFn(LostFn onLost) { static_cast<void>(onLost); }
  // Tries the lost device again where it was found, keeping its queue of buffers; true once it
  // works again, and also for an open device that was never lost. Capture may then start again.
  virtual bool reconnect() { return isOpen(); }
  // Whether a call may block, so that it must run away from the interface thread.
  virtual bool callsMayBlock() const { return true; }
  // Whether prepare, unprepare and addBuffer never block and may be called on another thread
  // than the other calls while the device runs. A returned buffer can then go back to the device
  // at once, without a hand-over to the device's thread, whenever no other call is on its way.
  virtual bool requeuesWithoutBlocking() const { return !callsMayBlock(); }
};

}  // namespace auralis::platform
