#include "devices/DeviceModule.h"
#include "devices/MidiPortLister.h"
#include "devices/RtAudioFeedbackSoundPlayer.h"
#include "devices/RtAudioSoundInput.h"
#include "devices/RtMidiInput.h"
#include "devices/SystemMidiOut.h"

using namespace auralis::platform;

extern "C" __attribute__((visibility("default"))) void* auralis_make_system_device(int kind) {
  switch (static_cast<SystemDevice>(kind)) {
    case SystemDevice::MidiOut:
      return static_cast<MidiOutStream*>(new SystemMidiOut());
    case SystemDevice::SoundInput:
      return static_cast<SoundInput*>(new RtAudioSoundInput());
    case SystemDevice::MidiInput:
      return static_cast<MidiInput*>(new RtMidiInput());
    case SystemDevice::FeedbackSounds:
      return static_cast<FeedbackSoundPlayer*>(new RtAudioFeedbackSoundPlayer());
  }
  return nullptr;
}

extern "C" __attribute__((visibility("default"))) void auralis_list_midi_ports_if_asked() {
  listJackPortsAndEndIfAsked();
}
