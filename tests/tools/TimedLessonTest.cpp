#include <cstdio>

#include "tests/tools/DriverSession.h"

namespace auralis::driver::testing {
namespace {

// Ticks the clock one second at a time, letting each phrase end at once; returns the ticks
// (counted from 1) at which a phrase started.
std::vector<int> ticksThatPlay(DriverSession& s, int ticks) {
  std::vector<int> playing;
  for (int t = 1; t <= ticks; ++t)
    if (!linesStartingWith(s.run("tick\ndone\n"), "phrase ").empty()) playing.push_back(t);
  return playing;
}

// Sings every note of the question, in answer order and in its own octave.
std::string singRight(DriverSession& s) {
  const QuestionState& q = s.lesson().question;
  std::string lines;
  for (int i = 0; i < q.QuestionNoteCount; ++i)
    lines += std::string("sing ") + NoteLetters[pitchClassOf(q.QuestionNotes[i])] + " " +
             std::to_string(q.QuestionNotes[i] / 12) + "\n";
  return lines;
}

TEST(TimedLesson, HintsReplayTheQuestionAtSixNineAndSoOnUpToThirtyTicks) {
  const std::vector<int> hints = {6, 9, 12, 15, 18, 21, 24, 27, 30};
  for (const char* mode : {"sing", "unlock"}) {
    SCOPED_TRACE(mode);
    DriverSession s;
    const auto start = s.run(std::string("seed 21\nmode ") + mode + "\ndone\n");
    // Sing names the notes instead of playing them.
    EXPECT_EQ(linesStartingWith(start, "phrase ").size(), std::string(mode) == "sing" ? 0u : 1u);
    EXPECT_EQ(ticksThatPlay(s, 33), hints);
  }
}

TEST(TimedLesson, UnlockRevealsTheExpectedKeyByRepaintingFromTheSixthTick) {
  DriverSession s;
  s.run("seed 2\nmode unlock\ndone\ntick 5\n");
  EXPECT_EQ(countOf(s.run("tick\n"), "repaint panel"), 1);
  s.run("done\ntick 24\ndone\n");
  EXPECT_EQ(countOf(s.run("tick\n"), "repaint panel"), 0);  // tick 31
}

TEST(TimedLesson, SingTakesSungNotesOnlyAndEchoesThemOnOddLevels) {
  for (int level : {0, 1}) {
    SCOPED_TRACE(level);
    DriverSession s;
    s.run("seed 13\nmastery SingingMastery95Percent " + std::to_string(level) + "\nmode sing\n");
    EXPECT_TRUE(heard(s.run(std::string("key ") + s.rightAnswer() + "\n")).empty());
    const int pitchClass = pitchClassOf(s.lesson().question.QuestionNotes[0]);
    const auto lines = s.run("sing " + s.rightAnswer() + " 4\n");
    char echo[64];
    std::snprintf(echo, sizeof echo, "phrase 2: 0 90 %02X 50 | 30 90 %02X 00", 48 + pitchClass,
                  48 + pitchClass);
    // A sung answer has no pause, and the next question is not played.
    EXPECT_EQ(heard(lines), std::vector<std::string>{level == 0 ? echo : "sound CORRECT"});
    EXPECT_EQ(s.lesson().scores.LevelCorrect, 1);
  }
}

TEST(TimedLesson, UnlockPromotesOnTheFirstQuickAnswerAfterAMinuteOfThem) {
  DriverSession s;
  s.run(
      "seed 99\nmode unlock\ndone\nlevelup\ntick 2\n");  // level 2, one below which the chain holds
  int answers = 0;
  std::vector<std::string> last;
  while (countOf(last, "sound PROMOTE") == 0 && answers < 40) {
    last = s.run("done\n" + singRight(s) + "tick 3\n");
    ++answers;
  }
  // The run counts from the first answer: 20 gaps of 3 ticks make the minute.
  EXPECT_EQ(answers, 21);
  EXPECT_TRUE(linesStartingWith(last, "pause").empty());
  EXPECT_EQ(countOf(last, "status 2 \"3 of 18\""), 1);
  EXPECT_EQ(s.lesson().mastery.UnlockMastery1Minute, 1);

  s.run("done\n" + singRight(s) + "tick 3\ndone\n");
  EXPECT_EQ(s.lesson().scores.FastRunSeconds, 3);
  s.run("tick 3\ndone\n" + singRight(s));  // six ticks after its question
  EXPECT_EQ(s.lesson().scores.FastRunSeconds, 0);
}

TEST(TimedLesson, MeditateRepeatsTheChosenNoteEveryEightTicks) {
  DriverSession s;
  EXPECT_TRUE(linesStartingWith(s.run("seed 6\nmode meditate\ntick 8\n"), "phrase ").empty());
  EXPECT_TRUE(heard(s.run("key g\n")).empty());
  EXPECT_EQ(ticksThatPlay(s, 26), (std::vector<int>{2, 10, 18, 26}));
  EXPECT_EQ(pitchClassOf(s.lesson().question.QuestionNotes[0]), 7);

  // A sung note chooses its own octave; meditation notes are long.
  s.run("sing a 4\n");
  EXPECT_EQ(linesStartingWith(s.run("tick 2\n"), "phrase "),
            std::vector<std::string>{"phrase 2: 0 90 39 50 | 120 90 39 00"});
}

}  // namespace
}  // namespace auralis::driver::testing
