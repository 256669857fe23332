#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/MidiOutStream.h"

namespace auralis::platform {

// The built-in synthesiser: FluidSynth with a General MIDI SoundFont, rendering into an RtAudio
// output stream on the first of PulseAudio, ALSA and JACK that has an output device. It is the
// default device, -1; there are no numbered ones.
//
// Every event sounds at its exact sample position counted from the phrase's time zero, the start
// of the first audio block that meets the phrase. The done notice comes from the audio thread
// once the last record's time and a short tail for the release and the output's buffering have
// been rendered.
//
// Without a SoundFont the stream still opens and keeps time, silently: the done notice comes as
// usual, so the lesson goes on exactly as with sound. Without any audio output, open fails.
// Should the output stop (the audio server gone), the lost notice is told and the phrase that
// plays gets its done notice at once; from then on out() fails until reconnect() or the next
// open succeeds. Should the stream stall without a word, the done notice comes two seconds after
// the phrase's end. Either way the player goes idle.
//
// After two seconds in which nothing has sounded the output stream is closed, and the next phrase
// opens it again, so that a program that only listens costs the audio server nothing. On
// PulseAudio and PipeWire a phrase that comes sooner, once the stream has queued nothing that can
// be heard (silence, or a release 60 dB under full scale), has the stream drop it and start again
// at the phrase, which is then heard at once.
//
// FluidSynth itself lives in a module of its own, loaded at the first open, on the thread that
// opens: the many libraries it needs are not loaded while the program starts. Should the module
// not load, open fails and openError() says why.
class FluidSynthMidiOut final : public MidiOutStream {
 public:
  // The General MIDI SoundFonts tried in order: the small TimGM6mb, then FluidR3.
  static std::vector<std::string> standardSoundFonts();

  // The synthesiser's module: beside the installed program, or where it was built.
  static std::string standardModulePath();

  explicit FluidSynthMidiOut(std::vector<std::string> soundFonts = standardSoundFonts(),
                             std::string modulePath = standardModulePath());
  ~FluidSynthMidiOut() override;
  FluidSynthMidiOut(const FluidSynthMidiOut&) = delete;
  FluidSynthMidiOut& operator=(const FluidSynthMidiOut&) = delete;

  int deviceCount() override { return 0; }
  std::string deviceName(int device) override;
  int open(int device, DoneFn onDone) override;
  int setTimeDivision(int ticksPerQuarterNote) override;
  // Each phrase starts from its own time zero anyway.
  // Fails while a phrase plays, when no stream is open, and once the output has failed.
  int out(MidiStreamHeader* header) override;
  // Abandons the phrase without a done notice and releases every sounding note.
  int stop() override;
  int close() override;
  // Opens the output again on the audio service it was found on.
  int reconnect() override;

  // After an open: whether a SoundFont was found, that is, whether anything will sound.
  bool soundFontLoaded() const;
  // Why the last open failed for want of the synthesiser's module; empty once it loaded.
  std::string openError() const;
  // Whether the output stream is open now; it is closed while quiet.
  bool outputOpen() const;

 private:
  class Engine;
  std::unique_ptr<Engine> engine_;
};

inline constexpr const char* kBuiltInSynthesiserName = "Built-in synthesiser";

}  // namespace auralis::platform
