#pragma once

#include <string>
#include <vector>

#include "platform/MidiOutStream.h"

namespace auralis::platform {

// Records every call and every phrase it was handed; a phrase completes when the test says so.
class FakeMidiOutStream : public MidiOutStream {
 public:
  std::vector<std::string> devices = {"Fake Synth"};
  int openResult = kMidiOk;
  int outResult = kMidiOk;
  // A lost output stays gone: reconnect() fails.
  bool stayGone = false;
  // The output fails as it starts, as one whose audio server has just gone: the open fails after
  // the lost notice, and a reconnect may bring it back.
  bool loseAsItOpens = false;
  // The calls are treated as calls that may block: the program makes them on a device thread.
  bool onDeviceThread = false;

  // e.g. "open -1", "timediv 96", "out 4", "stop", "close", "lost", "reconnect"
  std::vector<std::string> calls;
  std::vector<std::vector<StreamEvent>> phrases;  // the events of every out()
  int timeDivision = 0;
  bool isOpen = false;

  int deviceCount() override { return static_cast<int>(devices.size()); }
  std::string deviceName(int device) override;
  int open(int device, DoneFn onDone) override;
  int setTimeDivision(int ticksPerQuarterNote) override;
  int out(MidiStreamHeader* header) override;
  int stop() override;
  int close() override;
  int reconnect() override;
  bool callsMayBlock() const override { return onDeviceThread; }

  bool playing() const { return queued_ != nullptr; }
  // Sends the done notice for the queued phrase, as the device would after its last event.
  // Returns false when nothing is queued.
  bool completePhrase();
  // The output stops working, as one whose audio server went away: the phrase that plays ends
  // at once with its done notice, the lost notice given at open time is told, and every later
  // phrase is refused until a reconnect.
  void loseDevice();

 private:
  DoneFn onDone_;
  LostFn openLost_;  // the notice in force when the output opened
  MidiStreamHeader* queued_ = nullptr;
  bool gone_ = false;
};

}  // namespace auralis::platform
