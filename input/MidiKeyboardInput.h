#pragma once

#include <functional>

#include "platform/DeviceWorker.h"
#include "platform/MidiInput.h"

namespace auralis {

// The MIDI keyboard's device: opens the chosen input, and on the device's thread only decodes
// each key and hands it on. Every open starts a new generation, so that keys still on their way
// from a device that has since been closed can be recognised and dropped. The calls into the
// device run on its worker, in the order given. An input lost with its MIDI server is tried
// again on the worker until it is back, as long as it is the one chosen.
class MidiKeyboardInput {
 public:
  // Called on the device's thread with a decoded key, the key's MIDI note and the generation of
  // the open device.
  using PostKeyFn = std::function<void(char key, int note, int generation)>;
  // Called on the device's thread when the input opened as `generation` stops working.
  using PostLostFn = std::function<void(int generation)>;

  // postReply hands the replies of the device's calls to the interface thread; a device whose
  // calls run at once needs none.
  MidiKeyboardInput(platform::MidiInput& device, PostKeyFn postKey,
                    platform::DeviceWorker::PostReplyFn postReply = {}, PostLostFn postLost = {});
  ~MidiKeyboardInput();
  MidiKeyboardInput(const MidiKeyboardInput&) = delete;
  MidiKeyboardInput& operator=(const MidiKeyboardInput&) = delete;

  bool midiInPresent = false;

  // Opens device (-2: none chosen) and starts input; nothing when no MIDI input is present. A
  // device that fails to open or start stays silent.
  void OpenMidiIn(int device);
  // Closes the open device, if any, then opens device.
  void ReopenMidiIn(int device);
  void CloseMidiIn();
  // The input opened as `generation` stopped working: it is tried again until it is back.
  void MidiInLost(int generation);

  int generation() const { return generation_; }
  bool inputLost() const { return lost_; }
  platform::DeviceWorker& worker() { return worker_; }

 private:
  platform::MidiInput& device_;
  PostKeyFn postKey_;
  PostLostFn postLost_;
  int generation_ = 0;
  bool opened_ = false;  // an open was asked for since the last close
  bool lost_ = false;
  // Last, so that it goes first: its calls use everything above.
  platform::DeviceWorker worker_;
};

}  // namespace auralis
