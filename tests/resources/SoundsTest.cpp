#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "FileBytes.h"
#include "tools/make-sounds/SoundingLevel.h"

namespace auralis::testing {
namespace {

constexpr int kFullScale = 32767;

struct SoundCase {
  const char* file;
  int channels;
  double seconds;
  bool startsWithClick;  // the one sound meant to be heard as a click
};

constexpr SoundCase kSounds[] = {
    {"correct.wav", 1, 0.013, true},
    {"incorrect.wav", 1, 0.39, false},
    {"promote.wav", 2, 0.63, false},
    {"demote.wav", 1, 0.51, false},
};

struct Wave {
  int format = 0;
  int channels = 0;
  int sampleRate = 0;
  int byteRate = 0;
  int blockAlign = 0;
  int bits = 0;
  std::vector<std::int16_t> samples;  // interleaved
  std::string problem;                // empty when the file holds together

  std::size_t frames() const { return samples.size() / static_cast<std::size_t>(channels); }
  double seconds() const { return static_cast<double>(frames()) / sampleRate; }
  int sample(std::size_t frame, int channel) const {
    return samples[frame * static_cast<std::size_t>(channels) + static_cast<std::size_t>(channel)];
  }
};

// Walks the chunks strictly: the RIFF size must cover the file exactly, and the chunks must
// tile it with one "fmt " before one "data".
Wave readWave(const std::vector<std::uint8_t>& bytes) {
  Wave wave;
  if (tagAt(bytes, 0) != "RIFF" || tagAt(bytes, 8) != "WAVE") {
    wave.problem = "no RIFF WAVE header";
    return wave;
  }
  if (littleEndianAt(bytes, 4, 4) + 8 != bytes.size()) {
    wave.problem = "RIFF size does not match the file";
    return wave;
  }
  bool haveFormat = false;
  std::size_t at = 12;
  while (at < bytes.size()) {
    if (at + 8 > bytes.size()) {
      wave.problem = "chunk header cut short";
      return wave;
    }
    const std::string tag = tagAt(bytes, at);
    const std::size_t size = littleEndianAt(bytes, at + 4, 4);
    const std::size_t body = at + 8;
    if (body + size > bytes.size()) {
      wave.problem = "chunk " + tag + " runs past the end";
      return wave;
    }
    if (tag == "fmt ") {
      if (size != 16) {
        wave.problem = "fmt chunk is not 16 bytes";
        return wave;
      }
      wave.format = static_cast<int>(littleEndianAt(bytes, body, 2));
      wave.channels = static_cast<int>(littleEndianAt(bytes, body + 2, 2));
      wave.sampleRate = static_cast<int>(littleEndianAt(bytes, body + 4, 4));
      wave.byteRate = static_cast<int>(littleEndianAt(bytes, body + 8, 4));
      wave.blockAlign = static_cast<int>(littleEndianAt(bytes, body + 12, 2));
      wave.bits = static_cast<int>(littleEndianAt(bytes, body + 14, 2));
      haveFormat = true;
    } else if (tag == "data") {
      if (!haveFormat || wave.blockAlign == 0 || size % wave.blockAlign != 0) {
        wave.problem = "data without a format, or not whole frames";
        return wave;
      }
      for (std::size_t i = 0; i < size; i += 2) {
        wave.samples.push_back(static_cast<std::int16_t>(littleEndianAt(bytes, body + i, 2)));
      }
    }
    at = body + size + size % 2;
  }
  if (wave.samples.empty()) wave.problem = "no samples";
  return wave;
}

Wave committed(const char* file) {
  return readWave(fileBytes(kResources / "sounds" / file));
}

double rms(const Wave& wave, int channel, double fromSeconds, double toSeconds) {
  const auto first = static_cast<std::size_t>(fromSeconds * wave.sampleRate);
  const auto last = std::min(wave.frames(), static_cast<std::size_t>(toSeconds * wave.sampleRate));
  double sum = 0.0;
  for (std::size_t frame = first; frame < last; ++frame) {
    const double value = wave.sample(frame, channel);
    sum += value * value;
  }
  return last > first ? std::sqrt(sum / static_cast<double>(last - first)) : 0.0;
}

// Half the rate of sign changes of the first channel: the pitch of a single note, and a rough
// measure of brightness for a chord.
double crossingFrequency(const Wave& wave, double fromSeconds, double toSeconds) {
  const auto first = static_cast<std::size_t>(fromSeconds * wave.sampleRate);
  const auto last = std::min(wave.frames(), static_cast<std::size_t>(toSeconds * wave.sampleRate));
  int crossings = 0;
  for (std::size_t frame = first + 1; frame < last; ++frame) {
    if ((wave.sample(frame - 1, 0) < 0) != (wave.sample(frame, 0) < 0)) ++crossings;
  }
  return crossings / 2.0 / (toSeconds - fromSeconds);
}

TEST(FeedbackSounds, AreWholePcmFilesOfTheirFormatAndLength) {
  for (const SoundCase& sound : kSounds) {
    SCOPED_TRACE(sound.file);
    const Wave wave = committed(sound.file);
    ASSERT_EQ(wave.problem, "");
    EXPECT_EQ(wave.format, 1);
    EXPECT_EQ(wave.channels, sound.channels);
    EXPECT_EQ(wave.sampleRate, 22050);
    EXPECT_EQ(wave.bits, 16);
    EXPECT_EQ(wave.blockAlign, sound.channels * 2);
    EXPECT_EQ(wave.byteRate, 22050 * sound.channels * 2);
    EXPECT_NEAR(wave.seconds(), sound.seconds, sound.seconds * 0.15);
  }
}

// The mean of the channels, as a mono output plays them.
std::vector<double> monoOf(const Wave& wave) {
  std::vector<double> mono;
  for (std::size_t frame = 0; frame < wave.frames(); ++frame) {
    double sum = 0.0;
    for (int channel = 0; channel < wave.channels; ++channel) sum += wave.sample(frame, channel);
    mono.push_back(sum / wave.channels);
  }
  return mono;
}

// All four sit where the synthesiser's question notes do at the default volume, about -28.5 dBFS
// (the device tests hear both through the speakers), with room to spare below full scale.
TEST(FeedbackSounds, NeverClipAndAllSoundAsLoudAsAQuestionNote) {
  for (const SoundCase& sound : kSounds) {
    SCOPED_TRACE(sound.file);
    const Wave wave = committed(sound.file);
    ASSERT_EQ(wave.problem, "");
    const auto [low, high] = std::minmax_element(wave.samples.begin(), wave.samples.end());
    const int peak = std::max(-static_cast<int>(*low), static_cast<int>(*high));
    EXPECT_LT(peak, kFullScale * 9 / 10);
    const std::vector<double> mono = monoOf(wave);
    const double level = 20 * std::log10(soundingRms(std::span<const double>(mono)) / 32768.0);
    EXPECT_NEAR(level, -28.5, 1.0);
  }
}

// Each millisecond at either end is compared with the sound as a whole: a sound that starts
// or stops at full strength is heard as a click.
TEST(FeedbackSounds, FadeInAndOutExceptTheIntendedClick) {
  for (const SoundCase& sound : kSounds) {
    SCOPED_TRACE(sound.file);
    const Wave wave = committed(sound.file);
    ASSERT_EQ(wave.problem, "");
    const double end = wave.seconds();
    for (int channel = 0; channel < wave.channels; ++channel) {
      const double whole = rms(wave, channel, 0.0, end);
      EXPECT_LT(std::abs(wave.sample(wave.frames() - 1, channel)), kFullScale / 100);
      EXPECT_LT(rms(wave, channel, end - 0.001, end), whole / 10);
      if (sound.startsWithClick) {
        EXPECT_GT(rms(wave, channel, 0.0, 0.001), whole);
      } else {
        EXPECT_LT(std::abs(wave.sample(0, channel)), kFullScale / 100);
        EXPECT_LT(rms(wave, channel, 0.0, 0.001), whole / 2);
      }
    }
  }
}

TEST(FeedbackSounds, WrongAnswerBuzzIsLowAndFalls) {
  const Wave wave = committed("incorrect.wav");
  ASSERT_EQ(wave.problem, "");
  const double first = crossingFrequency(wave, 0.02, 0.15);
  const double second = crossingFrequency(wave, 0.2, 0.37);
  EXPECT_LT(first, 300.0);
  EXPECT_LT(second, first * 0.85);
}

TEST(FeedbackSounds, DemotionFallsAndPromotionRisesFromLeftToRight) {
  const Wave demote = committed("demote.wav");
  ASSERT_EQ(demote.problem, "");
  EXPECT_GT(crossingFrequency(demote, 0.01, 0.14), crossingFrequency(demote, 0.16, 0.29));
  EXPECT_GT(crossingFrequency(demote, 0.16, 0.29), crossingFrequency(demote, 0.31, 0.48));

  const Wave promote = committed("promote.wav");
  ASSERT_EQ(promote.problem, "");
  EXPECT_LT(crossingFrequency(promote, 0.0, 0.1), crossingFrequency(promote, 0.3, 0.45));
  // The first note sits on the left; by the last one the balance has moved right.
  const double earlyBalance = rms(promote, 1, 0.0, 0.1) / rms(promote, 0, 0.0, 0.1);
  const double lateBalance = rms(promote, 1, 0.3, 0.45) / rms(promote, 0, 0.3, 0.45);
  EXPECT_LT(earlyBalance, 0.8);
  EXPECT_GT(lateBalance, earlyBalance * 1.3);
}

TEST(FeedbackSounds, GeneratorRemakesTheCommittedFilesByteForByte) {
  std::string folder = (std::filesystem::temp_directory_path() / "auralis-sounds-XXXXXX").string();
  ASSERT_NE(mkdtemp(folder.data()), nullptr);
  const std::string command = std::string("'") + AURALIS_MAKE_SOUNDS + "' '" + folder + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  for (const SoundCase& sound : kSounds) {
    SCOPED_TRACE(sound.file);
    const std::vector<std::uint8_t> made = fileBytes(std::filesystem::path(folder) / sound.file);
    EXPECT_FALSE(made.empty());
    EXPECT_TRUE(made == fileBytes(kResources / "sounds" / sound.file));
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace auralis::testing
