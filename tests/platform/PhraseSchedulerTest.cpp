#include "devices/PhraseScheduler.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace auralis::platform {
namespace {

using namespace std::chrono_literals;

// Records what the scheduler sent and finished, from whichever thread.
class Recorder {
 public:
  void sent(std::uint32_t message) {
    std::lock_guard lock(mutex_);
    messages_.push_back(message);
    changed_.notify_all();
  }
  void done(MidiStreamHeader* header) {
    std::lock_guard lock(mutex_);
    done_.push_back(header);
    changed_.notify_all();
  }
  // Waits for at least count messages, or for the wait at most.
  std::vector<std::uint32_t> messages(std::size_t count, std::chrono::milliseconds wait = 1s) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, wait, [&] { return messages_.size() >= count; });
    return messages_;
  }
  std::vector<MidiStreamHeader*> finished(std::size_t count, std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, wait, [&] { return done_.size() >= count; });
    return done_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::uint32_t> messages_;
  std::vector<MidiStreamHeader*> done_;
};

struct Phrase {
  std::vector<StreamEvent> events;
  MidiStreamHeader header;

  explicit Phrase(std::vector<StreamEvent> list) : events(std::move(list)) {
    header.data = reinterpret_cast<const std::uint8_t*>(events.data());
    header.bufferLength = header.bytesRecorded =
        static_cast<std::uint32_t>(events.size() * sizeof(StreamEvent));
  }
};

class PhraseSchedulerTest : public ::testing::Test {
 protected:
  Recorder recorder;
  PhraseScheduler scheduler{[this](std::uint32_t m) { recorder.sent(m); },
                            [this](MidiStreamHeader* h) { recorder.done(h); }};
};

TEST_F(PhraseSchedulerTest, SendsEveryMessageInOrderAndThenTellsThePhraseIsDone) {
  // A tick of about 5 µs keeps the phrase short.
  scheduler.setTicksPerQuarter(96'000);
  Phrase phrase({{0, 0, 0x00503C90},
                 {30, 0, 0x00003C90},
                 {10, 0, 0x00503E90},
                 {30, 0, 0x00003E90},
                 {20, 0, 0x01000000}});
  ASSERT_TRUE(scheduler.play(&phrase.header));
  const auto done = recorder.finished(1, 1s);
  ASSERT_EQ(done.size(), 1u);
  EXPECT_EQ(done[0], &phrase.header);
  EXPECT_EQ(recorder.messages(4),
            (std::vector<std::uint32_t>{0x00503C90, 0x00003C90, 0x00503E90, 0x00003E90}));

  // The next phrase plays from its own start.
  Phrase next({{5, 0, 0x00643090}, {5, 0, 0x00003090}});
  ASSERT_TRUE(scheduler.play(&next.header));
  EXPECT_EQ(recorder.finished(2, 1s).size(), 2u);
  EXPECT_EQ(recorder.messages(6).size(), 6u);
}

TEST_F(PhraseSchedulerTest, StopReleasesTheSoundingNotesAndGivesNoDoneNotice) {
  // Two notes start at once on two channels; their releases lie an hour away.
  Phrase phrase({{0, 0, 0x00503C90},
                 {0, 0, 0x00504093},
                 {0, 0, 0x00003C90},
                 {0, 0, 0x00504393},
                 {96 * 7200, 0, 0x00004093}});
  ASSERT_TRUE(scheduler.play(&phrase.header));
  EXPECT_FALSE(scheduler.play(&phrase.header)) << "one phrase at a time";
  ASSERT_EQ(recorder.messages(4).size(), 4u);

  scheduler.stop();
  // 0x3C was released by the phrase itself; 0x40 and 0x43 on channel 3 still sound.
  EXPECT_EQ(recorder.messages(6), (std::vector<std::uint32_t>{0x00503C90, 0x00504093, 0x00003C90,
                                                              0x00504393, 0x00004083, 0x00004383}));
  EXPECT_TRUE(recorder.finished(1, 50ms).empty());

  // Stopping again finds nothing sounding, and a new phrase may start.
  scheduler.stop();
  EXPECT_EQ(recorder.messages(7, 50ms).size(), 6u);
  Phrase next({{0, 0, 0x00003C90}});
  EXPECT_TRUE(scheduler.play(&next.header));
  EXPECT_EQ(recorder.finished(1, 1s).size(), 1u);
}

}  // namespace
}  // namespace auralis::platform
