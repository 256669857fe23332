#include <gtest/gtest.h>

#include <climits>

#include "engine/LevelState.h"
#include "engine/Notes.h"
#include "engine/Random.h"

namespace auralis {
namespace {

TEST(Notes, LetterToPitchClassMapsAnswerLettersAndFallsBackToC) {
  const struct {
    char letter;
    int pitchClass;
  } cases[] = {{'c', 0},  {'C', 1},  {'d', 2}, {'F', 6}, {'a', 9},
               {'A', 10}, {'b', 11}, {'E', 0}, {'B', 0}, {'x', 0}};
  for (const auto& c : cases) EXPECT_EQ(LetterToPitchClass(c.letter), c.pitchClass) << c.letter;
  EXPECT_FALSE(isAnswerLetter('E'));
  EXPECT_FALSE(isAnswerLetter('\0'));
  EXPECT_TRUE(isAnswerLetter('G'));
}

LevelState loaded(LessonMode mode, int currentLevel) {
  LevelState level;
  level.currentLevel = currentLevel;
  EXPECT_TRUE(LoadLevelRow(level, mode));
  return level;
}

TEST(Levels, ActiveNoteCountFollowsTheRowsPitchClasses) {
  EXPECT_EQ(loaded(LessonMode::Identify, 0).ActiveNoteCount(), 2);
  EXPECT_EQ(loaded(LessonMode::Sing, 11).ActiveNoteCount(), 8);
  EXPECT_EQ(loaded(LessonMode::Unlock, 8).ActiveNoteCount(), 12);
  EXPECT_EQ(loaded(LessonMode::Identify, 35).ActiveNoteCount(), 8);
  EXPECT_EQ(loaded(LessonMode::Identify, 53).ActiveNoteCount(), 11);
}

TEST(Levels, IdentifyGroupsStepThroughTheirPattern) {
  // Levels 1 to 5 skip the harmonic step in octave 5; later groups have all six steps.
  const int expected[][3] = {{4, 1, 1}, {4, 2, 4}, {5, 1, 1}, {5, 2, 4}, {5, 2, 1}, {4, 1, 1},
                             {4, 2, 4}, {4, 2, 1}, {5, 1, 1}, {5, 2, 4}, {5, 2, 1}};
  for (int i = 0; i < 11; ++i) {
    const LevelRecord& row = IdentifyLevels[i];
    EXPECT_EQ(row.OctaveRangeCode, expected[i][0]) << "level " << i + 1;
    EXPECT_EQ(row.QuestionType, expected[i][1]) << "level " << i + 1;
    EXPECT_EQ(row.PlayStyle, expected[i][2]) << "level " << i + 1;
  }
  EXPECT_EQ(IdentifyLevels[65].QuestionType, 3);
  EXPECT_EQ(IdentifyLevels[65].PlayStyle, 4);
  EXPECT_EQ(IdentifyLevels[66].PlayStyle, 1);
  for (const auto& row : IdentifyLevels) {
    EXPECT_EQ(row.PaceCode, 1);
    EXPECT_EQ(row.EchoCode, 1);
    EXPECT_EQ(row.SameOctave, 3);
  }
}

TEST(Levels, SingEchoesOnOddLevelsOnly) {
  for (int i = 0; i < singLevelCount; ++i)
    EXPECT_EQ(SingLevels[i].EchoCode, i % 2 == 0 ? 2 : 0) << "level " << i + 1;
}

TEST(LoadLevel, ClampsTheLevelIntoTheModesTableBothWays) {
  const struct {
    LessonMode mode;
    int requested;
    int loaded;
  } cases[] = {
      {LessonMode::Unlock, 20, 17},   {LessonMode::Sing, 22, 21},
      {LessonMode::Identify, 67, 66}, {LessonMode::Mimic, INT_MAX, 66},
      {LessonMode::Identify, -5, 0},  {LessonMode::Sing, INT_MIN, 0},
  };
  for (const auto& c : cases) {
    const LevelState level = loaded(c.mode, c.requested);
    EXPECT_EQ(level.currentLevel, c.loaded) << c.requested;
  }
  EXPECT_EQ(loaded(LessonMode::Unlock, 20).lessonTable, &UnlockLevels[17]);
}

TEST(LoadLevel, PracticeLoadsNothingAndMeditateIgnoresTheLevel) {
  LevelState level;
  level.currentLevel = 9;
  EXPECT_FALSE(LoadLevelRow(level, LessonMode::Practice));
  EXPECT_EQ(level.lessonTable, &PracticeRow);
  EXPECT_TRUE(LoadLevelRow(level, LessonMode::Meditate));
  EXPECT_EQ(level.lessonTable, &MeditateRow);
  EXPECT_EQ(level.currentLevel, 9);
  EXPECT_EQ(level.PaceCode, kPaceMeditate);
}

TEST(LoadLevel, SetsOneNoteCountFlagAndTheOctaveRange) {
  const LevelState unlock3 = loaded(LessonMode::Unlock, 2);  // a third: two notes
  EXPECT_EQ(unlock3.NoteCountChoices, (std::array<std::uint8_t, 5>{0, 1, 0, 0, 0}));
  const LevelState identify66 = loaded(LessonMode::Identify, 65);
  EXPECT_EQ(identify66.NoteCountChoices, (std::array<std::uint8_t, 5>{0, 0, 1, 0, 0}));
  // Code 5: octave numbers 4 to 6; code 4: octave number 5 only.
  EXPECT_EQ(identify66.OctaveChoices, (std::array<std::uint8_t, 8>{0, 0, 0, 1, 1, 1, 0, 0}));
  EXPECT_EQ(loaded(LessonMode::Identify, 0).OctaveChoices,
            (std::array<std::uint8_t, 8>{0, 0, 0, 0, 1, 0, 0, 0}));
  // Unlock level 9 uses code 2: octave numbers 3 to 7.
  EXPECT_EQ(loaded(LessonMode::Unlock, 8).OctaveChoices,
            (std::array<std::uint8_t, 8>{0, 0, 1, 1, 1, 1, 1, 0}));
}

TEST(Random, FollowsTheMinimalStandardStepsWhileTheStateStaysSmall) {
  Random random{1};
  const int expected[] = {16807, 282475249, 1622650073, 984943658, 1144108930, 470211272};
  for (int value : expected) EXPECT_EQ(random.DrawRandom(kDrawRange), value);
}

TEST(Random, ANegativeDifferenceWrapsAroundInsteadOfBeingCorrected) {
  // 127773 = 1 * 127773 + 0, so the step is 16807 * 0 - 2836 * 1, which wraps.
  Random random{127773};
  EXPECT_EQ(random.DrawRandom(kDrawRange), 2836);
  EXPECT_EQ(random.RandomState, 0xFFFFFFFFFFFFF4ECull);
  // The huge state goes on through the same unsigned arithmetic.
  EXPECT_EQ(random.DrawRandom(kDrawRange), 2004422213);
  EXPECT_EQ(random.RandomState, 18037307291803775419ull);
}

TEST(Random, AZeroStateIsReplacedAndTheNextDrawContinuesFromIt) {
  Random random{0};
  EXPECT_EQ(random.DrawRandom(kDrawRange), 0);
  EXPECT_EQ(random.RandomState, 2147483647u);
  // 2147483647 = 16807 * 127773 + 2836, so 16807 * 2836 - 2836 * 16807 = 0 again.
  EXPECT_EQ(random.DrawRandom(kDrawRange), 0);
  EXPECT_EQ(random.RandomState, 2147483647u);
}

TEST(Random, TheMostNegativeLowWordCountsAsItsMagnitude) {
  // 97376570762 = 762106 * 127773 + 824 steps to 0xFFFFFFFF80000000, whose low word reads as
  // -2147483648; its magnitude 2147483648 is 1 modulo 2147483647.
  Random random{97376570762ull};
  EXPECT_EQ(random.DrawRandom(kDrawRange), 1);
  EXPECT_EQ(random.RandomState, 0xFFFFFFFF80000000ull);
}

TEST(Random, SeedsFromTheFractionOfTheDayInExtendedPrecision) {
  Random random;
  random.SeedRandom(0.5L);
  EXPECT_EQ(random.RandomState, 4611686015206162432ull);
  random.SeedRandom(0.0L);
  EXPECT_EQ(random.RandomState, 0u);
  random.SeedRandom(0.999999L);
  EXPECT_LT(random.RandomState, 1ull << 63);
}

}  // namespace
}  // namespace auralis
