#include "tests/engine/LessonFixture.h"

namespace auralis::testing {
namespace {

class JudgeTest : public LessonFixture {
 protected:
  // Starts Identify at a 0-based level with a fixed seed and lets the first question sound out.
  void startIdentifyAt(int levelIndex, std::uint64_t seed = 2024) {
    lesson.random.RandomState = seed;
    lesson.mastery.IdentifyMastery95Percent = levelIndex;
    lesson.Identify1Click();
    finishAllPhrases();
    host.sounds.clear();
    host.events.clear();
  }

  void sing(char letter, int octave) {
    lesson.SungKeyPress(SungNote::centred(letter, octave));
    lesson.SungNoteOver();
  }
};

TEST_F(JudgeTest, TheFirstOfTwoLettersIsAcknowledgedWhateverItIs) {
  startIdentifyAt(6);  // level 7: two notes in octave 5, melodic
  ASSERT_EQ(lesson.question.QuestionNoteCount, 2);
  lesson.FormKeyPress(wrongLetterFor(0));
  EXPECT_EQ(host.events, (std::vector<std::string>{"CORRECT", "pause 150"}));
  EXPECT_EQ(lesson.question.AnswerPosition, 1);
  EXPECT_EQ(lesson.scores.LevelAsked, 0);
}

TEST_F(JudgeTest, AWrongSecondLetterCountsOneAttemptAndRestartsTheAnswer) {
  startIdentifyAt(6);
  const std::string right = rightAnswer();
  const std::size_t phrasesBefore = stream.phrases.size();
  type(right.substr(0, 1));
  lesson.FormKeyPress(wrongLetterFor(1));
  EXPECT_EQ(host.sounds, (std::vector<std::string>{"CORRECT", "INCORRECT"}));
  EXPECT_EQ(lesson.scores.LevelAsked, 1);
  EXPECT_EQ(lesson.scores.TotalAsked, 1);
  EXPECT_EQ(lesson.scores.LevelCorrect, 0);
  EXPECT_EQ(lesson.scores.LevelStreak, 0);
  EXPECT_EQ(lesson.question.AnswerPosition, 0);
  // The correction phrase: the answer given, then the question after a gap.
  ASSERT_EQ(stream.phrases.size(), phrasesBefore + 1);
  const auto phrase = lastPhrase();
  ASSERT_EQ(phrase.size(), 8u);
  EXPECT_EQ(phrase[4][0], 10);
  EXPECT_EQ(phrase[4][2], lesson.question.QuestionNotes[0]);
  // The next letter is compared with the first note again.
  finishAllPhrases();
  type(right);
  EXPECT_EQ(lesson.scores.LevelCorrect, 1);
  EXPECT_EQ(lesson.scores.LevelAsked, 2);
}

TEST_F(JudgeTest, HarmonicQuestionsAreAnsweredFromTheLowerNoteUp) {
  startIdentifyAt(4, 1);  // level 5, seed 1: C4 and E6 together
  ASSERT_TRUE(lesson.question.HarmonicPlay);
  std::string reversed = rightAnswer();
  ASSERT_NE(reversed[0], reversed[1]);
  std::swap(reversed[0], reversed[1]);
  type(reversed);
  EXPECT_EQ(lesson.scores.LevelCorrect, 0);
  EXPECT_EQ(lesson.scores.LevelAsked, 1);
  finishAllPhrases();
  type(rightAnswer());
  EXPECT_EQ(lesson.scores.LevelCorrect, 1);
}

TEST_F(JudgeTest, EscapeRestartsTheAnswerWithoutTouchingAnyCounter) {
  startIdentifyAt(6);
  type(rightAnswer().substr(0, 1));
  lesson.FormKeyPress(kEscape);
  EXPECT_EQ(lesson.question.AnswerPosition, 0);
  EXPECT_EQ(host.sounds, (std::vector<std::string>{"CORRECT", "CORRECT"}));
  EXPECT_EQ(lesson.scores.LevelAsked, 0);
  type(rightAnswer());
  EXPECT_EQ(lesson.scores.LevelCorrect, 1);
}

TEST_F(JudgeTest, OnlyTheLastLetterTypedDuringPlaybackIsJudgedWhenItEnds) {
  lesson.random.RandomState = 99;
  lesson.Identify1Click();  // level 1: one note
  ASSERT_FALSE(player.PlaybackIdle());
  const char right = rightAnswer()[0];
  lesson.FormKeyPress(wrongLetterFor(0));
  lesson.FormKeyPress(right);
  EXPECT_TRUE(lesson.DeferredAnswer);
  EXPECT_TRUE(host.sounds.empty());
  finishPhrase();
  EXPECT_EQ(host.sounds, (std::vector<std::string>{"CORRECT"}));
  EXPECT_EQ(lesson.scores.LevelCorrect, 1);
  EXPECT_EQ(lesson.scores.LevelAsked, 1);
}

TEST_F(JudgeTest, ReplayKeysWaitForTheSoundingPhraseAndWPlaysOnlyAGivenWrongAnswer) {
  startIdentifyAt(0);
  const std::size_t before = stream.phrases.size();
  lesson.FormKeyPress('w');
  EXPECT_EQ(stream.phrases.size(), before);  // no wrong answer yet: silent
  lesson.FormKeyPress('r');
  EXPECT_EQ(stream.phrases.size(), before + 1);
  lesson.PlayQuestion();  // two requests while sounding ...
  lesson.PlayQuestion();
  EXPECT_TRUE(lesson.ReplayPending);
  finishPhrase();  // ... give exactly one replay
  EXPECT_EQ(stream.phrases.size(), before + 2);
  finishPhrase();
  EXPECT_EQ(stream.phrases.size(), before + 2);

  lesson.FormKeyPress(wrongLetterFor(0));
  finishAllPhrases();
  const std::size_t afterWrong = stream.phrases.size();
  lesson.FormKeyPress('w');
  ASSERT_EQ(stream.phrases.size(), afterWrong + 1);
  EXPECT_EQ(lastPhrase().size(), 2u);
  EXPECT_EQ(pitchClassOf(lastPhrase()[0][2]), LetterToPitchClass(wrongLetterFor(0)));
}

TEST_F(JudgeTest, TwentyQuickAnswersInARowPromote) {
  startIdentifyAt(0);
  for (int i = 0; i < 19; ++i) answerRight();
  EXPECT_EQ(lesson.level.currentLevel, 0);
  EXPECT_EQ(host.count("PROMOTE"), 0);
  answerRight();
  EXPECT_EQ(host.count("PROMOTE"), 1);
  EXPECT_EQ(lesson.level.currentLevel, 1);
  EXPECT_EQ(lesson.scores.LevelStreak, 0);
  EXPECT_EQ(lesson.scores.TotalCorrect, 20);
  ASSERT_EQ(host.saves.size(), 1u);
  EXPECT_EQ(host.saves[0], Mastery{});  // leaving the first level raises nothing
  EXPECT_EQ(host.panels[2], "2 of 67");
}

TEST_F(JudgeTest, ASlowTwentiethAnswerDoesNotPromoteAndTheTwentyFirstCannot) {
  startIdentifyAt(0);
  for (int i = 0; i < 19; ++i) answerRight();
  finishAllPhrases();
  for (int t = 0; t < 6; ++t) lesson.Timer1Timer();
  answerRight();
  EXPECT_EQ(lesson.scores.LevelStreak, 20);
  EXPECT_EQ(lesson.scores.FastRunSeconds, 0);
  answerRight();
  EXPECT_EQ(lesson.scores.LevelStreak, 21);
  EXPECT_EQ(host.count("PROMOTE"), 0);
  EXPECT_EQ(lesson.level.currentLevel, 0);
}

TEST_F(JudgeTest, PracticeModeCountsScoresButNeverPromotes) {
  lesson.menus.PracticeMode1 = true;
  startIdentifyAt(0);
  for (int i = 0; i < 25; ++i) answerRight();
  EXPECT_EQ(lesson.scores.LevelCorrect, 25);
  EXPECT_EQ(host.count("PROMOTE"), 0);
  EXPECT_EQ(lesson.level.currentLevel, 0);
}

TEST_F(JudgeTest, SingLevelOneEchoesTheSungNoteAndLevelTwoPlaysCorrect) {
  lesson.random.RandomState = 5;
  lesson.Sing1Click();
  EXPECT_TRUE(stream.phrases.empty());  // Sing shows the question, it does not play it
  const char letter = rightAnswer()[0];
  sing(letter, 4);
  EXPECT_TRUE(host.sounds.empty());
  ASSERT_EQ(stream.phrases.size(), 1u);
  EXPECT_EQ(lastPhrase()[0][2], 48 + LetterToPitchClass(letter));
  EXPECT_EQ(host.count("pause 150"), 0);  // sung answers come without pauses

  finishAllPhrases();
  lesson.Levelup1Click();
  sing(rightAnswer()[0], 5);
  EXPECT_EQ(host.sounds, (std::vector<std::string>{"CORRECT"}));
}

TEST_F(JudgeTest, MicrophoneModesIgnoreTypedLettersButNotReplayKeys) {
  lesson.random.RandomState = 8;
  lesson.MimicSing1Click();
  finishAllPhrases();
  const std::size_t before = stream.phrases.size();
  type(rightAnswer());
  EXPECT_EQ(lesson.scores.LevelAsked, 0);
  lesson.NoteColumnClicked(pitchClassOf(lesson.question.QuestionNotes[0]));
  EXPECT_EQ(lesson.scores.LevelAsked, 0);
  lesson.FormKeyPress('r');
  EXPECT_EQ(stream.phrases.size(), before + 1);
  finishAllPhrases();
  sing(rightAnswer()[0], 5);
  EXPECT_EQ(lesson.scores.LevelCorrect, 1);
}

TEST_F(JudgeTest, LevelDownAtTheFirstLevelStaysButDrawsANewQuestionPlayedAtTheSecondTick) {
  startIdentifyAt(0);
  answerRight();
  const std::uint64_t state = lesson.random.RandomState;
  const std::size_t before = stream.phrases.size();
  lesson.Leveldown1Click();
  EXPECT_EQ(lesson.level.currentLevel, 0);
  EXPECT_EQ(lesson.scores.LevelCorrect, 0);
  EXPECT_EQ(lesson.scores.LevelAsked, 0);
  EXPECT_NE(lesson.random.RandomState, state);
  EXPECT_EQ(stream.phrases.size(), before);
  lesson.Timer1Timer();
  EXPECT_EQ(stream.phrases.size(), before);
  lesson.Timer1Timer();
  EXPECT_EQ(stream.phrases.size(), before + 1);
  lesson.Levelup1Click();
  EXPECT_EQ(lesson.level.currentLevel, 1);
}

TEST_F(JudgeTest, LevelUpStopsAtEachTablesLastLevel) {
  lesson.mastery.SingingMastery95Percent = 21;
  lesson.Sing1Click();
  lesson.Levelup1Click();
  EXPECT_EQ(lesson.level.currentLevel, 21);
  EXPECT_EQ(host.panels[2], "22 of 22");
  lesson.mastery.IdentifyMastery95Percent = 66;
  lesson.Identify1Click();
  lesson.Levelup1Click();
  EXPECT_EQ(lesson.level.currentLevel, 66);
}

TEST_F(JudgeTest, SingHintsSoundAtTicksSixToThirtyEveryThird) {
  lesson.random.RandomState = 3;
  lesson.Sing1Click();
  std::vector<int> hintTicks;
  for (int tick = 1; tick <= 40; ++tick) {
    const std::size_t before = stream.phrases.size();
    lesson.Timer1Timer();
    if (stream.phrases.size() > before) hintTicks.push_back(tick);
    finishAllPhrases();
  }
  EXPECT_EQ(hintTicks, (std::vector<int>{6, 9, 12, 15, 18, 21, 24, 27, 30}));
}

TEST_F(JudgeTest, UnlockRevealsFromTheSixthTickAndPromotesAfterAMinuteOfQuickAnswers) {
  lesson.random.RandomState = 17;
  lesson.Unlock1Click();
  finishAllPhrases();
  const int repaints = host.notePanelRepaints;
  for (int t = 0; t < 5; ++t) lesson.Timer1Timer();
  EXPECT_EQ(host.notePanelRepaints, repaints);  // nothing to reveal yet
  lesson.Timer1Timer();
  EXPECT_GT(host.notePanelRepaints, repaints);
  finishAllPhrases();

  // A slow answer resets the fast run.
  sing(rightAnswer()[0], 5);
  EXPECT_EQ(lesson.scores.FastRunSeconds, 0);
  finishAllPhrases();
  int answers = 0;
  while (lesson.level.currentLevel == 0 && answers < 40) {
    for (int t = 0; t < 5; ++t) lesson.Timer1Timer();
    finishAllPhrases();
    for (int i = 0; i < lesson.question.QuestionNoteCount; ++i) {
      sing(NoteLetters[pitchClassOf(lesson.question.QuestionNotes[i])], 5);
      finishAllPhrases();
    }
    ++answers;
  }
  EXPECT_EQ(lesson.level.currentLevel, 1);
  EXPECT_EQ(host.count("PROMOTE"), 1);
  // Five ticks before each answer: the run reaches 60 seconds with the twelfth.
  EXPECT_EQ(answers, 12);
}

TEST_F(JudgeTest, MeditateRepeatsTheChosenNoteEveryEightTicks) {
  lesson.random.RandomState = 4;
  lesson.Meditate1Click();
  EXPECT_TRUE(stream.phrases.empty());
  for (int t = 0; t < 10; ++t) lesson.Timer1Timer();
  EXPECT_TRUE(stream.phrases.empty());  // no note chosen yet
  lesson.FormKeyPress('g');
  std::vector<int> playTicks;
  for (int tick = 1; tick <= 20; ++tick) {
    const std::size_t before = stream.phrases.size();
    lesson.Timer1Timer();
    if (stream.phrases.size() > before) playTicks.push_back(tick);
    finishAllPhrases();
  }
  EXPECT_EQ(playTicks, (std::vector<int>{2, 10, 18}));
  EXPECT_EQ(pitchClassOf(lastPhrase()[0][2]), 7);
  EXPECT_EQ(lastPhrase()[1][0], 120);
  EXPECT_EQ(lesson.scores.LevelAsked, 0);
}

TEST_F(JudgeTest, ZeroKeyEntersPracticeWithoutTheRestOfTheSwitch) {
  startIdentifyAt(2);
  lesson.FormKeyPress('0');
  EXPECT_EQ(lesson.lessonMode, LessonMode::Practice);
  EXPECT_EQ(lesson.level.currentLevel, 2);
  lesson.Levelup1Click();
  EXPECT_EQ(lesson.level.currentLevel, 2);
}

TEST_F(JudgeTest, TheTimerCountsTheLevelClocksOnlyOnceAnAnswerWasGiven) {
  startIdentifyAt(0);
  lesson.Timer1Timer();
  EXPECT_EQ(lesson.scores.ElapsedSeconds, 1);
  EXPECT_EQ(lesson.scores.LevelSeconds, 0);
  answerRight();
  for (int t = 0; t < 3; ++t) lesson.Timer1Timer();
  EXPECT_EQ(lesson.scores.LevelSeconds, 3);
  EXPECT_EQ(lesson.scores.FastRunSeconds, 3);
  EXPECT_EQ(host.panels[0], "0:03 / 0:03 / 0:04");
}

}  // namespace
}  // namespace auralis::testing
