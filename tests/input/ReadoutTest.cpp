#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/Levels.h"
#include "tests/input/LiveRig.h"

namespace auralis::testing {
namespace {

constexpr int kA4 = 48;  // 440 Hz
constexpr int kC4 = 39;  // middle C

FrameResult heard(int note, int offsetStep = kNominalSubBand) {
  if (note == 0) return FrameResult{};
  return {note, (note - 3) % 12, offsetStep, static_cast<float>(offsetStep) / 12.0f};
}

// A stretch of identical frames.
struct Frames {
  int note;
  int count;
  int offsetStep = kNominalSubBand;
};

// Feeds the stretches in order; returns the 1-based frames on which a letter was posted.
std::vector<int> feed(LiveRig& rig, const std::vector<Frames>& stretches) {
  std::vector<int> accepted;
  int frame = 0;
  for (const Frames& s : stretches) {
    for (int i = 0; i < s.count; ++i) {
      const std::size_t before = rig.window.characters.size();
      rig.readout.ShowPitchReadout(heard(s.note, s.offsetStep), std::nullopt, 0);
      ++frame;
      if (rig.window.characters.size() > before) accepted.push_back(frame);
    }
  }
  return accepted;
}

struct Listening : LiveRig {
  Listening() { listen(); }
};

TEST(ReadoutTest, ThePanelShowsMicOnOrTheNominalFrequency) {
  Listening rig;
  rig.lesson.micWanted = false;
  rig.readout.ShowPitchReadout(heard(kA4), std::nullopt, 0);
  EXPECT_EQ(rig.window.micPanel, "");  // not listening
  rig.lesson.micWanted = true;
  const std::pair<int, const char*> cases[] = {
      {0, "Mic ON"}, {kA4, "440.0 Hz"}, {kC4, "261.6 Hz"}, {19, "82.4 Hz"}, {89, "4698.6 Hz"}};
  for (const auto& [note, text] : cases) {
    rig.readout.ShowPitchReadout(heard(note, 11), std::nullopt,
                                 0);  // the sub-band does not move the number
    EXPECT_EQ(rig.window.micPanel, text);
  }
}

TEST(ReadoutTest, AcceptanceFollowsTheRunTheHoldOffAndSilence) {
  const struct {
    const char* name;
    std::vector<Frames> frames;
    std::vector<int> accepted;
  } cases[] = {
      {"held in tune: the sixth frame", {{kA4, 6}}, {6}},
      {"held on: once per hold-off", {{kA4, 80}}, {6, 41, 76}},
      {"a silent frame ends the hold-off", {{kA4, 6}, {0, 1}, {kA4, 6}}, {6, 13}},
      // The new note's first frame is handled; its later frames wait out the hold-off.
      {"another note in the hold-off", {{kA4, 6}, {kC4, 40}}, {6, 41}},
      // The off frame keeps the pitch class, so the run starts again from it.
      {"an off frame restarts the run", {{kA4, 4}, {kA4, 1, 9}, {kA4, 6}}, {10}},
      {"a wobble of a semitone", {{kA4, 3}, {kA4 + 1, 1}, {kA4, 6}}, {10}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Listening rig;
    EXPECT_EQ(feed(rig, c.frames), c.accepted);
  }
}

TEST(ReadoutTest, TheAcceptedNoteSetsLetterOctaveAndPitchClass) {
  const struct {
    int note;
    char letter;
    int octave;
  } cases[] = {{kC4, 'c', 5}, {kA4 + 1, 'A', 5}, {kC4 - 1, 'b', 4}, {19, 'e', 3}, {89, 'd', 9}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.note);
    Listening rig;
    feed(rig, {{c.note, 6}});
    ASSERT_EQ(rig.window.characters, std::vector<char>{c.letter});
    const SungNote& sung = rig.window.sungNotes[0];
    EXPECT_EQ(sung.octave(), c.octave);
    EXPECT_EQ(sung.octave() * 12 + sung.pitchClass(), c.note + 21);
    rig.pump();
    EXPECT_EQ(rig.lesson.sungOctave() * 12 + rig.lesson.sungPitchClass(), c.note + 21);
    // The key handler still finds the letter while the note sounds on; a change clears it.
    feed(rig, {{c.note, 3}});
    EXPECT_EQ(rig.lesson.micLetter(), c.letter);
    feed(rig, {{c.note + 1, 1}});
    EXPECT_EQ(rig.lesson.micLetter(), ' ');
  }
}

TEST(ReadoutTest, NoLetterWithinTheFirstTwentyFramesOfAQuestion) {
  const std::pair<int, int> cases[] = {{0, 21}, {5, 16}, {14, 7}, {15, 6}};
  for (const auto& [framesSincePlay, first] : cases) {
    Listening rig;
    rig.lesson.listenForAnyNote();
    for (int i = 0; i < framesSincePlay; ++i) rig.lesson.FrameHeard();
    EXPECT_EQ(feed(rig, {{kA4, 30}}), std::vector<int>{first}) << framesSincePlay;
  }
}

TEST(ReadoutTest, OnlyInTuneOffsetsAreAccepted) {
  for (int step = 0; step <= kNeverRefinedStep; ++step) {
    Listening rig;
    const bool inTune = step >= 3 && step <= 8;
    EXPECT_EQ(feed(rig, {{kA4, 30, step}}).size(), inTune ? 1u : 0u) << step;
  }
}

TEST(ReadoutTest, OnlyPitchClassesTheLessonWantsArePassedOn) {
  Listening rig;
  rig.lesson.level.ActivePitchClasses = {1, 0, 1, 0, 1, 1, 0, 1, 0, 1, 0, 1};
  EXPECT_TRUE(feed(rig, {{kC4 + 1, 50}}).empty());  // C sharp
  EXPECT_EQ(feed(rig, {{kC4 + 2, 6}}), std::vector<int>{6});

  // Unlock takes only the note the next answer refers to.
  rig.lesson.level.PaceCode = kPaceUnlock;
  rig.lesson.question.QuestionNotes = {62, 76, 0, 0, 0};
  rig.lesson.question.AnswerPosition = 1;
  EXPECT_TRUE(feed(rig, {{0, 1}, {kC4 + 2, 50}}).empty());
  EXPECT_EQ(feed(rig, {{0, 1}, {kC4 + 4, 6}}), std::vector<int>{7});
  for (int position : {-1, 5}) {
    rig.lesson.question.AnswerPosition = position;
    EXPECT_TRUE(feed(rig, {{0, 1}, {kC4, 50}}).empty()) << position;
  }
  EXPECT_EQ(rig.window.characters, (std::vector<char>{'d', 'e'}));
}

TEST(ReadoutTest, TheMarkerFollowsSmallMovesAndIsErasedOnJumpsAndSilence) {
  const struct {
    int before;
    int now;
    std::vector<Marker> drawn;
  } cases[] = {{kA4, kA4, {{9, 0.25f}}},
               {kA4, kA4 + 1, {{10, 0.25f}}},
               {kA4, kA4 - 1, {{8, 0.25f}}},
               {kA4, kA4 + 2, {{-1, -1.0f}}},
               {kA4, kA4 - 7, {{-1, -1.0f}}},
               {kA4, 0, {{-1, -1.0f}}},
               {0, kA4, {}},
               {0, 0, {}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.before << " then " << c.now);
    Listening rig;
    feed(rig, {{c.before, 1}});
    rig.window.markers.clear();
    feed(rig, {{c.now, 1, 3}});
    EXPECT_EQ(rig.window.markers, c.drawn);
  }
}

TEST(ReadoutTest, ThePhraseIsReleasedWhenItsDoneNoticeIsHandledNotWhenPosted) {
  LiveRig rig;
  MidiEventList phrase;
  PushNote(phrase, 69, 0, 0, 80, 30);
  rig.player.PlayEventList(phrase);
  ASSERT_TRUE(rig.midiOut.completePhrase());
  ASSERT_EQ(rig.window.queue.size(), 1u);
  EXPECT_FALSE(rig.player.PlaybackIdle());
  rig.pump();
  EXPECT_TRUE(rig.player.PlaybackIdle());
}

}  // namespace
}  // namespace auralis::testing
