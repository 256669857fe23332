#pragma once

// Voices whose pitch moves: glides and vibrato, with a known pitch at every sample.

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "tests/input/Signals.h"

namespace auralis::signals {

// A voice of the tone's timbre whose fundamental follows pitchAt(seconds), a MIDI note number
// on a continuous scale (69.0 is A4 at 440 Hz). The tone's own frequency and vibrato are not
// used.
template <typename PitchAt>
std::vector<std::int16_t> sungVoice(const Tone& timbre, PitchAt pitchAt, int samples) {
  std::vector<std::int16_t> out(static_cast<std::size_t>(samples));
  double phase = timbre.phase;
  for (int n = 0; n < samples; ++n) {
    const double hz = 440.0 * std::pow(2.0, (pitchAt(n / kRate) - 69.0) / 12.0);
    double value = 0.0;
    for (std::size_t h = 0; h < timbre.harmonics.size(); ++h) {
      const double multiple = static_cast<double>(h + 1);
      if (multiple * hz > timbre.bandLimitHz) break;
      value += timbre.amplitude * timbre.harmonics[h] * std::sin(multiple * phase);
    }
    out[static_cast<std::size_t>(n)] = clampSample(value);
    phase += 2.0 * std::numbers::pi * hz / kRate;
  }
  return out;
}

}  // namespace auralis::signals
