#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace auralis::platform {

// A buffer handed to the stream: 12-byte little-endian records (delta, stream id, event word).
struct MidiStreamHeader {
  const std::uint8_t* data = nullptr;
  std::uint32_t bufferLength = 0;
  std::uint32_t bytesRecorded = 0;
  std::uint32_t flags = 0;
};

struct StreamEvent {
  std::uint32_t delta;
  std::uint32_t streamId;
  std::uint32_t event;
};

inline int eventCountOf(const MidiStreamHeader& header) {
  return static_cast<int>(header.bytesRecorded / 12);
}
StreamEvent eventAt(const MidiStreamHeader& header, int index);

inline constexpr int kDefaultMidiDevice = -1;  // the system's default output
inline constexpr int kMidiOk = 0;
inline constexpr int kMidiError = 1;

// A timed MIDI output: one phrase buffer at a time, each played from its own time zero when handed
// over, with a done notice after its last event. The notice may come from any thread.
class MidiOutStream {
 public:
  using DoneFn = std::function<void(MidiStreamHeader*)>;
  using LostFn = std::function<void()>;

  virtual ~MidiOutStream() = default;
  virtual int deviceCount() = 0;
  virtual std::string deviceName(int device) = 0;
  virtual int open(int device, DoneFn onDone) = 0;
  virtual int setTimeDivision(int ticksPerQuarterNote) = 0;
  virtual int out(MidiStreamHeader* header) = 0;
  virtual int stop() = 0;
  virtual int close() = 0;
  // Tells, possibly on the device's thread, that the open output stopped working (its audio
  // server gone); from then on out() fails until reconnect() or a new open succeeds. Takes
  // effect at the next open. An output that cannot be lost need not tell; one that can tells
  // deviceLostFn().
  virtual void setDeviceLostFn(LostFn onLost) { onLost_ = std::move(onLost); }
  // Opens the lost output again where it was found, with the same done notice; kMidiOk once it
  // plays again, and also for an output that was never lost.
  virtual int reconnect() { return kMidiOk; }
  // Whether a call may block, so that it must run away from the interface thread.
  virtual bool callsMayBlock() const { return true; }

 protected:
  // The lost notice last given, for the output to take at its open.
  const LostFn& deviceLostFn() const { return onLost_; }

 private:
  LostFn onLost_;
};

}  // namespace auralis::platform
