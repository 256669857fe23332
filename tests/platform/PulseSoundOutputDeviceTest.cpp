#include <gtest/gtest.h>

#include <future>
#include <thread>
#include <vector>

#include "DeviceServices.h"
#include "devices/PulseSoundOutput.h"
#include "devices/RtAudioSoundInput.h"
#include "platform/WaveData.h"

namespace auralis::platform::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Outcome = PulseSoundOutput::Outcome;

constexpr std::size_t kTenMilliseconds = kRate / 100;

// A4 for the given time at 22050 Hz, the rate of the program's own sounds, after 50 ms of
// silence: a recorder of the monitor may miss the first milliseconds of a stream.
WaveSound toneAt22050(std::chrono::milliseconds length) {
  const auto tone = harmonicTone(440.0);
  WaveSound sound{22050, 1, std::vector<std::int16_t>(22050 / 20, 0)};
  for (std::int64_t i = 0; i < 22050 * length.count() / 1000; ++i)
    sound.samples.push_back(tone(2 * i));
  return sound;
}

// Plays on the test's own server.
using PulseSoundOutputDeviceTest = PrivatePulseServerTest;

TEST_F(PulseSoundOutputDeviceTest, ASoundIsHeardWholeAtItsPitchBeforeThePlayReturns) {
  RtAudioSoundInput input;
  CaptureRecorder monitor(input);
  ASSERT_TRUE(monitor.open(inputDeviceNamed(input, "Monitor of")));
  monitor.start();
  ASSERT_TRUE(monitor.settle(8s)) << "the monitor delivers as time passes";
  const std::size_t before = monitor.samples.size();

  PulseSoundOutput output;
  const WaveSound sound = toneAt22050(300ms);
  const Clock::time_point start = Clock::now();
  std::future<Outcome> playing =
      std::async(std::launch::async, [&] { return output.play(sound, start + 1s); });
  while (playing.wait_for(0ms) != std::future_status::ready) monitor.pump(1, 20ms);
  EXPECT_GE(Clock::now() - start, 350ms) << "returns once the sound has sounded";
  EXPECT_LT(Clock::now() - start, 800ms);
  EXPECT_EQ(playing.get(), Outcome::Played);

  monitor.pump(10, 300ms);
  const std::vector<std::int16_t> recorded(monitor.samples.begin() + before, monitor.samples.end());
  std::size_t sounding = 0;
  std::size_t last = 0;
  for (std::size_t at = 0; at + kTenMilliseconds <= recorded.size(); at += kTenMilliseconds) {
    if (rootMeanSquare(recorded.data() + at, kTenMilliseconds) < 1000) continue;
    ++sounding;
    last = at;
  }
  EXPECT_NEAR(static_cast<double>(sounding), 30, 2) << "tens of milliseconds sounding";
  ASSERT_GE(last, kWindowSamples);
  EXPECT_EQ(detectedNote(recorded.data() + last + kTenMilliseconds - kWindowSamples), 69)
      << "A4: the sound's own rate is kept";
}

// A server that goes mid-sound ends the play at once, and is told apart from one that was never
// there: only the latter lets the player try another output.
TEST_F(PulseSoundOutputDeviceTest, AServerGoneMidSoundFailsAtOnceAndOneMissingIsNoServer) {
  PulseSoundOutput output;
  const WaveSound sound = toneAt22050(2000ms);
  std::future<Outcome> playing =
      std::async(std::launch::async, [&] { return output.play(sound, Clock::now() + 3s); });
  std::this_thread::sleep_for(300ms);
  server.kill();
  const Clock::time_point killed = Clock::now();
  ASSERT_EQ(playing.wait_for(2s), std::future_status::ready);
  EXPECT_LT(Clock::now() - killed, 500ms);
  EXPECT_EQ(playing.get(), Outcome::Failed);

  const Clock::time_point asked = Clock::now();
  EXPECT_EQ(output.play(sound, asked + 3s), Outcome::NoServer);
  EXPECT_LT(Clock::now() - asked, 300ms);

  ASSERT_TRUE(server.start());
  EXPECT_EQ(output.play(toneAt22050(100ms), Clock::now() + 1s), Outcome::Played);
}

}  // namespace
}  // namespace auralis::platform::testing
