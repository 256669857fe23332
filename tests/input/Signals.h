#pragma once

// Deterministic test signals at 44100 Hz: voice-like harmonic tones, sines and noise.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace auralis::signals {

inline constexpr double kRate = 44100.0;

// Nominal frequency of a detector note index (A0 = index 0).
inline double noteHz(int note) {
  return 27.5 * std::pow(2.0, note / 12.0);
}

inline double detune(double hz, double cents) {
  return hz * std::pow(2.0, cents / 1200.0);
}

// A small xorshift generator, so that noise is the same on every platform and library.
class NoiseSource {
 public:
  explicit NoiseSource(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  // Uniform in [-1, 1).
  double next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<double>(state_ >> 11) * (2.0 / 9007199254740992.0) - 1.0;
  }

 private:
  std::uint64_t state_;
};

struct Tone {
  double frequency = 440.0;
  double amplitude = 8000.0;  // of the fundamental, in sample units
  // Relative amplitudes of harmonics 1, 2, 3, ...; a voice has its octave and twelfth.
  std::vector<double> harmonics = {1.0, 0.6, 0.45, 0.3, 0.2};
  double bandLimitHz = 7000.0;  // harmonics above this are left out, as by a recording filter
  double vibratoCents = 0.0;    // depth either side of the frequency
  double vibratoHz = 5.5;
  double noise = 0.0;  // peak of added uniform noise, in sample units
  std::uint64_t seed = 1;
  double phase = 0.0;  // of the fundamental at sample 0, in radians
};

inline std::int16_t clampSample(double value) {
  return static_cast<std::int16_t>(std::clamp(std::lround(value), -32768l, 32767l));
}

inline std::vector<std::int16_t> harmonicTone(const Tone& tone, int samples) {
  std::vector<std::int16_t> out(static_cast<std::size_t>(samples));
  NoiseSource noise(tone.seed);
  double phase = tone.phase;
  for (int n = 0; n < samples; ++n) {
    double value = 0.0;
    for (std::size_t h = 0; h < tone.harmonics.size(); ++h) {
      const double multiple = static_cast<double>(h + 1);
      if (multiple * tone.frequency > tone.bandLimitHz) break;
      value += tone.amplitude * tone.harmonics[h] * std::sin(multiple * phase);
    }
    if (tone.noise > 0) value += tone.noise * noise.next();
    out[static_cast<std::size_t>(n)] = clampSample(value);
    const double wobble =
        tone.vibratoCents == 0.0
            ? 1.0
            : std::pow(2.0, tone.vibratoCents / 1200.0 *
                                std::sin(2.0 * std::numbers::pi * tone.vibratoHz * n / kRate));
    phase += 2.0 * std::numbers::pi * tone.frequency * wobble / kRate;
  }
  return out;
}

inline std::vector<std::int16_t> sine(double frequency, double amplitude, int samples) {
  Tone tone;
  tone.frequency = frequency;
  tone.amplitude = amplitude;
  tone.harmonics = {1.0};
  tone.bandLimitHz = kRate;
  return harmonicTone(tone, samples);
}

inline std::vector<std::int16_t> noise(double peak, int samples, std::uint64_t seed) {
  std::vector<std::int16_t> out(static_cast<std::size_t>(samples));
  NoiseSource source(seed);
  for (auto& sample : out) sample = clampSample(peak * source.next());
  return out;
}

// Sums two signals of equal length, clamped to 16 bits.
inline std::vector<std::int16_t> mix(const std::vector<std::int16_t>& a,
                                     const std::vector<std::int16_t>& b) {
  std::vector<std::int16_t> out(std::min(a.size(), b.size()));
  for (std::size_t n = 0; n < out.size(); ++n) out[n] = clampSample(double(a[n]) + double(b[n]));
  return out;
}

}  // namespace auralis::signals
