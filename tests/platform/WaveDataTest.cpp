#include "platform/WaveData.h"

#include <gtest/gtest.h>

#include <vector>

#include "WaveBuilder.h"

namespace auralis::platform {
namespace {

using testing::WaveBuilder;

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
