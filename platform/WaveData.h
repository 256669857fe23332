#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace auralis::platform {

// The sound of a RIFF WAVE file: 16-bit PCM, interleaved when stereo.
struct WaveSound {
  int sampleRate = 0;
  int channels = 0;
  std::vector<std::int16_t> samples;

  std::size_t frames() const { return channels > 0 ? samples.size() / channels : 0; }
  double seconds() const { return sampleRate > 0 ? static_cast<double>(frames()) / sampleRate : 0; }
};

// Reads a complete RIFF WAVE file held in memory: PCM, 16 bits, one or two channels, any rate.
// Anything else, or a header that does not hold together, gives nothing. A data chunk cut short
// by the end of the file gives the whole frames that are there.
std::optional<WaveSound> parseWave(const std::uint8_t* bytes, std::size_t size);

}  // namespace auralis::platform
