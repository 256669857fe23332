#include "devices/StreamTiming.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace auralis::platform {
namespace {

TEST(StreamTiming, TicksBecomeTheNearestFrameCountedFromTheStart) {
  struct Case {
    std::int64_t ticks;
    int ticksPerQuarter;
    int sampleRate;
    std::int64_t frames;
  };
  const std::array cases = {
      Case{0, 96, 44100, 0},
      Case{1, 96, 44100, 230},                           // 229.6875
      Case{16, 96, 44100, 3675},                         // exact
      Case{30, 96, 44100, 6891},                         // 6890.625: one note's length
      Case{96, 96, 44100, 22050},                        // a quarter note is half a second
      Case{1000, 96, 44100, 229688},                     // 229687.5: halves round up
      Case{120, 96, 48000, 30000},                       // other rates
      Case{3, 480, 44100, 138},                          // 137.8125, other divisions
      Case{96LL * 3600 * 2, 96, 44100, 44100LL * 3600},  // an hour, without drift
  };
  for (const Case& c : cases)
    EXPECT_EQ(ticksToFrames(c.ticks, c.ticksPerQuarter, c.sampleRate), c.frames)
        << c.ticks << " ticks at " << c.ticksPerQuarter << " per quarter, " << c.sampleRate
        << " Hz";
}

TEST(StreamTiming, TicksBecomeDurationsAtHalfASecondPerQuarter) {
  EXPECT_EQ(ticksToDuration(0, 96), std::chrono::nanoseconds(0));
  EXPECT_EQ(ticksToDuration(1, 96), std::chrono::nanoseconds(5'208'333));
  EXPECT_EQ(ticksToDuration(2, 96), std::chrono::nanoseconds(10'416'667));
  EXPECT_EQ(ticksToDuration(96, 96), std::chrono::milliseconds(500));
  EXPECT_EQ(ticksToDuration(30, 96), std::chrono::microseconds(156'250));
  // A billion quarter notes, beyond what ticks times nanoseconds per quarter can hold.
  EXPECT_EQ(ticksToDuration(96'000'000'001, 96),
            std::chrono::seconds(500'000'000) + std::chrono::nanoseconds(5'208'333));
}

struct PhraseBuffer {
  std::vector<StreamEvent> events;
  MidiStreamHeader header;

  explicit PhraseBuffer(std::vector<StreamEvent> list) : events(std::move(list)) {
    header.data = reinterpret_cast<const std::uint8_t*>(events.data());
    header.bufferLength = header.bytesRecorded =
        static_cast<std::uint32_t>(events.size() * sizeof(StreamEvent));
  }
};

TEST(StreamTiming, PhraseTimesAddUpTheDeltasAndSkipRecordsThatAreNotShortMessages) {
  PhraseBuffer buffer({
      {10, 0, 0x00643C90},  // note-on C4 at 10
      {30, 0, 0x00003C90},  // its note-off at 40
      {5, 0, 0x0107A120},   // a tempo record: not played, but its delta counts
      {0, 0, 0x00503E91},   // note-on D4 on channel 1 at 45
      {25, 0, 0x02000000},  // a no-op record ends the phrase at 70
  });
  const TimedPhrase phrase = timedPhrase(buffer.header);
  ASSERT_EQ(phrase.messages.size(), 3u);
  EXPECT_EQ(phrase.messages[0].ticks, 10);
  EXPECT_EQ(phrase.messages[0].message, 0x00643C90u);
  EXPECT_EQ(phrase.messages[1].ticks, 40);
  EXPECT_EQ(phrase.messages[2].ticks, 45);
  EXPECT_EQ(phrase.messages[2].message, 0x00503E91u);
  EXPECT_EQ(phrase.endTicks, 70);
}

TEST(StreamTiming, RecordsClaimedBeyondTheBufferAreNotRead) {
  PhraseBuffer buffer({{0, 0, 0x00643C90}, {30, 0, 0x00003C90}});
  buffer.header.bufferLength = sizeof(StreamEvent);  // claims two, holds one
  const TimedPhrase phrase = timedPhrase(buffer.header);
  ASSERT_EQ(phrase.messages.size(), 1u);
  EXPECT_EQ(phrase.endTicks, 0);

  MidiStreamHeader empty;
  EXPECT_TRUE(timedPhrase(empty).messages.empty());
}

TEST(StreamTiming, NoteOnWithVelocityZeroIsARelease) {
  struct Case {
    std::uint32_t message;
    bool on;
    bool off;
  };
  const std::array cases = {
      Case{0x00643C90, true, false},   // note-on, velocity 100
      Case{0x00003C90, false, true},   // note-on, velocity 0
      Case{0x00403C8F, false, true},   // note-off, channel 15
      Case{0x00643C99, true, false},   // note-on, channel 10
      Case{0x000007B0, false, false},  // controller
  };
  for (const Case& c : cases) {
    EXPECT_EQ(isNoteOn(c.message), c.on) << std::hex << c.message;
    EXPECT_EQ(isNoteOff(c.message), c.off) << std::hex << c.message;
  }
}

}  // namespace
}  // namespace auralis::platform
