#include "input/MidiKeyboardInput.h"

#include "input/MidiKeyboard.h"

namespace auralis {

MidiKeyboardInput::MidiKeyboardInput(platform::MidiInput& device, PostKeyFn postKey)
    : device_(device), postKey_(std::move(postKey)) {}

MidiKeyboardInput::~MidiKeyboardInput() {
  CloseMidiIn();
}

int MidiKeyboardInput::OpenMidiIn(int device) {
  ++generation_;
  if (!midiInPresent) return 0;
  const int opened =
      device_.open(device, [post = postKey_, generation = generation_](std::uint32_t shortMessage) {
        if (const auto key = decodeMidiKey(shortMessage)) post(*key, generation);
      });
  if (opened != 0) return opened;
  return device_.start();
}

int MidiKeyboardInput::ReopenMidiIn(int device) {
  CloseMidiIn();
  return OpenMidiIn(device);
}

void MidiKeyboardInput::CloseMidiIn() {
  if (!device_.isOpen()) return;
  device_.stop();
  device_.close();
}

}  // namespace auralis
