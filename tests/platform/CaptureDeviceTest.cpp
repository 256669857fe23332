#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "DeviceServices.h"
#include "devices/RtAudioSoundInput.h"

namespace auralis::platform::testing {
namespace {

using namespace std::chrono_literals;

// Each returned buffer is the one after the one before, round the ring of eight.
bool inRingOrder(const std::vector<int>& order) {
  for (std::size_t i = 1; i < order.size(); ++i)
    if (order[i] != (order[i - 1] + 1) % CaptureRecorder::kBuffers) return false;
  return !order.empty() && order.front() == 0;
}

class CaptureDeviceTest : public DeviceTest {};

TEST_F(CaptureDeviceTest, TheDefaultInputIsOfferedInTheWantedFormatOnly) {
  RtAudioSoundInput input;
  EXPECT_NE(inputDeviceNamed(input, environment("AURALIS_TEST_MIC_FIFO")), -1);
  EXPECT_TRUE(input.supportsFormat(kDefaultSoundInput, WaveFormat{}));
  EXPECT_FALSE(input.supportsFormat(kDefaultSoundInput, WaveFormat{48000, 1, 16}));
  EXPECT_FALSE(input.supportsFormat(kDefaultSoundInput, WaveFormat{44100, 2, 16}));
  EXPECT_FALSE(input.supportsFormat(kDefaultSoundInput, WaveFormat{44100, 1, 8}));
  EXPECT_FALSE(input.supportsFormat(kNoSoundInput, WaveFormat{}));
  EXPECT_FALSE(input.supportsFormat(99, WaveFormat{}));
  EXPECT_FALSE(input.open(kNoSoundInput, WaveFormat{}, [] {}));
  EXPECT_FALSE(input.isOpen());
}

TEST_F(CaptureDeviceTest, SungToneComesBackInWholeBuffersInQueueOrder) {
  FifoWriter singer(environment("AURALIS_TEST_MIC_FIFO"), harmonicTone(noteFrequency(69)));
  RtAudioSoundInput input;
  CaptureRecorder recorder(input);
  ASSERT_TRUE(recorder.open(kDefaultSoundInput));
  recorder.start();
  ASSERT_EQ(recorder.pump(20, 3s), 20);
  EXPECT_TRUE(inRingOrder(recorder.order));
  EXPECT_EQ(recorder.strayNotices, 0);
  for (std::uint32_t b : recorder.bytes) EXPECT_EQ(b, 2048u);

  // The first buffers may still be silent while the stream starts; the last ones hold the tone.
  const std::int16_t* tail = recorder.samples.data() + recorder.samples.size() - kWindowSamples;
  EXPECT_GT(rootMeanSquare(tail, kWindowSamples), 1000);
  EXPECT_EQ(detectedNote(tail), 69) << "A4";
}

TEST_F(CaptureDeviceTest, StopAndStartKeepTheDeviceOpenAndTheOrder) {
  FifoWriter singer(environment("AURALIS_TEST_MIC_FIFO"), harmonicTone(noteFrequency(64)));
  RtAudioSoundInput input;
  CaptureRecorder recorder(input);
  ASSERT_TRUE(recorder.open(kDefaultSoundInput));
  std::size_t lastRun = 0;
  for (int run = 0; run < 3; ++run) {
    lastRun = recorder.samples.size();
    recorder.start();
    ASSERT_EQ(recorder.pump(5, 2s), 5) << "run " << run;
    recorder.stop();
    EXPECT_TRUE(input.isOpen());
    // The buffer being filled comes back with what it holds; nothing more comes while stopped.
    std::this_thread::sleep_for(100ms);
    recorder.drain();
    const std::size_t returned = recorder.order.size();
    std::this_thread::sleep_for(100ms);
    recorder.drain();
    EXPECT_EQ(recorder.order.size(), returned) << "run " << run;
  }
  EXPECT_TRUE(inRingOrder(recorder.order));
  EXPECT_EQ(recorder.strayNotices, 0);
  for (std::uint32_t b : recorder.bytes) {
    EXPECT_GT(b, 0u);
    EXPECT_LE(b, 2048u);
  }
  // The sound of the last run is the singer's: E4 is what its windows hear most. A window across
  // the start, where the server may join older sound to new, can hear something else.
  std::map<int, int> heard;
  for (std::size_t at = lastRun; at + kWindowSamples <= recorder.samples.size(); at += 512)
    if (const int note = detectedNote(recorder.samples.data() + at); note != 0) ++heard[note];
  ASSERT_FALSE(heard.empty()) << "no note heard";
  const auto most = std::max_element(
      heard.begin(), heard.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
  EXPECT_EQ(most->first, 64) << "E4";
}

TEST_F(CaptureDeviceTest, NoSoundServerMeansNoDevicesRatherThanAnError) {
  EXPECT_IN_FRESH_PROCESS({
    const ScopedEnvironment noPulse("PULSE_SERVER", "unix:/nonexistent/native");
    const ScopedEnvironment noJack("JACK_DEFAULT_SERVER", "auralis-nonexistent");
    RtAudioSoundInput input;
    EXPECT_TRUE(input.deviceNames().empty());
    EXPECT_FALSE(input.supportsFormat(kDefaultSoundInput, WaveFormat{}));
    EXPECT_FALSE(input.open(kDefaultSoundInput, WaveFormat{}, [] {}));
    EXPECT_FALSE(input.isOpen());
    // Calls on the unopened device change nothing.
    input.start();
    input.stop();
    input.close();
    EXPECT_FALSE(input.isOpen());
  });
}

}  // namespace
}  // namespace auralis::platform::testing
