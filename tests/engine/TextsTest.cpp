#include "engine/Question.h"
#include "engine/Texts.h"
#include "tests/engine/LessonFixture.h"

namespace auralis::testing {
namespace {

std::string scoreText(const Scores& s) {
  FixedText text;
  ScoreText(s, text);
  return std::string(text.view());
}

TEST(Texts, ScoreTextShowsLevelStreakAndTotals) {
  Scores s;
  EXPECT_EQ(scoreText(s), "0/0 this level (0.0%);  0 in a row (0 highest);  0/0 total (0.0%)");
  s.LevelCorrect = 3;
  s.LevelAsked = 4;
  s.LevelStreak = 2;
  s.LevelBestStreak = 2;
  s.TotalCorrect = 10;
  s.TotalAsked = 12;
  EXPECT_EQ(scoreText(s), "3/4 this level (75.0%);  2 in a row (2 highest);  10/12 total (83.3%)");
}

TEST(Texts, ClocksAreMinutesAndTwoDigitSeconds) {
  const struct {
    int seconds;
    const char* text;
  } cases[] = {{0, "0:00"}, {59, "0:59"}, {60, "1:00"}, {600, "10:00"}, {7325, "122:05"}};
  for (const auto& c : cases) {
    FixedText text;
    appendClock(c.seconds, text);
    EXPECT_EQ(text.view(), c.text);
  }
  Scores s;
  s.FastRunSeconds = 7;
  s.LevelSeconds = 92;
  s.ElapsedSeconds = 725;
  FixedText text;
  ClockText(s, text);
  EXPECT_EQ(text.view(), "0:07 / 1:32 / 12:05");
}

std::string instruction(LessonMode mode, int levelIndex, bool solfege, bool mimic = false) {
  LevelState level;
  level.currentLevel = levelIndex;
  LoadLevelRow(level, mode);
  QuestionState question;
  Random random{1};
  FixedText text;
  InstructionText({level, question, solfege, mimic}, random, text);
  return std::string(text.view());
}

TEST(Texts, TheInstructionLineNamesTheLessonAndDescribesTheLevel) {
  EXPECT_EQ(instruction(LessonMode::Identify, 0, true), "Identify:  DO, MI");
  EXPECT_EQ(instruction(LessonMode::Identify, 0, false), "Identify:  C, E");
  EXPECT_EQ(instruction(LessonMode::Identify, 11, false), "Identify:  C, D, E, G");
  EXPECT_EQ(instruction(LessonMode::Identify, 35, true), "Identify all white notes");
  EXPECT_EQ(instruction(LessonMode::Mimic, 59, true, true), "Mimic all notes");
  EXPECT_EQ(instruction(LessonMode::Unlock, 2, true), "Unlock white thirds");
  EXPECT_EQ(instruction(LessonMode::Unlock, 6, true), "Unlock white seconds");
  EXPECT_EQ(instruction(LessonMode::Unlock, 0, true), "Unlock all white notes");
  EXPECT_EQ(instruction(LessonMode::Meditate, 0, true), "Meditate all notes");
  EXPECT_EQ(instruction(LessonMode::Practice, 0, true), "Sing 'DO' then choose a lesson:  ");
}

TEST(Texts, SingSpellsABlackKeyFlatOrSharpByADraw) {
  LevelState level;
  LoadLevelRow(level, LessonMode::Sing);
  QuestionState question;
  question.QuestionNoteCount = 2;
  question.QuestionNotes = {61, 64};
  // Seed 1 draws 16807 (odd: sharp), then 282475249 (odd), then 1622650073 (odd),
  // 984943658 (even: flat).
  Random random{1};
  std::vector<std::string> lines;
  for (int i = 0; i < 4; ++i) {
    FixedText text;
    InstructionText({level, question, true, false}, random, text);
    lines.emplace_back(text.view());
  }
  EXPECT_EQ(lines, (std::vector<std::string>{"Sing DI then MI", "Sing DI then MI",
                                             "Sing DI then MI", "Sing RA then MI"}));
  FixedText letters;
  InstructionText({level, question, false, false}, random, letters);
  EXPECT_EQ(letters.view(), "Sing Db then E");
  EXPECT_EQ(random.RandomState, 1144108930u);  // one draw per black key, none for white keys
}

TEST(Texts, LevelAndMasteryPanels) {
  const auto panel2 = [](LessonMode mode, int level) {
    FixedText text;
    LevelPanelText(mode, level, text);
    return std::string(text.view());
  };
  EXPECT_EQ(panel2(LessonMode::Practice, 3), "Practice singing (no questions)");
  EXPECT_EQ(panel2(LessonMode::Meditate, 3), "Sing a pitch to meditate on.");
  EXPECT_EQ(panel2(LessonMode::Identify, 4), "5 of 67");
  EXPECT_EQ(panel2(LessonMode::Unlock, 0), "1 of 18");
  EXPECT_EQ(panel2(LessonMode::Sing, 21), "22 of 22");

  const auto panel3 = [](LessonItem item, const Mastery& m) {
    FixedText text;
    MasteryPanelText(item, m, text);
    return std::string(text.view());
  };
  Mastery m;
  EXPECT_EQ(panel3(LessonItem::Identify1, m), "1 / 1 / 1");
  m.IdentifyMastery95Percent = 3;
  m.IdentifyMastery100Percent = 1;
  m.IdentifyMastery1Minute = 2;
  m.MimicMastery95Percent = 5;
  m.SingingMastery1Minute = 7;
  m.UnlockMastery1Minute = 2147483647;  // a hand-edited store: shown without overflow
  EXPECT_EQ(panel3(LessonItem::Identify1, m), "4 / 2 / 3");
  EXPECT_EQ(panel3(LessonItem::MimicSing1, m), "6 / 1");
  EXPECT_EQ(panel3(LessonItem::Sing1, m), "1 / 8");
  EXPECT_EQ(panel3(LessonItem::Unlock1, m), "2147483648");
  EXPECT_EQ(panel3(LessonItem::Warmup1, m), "");
  EXPECT_EQ(panel3(LessonItem::Meditate1, m), "");
}

class LessonTextsTest : public LessonFixture {};

TEST_F(LessonTextsTest, TheViewItemsChooseSolfegeOrLetterNames) {
  lesson.random.RandomState = 10;
  lesson.Identify1Click();
  EXPECT_EQ(host.instruction, "Identify:  DO, MI");
  lesson.menus.Solfege1 = false;
  lesson.menus.Piano1 = true;
  lesson.UpdateTexts();
  EXPECT_EQ(host.instruction, "Identify:  C, E");
  EXPECT_EQ(host.panels[2], "1 of 67");
  EXPECT_EQ(host.panels[3], "1 / 1 / 1");
}

TEST_F(LessonTextsTest, OnlyLinesOtherThanSingAreFollowedByARepaintOfThePanel) {
  const struct {
    void (Lesson::*command)();
    int repaints;  // the new level's texts and the question shown
  } cases[] = {
      {&Lesson::Sing1Click, 1},
      {&Lesson::Identify1Click, 2},
      {&Lesson::MimicSing1Click, 2},
  };
  for (const auto& c : cases) {
    const int before = host.notePanelRepaints;
    (lesson.*c.command)();
    EXPECT_EQ(host.notePanelRepaints - before, c.repaints) << host.instruction;
  }
}

}  // namespace
}  // namespace auralis::testing
