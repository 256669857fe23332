#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/MidiInput.h"

namespace auralis::platform {

// A scripted MIDI keyboard: a test names the devices, can make open or start fail, strikes keys
// and reads back every call it made.
class FakeMidiInput : public MidiInput {
 public:
  std::vector<std::string> devices;
  int openResult = 0;
  int startResult = 0;
  // The calls are treated as calls that may block: the program makes them on a device thread.
  bool onDeviceThread = false;
  std::vector<std::string> calls;  // e.g. "open 1", "start", "stop", "close"

  std::vector<std::string> deviceNames() override { return devices; }
  int open(int device, MessageFn onMessage) override;
  int start() override;
  void stop() override;
  void close() override;
  bool isOpen() const override { return open_; }
  bool callsMayBlock() const override { return onDeviceThread; }

  int openDevice() const { return openDevice_; }
  bool started() const { return started_; }
  // Delivers a short message on the calling thread, as the device would on its own; false when
  // the device is not open and started, so nothing was delivered.
  bool send(std::uint32_t shortMessage);
  bool noteOn(int note, int velocity, int channel = 0);

 private:
  MessageFn onMessage_;
  bool open_ = false;
  bool started_ = false;
  int openDevice_ = -2;
};

}  // namespace auralis::platform
