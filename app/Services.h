#pragma once

#include <functional>

#include "app/HelpPage.h"
#include "platform/FeedbackSoundPlayer.h"
#include "platform/MidiInput.h"
#include "platform/MidiOutStream.h"
#include "platform/SoundInput.h"

namespace auralis {

// Ends the process at once: at exit, once the settings are saved, when a device has not let go
// within the wait for it. What would follow could only wait for that device for ever.
[[noreturn]] void endProcessNow();

void blockingPause(int milliseconds);

// The devices and desktop services the window runs on, real or scripted.
struct Services {
  platform::MidiOutStream& midiOut;
  platform::SoundInput& soundInput;
  platform::MidiInput& midiInput;
  platform::FeedbackSoundPlayer& feedbackSounds;
  DocumentOpener& documents;
  // The short wait after an answer. It blocks, which keeps the feedback sound, the wait and the
  // next question in their order.
  std::function<void(int milliseconds)> pause;
  // At exit, after the settings are saved: a device's calls did not return within
  // kDeviceCloseWait. Whatever holds the devices must not be destroyed while they run.
  std::function<void()> devicesStuck = endProcessNow;
};

}  // namespace auralis
