#include "tools/driver/SungVoice.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace auralis::driver {

namespace {

constexpr double kRate = 44100.0;
constexpr int kLeadingMs = 150;
constexpr int kTrailingMs = 300;
constexpr double kVibratoHz = 5.5;
constexpr double kVibratoCents = 10.0;
constexpr double kAmplitude = 6000.0;
constexpr double kNoise = 200.0;

int samplesOf(int milliseconds) {
  return static_cast<int>(kRate * milliseconds / 1000.0);
}

}  // namespace

std::vector<std::int16_t> sungVoice(double midiPitch, int milliseconds, std::uint32_t seed) {
  std::vector<std::int16_t> samples(static_cast<std::size_t>(samplesOf(kLeadingMs)), 0);
  const double base = 440.0 * std::pow(2.0, (midiPitch - 69.0) / 12.0);
  const int count = samplesOf(milliseconds);
  const int ramp = samplesOf(20);
  std::uint32_t state = seed * 2654435761u + 1u;
  double phase = 0.0;
  for (int i = 0; i < count; ++i) {
    const double t = i / kRate;
    const double cents = kVibratoCents * std::sin(2.0 * std::numbers::pi * kVibratoHz * t);
    phase += 2.0 * std::numbers::pi * base * std::pow(2.0, cents / 1200.0) / kRate;
    double value = 0.0;
    for (int h = 1; h <= 5; ++h) value += std::sin(h * phase) / h;
    // The onset and release rise and fall over 20 ms, as a voice does, without a click.
    const double envelope =
        std::min({1.0, static_cast<double>(i) / ramp, static_cast<double>(count - i) / ramp});
    state = state * 1664525u + 1013904223u;
    const double noise = (static_cast<double>(state >> 8) / 16777216.0 * 2.0 - 1.0) * kNoise;
    const double sample = kAmplitude * envelope * value / 2.3 + noise;
    samples.push_back(static_cast<std::int16_t>(std::clamp(sample, -32767.0, 32767.0)));
  }
  samples.insert(samples.end(), static_cast<std::size_t>(samplesOf(kTrailingMs)), 0);
  return samples;
}

}  // namespace auralis::driver
