#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "app/FeedbackSounds.h"
#include "platform/FakeFeedbackSoundPlayer.h"
#include "tests/platform/Gate.h"

namespace auralis::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Opens the gate after a long while, should the code under test wait for it: the test then
// fails rather than hang.
class GateOpener {
 public:
  explicit GateOpener(std::shared_ptr<platform::testing::Gate> gate)
      : thread_([this, gate] {
          std::unique_lock lock(mutex_);
          if (!done_.wait_for(lock, 10s, [this] { return finished_; })) opened = true;
          gate->open();
        }) {}
  ~GateOpener() { openNow(); }
  void openNow() {
    {
      std::lock_guard lock(mutex_);
      finished_ = true;
    }
    done_.notify_one();
    if (thread_.joinable()) thread_.join();
  }
  std::atomic<bool> opened{false};  // by the timeout

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false;
  std::thread thread_;
};

TEST(FeedbackSoundWait, AStalledOutputHoldsTheLessonNoLongerThanTheSoundAndSkipsWhatFollows) {
  platform::FakeFeedbackSoundPlayer player;
  player.onDeviceThread = true;
  auto gate = std::make_shared<platform::testing::Gate>();
  player.onPlay = [gate] { gate->pass(); };
  FeedbackSounds sounds(player);
  ASSERT_FALSE(sounds.wave(FeedbackSound::Promote).isEmpty());
  GateOpener opener(gate);

  sounds.play(FeedbackSound::Promote);
  EXPECT_FALSE(opener.opened) << "play waited for the stalled output";
  sounds.play(FeedbackSound::Correct);
  EXPECT_FALSE(opener.opened) << "the next sound waited for it too";
  EXPECT_FALSE(sounds.FinishPlaying(Clock::now()));

  opener.openNow();
  ASSERT_TRUE(sounds.FinishPlaying(Clock::now() + 5s));
  player.onPlay = nullptr;
  ASSERT_EQ(player.played.size(), 1u) << "a sound met with a stalled output is not played late";
  EXPECT_EQ(player.played[0].bytes,
            static_cast<std::size_t>(sounds.wave(FeedbackSound::Promote).size()));
  sounds.play(FeedbackSound::Correct);
  EXPECT_EQ(player.played.size(), 2u) << "once the output answers, sounds play again";
}

}  // namespace
}  // namespace auralis::testing
