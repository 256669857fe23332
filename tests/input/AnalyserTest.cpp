#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "input/WavFile.h"
#include "tests/input/Signals.h"
#include "tests/platform/WaveBuilder.h"
#include "tools/analyse/Analyser.h"

namespace auralis::analyse {
namespace {

using platform::testing::WaveBuilder;

constexpr int kA4 = 48;

std::vector<std::int16_t> toneA4(double amplitude, int samples) {
  signals::Tone tone;
  tone.frequency = signals::noteHz(kA4);
  tone.amplitude = amplitude;
  return signals::harmonicTone(tone, samples);
}

std::vector<int> acceptedFrames(const std::vector<AnalysedFrame>& frames) {
  std::vector<int> accepted;
  for (const AnalysedFrame& f : frames)
    if (f.accepted != 0) accepted.push_back(f.frame);
  return accepted;
}

class AnalyserFiles : public ::testing::Test {
 protected:
  AnalyserFiles() {
    folder_ =
        std::filesystem::temp_directory_path() /
        ("auralis-analyse-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder_);
  }
  ~AnalyserFiles() override { std::filesystem::remove_all(folder_); }

  std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::filesystem::path path = folder_ / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }

  int run(std::vector<std::string> args) {
    out_.str("");
    err_.str("");
    return runAnalyser(args, out_, err_);
  }

  std::filesystem::path folder_;
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST(AnalyserTest, AHeldToneIsAcceptedAfterTheQuestionsFramesAndOncePerHoldOff) {
  const int samples = 60 * kBufferSamples + 300;
  const std::vector<AnalysedFrame> frames = analyseRecording(toneA4(6000, samples), kThresholdHigh);

  // Sixty whole buffers and the part that the stop at the end returns.
  ASSERT_EQ(frames.size(), 61u);
  EXPECT_EQ(frames[0].result.DetectedNote, 0);  // the first buffer is only stored
  for (int k = 1; k < 60; ++k) {
    const AnalysedFrame& f = frames[static_cast<std::size_t>(k)];
    EXPECT_EQ(f.frame, k + 1);
    EXPECT_DOUBLE_EQ(f.seconds, (k + 1) * 1024.0 / 44100.0);
    EXPECT_EQ(f.result.DetectedNote, kA4) << k;
  }
  EXPECT_DOUBLE_EQ(frames.back().seconds, samples / 44100.0);
  EXPECT_EQ(acceptedFrames(frames), (std::vector<int>{21, 56}));
  EXPECT_EQ(frames[20].accepted, 'a');
}

TEST(AnalyserTest, SensitivityDecidesHowLoudAVoiceMustBe) {
  const struct {
    double amplitude;
    bool high;
    bool medium;
    bool low;
  } cases[] = {{180, true, false, false}, {290, true, true, false}, {500, true, true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.amplitude);
    const std::vector<std::int16_t> sound = toneA4(c.amplitude, 30 * kBufferSamples);
    const bool expected[] = {c.high, c.medium, c.low};
    const int thresholds[] = {kThresholdHigh, kThresholdMedium, kThresholdLow};
    for (int i = 0; i < 3; ++i) {
      const std::vector<AnalysedFrame> frames = analyseRecording(sound, thresholds[i]);
      EXPECT_EQ(frames[10].result.DetectedNote == kA4, expected[i]) << thresholds[i];
      EXPECT_EQ(acceptedFrames(frames).size(), expected[i] ? 1u : 0u) << thresholds[i];
    }
  }
}

TEST_F(AnalyserFiles, PrintsOneLinePerFrameAfterTheHeader) {
  std::vector<std::int16_t> sound(5 * kBufferSamples, 0);
  const std::vector<std::int16_t> voice = toneA4(6000, 30 * kBufferSamples);
  sound.insert(sound.end(), voice.begin(), voice.end());
  const std::string file = write("voice.wav", encodeWav(sound));

  ASSERT_EQ(run({"--sensitivity=Medium", file}), 0) << err_.str();
  EXPECT_EQ(err_.str(), "");
  std::istringstream lines(out_.str());
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "# " + file + ": 35840 samples, sensitivity Medium (threshold 666)");
  std::getline(lines, line);
  EXPECT_EQ(line.rfind("# frame", 0), 0u);
  std::vector<std::string> rows;
  std::vector<std::string> told;  // comment lines after the frame that told them
  while (std::getline(lines, line)) (line.starts_with("#") ? told : rows).push_back(line);
  ASSERT_EQ(rows.size(), 35u);
  // The A4 still sounds at the end of the file, where it is kept.
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].rfind("#   held note 69 cents ", 0), 0u) << told[0];
  EXPECT_NE(told[0].find(" accepted yes judged none"), std::string::npos) << told[0];
  EXPECT_EQ(rows[0], "      1    0.023    0  -1    0        0.0 -");
  EXPECT_EQ(rows[9], "     10    0.232   48   9    6      440.0 -");
  EXPECT_EQ(rows[20], "     21    0.488   48   9    6      440.0 a");
}

TEST_F(AnalyserFiles, BadFilesAndBadUsageFailWithAMessage) {
  const std::vector<std::int16_t> sound = toneA4(6000, 4 * kBufferSamples);
  const std::vector<std::uint8_t> good = encodeWav(sound);
  std::vector<std::uint8_t> truncated(good.begin(), good.end() - 1000);
  const std::string folder = folder_.string();

  const struct {
    const char* name;
    std::vector<std::string> args;
    int status;
    const char* says;
  } cases[] = {
      {"missing file", {folder + "/none.wav"}, 1, "no such file"},
      {"not RIFF",
       {write("text.wav", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!'})},
       1,
       "not a RIFF file"},
      {"truncated", {write("cut.wav", truncated)}, 1, "truncated"},
      {"stereo",
       {write("stereo.wav", WaveBuilder().format(1, 2, 44100, 16).samples(sound).file())},
       1,
       "channel"},
      {"48 kHz",
       {write("48k.wav", WaveBuilder().format(1, 1, 48000, 16).samples(sound).file())},
       1,
       "48000"},
      {"no file", {}, 2, "no file given"},
      {"unknown option", {"--loud", "a.wav"}, 2, "unknown option --loud"},
      {"wrong sensitivity", {"--sensitivity", "Max", "a.wav"}, 2, "High, Medium or Low"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(run(c.args), c.status);
    EXPECT_EQ(out_.str(), "");
    EXPECT_EQ(err_.str().rfind("auralis-analyse: ", 0), 0u) << err_.str();
    EXPECT_NE(err_.str().find(c.says), std::string::npos) << err_.str();
  }
}

}  // namespace
}  // namespace auralis::analyse
