#pragma once

#include <cstdint>
#include <vector>

namespace auralis::driver {

// A generated singing voice at 44.1 kHz: a short silence, then `milliseconds` of a tone at
// `midiPitch` (a MIDI note number on a continuous scale: 64.3 is E4 30 cents sharp) with five
// harmonics, a slight vibrato and some breath noise, then a silence long enough for the note to
// end. The same pitch, length and seed give the same samples.
std::vector<std::int16_t> sungVoice(double midiPitch, int milliseconds, std::uint32_t seed);

}  // namespace auralis::driver
