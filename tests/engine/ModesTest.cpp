#include "tests/engine/LessonFixture.h"

namespace auralis::testing {
namespace {

class ModesTest : public LessonFixture {};

TEST_F(ModesTest, EachModeSetsItsAnswerSourcesAndMicrophone) {
  const struct {
    char key;
    LessonMode mode;
    bool mic, keys, midi;
  } cases[] = {
      {'i', LessonMode::Identify, false, true, true}, {'m', LessonMode::Mimic, true, false, false},
      {'s', LessonMode::Sing, true, false, false},    {'u', LessonMode::Unlock, true, false, false},
      {'t', LessonMode::Meditate, true, true, true},  {'p', LessonMode::Practice, true, true, true},
  };
  for (const auto& c : cases) {
    lesson.FormKeyPress(c.key);
    EXPECT_EQ(lesson.lessonMode, c.mode) << c.key;
    EXPECT_EQ(lesson.micWanted, c.mic) << c.key;
    EXPECT_EQ(lesson.acceptKeyAnswers, c.keys) << c.key;
    EXPECT_EQ(lesson.acceptMidiAnswers, c.midi) << c.key;
  }
}

TEST_F(ModesTest, OnlyAChangeOfTheWantedStateStartsOrStopsTheMicrophone) {
  lesson.setLessonMode(LessonMode::Practice);
  lesson.Identify1Click();
  lesson.MimicSing1Click();
  lesson.Sing1Click();
  lesson.Identify1Click();
  EXPECT_EQ(host.events,
            (std::vector<std::string>{"mic start", "mic stop", "mic start", "mic stop"}));
}

TEST_F(ModesTest, LessonsStartAtTheirMasteryLevelWithinTheirTable) {
  lesson.mastery.SingingMastery95Percent = 7;
  lesson.Sing1Click();
  EXPECT_EQ(lesson.level.currentLevel, 7);
  EXPECT_EQ(lesson.level.lessonTable, &SingLevels[7]);
  lesson.mastery.SingingMastery95Percent = 40;
  lesson.Sing1Click();
  EXPECT_EQ(lesson.level.currentLevel, 21);
  lesson.mastery.UnlockMastery1Minute = 3;
  lesson.Unlock1Click();
  EXPECT_EQ(lesson.level.currentLevel, 3);
  lesson.mastery.MimicMastery95Percent = 12;
  lesson.MimicSing1Click();
  EXPECT_EQ(lesson.level.currentLevel, 12);
  lesson.Meditate1Click();
  EXPECT_EQ(lesson.level.currentLevel, 12);
}

TEST_F(ModesTest, NegativeStoredMasteryStartsAtTheFirstLevel) {
  lesson.mastery.IdentifyMastery95Percent = -3;
  lesson.random.RandomState = 6;
  lesson.Identify1Click();
  EXPECT_EQ(lesson.level.currentLevel, 0);
  EXPECT_EQ(lesson.level.lessonTable, &IdentifyLevels[0]);
  EXPECT_EQ(lesson.question.QuestionNoteCount, 1);
  EXPECT_EQ(host.panels[2], "1 of 67");
}

TEST_F(ModesTest, ALessonChangePlaysItsFirstQuestionAtOnceExceptInSing) {
  lesson.random.RandomState = 9;
  lesson.Identify1Click();
  EXPECT_EQ(stream.phrases.size(), 1u);
  finishAllPhrases();
  lesson.Sing1Click();
  EXPECT_EQ(stream.phrases.size(), 1u);
  EXPECT_EQ(host.instruction.rfind("Sing ", 0), 0u);
}

TEST_F(ModesTest, PracticeSingingClearsTheLevelAndAsksNothing) {
  lesson.random.RandomState = 12;
  lesson.Identify1Click();
  finishAllPhrases();
  lesson.Warmup1Click();
  EXPECT_EQ(lesson.question.QuestionNoteCount, 0);
  EXPECT_EQ(lesson.level.ActiveNoteCount(), 0);
  EXPECT_EQ(lesson.level.lessonTable, &PracticeRow);
  EXPECT_EQ(host.instruction, "Sing 'DO' then choose a lesson:  ");
  EXPECT_EQ(host.panels[2], "Practice singing (no questions)");
  EXPECT_EQ(host.panels[3], "");
  const std::size_t phrases = stream.phrases.size();
  type("cdr");
  lesson.Playnewquestion1Click();
  lesson.Levelup1Click();
  for (int t = 0; t < 40; ++t) lesson.Timer1Timer();
  EXPECT_EQ(stream.phrases.size(), phrases);
  EXPECT_TRUE(host.sounds.empty());
}

TEST_F(ModesTest, ResettingMasteryKeepsTheMimicValues) {
  lesson.mastery = {4, 5, 6, 7, 8, 9, 10, 11, 12};
  lesson.MimicSing1Click();
  lesson.ResetCorvinmasterylevel1Click();
  Mastery expected;
  expected.MimicMastery95Percent = 7;
  expected.MimicMastery1Minute = 8;
  EXPECT_EQ(lesson.mastery, expected);
  EXPECT_EQ(lesson.level.currentLevel, 7);
  EXPECT_TRUE(host.saves.empty());  // stored at the next save, not now
}

TEST_F(ModesTest, PlayNewQuestionReplacesTheQuestionWithoutCountingIt) {
  lesson.random.RandomState = 21;
  lesson.mastery.IdentifyMastery95Percent = 10;
  lesson.Identify1Click();
  finishAllPhrases();
  type(rightAnswer().substr(0, 1));
  const std::uint64_t before = lesson.random.RandomState;
  lesson.Playnewquestion1Click();
  EXPECT_NE(lesson.random.RandomState, before);
  EXPECT_EQ(lesson.question.AnswerPosition, 0);
  EXPECT_EQ(lesson.scores.LevelAsked, 0);
  EXPECT_FALSE(player.PlaybackIdle());
}

TEST_F(ModesTest, MidiKeysAnswerOnlyWhereTheModeTakesThem) {
  lesson.random.RandomState = 14;
  lesson.Identify1Click();
  finishAllPhrases();
  lesson.MidiKeyboardKey(rightAnswer()[0]);
  EXPECT_EQ(lesson.scores.LevelCorrect, 1);
  finishAllPhrases();
  const std::uint64_t state = lesson.random.RandomState;
  lesson.MidiKeyboardKey(' ');  // the new-question key
  EXPECT_NE(lesson.random.RandomState, state);
  finishAllPhrases();
  lesson.MimicSing1Click();
  finishAllPhrases();
  lesson.MidiKeyboardKey(rightAnswer()[0]);
  lesson.MidiKeyboardKey('r');
  EXPECT_EQ(lesson.scores.LevelAsked, 0);
  EXPECT_TRUE(player.PlaybackIdle());
}

}  // namespace
}  // namespace auralis::testing
