#pragma once

#include <cstdint>
#include <optional>

#include "input/PitchDetector.h"

namespace auralis {

// A sung pitch finer than the detector's sub-band steps.
struct SungPitch {
  double semitones = 0.0;  // a MIDI note number on a continuous scale: 69.0 is A4 at 440 Hz
  double cents = 0.0;      // from the nearest note, -50 to +50

  int nearestNote() const;
};

SungPitch sungPitchAt(double semitones);

// The pitch of the detector's latest frame, placed between sub-bands: the peak around the
// detected note's strongest sub-band and the peak of its octave, the second harmonic, each
// refined by a parabola, then averaged. Sub-bands beyond the detected note's own twelve are
// measured on `window`, the frame's 2048 samples. None for a frame without a note.
std::optional<SungPitch> estimatePitch(const PitchDetector& detector, const std::int16_t* window);

// The same for a frame analysed by ProcessCaptureBuffer; call it before the next buffer.
std::optional<SungPitch> estimateLatestPitch(const PitchDetector& detector);

}  // namespace auralis
