#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace auralis::platform::testing {

// Writes RIFF WAVE files chunk by chunk, with sizes that may lie.
class WaveBuilder {
 public:
  WaveBuilder& chunk(const std::string& id, const std::vector<std::uint8_t>& body,
                     std::uint32_t claimedSize) {
    text(id);
    word(claimedSize);
    chunks_.insert(chunks_.end(), body.begin(), body.end());
    if (body.size() % 2 == 1) chunks_.push_back(0);
    return *this;
  }
  WaveBuilder& chunk(const std::string& id, const std::vector<std::uint8_t>& body) {
    return chunk(id, body, static_cast<std::uint32_t>(body.size()));
  }
  WaveBuilder& format(int tag, int channels, int rate, int bits) {
    const int align = channels * bits / 8;
    std::vector<std::uint8_t> body;
    auto put = [&body](std::uint32_t v, int bytes) {
      for (int i = 0; i < bytes; ++i) body.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    put(static_cast<std::uint32_t>(tag), 2);
    put(static_cast<std::uint32_t>(channels), 2);
    put(static_cast<std::uint32_t>(rate), 4);
    put(static_cast<std::uint32_t>(rate * align), 4);
    put(static_cast<std::uint32_t>(align), 2);
    put(static_cast<std::uint32_t>(bits), 2);
    return chunk("fmt ", body);
  }
  WaveBuilder& samples(const std::vector<std::int16_t>& values) {
    std::vector<std::uint8_t> body(values.size() * 2);
    std::memcpy(body.data(), values.data(), body.size());
    return chunk("data", body);
  }
  std::vector<std::uint8_t> file() const {
    return file(static_cast<std::uint32_t>(chunks_.size() + 4));
  }
  std::vector<std::uint8_t> file(std::uint32_t claimedRiffSize) const {
    std::vector<std::uint8_t> bytes = {'R', 'I', 'F', 'F'};
    for (int i = 0; i < 4; ++i)
      bytes.push_back(static_cast<std::uint8_t>(claimedRiffSize >> (8 * i)));
    bytes.insert(bytes.end(), {'W', 'A', 'V', 'E'});
    bytes.insert(bytes.end(), chunks_.begin(), chunks_.end());
    return bytes;
  }

 private:
  void text(const std::string& id) { chunks_.insert(chunks_.end(), id.begin(), id.end()); }
  void word(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) chunks_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  std::vector<std::uint8_t> chunks_;
};

}  // namespace auralis::platform::testing
