#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/Levels.h"
#include "tests/input/LiveRig.h"

namespace auralis::testing {
namespace {

FrameResult heard(int note, int offsetStep = kNominalSubBand) {
  FrameResult frame;
  frame.DetectedNote = note;
  frame.DetectedPitchClass = (note - 3) % 12;
  frame.DetectedOffsetStep = offsetStep;
  frame.DetectedOffset = static_cast<float>(offsetStep) * (1.0f / 12.0f);
  return frame;
}

const FrameResult kSilence{};

constexpr int kA4 = 48;  // 440 Hz
constexpr int kC4 = 39;  // middle C
constexpr unsigned kUnknownMessage = 0x4FF;

// The readout fed frame results directly, listening in a level with every pitch class active
// and a question that began playing long ago.
class ReadoutTest : public ::testing::Test {
 protected:
  ReadoutTest() {
    rig.capture.soundInPresent = true;
    lesson().micWanted = true;
    lesson().level.PaceCode = kPaceIdentify;
    lesson().level.ActivePitchClasses.fill(1);
    lesson().FramesSincePlay = 100;
  }

  Lesson& lesson() { return rig.lesson; }

  // Feeds the frame `count` times; returns the 1-based frames on which a letter was posted.
  std::vector<int> feed(const FrameResult& frame, int count) {
    std::vector<int> accepted;
    for (int i = 1; i <= count; ++i) {
      const std::size_t before = rig.window.characters.size();
      rig.readout.ShowPitchReadout(frame);
      if (rig.window.characters.size() > before) accepted.push_back(i);
    }
    return accepted;
  }

