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

// The tens of milliseconds of a recording that sound, and where the last of them starts.
struct Sounding {
  std::size_t windows = 0;
  std::size_t last = 0;
};

Sounding soundingIn(const std::vector<std::int16_t>& recorded) {
  Sounding sounding;
  for (std::size_t at = 0; at + kTenMilliseconds <= recorded.size(); at += kTenMilliseconds) {
    if (rootMeanSquare(recorded.data() + at, kTenMilliseconds) < 1000) continue;
    ++sounding.windows;
    sounding.last = at;
  }
  return sounding;
}

// Plays on the test's own server, recording its monitor.
class PulseSoundOutputDeviceTest : public PrivatePulseServerTest {
 protected:
  void SetUp() override {
    PrivatePulseServerTest::SetUp();
    ASSERT_TRUE(monitor.open(inputDeviceNamed(input, "Monitor of")));
    monitor.start();
    ASSERT_TRUE(monitor.settle(8s)) << "the monitor delivers as time passes";
  }

  // Plays the sound, and returns how long the play took and what the monitor recorded from its
  // start until 300 ms after.
  std::pair<Clock::duration, std::vector<std::int16_t>> played(const WaveSound& sound) {
    const std::size_t before = monitor.samples.size();
    const Clock::time_point start = Clock::now();
    std::future<Outcome> playing =
        std::async(std::launch::async, [&] { return output.play(sound, start + 1s); });
    while (playing.wait_for(0ms) != std::future_status::ready) monitor.pump(1, 20ms);
    const Clock::duration took = Clock::now() - start;
    EXPECT_EQ(playing.get(), Outcome::Played);
    monitor.pump(10, 300ms);
    return {took, {monitor.samples.begin() + before, monitor.samples.end()}};
  }

  RtAudioSoundInput input;
  CaptureRecorder monitor{input};
  PulseSoundOutput output;
};

TEST_F(PulseSoundOutputDeviceTest, ASoundIsHeardWholeAtItsPitchBeforeThePlayReturns) {
  const auto [took, recorded] = played(toneAt22050(300ms));
  EXPECT_GE(took, 350ms) << "returns once the sound has sounded";
  EXPECT_LT(took, 800ms);
  const Sounding sounding = soundingIn(recorded);
  EXPECT_NEAR(static_cast<double>(sounding.windows), 30, 2) << "tens of milliseconds sounding";
  ASSERT_GE(sounding.last, kWindowSamples);
  EXPECT_EQ(detectedNote(recorded.data() + sounding.last + kTenMilliseconds - kWindowSamples), 69)
      << "A4: the sound's own rate is kept";
}

// The output keeps its stream between sounds of one format, corked. Each later sound, however
// short (the CORRECT click is 13 ms) and however soon, is heard from its start.
TEST_F(PulseSoundOutputDeviceTest, LaterSoundsOnTheKeptStreamAreHeardFromTheirStart) {
  played(toneAt22050(100ms));
  WaveSound click = toneAt22050(13ms);
  click.samples.erase(click.samples.begin(), click.samples.begin() + 22050 / 20);
  for (const auto pause : {0ms, 100ms, 1000ms}) {
    std::this_thread::sleep_for(pause);
    EXPECT_GE(soundingIn(played(click).second).windows, 1U) << "after " << pause.count() << " ms";
  }
}

// A server that goes mid-sound ends the play at once, and is told apart from one that was never
// there: only the latter lets the player try another output.
using PulseSoundOutputServerTest = PrivatePulseServerTest;

TEST_F(PulseSoundOutputServerTest, AServerGoneMidSoundFailsAtOnceAndOneMissingIsNoServer) {
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
