#include "tests/app/DeviceWindow.h"

namespace auralis::testing {
namespace {

using namespace std::chrono_literals;
using platform::testing::detectedNote;
using platform::testing::kRate;

using HearingDeviceTest = DeviceWindowTest;

constexpr std::int64_t framesOf(std::chrono::milliseconds span) {
  return span.count() * kRate / 1000;
}

TEST_F(HearingDeviceTest, TheQuestionReachesTheSpeakersAtItsNotesAndTimes) {
  // Level 61: two different notes of the octave above middle C, in the order drawn.
  storeMastery({.IdentifyMastery95Percent = 60});
  open();
  SinkListener sink;
  ASSERT_TRUE(sink.start(8s)) << "the monitor delivers while nothing plays";

  const std::size_t before = sink.samples().size();
  type("i");
  ASSERT_TRUE(sink.listenUntil([this] { return quiet(); }, 3s)) << "the question ends";
  sink.listen(200ms);

  const std::vector<RecordingMidiOut::Phrase> phrases = midiOut->phrases();
  ASSERT_EQ(phrases.size(), 1u);
  const RecordingMidiOut::Phrase& played = phrases.front();
  ASSERT_TRUE(played.accepted);
  // The done notice follows the phrase's last event: 60 ticks at 500,000 us a quarter of 96.
  ASSERT_EQ(midiOut->doneNotices().size(), 1u);
  EXPECT_GE(midiOut->doneNotices().front() - played.queued, 312ms);
  EXPECT_LT(midiOut->doneNotices().front() - played.queued, 1500ms);

  std::vector<platform::TimedMessage> noteOns;
  for (const platform::TimedMessage& m : played.timed.messages)
    if (platform::isNoteOn(m.message)) noteOns.push_back(m);
  ASSERT_EQ(lesson().question.QuestionNoteCount, 2);
  ASSERT_EQ(noteOns.size(), 2u);

  const std::vector<std::int16_t>& samples = sink.samples();
  const auto onset = soundOnset(samples, before);
  ASSERT_TRUE(onset) << "nothing reached the null sink";
  // Sounding at all, and not seconds late: output and monitor latency together. How soon it
  // sounds is measured by the latency benchmark; the sanitizer build opens a stream far slower.
  EXPECT_LT(static_cast<std::int64_t>(*onset - before), framesOf(1500ms));

  // A window of 2048 samples that starts `after` past a point of the recording.
  auto heardAt = [&](std::int64_t at, std::chrono::milliseconds after) {
    const std::int64_t start = at + framesOf(after);
    if (start < 0 || start + kWindowSamples > static_cast<std::int64_t>(samples.size())) return -1;
    return detectedNote(samples.data() + start);
  };
  for (std::size_t k = 0; k < noteOns.size(); ++k) {
    const int asked = lesson().question.QuestionNotes[k];
    EXPECT_EQ(noteOf(noteOns[k].message), asked) << "note " << k;
    const std::int64_t due =
        static_cast<std::int64_t>(*onset) + platform::ticksToFrames(noteOns[k].ticks, 96, kRate);
    // The release of the note before stays audible for a few tens of milliseconds.
    EXPECT_EQ(heardAt(due, 40ms), asked) << "note " << k << " sounds from its time";
    if (k > 0) {
      EXPECT_EQ(heardAt(due, -61ms), lesson().question.QuestionNotes[k - 1])
          << "note " << k - 1 << " sounds until note " << k << " is due";
    }
  }
}

}  // namespace
}  // namespace auralis::testing
