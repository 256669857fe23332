#include "input/MidiKeyboard.h"
#include "tests/tools/DriverSession.h"

namespace auralis::driver::testing {
namespace {

std::uint32_t noteOn(std::uint32_t note, std::uint32_t velocity, std::uint32_t status = 0x90) {
  return status | note << 8 | velocity << 16;
}

TEST(MidiKeys, DecodeAnswersFromF2UpAndThreeCommandKeysBelow) {
  struct Case {
    std::uint32_t message;
    std::optional<char> key;
  };
  const Case cases[] = {
      {noteOn(60, 100), 'c'},
      {noteOn(61, 100), 'C'},
      {noteOn(127, 1), 'g'},
      {noteOn(41, 100), 'f'},
      {noteOn(36, 100), 'r'},
      {noteOn(38, 100), 'w'},
      {noteOn(40, 100), ' '},
      {noteOn(37, 100), std::nullopt},
      {noteOn(39, 100), std::nullopt},
      {noteOn(35, 100), std::nullopt},
      {noteOn(0, 100), std::nullopt},
      {noteOn(36, 0), std::nullopt},
      {noteOn(60, 100, 0x99), 'c'},
      {noteOn(60, 100, 0x80), std::nullopt},
      {noteOn(60, 100, 0xB0), std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(decodeMidiKey(c.message), c.key);
  }
}

TEST(MidiKeys, KeysAnswerReplayAndAskOnlyWhereTheLessonTakesThem) {
  DriverSession s;
  s.run("seed 17\nmode identify\ndone\n");
  const int note = s.lesson().question.QuestionNotes[0];
  // The same pitch class in another octave is the same answer.
  EXPECT_EQ(countOf(s.run("midi " + std::to_string(note + 24) + "\n"), "sound CORRECT"), 1);
  s.run("done\n");
  const std::string question = linesStartingWith(s.run("midi 36\n"), "phrase ").at(0);
  EXPECT_EQ(question.rfind("phrase 2: ", 0), 0u);
  EXPECT_TRUE(heard(s.run("done\nmidi 38\nmidi 37\nmidi 60 0\n")).empty());
  EXPECT_EQ(linesStartingWith(s.run("midi 40\n"), "phrase ").size(), 1u);
  EXPECT_EQ(s.lesson().scores.TotalAsked, 1);  // a new question is not an answer

  s.run("done\nmode mimic\ndone\n");
  EXPECT_TRUE(heard(s.run("midi 36\nmidi 40\nmidi 60\n")).empty());
}

TEST(MidiKeys, VolumeAndChannelReachTheNextQuestionOnly) {
  DriverSession s;
  s.run("seed 1\nmode identify\ndone\nvolume 120\nchannel 9\n");
  const std::string replay = linesStartingWith(s.run("key r\n"), "phrase ").at(0);
  EXPECT_EQ(replay.substr(0, 15), "phrase 2: 0 90 ");
  EXPECT_EQ(replay.substr(17, 3), " 50");
  const std::string next = linesStartingWith(s.run("done\nnew\n"), "phrase ").at(0);
  EXPECT_EQ(next.substr(0, 15), "phrase 2: 0 99 ");
  EXPECT_EQ(next.substr(17, 3), " 78");
}

}  // namespace
}  // namespace auralis::driver::testing
