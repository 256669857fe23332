#include "tests/engine/LessonFixture.h"

namespace auralis::testing {
namespace {

// Promote() on a level with given counters, as the judge calls it after PROMOTE.
class PromotionTest : public LessonFixture {
 protected:
  void enter(LessonMode mode, int levelIndex) {
    lesson.lessonMode = mode;
    lesson.menus.checkedLesson = mode == LessonMode::Identify ? LessonItem::Identify1
                                 : mode == LessonMode::Unlock ? LessonItem::Unlock1
                                 : mode == LessonMode::Sing   ? LessonItem::Sing1
                                                              : LessonItem::MimicSing1;
    lesson.level.currentLevel = levelIndex;
    lesson.LoadLevel();
  }
  void counters(int correct, int asked, int seconds) {
    lesson.scores.LevelCorrect = correct;
    lesson.scores.LevelAsked = asked;
    lesson.scores.LevelSeconds = seconds;
  }
};

TEST_F(PromotionTest, RaisesEveryIdentifyValueWhoseCriterionHoldsAndWhoseChainIsUnbroken) {
  const struct {
    int correct, asked, seconds;
    Mastery before, after;
  } cases[] = {
      // 20 of 20 within 50 s with all three at 2: all rise to 3.
      {20, 20, 50, {2, 2, 2}, {3, 3, 3}},
      // A gap in the chain: the 95 % value at 1 stays.
      {20, 20, 50, {1, 2, 2}, {1, 3, 3}},
      // 19 of 20 meets 95 % but not 100 %; 61 s misses the minute.
      {19, 20, 61, {2, 2, 2}, {3, 2, 2}},
      // 18 of 19 is below 95 %.
      {18, 19, 10, {2, 2, 2}, {2, 2, 3}},
  };
  for (const auto& c : cases) {
    enter(LessonMode::Identify, 3);
    lesson.mastery = c.before;
    counters(c.correct, c.asked, c.seconds);
    lesson.Promote();
    EXPECT_EQ(lesson.mastery, c.after) << c.correct << "/" << c.asked << " in " << c.seconds;
    EXPECT_EQ(lesson.level.currentLevel, 4);
    ASSERT_FALSE(host.saves.empty());
    EXPECT_EQ(host.saves.back(), c.after);
  }
}

TEST_F(PromotionTest, EachLessonRaisesOnlyItsOwnValues) {
  Mastery chain;
  chain.MimicMastery95Percent = 4;
  chain.MimicMastery1Minute = 4;
  chain.SingingMastery95Percent = 4;
  chain.SingingMastery1Minute = 4;
  chain.UnlockMastery1Minute = 4;
  chain.UnlockMastery95Percent = 4;
  chain.IdentifyMastery95Percent = 4;

  enter(LessonMode::Mimic, 5);
  lesson.mastery = chain;
  counters(20, 20, 40);
  lesson.Promote();
  EXPECT_EQ(lesson.mastery.MimicMastery95Percent, 5);
  EXPECT_EQ(lesson.mastery.MimicMastery1Minute, 5);
  EXPECT_EQ(lesson.mastery.IdentifyMastery95Percent, 4);

  enter(LessonMode::Sing, 5);
  lesson.mastery = chain;
  counters(9, 9, 40);  // fewer than ten correct: no minute value
  lesson.Promote();
  EXPECT_EQ(lesson.mastery.SingingMastery95Percent, 5);
  EXPECT_EQ(lesson.mastery.SingingMastery1Minute, 4);

  // Unlock's minute needs 10 correct and at most 66 s; its 95 % value never rises.
  enter(LessonMode::Unlock, 5);
  lesson.mastery = chain;
  counters(12, 12, 66);
  lesson.Promote();
  EXPECT_EQ(lesson.mastery.UnlockMastery1Minute, 5);
  EXPECT_EQ(lesson.mastery.UnlockMastery95Percent, 4);
  enter(LessonMode::Unlock, 5);
  lesson.mastery = chain;
  counters(12, 12, 67);
  lesson.Promote();
  EXPECT_EQ(lesson.mastery.UnlockMastery1Minute, 4);
}

TEST_F(PromotionTest, TheFirstLevelNeverRaisesAValue) {
  enter(LessonMode::Identify, 0);
  counters(20, 20, 10);
  lesson.Promote();
  EXPECT_EQ(lesson.mastery, Mastery{});
  EXPECT_EQ(lesson.level.currentLevel, 1);
}

TEST_F(PromotionTest, AtTheLastIdentifyLevelTheLevelAndItsScoresStay) {
  enter(LessonMode::Identify, 66);
  counters(20, 20, 30);
  lesson.scores.LevelStreak = 20;
  lesson.scores.FastRunSeconds = 30;
  lesson.Promote();
  EXPECT_EQ(host.saves.size(), 1u);
  EXPECT_EQ(lesson.level.currentLevel, 66);
  EXPECT_EQ(lesson.scores.LevelStreak, 20);
  EXPECT_EQ(lesson.scores.LevelCorrect, 20);
  EXPECT_EQ(lesson.scores.LevelSeconds, 0);
  EXPECT_EQ(lesson.scores.FastRunSeconds, 0);
}

TEST_F(PromotionTest, AtTheLastSingOrUnlockLevelTheSameLevelReloadsWithFreshScores) {
  for (auto [mode, last] : {std::pair{LessonMode::Sing, 21}, std::pair{LessonMode::Unlock, 17}}) {
    enter(mode, last);
    counters(20, 20, 30);
    lesson.Promote();
    EXPECT_EQ(lesson.level.currentLevel, last);
    EXPECT_EQ(lesson.scores.LevelCorrect, 0);
  }
}

TEST_F(PromotionTest, AfterALevelUpOnlyAnUnbrokenChainRises) {
  lesson.random.RandomState = 31;
  lesson.mastery.IdentifyMastery95Percent = 2;
  lesson.mastery.IdentifyMastery100Percent = 2;
  lesson.mastery.IdentifyMastery1Minute = 2;
  lesson.Identify1Click();
  lesson.Levelup1Click();
  lesson.Levelup1Click();  // level index 4: the chain stops at 2
  counters(20, 20, 30);
  lesson.Promote();
  EXPECT_EQ(lesson.mastery.IdentifyMastery95Percent, 2);
  EXPECT_EQ(lesson.level.currentLevel, 5);
}

}  // namespace
}  // namespace auralis::testing
