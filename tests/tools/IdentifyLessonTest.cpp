#include <cstdio>

#include "tests/tools/DriverSession.h"

namespace auralis::driver::testing {
namespace {

std::vector<std::string> answerRightTimes(DriverSession& s, int times, int ticksAfterEach) {
  std::vector<std::string> lines;
  for (int i = 0; i < times; ++i) {
    for (auto& line : s.answerRight()) lines.push_back(line);
    if (ticksAfterEach > 0) s.run("tick " + std::to_string(ticksAfterEach) + "\n");
  }
  return lines;
}

std::string noteOnOff(int note, int delay, int length) {
  char text[64];
  std::snprintf(text, sizeof text, "%d 90 %02X 50 | %d 90 %02X 00", delay, note, length, note);
  return text;
}

TEST(IdentifyLesson, TwentyQuickAnswersPromoteFromLevelOneAndTheLessonGoesOn) {
  DriverSession s;
  const auto start = s.run("seed 4242\nmode identify\n");
  EXPECT_EQ(countOf(start, "status 2 \"1 of 67\""), 1);

  EXPECT_TRUE(linesStartingWith(answerRightTimes(s, 19, 1), "sound PROMOTE").empty());
  const auto twentieth = s.answerRight();
  const auto sounds = heard(twentieth);
  ASSERT_EQ(sounds.size(), 4u);
  EXPECT_EQ(sounds[0], "sound CORRECT");
  EXPECT_EQ(sounds[1], "pause 150");
  EXPECT_EQ(sounds[2], "sound PROMOTE");
  EXPECT_TRUE(sounds[3].starts_with("phrase 4: "));  // level 2 asks two notes in turn
  // Leaving the first level raises nothing: the chain would need the value -1.
  EXPECT_EQ(countOf(twentieth,
                    "save mastery IdentifyMastery95Percent=0 IdentifyMastery100Percent=0 "
                    "IdentifyMastery1Minute=0 MimicMastery95Percent=0 MimicMastery1Minute=0 "
                    "UnlockMastery95Percent=0 UnlockMastery1Minute=0 SingingMastery95Percent=0 "
                    "SingingMastery1Minute=0"),
            1);
  EXPECT_EQ(countOf(twentieth, "status 2 \"2 of 67\""), 1);

  const auto next = answerRightTimes(s, 20, 1);
  EXPECT_EQ(linesStartingWith(next,
                              "save mastery IdentifyMastery95Percent=1 "
                              "IdentifyMastery100Percent=1 IdentifyMastery1Minute=1 "
                              "MimicMastery95Percent=0 ")
                .size(),
            1u);
  EXPECT_EQ(countOf(next, "status 2 \"3 of 67\""), 1);
  EXPECT_EQ(countOf(next, "status 3 \"2 / 2 / 2\""), 1);
  EXPECT_EQ(s.lesson().scores.TotalCorrect, 40);
}

TEST(IdentifyLesson, PromotionRaisesOnlyTheValuesWhoseChainAndCriterionHold) {
  struct Case {
    const char* name;
    int start95, start100, start1Minute;
    int levelUps;        // from the level the lesson starts at to index 3
    int wrongFirst;      // wrong answers before the run of 20
    int ticksPerAnswer;  // 4 makes the level take over a minute
    int end95, end100, end1Minute;
  };
  const Case cases[] = {
      {"all at 2", 2, 2, 2, 1, 0, 1, 3, 3, 3},
      {"95% value left behind", 1, 2, 2, 2, 0, 1, 1, 3, 3},
      {"20 of 21 is 95%", 2, 2, 2, 1, 1, 1, 3, 2, 3},
      {"20 of 22 is not", 2, 2, 2, 1, 2, 1, 2, 2, 3},
      {"over a minute", 2, 2, 2, 1, 0, 4, 3, 3, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DriverSession s;
    s.run("seed 77\nmastery IdentifyMastery95Percent " + std::to_string(c.start95) +
          "\nmastery IdentifyMastery100Percent " + std::to_string(c.start100) +
          "\nmastery IdentifyMastery1Minute " + std::to_string(c.start1Minute) +
          "\nmode identify\n");
    for (int i = 0; i < c.levelUps; ++i) s.run("done\nlevelup\ntick 2\n");
    ASSERT_EQ(s.lesson().level.currentLevel, 3);
    for (int i = 0; i < c.wrongFirst; ++i)
      s.run(std::string("done\ntype ") + s.wrongLetterFor(0) + s.rightAnswer()[1] + "\n");
    const auto lines = answerRightTimes(s, 20, c.ticksPerAnswer);
    ASSERT_EQ(countOf(lines, "sound PROMOTE"), 1);
    EXPECT_EQ(s.lesson().mastery.IdentifyMastery95Percent, c.end95);
    EXPECT_EQ(s.lesson().mastery.IdentifyMastery100Percent, c.end100);
    EXPECT_EQ(s.lesson().mastery.IdentifyMastery1Minute, c.end1Minute);
  }
}

TEST(IdentifyLesson, NoPromotionForASlowTwentiethAnswerOrInPracticeMode) {
  for (bool practiceMode : {false, true}) {
    SCOPED_TRACE(practiceMode ? "practice mode" : "slow twentieth");
    DriverSession s;
    s.run(std::string("seed 9\nmode identify\ncheck PracticeMode1 ") +
          (practiceMode ? "on" : "off") + "\n");
    auto lines = answerRightTimes(s, 19, 0);
    s.run(practiceMode ? "" : "tick 6\n");
    for (auto& line : answerRightTimes(s, 2, 0)) lines.push_back(line);
    EXPECT_EQ(countOf(lines, "sound PROMOTE"), 0);
    EXPECT_EQ(s.lesson().scores.LevelCorrect, 21);
    EXPECT_EQ(s.lesson().level.currentLevel, 0);
  }
}

TEST(IdentifyLesson, WrongAnswerPlaysIncorrectThenTheAnswerAndTheQuestion) {
  DriverSession s;
  s.run("seed 5\nmode identify\ndone\n");
  EXPECT_TRUE(heard(s.run("key w\n")).empty());  // nothing wrong yet, so nothing to replay
  const int question = s.lesson().question.QuestionNotes[0];
  const int answer = question == 60 ? 64 : 60;
  const auto lines = s.run(std::string("key ") + (question == 60 ? "e" : "c") + "\n");
  EXPECT_EQ(heard(lines),
            (std::vector<std::string>{"sound INCORRECT", "phrase 4: " + noteOnOff(answer, 0, 30) +
                                                             " | " + noteOnOff(question, 10, 30)}));
  EXPECT_EQ(s.lesson().scores.LevelAsked, 1);
  EXPECT_EQ(s.lesson().question.QuestionNotes[0], question);  // the same question stays
  EXPECT_EQ(heard(s.run("done\nkey w\n")),
            std::vector<std::string>{"phrase 2: " + noteOnOff(answer, 0, 30)});
}

TEST(IdentifyLesson, MelodicCorrectionPlaysBothAnswerNotesThenBothQuestionNotes) {
  DriverSession s;
  s.run("seed 31\nmastery IdentifyMastery95Percent 6\nmode identify\ndone\n");  // level 7
  const auto q = s.lesson().question.QuestionNotes;
  const char wrong = s.wrongLetterFor(1);
  const auto first = s.run(std::string("key ") + s.rightAnswer()[0] + "\n");
  EXPECT_EQ(heard(first), (std::vector<std::string>{"sound CORRECT", "pause 150"}));
  const auto lines = s.run(std::string("key ") + wrong + "\n");
  const int given = s.lesson().question.AnswerNotes[1];
  EXPECT_EQ(heard(lines),
            (std::vector<std::string>{"sound INCORRECT", "phrase 8: " + noteOnOff(q[0], 0, 30) +
                                                             " | " + noteOnOff(given, 0, 30) +
                                                             " | " + noteOnOff(q[0], 10, 30) +
                                                             " | " + noteOnOff(q[1], 0, 30)}));
  EXPECT_EQ(s.lesson().question.AnswerPosition, 0);
  EXPECT_EQ(s.lesson().scores.LevelStreak, 0);
}

TEST(IdentifyLesson, OnlyTheLastLetterTypedDuringPlaybackIsJudged) {
  for (bool lastIsRight : {true, false}) {
    DriverSession s;
    s.run("seed 8\nmode identify\n");
    const std::string right = s.rightAnswer();
    const std::string wrong(1, s.wrongLetterFor(0));
    const std::string last = lastIsRight ? right : wrong;
    EXPECT_TRUE(
        heard(s.run("key " + (lastIsRight ? wrong : right) + "\nkey " + last + "\n")).empty());
    EXPECT_NE(s.run("show question\n")[0].find("DeferredAnswer=yes DeferredLetter=" + last),
              std::string::npos);
    const auto lines = s.run("done\n");
    EXPECT_EQ(countOf(lines, lastIsRight ? "sound CORRECT" : "sound INCORRECT"), 1);
    EXPECT_EQ(s.lesson().scores.LevelAsked, 1);
  }
}

TEST(IdentifyLesson, EscapeRestartsTheAnswerAndReplayWaitsForThePhrase) {
  DriverSession s;
  s.run("seed 3\nmastery IdentifyMastery95Percent 1\nmode identify\ndone\n");  // two notes
  const std::string right = s.rightAnswer();
  s.run(std::string("key ") + right[0] + "\n");
  EXPECT_EQ(heard(s.run("key Escape\n")), std::vector<std::string>{"sound CORRECT"});
  EXPECT_EQ(s.lesson().question.AnswerPosition, 0);
  EXPECT_EQ(s.lesson().scores.LevelAsked, 0);

  const std::string question = linesStartingWith(s.run("key r\n"), "phrase ").at(0);
  EXPECT_TRUE(heard(s.run("key r\nkey r\n")).empty());  // still sounding
  EXPECT_EQ(heard(s.run("done\n")), std::vector<std::string>{question});
  s.run("done\ntype " + right + "\n");
  EXPECT_EQ(s.lesson().scores.LevelCorrect, 1);
}

TEST(IdentifyLesson, LevelChangesResetScoresAndPlayAtTheSecondTick) {
  DriverSession s;
  s.run("seed 11\nmode identify\n");
  s.answerRight();
  const auto up = s.run("levelup\n");
  EXPECT_EQ(countOf(up, "status 2 \"2 of 67\""), 1);
  EXPECT_TRUE(linesStartingWith(up, "phrase ").empty());
  EXPECT_EQ(s.lesson().scores.LevelCorrect, 0);
  EXPECT_EQ(s.lesson().scores.TotalCorrect, 1);
  EXPECT_TRUE(linesStartingWith(s.run("done\ntick\n"), "phrase ").empty());
  EXPECT_EQ(linesStartingWith(s.run("tick\n"), "phrase ").size(), 1u);

  s.run("done\nleveldown\nleveldown\n");
  EXPECT_EQ(s.lesson().level.currentLevel, 0);  // level 1 is the floor
  s.run("mastery IdentifyMastery95Percent 66\nmode identify\nlevelup\n");
  EXPECT_EQ(s.lesson().level.currentLevel, 66);
}

TEST(IdentifyLesson, PracticeSingingAfterALessonPlaysNoQuestion) {
  DriverSession s;
  // The new-question key of the MIDI keyboard, and the timer after a level change.
  const auto lines = s.run(
      "mode identify\ndone\nmode practice\nmidi 40\nmode identify\ndone\nlevelup\n"
      "mode practice\ntick 2\n");
  const auto phrases = linesStartingWith(lines, "phrase ");
  EXPECT_EQ(phrases.size(), 2u);  // the two questions of the Identify lessons
  EXPECT_EQ(lines.back().rfind("status 0", 0), 0u);
}

}  // namespace
}  // namespace auralis::driver::testing
