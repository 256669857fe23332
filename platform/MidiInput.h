#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace auralis::platform {

// A MIDI input device. Short messages arrive packed as status | data1 << 8 | data2 << 16, on the
// device's own thread, in the order they were received.
class MidiInput {
 public:
  using MessageFn = std::function<void(std::uint32_t shortMessage)>;
  using LostFn = std::function<void()>;

  virtual ~MidiInput() = default;
  virtual std::vector<std::string> deviceNames() = 0;
  // Returns 0 on success, a non-zero error code otherwise.
  virtual int open(int device, MessageFn onMessage) = 0;
  virtual int start() = 0;
  virtual void stop() = 0;
  virtual void close() = 0;
  // Open, or lost and not closed since.
  virtual bool isOpen() const = 0;
  // Tells, possibly on the device's thread, that the open input stopped working (its MIDI server
  // gone). Takes effect at the next open. An input that cannot be lost need not tell.
  virtual void setDeviceLostFn(LostFn onLost) { static_cast<void>(onLost); }
  // Opens the lost input again where it was found, with the same message function and started
  // as it was; 0 once it delivers again, and also for an open input that was never lost.
  virtual int reconnect() { return isOpen() ? 0 : 1; }
  // Whether a call may block, so that it must run away from the interface thread.
  virtual bool callsMayBlock() const { return true; }
};

}  // namespace auralis::platform
