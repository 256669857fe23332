#pragma once

#include <functional>

#include "platform/MidiInput.h"

namespace auralis {

// The MIDI keyboard's device: opens the chosen input, and on the device's thread only decodes
// each key and hands it on. Every open starts a new generation, so that keys still on their way
// from a device that has since been closed can be recognised and dropped.
class MidiKeyboardInput {
 public:
  // Called on the device's thread with a decoded key and the generation of the open device.
  using PostKeyFn = std::function<void(char key, int generation)>;

  MidiKeyboardInput(platform::MidiInput& device, PostKeyFn postKey);
  ~MidiKeyboardInput();
  MidiKeyboardInput(const MidiKeyboardInput&) = delete;
  MidiKeyboardInput& operator=(const MidiKeyboardInput&) = delete;

  bool midiInPresent = false;

  // Opens device (-2: none chosen) and starts input; the device's error code, or 0, also when
  // no MIDI input is present.
  int OpenMidiIn(int device);
  // Closes the open device, if any, then opens device.
  int ReopenMidiIn(int device);
  void CloseMidiIn();

  int generation() const { return generation_; }

 private:
  platform::MidiInput& device_;
  PostKeyFn postKey_;
  int generation_ = 0;
};

}  // namespace auralis
