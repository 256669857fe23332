#include "input/WavFile.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <optional>
#include <system_error>

namespace auralis {

namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
constexpr std::size_t kFmtBytes = 16;
constexpr std::size_t kExtensibleFmtBytes = 40;
constexpr std::size_t kCanonicalHeaderBytes = 44;
// KSDATAFORMAT_SUBTYPE_PCM as it lies in the file.
constexpr std::array<std::uint8_t, 16> kPcmSubformat = {
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::uint16_t le16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

std::uint32_t le32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
         static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

bool hasId(std::span<const std::uint8_t> b, std::size_t at, const char* id) {
  return std::equal(id, id + 4, b.begin() + static_cast<std::ptrdiff_t>(at));
}

// A chunk id for a message; bytes that are not printable show as '?'.
std::string idText(std::span<const std::uint8_t> b, std::size_t at) {
  std::string text = "'";
  for (std::size_t i = at; i < at + 4; ++i)
    text += b[i] >= 0x20 && b[i] < 0x7F ? static_cast<char>(b[i]) : '?';
  return text + "'";
}

WavReadResult failure(std::string message) {
  return {{}, std::move(message)};
}

// Checks the fmt chunk body; returns what is wrong, or nothing when it is 16-bit mono 44100 Hz PCM.
std::optional<std::string> checkFormat(std::span<const std::uint8_t> fmt) {
  if (fmt.size() < kFmtBytes)
    return "fmt chunk of " + std::to_string(fmt.size()) + " bytes is too short (needs 16)";
  const std::uint16_t tag = le16(fmt, 0);
  const std::uint16_t channels = le16(fmt, 2);
  const std::uint32_t rate = le32(fmt, 4);
  const std::uint32_t byteRate = le32(fmt, 8);
  const std::uint16_t blockAlign = le16(fmt, 12);
  const std::uint16_t bits = le16(fmt, 14);
  if (tag == kFormatExtensible) {
    if (fmt.size() < kExtensibleFmtBytes)
      return "extensible fmt chunk of " + std::to_string(fmt.size()) +
             " bytes is too short (needs 40)";
    const std::uint16_t extraBytes = le16(fmt, 16);
    if (extraBytes < 22)
      return "extensible fmt chunk has " + std::to_string(extraBytes) + " extra bytes (needs 22)";
    if (!std::equal(kPcmSubformat.begin(), kPcmSubformat.end(), fmt.begin() + 24))
      return std::string("extensible format subtype is not PCM");
    const std::uint16_t validBits = le16(fmt, 18);
    if (validBits != 16)
      return std::to_string(validBits) + " valid bits per sample; only 16 is supported";
  } else if (tag != kFormatPcm) {
    return "format tag " + std::to_string(tag) + " is not PCM (1)";
  }
  if (channels != 1) return std::to_string(channels) + " channels; only mono (1) is supported";
  if (rate != static_cast<std::uint32_t>(kWavSampleRate))
    return "sample rate " + std::to_string(rate) + " Hz; only 44100 Hz is supported";
  if (bits != 16) return std::to_string(bits) + " bits per sample; only 16 is supported";
  if (blockAlign != 2) return "block align " + std::to_string(blockAlign) + "; 16-bit mono needs 2";
  if (byteRate != 2 * static_cast<std::uint32_t>(kWavSampleRate))
    return "byte rate " + std::to_string(byteRate) + "; 44100 Hz 16-bit mono needs 88200";
  return std::nullopt;
}

void put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>(value >> 8 & 0xFF));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  put16(out, value & 0xFFFF);
  put16(out, value >> 16);
}

void putId(std::vector<std::uint8_t>& out, const char* id) {
  out.insert(out.end(), id, id + 4);
}

}  // namespace

