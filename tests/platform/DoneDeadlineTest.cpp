#include "devices/DoneDeadline.h"

#include <gtest/gtest.h>

#include <vector>

namespace auralis::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class DoneDeadlineTest : public ::testing::Test {
 protected:
  struct Fired {
    std::uint64_t serial;
    MidiStreamHeader* header;
  };

  std::vector<Fired> waitFor(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex);
    changed.wait_for(lock, timeout, [&] { return fired.size() >= count; });
    return fired;
  }

  std::mutex mutex;
  std::condition_variable changed;
  std::vector<Fired> fired;
  DoneDeadline deadline{[this](std::uint64_t serial, MidiStreamHeader* header) {
    std::lock_guard lock(mutex);
    fired.push_back({serial, header});
    changed.notify_all();
  }};
};

TEST_F(DoneDeadlineTest, FiresOnceWithTheArmedPhraseWhenItsTimeComes) {
  MidiStreamHeader header;
  deadline.arm(7, &header, Clock::now() + 20ms);
  const auto once = waitFor(1, 2s);
  ASSERT_EQ(once.size(), 1u);
  EXPECT_EQ(once[0].serial, 7u);
  EXPECT_EQ(once[0].header, &header);
  EXPECT_EQ(waitFor(2, 100ms).size(), 1u) << "only once";
}

TEST_F(DoneDeadlineTest, DisarmingOrArmingAnotherPhraseCancelsTheFirst) {
  MidiStreamHeader first;
  MidiStreamHeader second;
  deadline.arm(1, &first, Clock::now() + 50ms);
  deadline.disarm();
  EXPECT_TRUE(waitFor(1, 150ms).empty());

  deadline.arm(2, &first, Clock::now() + 1h);
  deadline.arm(3, &second, Clock::now() + 20ms);
  const auto latest = waitFor(1, 2s);
  ASSERT_EQ(latest.size(), 1u);
  EXPECT_EQ(latest[0].serial, 3u);
  EXPECT_EQ(latest[0].header, &second);
}

}  // namespace
}  // namespace auralis::platform
