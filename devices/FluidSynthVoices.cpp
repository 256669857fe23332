// The loadable module of the built-in synthesiser: FluidSynth behind SynthVoices.
#include <fluidsynth.h>

#include <initializer_list>

#include "devices/SynthModule.h"

namespace auralis::platform {
namespace {

// FluidSynth reports to stderr by default; the program logs nothing.
void silenceFluidSynth() {
  for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
    fluid_set_log_function(level, nullptr, nullptr);
}

class FluidSynthVoices final : public SynthVoices {
 public:
  FluidSynthVoices(fluid_settings_t* settings, fluid_synth_t* synth)
      : settings_(settings), synth_(synth) {}
  ~FluidSynthVoices() override {
    delete_fluid_synth(synth_);
    delete_fluid_settings(settings_);
  }
  FluidSynthVoices(const FluidSynthVoices&) = delete;
  FluidSynthVoices& operator=(const FluidSynthVoices&) = delete;

  void noteOn(int channel, int note, int velocity) override {
    fluid_synth_noteon(synth_, channel, note, velocity);
  }
  void noteOff(int channel, int note) override { fluid_synth_noteoff(synth_, channel, note); }
  void allNotesOff() override { fluid_synth_all_notes_off(synth_, -1); }
  void allSoundsOff() override { fluid_synth_all_sounds_off(synth_, -1); }
  int activeVoices() override { return fluid_synth_get_active_voice_count(synth_); }
  void write(int frames, float* left, int leftOffset, int leftStride, float* right, int rightOffset,
             int rightStride) override {
    fluid_synth_write_float(synth_, frames, left, leftOffset, leftStride, right, rightOffset,
                            rightStride);
  }

 private:
  fluid_settings_t* settings_;
  fluid_synth_t* synth_;
};

}  // namespace
}  // namespace auralis::platform

extern "C" __attribute__((visibility("default"))) auralis::platform::SynthVoices*
auralis_make_synth_voices(const auralis::platform::SynthSetup* setup, const char* soundFont) {
  using namespace auralis::platform;
  silenceFluidSynth();
  fluid_settings_t* settings = new_fluid_settings();
  if (settings == nullptr) return nullptr;
  fluid_settings_setnum(settings, "synth.sample-rate", setup->sampleRate);
  fluid_settings_setnum(settings, "synth.gain", setup->gain);
  // A dry sound: the notes end when they are released, and a stop silences at once.
  fluid_settings_setint(settings, "synth.reverb.active", 0);
  fluid_settings_setint(settings, "synth.chorus.active", 0);
  // Only the audio thread plays the synthesiser once the stream runs.
  fluid_settings_setint(settings, "synth.threadsafe-api", 0);
  // Only the samples of the presets in use are read (the piano and the drum kit of a General
  // MIDI start), and they are not locked into memory: most of the SoundFont is never heard.
  fluid_settings_setint(settings, "synth.dynamic-sample-loading", 1);
  fluid_settings_setint(settings, "synth.lock-memory", 0);
  fluid_settings_setint(settings, "synth.polyphony", setup->polyphony);
  fluid_synth_t* synth = new_fluid_synth(settings);
  if (synth == nullptr || fluid_synth_sfload(synth, soundFont, 1) == FLUID_FAILED) {
    if (synth != nullptr) delete_fluid_synth(synth);
    delete_fluid_settings(settings);
    return nullptr;
  }
  return new FluidSynthVoices(settings, synth);
}
