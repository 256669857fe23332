#include "input/MidiKeyboardInput.h"

#include "input/MidiKeyboard.h"

namespace auralis {

MidiKeyboardInput::MidiKeyboardInput(platform::MidiInput& device, PostKeyFn postKey,
                                     platform::DeviceWorker::PostReplyFn postReply,
                                     PostLostFn postLost)
    : device_(device),
      postKey_(std::move(postKey)),
      postLost_(std::move(postLost)),
      worker_(platform::DeviceWorker::modeFor(device.callsMayBlock()), std::move(postReply)) {}

MidiKeyboardInput::~MidiKeyboardInput() {
  CloseMidiIn();
}

void MidiKeyboardInput::OpenMidiIn(int device) {
  ++generation_;
  lost_ = false;
  if (!midiInPresent) return;
  opened_ = true;
  worker_.run([this, device, post = postKey_, generation = generation_] {
    device_.setDeviceLostFn([this, generation] {
      if (postLost_) postLost_(generation);
    });
    const int opened = device_.open(device, [post, generation](std::uint32_t shortMessage) {
      if (const auto key = decodeMidiKey(shortMessage))
        post(*key, static_cast<int>((shortMessage >> 8) & 0x7F), generation);
    });
    if (opened == 0) device_.start();
  });
}

void MidiKeyboardInput::ReopenMidiIn(int device) {
  CloseMidiIn();
  OpenMidiIn(device);
}

void MidiKeyboardInput::CloseMidiIn() {
  // A lost notice still on its way is about an input no longer wanted.
  opened_ = false;
  lost_ = false;
  worker_.run([this] {
    if (!device_.isOpen()) return;
    device_.stop();
    device_.close();
  });
}

void MidiKeyboardInput::MidiInLost(int generation) {
  if (generation != generation_ || !opened_ || lost_) return;
  lost_ = true;
  worker_.retry([this] { return device_.reconnect() == 0; },
                [this, generation] { return generation == generation_ && lost_; },
                [this] { lost_ = false; });
}

}  // namespace auralis
