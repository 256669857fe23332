#pragma once

namespace auralis::platform {

// The system's audio and MIDI devices as their loadable module makes them. The audio and MIDI
// libraries, and the many those bring, are loaded only when the program first calls a device
// (on a device thread, after the window is up), not before the program starts.
enum class SystemDevice { MidiOut, SoundInput, MidiInput, FeedbackSounds };

// The module's one entry point: a new device of the kind, as a pointer to its interface
// (MidiOutStream, SoundInput, MidiInput or FeedbackSoundPlayer), or null for an unknown kind.
// The caller deletes it through that interface.
using MakeSystemDeviceFn = void* (*)(int kind);
inline constexpr const char* kMakeSystemDeviceSymbol = "auralis_make_system_device";

// In a copy of the program started to list the MIDI ports: lists, answers and ends the process.
using ListMidiPortsFn = void (*)();
inline constexpr const char* kListMidiPortsSymbol = "auralis_list_midi_ports_if_asked";

}  // namespace auralis::platform