WavReadResult parseWav(std::span<const std::uint8_t> bytes) {
  const std::size_t size = bytes.size();
  if (size < 12) return failure("too short for a RIFF header: " + std::to_string(size) + " bytes");
  if (!hasId(bytes, 0, "RIFF"))
    return failure("not a RIFF file (starts with " + idText(bytes, 0) + ")");
  if (!hasId(bytes, 8, "WAVE"))
    return failure("not a WAVE file (RIFF form " + idText(bytes, 8) + ")");
  const std::size_t riffSize = le32(bytes, 4);
  if (riffSize < 4) return failure("RIFF size " + std::to_string(riffSize) + " is too small");
  if (riffSize > size - 8)
    return failure("truncated: the RIFF header declares " + std::to_string(riffSize) +
                   " bytes but " + std::to_string(size - 8) + " follow");
  // Bytes after the RIFF form (some writers leave padding there) are not part of the file.
  const std::size_t end = 8 + riffSize;

  std::optional<std::span<const std::uint8_t>> fmt;
  std::optional<std::span<const std::uint8_t>> data;
  std::size_t at = 12;
  while (at < end) {
    if (end - at < 8) return failure("truncated chunk header at byte " + std::to_string(at));
    const std::size_t chunkSize = le32(bytes, at + 4);
    const std::size_t body = at + 8;
    if (chunkSize > end - body)
      return failure(idText(bytes, at) + " chunk at byte " + std::to_string(at) + " declares " +
                     std::to_string(chunkSize) + " bytes but " + std::to_string(end - body) +
                     " remain");
    const auto content = bytes.subspan(body, chunkSize);
    if (hasId(bytes, at, "fmt ")) {
      if (fmt) return failure("more than one fmt chunk");
      fmt = content;
    } else if (hasId(bytes, at, "data")) {
      if (data) return failure("more than one data chunk");
      data = content;
    }
    // Chunks start on even bytes; an odd-sized chunk is followed by one pad byte. A missing pad
    // after the last chunk loses nothing, so it is let pass.
    at = body + chunkSize + (chunkSize & 1);
  }

  if (!fmt) return failure("no fmt chunk");
  if (!data) return failure("no data chunk");
  if (const auto wrong = checkFormat(*fmt)) return failure(*wrong);
  if (data->size() % 2 != 0)
    return failure("data chunk of " + std::to_string(data->size()) +
                   " bytes is not a whole number of 16-bit samples");

  WavReadResult result;
  result.samples.resize(data->size() / 2);
  for (std::size_t i = 0; i < result.samples.size(); ++i)
    result.samples[i] = static_cast<std::int16_t>(le16(*data, 2 * i));
  return result;
}

WavReadResult readWavFile(const std::filesystem::path& path) {
  const std::string name = path.string() + ": ";
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error))
    return failure(name + (error ? error.message() : std::string("not a regular file")));
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) return failure(name + error.message());
  if (size > kMaxWavFileBytes)
    return failure(name + "file of " + std::to_string(size) + " bytes is larger than the " +
                   std::to_string(kMaxWavFileBytes) + " accepted");
  std::ifstream in(path, std::ios::binary);
  if (!in) return failure(name + "cannot open");
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (in.gcount() != static_cast<std::streamsize>(bytes.size()))
    return failure(name + "read " + std::to_string(in.gcount()) + " of " + std::to_string(size) +
                   " bytes");
  WavReadResult result = parseWav(bytes);
  if (!result.ok()) result.error = name + result.error;
  return result;
}

std::vector<std::uint8_t> encodeWav(std::span<const std::int16_t> samples) {
  const std::size_t dataBytes = samples.size() * 2;
  if (dataBytes > 0xFFFFFFFFu - (kCanonicalHeaderBytes - 8)) return {};
  std::vector<std::uint8_t> out;
  out.reserve(kCanonicalHeaderBytes + dataBytes);
  putId(out, "RIFF");
  put32(out, static_cast<std::uint32_t>(kCanonicalHeaderBytes - 8 + dataBytes));
  putId(out, "WAVE");
  putId(out, "fmt ");
  put32(out, static_cast<std::uint32_t>(kFmtBytes));
  put16(out, kFormatPcm);
  put16(out, 1);
  put32(out, kWavSampleRate);
  put32(out, 2 * kWavSampleRate);
  put16(out, 2);
  put16(out, 16);
  putId(out, "data");
  put32(out, static_cast<std::uint32_t>(dataBytes));
  for (const std::int16_t sample : samples) put16(out, static_cast<std::uint16_t>(sample));
  return out;
}

std::string writeWavFile(const std::filesystem::path& path, std::span<const std::int16_t> samples) {
  const std::vector<std::uint8_t> bytes = encodeWav(samples);
  if (bytes.empty()) return path.string() + ": too many samples for one WAVE file";
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return path.string() + ": cannot create";
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) return path.string() + ": write failed";
  return {};
}

}  // namespace auralis
