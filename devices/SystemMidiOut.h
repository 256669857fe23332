#pragma once

#include <string>
#include <vector>

#include "devices/FluidSynthMidiOut.h"
#include "devices/RtMidiOutStream.h"

namespace auralis::platform {

// Every MIDI output of the system as one stream: the default device -1 is the built-in
// synthesiser, the devices 0 .. n - 1 are the MIDI output ports. The built-in synthesiser is
// there even when deviceCount() is 0, so MIDI output is present whenever an audio output is.
class SystemMidiOut final : public MidiOutStream {
 public:
  explicit SystemMidiOut(
      std::vector<std::string> soundFonts = FluidSynthMidiOut::standardSoundFonts());

  int deviceCount() override;
  std::string deviceName(int device) override;
  int open(int device, DoneFn onDone) override;
  int setTimeDivision(int ticksPerQuarterNote) override;
  int out(MidiStreamHeader* header) override;
  int stop() override;
  int close() override;
  void setDeviceLostFn(LostFn onLost) override;
  int reconnect() override;

 private:
  FluidSynthMidiOut synthesiser_;
  RtMidiOutStream ports_;
  MidiOutStream* open_ = nullptr;    // the one of the two that is open
  MidiOutStream* wanted_ = nullptr;  // the one of the two last asked to open
};

}  // namespace auralis::platform
