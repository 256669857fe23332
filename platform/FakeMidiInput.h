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
  // A lost device stays gone: reconnect() fails.
  bool stayGone = false;
  // The calls are treated as calls that may block: the program makes them on a device thread.
  bool onDeviceThread = false;
  std::vector<std::string> calls;  // e.g. "open 1", "start", "stop", "close", "lost", "reconnect"

  std::vector<std::string> deviceNames() override { return devices; }
  int open(int device, MessageFn onMessage) override;
  int start() override;
  void stop() override;
  void close() override;
  bool isOpen() const override { return open_; }
  bool callsMayBlock() const override { return onDeviceThread; }
  void setDeviceLostFn(LostFn onLost) override { onLost_ = std::move(onLost); }
  int reconnect() override;

  int openDevice() const { return openDevice_; }
  bool started() const { return started_; }
  // Delivers a short message on the calling thread, as the device would on its own; false when
  // the device is not open and started, so nothing was delivered.
  bool send(std::uint32_t shortMessage);
  bool noteOn(int note, int velocity, int channel = 0);
  // The device stops working, as one whose MIDI server went away: the lost notice given at open
  // time is told, and no key arrives until a reconnect.
  void loseDevice();

 private:
  MessageFn onMessage_;
  LostFn onLost_;
  LostFn openLost_;  // the notice in force when the device opened
  bool open_ = false;
  bool gone_ = false;
  bool started_ = false;
  int openDevice_ = -2;
};

}  // namespace auralis::platform
