#pragma once

#include <cstdint>

#include "engine/Notes.h"

namespace auralis {

inline constexpr int kMidiOfDetectorNote = 21;  // detector note index 0 is A0, MIDI note 21

// A sung note that the pitch readout accepted, as one value: it travels inside the notice that
// carries its letter, and the lesson reads it from there.
struct SungNote {
  int detectedNote = 0;    // detector note index, 1 to 107 (MIDI note = index + 21)
  int offsetStep = 0;      // the strongest sub-band, 0 to 11; 6 is in tune
  double cents = 0.0;      // from the note's centre, finer than the sub-band where it was measured
  std::int64_t frame = 0;  // the capture buffer, counted from the microphone's start

  int midiNote() const { return detectedNote + kMidiOfDetectorNote; }
  int pitchClass() const { return (detectedNote - 3) % 12; }
  // Octave number 5 holds middle C, so octave * 12 + pitch class is the MIDI note number.
  int octave() const { return (detectedNote - 3) / 12 + 2; }
  char letter() const { return NoteLetters[pitchClass()]; }

  // The note of `letter` in `octave`, sung at its centre: the detector's middle sub-band.
  static SungNote centred(char letter, int octave) {
    return SungNote{(octave - 2) * 12 + 3 + LetterToPitchClass(letter), 6, 0.0, 0};
  }
};

}  // namespace auralis
