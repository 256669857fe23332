#pragma once

namespace auralis::platform {

// The General MIDI synthesiser as the loadable module gives it. Its library and the many it
// needs are loaded only when the built-in synthesiser first opens, not at start: the module is
// opened on the device worker's thread, after the window is up.
struct SynthSetup {
  int sampleRate;
  double gain;
  int polyphony;
};

class SynthVoices {
 public:
  virtual ~SynthVoices() = default;
  virtual void noteOn(int channel, int note, int velocity) = 0;
  virtual void noteOff(int channel, int note) = 0;
  // Releases every note on every channel.
  virtual void allNotesOff() = 0;
  // Silences every voice at once, releases and all.
  virtual void allSoundsOff() = 0;
  virtual int activeVoices() = 0;
  // frames of each side, at left[leftOffset], left[leftOffset + leftStride], ...
  virtual void write(int frames, float* left, int leftOffset, int leftStride, float* right,
                     int rightOffset, int rightStride) = 0;
};

// The module's one entry point: a synthesiser playing the SoundFont at soundFont, or null when
// it cannot be made or the SoundFont cannot be read. The caller deletes it.
using MakeSynthVoicesFn = SynthVoices* (*)(const SynthSetup* setup, const char* soundFont);
inline constexpr const char* kMakeSynthVoicesSymbol = "auralis_make_synth_voices";

}  // namespace auralis::platform
