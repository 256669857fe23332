#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace auralis {

inline constexpr int kWavSampleRate = 44100;

// Recordings longer than this are refused rather than read into memory; an hour of sound.
inline constexpr std::size_t kMaxWavFileBytes = 2 * 3600 * static_cast<std::size_t>(44100) + 4096;

// The samples of a 16-bit mono 44100 Hz PCM WAVE file, or what is wrong with the file.
struct WavReadResult {
  std::vector<std::int16_t> samples;
  std::string error;  // empty when the samples were read

  bool ok() const { return error.empty(); }
};

// Accepts only RIFF WAVE with PCM samples (plain, or WAVE_FORMAT_EXTENSIBLE with the PCM
// subformat), one channel, 44100 Hz and 16 bits. Never reads outside the bytes it is given.
WavReadResult parseWav(std::span<const std::uint8_t> bytes);
WavReadResult readWavFile(const std::filesystem::path& path);

// A canonical 44-byte header followed by the samples. Empty when the samples do not fit in one
// RIFF file.
std::vector<std::uint8_t> encodeWav(std::span<const std::int16_t> samples);
// Returns an empty string on success, otherwise what went wrong.
std::string writeWavFile(const std::filesystem::path& path, std::span<const std::int16_t> samples);

}  // namespace auralis
