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

  std::vector<std::string> calls;                 // e.g. "open -1", "timediv 96", "out 4"
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

  bool playing() const { return queued_ != nullptr; }
  // Sends the done notice for the queued phrase, as the device would after its last event.
  // Returns false when nothing is queued.
  bool completePhrase();

 private:
  DoneFn onDone_;
  MidiStreamHeader* queued_ = nullptr;
};

}  // namespace auralis::platform
