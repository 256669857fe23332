#include "platform/WaveData.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace auralis::platform {

namespace {

constexpr std::size_t kChunkHeaderBytes = 8;
constexpr std::size_t kFormatBytes = 16;  // the PCM format record without extension
constexpr int kPcmFormatTag = 1;
constexpr int kMaxSampleRate = 384000;

std::uint32_t readLittle32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

int readLittle16(const std::uint8_t* p) {
  return p[0] | p[1] << 8;
}

bool hasTag(const std::uint8_t* p, std::string_view tag) {
  return std::memcmp(p, tag.data(), 4) == 0;
}

struct Format {
  int tag = 0;
  int channels = 0;
  int sampleRate = 0;
  int blockAlign = 0;
  int bitsPerSample = 0;
};

Format readFormat(const std::uint8_t* p) {
  return {readLittle16(p), readLittle16(p + 2), static_cast<int>(readLittle32(p + 4) & 0x7FFFFFFF),
          readLittle16(p + 12), readLittle16(p + 14)};
}

bool playable(const Format& f) {
  return f.tag == kPcmFormatTag && (f.channels == 1 || f.channels == 2) && f.bitsPerSample == 16 &&
         f.blockAlign == f.channels * 2 && f.sampleRate > 0 && f.sampleRate <= kMaxSampleRate;
}

}  // namespace

std::optional<WaveSound> parseWave(const std::uint8_t* bytes, std::size_t size) {
  if (bytes == nullptr || size < 12 || !hasTag(bytes, "RIFF") || !hasTag(bytes + 8, "WAVE"))
    return std::nullopt;
  // The RIFF size may claim more than there is; never read past the buffer.
  const std::size_t end = std::min<std::size_t>(size, std::size_t{readLittle32(bytes + 4)} + 8);

  std::optional<Format> format;
  const std::uint8_t* data = nullptr;
  std::size_t dataBytes = 0;
  std::size_t at = 12;
  while (at + kChunkHeaderBytes <= end) {
    const std::uint8_t* chunk = bytes + at;
    const std::size_t length = readLittle32(chunk + 4);
    const std::size_t available = end - at - kChunkHeaderBytes;
    if (hasTag(chunk, "fmt ")) {
      if (length < kFormatBytes || length > available) return std::nullopt;
      format = readFormat(chunk + kChunkHeaderBytes);
    } else if (hasTag(chunk, "data") && data == nullptr) {
      data = chunk + kChunkHeaderBytes;
      dataBytes = std::min(length, available);
    }
    if (length >= available) break;
    at += kChunkHeaderBytes + length + (length & 1);  // chunks are padded to an even size
  }
  if (!format || data == nullptr || !playable(*format)) return std::nullopt;

  WaveSound sound;
  sound.sampleRate = format->sampleRate;
  sound.channels = format->channels;
  const std::size_t frames = dataBytes / static_cast<std::size_t>(format->blockAlign);
  sound.samples.resize(frames * static_cast<std::size_t>(format->channels));
  for (std::size_t i = 0; i < sound.samples.size(); ++i)
    sound.samples[i] = static_cast<std::int16_t>(readLittle16(data + 2 * i));
  return sound;
}

}  // namespace auralis::platform
