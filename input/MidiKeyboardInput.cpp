#include "input/MidiKeyboardInput.h"

#include "input/MidiKeyboard.h"

namespace auralis {

MidiKeyboardInput::MidiKeyboardInput(platform::MidiInput& device, PostKeyFn postKey,
                                     platform::DeviceWorker::PostReplyFn postReply)
    : device_(device),
      postKey_(std::move(postKey)),
      worker_(platform::DeviceWorker::modeFor(device.callsMayBlock()), std::move(postReply)) {}

MidiKeyboardInput::~MidiKeyboardInput() {
  CloseMidiIn();
}

void MidiKeyboardInput::OpenMidiIn(int device) {
  ++generation_;
  if (!midiInPresent) return;
  worker_.run([this, device, post = postKey_, generation = generation_] {
    const int opened = device_.open(device, [post, generation](std::uint32_t shortMessage) {
      if (const auto key = decodeMidiKey(shortMessage)) post(*key, generation);
    });
    if (opened == 0) device_.start();
  });
}

void MidiKeyboardInput::ReopenMidiIn(int device) {
  CloseMidiIn();
  OpenMidiIn(device);
}

void MidiKeyboardInput::CloseMidiIn() {
  worker_.run([this] {
    if (!device_.isOpen()) return;
    device_.stop();
    device_.close();
  });
}

}  // namespace auralis