  LiveRig rig;
};

TEST_F(ReadoutTest, ThePanelShowsMicOnOrTheNominalFrequency) {
  const struct {
    FrameResult frame;
    const char* text;
  } cases[] = {{kSilence, "Mic ON"},         {heard(kA4), "440.0 Hz"},
               {heard(kA4, 0), "440.0 Hz"},  // the sub-band does not move the number
               {heard(kC4, 11), "261.6 Hz"}, {heard(19), "82.4 Hz"},
               {heard(89), "4698.6 Hz"}};
  for (const auto& c : cases) {
    rig.readout.ShowPitchReadout(c.frame);
    EXPECT_EQ(rig.window.micPanel, c.text);
  }
}

TEST_F(ReadoutTest, NothingHappensWithoutAMicrophoneOrWhenListeningIsNotWanted) {
  for (bool present : {false, true}) {
    rig.capture.soundInPresent = present;
    lesson().micWanted = !present;
    const int framesSincePlay = lesson().FramesSincePlay;
    EXPECT_TRUE(feed(heard(kA4), 20).empty());
    EXPECT_TRUE(rig.window.micPanels.empty());
    EXPECT_TRUE(rig.window.markers.empty());
    EXPECT_EQ(lesson().FramesSincePlay, framesSincePlay);
  }
}

TEST_F(ReadoutTest, ANoteHeldInTuneIsAcceptedOnItsSixthFrame) {
  EXPECT_EQ(feed(heard(kA4), 6), std::vector<int>{6});
  EXPECT_EQ(rig.window.characters, std::vector<char>{'a'});
  EXPECT_EQ(lesson().MicLetter, 'a');
  // During the hold-off the same note leaves the letter for the key handler to read.
  feed(heard(kA4), 3);
  EXPECT_EQ(lesson().MicLetter, 'a');
  feed(heard(kA4 + 1), 1);
  EXPECT_EQ(lesson().MicLetter, ' ');
}

TEST_F(ReadoutTest, TheSungNoteGivesOctaveAndPitchClassOfItsMidiNote) {
  const struct {
    int note;
    char letter;
    int octave;
    int pitchClass;
  } cases[] = {{kC4, 'c', 5, 0},      {kA4, 'a', 5, 9}, {kA4 + 1, 'A', 5, 10},
               {kC4 - 1, 'b', 4, 11}, {19, 'e', 3, 4},  {89, 'd', 9, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.note);
    LiveRig fresh;
    fresh.capture.soundInPresent = true;
    fresh.lesson.micWanted = true;
    fresh.lesson.level.ActivePitchClasses.fill(1);
    fresh.lesson.FramesSincePlay = 100;
    for (int i = 0; i < 6; ++i) fresh.readout.ShowPitchReadout(heard(c.note));
    ASSERT_EQ(fresh.window.characters, std::vector<char>{c.letter});
    EXPECT_EQ(fresh.lesson.SungOctave, c.octave);
    EXPECT_EQ(fresh.lesson.SungPitchClass, c.pitchClass);
    EXPECT_EQ(fresh.lesson.SungOctave * 12 + fresh.lesson.SungPitchClass, c.note + 21);
  }
}

TEST_F(ReadoutTest, NoLetterWithinTheFirstTwentyFramesAfterAQuestionStarts) {
  const struct {
    int framesSincePlay;
    int firstAccepted;
  } cases[] = {{0, 21}, {5, 16}, {14, 7}, {15, 6}, {100, 6}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.framesSincePlay);
    LiveRig fresh;
    fresh.capture.soundInPresent = true;
    fresh.lesson.micWanted = true;
    fresh.lesson.level.ActivePitchClasses.fill(1);
    fresh.lesson.FramesSincePlay = c.framesSincePlay;
    int first = 0;
    for (int i = 1; i <= 30 && first == 0; ++i) {
      fresh.readout.ShowPitchReadout(heard(kA4));
      if (!fresh.window.characters.empty()) first = i;
    }
    EXPECT_EQ(first, c.firstAccepted);
  }
}

TEST_F(ReadoutTest, AHeldNoteIsAcceptedOncePerHoldOff) {
  EXPECT_EQ(feed(heard(kA4), 80), (std::vector<int>{6, 41, 76}));
  // Frames skipped in the hold-off (7-36, 42-71 and 77-80) do not age the question.
  EXPECT_EQ(lesson().FramesSincePlay, 100 + 80 - 64);
}

TEST_F(ReadoutTest, ASilentFrameEndsTheHoldOff) {
  feed(heard(kA4), 6);
  feed(kSilence, 1);
  EXPECT_EQ(feed(heard(kA4), 6), std::vector<int>{6});
  EXPECT_EQ(rig.window.characters, (std::vector<char>{'a', 'a'}));
}

// The new note's first frame is handled; its later frames wait for the hold-off to run out.
TEST_F(ReadoutTest, AnotherNoteDuringTheHoldOffWaitsForItToRunOut) {
  feed(heard(kA4), 6);
  EXPECT_EQ(feed(heard(kC4), 40), std::vector<int>{35});
  EXPECT_EQ(rig.window.characters, (std::vector<char>{'a', 'c'}));
}

TEST_F(ReadoutTest, OnlyInTuneOffsetsAreAccepted) {
  const struct {
    int step;
    bool accepted;
  } cases[] = {{0, false}, {1, false}, {2, false},  {3, true},  {6, true},
               {8, true},  {9, false}, {11, false}, {12, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.step);
    LiveRig fresh;
    fresh.capture.soundInPresent = true;
    fresh.lesson.micWanted = true;
    fresh.lesson.level.ActivePitchClasses.fill(1);
    fresh.lesson.FramesSincePlay = 100;
    for (int i = 0; i < 100; ++i) fresh.readout.ShowPitchReadout(heard(kA4, c.step));
    EXPECT_EQ(!fresh.window.characters.empty(), c.accepted);
  }
}

// The off frame keeps the pitch class, so it starts the new run as a changed note's first frame
// would.
TEST_F(ReadoutTest, AnOutOfTuneFrameRestartsTheRun) {
  feed(heard(kA4), 4);
  feed(heard(kA4, 9), 1);
  EXPECT_EQ(feed(heard(kA4), 6), std::vector<int>{5});
}

TEST_F(ReadoutTest, APitchClassOutsideTheLevelIsNeverPassedOn) {
  lesson().level.ActivePitchClasses = {1, 0, 1, 0, 1, 1, 0, 1, 0, 1, 0, 1};
  EXPECT_TRUE(feed(heard(40), 100).empty());  // C sharp
  EXPECT_EQ(feed(heard(41), 6), std::vector<int>{6});
  EXPECT_EQ(rig.window.characters, std::vector<char>{'d'});
}

TEST_F(ReadoutTest, UnlockTakesOnlyTheNoteTheNextAnswerRefersTo) {
  lesson().level.PaceCode = kPaceUnlock;
  lesson().question.QuestionNotes = {60, 74, 0, 0, 0};  // C, then D
  lesson().question.QuestionNoteCount = 2;
  lesson().question.AnswerPosition = 1;
  EXPECT_TRUE(feed(heard(kC4), 50).empty());
  feed(kSilence, 1);
  EXPECT_EQ(feed(heard(kC4 + 2), 6), std::vector<int>{6});
  EXPECT_EQ(rig.window.characters, std::vector<char>{'d'});
}

TEST_F(ReadoutTest, UnlockWithAnAnswerPositionPastTheQuestionTakesNothing) {
  lesson().level.PaceCode = kPaceUnlock;
  lesson().question.QuestionNotes = {60, 62, 64, 65, 67};
  for (int position : {-1, 5, 99}) {
    lesson().question.AnswerPosition = position;
    EXPECT_TRUE(feed(heard(kC4), 40).empty()) << position;
  }
}

TEST_F(ReadoutTest, TheMarkerFollowsSmallMovesAndIsErasedOnJumpsAndSilence) {
  const struct {
    int before;
    int now;
    std::vector<Marker> drawn;
  } cases[] = {{kA4, kA4, {{9, 0.5f}}},
               {kA4, kA4 + 1, {{10, 0.5f}}},
               {kA4, kA4 - 1, {{8, 0.5f}}},
               {kA4, kA4 + 2, {{-1, -1.0f}}},
               {kA4, kA4 - 7, {{-1, -1.0f}}},
               {kA4, 0, {{-1, -1.0f}}},
               {0, kA4, {}},
               {0, 0, {}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.before << " then " << c.now);
    LiveRig fresh;
    fresh.capture.soundInPresent = true;
    fresh.lesson.micWanted = true;
    fresh.readout.ShowPitchReadout(c.before > 0 ? heard(c.before) : kSilence);
    fresh.window.markers.clear();
    fresh.readout.ShowPitchReadout(c.now > 0 ? heard(c.now) : kSilence);
    EXPECT_EQ(fresh.window.markers, c.drawn);
  }
}

TEST_F(ReadoutTest, TheMarkerCarriesTheOffsetOfTheFrame) {
  feed(heard(kA4, 6), 1);
  feed(heard(kA4, 3), 1);
  feed(heard(kA4, 8), 1);
  EXPECT_EQ(rig.window.markers, (std::vector<Marker>{{9, 0.25f}, {9, 8.0f / 12.0f}}));
}

TEST_F(ReadoutTest, PlaybackDoneFinishesThePhraseAndOtherMessagesAreIgnored) {
  MidiEventList phrase;
  PushNote(phrase, 69, 0, 0, 80, 30);
  rig.player.PlayEventList(phrase);
  ASSERT_FALSE(rig.player.PlaybackIdle());
  ASSERT_TRUE(rig.midiOut.completePhrase());
  rig.readout.UtilityWndProc(kUnknownMessage);
  EXPECT_FALSE(rig.player.PlaybackIdle());
  rig.readout.UtilityWndProc(WM_PLAYDONE);
  EXPECT_TRUE(rig.player.PlaybackIdle());
}

}  // namespace
}  // namespace auralis::testing
