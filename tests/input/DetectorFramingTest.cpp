#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "input/PitchDetector.h"
#include "tests/input/Signals.h"

namespace auralis {
namespace {

using Buffer = std::vector<std::int16_t>;

Buffer toneBuffer(int note, int offset = 0) {
  signals::Tone tone;
  tone.frequency = signals::noteHz(note);
  tone.amplitude = 4000;
  const Buffer sound = signals::harmonicTone(tone, offset + kBufferSamples);
  return Buffer(sound.begin() + offset, sound.end());
}

Buffer joined(const Buffer& first, const Buffer& second) {
  Buffer window = first;
  window.insert(window.end(), second.begin(), second.end());
  return window;
}

bool slotHolds(const PitchDetector& detector, int slot, const Buffer& buffer) {
  const std::int16_t* samples = detector.historySlot(slot);
  return samples != nullptr && std::equal(buffer.begin(), buffer.end(), samples);
}

// Checks that the detector's last frame is exactly the analysis of the given window, by running
// the same sequence of windows through a second detector.
void expectSameFrames(const PitchDetector& detector, const PitchDetector& reference) {
  EXPECT_EQ(detector.result().DetectedNote, reference.result().DetectedNote);
  EXPECT_EQ(detector.result().DetectedOffsetStep, reference.result().DetectedOffsetStep);
  for (int note = 0; note < kDetectorNotes; ++note)
    ASSERT_EQ(detector.noteMagnitude(note), reference.noteMagnitude(note)) << note;
}

class FramingTest : public testing::Test {
 protected:
  void SetUp() override {
    detector.BuildDetectorTables();
    reference.BuildDetectorTables();
  }

  PitchDetector detector;
  PitchDetector reference;
};

TEST_F(FramingTest, FirstBufferAfterAStartIsOnlyStored) {
  const Buffer a = toneBuffer(48);
  const Buffer b = toneBuffer(55);
  EXPECT_EQ(detector.slotCounter(), 0);
  detector.ProcessCaptureBuffer(a.data());
  EXPECT_EQ(detector.result().DetectedNote, 0);
  EXPECT_EQ(detector.buffersSinceStart(), 1);
  EXPECT_EQ(detector.slotCounter(), 1);
  EXPECT_TRUE(slotHolds(detector, 1, a));
  detector.ProcessCaptureBuffer(a.data());
  EXPECT_EQ(detector.result().DetectedNote, 48);

  // A restart: the first new buffer is stored and the old result stays, so no window mixes
  // sound from both sides of the restart.
  detector.resetBuffersSinceStart();
  EXPECT_EQ(detector.buffersSinceStart(), 0);
  detector.ProcessCaptureBuffer(b.data());
  EXPECT_EQ(detector.result().DetectedNote, 48);
  EXPECT_EQ(detector.slotCounter(), 3);
  EXPECT_TRUE(slotHolds(detector, 3, b));
  detector.ProcessCaptureBuffer(b.data());
  EXPECT_EQ(detector.result().DetectedNote, 55);
  EXPECT_EQ(detector.buffersSinceStart(), 2);
}

TEST_F(FramingTest, EachFrameIsThePreviousBufferFollowedByTheNewOne) {
  const int noteA = 48;
  const int noteB = 60;
  const std::vector<Buffer> buffers = {toneBuffer(noteA), toneBuffer(noteA, kBufferSamples),
                                       toneBuffer(noteB), toneBuffer(noteB, kBufferSamples)};
  detector.ProcessCaptureBuffer(buffers[0].data());
  for (std::size_t i = 1; i < buffers.size(); ++i) {
    detector.ProcessCaptureBuffer(buffers[i].data());
    const Buffer window = joined(buffers[i - 1], buffers[i]);
    reference.DetectPitch(window.data());
    expectSameFrames(detector, reference);
  }
  EXPECT_EQ(detector.result().DetectedNote, noteB);
}

TEST_F(FramingTest, HistoryWrapsAfterTheLastSlotThroughTheMirror) {
  const Buffer silence(kBufferSamples, 0);
  // Each buffer after a reset is only stored, which walks the ring without analysing.
  while (detector.slotCounter() < kHistorySlots - 2) {
    detector.resetBuffersSinceStart();
    detector.ProcessCaptureBuffer(silence.data());
  }
  const Buffer a = toneBuffer(50);
  const Buffer b = toneBuffer(50, kBufferSamples);
  const Buffer c = toneBuffer(50, 2 * kBufferSamples);
  detector.resetBuffersSinceStart();
  detector.ProcessCaptureBuffer(a.data());
  ASSERT_EQ(detector.slotCounter(), kHistorySlots - 1);

  detector.ProcessCaptureBuffer(b.data());
  EXPECT_EQ(detector.slotCounter(), 0);
  EXPECT_TRUE(slotHolds(detector, 0, b));
  EXPECT_TRUE(slotHolds(detector, kHistorySlots, b));
  const Buffer seam = joined(a, b);
  reference.DetectPitch(seam.data());
  expectSameFrames(detector, reference);
  EXPECT_EQ(detector.result().DetectedNote, 50);

  detector.ProcessCaptureBuffer(c.data());
  EXPECT_EQ(detector.slotCounter(), 1);
  EXPECT_TRUE(slotHolds(detector, kHistorySlots, b));
  const Buffer after = joined(b, c);
  reference.DetectPitch(after.data());
  expectSameFrames(detector, reference);

  // The newest three are kept; an older slot is not.
  EXPECT_TRUE(slotHolds(detector, kHistorySlots - 1, a));
  EXPECT_TRUE(slotHolds(detector, 1, c));
  EXPECT_EQ(detector.historySlot(kHistorySlots - 2), nullptr);
  EXPECT_EQ(detector.historySlot(2), nullptr);
  EXPECT_EQ(detector.BandMagnitude(detector.historySlot(2), 50, 6), 0.0);
  EXPECT_EQ(detector.historySlot(-1), nullptr);
  EXPECT_EQ(detector.historySlot(kHistorySlots + 1), nullptr);
}

}  // namespace
}  // namespace auralis
