#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

#include "display/PitchGraphLayout.h"

namespace auralis::display {
namespace {

std::vector<int> noQuestion;

// Frames of a held note with a vibrato of the given depth, in semitones.
void sing(PitchRangeFollower& follower, PitchHistory& history, double note, int frames,
          double vibrato = 0.0, std::span<const int> question = {}) {
  for (int i = 0; i < frames; ++i) {
    history.add(note + vibrato * std::sin(2.0 * std::numbers::pi * i / 8.0));
    follower.follow(history, question);
  }
}

bool shows(PitchRange range, double low, double high) {
  return range.low <= low && range.high >= high;
}

TEST(PitchRangeFollower, FirstSungFramePlacesAnOctaveAroundIt) {
  PitchRangeFollower follower;
  PitchHistory history;
  sing(follower, history, 57.2, 1);
  const PitchRange range = follower.range();
  EXPECT_EQ(range, follower.target());
  EXPECT_DOUBLE_EQ(range.span(), kShortestSpan);
  // The sung row and a row either side, with the edges on row borders.
  EXPECT_TRUE(shows(range, 55.5, 58.5));
  EXPECT_DOUBLE_EQ(range.low - std::floor(range.low), 0.5);
}

TEST(PitchRangeFollower, HeldNoteWithVibratoLeavesTheViewStill) {
  PitchRangeFollower follower;
  PitchHistory history;
  sing(follower, history, 60.0, 10, 0.3);
  const PitchRange placed = follower.range();
  for (int i = 0; i < 2 * kPitchHistoryFrames; ++i) {
    history.add(60.0 + 0.3 * std::sin(2.0 * std::numbers::pi * i / 7.8) + 0.01 * (i % 3));
    follower.follow(history, noQuestion);
    ASSERT_EQ(follower.range(), placed) << i;
  }
}

// An exercise's note to sing stays in view beside what was sung, even an octave and more away,
// and also where the singing alone would leave it out.
TEST(PitchRangeFollower, TheNoteToSingStaysInViewWithTheSinging) {
  struct Case {
    double sung;
    int kept;
  };
  for (const Case& c : {Case{60.0, 74}, Case{72.0, 55}, Case{48.0, 77}}) {
    PitchRangeFollower follower;
    PitchHistory history;
    sing(follower, history, c.sung, 20);
    for (int frame = 0; frame < 40; ++frame) {
      history.add(std::nullopt);
      follower.follow(history, noQuestion, c.kept);
    }
    EXPECT_TRUE(shows(follower.range(), c.kept - 0.5, c.kept + 0.5)) << c.sung << " " << c.kept;
    EXPECT_TRUE(shows(follower.range(), c.sung - 0.5, c.sung + 0.5)) << c.sung << " " << c.kept;
    // Without it the view keeps to the singing.
    PitchRangeFollower plain;
    sing(plain, history, c.sung, 1);
    EXPECT_FALSE(shows(plain.range(), c.kept - 0.5, c.kept + 0.5));
  }
}

TEST(PitchRangeFollower, NewNotesOutsideTheViewGlideIntoIt) {
  PitchRangeFollower follower;
  PitchHistory history;
  sing(follower, history, 48.0, 20);
  // Up a tenth: the view widens to hold both notes, without a jump.
  PitchRange before = follower.range();
  int frames = 0;
  for (; frames < 40 && !shows(follower.range(), 62.5, 64.5); ++frames) {
    history.add(64.0);
    follower.follow(history, noQuestion);
    const PitchRange now = follower.range();
    EXPECT_LE(std::abs(now.low - before.low), 2.5) << frames;
    EXPECT_LE(std::abs(now.high - before.high), 2.5) << frames;
    before = now;
  }
  // The new row is in view in under half a second.
  EXPECT_LT(frames, 20);
  EXPECT_TRUE(shows(follower.target(), 46.5, 65.5));
  EXPECT_LE(follower.target().span(), kLongestSpan);
}

TEST(PitchRangeFollower, ViewShrinksBackOnceTheOldNotesLeaveTheHistory) {
  PitchRangeFollower follower;
  PitchHistory history;
  sing(follower, history, 45.0, 30);
  sing(follower, history, 64.0, 30);
  EXPECT_GT(follower.target().span(), kShortestSpan + 4);
  sing(follower, history, 64.0, kPitchHistoryFrames + 60);
  EXPECT_DOUBLE_EQ(follower.range().span(), kShortestSpan);
  EXPECT_TRUE(shows(follower.range(), 62.5, 65.5));
}

TEST(PitchRangeFollower, OctaveErrorsPastTwoOctavesFollowTheLatestSinging) {
  PitchRangeFollower follower;
  PitchHistory history;
  sing(follower, history, 40.0, 5);
  sing(follower, history, 64.0, 5);
  sing(follower, history, 76.0, 60);
  EXPECT_LE(follower.range().span(), kLongestSpan);
  EXPECT_TRUE(shows(follower.range(), 75.5, 76.5));
}

TEST(PitchRangeFollower, QuestionPlacesTheViewUntilSomethingIsSung) {
  PitchRangeFollower follower;
  PitchHistory history;
  const std::vector<int> question = {72, 76};
  follower.follow(history, noQuestion);  // nothing at all: the view stays where it starts
  EXPECT_EQ(follower.range(), PitchRange{});
  history.add(std::nullopt);
  follower.follow(history, question);
  EXPECT_TRUE(shows(follower.range(), 70.5, 77.5));
  sing(follower, history, 50.0, 60, 0.0, question);
  EXPECT_TRUE(shows(follower.range(), 48.5, 51.5));
}

TEST(PitchGraphLayout, SemitonesRunUpAndFramesRunRightToNow) {
  const PitchGraphLayout layout = pitchGraphLayoutFor(700, 140, 30, 70, {52.5, 66.5});
  EXPECT_EQ(layout.plotLeft, 30);
  EXPECT_EQ(layout.plotRight, 630);
  EXPECT_DOUBLE_EQ(layout.pixelsPerSemitone(), 10.0);
  EXPECT_DOUBLE_EQ(layout.yOf(66.5), 0.0);
  EXPECT_DOUBLE_EQ(layout.yOf(52.5), 140.0);
  EXPECT_DOUBLE_EQ(layout.yOf(60.0), 65.0);
  EXPECT_EQ(layout.lowestNote(), 53);
  EXPECT_EQ(layout.highestNote(), 66);
  // The newest frame on the plot's last column, a full history's oldest on its first.
  EXPECT_DOUBLE_EQ(layout.xOfFrame(9, 10), 629.0);
  EXPECT_DOUBLE_EQ(layout.xOfFrame(0, kPitchHistoryFrames), 30.0);
  EXPECT_DOUBLE_EQ(layout.xOfFrame(kPitchHistoryFrames - 1, kPitchHistoryFrames), 629.0);
  // Rows cut by the edges still count.
  const PitchGraphLayout shifted = pitchGraphLayoutFor(700, 140, 30, 70, {52.8, 66.8});
  EXPECT_EQ(shifted.lowestNote(), 53);
  EXPECT_EQ(shifted.highestNote(), 67);
  // Too narrow for the gutter and the deviation: no plot.
  EXPECT_EQ(pitchGraphLayoutFor(80, 140, 30, 70, {52.5, 66.5}).plotWidth(), 0);
}

TEST(SungTrace, HeldNoteIsABandTwoPixelsHighInEveryColumnWithADotAtTheEnd) {
  const PitchGraphLayout layout = pitchGraphLayoutFor(700, 140, 30, 70, {52.5, 66.5});
  PitchHistory history;
  for (int i = 0; i < kPitchHistoryFrames; ++i) history.add(60.0);
  std::vector<TraceSpan> spans(traceCapacityFor(layout.plotWidth()));
  const int count = traceSpansOf(history, layout, spans);
  const double y = layout.yOf(60.0);
  ASSERT_GT(count, layout.plotWidth());
  for (int column = layout.plotLeft; column < layout.plotRight; ++column)
    EXPECT_EQ(spans[column - layout.plotLeft], (TraceSpan{column, y - 1.0, y + 1.0})) << column;
  // The dot stands above and below the line at the newest frame, clipped at the plot's edge.
  for (int i = layout.plotWidth(); i < count; ++i) {
    EXPECT_GE(spans[i].column, layout.plotRight - 1 - kNowDotRadius);
    EXPECT_LT(spans[i].column, layout.plotRight);
  }
  EXPECT_DOUBLE_EQ(spans[count - 1].top, y - std::sqrt(kNowDotRadius * kNowDotRadius - 0.25));
}

TEST(SungTrace, GlidesAreJoinedAndGapsAndLeapsAreNot) {
  const PitchGraphLayout layout = pitchGraphLayoutFor(700, 140, 30, 70, {52.5, 66.5});
  PitchHistory history;
  history.add(60.0);
  history.add(60.5);  // a glide: joined
  history.add(std::nullopt);
  history.add(60.5);  // after a gap: a point
  history.add(63.0);  // a leap: a point
  history.add(63.0);
  std::vector<TraceSpan> spans(traceCapacityFor(layout.plotWidth()));
  const int count = traceSpansOf(history, layout, spans);
  const int size = history.size();
  const auto columnOf = [&](int frame) {
    return static_cast<int>(std::floor(layout.xOfFrame(frame, size)));
  };
  const auto covered = [&](int firstColumn, int lastColumn, double row) {
    for (int i = 0; i < count; ++i)
      if (spans[i].column >= firstColumn && spans[i].column <= lastColumn && spans[i].top <= row &&
          spans[i].bottom >= row)
        return true;
    return false;
  };
  // Between the glide's frames the line passes every row from one to the other.
  for (double semitones = 60.0; semitones <= 60.5; semitones += 0.05)
    EXPECT_TRUE(covered(columnOf(0), columnOf(1), layout.yOf(semitones))) << semitones;
  // The gap's frame is empty, and nothing joins the leap.
  for (int i = 0; i < count; ++i) EXPECT_NE(spans[i].column, columnOf(2));
  EXPECT_FALSE(covered(columnOf(3), columnOf(4), layout.yOf(61.75)));
  EXPECT_TRUE(covered(columnOf(3), columnOf(3), layout.yOf(60.5)));
  EXPECT_TRUE(covered(columnOf(4), columnOf(4), layout.yOf(63.0)));
  // A buffer too small takes what fits.
  std::array<TraceSpan, 3> small{};
  EXPECT_EQ(traceSpansOf(history, layout, small), 3);
}

TEST(PitchGraphLayout, NamesThinOutWhenRowsAreLowerThanTheText) {
  struct Case {
    double rowHeight;
    std::vector<int> labelled;  // of the pitch classes 0 to 11
  };
  const Case cases[] = {
      {12.0, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
      {11.0, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
      {10.9, {0, 7}},
      {2.2, {0, 7}},
      {2.1, {0}},
  };
  for (const Case& c : cases) {
    const PitchGraphLayout layout = pitchGraphLayoutFor(
        700, static_cast<int>(std::lround(c.rowHeight * 140)), 30, 70, {0.0, 140.0});
    std::vector<int> labelled;
    for (int note = 60; note < 72; ++note)
      if (noteLabelled(layout, note, 11)) labelled.push_back(note - 60);
    EXPECT_EQ(labelled, c.labelled) << c.rowHeight;
  }
}

TEST(PitchGraphLayout, NamesFollowTheViewAndThePianoUsesLetters) {
  struct Case {
    NoteView view;
    int note;
    std::string_view name;
  };
  const Case cases[] = {
      {NoteView::Solfege, 60, "DO"},  {NoteView::Solfege, 70, "LI"},
      {NoteView::Solfege, 47, "TI"},  {NoteView::NoteNames, 61, "C#"},
      {NoteView::NoteNames, 81, "A"}, {NoteView::Piano, 66, "F#"},
      {NoteView::Piano, 60, "C"},
  };
  for (const Case& c : cases) EXPECT_EQ(graphNameOf(c.view, c.note), c.name) << c.note;
}

TEST(GraphMarks, QuestionPitchClassesAreMarkedInEveryOctaveElseTheNearestSungNote) {
  PitchHistory history;
  history.add(63.4);
  const std::vector<int> question = {57, 64};
  const GraphMarks asked = graphMarksOf(question, history);
  for (const int note : {45, 52, 57, 64, 69, 76}) {
    EXPECT_TRUE(asked.questionRow(note)) << note;
    EXPECT_TRUE(asked.inTuneBandAround(note)) << note;
  }
  for (const int note : {56, 58, 63, 65}) {
    EXPECT_FALSE(asked.questionRow(note)) << note;
    EXPECT_FALSE(asked.inTuneBandAround(note)) << note;
  }

  const GraphMarks practice = graphMarksOf(noQuestion, history);
  EXPECT_FALSE(practice.questionRow(63));
  EXPECT_TRUE(practice.inTuneBandAround(63));
  EXPECT_FALSE(practice.inTuneBandAround(64));
  EXPECT_FALSE(practice.inTuneBandAround(51));

  history.add(std::nullopt);
  const GraphMarks silent = graphMarksOf(noQuestion, history);
  for (int note = 40; note < 80; ++note) EXPECT_FALSE(silent.inTuneBandAround(note)) << note;
}

TEST(GraphMarks, InTuneBandIsTheReadoutsOffsetStepsThreeToEight) {
  EXPECT_DOUBLE_EQ(kInTuneBelow, -0.25);
  EXPECT_DOUBLE_EQ(kInTuneAbove, 1.0 / 6.0);
}

TEST(ShownQuestion, OnlyNotesTheNotePanelShowsAreGiven) {
  PanelInputs inputs;
  inputs.QuestionNotes = {57, 64, 60, 0, 0};
  inputs.QuestionNoteCount = 3;
  inputs.AnswerPosition = 1;
  struct Case {
    LessonMode mode;
    bool unlockChecked;
    int questionAge;
    bool displayAlways;
    std::vector<int> shown;
  };
  const Case cases[] = {
      {LessonMode::Practice, false, 0, true, {}},
      {LessonMode::Meditate, false, 0, true, {}},
      {LessonMode::Sing, false, 0, false, {57}},
      {LessonMode::Identify, false, 0, false, {}},  // the answer is not given away
      {LessonMode::Mimic, false, 0, false, {}},
      {LessonMode::Mimic, false, 0, true, {57, 64, 60}},
      {LessonMode::Unlock, true, 5, false, {}},
      {LessonMode::Unlock, true, 6, false, {64}},  // revealed: the note the answer is at
      {LessonMode::Unlock, true, 6, true, {64}},
  };
  for (const Case& c : cases) {
    inputs.lessonMode = c.mode;
    inputs.unlockChecked = c.unlockChecked;
    inputs.QuestionAge = c.questionAge;
    inputs.DisplayAlways = c.displayAlways;
    const ShownQuestion shown = shownQuestionOf(inputs);
    EXPECT_EQ(std::vector<int>(shown.span().begin(), shown.span().end()), c.shown)
        << static_cast<int>(c.mode) << " age " << c.questionAge;
  }
  inputs.lessonMode = LessonMode::Sing;
  inputs.QuestionNoteCount = 0;
  EXPECT_EQ(shownQuestionOf(inputs).count, 0);
}

TEST(Deviation, AveragesTheLatestFramesOfTheSameNote) {
  struct Case {
    std::vector<std::optional<double>> frames;
    std::optional<Deviation> shown;
  };
  const Case cases[] = {
      {{}, std::nullopt},
      {{69.07, std::nullopt}, std::nullopt},
      {{69.07}, Deviation{69, 7}},
      {{69.01, 69.03, 69.05, 69.07, 69.09}, Deviation{69, 6}},  // the latest four
      {{68.4, 69.07, 69.09}, Deviation{69, 8}},                 // another note ends the run
      {{69.3, std::nullopt, 68.9}, Deviation{69, -10}},         // so does a gap
      {{60.6, 60.58}, Deviation{61, -41}},
  };
  for (const Case& c : cases) {
    PitchHistory history;
    for (const auto& frame : c.frames) history.add(frame);
    EXPECT_EQ(shownDeviation(history), c.shown) << c.frames.size();
  }
}

TEST(Deviation, TextAndInTuneColourFollowTheReadout) {
  struct Case {
    int cents;
    std::string_view text;
    bool inTune;
  };
  const Case cases[] = {
      {7, "+7 cents", true},    {0, "0 cents", true},      {-12, "-12 cents", true},
      {-25, "-25 cents", true}, {-26, "-26 cents", false}, {16, "+16 cents", true},
      {17, "+17 cents", false}, {-50, "-50 cents", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(deviationText(c.cents), c.text);
    EXPECT_EQ(deviationInTune(c.cents), c.inTune) << c.cents;
  }
}

}  // namespace
}  // namespace auralis::display
