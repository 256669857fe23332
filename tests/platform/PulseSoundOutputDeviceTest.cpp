#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "DeviceServices.h"
#include "devices/PulseCapture.h"
#include "devices/PulseSoundOutput.h"
#include "platform/WaveData.h"

namespace auralis::platform::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Outcome = PulseSoundOutput::Outcome;

constexpr std::size_t kFragment = 256;
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

// Plays on the test's own server and records its sink's monitor. The recorder keeps the null
// sink's latency to its fragment.
class PulseSoundOutputDeviceTest : public PrivatePulseServerTest {
 protected:
  void startRecording() {
    monitor_ = PulseCapture::open(
        "@DEFAULT_MONITOR@", kFragment,
        [this](const std::int16_t* samples, std::size_t count) {
          std::lock_guard lock(mutex_);
          heard_.insert(heard_.end(), samples, samples + count);
        },
        [] {}, 2s);
    ASSERT_NE(monitor_, nullptr);
    monitor_->start();
    // A fresh null sink first mixes two seconds ahead at once, and its monitor delivers nothing
    // meanwhile: the sound waits until the monitor delivers as time passes.
    const Clock::time_point deadline = Clock::now() + 5s;
    while (Clock::now() < deadline && heard().size() < kRate / 2) std::this_thread::sleep_for(10ms);
    std::lock_guard lock(mutex_);
    ASSERT_GE(heard_.size(), static_cast<std::size_t>(kRate / 2)) << "the monitor delivers";
    heard_.clear();
  }

  std::vector<std::int16_t> heard() {
    std::lock_guard lock(mutex_);
    return heard_;
  }

  PulseSoundOutput output;

 private:
  std::unique_ptr<PulseCapture> monitor_;
  std::mutex mutex_;
  std::vector<std::int16_t> heard_;
};

TEST_F(PulseSoundOutputDeviceTest, ASoundIsHeardWholeAtItsPitchBeforeThePlayReturns) {
  ASSERT_NO_FATAL_FAILURE(startRecording());
  const WaveSound sound = toneAt22050(300ms);
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(output.play(sound, start + 1s), Outcome::Played);
  EXPECT_GE(Clock::now() - start, 350ms) << "returns once the sound has sounded";
  EXPECT_LT(Clock::now() - start, 800ms);

  std::this_thread::sleep_for(200ms);
  const std::vector<std::int16_t> recorded = heard();
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
