#include "platform/WaveData.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace auralis::platform {
namespace {

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

std::optional<WaveSound> parse(const std::vector<std::uint8_t>& bytes) {
  return parseWave(bytes.data(), bytes.size());
}

TEST(WaveData, ReadsMonoAndStereoPcmAtTheirOwnRates) {
  const auto mono = parse(WaveBuilder().format(1, 1, 22050, 16).samples({1, -2, 32767}).file());
  ASSERT_TRUE(mono);
  EXPECT_EQ(mono->sampleRate, 22050);
  EXPECT_EQ(mono->channels, 1);
  EXPECT_EQ(mono->samples, (std::vector<std::int16_t>{1, -2, 32767}));
  EXPECT_DOUBLE_EQ(mono->seconds(), 3.0 / 22050);

  const auto stereo =
      parse(WaveBuilder().format(1, 2, 44100, 16).samples({1, 2, 3, 4, -32768, 6}).file());
  ASSERT_TRUE(stereo);
  EXPECT_EQ(stereo->channels, 2);
  EXPECT_EQ(stereo->frames(), 3u);
  EXPECT_EQ(stereo->samples.back(), 6);
}

TEST(WaveData, SkipsOtherChunksIncludingOddSizedOnesWithTheirPadding) {
  const auto sound = parse(WaveBuilder()
                               .chunk("LIST", {'a', 'b', 'c'})
                               .format(1, 1, 8000, 16)
                               .chunk("fact", {1, 0, 0, 0})
                               .samples({7, 8})
                               .file());
  ASSERT_TRUE(sound);
  EXPECT_EQ(sound->samples, (std::vector<std::int16_t>{7, 8}));
}

TEST(WaveData, DataCutShortGivesTheWholeFramesThatAreThere) {
  const std::vector<std::uint8_t> whole =
      WaveBuilder().format(1, 2, 22050, 16).samples({1, 2, 3, 4, 5, 6}).file(1000);
  // The last frame loses three of its four bytes.
  const std::vector<std::uint8_t> cut(whole.begin(), whole.end() - 3);
  const auto sound = parse(cut);
  ASSERT_TRUE(sound);
  EXPECT_EQ(sound->frames(), 2u);
  EXPECT_EQ(sound->samples, (std::vector<std::int16_t>{1, 2, 3, 4}));
}

TEST(WaveData, RefusesWhatItCannotPlayOrWhatDoesNotHoldTogether) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
  };
  const std::vector<std::uint8_t> good = WaveBuilder().format(1, 1, 22050, 16).samples({1}).file();
  std::vector<std::uint8_t> notRiff = good;
  notRiff[0] = 'X';
  std::vector<std::uint8_t> notWave = good;
  notWave[8] = 'X';
  const std::vector<Case> cases = {
      {"empty", {}},
      {"only the RIFF header", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V'}},
      {"not RIFF", notRiff},
      {"not WAVE", notWave},
      {"no format chunk", WaveBuilder().samples({1, 2}).file()},
      {"no data chunk", WaveBuilder().format(1, 1, 22050, 16).file()},
      {"8 bits", WaveBuilder().format(1, 1, 22050, 8).chunk("data", {1, 2}).file()},
      {"24 bits", WaveBuilder().format(1, 1, 22050, 24).chunk("data", {1, 2, 3}).file()},
      {"three channels", WaveBuilder().format(1, 3, 22050, 16).samples({1, 2, 3}).file()},
      {"no channels", WaveBuilder().format(1, 0, 22050, 16).samples({1}).file()},
      {"floating point", WaveBuilder().format(3, 1, 22050, 16).samples({1}).file()},
      {"rate 0", WaveBuilder().format(1, 1, 0, 16).samples({1}).file()},
      {"format chunk too short", WaveBuilder().chunk("fmt ", {1, 0, 1, 0}).samples({1}).file()},
      {"format chunk past the end",
       WaveBuilder().samples({1}).chunk("fmt ", std::vector<std::uint8_t>(16), 4000).file()},
  };
  for (const Case& c : cases) EXPECT_FALSE(parse(c.bytes)) << c.what;
  EXPECT_FALSE(parseWave(nullptr, 100));
}

TEST(WaveData, ARiffSizeBeyondTheBufferIsNotBelieved) {
  const auto sound = parse(WaveBuilder().format(1, 1, 22050, 16).samples({5, 6}).file(0xFFFFFFF0));
  ASSERT_TRUE(sound);
  EXPECT_EQ(sound->samples, (std::vector<std::int16_t>{5, 6}));
}

}  // namespace
}  // namespace auralis::platform
