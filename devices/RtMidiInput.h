#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/MidiInput.h"

class RtMidiIn;

namespace auralis::platform {

class JackServerWatch;

// The system's MIDI input ports (ALSA sequencer, or JACK where there is no sequencer) as the
// devices 0 .. n - 1, under their port names. Between start() and stop() every short message is
// packed and handed to the message function on the service's thread, in the order received;
// system exclusive, timing and active-sensing messages are left out. A port on JACK is lost with
// its server, and reconnect() finds it again by its name once it is back.
class RtMidiInput final : public MidiInput {
 public:
  RtMidiInput();
  ~RtMidiInput() override;
  RtMidiInput(const RtMidiInput&) = delete;
  RtMidiInput& operator=(const RtMidiInput&) = delete;

  // Lists the ports afresh; the numbers given to open() refer to the latest list.
  std::vector<std::string> deviceNames() override;
  int open(int device, MessageFn onMessage) override;
  int start() override;
  void stop() override;
  void close() override;
  bool isOpen() const override;
  void setDeviceLostFn(LostFn onLost) override;
  int reconnect() override;

 private:
  int openPort();
  static void onMidi(double, std::vector<unsigned char>* message, void* self);

  std::vector<std::string> portNames_;
  std::string openName_;  // the port asked for at the open, until the close
  std::unique_ptr<RtMidiIn> port_;
  std::unique_ptr<JackServerWatch> watch_;  // on JACK
  MessageFn onMessage_;
  LostFn onLost_;
  std::atomic<bool> started_{false};
};

// status | data1 << 8 | data2 << 16 of a channel or system common message of up to three bytes;
// 0 for anything else.
std::uint32_t packShortMessage(const unsigned char* bytes, std::size_t size);

}  // namespace auralis::platform
