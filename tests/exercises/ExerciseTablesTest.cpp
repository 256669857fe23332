#include <gtest/gtest.h>

#include <set>
#include <string>

#include "engine/Notes.h"
#include "exercises/ExerciseTables.h"

namespace auralis {
namespace {

constexpr ExerciseDirection kDirections[] = {ExerciseDirection::Sing, ExerciseDirection::Name};

// Every note a question of `drawn` asks to be sung or named, with the prelude's notes that a
// voice sings from (the reference, every tone of a chord).
std::vector<int> askedNotes(const ExerciseTable& table, const DrawnQuestion& drawn) {
  std::vector<int> notes = {drawn.askedNote, drawn.question.referenceNote};
  if (table.prelude == Prelude::Chord)
    notes.insert(notes.end(), drawn.prelude.begin(), drawn.prelude.end());
  return notes;
}

TEST(ExerciseTables, EveryLevelsQuestionsStayInsideTheVoiceRange) {
  const std::pair<int, int> ranges[] = {{48, 72}, {40, 52}, {60, 72}, {84, 96}, {24, 36}, {55, 67}};
  for (const ExerciseTable& table : exerciseTables()) {
    for (const auto& [low, high] : ranges) {
      for (ExerciseDirection direction : kDirections) {
        for (int level = 1; level <= static_cast<int>(table.levels.size()); ++level) {
          SCOPED_TRACE(std::string(table.name) + " level " + std::to_string(level) + " range " +
                       std::to_string(low) + ".." + std::to_string(high));
          Random random{static_cast<std::uint64_t>(level * 7919 + low)};
          ExerciseSettings settings;
          settings.lowNote = low;
          settings.highNote = high;
          for (int draw = 0; draw < 200; ++draw) {
            const DrawnQuestion drawn = drawQuestion(table, direction, level, settings, random);
            ASSERT_FALSE(drawn.question.task.empty());
            for (int note : askedNotes(table, drawn)) {
              EXPECT_GE(note, low);
              EXPECT_LE(note, high);
            }
            if (direction == ExerciseDirection::Sing) {
              EXPECT_EQ(drawn.question.targetNote, drawn.askedNote);
              EXPECT_EQ(drawn.question.answerChoice, -1);
            } else {
              EXPECT_EQ(drawn.question.targetNote, -1);
              EXPECT_GE(drawn.question.answerChoice, 0);
            }
          }
        }
      }
    }
  }
}

// Each level's items and contexts all come up: a level row never names an item it cannot ask.
TEST(ExerciseTables, EveryItemAndContextOfALevelIsAsked) {
  for (const ExerciseTable& table : exerciseTables()) {
    for (int level = 1; level <= static_cast<int>(table.levels.size()); ++level) {
      SCOPED_TRACE(std::string(table.name) + " level " + std::to_string(level));
      const ExerciseLevel& row = table.levels[static_cast<std::size_t>(level - 1)];
      std::set<int> items;
      std::set<int> contexts;
      Random random{99};
      for (int draw = 0; draw < 3000; ++draw) {
        const DrawnQuestion drawn =
            drawQuestion(table, ExerciseDirection::Sing, level, ExerciseSettings{}, random);
        items.insert(drawn.item);
        contexts.insert(drawn.context);
        EXPECT_TRUE(row.items >> drawn.item & 1u);
        EXPECT_TRUE(row.contexts >> drawn.context & 1u);
      }
      EXPECT_EQ(static_cast<int>(items.size()), std::popcount(row.items));
      EXPECT_EQ(static_cast<int>(contexts.size()), std::popcount(row.contexts));
    }
  }
}

TEST(ExerciseTables, LevelsGrowHarderAndTheirChoicesHaveOneKeyEach) {
  for (const ExerciseTable& table : exerciseTables()) {
    double tolerance = 50.0;
    for (int level = 1; level <= static_cast<int>(table.levels.size()); ++level) {
      SCOPED_TRACE(std::string(table.name) + " level " + std::to_string(level));
      const double now = table.levels[static_cast<std::size_t>(level - 1)].toleranceCents;
      EXPECT_LE(now, tolerance) << "the tolerance never widens";
      EXPECT_TRUE(now == 50.0 || now == 25.0);
      tolerance = now;
      const std::vector<ExerciseChoice> choices = levelChoices(table, level, true);
      EXPECT_GE(choices.size(), 2u);
      std::set<char> keys;
      for (const ExerciseChoice& choice : choices) {
        EXPECT_TRUE(std::string("1234567890-=[").find(choice.key) != std::string::npos)
            << choice.key;
        keys.insert(choice.key);
      }
      EXPECT_EQ(keys.size(), choices.size());
    }
    EXPECT_EQ(table.levels.back().toleranceCents, 25.0) << "the last levels ask for 25 cents";
  }
}

// Fifths and octaves come first, ascending, then descending, then both.
TEST(ExerciseTables, IntervalsBeginWithFifthsAndOctavesUpThenDownThenBoth) {
  const ExerciseTable& table = exerciseTable(Exercise::Intervals);
  const struct {
    int level;
    std::set<std::string> directions;
  } cases[] = {{1, {"up"}}, {2, {"down"}}, {3, {"up", "down"}}, {4, {"up"}}, {18, {"up", "down"}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.level);
    std::set<std::string> directions;
    std::set<std::string> labels;
    Random random{5};
    for (int draw = 0; draw < 400; ++draw) {
      const DrawnQuestion d =
          drawQuestion(table, ExerciseDirection::Sing, c.level, ExerciseSettings{}, random);
      directions.insert(std::string(table.contexts[static_cast<std::size_t>(d.context)].label));
      labels.insert(std::string(table.items[static_cast<std::size_t>(d.item)].label));
      const int sign = d.askedNote > d.question.referenceNote ? 1 : -1;
      EXPECT_EQ(d.question.task.find(sign > 0 ? " up from " : " down from ") != std::string::npos,
                true)
          << d.question.task;
    }
    EXPECT_EQ(directions, c.directions);
    if (c.level <= 3) {
      EXPECT_EQ(labels, (std::set<std::string>{"P5", "P8"}));
    }
  }
}

TEST(ExerciseTables, ASungNoteCountsWithinTheToleranceInTheOctaveAsked) {
  const struct {
    int asked;
    int sung;
    double cents;
    double tolerance;
    bool octaveFree;
    bool right;
  } cases[] = {
      {64, 64, 0.0, 50.0, false, true},
      {64, 64, 30.0, 50.0, false, true},
      {64, 64, -30.0, 50.0, false, true},
      {64, 64, 30.0, 25.0, false, false},
      {64, 64, -30.0, 25.0, false, false},
      {64, 64, 24.9, 25.0, false, true},
      {64, 65, 0.0, 50.0, false, false},
      {64, 63, 0.0, 50.0, false, false},
      {64, 65, -49.0, 50.0, false, false},  // 51 cents sharp of the note asked
      {64, 63, 49.0, 25.0, false, false},
      {64, 76, 0.0, 50.0, false, false},
      {64, 76, 0.0, 50.0, true, true},
      {64, 52, 10.0, 25.0, true, true},
      {64, 53, 0.0, 50.0, true, false},
      {64, 88, -20.0, 25.0, true, true},
      {64, 64, std::numeric_limits<double>::quiet_NaN(), 50.0, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.sung) + " " + std::to_string(c.cents) + " tol " +
                 std::to_string(c.tolerance));
    EXPECT_EQ(sungNoteMatches(c.asked, c.sung, c.cents, c.tolerance, c.octaveFree), c.right);
  }
}

TEST(ExerciseTables, PromotionComesAfterTenRightInARowAndNotPastTheLastLevel) {
  EXPECT_FALSE(promotionDue(9, 1, 18));
  EXPECT_TRUE(promotionDue(10, 1, 18));
  EXPECT_TRUE(promotionDue(10, 17, 18));
  EXPECT_FALSE(promotionDue(10, 18, 18));
}

TEST(ExerciseTables, TheSameSeedGivesTheSameQuestions) {
  for (const ExerciseTable& table : exerciseTables()) {
    const auto tasks = [&](std::uint64_t seed) {
      Random random{seed};
      std::vector<std::string> found;
      for (int draw = 0; draw < 30; ++draw)
        found.push_back(drawQuestion(table, ExerciseDirection::Sing,
                                     static_cast<int>(table.levels.size()), ExerciseSettings{},
                                     random)
                            .question.task);
      return found;
    };
    EXPECT_EQ(tasks(1234), tasks(1234));
    EXPECT_NE(tasks(1234), tasks(4321));
  }
}

TEST(ExerciseTables, AVoiceRangeIsKeptAtLeastAnOctaveWideAndInsideTheKeyboard) {
  const struct {
    int low, high, wantLow, wantHigh;
  } cases[] = {
      {48, 72, 48, 72}, {60, 64, 60, 72}, {70, 60, 70, 82}, {0, 10, 24, 36}, {120, 127, 96, 108}};
  for (const auto& c : cases) {
    ExerciseSettings s;
    s.lowNote = c.low;
    s.highNote = c.high;
    const ExerciseSettings sane = saneSettings(s);
    EXPECT_EQ(sane.lowNote, c.wantLow);
    EXPECT_EQ(sane.highNote, c.wantHigh);
  }
}

TEST(ExerciseTables, TasksAndInstructionsSayWhatIsAsked) {
  // A fixed draw of each exercise, named both ways.
  Random random{77};
  ExerciseSettings solfege;
  ExerciseSettings numbers;
  numbers.solfegeNames = false;
  const DrawnQuestion interval =
      drawQuestion(exerciseTable(Exercise::Intervals), ExerciseDirection::Sing, 1, solfege, random);
  const std::string pc(SolfegeSharpNames[pitchClassOf(interval.question.referenceNote)]);
  EXPECT_EQ(interval.question.task,
            std::string(interval.askedNote - interval.question.referenceNote == 7 ? "P5" : "P8") +
                " up from " + noteName(interval.question.referenceNote));
  EXPECT_EQ(interval.question.instruction.rfind("Sing a", 0), 0u);
  EXPECT_NE(interval.question.instruction.find("above " + pc), std::string::npos);

  const DrawnQuestion degree = drawQuestion(exerciseTable(Exercise::ScaleDegrees),
                                            ExerciseDirection::Sing, 7, numbers, random);
  EXPECT_EQ(degree.question.instruction.rfind("Sing degree ", 0), 0u)
      << degree.question.instruction;
  EXPECT_EQ(degree.question.task.rfind("deg ", 0), 0u);
  EXPECT_EQ(degree.prelude.size(), 12u) << "a cadence of four chords";

  const DrawnQuestion chord = drawQuestion(exerciseTable(Exercise::ChordTones),
                                           ExerciseDirection::Name, 6, solfege, random);
  EXPECT_EQ(chord.question.instruction, "Name the chord you hear");
  EXPECT_EQ(chord.question.played, chord.prelude) << "naming a chord hears only the chord";
  EXPECT_EQ(noteName(60), "C4");
  EXPECT_EQ(noteName(70), "A#4");
}

}  // namespace
}  // namespace auralis
